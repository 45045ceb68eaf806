#include "PollCycle.h"

#include "Clock.h"
#include "ModbusLink.h"

#include <QLineEdit>
#include <QLocale>

PollCycle::PollCycle(GuardedWindow &window, ModbusLink &link, std::function<void()> poll, int intervalMs)
    : QObject(&window), m_window(window), m_link(link), m_poll(std::move(poll)), m_timer(new ClockTimer(this))
{
    m_timer->setInterval(intervalMs);
    connect(m_timer, &ClockTimer::timeout, this, &PollCycle::pollNow);
}

bool PollCycle::read(int firstRegister, int byteCount)
{
    const bool ok = m_link.readRegisters(firstRegister, byteCount);
    if (!ok)
        m_pollFailed = true;
    return ok;
}

void PollCycle::pollNow()
{
    if (m_polling || m_window.closing())
        return;
    m_timer->stop();
    m_polling = true;
    m_pollFailed = !m_link.portOpen();
    {
        GuardedWindow::BusyScope scope(m_window);
        m_poll();
        m_polling = false;
        // A poll that Close cut short says nothing about the data.
        if (!m_window.closing())
            showStale(m_pollFailed || !m_link.portOpen());
    }
    if (!m_window.closing())
        m_timer->start();
}

void PollCycle::showStale(bool stale)
{
    if (stale == m_stale)
        return;
    m_stale = stale;
    if (stale) {
        m_staleSince = QTime::currentTime();
        // The value fields that are live now; rows the window disabled itself stay so.
        for (QLineEdit *field : m_window.findChildren<QLineEdit *>()) {
            if (field->isReadOnly() && field->isEnabled()) {
                field->setEnabled(false);
                m_greyed.append(field);
            }
        }
        const QString why = m_link.portOpen() ? QStringLiteral("the transmitter does not answer")
                                              : QStringLiteral("the port is closed");
        emit statusText(QStringLiteral("No data since %1: %2; the values shown are old.")
                            .arg(QLocale().toString(m_staleSince, QLocale::LongFormat), why));
    } else {
        for (const QPointer<QWidget> &field : std::as_const(m_greyed))
            if (field)
                field->setEnabled(true);
        m_greyed.clear();
        emit statusText(QString());
    }
}

void PollCycle::stop()
{
    m_timer->stop();
}
