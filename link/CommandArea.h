#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

class ModbusLink;

// The transmitter's command area: registers 122..243 carry a command's arguments,
// registers 0..121 bring its results back. The program keeps one argument buffer
// for the whole run, shared by every window (the link owns it): a command sets the
// words it needs and writes the whole buffer, so words it does not set keep what
// the buffer last held, as the transmitter expects.
class CommandArea {
public:
    static constexpr int FirstRegister = 122;
    static constexpr int Bytes = 244;
    static constexpr int ResultRegister = 0;

    explicit CommandArea(ModbusLink &link);

    // Setters by byte offset inside the area, most significant byte first. A value
    // that does not lie inside the 244 bytes is refused (false) and changes nothing.
    bool setU8(int offset, uint8_t value);
    bool setU16(int offset, uint16_t value);
    bool setU32(int offset, uint32_t value);
    bool setF64(int offset, double value);
    // Latin-1 text in a field of fieldLen bytes, padded with NULs.
    bool setText(int offset, int fieldLen, const QString &text);
    bool clear();
    QByteArray bytes() const;

    // Writes the whole buffer to registers 122..243; true only when the transmitter
    // accepted it. A command coil is forced only after this succeeded.
    bool write();
    // Reads byteCount bytes of results from register 0 into the register image; true
    // only when they came from a valid reply (the image is untouched otherwise).
    bool readResults(int byteCount);

private:
    bool fits(int offset, int len) const { return offset >= 0 && len >= 0 && offset + len <= Bytes; }
    ModbusLink &m_link;
    QByteArray &m_buffer;
};
