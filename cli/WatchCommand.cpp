#include "WatchCommand.h"

#include "Catalogue.h"
#include "Clock.h"
#include "CommandTable.h"
#include "FieldColumns.h"
#include "InterruptWatch.h"
#include "CsvText.h"
#include "KeysCommand.h"
#include "ModbusLink.h"

#include <QEventLoop>

#include <cmath>

namespace {

constexpr int MaxKeys = 8;

struct WatchPlan {
    QList<FieldRef> fields;
    int intervalMs = 1000;
    int count = 0; // 0: until stopped
};


// Why the last request gave no value.
QString failureReason(const ModbusLink &link)
{
    if (!link.MsgComplete())
        return QStringLiteral("no reply from the unit");
    if (link.ReplyCorrupt())
        return QStringLiteral("checksum or framing error in the reply");
    return QStringLiteral("exception %1: %2").arg(link.LastException()).arg(ModbusLink::Exception_Text(link.LastException()));
}

// Reads the registers that hold the field; empty on success, else the reason.
QString readField(ModbusLink &link, const FieldRef &field)
{
    const int first = field.byteOffset / 2;
    const int last = (field.byteOffset + field.byteCount - 1) / 2;
    if (link.Read_Regs(first, 2 * (last - first + 1)) != 0 && link.MsgComplete() && link.LastException() == 0)
        return {};
    return failureReason(link);
}

// Sleeps in the event loop (Ctrl-C still gets through) until ms have passed or stop is set.
void pause(int ms, const bool &stop, QEventLoop &loop)
{
    if (stop || ms <= 0)
        return;
    ClockTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &ClockTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(ms);
    loop.exec();
}

// One reading: a row of values, or of empty cells and the reasons.
struct Reading {
    QStringList cells;
    QStringList errors;
};

Reading readOnce(ModbusLink &link, const QList<FieldRef> &fields)
{
    Reading r;
    QString error;
    // A link that gave up on a silent unit closed the port: the next reading reopens it.
    if (!link.portOpen() && !link.openPort(&error)) {
        r.errors << QStringLiteral("cannot open the port: ") + error;
        for (qsizetype i = 0; i < fields.size(); ++i)
            r.cells << QString();
        return r;
    }
    for (const FieldRef &field : fields) {
        // Once the link gave up on the unit, the rest of the row stays empty for the same reason.
        const QString failure = link.portOpen() ? readField(link, field) : r.errors.value(0);
        if (failure.isEmpty()) {
            r.cells << CsvText::cell(FieldColumns::valueText(link.image(), field));
        } else {
            r.cells << QString();
            if (!r.errors.contains(failure))
                r.errors << failure;
        }
    }
    return r;
}

CliAction prepareWatch(const QStringList &args, QTextStream &err)
{
    WatchPlan plan;
    for (const QString &arg : args) {
        if (arg.startsWith(QLatin1String("interval="))) {
            bool ok = false;
            const double seconds = arg.mid(9).toDouble(&ok);
            if (!ok || !std::isfinite(seconds) || seconds < 0.1 || seconds > 86400) {
                err << "watch: --interval is seconds between readings, 0.1 to 86400.\n";
                return {};
            }
            plan.intervalMs = int(std::lround(seconds * 1000));
        } else if (arg.startsWith(QLatin1String("count="))) {
            if (!parseNumber(arg.mid(6), 1, 1'000'000'000, &plan.count)) {
                err << "watch: --count is the number of lines, at least 1.\n";
                return {};
            }
        } else if (const std::optional<FieldRef> field = Catalogue::fieldByKey(arg)) {
            plan.fields << *field;
        } else {
            err << "watch: \"" << arg << "\" is not a field key" << nearestKeysHint(arg) << "\n";
            return {};
        }
    }
    if (plan.fields.isEmpty() || plan.fields.size() > MaxKeys) {
        err << QStringLiteral("watch: give 1 to %1 field keys.\n").arg(MaxKeys);
        return {};
    }
    return [plan](CliContext &c) {
        bool stop = false;
        QEventLoop sleeper;
        InterruptWatch interrupt([&] {
            stop = true;
            sleeper.quit();
        });
        QStringList header{QStringLiteral("time")};
        for (const FieldRef &field : plan.fields)
            header << CsvText::cell(FieldColumns::header(field));
        header << QStringLiteral("error");
        c.out << header.join(QLatin1Char(',')) << '\n' << Qt::flush;
        Clock &clock = Clock::instance();
        int readings = 0;
        int failed = 0;
        qint64 lastGood = clock.nowMs();
        qint64 longestGap = 0;
        bool anyGood = false;
        for (; !stop && (plan.count == 0 || readings < plan.count); ++readings) {
            const qint64 started = clock.nowMs();
            const QString stamp = CsvText::isoTimeNow();
            const Reading r = readOnce(c.link, plan.fields);
            c.out << stamp << ',' << r.cells.join(QLatin1Char(',')) << ','
                  << CsvText::cell(r.errors.join(QStringLiteral("; "))) << '\n'
                  << Qt::flush;
            if (r.errors.isEmpty()) {
                if (anyGood)
                    longestGap = std::max(longestGap, started - lastGood);
                lastGood = started;
                anyGood = true;
            } else {
                ++failed;
            }
            if (plan.count == 0 || readings + 1 < plan.count)
                pause(int(started + plan.intervalMs - clock.nowMs()), stop, sleeper);
        }
        // Failures at the end leave a gap that no later reading closed.
        if (failed > 0)
            longestGap = std::max(longestGap, clock.nowMs() - lastGood);
        c.err << QStringLiteral("watch: %1 %2, %3 failed, longest gap between good readings %4 s.\n")
                     .arg(readings)
                     .arg(readings == 1 ? QStringLiteral("reading") : QStringLiteral("readings"))
                     .arg(failed)
                     .arg(double(longestGap) / 1000.0, 0, 'f', 1);
        return int(readings > failed ? ExitOk : ExitFailed);
    };
}

} // namespace

void registerWatchCommand(CommandTable &table)
{
    CliCommand watch{QStringLiteral("watch"), QStringLiteral("watch KEY..."),
                     QStringLiteral("Print the fields (e.g. MassRate.Value) as CSV lines with a time stamp until "
                                    "Ctrl-C; a failed reading is a row with its reason in the error column. "
                                    "See --interval, --count and the keys command."),
                     1, prepareWatch};
    watch.maxArgumentCount = MaxKeys;
    watch.options = {
        QCommandLineOption(QStringLiteral("interval"), QStringLiteral("watch: seconds between readings (default 1)."),
                           QStringLiteral("seconds")),
        QCommandLineOption(QStringLiteral("count"), QStringLiteral("watch: stop after this many lines (default: until Ctrl-C)."),
                           QStringLiteral("n")),
    };
    table.add(watch);
}
