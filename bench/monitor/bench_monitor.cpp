// How the GUI fares while the measurement view polls a transmitter at 9600 baud:
// a 1 ms timer measures the longest gap in the event loop, and the process's CPU
// time is compared with the time elapsed.
#include "BenchSupport.h"
#include "ModbusLink.h"
#include "Clock.h"
#include "PollCycle.h"
#include "QtSerialControl.h"
#include "Session.h"
#include "frmViewMeasurements.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {
struct Run {
    double elapsed = 0;
    double cpu = 0;
    double longestGapMs = 0;
    int polls = 0;
    int receiveEvents = 0;
};

// Opens the view, lets it poll for the given time, closes it.
Run runView(ModbusLink &link, Session &session, int seconds, bool probeLoop)
{
    Run run;
    TfrmViewMeasurements view(link, session);
    const QMetaObject::Connection counter =
        QObject::connect(&link, &ModbusLink::rxActive, [&](bool on) { run.receiveEvents += on ? 1 : 0; });
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
    // One poll at activation, then one per tick of the view's timer.
    run.polls = 1;
    QObject::connect(&view.pollCycle().timer(), &ClockTimer::timeout, [&] { ++run.polls; });
    QTimer::singleShot(seconds * 1000, &view, &GuardedWindow::requestClose);
    const double cpuStart = cpuSeconds();
    clock.start();
    if (probeLoop)
        probe.start();
    view.show();
    view.exec();
    run.elapsed = double(clock.nsecsElapsed()) / 1e9;
    run.cpu = cpuSeconds() - cpuStart;
    run.longestGapMs = double(longestGap) / 1e6;
    QObject::disconnect(counter);
    return run;
}
}  // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(2, atoi(argv[1])) : 20;

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
    const Run probed = runView(link, session, seconds, true);
    const Run quiet = runView(link, session, seconds, false);
    link.closePort();

    std::printf("measurement view, ASCII 9600 baud, two runs of %d s\n", seconds);
    std::printf("with the 1 ms probe: %d polls, longest event-loop stall %.1f ms (target under 30 ms)\n",
                probed.polls, probed.longestGapMs);
    std::printf("without it: %d polls, %d receive events, CPU %.3f s = %.2f %% of %.1f s elapsed (target under 5 %%)\n",
                quiet.polls, quiet.receiveEvents, quiet.cpu, 100.0 * quiet.cpu / quiet.elapsed, quiet.elapsed);
    return 0;
}
