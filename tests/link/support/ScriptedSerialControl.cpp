#include "ScriptedSerialControl.h"

#include "SerialSettingsText.h"

void ScriptedSerialControl::queue(std::function<void()> step)
{
    const int session = m_session;
    QMetaObject::invokeMethod(
        this,
        [this, session, step = std::move(step)] {
            if (session == m_session && m_open)
                step();
        },
        Qt::QueuedConnection);
}

void ScriptedSerialControl::deliver(const QByteArray &chunk)
{
    queue([this, chunk] {
        m_input.append(chunk);
        emit commEvent(EvReceive);
    });
}

void ScriptedSerialControl::deliverEvent(int event)
{
    queue([this, event] { emit commEvent(event); });
}

void ScriptedSerialControl::loseDevice(const QString &reason)
{
    queue([this, reason] {
        close();
        emit lostDevice(reason);
    });
}

bool ScriptedSerialControl::open(const QString &port, const QString &settings, QString *error)
{
    m_port = port;  // tried, even when the open fails
    if (!m_openFailure.isEmpty()) {
        if (error)
            *error = m_openFailure;
        m_openFailure.clear();
        return false;
    }
    if (!settings.isEmpty() && !applySettings(settings, error))
        return false;
    m_open = true;
    ++m_openCount;
    return true;
}

bool ScriptedSerialControl::applySettings(const QString &settings, QString *error)
{
    LineSettings line;
    if (!LineSettings::parse(settings, &line, error))
        return false;
    m_settings = line.text();
    return true;
}

void ScriptedSerialControl::close()
{
    m_open = false;
    m_input.clear();
    ++m_session;
}

bool ScriptedSerialControl::write(const QByteArray &bytes)
{
    if (!m_open || m_writeFails)
        return false;
    m_writes.append(bytes);
    if (m_responder) {
        for (const QByteArray &chunk : m_responder(bytes))
            deliver(chunk);
    }
    return true;
}

void ScriptedSerialControl::discardInput()
{
    m_input.clear();
    ++m_discardCount;
}
