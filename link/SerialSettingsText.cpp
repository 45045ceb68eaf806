#include "NetworkAddress.h"
#include "SerialSettingsText.h"

#include "SerialControl.h"

#include <QStringList>

bool LineSettings::parse(const QString &text, LineSettings *out, QString *error)
{
    auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 4)
        return fail(QStringLiteral("\"%1\" is not of the form baud,parity,data bits,stop bits (e.g. 9600,N,8,1)").arg(text));
    LineSettings s;
    bool ok = false;
    s.baud = parts[0].trimmed().toInt(&ok);
    if (!ok || s.baud <= 0)
        return fail(QStringLiteral("\"%1\" is not a baud rate").arg(parts[0].trimmed()));
    const QString parity = parts[1].trimmed().toUpper();
    if (parity.size() != 1 || !QStringLiteral("NOEMS").contains(parity))
        return fail(QStringLiteral("\"%1\" is not a parity (N, O, E, M or S)").arg(parts[1].trimmed()));
    s.parity = parity[0].toLatin1();
    s.dataBits = parts[2].trimmed().toInt(&ok);
    if (!ok || s.dataBits < 5 || s.dataBits > 8)
        return fail(QStringLiteral("%1 data bits are not supported (5 to 8)").arg(parts[2].trimmed()));
    s.stopBits = parts[3].trimmed().toInt(&ok);
    if (!ok || (s.stopBits != 1 && s.stopBits != 2))
        return fail(QStringLiteral("%1 stop bits are not supported (1 or 2)").arg(parts[3].trimmed()));
    if (out)
        *out = s;
    return true;
}

QString LineSettings::text() const
{
    return QStringLiteral("%1,%2,%3,%4").arg(baud).arg(QLatin1Char(parity)).arg(dataBits).arg(stopBits);
}

bool SerialControl::portTextValid(const QString &port, QString *error)
{
    const QString p = port.trimmed();
    bool number = false;
    const int n = p.toInt(&number);
    if (p.startsWith(QLatin1Char('/')) || (number && n >= 1 && n <= 12))
        return true;
    if (NetworkAddress::isNetworkText(p))
        return NetworkAddress::parse(p, error).has_value();
    if (error)
        *error = QStringLiteral("Port \"%1\" is neither 1 to 12, a device path nor HOST:PORT").arg(port);
    return false;
}
