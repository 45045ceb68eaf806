#pragma once

#include "Clock.h"

#include <QTimer>

// A manual clock that is the program's clock for this object's lifetime: declare it
// before anything that reads the clock, so it goes last. With a step, manual time also
// moves that many milliseconds per pass of the event loop, so waits, time-outs and
// pacing play out in simulated time.
class InstalledClock {
public:
    explicit InstalledClock(int stepMs = 0)
    {
        Clock::install(&m_clock);
        QObject::connect(&m_driver, &QTimer::timeout, [this] { m_clock.advance(m_stepMs); });
        run(stepMs);
    }
    ~InstalledClock() { Clock::install(nullptr); }
    InstalledClock(const InstalledClock &) = delete;
    InstalledClock &operator=(const InstalledClock &) = delete;

    // Lets time run stepMs per pass of the event loop (0: stand still).
    void run(int stepMs)
    {
        m_stepMs = stepMs;
        if (stepMs > 0)
            m_driver.start(0);
        else
            m_driver.stop();
    }
    void advance(qint64 ms) { m_clock.advance(ms); }
    void advanceUs(qint64 us) { m_clock.advanceUs(us); }
    qint64 nowMs() const { return m_clock.nowMs(); }
    qint64 nowUs() const { return m_clock.nowUs(); }

private:
    ManualClock m_clock;
    QTimer m_driver;
    qint64 m_stepMs = 0;
};
