// AES encryption of ZIP entries: key derivation, the password verifier, CTR mode and the authentication code.
#include "archive/crypto/WinZipAes.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace velmora {

namespace {
constexpr unsigned kRounds = 1000;

void ReadFully(ByteSource& source, unsigned char* data, std::size_t size)
{
    for (std::size_t got = 0; got < size;) {
        const std::size_t n = source.Read(data + got, size - got);
        if (n == 0) {
            throw DecodeError("archive ends inside an entry");
        }
        got += n;
    }
}
} // namespace

std::optional<AesExtraField> FindAesExtra(std::string_view extra)
{
    const auto* x = reinterpret_cast<const unsigned char*>(extra.data());
    for (std::size_t p = 0; p + 4 <= extra.size();) {
        const unsigned id = x[p] | (x[p + 1] << 8);
        const std::size_t len = x[p + 2] | (x[p + 3] << 8);
        if (p + 4 + len > extra.size()) {
            return std::nullopt;
        }
        if (id == kAesExtraId) {
            const unsigned char* f = x + p + 4;
            if (len < 7 || f[2] != 'A' || f[3] != 'E') {
                return std::nullopt;
            }
            AesExtraField field;
            field.version = static_cast<std::uint16_t>(f[0] | (f[1] << 8));
            field.strength = f[4];
            field.method = static_cast<std::uint16_t>(f[5] | (f[6] << 8));
            if ((field.version != 1 && field.version != 2) || field.strength < 1 || field.strength > 3) {
                return std::nullopt;
            }
            return field;
        }
        p += 4 + len;
    }
    return std::nullopt;
}

std::string MakeAesExtra(const AesExtraField& field)
{
    const unsigned char bytes[11] = {0x01,
                                     0x99,
                                     7,
                                     0,
                                     static_cast<unsigned char>(field.version & 0xFF),
                                     static_cast<unsigned char>(field.version >> 8),
                                     'A',
                                     'E',
                                     field.strength,
                                     static_cast<unsigned char>(field.method & 0xFF),
                                     static_cast<unsigned char>(field.method >> 8)};
    return std::string(reinterpret_cast<const char*>(bytes), sizeof bytes);
}

std::size_t AesKeySize(std::uint8_t strength)
{
    return 8 + 8 * static_cast<std::size_t>(strength);
}

std::size_t AesSaltSize(std::uint8_t strength)
{
    return 4 + 4 * static_cast<std::size_t>(strength);
}

AesKeys DeriveAesKeys(std::string_view password, const unsigned char* salt, std::uint8_t strength)
{
    AesKeys keys;
    keys.strength = strength;
    std::memcpy(keys.salt, salt, AesSaltSize(strength));
    crypto::Pbkdf2HmacSha1(password, salt, AesSaltSize(strength), kRounds, keys.bytes,
                           2 * AesKeySize(strength) + kAesVerifierSize);
    return keys;
}

bool AesKeys::Open(const unsigned char* head) const
{
    const std::size_t saltSize = AesSaltSize(strength);
    return std::memcmp(salt, head, saltSize) == 0 && std::memcmp(Verifier(), head + saltSize, kAesVerifierSize) == 0;
}

WinZipAesCipher::WinZipAesCipher(const AesKeys& keys)
{
    const std::size_t keySize = AesKeySize(keys.strength);
    m_aes.emplace(keys.bytes, keySize);
    m_hmac.emplace(keys.bytes + keySize, keySize);
}

WinZipAesCipher::WinZipAesCipher(std::string_view password, const unsigned char* salt, std::uint8_t strength,
                                 unsigned char verifier[kAesVerifierSize])
{
    const AesKeys keys = DeriveAesKeys(password, salt, strength);
    const std::size_t keySize = AesKeySize(strength);
    m_aes.emplace(keys.bytes, keySize);
    m_hmac.emplace(keys.bytes + keySize, keySize);
    std::memcpy(verifier, keys.Verifier(), kAesVerifierSize);
}

