#include "frmSensorCalibration.h"

#include "ByteOrder.h"
#include "CertificateOffer.h"
#include "Clock.h"
#include "EntryFields.h"
#include "HelpWindow.h"
#include "InputLock.h"
#include "ModbusLink.h"
#include "NumberFormat.h"
#include "Prompter.h"
#include "Session.h"
#include "UnitConversion.h"
#include "WindowRegistry.h"
#include "ui_frmSensorCalibration.h"

#include <cmath>

namespace {
constexpr int AmplitudeCode = 17, DriveCode = 18;
constexpr int SensorData = 492, SensorDataBytes = 32;
constexpr int SensorA = 498, SensorB = 499, DriveCurrent = 500;
constexpr int DelayBlock = 1012, DelayBlockBytes = 16;
constexpr int TxBlock = 508, TxBlockBytes = 32;
constexpr int SetpointAt = 2 * (510 - TxBlock), GainAt = 2 * (512 - TxBlock);
// The error delays, and the set point, filter and gain of the drive.
const QList<CalibrationRecord::Constants> SensorConstants{{.firstRegister = DelayBlock, .bytes = DelayBlockBytes},
                                                          {.firstRegister = 510, .bytes = 6}};
// The pickoffs read lower under the drive's load: the set point is shown as it will be seen.
constexpr double LoadingPerGain = 0.735;

double loading(double gain)
{
    return 1.0 - LoadingPerGain / gain;
}
}  // namespace

TfrmSensorCalibration::TfrmSensorCalibration(const WindowContext &context, int tag)
    : GuardedWindow(context.parent), ui(std::make_unique<Ui::TfrmSensorCalibration>()), m_link(context.link),
      m_session(context.session), m_fields(new EntryFields([this](const QString &t) { setStatus(t); }, {}, this)),
      m_lock(new InputLock(*this)), Timer1(new ClockTimer(this)), m_record(context.link)
{
    ui->setupUi(this);
    m_certificate = new CertificateOffer(this, ui->btnHelp, *m_fields, m_record);
    connect(m_certificate->button(), &QPushButton::clicked, this, [this] {
        m_lock->userAction([this] { m_certificate->save(); });
    });
    keepReturnForFields(this);
    setProperty("helpContext", tag);
    Timer1->setInterval(1000);
    connect(Timer1, &ClockTimer::timeout, this, [this] {
        if (closing() || busy() || !m_refresh)
            return;
        m_lock->runInBackground([this] { refresh(); });
    });
    m_fields->add(ui->txtSensorErrorDelay,
                  {.name = QStringLiteral("Sensor Error Delay"),
                   .format = [](double v) { return QString::asprintf("%-7.6f", v); }});
    m_fields->add(ui->txtSensorSetpt, {.name = QStringLiteral("Sensor Setpoint"),
                                       .format = [](double v) { return FormatValue(AmplitudeCode, v); },
                                       .min = 0.0, .accepts = [this](double v) {
                                           return setpointRaw(v, m_fields->value(ui->txtGainControl)).has_value();
                                       }});
    // The gain divides the set point's loading and goes to a 16-bit register.
    m_fields->add(ui->txtGainControl, {.name = QStringLiteral("Gain Control"),
                                       .format = [](double v) { return QString::number(qint64(v)); },
                                       .min = 1.0, .max = FieldRange::Word, .integer = true});
    connect(m_fields, &EntryFields::edited, this, [this](QLineEdit *e) {
        m_refresh = false;
        if (m_fields->parses(e))
            ui->btnApply->setEnabled(true);
    });
    // An error delay outside what the transmitter waits is brought to the nearest limit.
    connect(m_fields, &EntryFields::accepted, this, [this](QLineEdit *e) {
        if (e != ui->txtSensorErrorDelay)
            return;
        const double v = m_fields->value(e);
        if (v < 0.0 || v > MaxErrorDelaySeconds)
            m_fields->setValue(e, std::clamp(v, 0.0, MaxErrorDelaySeconds), true);
    });
    connect(ui->btnApply, &QPushButton::clicked, this, [this] { userAction([this] { apply(); }); });
    connect(ui->btnUndo, &QPushButton::clicked, this, [this] { userAction([this] { undo(); }); });
    connect(ui->btnClose, &QPushButton::clicked, this, &GuardedWindow::requestClose);
    connect(ui->btnHelp, &QPushButton::clicked, this, [tag] { showHelpContext(tag); });
    ui->btnApply->setEnabled(false);
    ui->btnUndo->setEnabled(false);
}

