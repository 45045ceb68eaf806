#include "TfrmAlarmCfg.h"

#include "ApplyUndoButtons.h"
#include "EntryField.h"
#include "ModbusLink.h"
#include "NumberFormat.h"
#include "OperationRecord.h"
#include "QuantityCode.h"
#include "RegisterBlocks.h"
#include "UnitConversion.h"
#include "UnitLists.h"
#include "UnitsLink.h"
#include "ui_frmAlarmCfg.h"

#include <cmath>

namespace {
constexpr int RelayRegisters[] = {1010, 1011};
constexpr int PauseCoils[] = {43, 45};
constexpr int ResumeCoils[] = {44, 46};
constexpr int NetOilVariables = 1707, NetOilVariablesBytes = 12, MeasParamByte = 8;
constexpr int SetpointBlockBytes = 68, UnitByte = 0, LowByte = 10, HighByte = 18;

const QList<CodeChoice::Item> Sources = {
    {"Not Used", 0}, {"Temperature", 3}, {"Density", 4}, {"Concentration", 11}, {"Mass Flow", 5},
    {"Volume Flow", 7}, {"Std Volume Flow", 9}, {"Concentrate Flow", 12}, {"Net Oil Flow", 14},
    {"Low Batch", 29}, {"High Batch", 30}, {"Sensor Error", 22}, {"DSP Failure", 24}, {"Driver Current", 18},
    {"Tubes Not Vib", 23}, {"4-20 Failure", 25}, {"RTD Failure", 26}, {"System Problem", 28},
    {"Pulse Buffer Overflow", 27}, {"Oil % Water Cut", 50}, {"Prod. Water Rate", 51},
};
const QList<CodeChoice::Item> Types = {{"Indicator", 32}, {"FailSafe", 33}};

// Sources whose setpoints live in a configuration block of their own.
int setpointBlockOf(int source)
{
    switch (source) {
    case Quantity::Temperature: case Quantity::Density: case Quantity::Concentration: case Quantity::MassFlow:
    case Quantity::VolumeFlow: case Quantity::StdVolumeFlow: case Quantity::ConcentrateFlow:
    case Quantity::NetOilFlow: case Quantity::WaterCut: case Quantity::NetWaterRate:
        return ConfigBlockFor(source);
    default:
        return 0;
    }
}
}  // namespace

const QString TfrmAlarmCfg::ResumeFailedText = QStringLiteral(
    "The transmitter did not confirm that the alarm relay resumed. Check the relay on the transmitter.");

TfrmAlarmCfg::TfrmAlarmCfg(const WindowContext &context, int)
    : ConfigWindow(context), ui(std::make_unique<Ui::TfrmAlarmCfg>()), m_alarm(nullptr), m_param(nullptr),
      m_type(nullptr), m_unit(nullptr)
{
    ui->setupUi(this);
    m_alarm = CodeChoice(ui->cboAlarm);
    m_param = CodeChoice(ui->cboParam);
    m_type = CodeChoice(ui->cboType);
    m_unit = CodeChoice(ui->cboUnit);
    m_alarm.setItems(QStringList{QStringLiteral("Alarm1"), QStringLiteral("Alarm2")});
    m_param.setItems(Sources);
    m_type.setItems(Types);
    ui->lblPcnt->hide();

    m_buttons = new ApplyUndoButtons(this, {ui->btnApply, ui->btnUndo, ui->btnHelp, ui->btnClose}, HelpContext);
    m_buttons->onApply([this] { return btnApplyClick(); });
    m_buttons->onUndo([this] { return btnUndoClick(); }, true);

    m_lo = entryField(ui->txtLoAlarmSet, QStringLiteral("Invalid Low Setpoint, old value restored!"));
    m_hi = entryField(ui->txtHiAlarmSet, QStringLiteral("Invalid High Setpoint, old value restored!"));
    for (EntryField *field : {m_lo, m_hi}) {
        field->setEmptyText(QStringLiteral("0.0"));
        field->setFormat([this](double v) { return FormatValue(unitCode(), v); });
        connect(field, &EntryField::edited, m_buttons, &ApplyUndoButtons::edited);
        connect(field, &EntryField::accepted, this, [this, field](double shown) {
            // The working copy holds base units; a value that has none (an undefined
            // Special unit) is refused like unreadable text.
            if (!m_setpoints)
                return;
            const double base = m_shown.toBase(shown);
            if (!std::isfinite(base)) {
                field->undoAccept();
                showStatus(field->invalidText());
                return;
            }
            m_setpoints->setF64(field == m_lo ? LowByte : HighByte, base);
        });
    }
    connect(ui->cboAlarm, &QComboBox::activated, this, &TfrmAlarmCfg::cboAlarmChange);
    connect(ui->cboParam, &QComboBox::activated, this, &TfrmAlarmCfg::cboParamChange);
    connect(ui->cboType, &QComboBox::activated, m_buttons, &ApplyUndoButtons::edited);
    connect(ui->cboUnit, &QComboBox::activated, this, &TfrmAlarmCfg::cboUnitPicked);
    ui->cboAlarm->setCurrentIndex(0);
}

TfrmAlarmCfg::~TfrmAlarmCfg()
{
    silenceEntryFields(this);
}

void TfrmAlarmCfg::FormActivate()
{
    ConfigBlock netOil(NetOilVariables, NetOilVariablesBytes);
    readBlocks({&netOil});
    m_netOilQuantity = netOil.u8(MeasParamByte) == 1 ? Quantity::MassFlow : Quantity::VolumeFlow;
    selectRelay();
}

