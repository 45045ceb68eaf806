#include "BlowfishCipher.h"

#include <openssl/evp.h>
#include <openssl/provider.h>

#include <memory>

namespace {

constexpr int BlockSize = 8;

// Blowfish lives in OpenSSL 3's legacy provider. A library context of our own
// keeps that provider out of the rest of the process.
class BlowfishProvider {
public:
    BlowfishProvider()
    {
        m_context = OSSL_LIB_CTX_new();
        if (!m_context)
            return;
        m_legacy = OSSL_PROVIDER_load(m_context, "legacy");
        m_default = OSSL_PROVIDER_load(m_context, "default");
        if (m_legacy && m_default)
            m_cipher = EVP_CIPHER_fetch(m_context, "BF-ECB", nullptr);
    }
    ~BlowfishProvider()
    {
        EVP_CIPHER_free(m_cipher);
        if (m_default)
            OSSL_PROVIDER_unload(m_default);
        if (m_legacy)
            OSSL_PROVIDER_unload(m_legacy);
        OSSL_LIB_CTX_free(m_context);
    }
    BlowfishProvider(const BlowfishProvider &) = delete;
    BlowfishProvider &operator=(const BlowfishProvider &) = delete;

    const EVP_CIPHER *cipher() const { return m_cipher; }

private:
    OSSL_LIB_CTX *m_context = nullptr;
    OSSL_PROVIDER *m_legacy = nullptr;
    OSSL_PROVIDER *m_default = nullptr;
    EVP_CIPHER *m_cipher = nullptr;
};

const EVP_CIPHER *blowfishEcb()
{
    static BlowfishProvider provider;
    return provider.cipher();
}

bool isUpperOrLowerHex(const QByteArray &text)
{
    for (char c : text) {
        const bool digit = c >= '0' && c <= '9';
        const bool letter = (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
        if (!digit && !letter)
            return false;
    }
    return true;
}

} // namespace

BlowfishCipher::BlowfishCipher(const QByteArray &key)
    : m_key(key)
{
}

std::optional<QByteArray> BlowfishCipher::encryptToHex(const QByteArray &plain) const
{
    QByteArray padded = plain;
    if (padded.size() % BlockSize)
        padded.append(BlockSize - padded.size() % BlockSize, '\0');
    const auto cipherBytes = run(padded, true);
    if (!cipherBytes)
        return std::nullopt;
    return cipherBytes->toHex().toUpper();
}

std::optional<QByteArray> BlowfishCipher::decryptFromHex(const QByteArray &hex) const
{
    if (hex.size() % (2 * BlockSize) || !isUpperOrLowerHex(hex))
        return std::nullopt;
    auto plain = run(QByteArray::fromHex(hex), false);
    if (!plain)
        return std::nullopt;
    const qsizetype end = plain->indexOf('\0');
    if (end >= 0)
        plain->truncate(end);
    return plain;
}

std::optional<QByteArray> BlowfishCipher::run(const QByteArray &input, bool encrypt) const
{
    const EVP_CIPHER *cipher = blowfishEcb();
    if (!cipher || m_key.size() < 4 || m_key.size() > 56)
        return std::nullopt;
    std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> ctx(EVP_CIPHER_CTX_new(),
                                                                        &EVP_CIPHER_CTX_free);
    if (!ctx)
        return std::nullopt;
    const int enc = encrypt ? 1 : 0;
    // The key length must be set before the key: Blowfish's default is 16 bytes.
    if (EVP_CipherInit_ex2(ctx.get(), cipher, nullptr, nullptr, enc, nullptr) != 1
        || EVP_CIPHER_CTX_set_key_length(ctx.get(), int(m_key.size())) != 1
        || EVP_CipherInit_ex2(ctx.get(), nullptr, reinterpret_cast<const unsigned char *>(m_key.constData()),
                              nullptr, enc, nullptr) != 1
        || EVP_CIPHER_CTX_set_padding(ctx.get(), 0) != 1)
        return std::nullopt;

    QByteArray output(input.size() + BlockSize, '\0');
    int written = 0;
    int finalWritten = 0;
    auto *out = reinterpret_cast<unsigned char *>(output.data());
    if (EVP_CipherUpdate(ctx.get(), out, &written, reinterpret_cast<const unsigned char *>(input.constData()),
                         int(input.size())) != 1
        || EVP_CipherFinal_ex(ctx.get(), out + written, &finalWritten) != 1)
        return std::nullopt;
    output.truncate(written + finalWritten);
    return output;
}
