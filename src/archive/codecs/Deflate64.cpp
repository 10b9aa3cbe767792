// Inflate for Deflate64 (and, with the same code, plain deflate for cross-checks).
// Deflate64 differs from deflate in three places only: a 64 KiB window, length code
// 285 meaning 3 + a 16-bit extra value instead of 258, and distance codes 30 and 31
// (32769 and 49153, each with 14 extra bits).
#include "archive/codecs/Deflate64.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace velmora {

namespace {

constexpr unsigned kMaxBits = 15;
constexpr unsigned kFastBits = 10;
constexpr std::size_t kWindow = 65536;
constexpr std::size_t kFlushAt = kWindow + (1u << 20);
constexpr std::size_t kMaxMatch = 3 + 65535;

constexpr std::uint16_t kLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                           31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                           2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::uint32_t kDistBase[32] = {1,    2,    3,    4,    5,    7,     9,     13,    17,    25,   33,
                                         49,   65,   97,   129,  193,  257,   385,   513,   769,   1025, 1537,
                                         2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577, 32769, 49153};
constexpr std::uint8_t kDistExtra[32] = {0, 0, 0, 0, 1, 1, 2,  2,  3,  3,  4,  4,  5,  5,  6,  6,
                                         7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13, 14, 14};

[[noreturn]] void Damaged(const char* what)
{
    throw DecodeError(std::string("damaged compressed data (") + what + ")");
}

// A canonical Huffman code: a direct table for codes up to kFastBits long, and the
// counts and sorted symbols for the rare longer ones.
struct Huffman {
    std::array<std::uint16_t, 1u << kFastBits> fast{}; // symbol << 4 | length; 0: not in the table
    std::array<std::uint16_t, kMaxBits + 1> count{};
    std::array<std::uint16_t, 320> symbol{};

    void Build(const std::uint8_t* lengths, unsigned n)
    {
        count.fill(0);
        for (unsigned i = 0; i < n; ++i) {
            ++count[lengths[i]];
        }
        count[0] = 0;
        int left = 1;
        for (unsigned len = 1; len <= kMaxBits; ++len) {
            left = left * 2 - count[len];
            if (left < 0) {
                Damaged("over-subscribed code");
            }
        }
        // Incomplete codes are allowed; an unused code word is refused when it is met.
        std::array<std::uint16_t, kMaxBits + 2> offset{};
        for (unsigned len = 1; len <= kMaxBits; ++len) {
            offset[len + 1] = static_cast<std::uint16_t>(offset[len] + count[len]);
        }
        for (unsigned i = 0; i < n; ++i) {
            if (lengths[i]) {
                symbol[offset[lengths[i]]++] = static_cast<std::uint16_t>(i);
            }
        }
        fast.fill(0);
        unsigned code = 0;
        unsigned index = 0;
        for (unsigned len = 1; len <= kFastBits; ++len) {
            for (unsigned k = 0; k < count[len]; ++k, ++code, ++index) {
                unsigned reversed = 0;
                for (unsigned b = 0; b < len; ++b) {
                    reversed |= ((code >> b) & 1u) << (len - 1 - b);
                }
                const std::uint16_t entry = static_cast<std::uint16_t>(symbol[index] << 4 | len);
                for (unsigned fill = reversed; fill < (1u << kFastBits); fill += 1u << len) {
                    fast[fill] = entry;
                }
            }
            code <<= 1;
        }
    }
};

// A resumable inflater: Read decodes until it has output to hand out, keeping the last
// 64 KiB for matches that reach back.
class Inflater final : public ByteSource {
public:
    Inflater(ByteSource& source, std::uint64_t declared, bool deflate64)
        : m_source(source), m_declared(declared), m_deflate64(deflate64), m_in(64u << 10), m_out(kFlushAt + kMaxMatch)
    {}

    std::size_t Read(unsigned char* data, std::size_t size) override
    {
        while (m_flushed == m_pos && m_state != State::Done) {
            if (m_pos >= kFlushAt) {
                std::memmove(m_out.data(), m_out.data() + m_pos - kWindow, kWindow);
                m_pos = kWindow;
                m_flushed = kWindow;
            }
            Step();
        }
        const std::size_t n = std::min(size, m_pos - m_flushed);
        if (n == 0) {
            if (m_produced != m_declared) {
                throw DecodeError("entry is shorter than its declared size");
            }
            return 0;
        }
        std::memcpy(data, m_out.data() + m_flushed, n);
        m_flushed += n;
        return n;
    }

