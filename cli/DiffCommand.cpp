#include "DiffCommand.h"

#include "ColumnText.h"
#include "CommandTable.h"
#include "ConfigurationComparison.h"
#include "ModbusLink.h"

namespace {

// diff answers "equal" with 0 and "different" with 1, so every failure is 2,
// also those that other commands report as 1.
enum DiffExit { Equal = 0, Different = 1, Failed = 2 };

const QString UnitWord = QStringLiteral("unit");

struct Side {
    QString name;
    RegisterImage image;
    bool isUnit() const { return name == UnitWord; }
};

// A value as it reads in the output: an empty text stays visible.
QString shown(const QString &value)
{
    return value.isEmpty() ? QStringLiteral("\"\"") : value;
}

CliAction prepareDiff(const QStringList &args, QTextStream &err)
{
    Side a{args[0], {}};
    Side b{args[1], {}};
    if (args.size() == 3 && args[2] != QLatin1String("all")) {
        err << "Usage: diff A B [all]\n";
        return {};
    }
    const auto readings = args.size() == 3 ? ConfigurationComparison::Readings::Include
                                           : ConfigurationComparison::Readings::Skip;
    // Files are read before the port is opened, so a damaged file costs no traffic.
    for (Side *side : {&a, &b}) {
        QString error;
        if (!side->isUnit() && !ConfigurationComparison::loadFile(side->name, side->image, &error)) {
            err << error << "\n";
            return {};
        }
    }
    return [a, b, readings](CliContext &c) mutable {
        if (a.isUnit() || b.isUnit()) {
            QString error;
            if (!c.link.openPort(&error)) {
                c.err << "Open Com Port Error: Check unit, cabling, or " << error << "\n";
                return int(Failed);
            }
            RegisterImage unit;
            if (!ConfigurationComparison::loadUnit(c.link, unit, &error)) {
                c.err << error << "\n";
                return int(Failed);
            }
            for (Side *side : {&a, &b})
                if (side->isUnit())
                    side->image = unit;
        }
        int readingsSkipped = 0;
        const QList<ConfigurationComparison::Difference> differences =
            ConfigurationComparison::differences(a.image, b.image, readings, &readingsSkipped);
        if (readingsSkipped > 0)
            c.err << QStringLiteral("%1 reading(s) the unit keeps up to date (output currents, net-oil totals) "
                                    "differ too; add \"all\" to show them.\n")
                         .arg(readingsSkipped);
        QList<QStringList> rows;
        for (const auto &d : differences)
            rows.append({d.key, shown(d.valueA), shown(d.valueB)});
        c.out << alignedColumns(rows);
        if (differences.isEmpty()) {
            c.err << QStringLiteral("%1 and %2 hold the same configuration.\n").arg(a.name, b.name);
            return int(Equal);
        }
        c.err << QStringLiteral("%1 field(s) differ between %2 and %3.\n").arg(differences.size()).arg(a.name, b.name);
        return int(Different);
    };
}

}  // namespace

void registerDiffCommand(CommandTable &table)
{
    CliCommand diff{QStringLiteral("diff"), QStringLiteral("diff A B [all]"),
                    QStringLiteral("Compare two configurations (.cfg, .bin or \"unit\"): KEY, value in A, value in B. "
                                   "\"all\" includes the live readings."),
                    2, prepareDiff};
    diff.maxArgumentCount = 3;
    // Usage errors keep status 2, like every other failure of diff. The port is
    // opened by the action itself, only when one side is the unit.
    diff.needsPort = [](const QStringList &) { return false; };
    table.add(diff);
}
