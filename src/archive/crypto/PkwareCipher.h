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
    // The three keys. Encrypt and Decrypt copy them into a local while a buffer is worked on:
    // the data are bytes, which may alias anything, so keys kept in members would be stored
    // and loaded again for every byte.
    struct Keys {
        std::uint32_t key0 = 0x12345678u;
        std::uint32_t key1 = 0x23456789u;
        std::uint32_t key2 = 0x34567890u;

        unsigned char Mask() const;
        void Update(unsigned char plain);
    };
    Keys m_keys;
};

// The bytes a password is keyed with: Windows-1252 when it can be written there,
// otherwise its UTF-8 bytes.
std::string PasswordBytes(std::string_view utf8Password);

} // namespace velmora::archive
