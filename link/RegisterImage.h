#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

// The program's copy of the transmitter's 3,402 holding registers: 6,804 bytes,
// register n at bytes 2n and 2n+1, every value most significant byte first as on
// the wire. Every access is bounds-checked: a range that does not lie inside the
// image is refused (false / zero) and touches nothing.
class RegisterImage {
public:
    static constexpr int RegisterCount = 3402;
    static constexpr int ByteSize = RegisterCount * 2;

    RegisterImage();

    // True when byteCount bytes from register firstRegister lie inside the image.
    static bool rangeValid(int firstRegister, int byteCount);

    const uint8_t *data() const { return reinterpret_cast<const uint8_t *>(m_bytes.constData()); }
    QByteArray bytes() const { return m_bytes; }
    // Replaces the whole image; refused unless exactly ByteSize bytes.
    bool setBytes(const QByteArray &all);

    // Byte-level copies at a register address.
    bool store(int firstRegister, const uint8_t *src, int byteCount);
    bool store(int firstRegister, const QByteArray &src) { return store(firstRegister, reinterpret_cast<const uint8_t *>(src.constData()), int(src.size())); }
    QByteArray read(int firstRegister, int byteCount) const;

    // Typed access by byte offset (big-endian). Out-of-range reads give 0.
    uint8_t u8At(int byteOffset) const;
    uint16_t u16At(int byteOffset) const;
    uint32_t u32At(int byteOffset) const;
    float f32At(int byteOffset) const;
    double f64At(int byteOffset) const;
    // Text of at most maxLen bytes, ending at the first NUL. Latin-1.
    QString textAt(int byteOffset, int maxLen) const;

    bool setU8At(int byteOffset, uint8_t v);
    bool setU16At(int byteOffset, uint16_t v);
    bool setU32At(int byteOffset, uint32_t v);
    bool setF32At(int byteOffset, float v);
    bool setF64At(int byteOffset, double v);
    // Writes the text into a field of fieldLen bytes, padding with NULs (truncates).
    bool setTextAt(int byteOffset, int fieldLen, const QString &text);

    // Convenience by register address.
    uint16_t reg(int r) const { return u16At(2 * r); }
    double f64Reg(int r) const { return f64At(2 * r); }
    float f32Reg(int r) const { return f32At(2 * r); }

private:
    bool inside(int byteOffset, int len) const { return byteOffset >= 0 && len >= 0 && byteOffset + len <= ByteSize; }
    QByteArray m_bytes;
};
