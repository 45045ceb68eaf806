#include "ConfigBlock.h"

#include "ByteOrder.h"
#include "ModbusLink.h"

ConfigBlock::ConfigBlock(int firstRegister, int byteCount)
    : m_first(firstRegister), m_bytes(byteCount), m_asRead(byteCount, '\0'), m_working(byteCount, '\0')
{
}

bool ConfigBlock::read(ModbusLink &link)
{
    m_read = link.readRegisters(m_first, m_bytes);
    m_asRead = link.image().read(m_first, m_bytes);
    if (m_asRead.size() != m_bytes)
        m_asRead = QByteArray(m_bytes, '\0');
    m_working = m_asRead;
    return m_read;
}

ConfigBlock::WriteResult ConfigBlock::write(ModbusLink &link, const QByteArray &bytes) const
{
    if (!m_read)
        return WriteResult::NotRead;
    return link.writeRegisters(m_first, bytes) ? WriteResult::Written : WriteResult::Refused;
}

uint8_t ConfigBlock::u8(int offset) const
{
    return offset >= 0 && offset < m_working.size() ? uint8_t(m_working[offset]) : 0;
}

uint16_t ConfigBlock::u16(int offset) const
{
    return BigEndian::rawAt<quint16>(m_working, offset);
}

float ConfigBlock::f32(int offset) const
{
    return BigEndian::floatAt(m_working, offset);
}

double ConfigBlock::f64(int offset) const
{
    return BigEndian::doubleAt(m_working, offset);
}

void ConfigBlock::setU8(int offset, uint8_t value)
{
    if (offset >= 0 && offset < m_working.size())
        m_working[offset] = char(value);
}

void ConfigBlock::setU16(int offset, uint16_t value)
{
    BigEndian::putRaw<quint16>(m_working, offset, value);
}

void ConfigBlock::setF32(int offset, float value)
{
    BigEndian::putFloat(m_working, offset, value);
}

void ConfigBlock::setF64(int offset, double value)
{
    BigEndian::putDouble(m_working, offset, value);
}
