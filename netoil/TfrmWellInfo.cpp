#include "TfrmWellInfo.h"

#include "ApplyUndoButtons.h"
#include "ModbusLink.h"
#include "NumberFormat.h"
#include "Prompter.h"
#include "TableGrid.h"
#include "WellDensity.h"
#include "WellTesting.h"
#include "ui_frmWellInfo.h"

#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QStyledItemDelegate>

#include <cmath>

namespace {
constexpr int WellCfgRegister = 1807, WellCfgBytes = 2, UnitByte = 0, StdTempByte = 1;
constexpr int CellFormat = 3;
constexpr int WellColumn = 0, OilColumn = 1, WaterColumn = 2;
constexpr int DensityAt[] = {0, WellTesting::OilDensityByte, WellTesting::WaterDensityByte};

const QString LockedText = QStringLiteral(
    "INFO: Well Testing is in progress...\r         Tarvine would not allow any well data modification at the "
    "moment.\r         Stop Well testing before entering any changes. \r");

// Density cells take only what the shown unit allows while typing.
class DensityCellDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void setPattern(const QString &pattern) { m_pattern = pattern; }

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QWidget *editor = QStyledItemDelegate::createEditor(parent, option, index);
        if (auto *edit = qobject_cast<QLineEdit *>(editor); edit && !m_pattern.isEmpty())
            edit->setValidator(new QRegularExpressionValidator(QRegularExpression(m_pattern), edit));
        return editor;
    }

private:
    QString m_pattern;
};
}  // namespace

const QString TfrmWellInfo::RangeText = QStringLiteral("ERROR: Density data entered is out of acceptable range.. ");

TfrmWellInfo::TfrmWellInfo(const WindowContext &context, int)
    : ConfigWindow(context), ui(std::make_unique<Ui::TfrmWellInfo>()), m_unit(nullptr),
      m_wellCfg(WellCfgRegister, WellCfgBytes)
{
    ui->setupUi(this);
    m_unit = CodeChoice(ui->cboDensUnit);
    m_unit.setItems(WellDensity::unitItems());
    for (int well = 1; well <= WellTesting::WellCount; ++well)
        m_wells.emplace_back(WellTesting::wellRegister(well), WellTesting::WellBlockBytes);

    TableGrid::setUp(ui->grdWellData, WellTesting::WellCount,
                     {QStringLiteral("Well #"), QStringLiteral("Oil Density"), QStringLiteral("Water Density")});
    ui->grdWellData->verticalHeader()->setVisible(false);
    for (int row = 0; row < WellTesting::WellCount; ++row) {
        QTableWidgetItem *item = ui->grdWellData->item(row, WellColumn);
        item->setText(QString::number(row + 1));
        item->setFlags(item->flags() & ~Qt::ItemIsEditable);
    }
    ui->grdWellData->setItemDelegate(new DensityCellDelegate(ui->grdWellData));

    m_buttons = new ApplyUndoButtons(this, {ui->btnApply, ui->btnUndo, ui->btnHelp, ui->btnClose}, HelpContext);
    m_buttons->onApply([this] { return btnApplyClick(); });
    m_buttons->onUndo([this] { return btnUndoClick(); }, true);

    connect(ui->cboDensUnit, &QComboBox::activated, this, [this] { cboDensUnitChange(); });
    connect(ui->grdWellData, &QTableWidget::itemChanged, this, [this](QTableWidgetItem *item) {
        if (!m_filling)
            cellLeft(item->row(), item->column());
    });
}

TfrmWellInfo::~TfrmWellInfo() = default;

void TfrmWellInfo::FormActivate()
{
    QList<ConfigBlock *> blocks;
    for (ConfigBlock &well : m_wells)
        blocks << &well;
    blocks << &m_wellCfg;
    readBlocks(blocks);
    const int stdTemp = m_wellCfg.u8(StdTempByte);
    ui->lblStdTemp->setText(stdTemp == 0 ? QStringLiteral(" 15 °C")
                                         : stdTemp == 1 ? QStringLiteral(" 60 °F") : QStringLiteral("Unknown.."));
    m_unit.show(m_wellCfg.u8(UnitByte));
    showAsRead();
    m_buttons->setApplyEnabled(false);
    m_buttons->setUndoEnabled(false);
    if (!WellTesting::lockedByWellTest(link(), LockedText, WellTesting::InProgressTitle,
                                       [this](const QString &t) { tell(t); }))
        return;
    m_locked = true;
    setEditable(false);
}

int TfrmWellInfo::shownUnit() const
{
    // A unit code outside the list is kept for the transmitter; the cells show g/cc.
    return m_unit.matched() ? m_unit.code() : 0;
}

