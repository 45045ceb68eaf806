#include "frmZeroCalibration.h"

#include "ByteOrder.h"
#include "Clock.h"
#include "CommandArea.h"
#include "Codec.h"
#include "EntryFields.h"
#include "FillUnitCombo.h"
#include "ModbusLink.h"
#include "NumberFormat.h"
#include "Prompter.h"
#include "Session.h"
#include "UnitConversion.h"
#include "WindowRegistry.h"
#include "ui_frmZeroCalibration.h"

namespace {
constexpr int AngleCode = 2;       // radians in the transmitter, degrees (unit 0) here
constexpr int ZeroChoiceCode = 172;
constexpr int DoubleBytes = 8;
// System, electronics and transmitter zeros, then their standard deviations.
constexpr CalibrationRecord::Constants ZeroConstants{.firstRegister = 2296, .bytes = 48};

struct ZeroChoice {
    int coil;
    int valueReg;
    int stdDevReg;
};
constexpr ZeroChoice Choices[] = {
    {.coil = 1, .valueReg = 2296, .stdDevReg = 2308},  // System
    {.coil = 0, .valueReg = 2300, .stdDevReg = 2312},  // Electronics
};

QString angleText(double degrees)
{
    return QString::asprintf("%-6.5e", degrees);
}
QString countText(double v)
{
    return QString::number(qint64(v));
}
}  // namespace

TfrmZeroCalibration::TfrmZeroCalibration(const WindowContext &context, int tag)
    : CalibrationWindow(context, {.helpContext = tag, .commandCoils = {0, 1}}),
      ui(std::make_unique<Ui::TfrmZeroCalibration>())
{
    ui->setupUi(this);
    bindPattern();
    const QString applyPrompt = QStringLiteral("Press Apply to update");
    fields().add(ui->txtZeroValue, {.name = QStringLiteral("Zero Value"), .format = angleText,
                                    .focusPrompt = QStringLiteral("Enter Zero Value"), .acceptedStatus = applyPrompt});
    fields().add(ui->txtStdDev, {.name = QStringLiteral("Std Dev"), .format = angleText,
                                 .focusPrompt = QStringLiteral("Enter STD Dev "), .acceptedStatus = applyPrompt});
    // Counts go to 16-bit registers; the transmitter takes their low bytes.
    for (QLineEdit *count : {ui->txtIntervals, ui->txtZeros})
        fields().add(count, {.name = count == ui->txtZeros ? QStringLiteral("Number of Zeros")
                                                           : QStringLiteral("Number of Intervals"),
                             .format = countText, .min = -32768, .max = FieldRange::Word, .integer = true});
    setFieldsEnabled({ui->txtZeroValue, ui->txtStdDev, ui->txtIntervals, ui->txtZeros}, false);
    connect(ui->cboZero, &QComboBox::activated, this, [this] { userAction([this] { cboZeroChange(); }); });
}

TfrmZeroCalibration::~TfrmZeroCalibration() = default;

int TfrmZeroCalibration::zeroSeconds(int intervals, int zeros)
{
    return (intervals & 0xFF) * (zeros & 0xFF) * 10;
}

void TfrmZeroCalibration::activate()
{
    fields().setValue(ui->txtIntervals, 12);
    fields().setValue(ui->txtZeros, 1);
    FillUnitCombo(ZeroChoiceCode, ui->cboZero);
    ui->cboZero->setCurrentIndex(0);
    setStatus(QStringLiteral("Select Manual or Auto Cal"));
    cboZeroChange();
    refresh();
    reset();
}

void TfrmZeroCalibration::cboZeroChange()
{
    setRefresh(false);
    const int i = qBound(0, ui->cboZero->currentIndex(), int(std::size(Choices)) - 1);
    m_coil = Choices[i].coil;
    m_valueReg = Choices[i].valueReg;
    m_stdDevReg = Choices[i].stdDevReg;
    setFieldsEnabled({ui->txtZeroValue, ui->txtStdDev, ui->txtIntervals, ui->txtZeros}, false);
    rbAuto->setEnabled(true);
    uncheckMethods();
    setApplyPending(false);
    setRefresh(true);
}

bool TfrmZeroCalibration::showAngle(int reg, QLineEdit *edit)
{
    if (!link().readRegisters(reg, DoubleBytes))
        return false;
    fields().setValue(edit, FromBase(AngleCode, image().f64Reg(reg), 0));
    return true;
}

