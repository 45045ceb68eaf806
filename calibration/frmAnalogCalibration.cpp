#include "frmAnalogCalibration.h"

#include "ByteOrder.h"
#include "Clock.h"
#include "Codec.h"
#include "CommandArea.h"
#include "EntryFields.h"
#include "FillUnitCombo.h"
#include "ModbusLink.h"
#include "Prompter.h"
#include "Session.h"
#include "WindowRegistry.h"
#include "ui_frmAnalogCalibration.h"

#include <QGroupBox>

namespace {
constexpr int OutputChoiceCode = 173;
constexpr int BlockBytes = 68;
constexpr int PresentCurrentAt = 24, GainAt = 42, OffsetAt = 50, FixedCurrentAt = 58, FixedCurrentBytes = 8;
constexpr double LowDriveMa = 4.0, HighDriveMa = 19.0;
constexpr std::pair<double, double> LowReadingMa{2.0, 6.0}, HighReadingMa{15.0, 23.0};

QString constantText(double v)
{
    return QString::asprintf("%-7.6e", v);
}
QString ampsText(double v)
{
    return QString::asprintf("%-4.3f", v);
}
}  // namespace

const TfrmAnalogCalibration::Output TfrmAnalogCalibration::Outputs[3] = {
    {.block = 881, .driveCoil = 9, .applyCoil = 12, .endCoil = 18},   // Analog 1
    {.block = 915, .driveCoil = 10, .applyCoil = 13, .endCoil = 19},  // Analog 2
    {.block = 949, .driveCoil = 11, .applyCoil = 14, .endCoil = 20},  // Analog 4
};

TfrmAnalogCalibration::TfrmAnalogCalibration(const WindowContext &context, int tag)
    : CalibrationWindow(context, {.helpContext = tag,
                                  .commandCoils = {12, 13, 14, 9, 10, 11, 18, 19, 20},
                                  .resetClearsResults = false}),
      ui(std::make_unique<Ui::TfrmAnalogCalibration>())
{
    ui->setupUi(this);
    bindPattern();
    const QString offsetPrompt = QStringLiteral("Enter new Offset value");
    const QString applyPrompt = QStringLiteral("Press Apply to update");
    // The gain scales the output: zero or less would pin or invert it.
    fields().add(ui->txtGain, {.name = QStringLiteral("Gain"), .format = constantText, .min = 0.0, .nonZero = true,
                               .focusPrompt = QStringLiteral("Enter new Gain value"), .acceptedStatus = offsetPrompt});
    fields().add(ui->txtOffset, {.name = QStringLiteral("Offset"), .format = constantText, .focusPrompt = offsetPrompt,
                                 .acceptedStatus = applyPrompt});
    // A reading far from the driven current is a misreading (or a meter on the wrong
    // range), not a trim: the transmitter would take it as one.
    fields().add(ui->txtLoAmps, {.name = QStringLiteral("Low Amps"), .format = ampsText, .min = LowReadingMa.first,
                                 .max = LowReadingMa.second,
                                 .missingStatus = QStringLiteral("Enter the current the meter reads at 4 mA")});
    fields().add(ui->txtHiAmps, {.name = QStringLiteral("High Amps"), .format = ampsText, .min = HighReadingMa.first,
                                 .max = HighReadingMa.second,
                                 .accepts = [this](double) { return m_drivenMa == HighDriveMa; },
                                 .acceptedStatus = applyPrompt,
                                 .missingStatus = QStringLiteral("Enter the current the meter reads at 19 mA")});
    connect(&fields(), &EntryFields::edited, this, [this](QLineEdit *e) {
        if (!fields().parses(e))
            return;
        if (e == ui->txtGain)
            setStatus(QStringLiteral("Enter new Offset value"));
        else if (e == ui->txtOffset)
            setStatus(QStringLiteral("Press Apply to update"));
        else if (e == ui->txtLoAmps)
            setStatus(QStringLiteral("Select High Current Output"));
        else if (e == ui->txtHiAmps) {
            setStatus(QStringLiteral("Press Apply to update"));
            btnApply->setEnabled(true);
        }
    });
    connect(&fields(), &EntryFields::accepted, this, [this](QLineEdit *e) {
        // The high point only after a low reading was typed and accepted; the focus
        // goes there next (the step after the one that moved it away).
        if (e == ui->txtLoAmps && method() == Method::Auto) {
            ui->txtHiAmps->setEnabled(true);
            QMetaObject::invokeMethod(
                this, [this] { if (ui->txtHiAmps->isEnabled() && !closing()) ui->txtHiAmps->setFocus(); },
                Qt::QueuedConnection);
        }
        if (e == ui->txtHiAmps)
            btnApply->setEnabled(true);
    });
    connect(&fields(), &EntryFields::refused, this, [this](QLineEdit *e) {
        if (e == ui->txtHiAmps)
            btnApply->setEnabled(false);
    });
    connect(&fields(), &EntryFields::focused, this, [this](QLineEdit *e) {
        if (method() != Method::Auto || (e != ui->txtLoAmps && e != ui->txtHiAmps))
            return;
        userAction([this, e] { e == ui->txtLoAmps ? driveLow() : driveHigh(); });
    });
    connect(ui->cboOutput, &QComboBox::activated, this, [this] {
        userAction([this] {
            leaveAuto();
            m_output = std::clamp(ui->cboOutput->currentIndex(), 0, 2);
            outputChanged();
        });
    });
    setGroup(ui->grpManualCal, false);
    setGroup(ui->grpAutoCal, false);
}

