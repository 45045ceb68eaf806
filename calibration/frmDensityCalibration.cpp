#include "frmDensityCalibration.h"

#include "ByteOrder.h"
#include "Clock.h"
#include "Codec.h"
#include "CommandArea.h"
#include "EntryFields.h"
#include "ModbusLink.h"
#include "NumberFormat.h"
#include "Prompter.h"
#include "RegisterBlocks.h"
#include "Session.h"
#include "TraceLog.h"
#include "UnitConversion.h"
#include "UnitLists.h"
#include "UnitsLink.h"
#include "WindowRegistry.h"
#include "ui_frmDensityCalibration.h"

#include <QRadioButton>

#include <utility>

namespace {
constexpr int TempCode = 3, DensityCode = 4, ApiUnit = 4, GramsPerCcUnit = 0;
constexpr int CfgTemp = 714, ConfigBlockBytes = 68;
constexpr int LiveDensity = 270, LiveBytes = 18;
constexpr int DensityCal = 2328, DensityCalBytes = 48;
constexpr int C1At = 0, C2At = 8, AirFreqAt = 16, AirTempAt = 24;
constexpr int StabilizeCoil = 4, CalibrateCoil = 5, LoopsManualCoil = 65, LoopsNormalCoil = 66, StabilizedCoil = 69;
constexpr int ConstantFormat = 5;
const QString WarningTitle = QStringLiteral("Density Calibration Warning");

QString constantText(double v)
{
    return FormatByIndex(ConstantFormat, v);
}
}  // namespace

TfrmDensityCalibration::TfrmDensityCalibration(const WindowContext &context, int tag)
    : CalibrationWindow(context, {.helpContext = tag, .commandCoils = {StabilizeCoil, StabilizedCoil}, .timerMs = 3000}),
      ui(std::make_unique<Ui::TfrmDensityCalibration>())
{
    ui->setupUi(this);
    bindPattern();
    const QString applyPrompt = QStringLiteral("Press Apply to update");
    for (QLineEdit *c : {ui->txtC1, ui->txtC2})
        fields().add(c, {.name = QStringLiteral("Constant"), .format = constantText});
    fields().add(ui->txtAirFreq, {.name = QStringLiteral("Frequency"), .format = [](double v) { return FormatValue(0, v); },
                                  .acceptedStatus = applyPrompt});
    fields().add(ui->txtAirTemp, {.name = QStringLiteral("Temperature"),
                                  .format = [](double v) { return FormatValue(TempCode, v); },
                                  .acceptedStatus = applyPrompt});
    // A density is positive; the red "0.0000" only asks for one.
    fields().add(ui->txtActualDensity,
                 {.name = QStringLiteral("Constant"), .format = [](double v) { return FormatValue(DensityCode, v); },
                  .min = 0.0, .nonZero = true, .acceptedStatus = applyPrompt,
                  .missingStatus = QStringLiteral("Enter the Actual Density: the red 0.0000 is not a density.")});
    connect(&fields(), &EntryFields::refused, this, [this] { btnApply->setEnabled(false); });
    connect(&fields(), &EntryFields::accepted, this, [this] {
        // A valid entry undoes the disabled Apply of an invalid one; Auto computes only
        // from an actual density that was typed.
        if (method() == Method::Manual)
            setApplyPending();
        else if (method() == Method::Auto && m_phase == 1)
            setApplyPending(fields().entered(ui->txtActualDensity));
    });
    connect(&fields(), &EntryFields::edited, this, [this](QLineEdit *e) {
        if (e == ui->txtActualDensity)
            btnApply->setEnabled(true);
    });
    connect(&fields(), &EntryFields::focused, this, [this](QLineEdit *e) {
        if (e == ui->txtActualDensity)
            e->setStyleSheet(QString());
    });
    setFieldsEnabled({ui->txtC1, ui->txtC2, ui->txtAirFreq, ui->txtAirTemp, ui->txtActualDensity}, false);
}

