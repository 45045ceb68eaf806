// How long the unit scan takes against tarvine-sim on a pseudo-terminal: to find a
// unit at 9600 baud with unit ID 247 (target: under 2 s), and to try all 247 unit
// IDs in both framings at 115200 baud (target: under a minute). Figures are
// printed as ratios of the target.
#include "BenchSupport.h"
#include "ModbusLink.h"
#include "QtSerialControl.h"
#include "Session.h"
#include "UnitScanner.h"

#include <QCoreApplication>

#include <cstdio>

namespace {

struct Outcome {
    double seconds = 0;
    int found = 0;
    int probes = 0;
};

Outcome scan(const QString &path, const ScanPlan &plan)
{
    Session session;
    QtSerialControl serial;
    ModbusLink link(&serial, &session);
    link.setSettings({path, QStringLiteral("9600,N,8,1"), ModbusLink::Ascii, 247});
    UnitScanner scanner(link);
    Outcome outcome;
    QObject::connect(&scanner, &UnitScanner::progress, [&](int done) { outcome.probes = done; });
    const Stopwatch watch;
    outcome.found = int(scanner.run(plan).size());
    outcome.seconds = watch.elapsed();
    if (!scanner.portError().isEmpty())
        std::fprintf(stderr, "port error: %s\n", qPrintable(scanner.portError()));
    return outcome;
}

void report(const char *what, const Outcome &o, double limit)
{
    std::printf("%-44s %6.2f s  %4d tries  %d found  %.2f of the %.0f s target\n", what, o.seconds, o.probes, o.found,
                o.seconds / limit, limit);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    ScanPlan first;
    first.stopAtFirst = true;
    for (int framing : {ModbusLink::Ascii, ModbusLink::Rtu}) {
        SimProcess sim(SimProcess::lineArguments(framing, 9600));
        if (sim.path().isEmpty())
            return 1;
        report(framing == ModbusLink::Ascii ? "find unit 247, ASCII 9600" : "find unit 247, RTU 9600",
               scan(sim.path(), first), 2.0);
    }

    ScanPlan whole;
    whole.bauds = {115200};
    SimProcess sim(SimProcess::lineArguments(ModbusLink::Rtu, 115200) + QStringList{QStringLiteral("--unit"),
                                                                                      QStringLiteral("100")});
    if (sim.path().isEmpty())
        return 1;
    report("247 IDs x ASCII and RTU at 115200", scan(sim.path(), whole), 60.0);
    return 0;
}
