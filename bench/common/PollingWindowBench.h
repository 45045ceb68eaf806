#pragma once

#include <QString>

#include <functional>

class GuardedWindow;
class ModbusLink;
class PollCycle;

// What a window that polls the transmitter costs the GUI over some seconds.
struct PollingRun {
    double elapsed = 0;
    double cpu = 0;
    double longestGapMs = 0;  // longest event-loop stall, when probed
    int polls = 0;
};

// Shows the window modally for the given time and counts its polls (one at
// activation, then one per tick of its timer). With probeLoop a 1 ms timer measures
// the longest gap in the event loop; without it the CPU time is the window's own.
// beforeClose runs just before the window is asked to close.
PollingRun runPollingWindow(GuardedWindow &window, PollCycle &poll, int seconds, bool probeLoop,
                            const std::function<void()> &beforeClose = {});

// Opens the link on a simulator's pseudo-terminal with the default line; false,
// with the reason on standard error, when it cannot.
bool openLinkOn(ModbusLink &link, const QString &path);
