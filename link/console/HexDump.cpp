#include "HexDump.h"

namespace HexDump {

namespace {
bool isHexDigit(QChar c)
{
    return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || (c >= QLatin1Char('A') && c <= QLatin1Char('F'))
        || (c >= QLatin1Char('a') && c <= QLatin1Char('f'));
}
}  // namespace

QStringList lines(const QByteArray &bytes)
{
    QStringList out;
    for (qsizetype start = 0; start < bytes.size(); start += BytesPerLine) {
        const QByteArray chunk = bytes.mid(start, BytesPerLine);
        QString hex;
        QString text;
        for (int i = 0; i < BytesPerLine; ++i) {
            if (i < chunk.size()) {
                const auto b = uint8_t(chunk[i]);
                hex += QStringLiteral("%1 ").arg(b, 2, 16, QLatin1Char('0')).toUpper();
                text += (b >= 32 && b <= 127) ? QChar(b) : QLatin1Char('.');
            } else {
                hex += QStringLiteral("   ");
                text += QLatin1Char('.');
            }
        }
        hex.chop(1);
        out << hex + QStringLiteral(": ") + text;
    }
    return out;
}

QStringList offsets(int lineCount)
{
    QStringList out;
    for (int line = 0; line < lineCount; ++line)
        out << QStringLiteral("%1").arg(line * BytesPerLine, 4, 16, QLatin1Char('0')).toUpper();
    return out;
}

QByteArray collect(const QStringList &lines)
{
    QByteArray out;
    for (const QString &line : lines) {
        for (int p = 0; p < 3 * BytesPerLine && p + 1 < line.size(); p += 3) {
            if (out.size() >= MaxCollectedBytes)
                return out;
            if (isHexDigit(line[p]) && isHexDigit(line[p + 1]))
                out.append(char(line.mid(p, 2).toUInt(nullptr, 16)));
        }
    }
    return out;
}

}  // namespace HexDump