TfrmAnalogCalibration::~TfrmAnalogCalibration() = default;

const TfrmAnalogCalibration::Output &TfrmAnalogCalibration::output() const
{
    return Outputs[m_output];
}

void TfrmAnalogCalibration::activate()
{
    FillUnitCombo(OutputChoiceCode, ui->cboOutput);
    ui->cboOutput->setCurrentIndex(0);
    m_output = 0;
    outputChanged();
}

void TfrmAnalogCalibration::outputChanged()
{
    abortDone();
    reset();
    refresh();
}

void TfrmAnalogCalibration::abortDone()
{
    setRefresh(true);
    showCancel(false);
    setGroup(ui->grpManualCal, false);
    setGroup(ui->grpAutoCal, false);
    setStatus(QStringLiteral("Select Manual or Auto Calibration"));
}

void TfrmAnalogCalibration::setGroup(QGroupBox *group, bool enabled)
{
    for (QWidget *w : group->findChildren<QWidget *>()) {
        if (auto *rb = qobject_cast<QRadioButton *>(w))
            rb->setChecked(enabled);
        else
            w->setEnabled(enabled);
    }
    setApplyPending(false);
}

void TfrmAnalogCalibration::refresh()
{
    Timer1->stop();
    fields().setTypingArmed(false);
    m_block.clear();
    if (link().readRegisters(output().block, BlockBytes)) {
        m_block = image().read(output().block, BlockBytes);
        fields().setValue(ui->txtGain, BigEndian::doubleAt(m_block, GainAt));
        fields().setValue(ui->txtOffset, BigEndian::doubleAt(m_block, OffsetAt));
        ui->txtmAmps->setText(ampsText(BigEndian::doubleAt(m_block, PresentCurrentAt)));
    } else {
        // Nothing read: nothing shown as if it were.
        fields().showPlaceholder(ui->txtGain, QString());
        fields().showPlaceholder(ui->txtOffset, QString());
        ui->txtmAmps->clear();
    }
    fields().setValue(ui->txtLoAmps, 0.0);
    fields().setValue(ui->txtHiAmps, 0.0);
    fields().setTypingArmed(true);
    if (!closing())
        Timer1->start();
}

void TfrmAnalogCalibration::manualChosen()
{
    leaveAuto();
    session().setAbort(false);
    setRefresh(false);
    showCancel(false);
    setGroup(ui->grpAutoCal, false);
    setGroup(ui->grpManualCal, true);
    btnApply->setEnabled(true);
    setStatus(QStringLiteral("Enter new Gain value"));
}

void TfrmAnalogCalibration::autoChosen()
{
    session().setAbort(false);
    setRefresh(false);
    if (m_block.size() != BlockBytes) {
        reportFailure(QStringLiteral("The output configuration could not be read, so it could not be put back after "
                                     "the calibration."));
        abortCalibration();
        return;
    }
    beginCalibration();
    m_savedCurrent = m_block.mid(FixedCurrentAt, FixedCurrentBytes);
    if (!drive(LowDriveMa))
        return;
    setGroup(ui->grpManualCal, false);
    setGroup(ui->grpAutoCal, true);
    lowDriven();
    ui->txtLoAmps->setFocus();
}

bool TfrmAnalogCalibration::drive(double mA)
{
    CommandArea area(link());
    area.setF64(0, mA);
    m_drivenMa = mA;
    const bool driven = area.write() && link().Force_Coil(output().driveCoil, ModbusFrame::CoilOn);
    if (driven)
        stepStarted();
    else
        abortCalibration();
    return driven;
}

