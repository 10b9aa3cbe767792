#pragma once
// Bits of a packed source, least significant bit of each byte first, as the oldest ZIP
// methods store them. Bytes are taken from the source only as bits are asked for, so a
// stream that ends on its last code never needs a byte it does not have.
#include "archive/codecs/EntryDecoder.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace velmora::codecs {

[[noreturn]] inline void Damaged(const char* what)
{
    throw DecodeError(std::string("damaged compressed data (") + what + ")");
}

[[noreturn]] inline void TooLarge()
{
    throw DecodeError("entry is larger than its declared size");
}

class LsbBitInput {
public:
    explicit LsbBitInput(ByteSource& source) : m_source(source), m_buffer(1u << 16) {}

    // Takes n bits (at most 24) into value; false, taking nothing, when the data ends first.
    bool TryTake(unsigned n, std::uint32_t& value)
    {
        while (m_count < n) {
            if (m_pos == m_size && !Refill()) {
                return false;
            }
            m_bits |= static_cast<std::uint32_t>(m_buffer[m_pos++]) << m_count;
            m_count += 8;
        }
        value = m_bits & ((std::uint32_t{1} << n) - 1);
        m_bits >>= n;
        m_count -= n;
        return true;
    }

    // Takes n bits; the data ending first is damage.
    std::uint32_t Take(unsigned n)
    {
        std::uint32_t value = 0;
        if (!TryTake(n, value)) {
            Damaged("ends early");
        }
        return value;
    }

private:
    bool Refill()
    {
        if (m_ended) {
            return false;
        }
        m_size = m_source.Read(m_buffer.data(), m_buffer.size());
        m_pos = 0;
        m_ended = m_size == 0;
        return !m_ended;
    }

    ByteSource& m_source;
    std::vector<unsigned char> m_buffer;
    std::size_t m_pos = 0;
    std::size_t m_size = 0;
    bool m_ended = false;
    std::uint32_t m_bits = 0;
    unsigned m_count = 0;
};

} // namespace velmora::codecs
