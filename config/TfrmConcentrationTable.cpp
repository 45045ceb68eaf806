#include "TfrmConcentrationTable.h"

#include "ApplyUndoButtons.h"
#include "ModbusLink.h"
#include "NumberFormat.h"
#include "Prompter.h"
#include "QuantityCode.h"
#include "TableGrid.h"
#include "UnitCombos.h"
#include "UnitConversion.h"
#include "UnitLists.h"
#include "UnitsLink.h"
#include "ui_TfrmConcentrationTable.h"

#include <QHeaderView>

namespace {

using namespace Quantity;

constexpr int Bytes = 2 * TfrmConcentrationTable::TableRegisters;
constexpr int Points = 14;
constexpr int RefTempAt = 0, DensAt = 8, ConcAt = 120, EmptyByte = 232;
constexpr int TempFormat = 2, DensFormat = 3, ConcFormat = 0;
constexpr int ReadConcTableCoil = 49;
constexpr int CfgTemp = 714, CfgDensity = 748, CfgPercentCon = 1054;

QString concentrationHead(int unitIndex)
{
    static const QStringList heads = {QStringLiteral("    %"), QStringLiteral("  BRIX"), QStringLiteral(" Be Lt"),
                                      QStringLiteral(" Be Hv")};
    return heads.value(unitIndex, heads[0]);
}

}  // namespace

TfrmConcentrationTable::TfrmConcentrationTable(const WindowContext &context, QWidget *parent)
    : ConfigWindow(context, parent), ui(std::make_unique<Ui::TfrmConcentrationTable>())
{
    ui->setupUi(this);
    m_temp = {ui->grdTemp1, ui->grdTemp2, ui->grdTemp3, ui->grdTemp4, ui->grdTemp5};
    m_dens = {ui->grdDens1, ui->grdDens2, ui->grdDens3, ui->grdDens4, ui->grdDens5};
    for (int k = 0; k < TableCount; ++k) {
        m_tables.emplace_back(FirstTable + TableRegisters * k, Bytes);
        TableGrid::setUp(m_temp[k], 1, {QStringLiteral("Temp%1").arg(k + 1)});
        m_temp[k]->setMaximumHeight(m_temp[k]->horizontalHeader()->sizeHint().height() +
                                    m_temp[k]->rowHeight(0) + 2 * m_temp[k]->frameWidth());
        for (QTableWidget *grid : {m_temp[k], m_dens[k]}) {
            TableGrid::onTyping(grid, [this] { m_buttons->edited(); });
            connect(grid, &QTableWidget::itemChanged, this, [this](QTableWidgetItem *item) {
                if (m_showing)
                    return;
                TableGrid::markEdited(item);
                m_buttons->edited();
            });
        }
    }
    ui->cboTempUnit->addItems(UnitListFor(Temperature));
    ui->cboDensUnit->addItems({QStringLiteral("g/cc"), QStringLiteral("Ib/ft3"), QStringLiteral("kg/m3"),
                               QStringLiteral("Ib/gal")});
    connect(ui->cboTempUnit, &QComboBox::activated, this, [this] { unitChange(Temperature); });
    connect(ui->cboDensUnit, &QComboBox::activated, this, [this] { unitChange(Density); });
    m_buttons = new ApplyUndoButtons(this, {ui->btnApply, ui->btnUndo, ui->btnHelp, ui->btnClose}, HelpContext);
    m_buttons->onApply([this] { return btnApplyClick(); });
    m_buttons->onUndo([this] { return btnUndoClick(); });
    ui->btnApply->setEnabled(false);
    ui->btnUndo->setEnabled(false);
}

TfrmConcentrationTable::~TfrmConcentrationTable() = default;

QList<ConfigBlock *> TfrmConcentrationTable::tables()
{
    QList<ConfigBlock *> list;
    for (ConfigBlock &t : m_tables)
        list.append(&t);
    return list;
}