void TfrmAnalogCalibration::showPresentCurrent()
{
    if (link().readRegisters(output().block, BlockBytes))
        ui->txtmAmps->setText(ampsText(image().f64At(2 * output().block + PresentCurrentAt)));
}

void TfrmAnalogCalibration::driveLow()
{
    if (drive(LowDriveMa))
        lowDriven();
}

void TfrmAnalogCalibration::lowDriven()
{
    showCancel(true);
    setStatus(QStringLiteral("Output is 4ma, enter actual output"));
    ui->txtHiAmps->setEnabled(false);
    showPresentCurrent();
}

void TfrmAnalogCalibration::driveHigh()
{
    if (!drive(HighDriveMa))
        return;
    setStatus(QStringLiteral("Output is 19ma, enter actual output"));
    ui->txtLoAmps->setEnabled(false);
    showPresentCurrent();
}

void TfrmAnalogCalibration::applyManual()
{
    if (!fields().check(ui->txtGain) || !fields().check(ui->txtOffset))
        return;
    if (!fields().entered(ui->txtOffset) && !fields().checkEntered(ui->txtGain))
        return;
    if (m_block.size() != BlockBytes) {
        reportFailure(QStringLiteral("The output configuration could not be read, so it cannot be written back."));
        return;
    }
    // What nobody typed goes back exactly as read.
    QByteArray block = m_block;
    if (fields().entered(ui->txtGain))
        BigEndian::putDouble(block, GainAt, fields().value(ui->txtGain));
    if (fields().entered(ui->txtOffset))
        BigEndian::putDouble(block, OffsetAt, fields().value(ui->txtOffset));
    if (!writeBlock(output().block, block)) {
        setStatus(QStringLiteral("Manual Cal failed!"));
        return;
    }
    setStatus(QStringLiteral("Manual Cal Complete"));
    setApplyDone();
    setGroup(ui->grpManualCal, false);
    setGroup(ui->grpAutoCal, false);
    reset();
}

void TfrmAnalogCalibration::applyAuto()
{
    // Both readings typed by the technician: the untouched 0.000 is no reading.
    if (!fields().checkEntered(ui->txtLoAmps) || !fields().checkEntered(ui->txtHiAmps))
        return;
    if (!link().Force_Coil(output().endCoil, ModbusFrame::CoilOn)) {
        abortCalibration();
        return;
    }
    m_drivenMa.reset();
    CommandArea area(link());
    area.setF64(0, fields().value(ui->txtLoAmps));
    area.setF64(8, fields().value(ui->txtHiAmps));
    if (!area.write() || !runCommand(output().applyCoil, QStringLiteral("the output trim"))) {
        abortCalibration();
        return;
    }
    showCancel(false);
    setStatus(QStringLiteral("Auto Cal Complete"));
    setApplyDone();
    leaveAuto();
    setGroup(ui->grpManualCal, false);
    setGroup(ui->grpAutoCal, false);
    reset();
}

void TfrmAnalogCalibration::leaveAuto()
{
    if (m_drivenMa) {
        if (!link().Force_Coil(output().endCoil, ModbusFrame::CoilOn))
            message(QStringLiteral("%1 may still be held at %2 mA by the calibration.\r"
                                   "Release it (Analog Calibration, or restart the transmitter) before returning "
                                   "the meter to service.")
                        .arg(ui->cboOutput->currentText().isEmpty() ? QStringLiteral("The output")
                                                                    : ui->cboOutput->currentText())
                        .arg(*m_drivenMa),
                    QStringLiteral("Calibration Failure"), Prompter::Error, Prompter::OK);
        m_drivenMa.reset();
    }
    if (!m_savedCurrent || !readBlock(output().block, BlockBytes))
        return;
    QByteArray block = image().read(output().block, BlockBytes);
    block.replace(FixedCurrentAt, FixedCurrentBytes, *m_savedCurrent);
    if (writeBlock(output().block, block))
        m_savedCurrent.reset();
}

void TfrmAnalogCalibration::abortCleanup()
{
    leaveAuto();
}

QList<CalibrationRecord::Constants> TfrmAnalogCalibration::constants() const
{
    // Gain, offset and the fixed current that a drive takes over.
    return {{.firstRegister = output().block + GainAt / 2, .bytes = FixedCurrentAt + FixedCurrentBytes - GainAt}};
}

void TfrmAnalogCalibration::windowClosing()
{
    leaveAuto();
}
