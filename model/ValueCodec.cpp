#include "ValueCodec.h"

#include "Catalogue.h"
#include "RegisterImage.h"

#include <QtEndian>

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

namespace ValueCodec {

namespace {

QString integerError(const QString &text) { return QStringLiteral("'%1' is not a valid integer value").arg(text); }
QString floatError(const QString &text) { return QStringLiteral("'%1' is not a valid floating point value").arg(text); }

// Big-endian bytes of an unsigned value, cut or zero-padded to the field.
QByteArray bigEndianField(uint64_t value, int width, int byteCount)
{
    QByteArray out(std::max(byteCount, 0), '\0');
    for (int i = 0; i < width && i < byteCount; ++i)
        out[i] = char((value >> (8 * (width - 1 - i))) & 0xFF);
    return out;
}

// Reads up to `width` bytes of the field big-endian; bytes past a short field
// count as zero, so nothing outside the field is read.
uint64_t bigEndianValue(const uint8_t *field, int byteCount, int width)
{
    uint64_t v = 0;
    for (int i = 0; i < width; ++i)
        v = (v << 8) | (i < byteCount ? field[i] : 0u);
    return v;
}

}  // namespace

QString formatFloat(double value, QChar decimalPoint)
{
    if (std::isnan(value))
        return QStringLiteral("NAN");
    if (std::isinf(value))
        return value > 0 ? QStringLiteral("INF") : QStringLiteral("-INF");
    if (value == 0.0)
        return QStringLiteral("0");

    // 15 significant digits: d.dddddddddddddde±x
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.14e", std::fabs(value));
    const char *e = std::strchr(buf, 'e');
    const int exponent = std::atoi(e + 1);
    QString digits = QString::fromLatin1(buf, 1) + QString::fromLatin1(buf + 2, int(e - buf - 2));
    while (digits.size() > 1 && digits.endsWith(QLatin1Char('0')))
        digits.chop(1);

    QString out = value < 0 ? QStringLiteral("-") : QString();
    if (exponent < -5 || exponent >= 15) {
        out += digits.left(1);
        if (digits.size() > 1)
            out += decimalPoint + digits.mid(1);
        out += QLatin1Char('E') + QString::number(exponent);
    } else if (exponent >= 0) {
        const int intDigits = exponent + 1;
        if (digits.size() <= intDigits) {
            out += digits + QString(intDigits - digits.size(), QLatin1Char('0'));
        } else {
            out += digits.left(intDigits) + decimalPoint + digits.mid(intDigits);
        }
    } else {
        out += QLatin1Char('0') + QString(decimalPoint) + QString(-exponent - 1, QLatin1Char('0')) + digits;
    }
    return out;
}

QString format(const uint8_t *field, int byteCount, uint8_t valueType, QChar decimalPoint)
{
    if (!field || byteCount <= 0)
        return QString();
    switch (valueKindOf(valueType)) {
    case ValueKind::U8:
        return QString::number(field[0]);
    case ValueKind::U16:
        return QString::number(bigEndianValue(field, byteCount, 2));
    case ValueKind::I32:
        return QString::number(int32_t(uint32_t(bigEndianValue(field, byteCount, 4))));
    case ValueKind::F64:
        return formatFloat(std::bit_cast<double>(bigEndianValue(field, byteCount, 8)), decimalPoint);
    case ValueKind::F32:
        return formatFloat(double(std::bit_cast<float>(uint32_t(bigEndianValue(field, byteCount, 4)))), decimalPoint);
    case ValueKind::Text:
        break;
    }
    const auto *end = std::find(field, field + byteCount, uint8_t(0));
    return QString::fromLatin1(reinterpret_cast<const char *>(field), qsizetype(end - field));
}

QString format(const RegisterImage &image, int byteOffset, int byteCount, uint8_t valueType, QChar decimalPoint)
{
    if (byteOffset < 0 || byteCount <= 0 || byteOffset + byteCount > RegisterImage::ByteSize)
        return QString();
    return format(image.data() + byteOffset, byteCount, valueType, decimalPoint);
}

qint64 parseInteger(const QString &text, bool *ok, QString *error)
{
    const QString t = text.trimmed();
    const int start = (t.startsWith(QLatin1Char('-')) || t.startsWith(QLatin1Char('+'))) ? 1 : 0;
    bool valid = t.size() > start && std::all_of(t.begin() + start, t.end(), [](QChar c) { return c.isDigit() && c.unicode() < 128; });
    qint64 v = valid ? t.toLongLong(&valid, 10) : 0;
    valid = valid && v >= std::numeric_limits<int32_t>::min() && v <= std::numeric_limits<int32_t>::max();
    if (ok)
        *ok = valid;
    if (!valid) {
        if (error)
            *error = integerError(text);
        return 0;
    }
    return v;
}

double parseFloat(const QString &text, bool *ok, QString *error)
{
    QByteArray t = text.trimmed().toLatin1();
    // Either separator is a decimal point, so that files written under any
    // locale read back; a text holding both is not a number.
    if (!t.contains('.'))
        t.replace(',', '.');
    const bool plainChars = !t.isEmpty() && std::all_of(t.begin(), t.end(), [](char c) {
        return (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E';
    });
    const char *begin = t.constData();
    if (plainChars && *begin == '+' && t.size() > 1 && begin[1] != '-')
        ++begin;
    double v = 0;
    const char *end = t.constData() + t.size();
    const auto r = plainChars ? std::from_chars(begin, end, v) : std::from_chars_result{begin, std::errc::invalid_argument};
    const bool valid = r.ec == std::errc() && r.ptr == end && std::isfinite(v);
    if (ok)
        *ok = valid;
    if (!valid) {
        if (error)
            *error = floatError(text);
        return 0;
    }
    return v;
}

ParseResult parse(const QString &text, int byteCount, uint8_t valueType)
{
    ParseResult r;
    if (byteCount <= 0) {
        r.error = QStringLiteral("A field of %1 bytes cannot hold a value").arg(byteCount);
        return r;
    }
    const ValueKind kind = valueKindOf(valueType);
    const QString trimmed = text.trimmed();

    if (kind == ValueKind::Text) {
        QByteArray bytes = text.toLatin1().left(byteCount);
        bytes.append(QByteArray(byteCount - bytes.size(), '\0'));
        r.ok = true;
        r.bytes = bytes;
        return r;
    }

    if (kind == ValueKind::U8 || kind == ValueKind::U16 || kind == ValueKind::I32) {
        const qint64 v = parseInteger(text, &r.ok, &r.error);
        if (r.ok) {
            const int width = kind == ValueKind::U8 ? 1 : kind == ValueKind::U16 ? 2 : 4;
            r.bytes = bigEndianField(uint64_t(v), width, byteCount);
        }
        return r;
    }

    if (kind == ValueKind::F64) {
        // The exact bit patterns the transmitter uses for these values.
        if (trimmed == QLatin1String("INF")) {
            r.bytes = bigEndianField(0x7FF0000000000000ull, 8, byteCount);
        } else if (trimmed == QLatin1String("-INF")) {
            r.bytes = bigEndianField(0xFFF0000000000000ull, 8, byteCount);
        } else if (trimmed == QLatin1String("NAN")) {
            r.bytes = bigEndianField(0xFFFFFFFF00000000ull, 8, byteCount);
        } else {
            const double v = parseFloat(text, &r.ok, &r.error);
            if (r.ok)
                r.bytes = bigEndianField(std::bit_cast<uint64_t>(v), 8, byteCount);
            return r;
        }
        r.ok = true;
        return r;
    }

    // f32
    if (trimmed == QLatin1String("INF")) {
        r.bytes = bigEndianField(0x7F800000u, 4, byteCount);
    } else if (trimmed == QLatin1String("-INF")) {
        r.bytes = bigEndianField(0xFF800000u, 4, byteCount);
    } else if (trimmed == QLatin1String("NAN")) {
        r.bytes = bigEndianField(0xFFFFFFFFu, 4, byteCount);
    } else {
        const double v = parseFloat(text, &r.ok, &r.error);
        // A number beyond the single range would silently become infinity.
        if (r.ok && std::fabs(v) > double(std::numeric_limits<float>::max())) {
            r.ok = false;
            r.error = floatError(text);
        }
        if (r.ok)
            r.bytes = bigEndianField(std::bit_cast<uint32_t>(float(v)), 4, byteCount);
        return r;
    }
    r.ok = true;
    return r;
}

bool parseInto(RegisterImage &image, int byteOffset, int byteCount, uint8_t valueType, const QString &text,
               QString *error)
{
    if (byteOffset < 0 || byteCount <= 0 || byteOffset + byteCount > RegisterImage::ByteSize) {
        if (error)
            *error = QStringLiteral("The field at byte %1 (%2 bytes) lies outside the register image")
                         .arg(byteOffset)
                         .arg(byteCount);
        return false;
    }
    const ParseResult r = parse(text, byteCount, valueType);
    if (!r.ok) {
        if (error)
            *error = r.error;
        return false;
    }
    for (int i = 0; i < r.bytes.size(); ++i)
        image.setU8At(byteOffset + i, uint8_t(r.bytes[i]));
    return true;
}

}  // namespace ValueCodec