    void Finish() override { m_source.Finish(); }

private:
    enum class State { Header, Stored, Codes, Done };

    void Step()
    {
        switch (m_state) {
        case State::Header: {
            if (m_last) {
                m_state = State::Done;
                return;
            }
            m_last = Bits(1) != 0;
            const unsigned type = Bits(2);
            if (type == 0) {
                StartStored();
            } else if (type == 1) {
                Fixed();
                m_state = State::Codes;
            } else if (type == 2) {
                Dynamic();
                m_state = State::Codes;
            } else {
                Damaged("invalid block type");
            }
            return;
        }
        case State::Stored:
            Stored();
            return;
        case State::Codes:
            Codes();
            return;
        case State::Done:
            return;
        }
    }

    void Refill()
    {
        while (m_count <= 56) {
            if (m_inPos == m_inSize) {
                if (m_inEnded) {
                    return;
                }
                m_inSize = m_source.Read(m_in.data(), m_in.size());
                m_inPos = 0;
                if (m_inSize == 0) {
                    m_inEnded = true;
                    return;
                }
            }
            m_bits |= static_cast<std::uint64_t>(m_in[m_inPos++]) << m_count;
            m_count += 8;
        }
    }

    unsigned Bits(unsigned n)
    {
        if (m_count < n) {
            Refill();
            if (m_count < n) {
                Damaged("ends early");
            }
        }
        const unsigned value = static_cast<unsigned>(m_bits & ((std::uint64_t{1} << n) - 1));
        m_bits >>= n;
        m_count -= n;
        return value;
    }

    unsigned Decode(const Huffman& h)
    {
        if (m_count < kMaxBits) {
            Refill();
        }
        const std::uint16_t entry = h.fast[m_bits & ((1u << kFastBits) - 1)];
        const unsigned len = entry & 15u;
        if (len != 0 && len <= m_count) {
            m_bits >>= len;
            m_count -= len;
            return entry >> 4;
        }
        // Canonical decoding one bit at a time for codes longer than the table.
        int code = 0;
        int first = 0;
        int index = 0;
        for (unsigned bits = 1; bits <= kMaxBits; ++bits) {
            if (bits > m_count) {
                Damaged("ends early");
            }
            code |= static_cast<int>((m_bits >> (bits - 1)) & 1u);
            const int count = h.count[bits];
            if (code - count < first) {
                m_bits >>= bits;
                m_count -= bits;
                return h.symbol[static_cast<std::size_t>(index + (code - first))];
            }
            index += count;
            first += count;
            first <<= 1;
            code <<= 1;
        }
        Damaged("invalid code");
    }

    // Output may never run past the declared size.
    void Produce(std::size_t n)
    {
        if (n > m_declared - m_produced) {
            throw DecodeError("entry is larger than its declared size");
        }
        m_produced += n;
    }

    void StartStored()
    {
        // Drop to the byte boundary, then LEN and its complement.
        m_bits >>= m_count & 7u;
        m_count -= m_count & 7u;
        const unsigned len = Bits(16);
        const unsigned nlen = Bits(16);
        if (len != (~nlen & 0xFFFFu)) {
            Damaged("stored block length");
        }
        m_storedLeft = len;
        m_state = State::Stored;
    }

    void Stored()
    {
        // Whole bytes still in the bit buffer come first.
        while (m_storedLeft > 0 && m_count >= 8 && m_pos < kFlushAt) {
            Produce(1);
            m_out[m_pos++] = static_cast<unsigned char>(Bits(8));
            --m_storedLeft;
        }
        if (m_storedLeft > 0 && m_count == 0 && m_pos < kFlushAt) {
            if (m_inPos == m_inSize) {
                m_inSize = m_inEnded ? 0 : m_source.Read(m_in.data(), m_in.size());
                m_inPos = 0;
                if (m_inSize == 0) {
                    m_inEnded = true;
                    Damaged("ends early");
                }
            }
            const std::size_t n = std::min({std::size_t{m_storedLeft}, m_inSize - m_inPos, kFlushAt - m_pos});
            Produce(n);
            std::memcpy(m_out.data() + m_pos, m_in.data() + m_inPos, n);
            m_pos += n;
            m_inPos += n;
            m_storedLeft -= static_cast<unsigned>(n);
        }
        if (m_storedLeft == 0) {
            m_state = State::Header;
        }
    }

