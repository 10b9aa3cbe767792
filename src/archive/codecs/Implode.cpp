#include "archive/codecs/Implode.h"

#include "archive/codecs/LsbBitInput.h"
#include "archive/codecs/WindowedOutput.h"

#include <array>

namespace velmora {

namespace {

using codecs::Damaged;

constexpr unsigned kMaxLength = 16;

// A Shannon-Fano tree. Its codes are those of the canonical code of the same lengths
// (shorter codes first, equal lengths in symbol order) with every bit inverted, sent
// first bit first; the tree must be complete.
class Tree {
public:
    // The stored form: a byte giving the number of following bytes less one; each byte
    // gives a code length (low four bits, less one) for a run of symbols (high four bits,
    // less one).
    void Read(codecs::LsbBitInput& bits, unsigned symbols)
    {
        std::array<std::uint8_t, 256> lengths{};
        const unsigned runs = bits.Take(8) + 1;
        unsigned filled = 0;
        for (unsigned i = 0; i < runs; ++i) {
            const unsigned byte = bits.Take(8);
            const unsigned length = (byte & 0x0F) + 1;
            const unsigned run = (byte >> 4) + 1;
            if (filled + run > symbols) {
                Damaged("tree has too many codes");
            }
            for (unsigned k = 0; k < run; ++k) {
                lengths[filled++] = static_cast<std::uint8_t>(length);
            }
        }
        if (filled != symbols) {
            Damaged("tree has too few codes");
        }
        m_count.fill(0);
        for (unsigned s = 0; s < symbols; ++s) {
            ++m_count[lengths[s]];
        }
        int left = 1;
        for (unsigned length = 1; length <= kMaxLength; ++length) {
            left = left * 2 - m_count[length];
            if (left < 0) {
                Damaged("over-subscribed tree");
            }
        }
        if (left != 0) {
            Damaged("incomplete tree");
        }
        std::array<std::uint16_t, kMaxLength + 2> offset{};
        for (unsigned length = 1; length <= kMaxLength; ++length) {
            offset[length + 1] = static_cast<std::uint16_t>(offset[length] + m_count[length]);
        }
        for (unsigned s = 0; s < symbols; ++s) {
            m_symbol[offset[lengths[s]]++] = static_cast<std::uint8_t>(s);
        }
    }

    unsigned Decode(codecs::LsbBitInput& bits) const
    {
        // Canonical decoding one bit at a time, so no bit past the last code is needed.
        unsigned code = 0;
        unsigned first = 0;
        unsigned index = 0;
        for (unsigned length = 1; length <= kMaxLength; ++length) {
            code |= bits.Take(1) ^ 1u;
            const unsigned count = m_count[length];
            if (code - first < count) {
                return m_symbol[index + code - first];
            }
            index += count;
            first = (first + count) << 1;
            code <<= 1;
        }
        Damaged("invalid code"); // not reached with a complete tree
    }

private:
    std::array<std::uint16_t, kMaxLength + 1> m_count{};
    std::array<std::uint8_t, 256> m_symbol{};
};

class ImplodeDecoder final : public ByteSource {
public:
    ImplodeDecoder(std::uint16_t flags, ByteSource& packed, std::uint64_t declared)
        : m_packed(packed), m_bits(packed), m_out(declared), m_lowBits((flags & 0x02) ? 7 : 6),
          m_literalTree((flags & 0x04) != 0), m_minMatch(m_literalTree ? 3 : 2)
    {}

    std::size_t Read(unsigned char* data, std::size_t size) override
    {
        if (!m_started && !m_out.Full()) {
            if (m_literalTree) {
                m_literals.Read(m_bits, 256);
            }
            m_lengths.Read(m_bits, 64);
            m_distances.Read(m_bits, 64);
            m_started = true;
        }
        return m_out.Fill(data, size, [this](unsigned char* out) { return Next(out); });
    }

    void Finish() override { m_packed.Finish(); }

private:
    // Writes a literal to out (returning 1) or starts a copy (returning 0).
    std::size_t Next(unsigned char* out)
    {
        if (m_bits.Take(1) == 1) {
            *out = m_out.Literal(static_cast<std::uint8_t>(m_literalTree ? m_literals.Decode(m_bits) : m_bits.Take(8)));
            return 1;
        }
        const unsigned low = m_bits.Take(m_lowBits);
        const unsigned distance = ((m_distances.Decode(m_bits) << m_lowBits) | low) + 1;
        unsigned length = m_lengths.Decode(m_bits);
        if (length == 63) {
            length += m_bits.Take(8);
        }
        length += m_minMatch;
        m_out.StartCopy(length, distance);
        return 0;
    }

    ByteSource& m_packed;
    codecs::LsbBitInput m_bits;
    codecs::WindowedOutput m_out;
    unsigned m_lowBits;
    bool m_literalTree;
    unsigned m_minMatch;
    bool m_started = false;
    Tree m_literals;
    Tree m_lengths;
    Tree m_distances;
};

} // namespace

std::unique_ptr<ByteSource> MakeImplodeDecoder(std::uint16_t flags, ByteSource& packed, std::uint64_t declaredSize)
{
    return std::make_unique<ImplodeDecoder>(flags, packed, declaredSize);
}

} // namespace velmora
