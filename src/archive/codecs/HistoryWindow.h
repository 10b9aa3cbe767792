#pragma once
// The output history of the sliding-window methods (Reduce, Implode): the last 8 KiB
// produced, reading as zeros before the first byte, as those methods define it.
#include <array>
#include <cstddef>
#include <cstdint>

namespace velmora::codecs {

class HistoryWindow {
public:
    static constexpr std::size_t kSize = 8192; // the farthest any of these methods reaches back

    void Put(std::uint8_t byte) { m_bytes[m_pos++ & (kSize - 1)] = byte; }
    // The byte distance (1..kSize) back from the next position.
    std::uint8_t Back(std::size_t distance) const { return m_bytes[(m_pos - distance) & (kSize - 1)]; }

private:
    std::array<std::uint8_t, kSize> m_bytes{};
    std::size_t m_pos = 0;
};

} // namespace velmora::codecs
