#pragma once
// What the decoders built on a compression library share: the packed source buffered in
// chunks, the declared-size bound, and the loop that calls the library until it hands out
// bytes or ends. One decoder a file: StoredDecoder, InflateDecoder, Bzip2Decoder,
// LzmaDecoder (LZMA and XZ), ZstdDecoder; their factories are in LibraryDecoders.h.
#include "archive/codecs/EntryDecoder.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace velmora::librarydecoding {

inline constexpr std::size_t kChunk = 256u << 10;

[[noreturn]] inline void Damaged(const char* what = nullptr)
{
    throw DecodeError(what ? std::string("damaged compressed data (") + what + ")" : "damaged compressed data");
}

[[noreturn]] inline void TooLarge()
{
    throw DecodeError("entry is larger than its declared size");
}

// Buffers the packed source so each library decoder can be fed in chunks.
class InputBuffer {
public:
    explicit InputBuffer(ByteSource& source) : m_source(source), m_data(kChunk) {}
    // Refills when empty; returns false at the end of the source.
    bool Fill()
    {
        if (m_pos < m_size) {
            return true;
        }
        if (m_ended) {
            return false;
        }
        m_size = m_source.Read(m_data.data(), m_data.size());
        m_pos = 0;
        m_ended = m_size == 0;
        return !m_ended;
    }
    const unsigned char* Data() const { return m_data.data() + m_pos; }
    std::size_t Size() const { return m_size - m_pos; }
    void Consume(std::size_t n) { m_pos += n; }

private:
    ByteSource& m_source;
    std::vector<unsigned char> m_data;
    std::size_t m_size = 0;
    std::size_t m_pos = 0;
    bool m_ended = false;
};

// What every decoder shares: the packed source, the declared-size bound, and the loop
// that calls a library until it hands out bytes or ends.
class LibraryDecoder : public ByteSource {
public:
    LibraryDecoder(ByteSource& packed, std::uint64_t declared) : m_packed(packed), m_in(packed), m_declared(declared) {}

    std::size_t Read(unsigned char* data, std::size_t size) override
    {
        int idle = 0;
        while (!m_ended && size > 0) {
            // One byte beyond the declared size is offered so that more data shows.
            const std::uint64_t room = m_declared - m_produced;
            const std::size_t offer = static_cast<std::size_t>(std::min<std::uint64_t>(size, room + 1));
            const bool more = m_in.Fill();
            std::size_t made = 0;
            m_ended = Step(data, offer, more, made);
            if (made > room) {
                TooLarge();
            }
            m_produced += made;
            if (made > 0) {
                return made;
            }
            // A library may need a few calls to drain what it holds once the input is gone.
            if (!more && !m_ended && ++idle > 3) {
                Damaged("ends early");
            }
        }
        if (m_ended && m_produced != m_declared) {
            throw DecodeError("entry is shorter than its declared size");
        }
        return 0;
    }

    void Finish() override { m_packed.Finish(); }

protected:
    // Decodes from m_in into out (at most capacity bytes); sets made; returns true at the
    // end of the stream. more is false once the packed source has ended.
    virtual bool Step(unsigned char* out, std::size_t capacity, bool more, std::size_t& made) = 0;

    ByteSource& m_packed;
    InputBuffer m_in;

private:
    std::uint64_t m_declared;
    std::uint64_t m_produced = 0;
    bool m_ended = false;
};

} // namespace velmora::librarydecoding
