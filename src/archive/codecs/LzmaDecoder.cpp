// LZMA and XZ entries through liblzma.
#include "archive/codecs/LibraryDecoder.h"
#include "archive/codecs/LibraryDecoders.h"

#include <lzma.h>

#include <cstring>
#include <new>

namespace velmora {

namespace {

using namespace librarydecoding;

// liblzma streams: raw LZMA1 (ZIP's LZMA method) and XZ.
class LzmaDecoder final : public LibraryDecoder {
public:
    LzmaDecoder(ByteSource& packed, std::uint64_t declared) : LibraryDecoder(packed, declared) {}
    ~LzmaDecoder() override { lzma_end(&m_ls); }
    lzma_stream& Stream() { return m_ls; }
    // Reads bytes straight from the packed source before decoding starts (ZIP's LZMA header).
    void ReadHeader(unsigned char* data, std::size_t size)
    {
        for (std::size_t got = 0; got < size;) {
            if (!m_in.Fill()) {
                Damaged("LZMA header");
            }
            const std::size_t n = std::min(size - got, m_in.Size());
            std::memcpy(data + got, m_in.Data(), n);
            m_in.Consume(n);
            got += n;
        }
    }

private:
    bool Step(unsigned char* out, std::size_t capacity, bool more, std::size_t& made) override
    {
        m_ls.next_in = m_in.Data();
        m_ls.avail_in = m_in.Size();
        m_ls.next_out = out;
        m_ls.avail_out = capacity;
        const lzma_ret rc = lzma_code(&m_ls, more ? LZMA_RUN : LZMA_FINISH);
        m_in.Consume(m_in.Size() - m_ls.avail_in);
        made = capacity - m_ls.avail_out;
        switch (rc) {
        case LZMA_OK:
            return false;
        case LZMA_STREAM_END:
            return true;
        case LZMA_MEM_ERROR:
            throw std::bad_alloc();
        case LZMA_MEMLIMIT_ERROR:
            throw DecodeError("the compressed data asks for more memory than allowed");
        case LZMA_BUF_ERROR:
            Damaged("ends early");
        default:
            Damaged();
        }
    }
    lzma_stream m_ls = LZMA_STREAM_INIT;
};

} // namespace

std::unique_ptr<ByteSource> MakeLzmaDecoder(std::uint16_t flags, ByteSource& packed, std::uint64_t declared)
{
    auto decoder = std::make_unique<LzmaDecoder>(packed, declared);
    // Two version bytes, the properties' size (5) and the properties of raw LZMA1 data.
    unsigned char header[9];
    decoder->ReadHeader(header, sizeof header);
    if ((header[2] | (header[3] << 8)) != 5) {
        Damaged("LZMA header");
    }
    unsigned props = header[4];
    if (props >= 9 * 5 * 5) {
        Damaged("LZMA properties");
    }
    lzma_options_lzma options{};
    if (lzma_lzma_preset(&options, 6)) {
        throw std::bad_alloc();
    }
    options.lc = props % 9;
    props /= 9;
    options.lp = props % 5;
    options.pb = props / 5;
    const std::uint32_t dict = static_cast<std::uint32_t>(header[5]) | (static_cast<std::uint32_t>(header[6]) << 8) |
                               (static_cast<std::uint32_t>(header[7]) << 16) |
                               (static_cast<std::uint32_t>(header[8]) << 24);
    // The data never looks back further than what was produced, so a dictionary larger
    // than the entry is cut to the entry's size.
    options.dict_size = static_cast<std::uint32_t>(
        std::clamp<std::uint64_t>(std::min<std::uint64_t>(dict, declared), LZMA_DICT_SIZE_MIN, 1536u << 20));
    options.ext_flags = LZMA_LZMA1EXT_ALLOW_EOPM;
    // With bit 1 an end marker closes the data; without it the declared size does.
    const std::uint64_t size = (flags & 0x0002) ? UINT64_MAX : declared;
    options.ext_size_low = static_cast<std::uint32_t>(size);
    options.ext_size_high = static_cast<std::uint32_t>(size >> 32);
    lzma_filter filters[2] = {{LZMA_FILTER_LZMA1EXT, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
    const lzma_ret rc = lzma_raw_decoder(&decoder->Stream(), filters);
    if (rc == LZMA_MEM_ERROR) {
        throw std::bad_alloc();
    }
    if (rc != LZMA_OK) {
        Damaged("LZMA properties");
    }
    return decoder;
}

std::unique_ptr<ByteSource> MakeXzDecoder(ByteSource& packed, std::uint64_t declared)
{
    auto decoder = std::make_unique<LzmaDecoder>(packed, declared);
    const std::uint64_t limit = std::clamp<std::uint64_t>(declared + (64u << 20), 128u << 20, 1024u << 20);
    lzma_mt mt{};
    mt.threads = 2; // blocks of multi-threaded writers decode side by side
    mt.memlimit_threading = limit;
    mt.memlimit_stop = limit;
    if (lzma_stream_decoder_mt(&decoder->Stream(), &mt) != LZMA_OK &&
        lzma_stream_decoder(&decoder->Stream(), limit, 0) != LZMA_OK) {
        throw std::bad_alloc();
    }
    return decoder;
}

} // namespace velmora
