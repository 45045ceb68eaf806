#include "QtSerialControl.h"

#include <QFileInfo>

#include <linux/serial.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>

namespace {

// Rates the Linux serial drivers take as standard speeds; others would need a
// divisor the port may round silently, so they are refused instead.
constexpr std::array<int, 26> StandardBaudRates = {
    50, 75, 110, 134, 150, 200, 300, 600, 1200, 1800, 2400, 4800, 9600, 19200, 38400, 57600,
    115200, 230400, 460800, 500000, 576000, 921600, 1000000, 1152000, 1500000, 2000000,
};

QSerialPort::Parity qtParity(char letter)
{
    switch (letter) {
    case 'O': return QSerialPort::OddParity;
    case 'E': return QSerialPort::EvenParity;
    case 'M': return QSerialPort::MarkParity;
    case 'S': return QSerialPort::SpaceParity;
    default: return QSerialPort::NoParity;
    }
}

char parityLetter(QSerialPort::Parity p)
{
    switch (p) {
    case QSerialPort::OddParity: return 'O';
    case QSerialPort::EvenParity: return 'E';
    case QSerialPort::MarkParity: return 'M';
    case QSerialPort::SpaceParity: return 'S';
    default: return 'N';
    }
}

} // namespace

QtSerialControl::QtSerialControl(QObject *parent) : SerialControl(parent)
{
    connect(&m_port, &QSerialPort::readyRead, this, &QtSerialControl::onReadyRead);
    connect(&m_port, &QSerialPort::errorOccurred, this, &QtSerialControl::onError);
}

QtSerialControl::~QtSerialControl()
{
    close();
}

QString QtSerialControl::devicePath(const QString &port)
{
    const QString p = port.trimmed();
    if (p.startsWith(QLatin1Char('/')))
        return p;
    bool ok = false;
    const int n = p.toInt(&ok);
    return ok && n >= 1 && n <= 12 ? QStringLiteral("/dev/ttyS%1").arg(n - 1) : QString();
}

bool QtSerialControl::open(const QString &port, const QString &settings, QString *error)
{
    LineSettings line = m_line;
    if (!settings.isEmpty() && !LineSettings::parse(settings, &line, error))
        return false;
    if (m_port.isOpen())
        close();
    m_path = devicePath(port);
    if (m_path.isEmpty()) {
        if (error)
            *error = QStringLiteral("Port \"%1\" is neither 1 to 12 nor a device path").arg(port);
        return false;
    }
    m_port.setPortName(m_path);
    if (!m_port.open(QIODevice::ReadWrite)) {
        if (error)
            *error = openFailureText();
        return false;
    }
    if (!configure(line, error)) {
        m_port.close();
        return false;
    }
    m_port.clear(QSerialPort::AllDirections);
    m_countersAvailable = readCounters(&m_counters);
    return true;
}

QString QtSerialControl::openFailureText() const
{
    switch (m_port.error()) {
    case QSerialPort::DeviceNotFoundError:
        return QStringLiteral("%1 does not exist").arg(m_path);
    case QSerialPort::PermissionError:
        if (::access(QFile::encodeName(m_path).constData(), R_OK | W_OK) != 0)
            return QStringLiteral("permission denied for %1: add your user to the dialout group "
                                  "(sudo usermod -aG dialout $USER) and log in again")
                .arg(m_path);
        return QStringLiteral("%1 is in use by another program").arg(m_path);
    default:
        return QStringLiteral("%1: %2").arg(m_path, m_port.errorString());
    }
}

bool QtSerialControl::supports(const LineSettings &line, QString *error)
{
    if (std::find(StandardBaudRates.begin(), StandardBaudRates.end(), line.baud) != StandardBaudRates.end())
        return true;
    if (error)
        *error = QStringLiteral("%1 baud is not a rate this port supports").arg(line.baud);
    return false;
}

bool QtSerialControl::accepts(const QString &settings, QString *error) const
{
    LineSettings line;
    return LineSettings::parse(settings, &line, error) && supports(line, error);
}

