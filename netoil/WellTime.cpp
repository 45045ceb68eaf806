#include "WellTime.h"

#include <QRegularExpression>

#include <cmath>

namespace WellTime {

double bounded(double seconds)
{
    if (!std::isfinite(seconds) || seconds < 0.0)
        return 0.0;
    return std::min(seconds, LongestSeconds);
}

int wholeHours(double seconds)
{
    return int(bounded(seconds)) / 3600;
}

QString toHHMM(double seconds)
{
    const int whole = int(bounded(seconds));
    return QStringLiteral("%1:%2").arg(whole / 3600, 2, 10, QLatin1Char('0')).arg(whole % 3600 / 60, 2, 10, QLatin1Char('0'));
}

QString toHHMMSS(double seconds)
{
    constexpr double Longest = LongestSeconds + 59;
    const int whole = int(std::isfinite(seconds) && seconds > 0.0 ? std::min(seconds, Longest) : 0.0);
    return QStringLiteral("%1:%2:%3")
        .arg(whole / 3600, 2, 10, QLatin1Char('0'))
        .arg(whole % 3600 / 60, 2, 10, QLatin1Char('0'))
        .arg(whole % 60, 2, 10, QLatin1Char('0'));
}

std::optional<double> fromHHMM(const QString &text)
{
    static const QRegularExpression form(QStringLiteral("^\\s*(\\d{1,2})\\s*:\\s*(\\d{1,2})\\s*$"));
    const QRegularExpressionMatch m = form.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    const int hours = m.captured(1).toInt();
    const int minutes = m.captured(2).toInt();
    if (minutes > 59)
        return std::nullopt;
    return hours * 3600.0 + minutes * 60.0;
}

}  // namespace WellTime
