#include "TfrmNetOil.h"

#include "ApplyUndoButtons.h"
#include "EntryField.h"
#include "ModbusLink.h"
#include "NumberFormat.h"
#include "Prompter.h"
#include "QuantityCode.h"
#include "UnitConversion.h"
#include "UnitLists.h"
#include "UnitsLink.h"
#include "WellTesting.h"
#include "ui_frmNetOil.h"

#include <QPalette>

#include <cmath>

namespace {
constexpr int VarRegister = 1707, VarBytes = 12, ShrinkageAt = 0, MeasParamByte = 8, WellNoByte = 9;
constexpr int WellCfgRegister = 1807, WellCfgBytes = 2, StdTempByte = 1;
constexpr int NetOilRegister = 1673, WaterCutRegister = 1713, NetWaterRegister = 1747, ParamBytes = 68;
constexpr int UnitByte = 0;
constexpr int ValueOffsets[] = {2, 10, 18, 26};  // FallBack, LoAlarmSet, HiAlarmSet, LFCutoff
enum Param { NetOil, NetWater, WaterCut };

const QString LockedText = QStringLiteral(
    "INFO: Well Testing is in progress...\r         Tarvine would not allow any data modification at the "
    "moment.\r         Stop Well testing before entering any changes. \r");
const QString ShrinkageText = QStringLiteral(
    "INFO: Entered Value Is Out Of Range..\r         Acceptable Shrinkage Factor value should be in the range of "
    "\r         +0.5 to +1.5   \r");
const QString InvalidWellTitle = QStringLiteral(" Severe Errors in Well Testing Configuration");
const QString InvalidWellText = QStringLiteral(
    "ERROR: The well selected doesn't contain valid well data..\r             Well Testing required valid data "
    "for Water & Oil \r             density. Please reselect well ID....             \r\r ");
}  // namespace

const QString TfrmNetOil::ShrinkageTitle = QStringLiteral(" Shrinkage Factor Is Out Of Range");

TfrmNetOil::TfrmNetOil(const WindowContext &context, int)
    : ConfigWindow(context), ui(std::make_unique<Ui::TfrmNetOil>()), m_net(nullptr), m_param(nullptr),
      m_well(nullptr), m_stdTemp(nullptr), m_var(VarRegister, VarBytes), m_wellCfg(WellCfgRegister, WellCfgBytes),
      m_netOil(NetOilRegister, ParamBytes), m_waterCut(WaterCutRegister, ParamBytes),
      m_netWater(NetWaterRegister, ParamBytes)
{
    ui->setupUi(this);
    ui->cboUnit->hide();
    m_net = CodeChoice(ui->cboNet);
    m_param = CodeChoice(ui->cboNetParam);
    m_well = CodeChoice(ui->cboWellNum);
    m_stdTemp = CodeChoice(ui->cboStdTemp);
    m_net.setItems(QStringList{QStringLiteral("Volume"), QStringLiteral("Mass")});
    m_param.setItems(QStringList{QStringLiteral("Net Oil"), QStringLiteral("Net Water"), QStringLiteral("Water Cut")});
    m_well.setItems(WellTesting::wellItems());
    m_stdTemp.setItems(QStringList{QStringLiteral("15 °C"), QStringLiteral("60 °F")});

    m_buttons = new ApplyUndoButtons(this, {ui->btnApply, ui->btnUndo, ui->btnHelp, ui->btnClose}, HelpContext);
    m_buttons->onApply([this] { return btnApplyClick(); });
    m_buttons->onUndo([this] { return btnUndoClick(); });

    const auto format = [this](double v) { return FormatValue(netOilCode(), v); };
    const struct {
        QLineEdit *edit;
        const char *name;
    } values[] = {{ui->txtFallback, "Fallback"},
                  {ui->txtLoAlarmSet, "Low Alarm Setpoint"},
                  {ui->txtHiAlarmSet, "High Alarm Setpoint"},
                  {ui->txtLFCutoff, "Low Flow Cutoff"}};
    for (int i = 0; i < 4; ++i) {
        EntryField *field = entryField(values[i].edit, QStringLiteral("Invalid %1, old value restored!").arg(QLatin1String(values[i].name)));
        field->setEmptyText(QStringLiteral("0.0"));
        field->setFormat(format);
        connect(field, &EntryField::edited, m_buttons, &ApplyUndoButtons::edited);
        connect(field, &EntryField::accepted, this, [this, field, offset = ValueOffsets[i]](double shown) {
            const double base = m_param.code() == WaterCut ? shown : m_shown.toBase(shown);
            if (!std::isfinite(base)) {
                field->undoAccept();
                showStatus(field->invalidText());
                return;
            }
            shownBlock().setF64(offset, base);
        });
        m_values << field;
    }
    m_shrink = entryField(ui->txtShrinkFactor, QStringLiteral("Invalid Shrinkage Factor, old value restored!"));
    m_shrink->setEmptyText(QStringLiteral("0.0"));
    m_shrink->setFormat(format);
    connect(m_shrink, &EntryField::edited, m_buttons, &ApplyUndoButtons::edited);
    connect(m_shrink, &EntryField::accepted, this, &TfrmNetOil::txtShrinkFactorAccepted);

    connect(ui->cboNetParam, &QComboBox::activated, this, [this] { showParameter(); });
    connect(ui->cboNet, &QComboBox::activated, this, [this] {
        cboNetChange();
        m_buttons->edited();
    });
    connect(ui->cboWellNum, &QComboBox::activated, this, [this] {
        cboWellNumChange();
        m_buttons->edited();
    });
    connect(ui->cboStdTemp, &QComboBox::activated, this, [this] {
        m_wellCfg.setU8(StdTempByte, uint8_t(m_stdTemp.code()));
        m_buttons->edited();
    });
    connect(ui->btnWellData, &QPushButton::clicked, this, [this] {
        if (QDialog *wells = WindowRegistry::create(WellDataTag, this->context())) {
            wells->setParent(this, wells->windowFlags());
            wells->setAttribute(Qt::WA_DeleteOnClose);
            wells->open();
        }
    });
}

