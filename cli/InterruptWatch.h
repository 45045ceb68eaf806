#pragma once

#include <QObject>

#include <csignal>
#include <functional>

class QSocketNotifier;

// While it lives, Ctrl-C (SIGINT) calls onInterrupt from the event loop instead of
// ending the process, so a long command stops the way it stops on its own: the
// port closed and restored. The handler only writes to a socket that the event loop
// watches; the previous handler comes back when the watch ends. One at a time.
class InterruptWatch {
public:
    explicit InterruptWatch(std::function<void()> onInterrupt);
    ~InterruptWatch();
    InterruptWatch(const InterruptWatch &) = delete;
    InterruptWatch &operator=(const InterruptWatch &) = delete;

private:
    static void onSignal(int);
    static inline int s_socket[2] = {-1, -1};
    struct sigaction m_previous {};
    QSocketNotifier *m_notifier = nullptr;
};
