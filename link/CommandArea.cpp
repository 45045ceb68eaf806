#include "CommandArea.h"

#include "ModbusLink.h"

#include <QtEndian>

#include <cstring>

CommandArea::CommandArea(ModbusLink &link) : m_link(link), m_buffer(link.commandBuffer())
{
    if (m_buffer.size() != Bytes)
        m_buffer = QByteArray(Bytes, '\0');
}

bool CommandArea::setU8(int offset, uint8_t value)
{
    if (!fits(offset, 1))
        return false;
    m_buffer[offset] = char(value);
    return true;
}

bool CommandArea::setU16(int offset, uint16_t value)
{
    if (!fits(offset, 2))
        return false;
    qToBigEndian(value, m_buffer.data() + offset);
    return true;
}

bool CommandArea::setU32(int offset, uint32_t value)
{
    if (!fits(offset, 4))
        return false;
    qToBigEndian(value, m_buffer.data() + offset);
    return true;
}

bool CommandArea::setF64(int offset, double value)
{
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    if (!fits(offset, 8))
        return false;
    qToBigEndian(bits, m_buffer.data() + offset);
    return true;
}

bool CommandArea::setText(int offset, int fieldLen, const QString &text)
{
    if (!fits(offset, fieldLen))
        return false;
    const QByteArray latin = text.toLatin1().left(fieldLen);
    std::memset(m_buffer.data() + offset, 0, size_t(fieldLen));
    std::memcpy(m_buffer.data() + offset, latin.constData(), size_t(latin.size()));
    return true;
}

bool CommandArea::clear()
{
    m_buffer.fill('\0');
    return true;
}

QByteArray CommandArea::bytes() const
{
    return m_buffer;
}

bool CommandArea::write()
{
    return m_link.writeRegisters(FirstRegister, m_buffer);
}

bool CommandArea::readResults(int byteCount)
{
    return m_link.readRegisters(ResultRegister, byteCount);
}
