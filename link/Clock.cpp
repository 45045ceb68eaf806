#include "Clock.h"

#include <QElapsedTimer>
#include <QSocketNotifier>

#include <sys/timerfd.h>
#include <unistd.h>

#include <algorithm>

namespace {

class SteadyClock final : public Clock {
public:
    SteadyClock() { m_elapsed.start(); }
    qint64 nowMs() const override { return m_elapsed.elapsed(); }
    qint64 nowUs() const override { return m_elapsed.nsecsElapsed() / 1000; }

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

void ManualClock::advanceUs(qint64 us)
{
    const qint64 target = m_nowUs + us;
    for (;;) {
        auto due = std::min_element(m_timers.begin(), m_timers.end(), [](ClockTimer *a, ClockTimer *b) {
            return a->m_deadlineUs < b->m_deadlineUs;
        });
        if (due == m_timers.end() || (*due)->m_deadlineUs > target)
            break;
        ClockTimer *t = *due;
        m_nowUs = std::max(m_nowUs, t->m_deadlineUs);
        t->fire();
    }
    m_nowUs = target;
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
    if (m_preciseFd >= 0)
        ::close(m_preciseFd);
}

void ClockTimer::start(int ms)
{
    m_interval = ms;
    start();
}

void ClockTimer::start()
{
    stop();
    m_intervalUs = qint64(m_interval) * 1000;
    m_clock = &Clock::instance();
    m_active = true;
    m_deadlineUs = m_clock->nowUs() + m_intervalUs;
    if (m_clock->drivesTimers()) {
        m_clock->timerStarted(this);
    } else {
        m_timer.setSingleShot(m_singleShot);
        m_timer.start(m_interval);
    }
}

void ClockTimer::startUs(qint64 us)
{
    us = std::max<qint64>(us, 0);
    if (us % 1000 == 0) {
        start(int(us / 1000));
        return;
    }
    stop();
    m_interval = int(us / 1000);
    m_intervalUs = us;
    m_clock = &Clock::instance();
    m_active = true;
    m_deadlineUs = m_clock->nowUs() + us;
    if (m_clock->drivesTimers()) {
        m_clock->timerStarted(this);
        return;
    }
    if (m_preciseFd < 0) {
        m_preciseFd = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
        if (m_preciseFd < 0) { // no kernel timer: the next whole millisecond will do
            m_timer.setSingleShot(m_singleShot);
            m_timer.start(int((us + 999) / 1000));
            return;
        }
        m_preciseNotifier = new QSocketNotifier(m_preciseFd, QSocketNotifier::Read, this);
        connect(m_preciseNotifier, &QSocketNotifier::activated, this, &ClockTimer::onPreciseExpiry);
    }
    const timespec every{us / 1'000'000, long(us % 1'000'000) * 1000};
    itimerspec expiry{};
    expiry.it_value = every;
    if (!m_singleShot)
        expiry.it_interval = every;
    ::timerfd_settime(m_preciseFd, 0, &expiry, nullptr);
}

void ClockTimer::onPreciseExpiry()
{
    quint64 expirations = 0;
    if (::read(m_preciseFd, &expirations, sizeof expirations) == sizeof expirations && expirations > 0)
        fire();
}

void ClockTimer::stop()
{
    if (!m_active)
        return;
    m_active = false;
    m_timer.stop();
    if (m_preciseFd >= 0) {
        const itimerspec disarmed{};
        ::timerfd_settime(m_preciseFd, 0, &disarmed, nullptr);
    }
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
        m_deadlineUs += std::max<qint64>(m_intervalUs, 1000);
    }
    emit timeout();
}
