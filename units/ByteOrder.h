#pragma once

#include <QByteArray>
#include <QtEndian>

#include <bit>
#include <cstdint>

// Values as they stand in register bytes: most significant byte first over the
// whole value (a double spans four registers, a float or 32-bit integer two).
// Reads outside the buffer give 0 and writes outside it change nothing.
namespace BigEndian {

template <typename Raw>
Raw rawAt(const QByteArray &bytes, int offset)
{
    if (offset < 0 || offset + qsizetype(sizeof(Raw)) > bytes.size())
        return Raw(0);
    return qFromBigEndian<Raw>(bytes.constData() + offset);
}

template <typename Raw>
bool putRaw(QByteArray &bytes, int offset, Raw value)
{
    if (offset < 0 || offset + qsizetype(sizeof(Raw)) > bytes.size())
        return false;
    qToBigEndian<Raw>(value, bytes.data() + offset);
    return true;
}

inline double doubleAt(const QByteArray &b, int offset) { return std::bit_cast<double>(rawAt<quint64>(b, offset)); }
inline float floatAt(const QByteArray &b, int offset) { return std::bit_cast<float>(rawAt<quint32>(b, offset)); }
inline int32_t int32At(const QByteArray &b, int offset) { return int32_t(rawAt<quint32>(b, offset)); }

inline bool putDouble(QByteArray &b, int offset, double v) { return putRaw<quint64>(b, offset, std::bit_cast<quint64>(v)); }
inline bool putFloat(QByteArray &b, int offset, float v) { return putRaw<quint32>(b, offset, std::bit_cast<quint32>(v)); }
inline bool putInt32(QByteArray &b, int offset, int32_t v) { return putRaw<quint32>(b, offset, quint32(v)); }

} // namespace BigEndian
