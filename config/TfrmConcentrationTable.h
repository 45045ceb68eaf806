#pragma once

#include "ConfigBlock.h"
#include "ConfigWindow.h"

#include <array>
#include <memory>
#include <vector>

class ApplyUndoButtons;
class QTableWidget;

namespace Ui {
class TfrmConcentrationTable;
}

// "Configure Concentration Table": the five density-to-concentration tables, each
// with its reference temperature, shown in the temperature and density units
// picked in the window. Only the cells the technician changed are parsed, and
// all of them before anything is written, so a bad cell never leaves half the
// tables written and an untouched cell keeps its bytes.
class TfrmConcentrationTable : public ConfigWindow {
    Q_OBJECT
public:
    static constexpr int HelpContext = 45601;
    static constexpr int TableCount = 5;
    static constexpr int FirstTable = 1088, TableRegisters = 117;

    explicit TfrmConcentrationTable(const WindowContext &context, QWidget *parent = nullptr);
    ~TfrmConcentrationTable() override;

protected:
    void FormActivate() override;
    void showTransmitterState() override;

private:
    void showTables();
    void unitChange(int code);
    // Takes the edited cells that hold numbers into the working copies; false (and
    // *error says why) when a cell does not.
    bool takeEdits(QString *error);
    bool btnApplyClick();
    bool btnUndoClick();
    QList<ConfigBlock *> tables();

    std::unique_ptr<Ui::TfrmConcentrationTable> ui;
    ApplyUndoButtons *m_buttons = nullptr;
    std::array<bool, TableCount> m_touched{};  // tables with an edited cell taken
    std::vector<ConfigBlock> m_tables;
    std::array<QTableWidget *, TableCount> m_temp{}, m_dens{};
    int m_tempUnit = 0, m_densUnit = 0;
    bool m_showing = false;
};
