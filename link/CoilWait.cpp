#include "CoilWait.h"

#include "Clock.h"
#include "Codec.h"
#include "ModbusLink.h"
#include "Session.h"

#include <QEventLoop>

CoilWait::CoilWait(ModbusLink &link, int coil, QObject *parent) : QObject(parent), m_link(link), m_coil(coil) {}

CoilWait::Result CoilWait::start()
{
    // A refused command also sets the abort flag (the handshake does); it is still a refusal.
    if (!m_link.Force_Coil(m_coil, ModbusFrame::CoilOn))
        return Result::Refused;
    return wait();
}

CoilWait::Result CoilWait::wait()
{
    Clock &clock = Clock::instance();
    const qint64 started = clock.nowMs();
    ClockTimer pause;
    pause.setSingleShot(true);
    QEventLoop loop;
    connect(&pause, &ClockTimer::timeout, &loop, &QEventLoop::quit);
    for (;;) {
        const qint64 elapsed = clock.nowMs() - started;
        if (m_onTick)
            m_onTick(elapsed);
        if (m_link.session()->abortRequested())
            return Result::Aborted;
        if (m_deadlineMs >= 0 && elapsed > m_deadlineMs)
            return Result::TimedOut;
        switch (m_link.readCoilState(m_coil)) {
        case ModbusLink::CoilState::Off: return Result::Finished;
        case ModbusLink::CoilState::NoReply: return Result::NoReply;
        case ModbusLink::CoilState::On: break;
        }
        // Escape pressed while the poll was in the link.
        if (m_link.session()->abortRequested())
            return Result::Aborted;
        pause.start(m_pollMs);
        loop.exec();
    }
}

QString CoilWait::describe(Result r)
{
    switch (r) {
    case Result::Finished: return QStringLiteral("finished");
    case Result::Refused: return QStringLiteral("the transmitter refused the command");
    case Result::Aborted: return QStringLiteral("aborted");
    case Result::TimedOut: return QStringLiteral("the transmitter did not finish in time");
    case Result::NoReply: return QStringLiteral("no valid reply from the transmitter");
    }
    return {};
}
