#include "frmTempCalibration.h"

#include "ByteOrder.h"
#include "Clock.h"
#include "Codec.h"
#include "CommandArea.h"
#include "EntryFields.h"
#include "ModbusLink.h"
#include "NumberFormat.h"
#include "Session.h"
#include "UnitConversion.h"
#include "UnitLists.h"
#include "UnitsLink.h"
#include "WindowRegistry.h"
#include "ui_frmTempCalibration.h"

#include <cmath>

namespace {
constexpr int TempCode = 3;
constexpr int CfgTemp = 714, LiveTemp = 261, LiveTempBytes = 18;
constexpr int RtdResistance = 524, ResistanceScale = 2352, CountScale = 530, OffsetCounts = 2356;
constexpr int StabilizeCoil = 2, ApplyCoil = 3;

QString ohmsText(double v)
{
    return QString::asprintf("%-5.4f", v);
}
QByteArray doubleBytes(double v)
{
    QByteArray b(8, '\0');
    BigEndian::putDouble(b, 0, v);
    return b;
}
std::optional<double> ifFinite(double v)
{
    return std::isfinite(v) ? std::optional<double>(v) : std::nullopt;
}
}  // namespace

TfrmTempCalibration::TfrmTempCalibration(const WindowContext &context, int tag)
    : CalibrationWindow(context, {.helpContext = tag, .commandCoils = {StabilizeCoil, ApplyCoil}}),
      ui(std::make_unique<Ui::TfrmTempCalibration>())
{
    ui->setupUi(this);
    bindPattern();
    const QString applyPrompt = QStringLiteral("Press Apply to update");
    fields().add(ui->txtRTDResOff, {.name = QStringLiteral("Offset"), .format = ohmsText,
                                    .focusPrompt = QStringLiteral("Enter RTD Resistor Offset"),
                                    .acceptedStatus = applyPrompt});
    fields().add(ui->txtActualTemp, {.name = QStringLiteral("Temperature"),
                                     .format = [](double v) { return FormatValue(TempCode, v); },
                                     .focusPrompt = QStringLiteral("Enter Actual Temperature"),
                                     .acceptedStatus = applyPrompt,
                                     .missingStatus = QStringLiteral("Enter the Actual Temperature: the value shown is "
                                                                     "the transmitter's own reading.")});
    connect(&fields(), &EntryFields::focused, this, [this] { btnApply->setEnabled(true); });
    connect(&fields(), &EntryFields::accepted, this, [this] { btnApply->setEnabled(true); });
    setFieldsEnabled({ui->txtRTDResOff, ui->txtActualTemp}, false);
}

TfrmTempCalibration::~TfrmTempCalibration() = default;

std::optional<double> TfrmTempCalibration::ohmsFromCounts(double r, double n, double counts)
{
    if (r == 0.0 || n == 0.0)
        return std::nullopt;
    return ifFinite(r / n * counts);
}

std::optional<double> TfrmTempCalibration::countsFromOhms(double r, double n, double ohms)
{
    if (r == 0.0 || n == 0.0)
        return std::nullopt;
    return ifFinite(n / r * ohms);
}

void TfrmTempCalibration::activate()
{
    if (const auto unit = ReadConfiguredUnit(link(), CfgTemp))
        m_tempUnit = unit->unitIndex;
    ui->lblTempUnit->setText(UnitTextFor(TempCode, m_tempUnit));
    ui->lblActualTempUnit->setText(UnitTextFor(TempCode, m_tempUnit));
    setStatus(QStringLiteral("Select Manual or Auto Cal"));
    reset();
    refresh();
}

void TfrmTempCalibration::refresh()
{
    Timer1->stop();
    fields().setTypingArmed(false);
    if (link().readRegisters(LiveTemp, LiveTempBytes))
        ui->txtTemp->setText(FormatValue(TempCode, FromBase(TempCode, image().f64Reg(LiveTemp), m_tempUnit)));
    else
        ui->txtTemp->clear();
    if (link().readRegisters(RtdResistance, 8))
        ui->txtRTDRes->setText(ohmsText(image().f64Reg(RtdResistance)));
    else
        ui->txtRTDRes->clear();
    // The offset is restored from these counts, so they count only when read.
    m_scalesRead = link().readRegisters(ResistanceScale, 8) && link().readRegisters(CountScale, 4) &&
                   link().readRegisters(OffsetCounts, 8);
    if (m_scalesRead) {
        m_r = image().f64Reg(ResistanceScale);
        m_n = double(int32_t(image().u32At(2 * CountScale)));
        m_counts = image().f64Reg(OffsetCounts);
        if (const auto ohms = ohmsFromCounts(m_r, m_n, m_counts))
            fields().setValue(ui->txtRTDResOff, *ohms);
        else
            fields().showPlaceholder(ui->txtRTDResOff, QString());
    } else {
        fields().showPlaceholder(ui->txtRTDResOff, QString());
    }
    fields().setTypingArmed(true);
    if (!closing())
        Timer1->start();
}