int TfrmAlarmCfg::unitCode() const
{
    const int source = m_param.code();
    if (source == Quantity::NetOilFlow || source == Quantity::NetWaterRate)
        return m_netOilQuantity;
    return source;
}

void TfrmAlarmCfg::selectRelay()
{
    m_relay = std::make_unique<ConfigBlock>(RelayRegisters[qBound(0, m_alarm.code(), 1)], 2);
    readBlocks({m_relay.get()});
    showRelay();
    m_buttons->setApplyEnabled(true);
    m_buttons->setUndoEnabled(false);
}

void TfrmAlarmCfg::selectSource()
{
    const int source = m_param.code();
    const int block = setpointBlockOf(source);
    const bool percent = source == Quantity::WaterCut;
    ui->cboUnit->setVisible(!percent);
    ui->lblPcnt->setVisible(percent);
    m_unit.setItems(UnitListFor(unitCode()));
    m_setpoints.reset();
    if (block != 0) {
        m_setpoints = std::make_unique<ConfigBlock>(block, SetpointBlockBytes);
        readBlocks({m_setpoints.get()});
        m_unit.show(m_setpoints->u8(UnitByte));
    } else {
        m_unit.show(0);
    }
    for (QWidget *w : {static_cast<QWidget *>(ui->cboUnit), static_cast<QWidget *>(ui->txtLoAlarmSet),
                       static_cast<QWidget *>(ui->txtHiAlarmSet)})
        w->setEnabled(m_setpoints != nullptr);
    cboUnitChange();
}

void TfrmAlarmCfg::cboUnitPicked()
{
    const ShownUnit next = ShownUnit::of(link(), unitCode(), m_unit.code());
    if (!next.factorRead && m_setpoints) {
        // Back to the unit the values are shown in; without a factor nothing converts.
        m_unit.show(m_shown.index);
        tell(ShownUnit::FactorUnreadText);
        return;
    }
    cboUnitChange();
}

void TfrmAlarmCfg::cboUnitChange()
{
    m_shown = ShownUnit::of(link(), unitCode(), m_unit.code());
    QString text;
    if (m_param.code() == Quantity::WaterCut)
        text = QStringLiteral(" %");
    else if (m_setpoints && m_unit.code() == SpecialIndexOf(unitCode()))
        text = SpecialUnitText(link(), unitCode());
    else if (m_setpoints)
        text = UnitTextFor(unitCode(), m_unit.code());
    ui->lblLoUnit->setText(text);
    ui->lblHiUnit->setText(text);
    if (m_setpoints && m_unit.matched())
        m_setpoints->setU8(UnitByte, uint8_t(m_unit.code()));
    showSetpoints();
}

void TfrmAlarmCfg::showSetpoints()
{
    m_lo->setValue(m_setpoints ? m_shown.fromBase(m_setpoints->f64(LowByte)) : 0.0);
    m_hi->setValue(m_setpoints ? m_shown.fromBase(m_setpoints->f64(HighByte)) : 0.0);
}

void TfrmAlarmCfg::cboAlarmChange()
{
    GuardedWindow::BusyScope scope(*this);
    selectRelay();
}

void TfrmAlarmCfg::cboParamChange()
{
    GuardedWindow::BusyScope scope(*this);
    selectSource();
    m_buttons->edited();
}

bool TfrmAlarmCfg::writeRelay(const QByteArray &word)
{
    OperationRecord record(link(), windowTitle() + QStringLiteral(": alarm relay"));
    // Once the relay is paused it is always resumed, whatever became of the write.
    const int alarm = qBound(0, m_alarm.code(), 1);
    if (!forceCoil(PauseCoils[alarm])) {
        record.finish(HistoryOutcome::Refused, CoilFailedText);
        return false;
    }
    const bool partOfAChange = wroteAny();
    const bool written = link().writeRegisters(m_relay->firstRegister(), word);
    if (written)
        noteWritten();
    const bool resumed = link().Force_Coil(ResumeCoils[alarm], 0xFF00);
    const QString failure = !written ? (partOfAChange ? PartlyWrittenText : WriteFailedText)
                            : !resumed ? ResumeFailedText
                                       : QString();
    record.finish(failure.isEmpty() ? HistoryOutcome::Done : HistoryOutcome::FailedPartWay, failure);
    if (!failure.isEmpty())
        tell(failure);
    if (!written && !resumed)
        tell(ResumeFailedText);
    return written && resumed;
}

bool TfrmAlarmCfg::btnApplyClick()
{
    if (!m_relay->wasRead()) {
        tell(NotReadText);
        return false;
    }
    if (!levelAllowsWriting())
        return false;
    if (m_setpoints && !writeBlocks({m_setpoints.get()}, Copy::Working))
        return false;
    m_relay->setU8(0, uint8_t(m_param.code()));
    m_relay->setU8(1, uint8_t(m_type.code()));
    if (writeRelay(m_relay->working()))
        return true;
    // The relay keeps the source and mode it had: the window shows them again.
    if (wroteAny())
        m_relay->revert();
    return false;
}

void TfrmAlarmCfg::showTransmitterState()
{
    showRelay();
}

void TfrmAlarmCfg::showRelay()
{
    // The source's setpoints are read again as choosing the source does, so no
    // field of another source stays live.
    m_type.show(m_relay->u8(1));
    m_param.show(m_relay->u8(0));
    selectSource();
}

bool TfrmAlarmCfg::btnUndoClick()
{
    if (m_setpoints && !writeBlocks({m_setpoints.get()}, Copy::AsRead))
        return false;
    if (!writeBlocks({m_relay.get()}, Copy::AsRead))
        return false;
    m_relay->revert();
    showRelay();
    return true;
}

TARVINE_REGISTER_WINDOW(454, TfrmAlarmCfg);
