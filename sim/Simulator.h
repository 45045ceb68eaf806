#pragma once

#include "Faults.h"
#include "LineSettings.h"
#include "SimWellTest.h"

#include <QObject>
#include <QString>
#include <QStringList>

namespace sim {

class SimDevice;
class SimProcess;
class SimTransmitter;

// How a simulated transmitter is set up: from code or from the command line.
struct SimOptions {
    CommConfig comm;            // address, framing, line (defaults: 247, ASCII, 9600,N,8,1)
    bool pacing = true;         // pace at the baud rate
    int turnaroundMs = 0;
    bool strictSilence = false; // drop RTU requests that start too soon after a reply
    bool liveValues = true;     // run the process simulation
    char modelLetter = 'N';     // 'N' Ostrel, 'R' KRM410
    int dumpSeconds = DefaultDumpSeconds; // a well test's purge: seconds per dump
    Faults faults;
    QString linkPath;           // tarvine-sim: symbolic link to the pty
    // tarvine-sim --tcp: serve on this address instead of a pty (loopback unless a host
    // is named) with MBAP framing or the line's own.
    QString tcpHost;
    quint16 tcpPort = 0;
    bool serveTcp = false;
    bool mbap = false;

    // For tests in the same process: replies at once (no pacing), values still, so
    // that nothing depends on the clock running.
    static SimOptions immediate()
    {
        SimOptions o;
        o.pacing = false;
        o.liveValues = false;
        return o;
    }

    // Reads the tarvine-sim options (arguments[0] is the program name); on failure returns false with *error set.
    // On "--help" returns false with *error empty and *help set.
    static bool parse(const QStringList &arguments, SimOptions *out, QString *error, QString *help = nullptr);
};

// One simulated transmitter: the device with its registers and commands, the
// process that keeps its live values moving, and its serial interface. Front ends
// (SimSerialControl, PtySimulator) connect to transmitter().
class Simulator : public QObject {
    Q_OBJECT
public:
    // Starts from the built-in default image, with the options' address, framing and line.
    explicit Simulator(const SimOptions &options = {}, QObject *parent = nullptr);
    ~Simulator() override;

    SimDevice *device() const { return m_device; }
    SimProcess *process() const { return m_process; }
    SimTransmitter *transmitter() const { return m_transmitter; }

private:
    SimDevice *m_device;
    SimProcess *m_process;
    SimTransmitter *m_transmitter;
};

} // namespace sim