void TfrmTempCalibration::manualChosen()
{
    restoreOffset();
    m_phase = 0;
    session().setAbort(false);
    setRefresh(false);
    ui->txtRTDResOff->setEnabled(true);
    ui->txtActualTemp->setEnabled(false);
    setStatus(QStringLiteral("Enter RTD Resistor Offset"));
}

void TfrmTempCalibration::autoChosen()
{
    session().setAbort(false);
    m_phase = 0;
    setRefresh(false);
    ui->txtRTDResOff->setEnabled(false);
    setStatus(QStringLiteral("Press Apply to Stabilize"));
}

void TfrmTempCalibration::applyManual()
{
    if (!fields().checkEntered(ui->txtRTDResOff))
        return;
    const std::optional<double> counts = countsFromOhms(m_r, m_n, fields().value(ui->txtRTDResOff));
    if (!m_scalesRead || !counts) {
        ui->txtRTDResOff->setText(ohmsText(ohmsFromCounts(m_r, m_n, m_counts).value_or(0.0)));
        setStatus(QStringLiteral("Invalid Offset, old value restored!"));
        return;
    }
    if (!writeBlock(OffsetCounts, doubleBytes(*counts))) {
        setStatus(QStringLiteral("Manual Cal failed!"));
        return;
    }
    setApplyDone();
    rbManual->setChecked(false);
    ui->txtRTDResOff->setEnabled(false);
    setRefresh(true);
    setStatus(QStringLiteral("Manual Cal Complete"));
}

void TfrmTempCalibration::applyAuto()
{
    if (m_phase == 0)
        stabilize();
    else
        computeOffset();
}

void TfrmTempCalibration::stabilize()
{
    if (!m_scalesRead) {
        reportFailure(QStringLiteral("The RTD offset could not be read, so it could not be put back after an "
                                     "interrupted calibration."));
        abortCalibration();
        return;
    }
    // A restore that failed earlier stays pending: the offset read now is not the technician's.
    const double saved = m_countsToRestore.value_or(m_counts);
    if (!writeBlock(OffsetCounts, doubleBytes(0.0))) {
        abortCalibration();
        return;
    }
    m_countsToRestore = saved;
    showCancel(true);
    int n = 0;
    const StepResult result = runTimedStep(StabilizeCoil, -1, [this, &n](qint64) {
        setStatus(QStringLiteral("Temperature Stabilizing") + QString(n++ % 5, QLatin1Char('.')));
    });
    showCancel(false);
    if (result != StepResult::Done) {
        reportStep(result);
        abortCalibration();
        return;
    }
    if (link().readRegisters(LiveTemp, LiveTempBytes))
        ui->txtTemp->setText(FormatValue(TempCode, FromBase(TempCode, image().f64Reg(LiveTemp), m_tempUnit)));
    ui->txtActualTemp->setEnabled(true);
    fields().setValue(ui->txtActualTemp, FromBase(TempCode, image().f64Reg(LiveTemp), m_tempUnit));
    ui->txtActualTemp->setFocus();
    // Stabilized: the next Apply computes the offset.
    m_phase = 1;
    setStatus(QStringLiteral("Enter Actual Temperature"));
}

void TfrmTempCalibration::computeOffset()
{
    // The reading shown is the transmitter's own (with the offset at zero): sent back
    // it would wipe the offset, so only a typed temperature counts.
    if (!fields().checkEntered(ui->txtActualTemp))
        return;
    CommandArea area(link());
    area.setF64(0, ToBase(TempCode, fields().value(ui->txtActualTemp), m_tempUnit));
    if (!area.write() || !runCommand(ApplyCoil, QStringLiteral("the temperature calibration"))) {
        abortCalibration();
        return;
    }
    // The transmitter has set the new offset: nothing to put back.
    m_countsToRestore.reset();
    setApplyDone();
    rbAuto->setChecked(false);
    ui->txtActualTemp->setEnabled(false);
    setStatus(QStringLiteral("Auto Cal Complete"));
    m_phase = 0;
    reset();
}

void TfrmTempCalibration::restoreOffset()
{
    if (!m_countsToRestore)
        return;
    if (writeBlock(OffsetCounts, doubleBytes(*m_countsToRestore)))
        m_countsToRestore.reset();
}

void TfrmTempCalibration::abortCleanup()
{
    restoreOffset();
    ui->txtActualTemp->setEnabled(false);
    m_phase = 0;
}

QList<CalibrationRecord::Constants> TfrmTempCalibration::constants() const
{
    return {{.firstRegister = OffsetCounts, .bytes = 8}};
}

void TfrmTempCalibration::windowClosing()
{
    restoreOffset();
}
