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
#include <utility>

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

namespace {

// A positive finite number as significant digits (no dot, no trailing zeros) and
// the decimal exponent of the first digit: 15 digits when they read back to the
// same value, else the shortest text that does (up to 17 digits for a double, 9
// for a single). Files written before keep their text wherever it was exact.
template <typename T>
std::pair<QString, int> decimalDigits(T value)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.14e", double(value));
    T back{};
    const auto parsed = std::from_chars(buf, buf + std::strlen(buf), back);
    if (parsed.ec != std::errc() || back != value) {
        const auto written = std::to_chars(buf, buf + sizeof buf - 1, value, std::chars_format::scientific);
        *written.ptr = '\0';
    }
    const char *e = std::strchr(buf, 'e');
    QString digits;
    for (const char *c = buf; c < e; ++c)
        if (*c != '.')
            digits += QLatin1Char(*c);
    while (digits.size() > 1 && digits.endsWith(QLatin1Char('0')))
        digits.chop(1);
    return {digits, std::atoi(e + 1)};
}

template <typename T>
QString formatNumber(T value, QChar decimalPoint)
{
    if (std::isnan(value))
        return QStringLiteral("NAN");
    if (std::isinf(value))
        return value > 0 ? QStringLiteral("INF") : QStringLiteral("-INF");
    QString out = std::signbit(value) ? QStringLiteral("-") : QString();
    if (value == 0)
        return out + QLatin1Char('0');   // "-0" keeps the sign bit

    const auto [digits, exponent] = decimalDigits(std::fabs(value));
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

}  // namespace

QString formatFloat(double value, QChar decimalPoint)
{
    return formatNumber(value, decimalPoint);
}

QString formatSingle(float value, QChar decimalPoint)
{
    return formatNumber(value, decimalPoint);
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
        return formatSingle(std::bit_cast<float>(uint32_t(bigEndianValue(field, byteCount, 4))), decimalPoint);
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

namespace {

// Parses a decimal number into T. Either separator is a decimal point, so that
// files written under any locale read back; a text holding both is not a number.
// Out of T's range (including a single beyond its largest value) is an error.
template <typename T>
bool parseNumber(const QString &text, T *value)
{
    QByteArray t = text.trimmed().toLatin1();
    if (!t.contains('.'))
        t.replace(',', '.');
    const bool plainChars = !t.isEmpty() && std::all_of(t.begin(), t.end(), [](char c) {
        return (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E';
    });
    if (!plainChars)
        return false;
    const char *begin = t.constData();
    const char *end = begin + t.size();
    if (*begin == '+' && t.size() > 1 && begin[1] != '-')
        ++begin;
    T v{};
    const auto r = std::from_chars(begin, end, v);
    if (r.ec != std::errc() || r.ptr != end || !std::isfinite(v))
        return false;
    *value = v;
    return true;
}

}  // namespace

double parseFloat(const QString &text, bool *ok, QString *error)
{
    double v = 0;
    const bool valid = parseNumber(text, &v);
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
        // Parsed as a single, not narrowed from a double: a double rounding could
        // land on the neighbouring single.
        float v = 0;
        r.ok = parseNumber(text, &v);
        if (r.ok)
            r.bytes = bigEndianField(std::bit_cast<uint32_t>(v), 4, byteCount);
        else
            r.error = floatError(text);
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
