#include "ColumnText.h"

#include <algorithm>

QString alignedColumns(const QList<QStringList> &rows)
{
    QList<qsizetype> widths;
    for (const QStringList &row : rows) {
        for (qsizetype i = 0; i < row.size(); ++i) {
            if (widths.size() <= i)
                widths.append(0);
            widths[i] = std::max(widths[i], std::max<qsizetype>(row[i].size(), 1));
        }
    }
    QString text;
    for (const QStringList &row : rows) {
        QString line;
        for (qsizetype i = 0; i < row.size(); ++i) {
            const QString cell = row[i].isEmpty() ? QStringLiteral("-") : row[i];
            line += i + 1 < row.size() ? cell.leftJustified(widths[i] + 2) : cell;
        }
        text += line + QLatin1Char('\n');
    }
    return text;
}
