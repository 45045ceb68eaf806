// How the GUI fares while the measurement view polls a transmitter at 9600 baud:
// a 1 ms timer measures the longest gap in the event loop, and the process's CPU
// time is compared with the time elapsed.
#include "ModbusLink.h"
#include "PollCycle.h"
#include "QtSerialControl.h"
#include "Session.h"
#include "frmViewMeasurements.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>

namespace {
double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}
}  // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(2, atoi(argv[1])) : 20;

    QProcess simulator;
    simulator.setProgram(QStringLiteral(TARVINE_SIM_PATH));
    simulator.setArguments({QStringLiteral("--baud"), QStringLiteral("9600"), QStringLiteral("--pace"),
                            QStringLiteral("on")});
    simulator.start();
    if (!simulator.waitForReadyRead(5000)) {
        std::fprintf(stderr, "tarvine-sim did not start\n");
        return 1;
    }
    const QString path = QString::fromLocal8Bit(simulator.readLine()).trimmed();

    Session session;
    session.setDeviceModel(QStringLiteral("Ostrel"));
    QtSerialControl serial;
    ModbusLink link(&serial, &session);
    CommSettings settings;
    settings.port = path;
    link.setSettings(settings);
    QString error;
    if (!link.openPort(&error)) {
        std::fprintf(stderr, "cannot open %s: %s\n", qPrintable(path), qPrintable(error));
        return 1;
    }

    int replies = 0;
    QObject::connect(&link, &ModbusLink::rxActive, [&](bool on) { replies += on ? 1 : 0; });
    TfrmViewMeasurements view(link, session);

    QElapsedTimer clock;
    qint64 lastTick = 0, longestGap = 0;
    int polls = 0;
    bool wasPolling = false;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    probe.setInterval(1);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longestGap = std::max(longestGap, now - lastTick);
        lastTick = now;
        const bool polling = view.pollCycle().polling();
        polls += (wasPolling && !polling) ? 1 : 0;
        wasPolling = polling;
    });

    QTimer::singleShot(seconds * 1000, &view, &GuardedWindow::requestClose);
    const double cpuStart = cpuSeconds();
    clock.start();
    probe.start();
    view.show();
    view.exec();
    const double elapsed = double(clock.nsecsElapsed()) / 1e9;
    const double cpu = cpuSeconds() - cpuStart;
    probe.stop();
    link.closePort();
    simulator.terminate();
    simulator.waitForFinished(5000);

    std::printf("measurement view, ASCII 9600 baud, %.1f s: %d polls completed, %d receive events\n", elapsed, polls,
                replies);
    std::printf("longest event-loop stall: %.1f ms (target under 30 ms)\n", double(longestGap) / 1e6);
    std::printf("CPU time: %.3f s = %.2f %% of elapsed (target under 5 %%)\n", cpu, 100.0 * cpu / elapsed);
    return 0;
}
