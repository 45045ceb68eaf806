#include "frmMassCalibration.h"

#include "ByteOrder.h"
#include "Clock.h"
#include "Codec.h"
#include "CommandArea.h"
#include "EntryFields.h"
#include "FillUnitCombo.h"
#include "ModbusLink.h"
#include "NumberFormat.h"
#include "Prompter.h"
#include "Session.h"
#include "UnitConversion.h"
#include "UnitLists.h"
#include "WindowRegistry.h"
#include "ui_frmMassCalibration.h"

#include <cmath>
#include <utility>

namespace {
constexpr int MassRateCode = 5, MassTotalCode = 6, MethodChoiceCode = 174;
constexpr int CfgFlowMass = 680, CfgFlowMassBytes = 68;
constexpr int CfgBatch = 550, CfgBatchBytes = 52;
constexpr int BatchSizeAt = 2, TrickleAt = 10;
constexpr int MassTotalReg = 244, MassRateReg = 252, MassScalarReg = 2292;
constexpr int ResultBytes = 244, RunRateAt = 0, RunTotalAt = 8;
constexpr int ScalarCoil = 8, BatchAbortCoil = 80;
constexpr int ScalarFormat = 6, ActualMassFormat = 4;

struct MethodRow {
    int startCoil;
    int stopCoil;
    bool batchFields;
    const char *prompt;
    const char *waiting;
};
constexpr MethodRow Methods[] = {
    {.startCoil = 6, .stopCoil = 70, .batchFields = false, .prompt = "Press Apply and wait for flow...",
     .waiting = "Waiting for flow..."},
    {.startCoil = 7, .stopCoil = 71, .batchFields = true, .prompt = "Enter Batch Size, Trickle Offset",
     .waiting = "Waiting for flow, press START on unit"},
};
const QString StatusStyle = QStringLiteral("color: %1; background-color: #3c3c3c; font-weight: bold; padding: 3px;");
}  // namespace

TfrmMassCalibration::TfrmMassCalibration(const WindowContext &context, int tag)
    : CalibrationWindow(context,
                        {.helpContext = tag,
                         .commandCoils = {81, 6, 70, 7, 71, 8, 80},
                         .openTitle = QStringLiteral("Mass Calibration via Tarvine"),
                         .openText = QStringLiteral(
                             "Notice: The Tarvine can not start or stop flow through the mass\rmeter.  For calibration "
                             "the user must start and stop flow manually\ror by using the Ostrel's batch controller "
                             "and START/STOP inputs."),
                         .closeTitle = QStringLiteral("Terminate Mass Calibration"),
                         .closeText = QStringLiteral("Warning: Verify that flow has stopped and that\rthe system is "
                                                     "returned to its proper state.")}),
      ui(std::make_unique<Ui::TfrmMassCalibration>())
{
    ui->setupUi(this);
    bindPattern();
    const auto massText = [](double v) { return FormatValue(MassTotalCode, v); };
    fields().add(ui->txtMassScalar,
                 {.name = QStringLiteral("Mass Scalar"), .format = [](double v) { return FormatByIndex(ScalarFormat, v); },
                  .min = 0, .nonZero = true, .focusPrompt = QStringLiteral("Enter Mass Scalar, press Apply")});
    fields().add(ui->txtBatchSize, {.name = QStringLiteral("Batch Size"), .format = massText, .min = 0,
                                    .focusPrompt = QStringLiteral("Enter Batch Size")});
    fields().add(ui->txtTrickleOffset,
                 {.name = QStringLiteral("Trickle Offset"), .format = massText, .min = 0,
                  .focusPrompt = QStringLiteral("Enter Trickle Offset, press Apply"),
                  .acceptedStatus = QStringLiteral("Press Apply and wait for flow...")});
    fields().add(ui->txtActualMass,
                 {.name = QStringLiteral("Actual Mass"),
                  .format = [](double v) { return FormatByIndex(ActualMassFormat, v); },
                  .focusPrompt = QStringLiteral("Enter Actual Mass, press Apply")});
    connect(&fields(), &EntryFields::accepted, this, [this](QLineEdit *e) {
        if (e == ui->txtActualMass)
            actualMassEntered();
    });
    connect(&fields(), &EntryFields::refused, this, [this](QLineEdit *e) {
        if (e == ui->txtActualMass)
            btnApply->setEnabled(false);
    });
    connect(ui->cboMethod, &QComboBox::activated, this, [this] { userAction([this] { cboMethodChange(); }); });
    Timer2 = new ClockTimer(this);
    Timer2->setInterval(500);
    connect(Timer2, &ClockTimer::timeout, this, [this] {
        m_blinkOn = !m_blinkOn;
        pnlStatus->setStyleSheet(StatusStyle.arg(m_blinking && !m_blinkOn ? QStringLiteral("#3c3c3c")
                                                                           : QStringLiteral("yellow")));
    });
}

