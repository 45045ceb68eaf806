#include "TcpSerialControl.h"

#include "Clock.h"
#include "SerialSettingsText.h"

#include <QEventLoop>

TcpSerialControl::TcpSerialControl(QObject *parent) : SerialControl(parent)
{
    connect(&m_socket, &QTcpSocket::readyRead, this, [this] { emit commEvent(EvReceive); });
    connect(&m_socket, &QTcpSocket::disconnected, this, &TcpSerialControl::onDisconnected);
    connect(&m_socket, &QTcpSocket::errorOccurred, this, [this] {
        if (m_open && m_socket.state() != QAbstractSocket::ConnectedState)
            onDisconnected();
    });
}

TcpSerialControl::~TcpSerialControl()
{
    m_open = false;
    m_socket.abort();
}

bool TcpSerialControl::open(const QString &port, const QString &settings, QString *error)
{
    if (!settings.isEmpty() && !applySettings(settings, error))
        return false;
    close();
    const std::optional<NetworkAddress> address = NetworkAddress::parse(port, error);
    if (!address)
        return false;
    m_address = *address;
    m_socket.connectToHost(m_address.host, m_address.port);
    QEventLoop loop;
    ClockTimer timeout;
    timeout.setSingleShot(true);
    bool timedOut = false;
    connect(&timeout, &ClockTimer::timeout, &loop, [&] {
        timedOut = true;
        loop.quit();
    });
    connect(&m_socket, &QTcpSocket::connected, &loop, &QEventLoop::quit);
    connect(&m_socket, &QTcpSocket::errorOccurred, &loop, &QEventLoop::quit);
    timeout.start(m_connectTimeoutMs);
    if (m_socket.state() != QAbstractSocket::ConnectedState && m_socket.state() != QAbstractSocket::UnconnectedState)
        loop.exec();
    if (m_socket.state() != QAbstractSocket::ConnectedState) {
        const QString reason = timedOut ? QStringLiteral("no answer within %1 s").arg(m_connectTimeoutMs / 1000.0)
                                        : failureReason();
        m_socket.abort();
        if (error)
            *error = QStringLiteral("could not connect to %1: %2").arg(m_address.text(), reason);
        return false;
    }
    // Requests are small and each waits for its reply: send them at once.
    m_socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    m_open = true;
    return true;
}

QString TcpSerialControl::failureReason() const
{
    switch (m_socket.error()) {
    case QAbstractSocket::ConnectionRefusedError: return QStringLiteral("connection refused");
    case QAbstractSocket::HostNotFoundError: return QStringLiteral("host not found");
    case QAbstractSocket::NetworkError: return QStringLiteral("network unreachable");
    case QAbstractSocket::RemoteHostClosedError: return QStringLiteral("closed by the remote host");
    default: return m_socket.errorString();
    }
}

bool TcpSerialControl::applySettings(const QString &settings, QString *error)
{
    LineSettings line;
    if (!LineSettings::parse(settings, &line, error))
        return false;
    m_settings = line.text();
    return true;
}

void TcpSerialControl::close()
{
    m_open = false;
    m_socket.abort();
}

bool TcpSerialControl::write(const QByteArray &bytes)
{
    return m_open && m_socket.write(bytes) == bytes.size();
}

void TcpSerialControl::onDisconnected()
{
    if (!m_open)
        return;
    const QString reason = QStringLiteral("the connection to %1 dropped (%2)").arg(m_address.text(), failureReason());
    close();
    // Reported from the event loop, never from inside a call of the link.
    QMetaObject::invokeMethod(this, [this, reason] { emit lostDevice(reason); }, Qt::QueuedConnection);
}
