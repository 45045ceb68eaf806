#include "Clock.h"

#include <QElapsedTimer>

#include <algorithm>

namespace {

class SteadyClock final : public Clock {
public:
    SteadyClock() { m_elapsed.start(); }
    qint64 nowMs() const override { return m_elapsed.elapsed(); }

private:
    QElapsedTimer m_elapsed;
};

SteadyClock steadyClock;
Clock *currentClock = nullptr;

} // namespace

Clock &Clock::instance()
{
    return currentClock ? *currentClock : static_cast<Clock &>(steadyClock);
}

void Clock::install(Clock *c)
{
    currentClock = c;
}

void ManualClock::advance(qint64 ms)
{
    const qint64 target = m_now + ms;
    for (;;) {
        auto due = std::min_element(m_timers.begin(), m_timers.end(), [](ClockTimer *a, ClockTimer *b) {
            return a->m_deadline < b->m_deadline;
        });
        if (due == m_timers.end() || (*due)->m_deadline > target)
            break;
        ClockTimer *t = *due;
        m_now = std::max(m_now, t->m_deadline);
        t->fire();
    }
    m_now = target;
}

void ManualClock::timerStarted(ClockTimer *t)
{
    if (std::find(m_timers.begin(), m_timers.end(), t) == m_timers.end())
        m_timers.push_back(t);
}

void ManualClock::timerStopped(ClockTimer *t)
{
    m_timers.erase(std::remove(m_timers.begin(), m_timers.end(), t), m_timers.end());
}

ClockTimer::ClockTimer(QObject *parent) : QObject(parent)
{
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &ClockTimer::fire);
}

ClockTimer::~ClockTimer()
{
    stop();
}

void ClockTimer::start(int ms)
{
    m_interval = ms;
    start();
}

void ClockTimer::start()
{
    stop();
    m_clock = &Clock::instance();
    m_active = true;
    m_deadline = m_clock->nowMs() + m_interval;
    if (m_clock->drivesTimers()) {
        m_clock->timerStarted(this);
    } else {
        m_timer.setSingleShot(m_singleShot);
        m_timer.start(m_interval);
    }
}

void ClockTimer::stop()
{
    if (!m_active)
        return;
    m_active = false;
    m_timer.stop();
    if (m_clock && m_clock->drivesTimers())
        m_clock->timerStopped(this);
}

void ClockTimer::fire()
{
    if (!m_active)
        return;
    if (m_singleShot) {
        stop();
    } else {
        m_deadline += std::max(m_interval, 1);
    }
    emit timeout();
}