TfrmMassCalibration::~TfrmMassCalibration() = default;

std::optional<double> TfrmMassCalibration::scalarFromRun(double actualBase, double measuredBase)
{
    if (measuredBase == 0.0)
        return std::nullopt;
    const double scalar = std::fabs(actualBase / measuredBase);
    if (!std::isfinite(scalar) || scalar == 0.0)
        return std::nullopt;
    return scalar;
}

int TfrmMassCalibration::totalIndex() const
{
    return TotalIndexForRate(MassTotalCode, m_rateUnit);
}

void TfrmMassCalibration::activate()
{
    setStatus(QStringLiteral("Initializing..."));
    FillUnitCombo(MethodChoiceCode, ui->cboMethod);
    if (link().readRegisters(CfgFlowMass, CfgFlowMassBytes))
        m_rateUnit = image().u8At(2 * CfgFlowMass);
    ui->lblMassRateUnit->setText(UnitTextFor(MassRateCode, m_rateUnit));
    const QString totalUnit = UnitTextFor(MassTotalCode, m_rateUnit);
    for (QLabel *l : {ui->lblMassTotalUnit, ui->lblBatchSizeUnit, ui->lblTrickleOffsetUnit, ui->lblActualMassUnit})
        l->setText(totalUnit);
    // The batch block is put back at close, so only a block that was read counts.
    m_batchRead = link().readRegisters(CfgBatch, CfgBatchBytes);
    m_batchAsRead = image().read(CfgBatch, CfgBatchBytes);
    fields().setValue(ui->txtBatchSize,
                      FromBase(MassTotalCode, BigEndian::doubleAt(m_batchAsRead, BatchSizeAt), totalIndex()));
    fields().setValue(ui->txtTrickleOffset,
                      FromBase(MassTotalCode, BigEndian::doubleAt(m_batchAsRead, TrickleAt), totalIndex()));
    idleReset();
    showScalar();
    refresh();
    reset();
    setStatus(QStringLiteral("Select Manual or Auto Cal"));
    Timer2->start();
}

void TfrmMassCalibration::idleReset()
{
    showCancel(false);
    setBlinking(false);
    session().setAbort(false);
    m_startPending = m_running = m_flowSeen = m_baselineTaken = false;
    setRefresh(false);
    btnClose->setEnabled(true);
    uncheckMethods();
    ui->txtMassScalar->setEnabled(false);
    m_method = NoMethod;
    ui->cboMethod->setCurrentIndex(-1);
    ui->cboMethod->setEnabled(false);
    setFieldsEnabled({ui->txtBatchSize, ui->txtTrickleOffset, ui->txtActualMass}, false);
    setApplyPending(false);
}

bool TfrmMassCalibration::showScalar()
{
    if (!link().readRegisters(MassScalarReg, 8))
        return false;
    m_scalar = image().f64Reg(MassScalarReg);
    fields().setValue(ui->txtMassScalar, m_scalar);
    return true;
}

void TfrmMassCalibration::setBlinking(bool on)
{
    m_blinking = on;
    m_blinkOn = true;
    pnlStatus->setStyleSheet(StatusStyle.arg(QStringLiteral("yellow")));
}

