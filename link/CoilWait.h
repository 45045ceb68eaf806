#pragma once

#include <QObject>

#include <functional>

class ModbusLink;

// A transmitter procedure started by a command coil: the coil is forced on (with
// its completion handshake) and stays on while the transmitter works; the
// transmitter clears it when done. The wait polls the coil, sleeping in an event
// loop between polls, so windows keep painting and their timers run; time comes
// from the clock seam. A poll without a valid reply is never taken for "done".
class CoilWait : public QObject {
    Q_OBJECT
public:
    enum class Result {
        Finished,  // the transmitter cleared the coil
        Refused,   // the coil was not accepted (the link has shown why)
        Aborted,   // the abort flag was set (Escape, a failed handshake)
        TimedOut,  // the coil was still on at the deadline
        NoReply,   // a poll got no valid reply: lost port, silence, exception
    };
    static constexpr int DefaultPollMs = 250;

    CoilWait(ModbusLink &link, int coil, QObject *parent = nullptr);

    // No deadline unless set. Measured from the start of the wait.
    void setDeadlineMs(qint64 ms) { m_deadlineMs = ms; }
    void setPollIntervalMs(int ms) { m_pollMs = ms; }
    // Called before every poll with the time waited so far: countdowns and dots.
    void setOnTick(std::function<void(qint64 elapsedMs)> tick) { m_onTick = std::move(tick); }

    // Forces the coil on, then waits.
    Result start();
    // Waits for a coil that is already on.
    Result wait();

    static QString describe(Result r);

private:
    ModbusLink &m_link;
    int m_coil;
    qint64 m_deadlineMs = -1;
    int m_pollMs = DefaultPollMs;
    std::function<void(qint64)> m_onTick;
};