TfrmDensityCalibration::~TfrmDensityCalibration() = default;

void TfrmDensityCalibration::activate()
{
    trace(QStringLiteral("DenCal"));
    trace(QString(40, QLatin1Char('*')));
    fields().setValue(ui->txtActualDensity, 0.0);
    if (const auto unit = ReadConfiguredUnit(link(), CfgTemp))
        m_tempUnit = unit->unitIndex;
    if (const auto unit = ReadConfiguredUnit(link(), ConfigBlockFor(DensityCode)))
        m_densityUnit = unit->unitIndex;
    showUnits();
    setStatus(QStringLiteral("Select Manual or Auto Cal"));
    if (m_densityUnit == ApiUnit) {
        const int answer = message(QStringLiteral("Warning: Selecting OK will change Density Unit\r"
                                                      "         to g/cc for Calibtration, which will put\r"
                                                      "         control loops into Manual for Calibration\r"
                                                      "         Select CANCEL to Exit without calibrating"),
                                       WarningTitle, Prompter::Warning, Prompter::OK | Prompter::Cancel);
        // A unit that could not be switched closes the window as Cancel does: no calibration in °API.
        m_closeOnTick = answer != Prompter::IdOK || !switchDensityUnit(true);
        // Nothing may start in the moment before the window closes.
        for (QRadioButton *rb : {rbManual, rbAuto})
            rb->setEnabled(!m_closeOnTick);
    }
    refresh();
    reset();
}

void TfrmDensityCalibration::showUnits()
{
    ui->lblDensUnit->setText(UnitTextFor(DensityCode, m_densityUnit));
    ui->lblActDensUnit->setText(UnitTextFor(DensityCode, m_densityUnit));
    ui->lblTempUnit->setText(UnitTextFor(TempCode, m_tempUnit));
}

bool TfrmDensityCalibration::switchDensityUnit(bool toGramsPerCc)
{
    const int block = ConfigBlockFor(DensityCode);
    if (!readBlock(block, ConfigBlockBytes))
        return false;
    QByteArray bytes = image().read(block, ConfigBlockBytes);
    bytes[0] = char(toGramsPerCc ? GramsPerCcUnit : ApiUnit);
    if (toGramsPerCc)
        link().Force_Coil(LoopsManualCoil, ModbusFrame::CoilOn);
    if (!writeBlock(block, bytes)) {
        // The unit stayed as it was: the control loops go back to normal with it.
        if (toGramsPerCc)
            link().Force_Coil(LoopsNormalCoil, ModbusFrame::CoilOn);
        return false;
    }
    if (toGramsPerCc) {
        m_densityUnit = GramsPerCcUnit;
        m_unitSwitched = true;
        m_unitJustSwitched = true;
        showUnits();
    } else {
        link().Force_Coil(LoopsNormalCoil, ModbusFrame::CoilOn);
    }
    return true;
}

void TfrmDensityCalibration::refresh()
{
    Timer1->stop();
    fields().setTypingArmed(false);
    // Just after the switch to g/cc the transmitter may still report in °API: that
    // number is not shown as g/cc; the next refresh has the new unit.
    if (std::exchange(m_unitJustSwitched, false))
        ui->txtDensity->clear();
    else if (link().readRegisters(LiveDensity, LiveBytes))
        ui->txtDensity->setText(FormatValue(DensityCode, FromBase(DensityCode, image().f64Reg(LiveDensity), m_densityUnit)));
    else
        ui->txtDensity->clear();
    if (link().readRegisters(DensityCal, DensityCalBytes)) {
        m_calBlock = image().read(DensityCal, DensityCalBytes);
        fields().setValue(ui->txtC1, BigEndian::doubleAt(m_calBlock, C1At));
        fields().setValue(ui->txtC2, BigEndian::doubleAt(m_calBlock, C2At));
        fields().setValue(ui->txtAirFreq, BigEndian::doubleAt(m_calBlock, AirFreqAt));
        fields().setValue(ui->txtAirTemp, FromBase(TempCode, BigEndian::doubleAt(m_calBlock, AirTempAt), m_tempUnit));
    }
    fields().setTypingArmed(true);
    if (!closing())
        Timer1->start();
}