void TfrmMassCalibration::refresh()
{
    Timer1->stop();
    double total = 0.0, rate = 0.0;
    if (!m_running) {
        // Only what was read is shown; a closed port shows nothing.
        const bool read = link().readRegisters(MassTotalReg, 16) && link().readRegisters(MassRateReg, 18);
        showScalar();
        if (!read) {
            ui->txtMassTotal->clear();
            ui->txtMassRate->clear();
            if (!closing())
                Timer1->start();
            return;
        }
        total = image().f64Reg(MassTotalReg);
        rate = image().f64Reg(MassRateReg);
    } else {
        if (!link().readRegisters(0, ResultBytes)) {
            reportStep(StepResult::LinkFailed);
            abortCalibration();
            return;
        }
        rate = image().f64At(RunRateAt);
        total = image().f64At(RunTotalAt);
        // The first change after the start is only the baseline; the second is flow.
        if (total != m_lastTotal) {
            m_lastTotal = total;
            if (m_baselineTaken && !m_flowSeen)
                m_flowSeen = true;
            m_baselineTaken = true;
        }
        if (m_flowSeen && !m_blinking) {
            setStatus(QStringLiteral("Flow in progress..."));
            setBlinking(true);
        }
    }
    ui->txtMassTotal->setText(FormatValue(MassTotalCode, FromBase(MassTotalCode, total, totalIndex())));
    ui->txtMassRate->setText(FormatValue(MassRateCode, FromBase(MassRateCode, rate, m_rateUnit)));
    if (m_running)
        followRun();
    if (!closing())
        Timer1->start();
}

void TfrmMassCalibration::followRun()
{
    // The transmitter reports a run it gave up with Busy.
    const ModbusLink::CoilState busy = link().readCoilState(TransmitterBusyCoil);
    if (busy != ModbusLink::CoilState::Off) {
        reportStep(busy == ModbusLink::CoilState::On ? StepResult::DeviceAborted : StepResult::LinkFailed);
        abortCalibration();
        return;
    }
    if (!m_flowSeen)
        return;
    switch (link().readCoilState(m_startCoil)) {
    case ModbusLink::CoilState::On: return;
    case ModbusLink::CoilState::Off: stopRun(); return;
    case ModbusLink::CoilState::NoReply:
        reportStep(StepResult::LinkFailed);
        abortCalibration();
        return;
    }
}

void TfrmMassCalibration::manualChosen()
{
    idleReset();
    rbManual->setChecked(true);
    ui->txtMassScalar->setEnabled(true);
    setApplyPending();
    setStatus(QStringLiteral("Enter Mass Scalar, press Apply"));
}

void TfrmMassCalibration::autoChosen()
{
    idleReset();
    rbAuto->setChecked(true);
    ui->cboMethod->setEnabled(true);
    ui->cboMethod->setCurrentIndex(Dump);
    cboMethodChange();
}

void TfrmMassCalibration::cboMethodChange()
{
    m_method = qBound(0, ui->cboMethod->currentIndex(), 1);
    const MethodRow &row = Methods[m_method];
    m_startCoil = row.startCoil;
    m_stopCoil = row.stopCoil;
    setFieldsEnabled({ui->txtBatchSize, ui->txtTrickleOffset}, row.batchFields);
    ui->txtActualMass->setEnabled(false);
    setStatus(QString::fromLatin1(row.prompt));
    setApplyPending();
    m_startPending = true;
}

void TfrmMassCalibration::applyManual()
{
    if (!fields().checkEntered(ui->txtMassScalar))
        return;
    QByteArray bytes(8, '\0');
    BigEndian::putDouble(bytes, 0, fields().value(ui->txtMassScalar));
    if (!writeBlock(MassScalarReg, bytes)) {
        setStatus(QStringLiteral("Manual Cal failed!"));
        return;
    }
    setStatus(QStringLiteral("Manual Cal Complete"));
    succeeded(QStringLiteral("Manual Cal Complete"));
}

void TfrmMassCalibration::applyAuto()
{
    if (m_startPending) {
        startRun();
        return;
    }
    // The check computes the scalar again from what the field holds now.
    if (!fields().check(ui->txtActualMass))
        return;
    CommandArea area(link());
    area.setF64(0, m_scalar);
    if (!area.write() || !runCommand(ScalarCoil, QStringLiteral("the mass scalar"))) {
        abortCalibration();
        return;
    }
    setStatus(QStringLiteral("Auto Cal Complete"));
    succeeded(QStringLiteral("Auto Cal Complete"));
}

