#include "NetworkAddress.h"

#include <QHostAddress>
#include <QRegularExpression>

namespace {

std::optional<NetworkAddress> refuse(QString *error, const QString &text)
{
    if (error)
        *error = text;
    return std::nullopt;
}

// Letters, digits and hyphens in dot-separated labels of at most 63 characters.
bool isHostName(const QString &host)
{
    static const QRegularExpression label(QStringLiteral("^[A-Za-z0-9]([A-Za-z0-9-]{0,61}[A-Za-z0-9])?$"));
    if (host.isEmpty() || host.size() > 253)
        return false;
    const QStringList labels = host.split(QLatin1Char('.'));
    for (const QString &l : labels) {
        if (!label.match(l).hasMatch())
            return false;
    }
    return true;
}

} // namespace

bool NetworkAddress::isNetworkText(const QString &text)
{
    const QString t = text.trimmed();
    return t.contains(QLatin1Char(':')) && !t.startsWith(QLatin1Char('/'));
}

std::optional<NetworkAddress> NetworkAddress::parse(const QString &given, QString *error)
{
    const QString text = given.trimmed();
    QString host;
    QString portText;
    if (text.startsWith(QLatin1Char('['))) {
        const qsizetype close = text.indexOf(QLatin1Char(']'));
        if (close < 0 || text.mid(close + 1, 1) != QLatin1String(":"))
            return refuse(error, QStringLiteral("\"%1\": write an IPv6 address as [ADDRESS]:PORT").arg(text));
        host = text.mid(1, close - 1);
        portText = text.mid(close + 2);
        QHostAddress address;
        if (!address.setAddress(host) || address.protocol() != QAbstractSocket::IPv6Protocol)
            return refuse(error, QStringLiteral("\"%1\" is not an IPv6 address").arg(host));
    } else {
        const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
        if (colon < 0)
            return refuse(error, QStringLiteral("\"%1\" names no network port: write HOST:PORT").arg(text));
        host = text.left(colon);
        portText = text.mid(colon + 1);
        if (host.contains(QLatin1Char(':')))
            return refuse(error, QStringLiteral("\"%1\": write an IPv6 address as [ADDRESS]:PORT").arg(text));
        static const QRegularExpression dotted(QStringLiteral("^[0-9.]+$"));
        if (dotted.match(host).hasMatch()) {
            QHostAddress address;
            if (!address.setAddress(host) || address.protocol() != QAbstractSocket::IPv4Protocol
                || host.count(QLatin1Char('.')) != 3)
                return refuse(error, QStringLiteral("\"%1\" is not an IPv4 address").arg(host));
        } else if (!isHostName(host)) {
            return refuse(error, QStringLiteral("\"%1\" is not a host name or address").arg(host));
        }
    }
    bool ok = false;
    const int port = portText.toInt(&ok);
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,5}$"));
    if (!ok || !digits.match(portText).hasMatch() || port < 1 || port > 65535)
        return refuse(error, QStringLiteral("\"%1\" is not a TCP port number (1 to 65535)").arg(portText));
    return NetworkAddress{host, quint16(port)};
}

QString NetworkAddress::text() const
{
    const QString shown = host.contains(QLatin1Char(':')) ? QLatin1Char('[') + host + QLatin1Char(']') : host;
    return shown + QLatin1Char(':') + QString::number(port);
}