void TfrmDensityCalibration::timerTick()
{
    if (m_closeOnTick) {
        m_closeOnTick = false;
        requestClose();
        return;
    }
    CalibrationWindow::timerTick();
}

void TfrmDensityCalibration::manualChosen()
{
    session().setAbort(false);
    m_phase = 0;
    refresh();
    setRefresh(false);
    setFieldsEnabled({ui->txtC1, ui->txtC2, ui->txtAirFreq, ui->txtAirTemp}, true);
    ui->txtActualDensity->setEnabled(false);
    setStatus(QStringLiteral("Enter C1, C2, Air Freq, Air Temp"));
}

void TfrmDensityCalibration::autoChosen()
{
    session().setAbort(false);
    m_phase = 0;
    refresh();
    setRefresh(false);
    setFieldsEnabled({ui->txtC1, ui->txtC2, ui->txtAirFreq, ui->txtAirTemp, ui->txtActualDensity}, false);
    setStatus(QStringLiteral("Press Apply to Stabilize Density"));
}

QByteArray TfrmDensityCalibration::calibrationBlockWithAirPoint()
{
    if (m_calBlock.size() != DensityCalBytes) {
        reportFailure(QStringLiteral("The density calibration block could not be read, so it cannot be written back."));
        return {};
    }
    if (!fields().check(ui->txtAirFreq) || !fields().check(ui->txtAirTemp))
        return {};
    // What nobody typed goes back exactly as read.
    QByteArray block = m_calBlock;
    if (fields().entered(ui->txtAirFreq))
        BigEndian::putDouble(block, AirFreqAt, fields().value(ui->txtAirFreq));
    if (fields().entered(ui->txtAirTemp))
        BigEndian::putDouble(block, AirTempAt, ToBase(TempCode, fields().value(ui->txtAirTemp), m_tempUnit));
    return block;
}

void TfrmDensityCalibration::applyManual()
{
    setRefresh(false);
    QByteArray block = calibrationBlockWithAirPoint();
    if (block.isEmpty() || !fields().check(ui->txtC1) || !fields().check(ui->txtC2))
        return;
    const bool typed = fields().entered(ui->txtC1) || fields().entered(ui->txtC2) ||
                       fields().entered(ui->txtAirFreq) || fields().entered(ui->txtAirTemp);
    if (!typed && !fields().checkEntered(ui->txtC1))
        return;
    if (fields().entered(ui->txtC1))
        BigEndian::putDouble(block, C1At, fields().value(ui->txtC1));
    if (fields().entered(ui->txtC2))
        BigEndian::putDouble(block, C2At, fields().value(ui->txtC2));
    setFieldsEnabled({ui->txtC1, ui->txtC2, ui->txtAirFreq, ui->txtAirTemp}, false);
    if (!writeBlock(DensityCal, block)) {
        setStatus(QStringLiteral("Manual Cal failed!"));
        setRefresh(true);
        return;
    }
    trace(QStringLiteral("Apply Clicked, Manual: Preset Register with cDensityCal \r\n"));
    setApplyDone();
    rbManual->setChecked(false);
    setRefresh(true);
    setStatus(QStringLiteral("Manual Cal Complete"));
}

void TfrmDensityCalibration::applyAuto()
{
    if (m_phase == 0)
        stabilize();
    else
        computeConstants();
}

void TfrmDensityCalibration::keepLoopsInManual()
{
    if (!m_unitSwitched)
        return;
    ReadConfiguredUnit(link(), ConfigBlockFor(DensityCode));
    link().Force_Coil(LoopsManualCoil, ModbusFrame::CoilOn);
}

