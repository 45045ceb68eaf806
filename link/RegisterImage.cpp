#include "RegisterImage.h"

#include <bit>
#include <cstring>

RegisterImage::RegisterImage() : m_bytes(ByteSize, '\0') {}

bool RegisterImage::rangeValid(int firstRegister, int byteCount)
{
    return firstRegister >= 0 && byteCount >= 0 && firstRegister < RegisterCount
        && 2 * firstRegister + byteCount <= ByteSize;
}

bool RegisterImage::setBytes(const QByteArray &all)
{
    if (all.size() != ByteSize)
        return false;
    m_bytes = all;
    return true;
}

bool RegisterImage::store(int firstRegister, const uint8_t *src, int byteCount)
{
    if (!rangeValid(firstRegister, byteCount) || (byteCount > 0 && !src))
        return false;
    std::memcpy(m_bytes.data() + 2 * firstRegister, src, size_t(byteCount));
    return true;
}

QByteArray RegisterImage::read(int firstRegister, int byteCount) const
{
    if (!rangeValid(firstRegister, byteCount))
        return {};
    return m_bytes.mid(2 * firstRegister, byteCount);
}

uint8_t RegisterImage::u8At(int o) const
{
    return inside(o, 1) ? data()[o] : 0;
}

uint16_t RegisterImage::u16At(int o) const
{
    if (!inside(o, 2))
        return 0;
    return uint16_t(data()[o] << 8 | data()[o + 1]);
}

uint32_t RegisterImage::u32At(int o) const
{
    if (!inside(o, 4))
        return 0;
    const uint8_t *p = data() + o;
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

float RegisterImage::f32At(int o) const
{
    return std::bit_cast<float>(u32At(o));
}

double RegisterImage::f64At(int o) const
{
    if (!inside(o, 8))
        return 0.0;
    uint64_t v = 0;
    for (int i = 0; i < 8; ++i)
        v = v << 8 | data()[o + i];
    return std::bit_cast<double>(v);
}

QString RegisterImage::textAt(int o, int maxLen) const
{
    if (o < 0 || o >= ByteSize || maxLen <= 0)
        return {};
    const int limit = std::min(maxLen, ByteSize - o);
    const char *p = m_bytes.constData() + o;
    const int len = int(strnlen(p, size_t(limit)));
    return QString::fromLatin1(p, len);
}

bool RegisterImage::setU8At(int o, uint8_t v)
{
    if (!inside(o, 1))
        return false;
    m_bytes[o] = char(v);
    return true;
}

bool RegisterImage::setU16At(int o, uint16_t v)
{
    if (!inside(o, 2))
        return false;
    m_bytes[o] = char(v >> 8);
    m_bytes[o + 1] = char(v);
    return true;
}

bool RegisterImage::setU32At(int o, uint32_t v)
{
    if (!inside(o, 4))
        return false;
    for (int i = 0; i < 4; ++i)
        m_bytes[o + i] = char(v >> (24 - 8 * i));
    return true;
}

bool RegisterImage::setF32At(int o, float v)
{
    return setU32At(o, std::bit_cast<uint32_t>(v));
}

bool RegisterImage::setF64At(int o, double v)
{
    if (!inside(o, 8))
        return false;
    const uint64_t bits = std::bit_cast<uint64_t>(v);
    for (int i = 0; i < 8; ++i)
        m_bytes[o + i] = char(bits >> (56 - 8 * i));
    return true;
}

bool RegisterImage::setTextAt(int o, int fieldLen, const QString &text)
{
    if (!inside(o, fieldLen))
        return false;
    const QByteArray latin = text.toLatin1().left(fieldLen);
    std::memset(m_bytes.data() + o, 0, size_t(fieldLen));
    std::memcpy(m_bytes.data() + o, latin.constData(), size_t(latin.size()));
    return true;
}
