#pragma once
// Helpers of the archive tests: a fixed random source and raw access to archive bytes.
#include "TestSupport.h"
#include "platform/IRandomSource.h"

#include <cstdint>
#include <functional>
#include <random>
#include <string>

namespace velmora::test {

// Deterministic "random" bytes: 0x11, 0x12, 0x13, ...
class CountingRandom final : public IRandomSource {
public:
    Result<void> Fill(std::span<std::uint8_t> out) override
    {
        for (std::uint8_t& b : out)
            b = m_next++;
        return Ok();
    }

private:
    std::uint8_t m_next = 0x11;
};

// n bytes from gen, which goes on from where they end (so one generator can fill several
// files of a fixture in turn).
inline std::string RandomBytes(std::mt19937& gen, std::size_t n)
{
    std::string bytes(n, '\0');
    for (char& c : bytes)
        c = static_cast<char>(gen());
    return bytes;
}
inline std::string RandomBytes(std::size_t n, unsigned seed = 7)
{
    std::mt19937 gen(seed);
    return RandomBytes(gen, n);
}

inline std::uint16_t Le16(const std::string& s, std::size_t at)
{
    return static_cast<std::uint16_t>(static_cast<unsigned char>(s[at]) | (static_cast<unsigned char>(s[at + 1]) << 8));
}
inline std::uint32_t Le32(const std::string& s, std::size_t at)
{
    return static_cast<std::uint32_t>(Le16(s, at)) | (static_cast<std::uint32_t>(Le16(s, at + 2)) << 16);
}
inline void PutLe16(std::string& s, std::size_t at, std::uint16_t v)
{
    s[at] = static_cast<char>(v & 0xFF);
    s[at + 1] = static_cast<char>(v >> 8);
}
inline void PutLe32(std::string& s, std::size_t at, std::uint32_t v)
{
    PutLe16(s, at, static_cast<std::uint16_t>(v & 0xFFFF));
    PutLe16(s, at + 2, static_cast<std::uint16_t>(v >> 16));
}

// Calls visit(name, central header offset, local header offset) for each entry of a small
// archive (no Zip64, no archive comment), so that a test can change one entry's fields.
inline void ForEachEntry(const std::string& zip,
                         const std::function<void(const std::string&, std::size_t, std::size_t)>& visit)
{
    const std::size_t end = zip.size() - 22;
    std::size_t at = Le32(zip, end + 16);
    for (unsigned n = Le16(zip, end + 10); n > 0; --n) {
        const std::size_t nameLength = Le16(zip, at + 28);
        visit(zip.substr(at + 46, nameLength), at, Le32(zip, at + 42));
        at += 46 + nameLength + Le16(zip, at + 30) + Le16(zip, at + 32);
    }
}

// Marks the entry name of a small archive (as ForEachEntry reads it) as compressed with
// method, in its local and its central header.
inline void SetEntryMethod(std::string& zip, const std::string& name, std::uint16_t method)
{
    ForEachEntry(zip, [&](const std::string& entry, std::size_t central, std::size_t local) {
        if (entry != name) return;
        PutLe16(zip, central + 10, method);
        PutLe16(zip, local + 8, method);
    });
}

} // namespace velmora::test
