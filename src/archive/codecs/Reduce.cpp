#include "archive/codecs/Reduce.h"

#include "archive/codecs/LsbBitInput.h"
#include "archive/codecs/WindowedOutput.h"

#include <array>

namespace velmora {

namespace {

using codecs::Damaged;

constexpr std::uint8_t kDle = 144;
constexpr unsigned kMaxFollowers = 32;

// Bits of an index into a follower set of n bytes (n >= 1).
unsigned IndexBits(unsigned n)
{
    unsigned bits = 1;
    while ((1u << bits) < n) {
        ++bits;
    }
    return bits;
}

class ReduceDecoder final : public ByteSource {
public:
    ReduceDecoder(unsigned factor, ByteSource& packed, std::uint64_t declared)
        : m_packed(packed), m_bits(packed), m_out(declared), m_factor(factor)
    {}

    std::size_t Read(unsigned char* data, std::size_t size) override
    {
        if (!m_started && !m_out.Full()) {
            ReadFollowerSets();
            m_started = true;
        }
        return m_out.Fill(data, size, [this](unsigned char* out) { return Expand(out); });
    }

    void Finish() override { m_packed.Finish(); }

private:
    // For each byte from 255 down to 0: a 6-bit count, then that many 8-bit followers.
    void ReadFollowerSets()
    {
        for (int byte = 255; byte >= 0; --byte) {
            const unsigned count = m_bits.Take(6);
            if (count > kMaxFollowers) {
                Damaged("follower set larger than 32");
            }
            m_count[byte] = static_cast<std::uint8_t>(count);
            for (unsigned i = 0; i < count; ++i) {
                m_followers[byte][i] = static_cast<std::uint8_t>(m_bits.Take(8));
            }
        }
    }

    // The next byte of the repeated-string layer.
    std::uint8_t NextByte()
    {
        const unsigned count = m_count[m_last];
        if (count == 0 || m_bits.Take(1) == 1) {
            m_last = static_cast<std::uint8_t>(m_bits.Take(8));
        } else {
            const unsigned index = m_bits.Take(IndexBits(count));
            if (index >= count) {
                Damaged("follower index out of range");
            }
            m_last = m_followers[m_last][index];
        }
        return m_last;
    }

    // Takes bytes of the repeated-string layer until one is written to out (returns 1)
    // or a copy is set up (returns 0).
    std::size_t Expand(unsigned char* out)
    {
        for (;;) {
            const std::uint8_t c = NextByte();
            switch (m_state) {
            case 0:
                if (c != kDle) {
                    return Literal(c, out);
                }
                m_state = 1;
                break;
            case 1:
                if (c == 0) {
                    m_state = 0;
                    return Literal(kDle, out);
                }
                m_v = c;
                m_length = c & LengthMask();
                m_state = m_length == LengthMask() ? 2 : 3;
                break;
            case 2:
                m_length += c;
                m_state = 3;
                break;
            default: {
                const std::size_t distance = ((m_v >> (8 - m_factor)) << 8) + c + 1;
                const std::uint64_t length = m_length + 3u;
                m_out.StartCopy(length, distance);
                m_state = 0;
                return 0;
            }
            }
        }
    }

    unsigned LengthMask() const { return 0x7Fu >> (m_factor - 1); }

    std::size_t Literal(std::uint8_t byte, unsigned char* out)
    {
        *out = m_out.Literal(byte);
        return 1;
    }

    ByteSource& m_packed;
    codecs::LsbBitInput m_bits;
    codecs::WindowedOutput m_out;
    unsigned m_factor;
    bool m_started = false;
    std::array<std::uint8_t, 256> m_count{};
    std::array<std::array<std::uint8_t, kMaxFollowers>, 256> m_followers{};
    std::uint8_t m_last = 0;
    int m_state = 0;
    unsigned m_v = 0;
    unsigned m_length = 0;
};

} // namespace

std::unique_ptr<ByteSource> MakeReduceDecoder(unsigned factor, ByteSource& packed, std::uint64_t declaredSize)
{
    return std::make_unique<ReduceDecoder>(factor, packed, declaredSize);
}

} // namespace velmora