TfrmSensorCalibration::~TfrmSensorCalibration() = default;

std::optional<double> TfrmSensorCalibration::setpointShown(int raw, double gain)
{
    if (!(gain > 0.0))
        return std::nullopt;
    const double shown = FromBase(AmplitudeCode, raw, 0) * loading(gain);
    return std::isfinite(shown) ? std::optional<double>(shown) : std::nullopt;
}

std::optional<int> TfrmSensorCalibration::setpointRaw(double shown, double gain)
{
    if (!(gain > 0.0) || loading(gain) == 0.0)
        return std::nullopt;
    const double raw = std::round(ToBase(AmplitudeCode, shown / loading(gain), 0));
    if (!std::isfinite(raw) || raw < 0.0 || raw > FieldRange::Word)
        return std::nullopt;
    return int(raw);
}

void TfrmSensorCalibration::userAction(const std::function<void()> &action)
{
    m_lock->userAction([this, action] {
        if (m_session.accessLevel() < Session::Programmer) {
            showMessage(QStringLiteral("Your user level does not allow changing the sensor settings: nothing was "
                                       "sent to the transmitter.\rLog in as a Programmer or Administrator."),
                        QStringLiteral("Sensor Adjustment"), Prompter::Error, Prompter::OK);
            return;
        }
        action();
    });
}

void TfrmSensorCalibration::setStatus(const QString &text)
{
    ui->pnlStatus->setText(text);
}

void TfrmSensorCalibration::FormActivate()
{
    m_fields->setTypingArmed(false);
    m_refresh = true;
    // Undo puts back only what was read.
    if (m_link.readRegisters(TxBlock, TxBlockBytes))
        m_sensorUndo = m_link.image().read(TxBlock, TxBlockBytes);
    if (m_link.readRegisters(DelayBlock, DelayBlockBytes))
        m_delayUndo = m_link.image().read(DelayBlock, DelayBlockBytes);
    refresh();
    m_fields->setTypingArmed(true);
    ui->btnApply->setEnabled(true);
}

void TfrmSensorCalibration::refresh()
{
    Timer1->stop();
    m_fields->setTypingArmed(false);
    const RegisterImage &img = m_link.image();
    if (m_link.readRegisters(SensorData, SensorDataBytes)) {
        ui->txtSensorA->setText(FormatValue(AmplitudeCode, FromBase(AmplitudeCode, img.reg(SensorA), 0)));
        ui->txtSensorB->setText(FormatValue(AmplitudeCode, FromBase(AmplitudeCode, img.reg(SensorB), 0)));
        ui->txtDriveCurrent->setText(FormatValue(DriveCode, FromBase(DriveCode, img.reg(DriveCurrent), 0)));
    }
    m_delayBlock.clear();
    if (m_link.readRegisters(DelayBlock, DelayBlockBytes)) {
        m_delayBlock = img.read(DelayBlock, DelayBlockBytes);
        m_fields->setValue(ui->txtSensorErrorDelay, BigEndian::doubleAt(m_delayBlock, 0));
    }
    m_sensorBlock.clear();
    if (m_link.readRegisters(TxBlock, TxBlockBytes)) {
        m_sensorBlock = img.read(TxBlock, TxBlockBytes);
        const int gain = img.u16At(2 * TxBlock + GainAt);
        m_fields->setValue(ui->txtGainControl, gain);
        if (const auto shown = setpointShown(img.u16At(2 * TxBlock + SetpointAt), gain))
            m_fields->setValue(ui->txtSensorSetpt, *shown);
        else
            m_fields->showPlaceholder(ui->txtSensorSetpt, QString());
    }
    m_fields->setTypingArmed(true);
    if (!closing())
        Timer1->start();
}

