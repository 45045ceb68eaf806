#include "KeysCommand.h"

#include "Catalogue.h"
#include "ColumnText.h"
#include "CommandTable.h"
#include "FieldColumns.h"

#include <QRegularExpression>
#include <QSet>

#include <algorithm>
#include <numeric>
#include <vector>

namespace {

// Every key once, in table order, as fieldByKey finds it.
const QList<FieldRef> &allFields()
{
    static const QList<FieldRef> fields = [] {
        QList<FieldRef> out;
        QSet<QString> seen;
        for (const BlockDef &b : Catalogue::blocks()) {
            for (const FieldRef &f : Catalogue::fields(b.index)) {
                if (!seen.contains(f.key)) {
                    seen.insert(f.key);
                    out << f;
                }
            }
        }
        return out;
    }();
    return fields;
}

int editDistance(const QString &a, const QString &b)
{
    std::vector<int> row(size_t(b.size()) + 1);
    std::iota(row.begin(), row.end(), 0);
    for (qsizetype i = 1; i <= a.size(); ++i) {
        int diagonal = row[0];
        row[0] = int(i);
        for (qsizetype j = 1; j <= b.size(); ++j) {
            const int above = row[size_t(j)];
            const int cost = a[i - 1].toLower() == b[j - 1].toLower() ? 0 : 1;
            row[size_t(j)] = std::min({above + 1, row[size_t(j - 1)] + 1, diagonal + cost});
            diagonal = above;
        }
    }
    return row.back();
}

// A pattern with * or ? is a wildcard over the whole key; other text matches anywhere in it.
QRegularExpression patternExpression(const QString &pattern)
{
    const bool wildcard = pattern.contains(QLatin1Char('*')) || pattern.contains(QLatin1Char('?'));
    const QString expression = wildcard ? QRegularExpression::wildcardToRegularExpression(pattern)
                                        : QRegularExpression::escape(pattern);
    return QRegularExpression(expression, QRegularExpression::CaseInsensitiveOption);
}

CliAction prepareKeys(const QStringList &args, QTextStream &)
{
    const QString pattern = args.value(0);
    return [pattern](CliContext &c) {
        const QRegularExpression match = patternExpression(pattern);
        QList<QStringList> rows;
        for (const FieldRef &f : allFields()) {
            if (pattern.isEmpty() || match.match(f.key).hasMatch())
                rows.append({f.key, FieldColumns::typeName(f), FieldColumns::baseUnit(f)});
        }
        if (rows.isEmpty()) {
            c.err << "No field key matches \"" << pattern << "\"" << nearestKeysHint(pattern) << "\n";
            return int(ExitFailed);
        }
        c.out << alignedColumns(rows);
        return int(ExitOk);
    };
}

} // namespace

QStringList nearestKeys(const QString &typed, int count)
{
    QList<std::pair<int, QString>> scored;
    for (const FieldRef &f : allFields())
        scored.append({editDistance(typed, f.key), f.key});
    std::stable_sort(scored.begin(), scored.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    QStringList out;
    for (qsizetype i = 0; i < std::min<qsizetype>(count, scored.size()); ++i)
        out << scored[i].second;
    return out;
}

QString nearestKeysHint(const QString &typed)
{
    return QStringLiteral(" (nearest: %1; tarvine-cli keys lists them all).").arg(nearestKeys(typed).join(QStringLiteral(", ")));
}

void registerKeysCommand(CommandTable &table)
{
    CliCommand keys{QStringLiteral("keys"), QStringLiteral("keys [PATTERN]"),
                    QStringLiteral("List the field keys watch accepts, with their type and unit; PATTERN is text "
                                   "in the key or a wildcard such as Mass*.Value."),
                    0, prepareKeys};
    keys.maxArgumentCount = 1;
    keys.needsPort = [](const QStringList &) { return false; };
    table.add(keys);
}
