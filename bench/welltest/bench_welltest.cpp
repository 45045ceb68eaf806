// How the GUI fares while the well-test window follows a running test at 9600
// baud: a 1 ms timer measures the longest gap in the event loop, and the process's
// CPU time is compared with the time elapsed.
#include "BenchSupport.h"
#include "Clock.h"
#include "ModbusLink.h"
#include "PollCycle.h"
#include "QtSerialControl.h"
#include "Session.h"
#include "TfrmVTWell.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {
struct Run {
    double elapsed = 0;
    double cpu = 0;
    double longestGapMs = 0;
    int polls = 0;
    QString status;
};

// Opens the window, starts the test unless it runs, lets the window poll for the
// given time and closes it (the test goes on in the transmitter).
Run runWindow(ModbusLink &link, Session &session, int seconds, bool probeLoop)
{
    Run run;
    TfrmVTWell window(WindowContext{link, session, nullptr, {}, {}});
    QElapsedTimer clock;
    qint64 lastTick = 0, longestGap = 0;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    probe.setInterval(1);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longestGap = std::max(longestGap, now - lastTick);
        lastTick = now;
    });
    run.polls = 1;
    QObject::connect(&window.pollCycle().timer(), &ClockTimer::timeout, [&] { ++run.polls; });
    QTimer::singleShot(1500, &window, [&window] {
        if (auto *start = window.findChild<QPushButton *>(QStringLiteral("btnStart")); start && start->isEnabled())
            start->click();
    });
    QTimer::singleShot(seconds * 1000, &window, [&] {
        run.status = window.findChild<QLabel *>(QStringLiteral("lblWellTestStat"))->text();
        window.requestClose();
    });
    const double cpuStart = cpuSeconds();
    clock.start();
    if (probeLoop)
        probe.start();
    window.show();
    window.exec();
    run.elapsed = double(clock.nsecsElapsed()) / 1e9;
    run.cpu = cpuSeconds() - cpuStart;
    run.longestGapMs = double(longestGap) / 1e6;
    return run;
}
}  // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(3, atoi(argv[1])) : 20;

    const SimProcess simulator(
        {QStringLiteral("--baud"), QStringLiteral("9600"), QStringLiteral("--pace"), QStringLiteral("on")});
    const QString path = simulator.path();
    if (path.isEmpty()) {
        std::fprintf(stderr, "tarvine-sim did not start\n");
        return 1;
    }

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

    // Two runs: one with the 1 ms probe for the stalls, one without it for the CPU
    // time (the probe's own thousand wake-ups a second would count otherwise).
    const Run probed = runWindow(link, session, seconds, true);
    const Run quiet = runWindow(link, session, seconds, false);
    link.closePort();

    std::printf("well-test window during a test, ASCII 9600 baud, two runs of %d s\n", seconds);
    std::printf("with the 1 ms probe: %d polls, status \"%s\", longest event-loop stall %.1f ms (target under 30 ms)\n",
                probed.polls, qPrintable(probed.status), probed.longestGapMs);
    std::printf("without it: %d polls, status \"%s\", CPU %.3f s = %.2f %% of %.1f s elapsed (target under 5 %%)\n",
                quiet.polls, qPrintable(quiet.status), quiet.cpu, 100.0 * quiet.cpu / quiet.elapsed, quiet.elapsed);
    return 0;
}