bool QtSerialControl::configure(const LineSettings &line, QString *error)
{
    if (!supports(line, error))
        return false;
    QString failed;
    if (!m_port.setBaudRate(line.baud))
        failed = QStringLiteral("%1 baud").arg(line.baud);
    else if (!m_port.setDataBits(QSerialPort::DataBits(line.dataBits)))
        failed = QStringLiteral("%1 data bits").arg(line.dataBits);
    else if (!m_port.setParity(qtParity(line.parity)))
        failed = QStringLiteral("parity %1").arg(QLatin1Char(line.parity));
    else if (!m_port.setStopBits(line.stopBits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop))
        failed = QStringLiteral("%1 stop bits").arg(line.stopBits);
    else if (!m_port.setFlowControl(QSerialPort::NoFlowControl))
        failed = QStringLiteral("no flow control");
    if (!failed.isEmpty()) {
        if (error)
            *error = QStringLiteral("%1 refused %2: %3").arg(m_path, failed, m_port.errorString());
        // Put back what the port had, so that settings() tells the truth.
        if (m_port.isOpen() && line.text() != m_line.text())
            configure(m_line, nullptr);
        return false;
    }
    m_line = line;
    return true;
}

bool QtSerialControl::applySettings(const QString &settings, QString *error)
{
    LineSettings line;
    if (!LineSettings::parse(settings, &line, error))
        return false;
    if (!m_port.isOpen()) {
        // Refused now, not at the next open, so the caller goes on with what works.
        if (!supports(line, error))
            return false;
        m_line = line;
        return true;
    }
    return configure(line, error);
}

void QtSerialControl::close()
{
    if (m_port.isOpen())
        m_port.close();
    m_countersAvailable = false;
}

QString QtSerialControl::settings() const
{
    if (!m_port.isOpen())
        return m_line.text();
    LineSettings now;
    now.baud = m_port.baudRate();
    now.parity = parityLetter(m_port.parity());
    now.dataBits = int(m_port.dataBits());
    now.stopBits = m_port.stopBits() == QSerialPort::TwoStop ? 2 : 1;
    return now.text();
}

bool QtSerialControl::write(const QByteArray &bytes)
{
    if (!m_port.isOpen() || m_port.write(bytes) != bytes.size())
        return false;
    // Onto the line now rather than at the next pass of the event loop: the
    // request's time on the wire starts when the silent interval ended. Never blocks.
    m_port.flush();
    return true;
}

qint64 QtSerialControl::outputPending() const
{
    if (!m_port.isOpen())
        return 0;
    // The UART driver's queue; pseudo-terminals hand bytes on at once and report 0.
    int queued = 0;
    if (::ioctl(int(m_port.handle()), TIOCOUTQ, &queued) != 0)
        queued = 0;
    return m_port.bytesToWrite() + std::max(0, queued);
}

QByteArray QtSerialControl::readAll()
{
    return m_port.readAll();
}

void QtSerialControl::discardInput()
{
    if (!m_port.isOpen())
        return;
    m_port.clear(QSerialPort::Input);
    m_port.readAll();
}

void QtSerialControl::onReadyRead()
{
    checkLineErrors();
    emit commEvent(EvReceive);
}

void QtSerialControl::onError(QSerialPort::SerialPortError error)
{
    // A read that fails keeps failing (an unplugged adapter, a closed pseudo-terminal)
    // and Qt would report it in a tight loop: the device is gone either way.
    if (error != QSerialPort::ResourceError && error != QSerialPort::ReadError)
        return;
    if (!m_port.isOpen())
        return;
    // The system's own text here ("Inappropriate ioctl for device", "Input/output
    // error") says nothing to a technician; what happened is that the device went.
    const QString reason = QStringLiteral("%1 is gone (unplugged, or closed at the other end; system: %2)")
                               .arg(m_path, m_port.errorString());
    close();
    // Reported from the event loop, never from inside a call of the link.
    QMetaObject::invokeMethod(this, [this, reason] { emit lostDevice(reason); }, Qt::QueuedConnection);
}

bool QtSerialControl::readCounters(std::array<int, 5> *counters) const
{
    serial_icounter_struct icount{};
    if (!m_port.isOpen() || ::ioctl(int(m_port.handle()), TIOCGICOUNT, &icount) != 0)
        return false;
    *counters = {icount.frame, icount.parity, icount.overrun, icount.brk, icount.buf_overrun};
    return true;
}

void QtSerialControl::checkLineErrors()
{
    if (!m_countersAvailable)
        return;
    std::array<int, 5> now{};
    if (!readCounters(&now))
        return;
    static constexpr std::array<int, 5> Events = {EvFrame, EvRxParity, EvOverrun, EvBreak, EvRxOver};
    for (size_t i = 0; i < now.size(); ++i) {
        if (now[i] != m_counters[i])
            emit commEvent(Events[i]);
    }
    m_counters = now;
}
