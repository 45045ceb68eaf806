#include "IsoTime.h"

#include <QDateTime>

#include <cstdlib>

QString isoTimeNow()
{
    const QDateTime now = QDateTime::currentDateTime();
    const int offset = now.offsetFromUtc();
    return now.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz"))
           + QStringLiteral("%1%2:%3")
                 .arg(offset < 0 ? QLatin1Char('-') : QLatin1Char('+'))
                 .arg(std::abs(offset) / 3600, 2, 10, QLatin1Char('0'))
                 .arg(std::abs(offset) % 3600 / 60, 2, 10, QLatin1Char('0'));
}