void WinZipAesCipher::Xor(unsigned char* data, std::size_t size)
{
    while (size > 0) {
        if (m_streamPos == sizeof m_stream) {
            // The next counter blocks: a 128-bit little-endian number, the first being 1.
            unsigned char counters[sizeof m_stream] = {};
            for (std::size_t b = 0; b < sizeof m_stream / 16; ++b) {
                const std::uint64_t value = ++m_counter;
                for (int i = 0; i < 8; ++i) {
                    counters[b * 16 + i] = static_cast<unsigned char>(value >> (8 * i));
                }
            }
            m_aes->EncryptBlocks(counters, m_stream, sizeof m_stream / 16);
            m_streamPos = 0;
        }
        const std::size_t n = std::min(size, sizeof m_stream - m_streamPos);
        const unsigned char* key = m_stream + m_streamPos;
        for (std::size_t i = 0; i < n; ++i) {
            data[i] ^= key[i];
        }
        data += n;
        size -= n;
        m_streamPos += n;
    }
}

void WinZipAesCipher::Encrypt(unsigned char* data, std::size_t size)
{
    Xor(data, size);
    m_hmac->Update(data, size);
}

void WinZipAesCipher::Decrypt(unsigned char* data, std::size_t size)
{
    m_hmac->Update(data, size);
    Xor(data, size);
}

void WinZipAesCipher::Mac(unsigned char out[kAesMacSize])
{
    unsigned char full[crypto::HmacSha1::kSize];
    m_hmac->Final(full);
    std::memcpy(out, full, kAesMacSize);
}

AesDecryptingSource::AesDecryptingSource(ByteSource& raw, std::uint64_t rawSize, std::uint8_t strength,
                                         std::string_view password)
    : m_raw(raw)
{
    Start(rawSize, strength, password, nullptr);
}

AesDecryptingSource::AesDecryptingSource(ByteSource& raw, std::uint64_t rawSize, const AesKeys& keys) : m_raw(raw)
{
    Start(rawSize, keys.strength, {}, &keys);
}

void AesDecryptingSource::Start(std::uint64_t rawSize, std::uint8_t strength, std::string_view password,
                                const AesKeys* keys)
{
    if (rawSize < AesOverhead(strength)) {
        throw DecodeError("damaged encryption header");
    }
    unsigned char head[16 + kAesVerifierSize];
    ReadFully(m_raw, head, AesSaltSize(strength) + kAesVerifierSize);
    std::optional<AesKeys> derived;
    if (!keys) {
        derived = DeriveAesKeys(password, head, strength);
        keys = &*derived;
    }
    if (!keys->Open(head)) {
        throw WrongPasswordError("wrong password");
    }
    m_cipher.emplace(*keys);
    m_left = rawSize - AesOverhead(strength);
}

std::size_t AesDecryptingSource::Read(unsigned char* data, std::size_t size)
{
    if (m_left == 0) {
        Finish();
        return 0;
    }
    const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(size, m_left));
    const std::size_t n = m_raw.Read(data, want);
    if (n == 0) {
        throw DecodeError("archive ends inside an entry");
    }
    m_left -= n;
    m_cipher->Decrypt(data, n);
    return n;
}

void AesDecryptingSource::Finish()
{
    if (m_checked) {
        return;
    }
    std::vector<unsigned char> rest(64u << 10);
    while (m_left > 0) {
        const std::size_t n =
            m_raw.Read(rest.data(), static_cast<std::size_t>(std::min<std::uint64_t>(rest.size(), m_left)));
        if (n == 0) {
            throw DecodeError("archive ends inside an entry");
        }
        m_cipher->Decrypt(rest.data(), n);
        m_left -= n;
    }
    unsigned char stored[kAesMacSize];
    ReadFully(m_raw, stored, kAesMacSize);
    unsigned char computed[kAesMacSize];
    m_cipher->Mac(computed);
    m_checked = true;
    if (std::memcmp(stored, computed, kAesMacSize) != 0) {
        throw WrongPasswordError("wrong password or damaged data (authentication code mismatch)");
    }
}

} // namespace velmora
