#pragma once
// The fuzz input as a byte source that hands it out in small, uneven pieces, so that the
// decoders' refill paths are reached: a piece is at most 1 + (position * step) % cycle bytes.
#include "archive/codecs/EntryDecoder.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace velmora::fuzz {

class PiecewiseSource : public ByteSource {
public:
    PiecewiseSource(const std::uint8_t* data, std::size_t size, std::size_t step, std::size_t cycle)
        : m_data(data), m_size(size), m_step(step), m_cycle(cycle)
    {}
    std::size_t Read(unsigned char* out, std::size_t size) override
    {
        const std::size_t n = std::min({size, m_size - m_pos, std::size_t{1} + (m_pos * m_step) % m_cycle});
        if (n == 0) return 0;
        std::memcpy(out, m_data + m_pos, n);
        m_pos += n;
        return n;
    }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_step;
    std::size_t m_cycle;
    std::size_t m_pos = 0;
};

} // namespace velmora::fuzz
