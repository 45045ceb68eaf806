#include "PollCycle.h"

#include "Clock.h"

PollCycle::PollCycle(GuardedWindow &window, std::function<void()> poll, int intervalMs)
    : QObject(&window), m_window(window), m_poll(std::move(poll)), m_timer(new ClockTimer(this))
{
    m_timer->setInterval(intervalMs);
    connect(m_timer, &ClockTimer::timeout, this, &PollCycle::pollNow);
}

void PollCycle::pollNow()
{
    if (m_polling || m_window.closing())
        return;
    m_timer->stop();
    m_polling = true;
    {
        GuardedWindow::BusyScope scope(m_window);
        m_poll();
        m_polling = false;
    }
    if (!m_window.closing())
        m_timer->start();
}

void PollCycle::stop()
{
    m_timer->stop();
}
