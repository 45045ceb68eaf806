#pragma once

#include "BenchSupport.h"
#include "ModbusLink.h"
#include "QtSerialControl.h"
#include "Session.h"

#include <QString>

#include <functional>

class GuardedWindow;
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

// The link to a tarvine-sim in its own process at 9600 baud, paced like a real
// line, with the session of the model it identifies as.
class SimulatedLineAt9600 {
public:
    SimulatedLineAt9600();
    // False, with the reason on standard error, when the link cannot be opened.
    bool open();
    ModbusLink &link() { return m_link; }
    Session &session() { return m_session; }

private:
    SimProcess m_simulator;
    Session m_session;
    QtSerialControl m_serial;
    ModbusLink m_link;
};