TfrmNetOil::~TfrmNetOil()
{
    silenceEntryFields(this);
}

void TfrmNetOil::FormActivate()
{
    readBlocks({&m_var, &m_wellCfg, &m_waterCut, &m_netWater, &m_netOil});
    m_net.show(m_var.u8(MeasParamByte));
    m_stdTemp.show(m_wellCfg.u8(StdTempByte));
    m_acceptedWell = m_var.u8(WellNoByte);
    m_well.show(m_acceptedWell);
    m_param.show(NetOil);
    showParameter();
    m_buttons->setApplyEnabled(false);
    m_buttons->setUndoEnabled(false);
    if (!WellTesting::lockedByWellTest(link(), LockedText, WellTesting::InProgressTitle,
                                       [this](const QString &t) { tell(t); }))
        return;
    lock();
}

bool TfrmNetOil::testRunsNow()
{
    // A test may have been started since the window opened (from the transmitter's panel, say).
    if (!m_locked && !WellTesting::lockedByWellTest(link(), LockedText, WellTesting::InProgressTitle,
                                                    [this](const QString &t) { tell(t); }))
        return false;
    lock();
    return true;
}

void TfrmNetOil::lock()
{
    m_locked = true;
    setEditable(false);
    m_buttons->setApplyEnabled(false);
    m_buttons->setUndoEnabled(false);
}

ConfigBlock &TfrmNetOil::shownBlock()
{
    switch (m_param.code()) {
    case NetWater: return m_netWater;
    case WaterCut: return m_waterCut;
    default: return m_netOil;
    }
}

int TfrmNetOil::netOilCode() const
{
    return m_var.u8(MeasParamByte) == 1 ? Quantity::MassFlow : Quantity::VolumeFlow;
}

void TfrmNetOil::showParameter()
{
    const int param = m_param.code();
    ConfigBlock &block = shownBlock();
    QString unitText = QStringLiteral("%");
    if (param == WaterCut) {
        m_shown = {};
        for (int i = 0; i < 4; ++i)
            m_values[i]->setValue(block.f64(ValueOffsets[i]));
    } else {
        const int code = netOilCode();
        const int unit = block.u8(UnitByte);
        m_shown = ShownUnit::of(link(), code, unit);
        unitText = unit == SpecialIndexOf(code) ? SpecialUnitText(link(), code) : UnitTextFor(code, unit);
        for (int i = 0; i < 4; ++i)
            m_values[i]->setValue(m_shown.fromBase(block.f64(ValueOffsets[i])));
    }
    for (QLabel *label : {ui->lblFallbackUnit, ui->lblLoAlarmUnit, ui->lblHiAlarmUnit, ui->lblLFCutoffUnit})
        label->setText(unitText);
    m_shrink->setValue(m_var.f64(ShrinkageAt));
    for (QWidget *w : std::initializer_list<QWidget *>{ui->lblLFCutoff, ui->txtLFCutoff, ui->lblLFCutoffUnit})
        w->setVisible(param != WaterCut);
    ui->lblShrinkFactor->setVisible(param == NetOil);
    ui->txtShrinkFactor->setVisible(param == NetOil);
}

