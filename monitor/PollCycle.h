#pragma once

#include "GuardedWindow.h"

#include <QObject>

#include <functional>

class ClockTimer;

// A window's poll on a timer (1000 ms unless told otherwise). The timer is off
// while a poll runs and is started again when it ends, so polls never overlap and
// a slow link stretches the period instead of queueing requests. A poll runs as
// one of the window's busy operations: Close during it ends the window when the
// poll has returned, and no further poll starts.
class PollCycle : public QObject {
    Q_OBJECT
public:
    static constexpr int DefaultIntervalMs = 1000;

    PollCycle(GuardedWindow &window, std::function<void()> poll, int intervalMs = DefaultIntervalMs);

    ClockTimer &timer() { return *m_timer; }
    bool polling() const { return m_polling; }

public slots:
    // One poll now (activation), then on the timer.
    void pollNow();
    void stop();

private:
    GuardedWindow &m_window;
    std::function<void()> m_poll;
    ClockTimer *m_timer;
    bool m_polling = false;
};