void TfrmDensityCalibration::stabilize()
{
    setRefresh(false);
    keepLoopsInManual();
    showCancel(true);
    int n = 0;
    const StepResult result = runTimedStep(StabilizeCoil, -1, [this, &n](qint64) {
        setStatus(QStringLiteral("Density Stabilizing") + QString(n++ % 5, QLatin1Char('.')));
        if (CommandArea(link()).readResults(244))
            ui->txtDensity->setText(FormatValue(DensityCode, FromBase(DensityCode, image().f64Reg(0), m_densityUnit)));
    });
    showCancel(false);
    if (result != StepResult::Done) {
        reportStep(result);
        abortCalibration();
        if (result == StepResult::Refused)
            setStatus(QStringLiteral("AutoCal Force Dens Stability Coil failed"));
        return;
    }
    link().Force_Coil(StabilizedCoil, ModbusFrame::CoilOff);
    link().Force_Coil(StabilizeCoil, ModbusFrame::CoilOff);
    setFieldsEnabled({ui->txtAirFreq, ui->txtAirTemp, ui->txtActualDensity}, true);
    showActualDensityZero();
    trace(QStringLiteral("Done: Posting Actual Density Zeros \r\n"));
    // Stabilized: the next Apply computes, once an actual density was typed.
    m_phase = 1;
    btnApply->setEnabled(false);
    ui->txtAirFreq->setFocus();
    setStatus(QStringLiteral("Enter Air Freq, Air Temp, Actual Density"));
}

void TfrmDensityCalibration::showActualDensityZero()
{
    // Until the user types one, an invalid entry falls back to the live density.
    if (link().readRegisters(LiveDensity, LiveBytes))
        fields().setValue(ui->txtActualDensity, FromBase(DensityCode, image().f64Reg(LiveDensity), m_densityUnit));
    fields().showPlaceholder(ui->txtActualDensity, QStringLiteral("0.0000"));
    ui->txtActualDensity->setStyleSheet(QStringLiteral("color: red;"));
}

void TfrmDensityCalibration::computeConstants()
{
    keepLoopsInManual();
    const QByteArray block = calibrationBlockWithAirPoint();
    if (block.isEmpty() || !fields().checkEntered(ui->txtActualDensity))
        return;
    if (!writeBlock(DensityCal, block)) {
        abortCalibration();
        return;
    }
    CommandArea area(link());
    area.setF64(0, ToBase(DensityCode, fields().value(ui->txtActualDensity), m_densityUnit));
    if (!area.write() || !runCommand(CalibrateCoil, QStringLiteral("the density calibration"))) {
        trace(QStringLiteral("Force Coil Failed: DENS_CAL_COIL, COIL_SET\r\n"));
        abortCalibration();
        return;
    }
    setApplyDone();
    rbAuto->setChecked(false);
    setFieldsEnabled({ui->txtAirFreq, ui->txtAirTemp, ui->txtActualDensity}, false);
    m_phase = 0;
    setStatus(QStringLiteral("Auto Cal Complete"));
    reset();
    refresh();
    showActualDensityZero();
}

void TfrmDensityCalibration::abortCleanup()
{
    setFieldsEnabled({ui->txtAirFreq, ui->txtAirTemp, ui->txtActualDensity}, false);
    m_phase = 0;
}

QList<CalibrationRecord::Constants> TfrmDensityCalibration::constants() const
{
    return {{.firstRegister = DensityCal, .bytes = DensityCalBytes}};
}

void TfrmDensityCalibration::windowClosing()
{
    m_closeOnTick = false;
    if (!m_unitSwitched)
        return;
    message(QStringLiteral("Warning: Return Control Loops To Normal Configuration"), WarningTitle,
                Prompter::Warning, Prompter::OK);
    m_unitSwitched = false;
    if (!switchDensityUnit(false))
        message(QStringLiteral("The density unit could not be put back to °API and the control loops are still in "
                                   "Manual.\rSet the density unit in Configure Transmit Variables."),
                    WarningTitle, Prompter::Error, Prompter::OK);
}
