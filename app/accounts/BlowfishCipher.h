#pragma once

#include <QByteArray>

#include <optional>

// Blowfish in electronic-codebook mode, the cipher of the user store. Plain text
// is padded with zero bytes to whole 8-byte blocks; cipher text travels as
// upper-case hexadecimal, two digits per byte. The cipher itself is OpenSSL's.
class BlowfishCipher {
public:
    // Blowfish takes keys of 4 to 56 bytes.
    explicit BlowfishCipher(const QByteArray &key);

    // Hex text of the enciphered, zero-padded bytes; nullopt when the cipher fails.
    std::optional<QByteArray> encryptToHex(const QByteArray &plain) const;
    // The deciphered bytes up to their first zero byte; nullopt when the hex text
    // is malformed (odd length, not whole blocks, not hex) or the cipher fails.
    std::optional<QByteArray> decryptFromHex(const QByteArray &hex) const;

private:
    std::optional<QByteArray> run(const QByteArray &input, bool encrypt) const;

    QByteArray m_key;
};
