#include "WatchCommand.h"

#include "Catalogue.h"
#include "Clock.h"
#include "CommandTable.h"
#include "InterruptWatch.h"
#include "ModbusLink.h"
#include "ValueCodec.h"

#include <QDateTime>
#include <QEventLoop>

#include <cmath>

namespace {

constexpr int MaxKeys = 8;

struct WatchPlan {
    QList<FieldRef> fields;
    QStringList keys;
    int intervalMs = 1000;
    int count = 0; // 0: until stopped
};

QString csvCell(const QString &text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) && !text.contains(QLatin1Char('\n')))
        return text;
    return QLatin1Char('"') + QString(text).replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
}

// Reads the registers that hold the field; false when the unit did not give them.
bool readField(ModbusLink &link, const FieldRef &field)
{
    const int first = field.byteOffset / 2;
    const int last = (field.byteOffset + field.byteCount - 1) / 2;
    return link.Read_Regs(first, 2 * (last - first + 1)) != 0 && link.MsgComplete() && link.LastException() == 0;
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
            plan.keys << arg;
        } else {
            err << "watch: \"" << arg << "\" is not a field key (for example MassRate.Value or Density.Value).\n";
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
        c.out << "time";
        for (const QString &key : plan.keys)
            c.out << ',' << csvCell(key);
        c.out << Qt::endl;
        Clock &clock = Clock::instance();
        for (int line = 0; !stop && (plan.count == 0 || line < plan.count); ++line) {
            const qint64 started = clock.nowMs();
            QStringList cells{QDateTime::currentDateTime().toString(Qt::ISODateWithMs)};
            for (const FieldRef &field : plan.fields) {
                if (!readField(c.link, field)) {
                    if (!c.link.portOpen()) // the link said why and closed the port
                        return int(ExitFailed);
                    c.err << QStringLiteral("%1: the unit answered with exception %2: %3\n")
                                 .arg(field.key)
                                 .arg(c.link.LastException())
                                 .arg(ModbusLink::Exception_Text(c.link.LastException()));
                    cells << QString();
                    continue;
                }
                cells << csvCell(ValueCodec::format(c.link.image(), field.byteOffset, field.byteCount, field.type));
            }
            c.out << cells.join(QLatin1Char(',')) << Qt::endl;
            if (plan.count == 0 || line + 1 < plan.count)
                pause(int(started + plan.intervalMs - clock.nowMs()), stop, sleeper);
        }
        return int(ExitOk);
    };
}

} // namespace

void registerWatchCommand(CommandTable &table)
{
    CliCommand watch{QStringLiteral("watch"), QStringLiteral("watch KEY..."),
                     QStringLiteral("Print the fields (e.g. MassRate.Value) as CSV lines with a time stamp until "
                                    "Ctrl-C; see --interval and --count."),
                     1, prepareWatch};
    watch.maxArgumentCount = MaxKeys;
    watch.options = {
        QCommandLineOption(QStringLiteral("interval"), QStringLiteral("watch: seconds between readings (default 1)."),
                           QStringLiteral("seconds")),
        QCommandLineOption(QStringLiteral("count"), QStringLiteral("watch: stop after this many lines."),
                           QStringLiteral("n")),
    };
    table.add(watch);
}
