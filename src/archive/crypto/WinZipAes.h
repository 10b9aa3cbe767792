#pragma once
// WinZip's AES encryption of ZIP entries (AE-1 and AE-2, 128/192/256-bit keys).
// An entry's data is: salt (8, 12 or 16 bytes), a 2-byte password verifier, the
// encrypted data, and the first 10 bytes of an HMAC-SHA1 over the encrypted data. The
// keys come from PBKDF2-HMAC-SHA1 (1000 rounds) of the password and the salt; the data
// is AES in counter mode with a little-endian counter starting at 1. The real
// compression method sits in the 0x9901 extra field; AE-2 entries store no CRC, so
// the HMAC is their only integrity check.
#include "archive/codecs/EntryDecoder.h"
#include "platform/CryptoPrimitives.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>

namespace velmora {

// The password does not fit the entry (verifier or authentication code).
class WrongPasswordError : public DecodeError {
public:
    using DecodeError::DecodeError;
};

struct AesExtraField {
    std::uint16_t version = 2; // 1: AE-1 (CRC kept), 2: AE-2 (no CRC)
    std::uint8_t strength = 3; // 1: 128, 2: 192, 3: 256 bits
    std::uint16_t method = 0;  // the real compression method
};

inline constexpr std::uint16_t kAesExtraId = 0x9901;
inline constexpr std::size_t kAesVerifierSize = 2;
inline constexpr std::size_t kAesMacSize = 10;

// Finds and checks the 0x9901 field in an extra-field block; nullopt when absent or malformed.
std::optional<AesExtraField> FindAesExtra(std::string_view extra);
// The 11-byte field itself.
std::string MakeAesExtra(const AesExtraField& field);

std::size_t AesKeySize(std::uint8_t strength);  // 16, 24, 32
std::size_t AesSaltSize(std::uint8_t strength); // 8, 12, 16
// Bytes an AES entry's data carries besides the encrypted data.
inline std::size_t AesOverhead(std::uint8_t strength)
{
    return AesSaltSize(strength) + kAesVerifierSize + kAesMacSize;
}

// What PBKDF2 makes of a password and an entry's salt: the encryption key, the
// authentication key and the 2-byte password verifier, in that order, with the salt they
// were made from. Deriving them is the costly part of opening an entry, so it is done once
// per entry and may be done ahead on another thread.
struct AesKeys {
    std::uint8_t strength = 0;
    unsigned char salt[16] = {};
    unsigned char bytes[2 * 32 + kAesVerifierSize] = {};
    AesKeys() = default;
    AesKeys(const AesKeys&) = default;
    AesKeys& operator=(const AesKeys&) = default;
    ~AesKeys() { std::fill(std::begin(bytes), std::end(bytes), 0); }
    const unsigned char* Verifier() const { return bytes + 2 * AesKeySize(strength); }
    // True when these keys were made from salt and match the verifier stored after it
    // (head holds the salt, then the verifier).
    bool Open(const unsigned char* head) const;
};

AesKeys DeriveAesKeys(std::string_view password, const unsigned char* salt, std::uint8_t strength);

// Counter-mode cipher and running HMAC, shared by reading and writing.
class WinZipAesCipher {
public:
    // Derives the keys; verifier receives the 2 check bytes.
    WinZipAesCipher(std::string_view password, const unsigned char* salt, std::uint8_t strength,
                    unsigned char verifier[kAesVerifierSize]);
    explicit WinZipAesCipher(const AesKeys& keys);
    void Encrypt(unsigned char* data, std::size_t size); // HMAC over the result
    void Decrypt(unsigned char* data, std::size_t size); // HMAC over the input
    void Mac(unsigned char out[kAesMacSize]);

private:
    void Xor(unsigned char* data, std::size_t size);
    std::optional<crypto::AesBlockEncryptor> m_aes;
    std::optional<crypto::HmacSha1> m_hmac;
    std::uint64_t m_counter = 0;
    unsigned char m_stream[4096];
    std::size_t m_streamPos = sizeof m_stream;
};

// The cipher layer of the reader: pulls one AES entry's data (salt to HMAC, exactly
// rawSize bytes) from raw and hands out the plain (still compressed) bytes. The
// constructor checks the password verifier and throws WrongPasswordError; the HMAC is
// checked when the data has been read to its end (Finish reads what the decoder left)
// and a mismatch throws WrongPasswordError too, since a wrong password that passes the
// 2-byte verifier looks exactly like damaged data.
class AesDecryptingSource : public ByteSource {
public:
    AesDecryptingSource(ByteSource& raw, std::uint64_t rawSize, std::uint8_t strength, std::string_view password);
    // With keys derived already (from the same salt, which is checked again).
    AesDecryptingSource(ByteSource& raw, std::uint64_t rawSize, const AesKeys& keys);
    std::size_t Read(unsigned char* data, std::size_t size) override;
    void Finish() override;

private:
    // Reads the salt and verifier and readies the cipher with keys (derived from password
    // when keys is null); throws WrongPasswordError when they do not open the entry.
    void Start(std::uint64_t rawSize, std::uint8_t strength, std::string_view password, const AesKeys* keys);

    ByteSource& m_raw;
    std::uint64_t m_left = 0;
    std::optional<WinZipAesCipher> m_cipher;
    bool m_checked = false;
};

} // namespace velmora
