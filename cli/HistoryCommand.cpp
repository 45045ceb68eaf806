#include "HistoryCommand.h"

#include "ColumnText.h"
#include "CommandTable.h"
#include "HistoryStore.h"
#include "HistoryText.h"
#include "ModbusLink.h"
#include "Session.h"

namespace {

// Words name=value; --csv arrives as "csv=".
bool parseFilter(const QStringList &args, HistoryFilter *filter, bool *csv, QString *error)
{
    for (const QString &arg : args) {
        const qsizetype eq = arg.indexOf(QLatin1Char('='));
        const QString name = arg.left(eq);
        const QString value = arg.mid(eq + 1);
        QDate *date = name == QLatin1String("since") ? &filter->since
                      : name == QLatin1String("until") ? &filter->until
                                                        : nullptr;
        if (eq >= 0 && name == QLatin1String("csv")) {
            *csv = true;
        } else if (eq >= 0 && name == QLatin1String("unit")) {
            filter->unit = value;
        } else if (eq >= 0 && name == QLatin1String("field")) {
            filter->field = value;
        } else if (eq >= 0 && name == QLatin1String("user")) {
            filter->user = value;
        } else if (eq >= 0 && date) {
            *date = QDate::fromString(value, Qt::ISODate);
            if (!date->isValid()) {
                *error = QStringLiteral("history: %1 takes a date as YYYY-MM-DD, not \"%2\".").arg(name, value);
                return false;
            }
        } else {
            *error = QStringLiteral("history: \"%1\" is not one of unit=, since=, until=, field=, user=.").arg(arg);
            return false;
        }
    }
    return true;
}

CliAction prepareHistory(const QStringList &args, QTextStream &err)
{
    HistoryFilter filter;
    bool csv = false;
    QString error;
    if (!parseFilter(args, &filter, &csv, &error)) {
        err << error << "\n";
        return {};
    }
    return [filter, csv](CliContext &c) {
        HistoryStore *store = c.link.session()->history();
        if (!store) {
            c.err << "No change history is open.\n";
            return int(ExitFailed);
        }
        const QList<HistoryEntry> entries = store->entries(filter);
        if (csv) {
            c.out << historyCsv(entries);
            return int(ExitOk);
        }
        if (entries.isEmpty()) {
            c.err << "No recorded changes match.\n";
            return int(ExitOk);
        }
        c.out << alignedColumns(QList<QStringList>{historyColumns()} + historyRows(entries));
        return int(ExitOk);
    };
}

} // namespace

void registerHistoryCommand(CommandTable &table)
{
    CliCommand history{QStringLiteral("history"),
                       QStringLiteral("history [unit=TAG|SERIAL] [since=YYYY-MM-DD] [until=YYYY-MM-DD] [field=KEY] [user=NAME]"),
                       QStringLiteral("List the recorded changes, one line per changed field, newest first."), 0,
                       prepareHistory, 4};
    history.needsPort = [](const QStringList &) { return false; };
    history.options = {QCommandLineOption(QStringLiteral("csv"), QStringLiteral("history: write CSV."))};
    history.usesHistory = true;
    table.add(history);
}