    void Fixed()
    {
        std::uint8_t lengths[320];
        unsigned i = 0;
        for (; i < 144; ++i)
            lengths[i] = 8;
        for (; i < 256; ++i)
            lengths[i] = 9;
        for (; i < 280; ++i)
            lengths[i] = 7;
        for (; i < 288; ++i)
            lengths[i] = 8;
        m_literals.Build(lengths, 288);
        std::fill(lengths, lengths + 32, std::uint8_t{5});
        m_distances.Build(lengths, 32);
    }

    void Dynamic()
    {
        const unsigned nlen = Bits(5) + 257;
        const unsigned ndist = Bits(5) + 1;
        const unsigned ncode = Bits(4) + 4;
        if (nlen > 286 || (!m_deflate64 && ndist > 30)) {
            Damaged("bad code counts");
        }
        static constexpr std::uint8_t kOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
        std::uint8_t lengths[320] = {};
        for (unsigned i = 0; i < ncode; ++i) {
            lengths[kOrder[i]] = static_cast<std::uint8_t>(Bits(3));
        }
        Huffman lencode;
        lencode.Build(lengths, 19);
        std::memset(lengths, 0, sizeof lengths);
        unsigned index = 0;
        while (index < nlen + ndist) {
            const unsigned sym = Decode(lencode);
            if (sym < 16) {
                lengths[index++] = static_cast<std::uint8_t>(sym);
                continue;
            }
            unsigned value = 0;
            unsigned repeat = 0;
            if (sym == 16) {
                if (index == 0) {
                    Damaged("repeat with no first length");
                }
                value = lengths[index - 1];
                repeat = 3 + Bits(2);
            } else if (sym == 17) {
                repeat = 3 + Bits(3);
            } else {
                repeat = 11 + Bits(7);
            }
            if (index + repeat > nlen + ndist) {
                Damaged("too many lengths");
            }
            while (repeat--) {
                lengths[index++] = static_cast<std::uint8_t>(value);
            }
        }
        if (lengths[256] == 0) {
            Damaged("no end-of-block code");
        }
        m_literals.Build(lengths, nlen);
        m_distances.Build(lengths + nlen, ndist);
    }

    // Decodes symbols until the block ends or the buffer is full.
    void Codes()
    {
        while (m_pos < kFlushAt) {
            const unsigned sym = Decode(m_literals);
            if (sym < 256) {
                Produce(1);
                m_out[m_pos++] = static_cast<unsigned char>(sym);
                continue;
            }
            if (sym == 256) {
                m_state = State::Header;
                return;
            }
            const unsigned code = sym - 257;
            if (code >= 29) {
                Damaged("invalid length code");
            }
            std::size_t length;
            if (code == 28 && m_deflate64) {
                length = 3 + Bits(16);
            } else {
                length = kLengthBase[code] + Bits(kLengthExtra[code]);
            }
            const unsigned dcode = Decode(m_distances);
            if (dcode >= (m_deflate64 ? 32u : 30u)) {
                Damaged("invalid distance code");
            }
            const std::size_t distance = kDistBase[dcode] + Bits(kDistExtra[dcode]);
            // m_produced counts everything made so far; the buffer keeps at least the window.
            if (distance > m_produced || distance > kWindow || (!m_deflate64 && distance > 32768)) {
                Damaged("distance too far back");
            }
            Produce(length);
            unsigned char* out = m_out.data() + m_pos;
            const unsigned char* from = out - distance;
            if (distance >= length) {
                std::memcpy(out, from, length);
            } else {
                for (std::size_t i = 0; i < length; ++i) {
                    out[i] = from[i];
                }
            }
            m_pos += length;
        }
    }

    ByteSource& m_source;
    std::uint64_t m_declared;
    bool m_deflate64;
    State m_state = State::Header;
    bool m_last = false;
    unsigned m_storedLeft = 0;
    std::vector<unsigned char> m_in;
    std::size_t m_inPos = 0;
    std::size_t m_inSize = 0;
    bool m_inEnded = false;
    std::uint64_t m_bits = 0;
    unsigned m_count = 0;
    std::vector<unsigned char> m_out;
    std::size_t m_pos = 0;     // end of the output in the buffer
    std::size_t m_flushed = 0; // what Read has handed out
    std::uint64_t m_produced = 0;
    Huffman m_literals;
    Huffman m_distances;
};

} // namespace

std::unique_ptr<ByteSource> MakeDeflate64Decoder(ByteSource& packed, std::uint64_t declaredSize)
{
    return std::make_unique<Inflater>(packed, declaredSize, true);
}

std::unique_ptr<ByteSource> MakeClassicInflater(ByteSource& packed, std::uint64_t declaredSize)
{
    return std::make_unique<Inflater>(packed, declaredSize, false);
}

} // namespace velmora
