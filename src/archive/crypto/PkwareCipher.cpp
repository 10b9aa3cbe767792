// The traditional PKWARE stream cipher of ZIP entries.
#include "archive/crypto/PkwareCipher.h"

#include "common/CodePages.h"

#include <array>
#include <string>

namespace velmora::archive {

namespace {
constexpr std::array<std::uint32_t, 256> MakeCrcTable()
{
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int k = 0; k < 8; ++k) {
            c = (c & 1u) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        }
        table[n] = c;
    }
    return table;
}
constexpr std::array<std::uint32_t, 256> kCrcTable = MakeCrcTable();

inline std::uint32_t CrcByte(std::uint32_t crc, unsigned char b)
{
    return kCrcTable[(crc ^ b) & 0xFFu] ^ (crc >> 8);
}

} // namespace

unsigned char PkwareCipher::Keys::Mask() const
{
    const std::uint32_t t = (key2 | 2u) & 0xFFFFu;
    return static_cast<unsigned char>((t * (t ^ 1u)) >> 8);
}

void PkwareCipher::Keys::Update(unsigned char plain)
{
    key0 = CrcByte(key0, plain);
    key1 = (key1 + (key0 & 0xFFu)) * 134775813u + 1u;
    key2 = CrcByte(key2, static_cast<unsigned char>(key1 >> 24));
}

PkwareCipher::PkwareCipher(std::string_view passwordBytes)
{
    for (char c : passwordBytes) {
        m_keys.Update(static_cast<unsigned char>(c));
    }
}

void PkwareCipher::Encrypt(unsigned char* data, std::size_t size)
{
    Keys keys = m_keys;
    for (std::size_t i = 0; i < size; ++i) {
        const unsigned char plain = data[i];
        data[i] = static_cast<unsigned char>(plain ^ keys.Mask());
        keys.Update(plain);
    }
    m_keys = keys;
}

void PkwareCipher::Decrypt(unsigned char* data, std::size_t size)
{
    Keys keys = m_keys;
    for (std::size_t i = 0; i < size; ++i) {
        const unsigned char plain = static_cast<unsigned char>(data[i] ^ keys.Mask());
        data[i] = plain;
        keys.Update(plain);
    }
    m_keys = keys;
}

std::string PasswordBytes(std::string_view utf8Password)
{
    if (auto ansi = EncodeCodePage(CodePage::Ansi1252, utf8Password)) {
        return *ansi;
    }
    return std::string(utf8Password);
}

} // namespace velmora::archive
