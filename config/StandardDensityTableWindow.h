#pragma once

#include "ConfigBlock.h"
#include "ConfigWindow.h"

#include <array>
#include <memory>
#include <vector>

class ApplyUndoButtons;
class QTableWidget;

namespace Ui {
class TfrmSpecialAPI;
}

// "Special API Table": the user-defined volume-correction table set (eight tables
// of temperature against correction factor, four to a page) and its name. Apply
// writes the name and every table once all edited cells were checked (untouched
// cells and an unedited name keep their bytes); Undo writes back the tables and
// the name as read.
class TfrmSpecialAPI : public ConfigWindow {
    Q_OBJECT
public:
    static constexpr int HelpContext = 45602;
    static constexpr int TableCount = 8;
    static constexpr int FirstTable = 2476, TableRegisters = 113;
    static constexpr int NameRegister = 2465, NameBytes = 22, NameLength = 18;

    explicit TfrmSpecialAPI(const WindowContext &context, QWidget *parent = nullptr);
    ~TfrmSpecialAPI() override;

protected:
    void FormActivate() override;
    void showTransmitterState() override;

private:
    void showTables();
    void setHeads();
    void showPage(int page);
    void cboSAPITempUnitChange();
    // Takes the edited cells that hold numbers into the working copies; false (and
    // *error says why, *failedTable where) when a cell does not.
    bool takeEdits(QString *error, int *failedTable);
    bool btnApplyClick();
    bool btnUndoClick();
    QList<ConfigBlock *> blocks();

    std::unique_ptr<Ui::TfrmSpecialAPI> ui;
    ApplyUndoButtons *m_buttons = nullptr;
    std::array<bool, TableCount> m_touched{};  // tables with an edited cell taken
    bool m_nameEdited = false;
    ConfigBlock m_name;
    std::vector<ConfigBlock> m_tables;
    std::array<QTableWidget *, TableCount> m_grids{};
    int m_tempUnit = 0;
    int m_page = 0;
    bool m_showing = false;
};
