#include "CsvText.h"

#include <cstdlib>

namespace CsvText {

QString cell(const QString &text)
{
    static const QString special = QStringLiteral(",\"\r\n");
    if (std::none_of(text.begin(), text.end(), [](QChar c) { return special.contains(c); }))
        return text;
    return QLatin1Char('"') + QString(text).replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
}

QString line(const QStringList &cells)
{
    QStringList quoted;
    quoted.reserve(cells.size());
    for (const QString &c : cells)
        quoted << cell(c);
    return quoted.join(QLatin1Char(',')) + QLatin1Char('\n');
}

QString header(const QString &name, const QString &unit)
{
    return unit.isEmpty() ? name : QStringLiteral("%1 [%2]").arg(name, unit);
}

QString isoTime(const QDateTime &time)
{
    const int offset = time.offsetFromUtc();
    return time.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz"))
           + QStringLiteral("%1%2:%3")
                 .arg(offset < 0 ? QLatin1Char('-') : QLatin1Char('+'))
                 .arg(std::abs(offset) / 3600, 2, 10, QLatin1Char('0'))
                 .arg(std::abs(offset) % 3600 / 60, 2, 10, QLatin1Char('0'));
}

QString isoTimeNow()
{
    return isoTime(QDateTime::currentDateTime());
}

}  // namespace CsvText
