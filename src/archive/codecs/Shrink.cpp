#include "archive/codecs/Shrink.h"

#include "archive/codecs/LsbBitInput.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace velmora {

namespace {

using codecs::Damaged;

constexpr unsigned kCodes = 8192; // 13-bit codes
constexpr unsigned kMaxWidth = 13;
constexpr std::uint16_t kEscape = 256;
constexpr std::uint16_t kFree = 0xFFFF; // an entry's parent while the entry is unused

class ShrinkDecoder final : public ByteSource {
public:
    ShrinkDecoder(ByteSource& packed, std::uint64_t declared) : m_packed(packed), m_bits(packed), m_declared(declared)
    {
        for (unsigned code = 0; code < 256; ++code) {
            m_parent[code] = kEscape; // a byte: the root of its strings
            m_value[code] = static_cast<std::uint8_t>(code);
        }
        std::fill(m_parent.begin() + 257, m_parent.end(), kFree);
    }

    std::size_t Read(unsigned char* data, std::size_t size) override
    {
        while (m_pending == 0 && !m_ended) {
            Step();
        }
        if (m_pending == 0) {
            if (m_produced != m_declared) {
                throw DecodeError("entry is shorter than its declared size");
            }
            return 0;
        }
        const std::size_t n = std::min(size, m_pending);
        std::memcpy(data, m_string.data() + m_string.size() - m_pending, n);
        m_pending -= n;
        return n;
    }

    void Finish() override { m_packed.Finish(); }

private:
    // Reads one code (and any command it escapes); leaves the string it stands for at the
    // end of m_string, or sets m_ended when the data has no further whole code.
    void Step()
    {
        std::uint32_t code = 0;
        if (!m_bits.TryTake(m_width, code)) {
            m_ended = true;
            return;
        }
        if (m_first) {
            if (code > 255) {
                Damaged("first code is not a byte");
            }
            m_first = false;
            m_previous = static_cast<std::uint16_t>(code);
            m_lastByte = static_cast<std::uint8_t>(code);
            m_string.back() = m_lastByte;
            Emit(1);
            return;
        }
        if (code == kEscape) {
            std::uint32_t command = 0;
            if (!m_bits.TryTake(m_width, command)) {
                m_ended = true;
                return;
            }
            if (command == 1) {
                if (++m_width > kMaxWidth) {
                    Damaged("code width beyond 13 bits");
                }
            } else if (command == 2) {
                PartialClear();
            }
            // Other commands carry no meaning and are passed over.
            return;
        }
        // The string is spelled from its last byte back to its first. A free entry stands
        // for the one being defined by this very code: the previous string and its own
        // first byte (which is that of the previous string). Walking back through a freed
        // entry reads the same way.
        std::size_t at = m_string.size();
        std::uint16_t walk = static_cast<std::uint16_t>(code);
        while (walk != kEscape) {
            if (at == 0) {
                Damaged("string longer than the table");
            }
            if (m_parent[walk] == kFree) {
                m_string[--at] = m_lastByte;
                walk = m_previous;
            } else {
                m_string[--at] = m_value[walk];
                walk = m_parent[walk];
            }
        }
        m_lastByte = m_string[at];
        Emit(m_string.size() - at);
        // The new entry: the previous string followed by this string's first byte, in the
        // lowest free slot after the last one given out.
        unsigned slot = m_lastSlot + 1;
        while (slot < kCodes && m_parent[slot] != kFree) {
            ++slot;
        }
        if (slot >= kCodes) {
            Damaged("code table full");
        }
        m_lastSlot = static_cast<std::uint16_t>(slot);
        m_value[slot] = m_lastByte;
        m_parent[slot] = m_previous;
        m_previous = static_cast<std::uint16_t>(code);
    }

    // The last length bytes of m_string are the next output.
    void Emit(std::size_t length)
    {
        if (length > m_declared - m_produced) {
            codecs::TooLarge();
        }
        m_produced += length;
        m_pending = length;
    }

    // Frees every entry given out so far that no other entry extends.
    void PartialClear()
    {
        std::array<bool, kCodes> extended{};
        for (unsigned code = 257; code <= m_lastSlot; ++code) {
            if (m_parent[code] != kFree && m_parent[code] > kEscape) {
                extended[m_parent[code]] = true;
            }
        }
        for (unsigned code = 257; code <= m_lastSlot; ++code) {
            if (!extended[code]) {
                m_parent[code] = kFree;
            }
        }
        m_lastSlot = kEscape;
    }

    ByteSource& m_packed;
    codecs::LsbBitInput m_bits;
    std::uint64_t m_declared;
    std::uint64_t m_produced = 0;
    std::array<std::uint16_t, kCodes> m_parent{};
    std::array<std::uint8_t, kCodes> m_value{};
    std::array<std::uint8_t, kCodes> m_string{}; // the current string, at its end
    std::size_t m_pending = 0;                   // bytes at the end of m_string not yet handed out
    unsigned m_width = 9;
    bool m_first = true;
    bool m_ended = false;
    std::uint16_t m_previous = 0;
    std::uint8_t m_lastByte = 0; // first byte of the previous string
    std::uint16_t m_lastSlot = kEscape;
};

} // namespace

std::unique_ptr<ByteSource> MakeShrinkDecoder(ByteSource& packed, std::uint64_t declaredSize)
{
    return std::make_unique<ShrinkDecoder>(packed, declaredSize);
}

} // namespace velmora
