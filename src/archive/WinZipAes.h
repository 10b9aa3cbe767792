#pragma once
// WinZip's AES encryption of ZIP entries (AE-1 and AE-2, 128/192/256-bit keys).
// An entry's data is: salt (8, 12 or 16 bytes), a 2-byte password verifier, the
// encrypted data, and the first 10 bytes of an HMAC-SHA1 over the encrypted data. The
// keys come from PBKDF2-HMAC-SHA1 (1000 rounds) of the password and the salt; the data
// is AES in counter mode with a little-endian counter starting at 1. The real
// compression method sits in the 0x9901 extra field; AE-2 entries store no CRC, so
// the HMAC is their only integrity check.
#include "archive/CryptoPrimitives.h"
#include "archive/EntryDecoder.h"

#include <cstdint>
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

// Counter-mode cipher and running HMAC, shared by reading and writing.
class WinZipAesCipher {
public:
    // Derives the keys; verifier receives the 2 check bytes.
    WinZipAesCipher(std::string_view password, const unsigned char* salt, std::uint8_t strength,
                    unsigned char verifier[kAesVerifierSize]);
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
    std::size_t Read(unsigned char* data, std::size_t size) override;
    void Finish() override;

private:
    ByteSource& m_raw;
    std::uint64_t m_left = 0;
    std::optional<WinZipAesCipher> m_cipher;
    bool m_checked = false;
};

// True when password opens an AES entry whose data starts with head (salt and verifier).
bool AesPasswordMatches(std::string_view password, const unsigned char* head, std::uint8_t strength);

} // namespace velmora
