#include "DiscoveryCommands.h"

#include "CsvText.h"

#include "ColumnText.h"
#include "CommandTable.h"
#include "InterruptWatch.h"
#include "ModbusLink.h"
#include "SerialPortList.h"
#include "UnitScanner.h"

#include <QElapsedTimer>

#include <unistd.h>

namespace {

const QString ScanUsage = QStringLiteral(
    "Usage: scan [baud=RATE,...] [framing=ascii|rtu|tcp,...] [parity=N,E,O] [data-bits=7,8] [stop-bits=1,2]\n"
    "            [unit=ID|FIRST-LAST,...] [timeout=MS] [first] [csv]\n");

const QStringList FramingWords{QStringLiteral("ascii"), QStringLiteral("rtu"), QStringLiteral("tcp")};


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


struct ScanRequest {
    ScanPlan plan;
    bool csv = false;
};

bool parseScanWord(const QString &word, ScanRequest *request)
{
    ScanPlan *plan = &request->plan;
    const QString key = word.section(QLatin1Char('='), 0, 0).toLower();
    const QString value = word.section(QLatin1Char('='), 1);
    if (key == QLatin1String("first") && !word.contains(QLatin1Char('='))) {
        plan->stopAtFirst = true;
        return true;
    }
    if (key == QLatin1String("csv") && !word.contains(QLatin1Char('='))) {
        request->csv = true;
        return true;
    }
    if (key == QLatin1String("parity")) {
        for (const QString &p : value.toUpper().split(QLatin1Char(','))) {
            if (p.size() != 1 || !QStringLiteral("NEO").contains(p))
                return false;
            plan->parities.append(p[0].toLatin1());
        }
        return true;
    }
    if (key == QLatin1String("data-bits"))
        return ScanWords::parseNumberList(value, 7, 8, &plan->dataBits);
    if (key == QLatin1String("stop-bits"))
        return ScanWords::parseNumberList(value, 1, 2, &plan->stopBits);
    if (key == QLatin1String("unit"))
        return ScanWords::parseUnitIds(value, &plan->unitIds);
    if (key == QLatin1String("timeout"))
        return parseNumber(value, 1, 10000, &plan->replyMarginMs);
    if (key == QLatin1String("baud"))
        return ScanWords::parseNumberList(value, 50, 4000000, &plan->bauds);
    if (key == QLatin1String("framing")) {
        plan->framings.clear();
        for (const QString &name : value.toLower().split(QLatin1Char(','))) {
            if (!FramingWords.contains(name))
                return false;
            plan->framings.append(int(FramingWords.indexOf(name)));
        }
        return true;
    }
    return false;
}

QString framingWord(int framing)
{
    return FramingWords.value(framing);
}

// What a plan asks that the port cannot give: a line on a network port, Modbus TCP on a serial one.
QString planMismatch(const ScanPlan &plan)
{
    if (plan.network && !(plan.bauds.isEmpty() && plan.parities.isEmpty() && plan.dataBits.isEmpty() && plan.stopBits.isEmpty()))
        return QStringLiteral("a network port has no baud rate, parity, data or stop bits here: the gateway sets its "
                              "own line. Only framing= and unit= narrow the scan.");
    if (!plan.network && plan.framings.contains(ModbusLink::Tcp))
        return QStringLiteral("framing=tcp needs a network port (--port HOST:PORT).");
    return {};
}

// The options that talk to a found unit, ready to paste.
QString optionsFor(const QString &port, const FoundUnit &unit)
{
    if (unit.lineSettings.isEmpty())
        return QStringLiteral("--port %1 --framing %2 --unit %3").arg(port, framingWord(unit.framing)).arg(unit.unitId);
    const QStringList line = unit.lineSettings.split(QLatin1Char(','));
    return QStringLiteral("--port %1 --baud %2 --parity %3 --data-bits %4 --stop-bits %5 --framing %6 --unit %7")
        .arg(port, line.value(0), line.value(1), line.value(2), line.value(3), framingWord(unit.framing))
        .arg(unit.unitId);
}


// The units found, once each: as aligned columns, or as CSV for scripts.
void printUnits(QTextStream &out, const QList<FoundUnit> &found, bool csv)
{
    const auto model = [](const FoundUnit &u) { return u.model.isEmpty() ? QStringLiteral("(model unknown)") : u.model; };
    if (csv) {
        out << "unit,framing,line,model,tag,also_answered_at\n";
        for (const FoundUnit &u : found)
            out << QStringList{QString::number(u.unitId), framingWord(u.framing), CsvText::cell(u.lineSettings),
                               CsvText::cell(u.model), CsvText::cell(u.tag), CsvText::cell(u.alsoAnsweredAt.join(QLatin1Char(' ')))}
                       .join(QLatin1Char(','))
                << '\n';
        return;
    }
    QList<QStringList> rows;
    for (const FoundUnit &u : found) {
        QStringList row{QString::number(u.unitId), framingWord(u.framing), u.lineSettings, model(u), u.tag};
        if (u.lineSettings.isEmpty())
            row.removeAt(2); // a network port: the line is the gateway's
        if (!u.alsoAnsweredAt.isEmpty())
            row << QStringLiteral("(also %1)").arg(u.alsoAnsweredAt.join(QStringLiteral(" ")));
        rows.append(row);
    }
    out << alignedColumns(rows);
}

QString duration(qint64 ms)
{
    const qint64 s = (ms + 999) / 1000;
    return s >= 60 ? QStringLiteral("%1 min %2 s").arg(s / 60).arg(s % 60) : QStringLiteral("%1 s").arg(s);
}

CliAction prepareScan(const QStringList &args, QTextStream &err)
{
    ScanRequest request;
    for (const QString &word : args) {
        if (!parseScanWord(word, &request)) {
            err << "scan: cannot use \"" << word << "\".\n" << ScanUsage;
            return {};
        }
    }
    return [request](CliContext &c) {
        ScanPlan plan = request.plan;
        plan.network = c.link.onNetwork();
        const QString port = c.link.settings().port;
        if (const QString mismatch = planMismatch(plan); !mismatch.isEmpty()) {
            c.err << "scan: " << mismatch << "\n";
            return int(ExitUsage);
        }
        const bool terminal = ::isatty(STDERR_FILENO) == 1;
        UnitScanner scanner(c.link);
        // Ctrl-C stops after the current probe, so the port is closed and restored as usual.
        InterruptWatch interrupt([&scanner] { scanner.stop(); });
        int probesDone = 0;
        int unitsFound = 0;
        QElapsedTimer clock;
        clock.start();
        auto clearProgress = [&] {
            if (terminal)
                c.err << "\r\033[K" << Qt::flush;
        };
        QObject::connect(&scanner, &UnitScanner::progress, [&](int done, int total, const QString &trying) {
            probesDone = done;
            if (!terminal || trying.isEmpty())
                return;
            const QString left = done > 0 ? duration(clock.elapsed() * (total - done) / done) : QStringLiteral("?");
            c.err << QStringLiteral("\r\033[K[%1%] %2 found, %3 left; trying %4")
                         .arg(100 * done / std::max(total, 1), 3)
                         .arg(unitsFound)
                         .arg(left, trying)
                  << Qt::flush;
        });
        QObject::connect(&scanner, &UnitScanner::unitFound, [&](const FoundUnit &) { ++unitsFound; });
        const QList<FoundUnit> found = scanner.run(plan);
        clearProgress();
        // A port that refuses parity refuses it at every rate: one line says it all.
        const QStringList refused = scanner.refusedBauds();
        if (!refused.isEmpty()) {
            QStringList settings;
            for (const QString &r : refused)
                settings << r.section(QStringLiteral(": "), 0, 0);
            c.err << QStringLiteral("The port does not take %1 (%2); they were skipped.\n")
                         .arg(settings.join(QStringLiteral(", ")), refused.first().section(QStringLiteral(": "), 1));
        }
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
                c.err << "No unit answered on " << port
                      << (plan.network ? " at any framing tried. Check the gateway, its serial line and that the unit "
                                         "is powered.\n"
                                       : " at any framing, rate and parity tried. Check the cabling and that the unit "
                                         "is powered.\n");
            return int(ExitFailed);
        }
        printUnits(c.out, found, request.csv);
        if (scanner.baudSeemsIgnored())
            c.err << "The port seems to ignore the baud rate (a unit answered at several rates): the rate the "
                  << "unit uses is not known from this scan.\n";
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
                    QStringLiteral("Find units on --port: ASCII and RTU, the usual baud rates, parities N, E, O "
                                   "(and 7E1, 7O1 in ASCII), unit IDs 247 and 1 first. Narrow it with baud=9600,19200 "
                                   "framing=rtu parity=E data-bits=8 stop-bits=1 unit=1-10 timeout=MS; \"first\" "
                                   "stops at the first unit, \"csv\" prints CSV. Ctrl-C stops. On a network port "
                                   "(HOST:PORT) only the framing (tcp, rtu, ascii) and the unit ID vary, and each "
                                   "try waits --network-allowance plus timeout=MS."),
                    0, prepareScan};
    scan.maxArgumentCount = 10;
    scan.needsPort = [](const QStringList &) { return false; };
    table.add(scan);
}
