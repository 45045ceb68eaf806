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
#include <QPointer>
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

// A density cell holds its value in g/cc and whether the user typed it; the text
// only shows the value in the chosen unit, so a unit change converts the value and
// an untouched cell goes back to the transmitter as it was read.
constexpr int GccRole = Qt::UserRole, TypedRole = Qt::UserRole + 1;

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
        m_editor = editor;
        return editor;
    }

    // Alt+A does not take the focus from an open cell editor: what is typed there
    // goes into the cell before Apply.
    void commitOpenEditor()
    {
        if (QWidget *editor = m_editor.data(); editor && editor->isVisible()) {
            emit commitData(editor);
            emit closeEditor(editor, QAbstractItemDelegate::NoHint);
        }
    }

private:
    QString m_pattern;
    mutable QPointer<QWidget> m_editor;
};

bool inRange(double gcc)
{
    return gcc > 0.0 && gcc < WellDensity::MaxGcc;
}
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
    m_buttons->onUndo([this] { return btnUndoClick(); });

    connect(ui->cboDensUnit, &QComboBox::activated, this, [this] { cboDensUnitChange(); });
    connect(ui->grdWellData, &QTableWidget::itemChanged, this, [this](QTableWidgetItem *item) {
        if (!m_filling)
            cellLeft(item);
    });
}

TfrmWellInfo::~TfrmWellInfo()
{
    // An open cell editor is committed while the window is torn down; the cell
    // check must not reach the members that are already gone.
    ui->grdWellData->blockSignals(true);
}

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
    for (int row = 0; row < WellTesting::WellCount; ++row) {
        for (int column : {OilColumn, WaterColumn}) {
            QTableWidgetItem *cell = ui->grdWellData->item(row, column);
            cell->setData(GccRole, m_wells[size_t(row)].f64(DensityAt[column]));
            cell->setData(TypedRole, false);
        }
    }
    m_filling = false;
    cboDensUnitChange();
}

void TfrmWellInfo::showCell(QTableWidgetItem *cell)
{
    const double gcc = cell->data(GccRole).toDouble();
    m_filling = true;
    cell->setText(FormatByIndex(CellFormat, WellDensity::fromGcc(gcc, shownUnit(), m_wellCfg.u8(StdTempByte))));
    m_filling = false;
}

void TfrmWellInfo::cboDensUnitChange()
{
    for (int row = 0; row < WellTesting::WellCount; ++row)
        for (int column : {OilColumn, WaterColumn})
            showCell(ui->grdWellData->item(row, column));
    static_cast<DensityCellDelegate *>(ui->grdWellData->itemDelegate())->setPattern(WellDensity::cellPattern(shownUnit()));
    if (!m_locked)
        m_buttons->setApplyEnabled(true);
}

void TfrmWellInfo::cellLeft(QTableWidgetItem *cell)
{
    if (cell->column() == WellColumn || m_locked)
        return;
    m_buttons->edited();
    m_buttons->setUndoEnabled(true);
    QString error;
    const auto v = TableGrid::number(ui->grdWellData, cell->row(), cell->column(), &error);
    if (!v) {
        tell(error);
        showCell(cell);
        return;
    }
    // Every unit, °API included, must stand for a density the transmitter can take.
    double gcc = WellDensity::toGcc(*v, shownUnit(), m_wellCfg.u8(StdTempByte));
    if (!inRange(gcc)) {
        showMessage(RangeText, windowTitle(), Prompter::Warning);
        gcc = 0.0;
    }
    m_filling = true;
    cell->setData(GccRole, gcc);
    cell->setData(TypedRole, true);
    m_filling = false;
    if (gcc == 0.0 || shownUnit() != WellDensity::Api)
        showCell(cell);
}

void TfrmWellInfo::setEditable(bool on)
{
    ui->cboDensUnit->setEnabled(on);
    ui->grdWellData->setEditTriggers(on ? QAbstractItemView::AllEditTriggers : QAbstractItemView::NoEditTriggers);
}

bool TfrmWellInfo::testRunsNow()
{
    // A test may have been started since the window opened (from the transmitter's panel, say).
    if (!m_locked && !WellTesting::lockedByWellTest(link(), LockedText, WellTesting::InProgressTitle,
                                                    [this](const QString &t) { tell(t); }))
        return false;
    m_locked = true;
    setEditable(false);
    m_buttons->setApplyEnabled(false);
    m_buttons->setUndoEnabled(false);
    return true;
}

bool TfrmWellInfo::btnApplyClick()
{
    static_cast<DensityCellDelegate *>(ui->grdWellData->itemDelegate())->commitOpenEditor();
    if (testRunsNow())
        return false;
    // Every typed cell is checked before anything is written; a refused one holds 0
    // (no density: the well is not valid for testing). Untouched cells go back as read.
    for (int row = 0; row < WellTesting::WellCount; ++row) {
        for (int column : {OilColumn, WaterColumn}) {
            const QTableWidgetItem *cell = ui->grdWellData->item(row, column);
            if (!cell->data(TypedRole).toBool())
                continue;
            const double gcc = cell->data(GccRole).toDouble();
            if (gcc != 0.0 && !inRange(gcc)) {
                ui->grdWellData->setCurrentItem(const_cast<QTableWidgetItem *>(cell));
                tell(RangeText);
                return false;
            }
            m_wells[size_t(row)].setF64(DensityAt[column], gcc);
        }
    }
    if (m_unit.matched())
        m_wellCfg.setU8(UnitByte, uint8_t(m_unit.code()));
    return writeAll(Copy::Working);
}

bool TfrmWellInfo::writeAll(Copy copy)
{
    QList<ConfigBlock *> blocks{&m_wellCfg};
    for (ConfigBlock &well : m_wells)
        blocks << &well;
    return writeBlocks(blocks, copy) && forceCoil(WellTesting::ReadNetOilCoil);
}

bool TfrmWellInfo::btnUndoClick()
{
    // The transmitter gets the table read at opening back, as in every configuration
    // window; the window shows it again.
    static_cast<DensityCellDelegate *>(ui->grdWellData->itemDelegate())->commitOpenEditor();
    if (testRunsNow() || !writeAll(Copy::AsRead))
        return false;
    for (ConfigBlock &well : m_wells)
        well.revert();
    m_wellCfg.revert();
    m_unit.show(m_wellCfg.u8(UnitByte));
    showAsRead();
    return true;
}

TARVINE_REGISTER_WINDOW(4560301, TfrmWellInfo);
