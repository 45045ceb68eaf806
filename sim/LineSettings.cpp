#include "LineSettings.h"

#include <QStringList>

namespace sim {

QString LineSettings::text() const
{
    return QStringLiteral("%1,%2,%3,%4").arg(baud).arg(QChar(parity)).arg(dataBits).arg(stopBits);
}

bool LineSettings::parse(const QString &text, LineSettings *out)
{
    const QStringList parts = text.split(',');
    if (parts.size() != 4)
        return false;
    bool ok1 = false, ok2 = false, ok3 = false;
    LineSettings s;
    s.baud = parts[0].trimmed().toInt(&ok1);
    const QString parity = parts[1].trimmed().toUpper();
    s.dataBits = parts[2].trimmed().toInt(&ok2);
    s.stopBits = parts[3].trimmed().toInt(&ok3);
    if (!ok1 || !ok2 || !ok3 || s.baud <= 0 || parity.size() != 1 || !QStringLiteral("NOE").contains(parity)
        || s.dataBits < 5 || s.dataBits > 9 || s.stopBits < 1 || s.stopBits > 2)
        return false;
    s.parity = parity[0].toLatin1();
    *out = s;
    return true;
}

} // namespace sim