bool TfrmSensorCalibration::writeBlock(int first, const QByteArray &bytes)
{
    m_record.noteWrite(first, bytes);
    if (m_link.writeRegisters(first, bytes)) {
        m_record.wrote();
        return true;
    }
    const QString text = QStringLiteral("The transmitter did not accept the write to registers %1 to %2.")
                             .arg(first)
                             .arg(first + int(bytes.size()) / 2 - 1);
    m_record.failed(text);
    showMessage(text, QStringLiteral("Sensor Adjustment"), Prompter::Error, Prompter::OK);
    return false;
}

void TfrmSensorCalibration::finishRecord()
{
    const qint64 id = m_record.finish(HistoryOutcome::Done, {});
    if (id >= 0)
        m_certificate->setOperation(id);
}

void TfrmSensorCalibration::apply()
{
    Timer1->stop();
    // Every field is checked, so each refused one says so; the valid edits stay.
    bool valid = true;
    for (QLineEdit *e : {ui->txtSensorErrorDelay, ui->txtGainControl, ui->txtSensorSetpt})
        valid = m_fields->check(e) && valid;
    if (!valid) {
        Timer1->start();
        return;
    }
    if (m_delayBlock.size() != DelayBlockBytes || m_sensorBlock.size() != TxBlockBytes) {
        showMessage(QStringLiteral("The sensor settings could not be read, so nothing was written."),
                    QStringLiteral("Sensor Adjustment"), Prompter::Error, Prompter::OK);
        Timer1->start();
        return;
    }
    // Only what was typed is encoded; the rest goes back exactly as read (the set
    // point's display is rounded, its raw value is not).
    QByteArray delay = m_delayBlock;
    if (m_fields->entered(ui->txtSensorErrorDelay))
        BigEndian::putDouble(delay, 0, m_fields->value(ui->txtSensorErrorDelay));
    QByteArray sensor = m_sensorBlock;
    const double gain = m_fields->value(ui->txtGainControl);
    if (m_fields->entered(ui->txtGainControl))
        BigEndian::putRaw<quint16>(sensor, GainAt, quint16(gain));
    if (m_fields->entered(ui->txtSensorSetpt)) {
        const std::optional<int> raw = setpointRaw(m_fields->value(ui->txtSensorSetpt), gain);
        if (!raw) {
            setStatus(QStringLiteral("Invalid Sensor Setpoint, old value restored!"));
            Timer1->start();
            return;
        }
        BigEndian::putRaw<quint16>(sensor, SetpointAt, quint16(*raw));
    }
    if (delay == m_delayBlock && sensor == m_sensorBlock) {
        setStatus(QStringLiteral("No setting was changed: nothing was written."));
        Timer1->start();
        return;
    }
    m_record.begin(windowTitle(), QStringLiteral("Apply"), SensorConstants);
    const bool delayWritten = delay == m_delayBlock || writeBlock(DelayBlock, delay);
    if (delayWritten && (sensor == m_sensorBlock || writeBlock(TxBlock, sensor))) {
        ui->btnApply->setEnabled(false);
        ui->btnUndo->setEnabled(true);
        setStatus(QString());
    }
    finishRecord();
    m_refresh = true;
    refresh();
}

void TfrmSensorCalibration::undo()
{
    Timer1->stop();
    m_record.begin(windowTitle(), QStringLiteral("Undo"), SensorConstants);
    if (!m_delayUndo.isEmpty())
        writeBlock(DelayBlock, m_delayUndo);
    if (!m_sensorUndo.isEmpty())
        writeBlock(TxBlock, m_sensorUndo);
    finishRecord();
    if (m_delayUndo.isEmpty() || m_sensorUndo.isEmpty())
        showMessage(QStringLiteral("Settings that could not be read when the window opened were not put back."),
                    QStringLiteral("Sensor Adjustment"), Prompter::Warning, Prompter::OK);
    ui->btnApply->setEnabled(false);
    ui->btnUndo->setEnabled(false);
    m_refresh = true;
    refresh();
}

void TfrmSensorCalibration::beforeFinish()
{
    Timer1->stop();
}
