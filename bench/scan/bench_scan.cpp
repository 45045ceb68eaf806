// How long the unit scan takes.
//
// To the first likely unit (ID 247 or 1) at any rate, framing and parity: a pseudo-
// terminal passes every rate and refuses parity, so these runs use the in-process
// simulated transmitter, which answers only at its own line settings and paces its
// replies at the baud rate, on the real clock. Target: under 15 s in every case.
//
// Time per try: all 247 IDs in both framings at 115200 against tarvine-sim on a
// pseudo-terminal (unit 100 answers), as fast per try as before parity was varied.
#include "BenchSupport.h"
#include "ModbusLink.h"
#include "QtSerialControl.h"
#include "Session.h"
#include "SimSerialControl.h"
#include "SimTransmitter.h"
#include "Simulator.h"
#include "UnitScanner.h"

#include <QCoreApplication>

#include <cstdio>

namespace {

struct Outcome {
    double seconds = 0;
    double answeredAt = 0; // the probe that found the unit came back; identifying it follows
    int found = 0;
    int probes = 0;
};

Outcome scan(SerialControl &serial, const QString &port, const ScanPlan &plan)
{
    Session session;
    ModbusLink link(&serial, &session);
    link.setSettings({port, QStringLiteral("9600,N,8,1"), ModbusLink::Ascii, 247});
    UnitScanner scanner(link);
    Outcome outcome;
    const Stopwatch watch;
    QObject::connect(&scanner, &UnitScanner::progress, [&](int done) { outcome.probes = done; });
    // The model query that identifies a found unit is the link's first request at its settings.
    QObject::connect(&link, &ModbusLink::traffic, [&](const LinkTraffic &t) {
        if (t.kind == LinkTraffic::Sent && outcome.answeredAt == 0)
            outcome.answeredAt = watch.elapsed();
    });
    outcome.found = int(scanner.run(plan).size());
    outcome.seconds = watch.elapsed();
    if (!scanner.portError().isEmpty())
        std::fprintf(stderr, "port error: %s\n", qPrintable(scanner.portError()));
    return outcome;
}

struct Target {
    const char *what;
    int framing;
    int unitId;
    sim::LineSettings line;
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    constexpr double LikelyTargetSeconds = 15.0;
    std::printf("%-44s %8s  %9s  %6s  %s\n", "first likely unit, scan stops there", "elapsed", "answered", "tries",
                "of the 15 s target");
    const Target targets[] = {
        {"ID 247, ASCII 9600,N,8,1 (the default)", ModbusLink::Ascii, 247, {9600, 'N', 8, 1}},
        {"ID 1, RTU 19200,E,8,1", ModbusLink::Rtu, 1, {19200, 'E', 8, 1}},
        {"ID 1, ASCII 1200,O,7,1", ModbusLink::Ascii, 1, {1200, 'O', 7, 1}},
        {"ID 1, RTU 1200,O,8,1 (the last likely try)", ModbusLink::Rtu, 1, {1200, 'O', 8, 1}},
    };
    for (const Target &t : targets) {
        sim::SimOptions o;
        o.liveValues = false;
        o.comm.framing = t.framing;
        o.comm.unitId = t.unitId;
        o.comm.line = t.line;
        sim::Simulator simulator(o);
        sim::SimSerialControl serial(simulator.transmitter());
        ScanPlan first;
        first.stopAtFirst = true;
        const Outcome r = scan(serial, QStringLiteral("/sim"), first);
        std::printf("%-44s %6.2f s  %7.2f s  %6d  %.2f%s\n", t.what, r.seconds, r.answeredAt, r.probes,
                    r.seconds / LikelyTargetSeconds,
                    r.found == 1 ? "" : "  NOT FOUND");
    }

    ScanPlan whole;
    whole.bauds = {115200};
    whole.parities = {'N'};
    SimProcess sim(SimProcess::lineArguments(ModbusLink::Rtu, 115200) + QStringList{QStringLiteral("--unit"),
                                                                                      QStringLiteral("100")});
    if (sim.path().isEmpty())
        return 1;
    QtSerialControl serial;
    const Outcome o = scan(serial, sim.path(), whole);
    std::printf("247 IDs x ASCII and RTU at 115200 (pty): %.2f s, %d tries, %.1f ms per try, %d found\n", o.seconds,
                o.probes, 1000.0 * o.seconds / std::max(o.probes, 1), o.found);
    return 0;
}
