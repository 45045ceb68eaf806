#pragma once

#include "ConfigBlock.h"
#include "ConfigWindow.h"

#include <array>
#include <memory>
#include <vector>

class QTableWidget;

namespace Ui {
class TfrmSpecialAPI;
}

// "Special API Table": the user-defined volume-correction table set (eight tables
// of temperature against correction factor, four to a page) and its name. Apply
// writes the name and every table once all cells were checked; Undo writes back
// the tables and the name as read.
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

private:
    void showTables();
    void setHeads();
    void showPage(int page);
    void cboSAPITempUnitChange();
    void btnApplyClick();
    void btnUndoClick();
    QList<ConfigBlock *> blocks();

    std::unique_ptr<Ui::TfrmSpecialAPI> ui;
    ConfigBlock m_name;
    std::vector<ConfigBlock> m_tables;
    std::array<QTableWidget *, TableCount> m_grids{};
    int m_tempUnit = 0;
    int m_page = 0;
    bool m_showing = false;
};