void TfrmConcentrationTable::FormActivate()
{
    if (const auto temp = ReadConfiguredUnit(link(), CfgTemp))
        SelectUnitIndex(ui->cboTempUnit, temp->unitIndex);
    // A density unit the list does not hold (such as °API) shows g/cc.
    if (const auto dens = ReadConfiguredUnit(link(), CfgDensity))
        SelectUnitIndex(ui->cboDensUnit, dens->unitIndex);
    m_tempUnit = ui->cboTempUnit->currentIndex();
    m_densUnit = ui->cboDensUnit->currentIndex();
    const auto conc = ReadConfiguredUnit(link(), CfgPercentCon);
    const QString concHead = concentrationHead(conc ? conc->unitIndex : 0);
    m_showing = true;
    for (int k = 0; k < TableCount; ++k)
        TableGrid::setUp(m_dens[k], Points, {QStringLiteral("Dens%1").arg(k + 1), concHead});
    m_showing = false;
    readBlocks(tables());
    showTables();
}

void TfrmConcentrationTable::showTables()
{
    m_showing = true;
    for (int k = 0; k < TableCount; ++k) {
        const ConfigBlock &t = m_tables[size_t(k)];
        TableGrid::showUnlessEdited(m_temp[k], 0, 0,
                                    FormatByIndex(TempFormat, FromBase(Temperature, t.f64(RefTempAt), m_tempUnit)));
        for (int i = 0; i < Points; ++i) {
            TableGrid::showUnlessEdited(
                m_dens[k], i, 0, FormatByIndex(DensFormat, FromBase(Density, t.f64(DensAt + 8 * i), m_densUnit)));
            TableGrid::showUnlessEdited(m_dens[k], i, 1, FormatByIndex(ConcFormat, t.f64(ConcAt + 8 * i)));
        }
    }
    m_showing = false;
}

void TfrmConcentrationTable::showTransmitterState()
{
    showTables();
}

bool TfrmConcentrationTable::takeEdits(QString *error)
{
    // Only the cells the technician changed are parsed, in the units they were typed in.
    bool all = true;
    for (int k = 0; k < TableCount; ++k) {
        ConfigBlock &t = m_tables[size_t(k)];
        struct Cell {
            QTableWidget *grid;
            int row, column, offset, code, unit;
        };
        QList<Cell> cells{{m_temp[k], 0, 0, RefTempAt, Temperature, m_tempUnit}};
        for (int i = 0; i < Points; ++i) {
            cells.append({m_dens[k], i, 0, DensAt + 8 * i, Density, m_densUnit});
            cells.append({m_dens[k], i, 1, ConcAt + 8 * i, 0, 0});
        }
        for (const Cell &c : cells) {
            if (!TableGrid::isEdited(c.grid, c.row, c.column))
                continue;
            QString cellError;
            const auto v = TableGrid::number(c.grid, c.row, c.column, &cellError);
            if (!v) {
                if (all && error)
                    *error = cellError;
                all = false;
                continue;
            }
            t.setF64(c.offset, c.code ? ToBase(c.code, *v, c.unit) : *v);
            TableGrid::clearEdited(c.grid, c.row, c.column);
            m_touched[size_t(k)] = true;
        }
    }
    return all;
}

void TfrmConcentrationTable::unitChange(int code)
{
    // Edits typed in the old unit are taken in it; every stored value is then shown in the new one.
    takeEdits(nullptr);
    if (code == Temperature)
        m_tempUnit = ui->cboTempUnit->currentIndex();
    else
        m_densUnit = ui->cboDensUnit->currentIndex();
    showTables();
}

bool TfrmConcentrationTable::btnApplyClick()
{
    // Every edited cell is parsed before the first table is written.
    QString error;
    if (!takeEdits(&error)) {
        tell(error);
        return false;
    }
    for (int k = 0; k < TableCount; ++k) {
        ConfigBlock &t = m_tables[size_t(k)];
        if (m_touched[size_t(k)])
            t.setU8(EmptyByte, t.f64(DensAt) == 0.0 && t.f64(ConcAt) == 0.0 ? 1 : 0);
    }
    if (!writeBlocks(tables(), Copy::Working))
        return false;
    return forceCoil(ReadConcTableCoil);
}

bool TfrmConcentrationTable::btnUndoClick()
{
    if (!writeBlocks(tables(), Copy::AsRead))
        return false;
    for (ConfigBlock &t : m_tables)
        t.revert();
    m_touched = {};
    showTables();
    return forceCoil(ReadConcTableCoil);
}
