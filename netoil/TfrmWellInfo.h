#pragma once

#include "CodeChoice.h"
#include "ConfigBlock.h"
#include "ConfigWindow.h"

#include <memory>
#include <vector>

namespace Ui {
class TfrmWellInfo;
}
class ApplyUndoButtons;
class QTableWidgetItem;

// "Well Data": the oil and water densities of the 30 wells, shown in a unit of the
// user's choice (°API at the table's standard temperature). Nothing can be changed
// while a well test runs.
class TfrmWellInfo : public ConfigWindow {
    Q_OBJECT
public:
    static constexpr int Tag = 4560301;
    static constexpr int HelpContext = 4560301;
    static const QString RangeText;

    TfrmWellInfo(const WindowContext &context, int tag = Tag);
    ~TfrmWellInfo() override;

protected:
    void FormActivate() override;

private:
    int shownUnit() const;
    void showAsRead();
    void showCell(QTableWidgetItem *cell);
    void cboDensUnitChange();
    void cellLeft(QTableWidgetItem *cell);
    void setEditable(bool on);
    // Reads coil 86 before a write; a running test (or no answer) locks the window.
    bool testRunsNow();
    bool writeAll(Copy copy);
    bool btnApplyClick();
    bool btnUndoClick();

    std::unique_ptr<Ui::TfrmWellInfo> ui;
    ApplyUndoButtons *m_buttons = nullptr;
    CodeChoice m_unit;
    ConfigBlock m_wellCfg;
    std::vector<ConfigBlock> m_wells;
    bool m_locked = false;
    bool m_filling = false;
};