void TfrmNetOil::cboNetChange()
{
    if (!m_net.matched() || m_net.code() == m_var.u8(MeasParamByte))
        return;
    m_var.setU8(MeasParamByte, uint8_t(m_net.code()));
    // A unit index means nothing in the other basis's list (volume's "m3/day" is past
    // the end of the mass list): each block takes the new list's first unit, or its
    // own unit again when the basis goes back to the one read.
    const bool backToRead = m_var.asRead().at(MeasParamByte) == char(m_net.code());
    for (ConfigBlock *block : {&m_netOil, &m_netWater})
        block->setU8(UnitByte, backToRead ? uint8_t(block->asRead().at(UnitByte)) : uint8_t(0));
    showParameter();
}

void TfrmNetOil::cboWellNumChange()
{
    const int well = m_well.code();
    GuardedWindow::BusyScope scope(*this);
    if (well != 0 && !WellTesting::wellIsValid(link(), well)) {
        showMessage(InvalidWellText, InvalidWellTitle, Prompter::Warning);
        m_well.show(m_acceptedWell);
        return;
    }
    m_acceptedWell = well;
    m_var.setU8(WellNoByte, uint8_t(well));
}

void TfrmNetOil::txtShrinkFactorAccepted(double value)
{
    QPalette palette = ui->txtShrinkFactor->palette();
    if (value < MinShrinkage || value > MaxShrinkage) {
        m_shrink->undoAccept();
        showMessage(ShrinkageText, ShrinkageTitle, Prompter::Information);
        palette.setColor(QPalette::Text, Qt::red);
    } else {
        m_var.setF64(ShrinkageAt, value);
        palette.setColor(QPalette::Text, Qt::black);
    }
    ui->txtShrinkFactor->setPalette(palette);
}

void TfrmNetOil::setEditable(bool on)
{
    for (QWidget *w : std::initializer_list<QWidget *>{ui->cboNet, ui->cboWellNum, ui->cboStdTemp, ui->cboUnit,
                                                       ui->txtFallback, ui->txtLoAlarmSet, ui->txtHiAlarmSet,
                                                       ui->txtLFCutoff, ui->txtShrinkFactor})
        w->setEnabled(on);
}

bool TfrmNetOil::btnApplyClick()
{
    if (testRunsNow())
        return false;
    // The field being typed in at Alt+A was committed by the buttons (ApplyUndoButtons);
    // fields nobody typed in are not parsed again, so their values go back as read.
    // All three parameters go out, so that edits made before switching parameter are not lost.
    if (!writeBlocks({&m_wellCfg, &m_netOil, &m_waterCut, &m_netWater, &m_var}, Copy::Working))
        return false;
    return forceCoil(WellTesting::ReadNetOilCoil);
}

bool TfrmNetOil::btnUndoClick()
{
    // The transmitter gets the values read at opening back, as in every
    // configuration window; the window shows them again.
    if (testRunsNow())
        return false;
    if (!writeBlocks({&m_wellCfg, &m_netOil, &m_waterCut, &m_netWater, &m_var}, Copy::AsRead)
        || !forceCoil(WellTesting::ReadNetOilCoil))
        return false;
    for (ConfigBlock *block : {&m_var, &m_wellCfg, &m_netOil, &m_waterCut, &m_netWater})
        block->revert();
    m_net.show(m_var.u8(MeasParamByte));
    m_stdTemp.show(m_wellCfg.u8(StdTempByte));
    m_acceptedWell = m_var.u8(WellNoByte);
    m_well.show(m_acceptedWell);
    showParameter();
    ui->btnWellData->setEnabled(true);
    return true;
}

TARVINE_REGISTER_WINDOW(45603, TfrmNetOil);