void TfrmWellInfo::showAsRead()
{
    m_filling = true;
    for (int row = 0; row < WellTesting::WellCount; ++row)
        for (int column : {OilColumn, WaterColumn})
            TableGrid::setText(ui->grdWellData, row, column,
                               FormatByIndex(CellFormat, m_wells[size_t(row)].f64(DensityAt[column])));
    m_filling = false;
    m_previousUnit = 0;
    cboDensUnitChange();
}

void TfrmWellInfo::cboDensUnitChange()
{
    const int stdTemp = m_wellCfg.u8(StdTempByte);
    const int unit = shownUnit();
    m_filling = true;
    for (int row = 0; row < WellTesting::WellCount; ++row) {
        for (int column : {OilColumn, WaterColumn}) {
            // A cell without a number is left for Apply to point out.
            if (const auto v = TableGrid::number(ui->grdWellData, row, column)) {
                const double gcc = WellDensity::toGcc(*v, m_previousUnit, stdTemp);
                TableGrid::setText(ui->grdWellData, row, column,
                                   FormatByIndex(CellFormat, WellDensity::fromGcc(gcc, unit, stdTemp)));
            }
        }
    }
    m_filling = false;
    m_previousUnit = unit;
    static_cast<DensityCellDelegate *>(ui->grdWellData->itemDelegate())->setPattern(WellDensity::cellPattern(unit));
    if (!m_locked)
        m_buttons->setApplyEnabled(true);
}

void TfrmWellInfo::cellLeft(int row, int column)
{
    if (column == WellColumn || m_locked)
        return;
    m_buttons->edited();
    m_buttons->setUndoEnabled(true);
    QString error;
    const auto v = TableGrid::number(ui->grdWellData, row, column, &error);
    if (!v) {
        tell(error);
        return;
    }
    const int unit = shownUnit();
    const double gcc = WellDensity::toGcc(*v, unit, m_wellCfg.u8(StdTempByte));
    m_filling = true;
    if (unit == WellDensity::Api) {
        // Any number of degrees, as long as it stands for a density.
        if (!std::isfinite(gcc) || gcc < 0.0) {
            showMessage(RangeText, windowTitle(), Prompter::Warning);
            TableGrid::setText(ui->grdWellData, row, column, FormatByIndex(CellFormat, WellDensity::fromGcc(0.0, unit, 0)));
        }
    } else if (gcc == 0.0 || !(gcc < WellDensity::MaxGcc)) {
        showMessage(RangeText, windowTitle(), Prompter::Warning);
        TableGrid::setText(ui->grdWellData, row, column, FormatByIndex(CellFormat, 0.0));
    } else {
        TableGrid::setText(ui->grdWellData, row, column, FormatByIndex(CellFormat, *v));
    }
    m_filling = false;
}

void TfrmWellInfo::setEditable(bool on)
{
    ui->cboDensUnit->setEnabled(on);
    ui->grdWellData->setEditTriggers(on ? QAbstractItemView::AllEditTriggers : QAbstractItemView::NoEditTriggers);
}

bool TfrmWellInfo::btnApplyClick()
{
    if (m_locked)
        return false;
    // Every cell is checked before anything is written.
    const int unit = shownUnit();
    const int stdTemp = m_wellCfg.u8(StdTempByte);
    for (int row = 0; row < WellTesting::WellCount; ++row) {
        for (int column : {OilColumn, WaterColumn}) {
            QString error;
            const auto v = TableGrid::number(ui->grdWellData, row, column, &error);
            if (!v) {
                tell(error);
                return false;
            }
            const double gcc = WellDensity::toGcc(*v, unit, stdTemp);
            if (!std::isfinite(gcc)) {
                tell(RangeText);
                return false;
            }
            m_wells[size_t(row)].setF64(DensityAt[column], gcc);
        }
    }
    if (m_unit.matched())
        m_wellCfg.setU8(UnitByte, uint8_t(m_unit.code()));
    QList<ConfigBlock *> blocks{&m_wellCfg};
    for (ConfigBlock &well : m_wells)
        blocks << &well;
    if (!writeBlocks(blocks, Copy::Working))
        return false;
    return forceCoil(WellTesting::ReadNetOilCoil);
}

bool TfrmWellInfo::btnUndoClick()
{
    // The as-read densities come back on screen; nothing is written.
    for (ConfigBlock &well : m_wells)
        well.revert();
    m_wellCfg.revert();
    showAsRead();
    return true;
}

TARVINE_REGISTER_WINDOW(4560301, TfrmWellInfo);
