#include "DiscoveryCommands.h"

#include "ColumnText.h"
#include "CommandTable.h"
#include "InterruptWatch.h"
#include "ModbusLink.h"
#include "SerialPortList.h"
#include "UnitScanner.h"

#include <unistd.h>

namespace {

const QString ScanUsage = QStringLiteral(
    "Usage: scan [baud=RATE,...] [framing=ascii|rtu|ascii,rtu] [unit=ID|FIRST-LAST,...] [timeout=MS] [first]\n");

// ---- ports ------------------------------------------------------------------------

CliAction preparePorts(const QStringList &, QTextStream &)
{
    return [](CliContext &c) {
        const QList<SerialPortEntry> ports = SerialPortList::available();
        if (ports.isEmpty()) {
            c.err << "No serial ports found. A USB adapter shows up here once it is plugged in.\n";
            return int(ExitOk);
        }
        QList<QStringList> rows{{"PORT", "MAKER", "SERIAL", "PRODUCT", "STABLE NAME"}};
        for (const SerialPortEntry &p : ports)
            rows.append({p.path, p.manufacturer, p.serialNumber, p.description, p.stableName});
        c.out << alignedColumns(rows);
        return int(ExitOk);
    };
}

// ---- scan -------------------------------------------------------------------------

// "5", "1-10", "5,7,20-30" within 1..247.
bool parseUnitIds(const QString &text, QList<int> *ids)
{
    for (const QString &part : text.split(QLatin1Char(','))) {
        const QStringList range = part.split(QLatin1Char('-'));
        int first = 0;
        int last = 0;
        if (range.size() > 2 || !parseNumber(range.first(), 1, 247, &first)
            || !parseNumber(range.last(), first, 247, &last))
            return false;
        for (int id = first; id <= last; ++id)
            ids->append(id);
    }
    return true;
}

bool parseScanWord(const QString &word, ScanPlan *plan)
{
    const QString key = word.section(QLatin1Char('='), 0, 0).toLower();
    const QString value = word.section(QLatin1Char('='), 1);
    if (key == QLatin1String("first") && !word.contains(QLatin1Char('='))) {
        plan->stopAtFirst = true;
        return true;
    }
    if (key == QLatin1String("unit"))
        return parseUnitIds(value, &plan->unitIds);
    if (key == QLatin1String("timeout"))
        return parseNumber(value, 1, 10000, &plan->replyMarginMs);
    if (key == QLatin1String("baud")) {
        for (const QString &rate : value.split(QLatin1Char(','))) {
            int baud = 0;
            if (!parseNumber(rate, 50, 4000000, &baud))
                return false;
            plan->bauds.append(baud);
        }
        return true;
    }
    if (key == QLatin1String("framing")) {
        plan->framings.clear();
        for (const QString &name : value.toLower().split(QLatin1Char(','))) {
            if (name != QLatin1String("ascii") && name != QLatin1String("rtu"))
                return false;
            plan->framings.append(name == QLatin1String("rtu") ? ModbusLink::Rtu : ModbusLink::Ascii);
        }
        return true;
    }
    return false;
}

QString framingWord(int framing)
{
    return framing == ModbusLink::Rtu ? QStringLiteral("rtu") : QStringLiteral("ascii");
}

// The options that talk to a found unit, ready to paste.
QString optionsFor(const QString &port, const FoundUnit &unit)
{
    const QStringList line = unit.lineSettings.split(QLatin1Char(','));
    return QStringLiteral("--port %1 --baud %2 --parity %3 --data-bits %4 --stop-bits %5 --framing %6 --unit %7")
        .arg(port, line.value(0), line.value(1), line.value(2), line.value(3), framingWord(unit.framing))
        .arg(unit.unitId);
}

CliAction prepareScan(const QStringList &args, QTextStream &err)
{
    ScanPlan plan;
    for (const QString &word : args) {
        if (!parseScanWord(word, &plan)) {
            err << "scan: cannot use \"" << word << "\".\n" << ScanUsage;
            return {};
        }
    }
    return [plan](CliContext &c) mutable {
        // Parity, data bits and stop bits come from the options; the scan varies the rest.
        plan.lineShape = c.link.settings().settings.section(QLatin1Char(','), 1);
        const QString port = c.link.settings().port;
        const bool terminal = ::isatty(STDERR_FILENO) == 1;
        UnitScanner scanner(c.link);
        // Ctrl-C stops after the current probe, so the port is closed and restored as usual.
        InterruptWatch interrupt([&scanner] { scanner.stop(); });
        int probesDone = 0;
        auto clearProgress = [&] {
            if (terminal)
                c.err << "\r\033[K" << Qt::flush;
        };
        QObject::connect(&scanner, &UnitScanner::progress, [&](int done, int total, const QString &trying) {
            probesDone = done;
            if (terminal && !trying.isEmpty())
                c.err << QStringLiteral("\r\033[K[%1%] %2").arg(100 * done / std::max(total, 1), 3).arg(trying)
                      << Qt::flush;
        });
        QObject::connect(&scanner, &UnitScanner::unitFound, [&](const FoundUnit &u) {
            clearProgress();
            c.out << alignedColumns({{QString::number(u.unitId), framingWord(u.framing), u.lineSettings,
                                      u.model.isEmpty() ? QStringLiteral("(model unknown)") : u.model, u.tag}})
                  << Qt::flush;
        });
        const QList<FoundUnit> found = scanner.run(plan);
        clearProgress();
        for (const QString &refused : scanner.refusedBauds())
            c.err << "The port does not take the baud rate " << refused << "\n";
        if (!scanner.portError().isEmpty()) {
            c.err << "Open Com Port Error: Check unit, cabling, or " << scanner.portError() << "\n";
            return int(ExitFailed);
        }
        if (scanner.wasStopped())
            c.err << QStringLiteral("Scan stopped after %1 of %2 tries.\n")
                         .arg(probesDone)
                         .arg(UnitScanner::probeOrder(plan).size());
        if (found.isEmpty()) {
            if (!scanner.wasStopped())
                c.err << "No unit answered on " << port << ". Check the cabling and that the unit is powered; "
                      << "parity, data bits and stop bits were " << plan.lineShape
                      << " (change them with --parity, --data-bits, --stop-bits).\n";
            return int(ExitFailed);
        }
        c.err << QStringLiteral("Found %1 unit(s). To talk to the first: tarvine-cli %2 ...\n")
                     .arg(found.size())
                     .arg(optionsFor(port, found.first()));
        return int(ExitOk);
    };
}

} // namespace

void registerDiscoveryCommands(CommandTable &table)
{
    CliCommand ports{QStringLiteral("ports"), QStringLiteral("ports"),
                     QStringLiteral("List the serial ports: path, maker, serial number, stable /dev/serial/by-id name."),
                     0, preparePorts};
    ports.needsPort = [](const QStringList &) { return false; };
    table.add(ports);

    CliCommand scan{QStringLiteral("scan"), QStringLiteral("scan [WORD...]"),
                    QStringLiteral("Find units on --port: ASCII and RTU, the usual baud rates, unit IDs 247 and 1 "
                                   "first. Narrow it with baud=9600,19200 framing=rtu unit=1-10 timeout=MS; "
                                   "\"first\" stops at the first unit. Ctrl-C stops."),
                    0, prepareScan};
    scan.maxArgumentCount = 5;
    scan.needsPort = [](const QStringList &) { return false; };
    table.add(scan);
}
