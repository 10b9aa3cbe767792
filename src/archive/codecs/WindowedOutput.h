#pragma once
// What a sliding-window method (Reduce, Implode) has written: the history it copies from,
// a copy that may span several reads, and the count against the declared size, so that
// no literal or copy can take the output past it.
#include "archive/codecs/HistoryWindow.h"
#include "archive/codecs/LsbBitInput.h"

#include <cstddef>
#include <cstdint>

namespace velmora::codecs {

class WindowedOutput {
public:
    explicit WindowedOutput(std::uint64_t declared) : m_declared(declared) {}

    // Every declared byte is produced or owed to the copy under way.
    bool Full() const { return m_produced == m_declared; }

    // Fills data with up to size bytes, until the output is full: what is left of the copy
    // under way first, then what next(out) makes, which either writes a literal to out
    // (returning 1) or starts a copy (returning 0).
    template <typename Next> std::size_t Fill(unsigned char* data, std::size_t size, Next next)
    {
        std::size_t n = 0;
        while (n < size) {
            if (m_copyLeft > 0) {
                const std::uint8_t byte = m_window.Back(m_copyDistance);
                m_window.Put(byte);
                data[n++] = byte;
                --m_copyLeft;
                continue;
            }
            if (Full()) {
                break;
            }
            n += next(data + n);
        }
        return n;
    }

    // A literal byte; the caller has checked that the output is not full.
    std::uint8_t Literal(std::uint8_t byte)
    {
        m_window.Put(byte);
        ++m_produced;
        return byte;
    }

    // Starts a copy of length bytes from distance back; a copy past the declared size is damage.
    void StartCopy(std::uint64_t length, std::size_t distance)
    {
        if (length > m_declared - m_produced) {
            TooLarge();
        }
        m_produced += length;
        m_copyLeft = static_cast<unsigned>(length);
        m_copyDistance = distance;
    }

private:
    HistoryWindow m_window;
    std::uint64_t m_declared;
    std::uint64_t m_produced = 0; // including the copy under way
    unsigned m_copyLeft = 0;
    std::size_t m_copyDistance = 1;
};

} // namespace velmora::codecs
