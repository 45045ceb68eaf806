#include "HistoryText.h"

QStringList historyColumns()
{
    return {QStringLiteral("Time"),    QStringLiteral("User"),     QStringLiteral("Unit"),
            QStringLiteral("Operation"), QStringLiteral("Field"),  QStringLiteral("As found"),
            QStringLiteral("As left"), QStringLiteral("Outcome")};
}

QString unitText(const OperationInfo &info)
{
    QStringList parts;
    if (!info.tag.isEmpty())
        parts << info.tag;
    if (!info.serial.isEmpty())
        parts << QStringLiteral("S/N ") + info.serial;
    parts << QStringLiteral("ID %1").arg(info.unitId);
    return parts.join(QStringLiteral(" / "));
}

QString outcomeWithMessage(const HistoryEntry &entry)
{
    const QString outcome = outcomeText(entry.outcome);
    return entry.message.isEmpty() ? outcome : outcome + QStringLiteral(": ") + entry.message;
}

QList<QStringList> historyRows(const QList<HistoryEntry> &entries)
{
    QList<QStringList> rows;
    for (const HistoryEntry &e : entries) {
        const QStringList head{e.info.startedUtc.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                               e.info.user, unitText(e.info), e.info.operation};
        if (e.changes.isEmpty())
            rows << head + QStringList{QString(), QString(), QString(), outcomeWithMessage(e)};
        for (const FieldChange &c : e.changes)
            rows << head + QStringList{c.key, c.asFoundText, c.asLeftText, outcomeWithMessage(e)};
    }
    return rows;
}

QString historyCsv(const QList<HistoryEntry> &entries)
{
    const auto line = [](const QStringList &cells) {
        QStringList quoted;
        for (QString cell : cells) {
            if (cell.contains(QLatin1Char(',')) || cell.contains(QLatin1Char('"')) || cell.contains(QLatin1Char('\n')))
                cell = QLatin1Char('"') + cell.replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
            quoted << cell;
        }
        return quoted.join(QLatin1Char(',')) + QStringLiteral("\r\n");
    };
    QString csv = line(historyColumns());
    for (const QStringList &row : historyRows(entries))
        csv += line(row);
    return csv;
}
