#pragma once
// Helpers of the archive tests: a fixed random source and raw access to archive bytes.
#include "TestSupport.h"
#include "platform/IRandomSource.h"

#include <cstdint>
#include <string>

namespace velmora::test {

// Deterministic "random" bytes: 0x11, 0x12, 0x13, ...
class CountingRandom final : public IRandomSource {
public:
    void Fill(std::span<std::uint8_t> out) override
    {
        for (std::uint8_t& b : out)
            b = m_next++;
    }

private:
    std::uint8_t m_next = 0x11;
};

inline std::uint16_t Le16(const std::string& s, std::size_t at)
{
    return static_cast<std::uint16_t>(static_cast<unsigned char>(s[at]) | (static_cast<unsigned char>(s[at + 1]) << 8));
}
inline std::uint32_t Le32(const std::string& s, std::size_t at)
{
    return static_cast<std::uint32_t>(Le16(s, at)) | (static_cast<std::uint32_t>(Le16(s, at + 2)) << 16);
}

} // namespace velmora::test
