// How the GUI fares while the well-test window follows a running test at 9600
// baud: a 1 ms timer measures the longest gap in the event loop, and the process's
// CPU time is compared with the time elapsed.
#include "PollingWindowBench.h"
#include "TfrmVTWell.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {
struct Run {
    PollingRun window;
    QString status;
};

// Opens the window, starts the test unless it runs, lets the window poll for the
// given time and closes it (the test goes on in the transmitter).
Run runWindow(ModbusLink &link, Session &session, int seconds, bool probeLoop)
{
    Run run;
    TfrmVTWell window(WindowContext{link, session, nullptr, {}, {}});
    QTimer::singleShot(1500, &window, [&window] {
        if (auto *start = window.findChild<QPushButton *>(QStringLiteral("btnStart")); start && start->isEnabled())
            start->click();
    });
    run.window = runPollingWindow(window, window.pollCycle(), seconds, probeLoop, [&] {
        run.status = window.findChild<QLabel *>(QStringLiteral("lblWellTestStat"))->text();
    });
    return run;
}
}  // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(3, atoi(argv[1])) : 20;

    SimulatedLineAt9600 line;
    if (!line.open())
        return 1;
    ModbusLink &link = line.link();
    Session &session = line.session();

    // Two runs: one with the 1 ms probe for the stalls, one without it for the CPU
    // time (the probe's own thousand wake-ups a second would count otherwise).
    const Run probed = runWindow(link, session, seconds, true);
    const Run quiet = runWindow(link, session, seconds, false);
    link.closePort();

    const PollingRun &q = quiet.window;
    std::printf("well-test window during a test, ASCII 9600 baud, two runs of %d s\n", seconds);
    std::printf("with the 1 ms probe: %d polls, status \"%s\", longest event-loop stall %.1f ms (target under 30 ms)\n",
                probed.window.polls, qPrintable(probed.status), probed.window.longestGapMs);
    std::printf("without it: %d polls, status \"%s\", CPU %.3f s = %.2f %% of %.1f s elapsed (target under 5 %%)\n",
                q.polls, qPrintable(quiet.status), q.cpu, 100.0 * q.cpu / q.elapsed, q.elapsed);
    return 0;
}