void TfrmMassCalibration::startRun()
{
    btnApply->setEnabled(false);
    ui->txtActualMass->clear();
    if (m_method == Batch) {
        if (!m_batchRead) {
            reportFailure(QStringLiteral("The batch configuration could not be read, so a batch run cannot be set up."));
            abortCalibration();
            return;
        }
        if (!fields().check(ui->txtBatchSize) || !fields().check(ui->txtTrickleOffset)) {
            btnApply->setEnabled(true);
            return;
        }
        QByteArray working = m_batchAsRead;
        working[0] = char(MassTotalCode);
        working[1] = 0;
        BigEndian::putDouble(working, BatchSizeAt, ToBase(MassTotalCode, fields().value(ui->txtBatchSize), totalIndex()));
        BigEndian::putDouble(working, TrickleAt,
                             ToBase(MassTotalCode, fields().value(ui->txtTrickleOffset), totalIndex()));
        m_batchWritten = true;
        if (!writeBlock(CfgBatch, working)) {
            abortCalibration();
            return;
        }
    }
    // The run is the calibration: it is recorded (and its abort) even when no block is written.
    beginCalibration();
    if (!link().Force_Coil(m_startCoil, ModbusFrame::CoilOn)) {
        abortCalibration();
        return;
    }
    stepStarted();
    // While the run lasts only Escape acts on the window (and the close box says so).
    beginStep();
    setStatus(QString::fromLatin1(Methods[m_method].waiting));
    m_startPending = false;
    m_flowSeen = m_baselineTaken = false;
    m_lastTotal = 0.0;
    m_running = true;
    setRefresh(true);
    showCancel(true);
}

void TfrmMassCalibration::stopRun()
{
    endStep();
    showCancel(false);
    setBlinking(false);
    m_running = m_flowSeen = m_baselineTaken = false;
    setRefresh(false);
    btnClose->setEnabled(true);
    link().Force_Coil(m_stopCoil, ModbusFrame::CoilOff);
    // The measured total comes from this read alone: a stale buffer must not make a scalar.
    if (!link().readRegisters(0, ResultBytes)) {
        reportStep(StepResult::LinkFailed);
        abortCalibration();
        return;
    }
    m_measured = image().f64At(RunTotalAt);
    const double shown = FromBase(MassTotalCode, m_measured, totalIndex());
    ui->txtMassTotal->setText(FormatValue(MassTotalCode, shown));
    fields().setValue(ui->txtActualMass, shown);
    noteReading(QStringLiteral("Measured Mass"), ui->txtMassTotal->text() + QLatin1Char(' ') + ui->lblMassTotalUnit->text());
    ui->txtActualMass->setEnabled(true);
    ui->txtActualMass->setFocus();
    setStatus(QStringLiteral("Enter Actual Mass"));
    btnApply->setEnabled(true);
}

void TfrmMassCalibration::actualMassEntered()
{
    const double actual = ToBase(MassTotalCode, fields().value(ui->txtActualMass), totalIndex());
    if (const std::optional<double> s = scalarFromRun(actual, m_measured)) {
        m_scalar = *s;
        setStatus(QStringLiteral("Mass Scalar calculated, press Apply"));
    } else {
        setStatus(QStringLiteral("Mass Scalar unchanged, press Apply"));
    }
    btnApply->setEnabled(true);
}

void TfrmMassCalibration::succeeded(const QString &)
{
    showScalar();
    setApplyDone();
    idleReset();
    setApplyDone();
    reset();
    setRefresh(true);
}

void TfrmMassCalibration::abortCleanup()
{
    endStep();
    setBlinking(false);
    if (m_method == Batch)
        link().Force_Coil(BatchAbortCoil, ModbusFrame::CoilOn);
}

void TfrmMassCalibration::abortDone()
{
    idleReset();
    setRefresh(true);
}

bool TfrmMassCalibration::mayClose()
{
    if (!m_running)
        return true;
    const bool wasActive = Timer1->isActive();
    Timer1->stop();
    message(QStringLiteral("Calibration in progress...\rClose prohibited,\rUse ESC key to Abort calibration!"),
                QStringLiteral("Close Mass Cal"), Prompter::Error, Prompter::OK);
    if (wasActive)
        Timer1->start();
    return false;
}

void TfrmMassCalibration::windowClosing()
{
    endStep();
    setRefresh(false);
    Timer2->stop();
    // Only a block that was read goes back; anything else would overwrite the batch
    // setup. A block no run wrote is left alone: nothing is sent that nobody changed.
    if (m_batchRead && std::exchange(m_batchWritten, false))
        writeBlock(CfgBatch, m_batchAsRead);
}

QList<CalibrationRecord::Constants> TfrmMassCalibration::constants() const
{
    return {{.firstRegister = MassScalarReg, .bytes = 8}};
}
