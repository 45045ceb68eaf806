#include "TfrmConcentrationTable.h"

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
    setHelp(ui->btnHelp, HelpContext);
    m_temp = {ui->grdTemp1, ui->grdTemp2, ui->grdTemp3, ui->grdTemp4, ui->grdTemp5};
    m_dens = {ui->grdDens1, ui->grdDens2, ui->grdDens3, ui->grdDens4, ui->grdDens5};
    for (int k = 0; k < TableCount; ++k) {
        m_tables.emplace_back(FirstTable + TableRegisters * k, Bytes);
        TableGrid::setUp(m_temp[k], 1, {QStringLiteral("Temp%1").arg(k + 1)});
        m_temp[k]->setMaximumHeight(m_temp[k]->horizontalHeader()->sizeHint().height() +
                                    m_temp[k]->rowHeight(0) + 2 * m_temp[k]->frameWidth());
        for (QTableWidget *grid : {m_temp[k], m_dens[k]})
            connect(grid, &QTableWidget::itemChanged, this, [this] {
                if (!m_showing)
                    ui->btnApply->setEnabled(true);
            });
    }
    ui->cboTempUnit->addItems(UnitListFor(Temperature));
    ui->cboDensUnit->addItems({QStringLiteral("g/cc"), QStringLiteral("Ib/ft3"), QStringLiteral("kg/m3"),
                               QStringLiteral("Ib/gal")});
    connect(ui->cboTempUnit, &QComboBox::activated, this, [this] { unitChange(Temperature); });
    connect(ui->cboDensUnit, &QComboBox::activated, this, [this] { unitChange(Density); });
    connect(ui->btnApply, &QPushButton::clicked, this, &TfrmConcentrationTable::btnApplyClick);
    connect(ui->btnUndo, &QPushButton::clicked, this, &TfrmConcentrationTable::btnUndoClick);
    connect(ui->btnClose, &QPushButton::clicked, this, &GuardedWindow::requestClose);
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
        TableGrid::setText(m_temp[k], 0, 0,
                           FormatByIndex(TempFormat, FromBase(Temperature, t.f64(RefTempAt), m_tempUnit)));
        for (int i = 0; i < Points; ++i) {
            TableGrid::setText(m_dens[k], i, 0,
                               FormatByIndex(DensFormat, FromBase(Density, t.f64(DensAt + 8 * i), m_densUnit)));
            TableGrid::setText(m_dens[k], i, 1, FormatByIndex(ConcFormat, t.f64(ConcAt + 8 * i)));
        }
    }
    m_showing = false;
}

void TfrmConcentrationTable::unitChange(int code)
{
    m_showing = true;
    if (code == Temperature) {
        const int next = ui->cboTempUnit->currentIndex();
        for (QTableWidget *grid : m_temp)
            TableGrid::convertColumn(grid, 0, Temperature, m_tempUnit, next, TempFormat);
        m_tempUnit = next;
    } else {
        const int next = ui->cboDensUnit->currentIndex();
        for (QTableWidget *grid : m_dens)
            TableGrid::convertColumn(grid, 0, Density, m_densUnit, next, DensFormat);
        m_densUnit = next;
    }
    m_showing = false;
}

void TfrmConcentrationTable::btnApplyClick()
{
    // Every cell is parsed before the first table is written.
    std::vector<ConfigBlock> edited = m_tables;
    for (int k = 0; k < TableCount; ++k) {
        ConfigBlock &t = edited[size_t(k)];
        QString error;
        const auto refTemp = TableGrid::number(m_temp[k], 0, 0, &error);
        if (!refTemp) {
            tell(error);
            return;
        }
        t.setF64(RefTempAt, ToBase(Temperature, *refTemp, m_tempUnit));
        for (int i = 0; i < Points; ++i) {
            const auto dens = TableGrid::number(m_dens[k], i, 0, &error);
            const auto conc = dens ? TableGrid::number(m_dens[k], i, 1, &error) : std::nullopt;
            if (!conc) {
                tell(error);
                return;
            }
            t.setF64(DensAt + 8 * i, ToBase(Density, *dens, m_densUnit));
            t.setF64(ConcAt + 8 * i, *conc);
        }
        t.setU8(EmptyByte, t.f64(DensAt) == 0.0 && t.f64(ConcAt) == 0.0 ? 1 : 0);
    }
    m_tables = std::move(edited);
    if (!writeBlocks(tables(), Copy::Working))
        return;
    forceCoil(ReadConcTableCoil);
    ui->btnApply->setEnabled(false);
    ui->btnUndo->setEnabled(true);
}

void TfrmConcentrationTable::btnUndoClick()
{
    if (!writeBlocks(tables(), Copy::AsRead))
        return;
    for (ConfigBlock &t : m_tables)
        t.revert();
    showTables();
    forceCoil(ReadConcTableCoil);
    ui->btnApply->setEnabled(false);
    ui->btnUndo->setEnabled(false);
}
