#include "SelectionDecoder.h"

#include "Codec.h"
#include "ValueCodec.h"

#include <QtEndian>

#include <cstring>

namespace SelectionDecoder {

std::optional<QByteArray> parseBytes(const QString &selection, QString *error)
{
    QString text = selection;
    text.remove(QLatin1Char(' '));
    QByteArray out;
    for (qsizetype i = 0; i < text.size() && out.size() < MaxBytes; i += 2) {
        const QString pair = text.mid(i, 2);
        bool ok = false;
        const uint value = pair.toUInt(&ok, 16);
        if (!ok || pair.startsWith(QLatin1Char('+')) || pair.startsWith(QLatin1Char('-'))) {
            if (error)
                *error = QStringLiteral("'%1' is not a valid integer value").arg(pair);
            return std::nullopt;
        }
        out.append(char(value));
    }
    return out;
}

std::optional<DecodedSelection> decode(const QString &selection, QString *error)
{
    DecodedSelection d;
    QString compact = selection;
    compact.remove(QLatin1Char(' '));
    if (compact.isEmpty())
        return d;
    const auto parsed = parseBytes(compact, error);
    if (!parsed)
        return std::nullopt;
    const QByteArray &bytes = *parsed;
    const int k = int(bytes.size());
    // The typed readings look at up to 8 bytes; what was not selected reads as 0.
    uint8_t b[8] = {};
    std::memcpy(b, bytes.constData(), size_t(std::min(k, 8)));

    const auto *raw = reinterpret_cast<const uint8_t *>(bytes.constData());
    const uint16_t crc = Calc_CRC_Bitwise(raw, uint16_t(k));
    const uint8_t lrc = Calc_LRC(raw, uint16_t(k));
    d.hex = QLatin1Char('$') + compact;
    d.crc = QStringLiteral("$%1, %2").arg(crc, 4, 16, QLatin1Char('0')).arg(crc).toUpper();
    d.lrc = QStringLiteral("$%1, %2").arg(lrc, 2, 16, QLatin1Char('0')).arg(lrc).toUpper();

    if (k == 1)
        d.byteMoto = d.byteIntel = QString::number(b[0]);
    if (k < 3) {
        const uint16_t wordIntel = qFromLittleEndian<uint16_t>(b);
        const uint16_t wordMoto = qFromBigEndian<uint16_t>(b);
        const int32_t integerIntel = qFromLittleEndian<int32_t>(b);
        // Only the two lowest bytes are exchanged, so the upper half stays in place.
        const int32_t integerMoto = int32_t((uint32_t(integerIntel) & 0xFFFF0000u) | wordMoto);
        d.wordIntel = QString::number(wordIntel);
        d.wordMoto = QString::number(wordMoto);
        d.integerIntel = QString::number(integerIntel);
        d.integerMoto = QString::number(integerMoto);
    }
    if (k < 5) {
        d.longIntel = QString::number(qFromLittleEndian<int32_t>(b));
        d.longMoto = QString::number(qFromBigEndian<int32_t>(b));
    }
    if (k < 9) {
        d.doubleIntel = ValueCodec::formatFloat(qFromLittleEndian<double>(b));
        d.doubleMoto = ValueCodec::formatFloat(qFromBigEndian<double>(b));
    }
    return d;
}

}  // namespace SelectionDecoder
