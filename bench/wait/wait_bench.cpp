// Sends requests over a pseudo-terminal to a peer that answers after a delay, and
// measures the GUI thread's CPU time during the wait and how regularly a 10 ms timer
// fires meanwhile. Prints the results; it is not a test.

#include "Codec.h"
#include "ModbusLink.h"
#include "QtSerialControl.h"
#include "Session.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr int ReplyDelayMs = 1000;
constexpr int Requests = 3;

double threadCpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

// Reads each ASCII request and answers it with two registers after the delay.
void slowPeer(int master, std::atomic<bool> &stop)
{
    QByteArray pending;
    const QByteArray reply = ModbusFrame::encode(
        ModbusFrame::withChecksum(QByteArray::fromHex("01030412345678"), ModbusFrame::Ascii), ModbusFrame::Ascii);
    while (!stop) {
        pollfd p{master, POLLIN, 0};
        if (poll(&p, 1, 100) <= 0)
            continue;
        char buf[256];
        const ssize_t n = read(master, buf, sizeof buf);
        if (n <= 0)
            break;
        pending.append(buf, int(n));
        while (pending.contains("\r\n")) {
            pending.remove(0, pending.indexOf("\r\n") + 2);
            std::this_thread::sleep_for(std::chrono::milliseconds(ReplyDelayMs));
            if (write(master, reply.constData(), size_t(reply.size())) != reply.size())
                return;
        }
    }
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        std::fprintf(stderr, "no pseudo-terminal\n");
        return 1;
    }
    std::atomic<bool> stop{false};
    std::thread peer(slowPeer, master, std::ref(stop));

    QtSerialControl serial;
    Session session;
    ModbusLink link(&serial, &session);
    CommSettings s;
    s.port = QString::fromLocal8Bit(ptsname(master));
    s.unitId = 1;
    link.setSettings(s);
    QString error;
    if (!link.openPort(&error)) {
        std::fprintf(stderr, "open failed: %s\n", qPrintable(error));
        stop = true;
        peer.join();
        return 1;
    }

    int ticks = 0;
    qint64 longestGapMs = 0;
    QElapsedTimer sinceTick;
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (ticks > 0)
            longestGapMs = std::max(longestGapMs, sinceTick.elapsed());
        sinceTick.start();
        ++ticks;
    });
    timer.start(10);

    QElapsedTimer wall;
    wall.start();
    const double cpu0 = threadCpuMs();
    int answered = 0;
    for (int i = 0; i < Requests; ++i)
        answered += link.Read_Regs(0, 4) > 0;
    const double cpuMs = threadCpuMs() - cpu0;
    const double wallMs = double(wall.elapsed());
    timer.stop();
    link.closePort();
    stop = true;
    peer.join();
    close(master);

    std::printf("requests answered:         %d of %d (reply delay %d ms each)\n", answered, Requests, ReplyDelayMs);
    std::printf("wall time:                 %.0f ms\n", wallMs);
    std::printf("GUI thread CPU time:       %.1f ms (%.2f %% of the wait)\n", cpuMs, 100.0 * cpuMs / wallMs);
    std::printf("10 ms timer fired:         %d times (%.0f expected)\n", ticks, wallMs / 10.0);
    std::printf("longest gap between ticks: %lld ms\n", static_cast<long long>(longestGapMs));
    return answered == Requests ? 0 : 1;
}
