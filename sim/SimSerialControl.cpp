#include "SimSerialControl.h"

#include "LineSettings.h"
#include "SimDevice.h"
#include "SimDownload.h"
#include "SimTransmitter.h"

namespace sim {

SimSerialControl::SimSerialControl(SimTransmitter *transmitter, QObject *parent)
    : SerialControl(parent), m_transmitter(transmitter)
{
    connect(transmitter, &SimTransmitter::transmit, this, &SimSerialControl::onTransmit);
    // A line that drops takes the port with it, as an unplugged adapter does.
    connect(transmitter->download(), &SimDownload::lineDropped, this, [this] {
        if (!m_open)
            return;
        close();
        QMetaObject::invokeMethod(this, [this] { emit lostDevice(QStringLiteral("the line dropped")); },
                                  Qt::QueuedConnection);
    });
}

bool SimSerialControl::open(const QString &port, const QString &settings, QString *error)
{
    if (m_open) {
        if (error)
            *error = QStringLiteral("The port is already open.");
        return false;
    }
    if (port.isEmpty()) {
        if (error)
            *error = QStringLiteral("No port given.");
        return false;
    }
    if (!settings.isEmpty() && !applySettings(settings, error))
        return false;
    m_port = port;
    m_input.clear();
    m_open = true;
    return true;
}

bool SimSerialControl::applySettings(const QString &settings, QString *error)
{
    LineSettings parsed;
    if (!LineSettings::parse(settings, &parsed)) {
        if (error)
            *error = QStringLiteral("Invalid settings \"%1\".").arg(settings);
        return false;
    }
    m_settings = parsed.text();
    return true;
}

void SimSerialControl::close()
{
    m_open = false;
    m_input.clear();
}

bool SimSerialControl::lineMatches() const
{
    LineSettings mine;
    return m_transmitter && LineSettings::parse(m_settings, &mine) && mine == m_transmitter->device()->comm().line;
}

bool SimSerialControl::write(const QByteArray &bytes)
{
    if (!m_open || !m_transmitter)
        return false;
    m_written += bytes;
    if (!lineMatches())
        return true; // sent, but the transmitter cannot make sense of it
    QMetaObject::invokeMethod(m_transmitter, [t = m_transmitter, bytes] {
        if (t)
            t->receive(bytes);
    }, Qt::QueuedConnection);
    return true;
}

QByteArray SimSerialControl::readAll()
{
    return std::exchange(m_input, QByteArray());
}

void SimSerialControl::onTransmit(const QByteArray &bytes)
{
    if (!m_open || !lineMatches())
        return;
    m_input += bytes;
    // Queued like a real port's notification, so that the receiver never runs inside
    // the transmitter's (or a test clock's) call stack.
    QMetaObject::invokeMethod(this, [this] {
        if (m_open)
            emit commEvent(EvReceive);
    }, Qt::QueuedConnection);
}

} // namespace sim
