#include "InterruptWatch.h"

#include <QSocketNotifier>

#include <sys/socket.h>
#include <unistd.h>

InterruptWatch::InterruptWatch(std::function<void()> onInterrupt)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, s_socket) != 0)
        return; // Ctrl-C then ends the process as usual
    struct sigaction sa {};
    sa.sa_handler = &InterruptWatch::onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &sa, &m_previous);
    m_notifier = new QSocketNotifier(s_socket[0], QSocketNotifier::Read);
    QObject::connect(m_notifier, &QSocketNotifier::activated, [onInterrupt = std::move(onInterrupt)] {
        char c;
        [[maybe_unused]] const ssize_t n = ::read(s_socket[0], &c, 1);
        onInterrupt();
    });
}

InterruptWatch::~InterruptWatch()
{
    if (!m_notifier)
        return;
    ::sigaction(SIGINT, &m_previous, nullptr);
    delete m_notifier;
    ::close(s_socket[0]);
    ::close(s_socket[1]);
    s_socket[0] = s_socket[1] = -1;
}

void InterruptWatch::onSignal(int)
{
    const char c = 1;
    [[maybe_unused]] const ssize_t n = ::write(s_socket[1], &c, 1);
}
