#pragma once

#include "GuardedWindow.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QTime>

#include <functional>

class ClockTimer;
class ModbusLink;
class QWidget;

// A window's poll on a timer (1000 ms unless told otherwise). The timer is off
// while a poll runs and is started again when it ends, so polls never overlap and
// a slow link stretches the period instead of queueing requests. A poll runs as
// one of the window's busy operations: Close during it ends the window when the
// poll has returned, and no further poll starts.
//
// The poll reads through read(), which remembers a failure. After a poll that
// failed (or found the port closed) the window's values are old: its read-only
// value fields are shown greyed until a poll succeeds again, and statusText says
// since when there is no data.
class PollCycle : public QObject {
    Q_OBJECT
public:
    static constexpr int DefaultIntervalMs = 1000;

    PollCycle(GuardedWindow &window, ModbusLink &link, std::function<void()> poll,
              int intervalMs = DefaultIntervalMs);

    ClockTimer &timer() { return *m_timer; }
    bool polling() const { return m_polling; }

    // Read_Regs for the poll; false (and the poll counts as failed) without a
    // complete, exception-free reply.
    bool read(int firstRegister, int byteCount);
    // A read of the poll under way has failed (or the port is closed).
    bool pollFailed() const { return m_pollFailed; }
    // The values shown are from an earlier poll: the last one failed.
    bool stale() const { return m_stale; }
    QTime staleSince() const { return m_staleSince; }

public slots:
    // One poll now (activation), then on the timer.
    void pollNow();
    void stop();

signals:
    // For the main window's status panel: "No data since ..." when the values
    // turn stale, an empty text when data arrives again.
    void statusText(const QString &text);

private:
    void showStale(bool stale);

    GuardedWindow &m_window;
    ModbusLink &m_link;
    std::function<void()> m_poll;
    ClockTimer *m_timer;
    bool m_polling = false;
    bool m_pollFailed = false;
    bool m_stale = false;
    QTime m_staleSince;
    QList<QPointer<QWidget>> m_greyed;
};
