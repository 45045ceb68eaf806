#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

class ModbusLink;

// One register block that a configuration window edits: the bytes as read from
// the transmitter (the Undo copy), the bytes being edited (the working copy), and
// whether the read succeeded. A block that was not read holds the image's last
// contents, which may be defaults or another transmitter's, so it is never written:
// writeWorking and writeAsRead refuse it. Bytes the window does not edit are
// written back as read.
class ConfigBlock {
public:
    enum class WriteResult { Written, NotRead, Refused };

    ConfigBlock(int firstRegister, int byteCount);

    int firstRegister() const { return m_first; }
    int byteCount() const { return m_bytes; }

    // Reads the block into both copies. On failure the copies take the image's last
    // contents (what the window shows) and the block counts as not read.
    bool read(ModbusLink &link);
    bool wasRead() const { return m_read; }

    const QByteArray &asRead() const { return m_asRead; }
    QByteArray &working() { return m_working; }
    const QByteArray &working() const { return m_working; }
    // Drops the edits: the working copy becomes the as-read copy again.
    void revert() { m_working = m_asRead; }

    // Whole-block writes; Written only when the transmitter accepted the bytes.
    WriteResult writeWorking(ModbusLink &link) const { return write(link, m_working); }
    WriteResult writeAsRead(ModbusLink &link) const { return write(link, m_asRead); }

    // Fields of the working copy by byte offset, most significant byte first.
    // Offsets outside the block read 0 and write nothing.
    uint8_t u8(int offset) const;
    uint16_t u16(int offset) const;
    float f32(int offset) const;
    double f64(int offset) const;
    void setU8(int offset, uint8_t value);
    void setU16(int offset, uint16_t value);
    void setF32(int offset, float value);
    void setF64(int offset, double value);

private:
    WriteResult write(ModbusLink &link, const QByteArray &bytes) const;

    int m_first;
    int m_bytes;
    bool m_read = false;
    QByteArray m_asRead;
    QByteArray m_working;
};
