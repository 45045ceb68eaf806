#pragma once

#include <QByteArray>
#include <QChar>
#include <QString>

#include <cstdint>

class RegisterImage;

// How the bytes of one field become text and back. Multi-byte numbers are
// big-endian as on the wire; one-byte types use the field's first byte; texts are
// Latin-1 up to the first zero byte or the field end.
//
// Files always use '.' as the decimal separator; a window may pass the locale's.
// Parsing accepts '.' and ',' alike, so files move between machines.
namespace ValueCodec {

// General notation: 15 significant digits when they read back to the same value,
// otherwise the shortest text that does (so every value written reads back
// exactly); E notation when the decimal exponent is below -5 or at least 15
// ("1.5E-7", "1E15"); "-0" for negative zero; "INF", "-INF", "NAN" for the
// non-finite values.
QString formatFloat(double value, QChar decimalPoint = QLatin1Char('.'));
// The same for a single: its text reads back to the same single.
QString formatSingle(float value, QChar decimalPoint = QLatin1Char('.'));

// The value text of byteCount bytes at field, coded as valueType.
QString format(const uint8_t *field, int byteCount, uint8_t valueType, QChar decimalPoint = QLatin1Char('.'));
// The same read from the image; empty when the field does not lie inside it.
QString format(const RegisterImage &image, int byteOffset, int byteCount, uint8_t valueType,
               QChar decimalPoint = QLatin1Char('.'));

struct ParseResult {
    bool ok = false;
    QByteArray bytes;  // byteCount bytes to store at the field (when ok)
    QString error;     // the number parser's message (when not ok)
};

// The bytes that store text in a field of byteCount bytes. Integers: decimal (an
// optional sign); the low 8/16/32 bits are kept. f64 and f32 also take "INF",
// "-INF" and "NAN". A one-byte type in a wider field zeroes the other bytes.
// Errors: "'abc' is not a valid integer value", "'abc' is not a valid floating
// point value".
ParseResult parse(const QString &text, int byteCount, uint8_t valueType);

// Parses and stores into the image. On failure the field is left unchanged and
// *error (when given) receives the message.
bool parseInto(RegisterImage &image, int byteOffset, int byteCount, uint8_t valueType, const QString &text,
               QString *error = nullptr);

// The general text-to-number conversions the windows use for their entry fields.
// On failure ok is false and *error holds the message; the result is then 0.
double parseFloat(const QString &text, bool *ok, QString *error = nullptr);
qint64 parseInteger(const QString &text, bool *ok, QString *error = nullptr);

}  // namespace ValueCodec
