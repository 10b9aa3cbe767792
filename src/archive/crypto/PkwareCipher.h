#pragma once
// The traditional PKWARE stream cipher of ZIP entries (three 32-bit keys).
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace velmora::archive {

class PkwareCipher {
public:
    explicit PkwareCipher(std::string_view passwordBytes);
    void Encrypt(unsigned char* data, std::size_t size);
    void Decrypt(unsigned char* data, std::size_t size);

private:
    void Update(unsigned char plain);
    unsigned char KeyByte() const
    {
        const std::uint32_t t = (m_key2 | 2u) & 0xFFFFu;
        return static_cast<unsigned char>((t * (t ^ 1u)) >> 8);
    }
    std::uint32_t m_key0 = 0x12345678u;
    std::uint32_t m_key1 = 0x23456789u;
    std::uint32_t m_key2 = 0x34567890u;
};

// The bytes a password is keyed with: Windows-1252 when it can be written there,
// otherwise its UTF-8 bytes.
std::string PasswordBytes(std::string_view utf8Password);

} // namespace velmora::archive
