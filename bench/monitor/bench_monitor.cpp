// How the GUI fares while the measurement view polls a transmitter at 9600 baud:
// a 1 ms timer measures the longest gap in the event loop, and the process's CPU
// time is compared with the time elapsed.
#include "PollingWindowBench.h"
#include "frmViewMeasurements.h"

#include <QApplication>

#include <algorithm>
#include <cstdio>

namespace {
struct Run {
    PollingRun window;
    int receiveEvents = 0;
};

// Opens the view, lets it poll for the given time, closes it.
Run runView(ModbusLink &link, Session &session, int seconds, bool probeLoop)
{
    Run run;
    TfrmViewMeasurements view(link, session);
    const QMetaObject::Connection counter =
        QObject::connect(&link, &ModbusLink::rxActive, [&](bool on) { run.receiveEvents += on ? 1 : 0; });
    run.window = runPollingWindow(view, view.pollCycle(), seconds, probeLoop);
    QObject::disconnect(counter);
    return run;
}
}  // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(2, atoi(argv[1])) : 20;

    SimulatedLineAt9600 line;
    if (!line.open())
        return 1;
    ModbusLink &link = line.link();
    Session &session = line.session();

    // Two runs: one with the 1 ms probe for the stalls, one without it for the CPU
    // time (the probe's own thousand wake-ups a second would count otherwise).
    const Run probed = runView(link, session, seconds, true);
    const Run quiet = runView(link, session, seconds, false);
    link.closePort();

    const PollingRun &q = quiet.window;
    std::printf("measurement view, ASCII 9600 baud, two runs of %d s\n", seconds);
    std::printf("with the 1 ms probe: %d polls, longest event-loop stall %.1f ms (target under 30 ms)\n",
                probed.window.polls, probed.window.longestGapMs);
    std::printf("without it: %d polls, %d receive events, CPU %.3f s = %.2f %% of %.1f s elapsed (target under 5 %%)\n",
                q.polls, quiet.receiveEvents, q.cpu, 100.0 * q.cpu / q.elapsed, q.elapsed);
    return 0;
}