void TfrmZeroCalibration::refresh()
{
    Timer1->stop();
    fields().setTypingArmed(false);
    if (showAngle(m_valueReg, ui->txtZeroValue))
        showAngle(m_stdDevReg, ui->txtStdDev);
    fields().setTypingArmed(true);
    if (!closing())
        Timer1->start();
}

void TfrmZeroCalibration::manualChosen()
{
    setRefresh(false);
    setFieldsEnabled({ui->txtZeroValue, ui->txtStdDev}, true);
    setFieldsEnabled({ui->txtIntervals, ui->txtZeros}, false);
    setStatus(QStringLiteral("Enter Zero Value and STD Dev"));
}

void TfrmZeroCalibration::autoChosen()
{
    setRefresh(false);
    setFieldsEnabled({ui->txtZeroValue, ui->txtStdDev}, false);
    setFieldsEnabled({ui->txtIntervals, ui->txtZeros}, true);
    setStatus(QStringLiteral("Enter # of Intervals and Zeroes"));
}

void TfrmZeroCalibration::applyManual()
{
    setRefresh(false);
    if (!fields().check(ui->txtZeroValue) || !fields().check(ui->txtStdDev))
        return;
    if (!fields().entered(ui->txtZeroValue) && !fields().checkEntered(ui->txtStdDev))
        return;
    for (auto [reg, edit] : {std::pair{m_valueReg, ui->txtZeroValue}, std::pair{m_stdDevReg, ui->txtStdDev}}) {
        // A value nobody typed stays in the transmitter as it is.
        if (!fields().entered(edit))
            continue;
        QByteArray bytes(DoubleBytes, '\0');
        BigEndian::putDouble(bytes, 0, ToBase(AngleCode, fields().value(edit), 0));
        if (!writeBlock(reg, bytes)) {
            setStatus(QStringLiteral("Manual Cal failed!"));
            setRefresh(true);
            return;
        }
    }
    rbManual->setChecked(false);
    setFieldsEnabled({ui->txtZeroValue, ui->txtStdDev}, false);
    completed(QStringLiteral("Manual Cal Complete"));
}

void TfrmZeroCalibration::applyAuto()
{
    setRefresh(false);
    if (!fields().check(ui->txtIntervals) || !fields().check(ui->txtZeros))
        return;
    const int intervals = int(fields().value(ui->txtIntervals));
    const int zeros = int(fields().value(ui->txtZeros));
    CommandArea area(link());
    area.setU16(0, uint16_t(intervals));
    area.setU16(2, uint16_t(zeros));
    if (!area.write()) {
        abortCalibration();
        return;
    }
    const qint64 durationMs = qint64(zeroSeconds(intervals, zeros)) * 1000;
    showCancel(true);
    const StepResult result =
        runTimedStep(m_coil, durationMs + ExtraSecondsBeforeTimeout * 1000, [this, durationMs](qint64 elapsed) {
            const qint64 leftMs = std::max<qint64>(0, durationMs - elapsed);
            setStatus(QStringLiteral("Zero in... %1 seconds").arg((leftMs + 999) / 1000, 3, 10, QLatin1Char('0')));
        });
    showCancel(false);
    link().Force_Coil(m_coil, ModbusFrame::CoilOff);
    if (result == StepResult::TimedOut)
        message(QStringLiteral("Process timed out,\rOstrel preempted the Zero.\r\rPlease try again."),
                    QStringLiteral("Zero Timeout!"), Prompter::Error, Prompter::OK | Prompter::Help, 999);
    if (result != StepResult::Done) {
        reportStep(result);
        abortCalibration();
        return;
    }
    rbAuto->setChecked(false);
    setFieldsEnabled({ui->txtIntervals, ui->txtZeros}, false);
    completed(QStringLiteral("Auto Cal Complete"));
}

QList<CalibrationRecord::Constants> TfrmZeroCalibration::constants() const
{
    return {ZeroConstants};
}

void TfrmZeroCalibration::abortDone()
{
    CalibrationWindow::abortDone();
    setFieldsEnabled({ui->txtZeroValue, ui->txtStdDev, ui->txtIntervals, ui->txtZeros}, false);
}

void TfrmZeroCalibration::completed(const QString &text)
{
    setApplyDone();
    setStatus(text);
    reset();
}
