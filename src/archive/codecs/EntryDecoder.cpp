// The library decoders (stored, deflate, bzip2, LZMA, XZ, Zstandard) and the table of compression methods.
#include "archive/codecs/EntryDecoder.h"

#include "archive/codecs/Deflate64.h"
#include "archive/codecs/Implode.h"
#include "archive/codecs/PpmdDecoder.h"
#include "archive/codecs/Reduce.h"
#include "archive/codecs/Shrink.h"

#include <zlib.h>

#ifdef VELMORA_LIBRARY_METHODS
#include <bzlib.h>
#include <lzma.h>
#include <zstd.h>
#endif

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace velmora {

namespace {

constexpr std::size_t kChunk = 256u << 10;

[[noreturn]] void Damaged(const char* what = nullptr)
{
    throw DecodeError(what ? std::string("damaged compressed data (") + what + ")" : "damaged compressed data");
}

[[noreturn]] void TooLarge()
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

class StoredDecoder final : public LibraryDecoder {
public:
    using LibraryDecoder::LibraryDecoder;

private:
    bool Step(unsigned char* out, std::size_t capacity, bool more, std::size_t& made) override
    {
        if (!more) {
            return true;
        }
        made = std::min(capacity, m_in.Size());
        std::memcpy(out, m_in.Data(), made);
        m_in.Consume(made);
        return false;
    }
};

class InflateDecoder final : public LibraryDecoder {
public:
    InflateDecoder(ByteSource& packed, std::uint64_t declared) : LibraryDecoder(packed, declared)
    {
        if (inflateInit2(&m_zs, -15) != Z_OK) {
            throw std::bad_alloc();
        }
    }
    ~InflateDecoder() override { inflateEnd(&m_zs); }

private:
    bool Step(unsigned char* out, std::size_t capacity, bool more, std::size_t& made) override
    {
        m_zs.next_in = const_cast<unsigned char*>(m_in.Data());
        m_zs.avail_in = static_cast<uInt>(m_in.Size());
        m_zs.next_out = out;
        m_zs.avail_out = static_cast<uInt>(capacity);
        const int rc = inflate(&m_zs, Z_NO_FLUSH);
        m_in.Consume(m_in.Size() - m_zs.avail_in);
        made = capacity - m_zs.avail_out;
        if (rc == Z_STREAM_END) {
            return true;
        }
        if (rc == Z_BUF_ERROR && !more) {
            Damaged("ends early");
        }
        if (rc != Z_OK && rc != Z_BUF_ERROR) {
            Damaged();
        }
        return false;
    }
    z_stream m_zs{};
};

#ifdef VELMORA_LIBRARY_METHODS
class Bzip2Decoder final : public LibraryDecoder {
public:
    Bzip2Decoder(ByteSource& packed, std::uint64_t declared) : LibraryDecoder(packed, declared)
    {
        if (BZ2_bzDecompressInit(&m_bs, 0, 0) != BZ_OK) {
            throw std::bad_alloc();
        }
    }
    ~Bzip2Decoder() override { BZ2_bzDecompressEnd(&m_bs); }

private:
    bool Step(unsigned char* out, std::size_t capacity, bool, std::size_t& made) override
    {
        m_bs.next_in = const_cast<char*>(reinterpret_cast<const char*>(m_in.Data()));
        m_bs.avail_in = static_cast<unsigned>(m_in.Size());
        m_bs.next_out = reinterpret_cast<char*>(out);
        m_bs.avail_out = static_cast<unsigned>(std::min<std::size_t>(capacity, 1u << 30));
        const unsigned offered = m_bs.avail_out;
        const int rc = BZ2_bzDecompress(&m_bs);
        m_in.Consume(m_in.Size() - m_bs.avail_in);
        made = offered - m_bs.avail_out;
        if (rc == BZ_STREAM_END) {
            return true;
        }
        if (rc != BZ_OK) {
            Damaged();
        }
        return false;
    }
    bz_stream m_bs{};
};

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

std::unique_ptr<ByteSource> MakeLzma(std::uint16_t flags, ByteSource& packed, std::uint64_t declared)
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

std::unique_ptr<ByteSource> MakeXz(ByteSource& packed, std::uint64_t declared)
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

class ZstdDecoder final : public LibraryDecoder {
public:
    ZstdDecoder(ByteSource& packed, std::uint64_t declared) : LibraryDecoder(packed, declared)
    {
        m_ds = ZSTD_createDStream();
        if (!m_ds) {
            throw std::bad_alloc();
        }
        // A window larger than the entry is never needed; allow the largest only for large entries.
        int windowLog = 27;
        while (windowLog < 31 && (std::uint64_t{1} << windowLog) < declared) {
            ++windowLog;
        }
        ZSTD_DCtx_setParameter(m_ds, ZSTD_d_windowLogMax, windowLog);
    }
    ~ZstdDecoder() override { ZSTD_freeDStream(m_ds); }

private:
    bool Step(unsigned char* out, std::size_t capacity, bool more, std::size_t& made) override
    {
        // Frames may follow each other; the data ends with the input after a whole frame.
        ZSTD_inBuffer input{m_in.Data(), m_in.Size(), 0};
        ZSTD_outBuffer output{out, capacity, 0};
        const std::size_t rc = ZSTD_decompressStream(m_ds, &output, &input);
        m_in.Consume(input.pos);
        made = output.pos;
        if (ZSTD_isError(rc)) {
            Damaged(ZSTD_getErrorName(rc));
        }
        if (more || made > 0) {
            m_anyFrame = true;
            m_last = rc;
            return false;
        }
        if (m_last != 0 || !m_anyFrame) {
            Damaged("ends early");
        }
        return true;
    }
    ZSTD_DStream* m_ds = nullptr;
    std::size_t m_last = 1; // 0 once a frame is complete and flushed
    bool m_anyFrame = false;
};
#endif // VELMORA_LIBRARY_METHODS

} // namespace

std::string MethodName(std::uint16_t method)
{
    switch (method) {
    case 0:
        return "Stored";
    case 1:
        return "Shrunk";
    case 2:
    case 3:
    case 4:
    case 5:
        return "Reduced";
    case 6:
        return "Imploded";
    case 7:
        return "Tokenized";
    case 8:
        return "Deflate";
    case 9:
        return "Deflate64";
    case 10:
        return "PKWARE DCL Imploded";
    case 12:
        return "BZip2";
    case 14:
        return "LZMA";
    case 16:
        return "IBM z/OS CMPSC";
    case 18:
        return "IBM TERSE";
    case 19:
        return "IBM LZ77 z";
    case 20:
        return "Zstandard (old id)";
    case 93:
        return "Zstandard";
    case 94:
        return "MP3";
    case 95:
        return "XZ";
    case 96:
        return "JPEG";
    case 97:
        return "WavPack";
    case 98:
        return "PPMd";
    case 99:
        return "AES";
    default:
        return {};
    }
}

std::string MethodText(std::uint16_t method)
{
    const std::string name = MethodName(method);
    return "method " + std::to_string(method) + (name.empty() ? std::string() : " (" + name + ")");
}

std::unique_ptr<ByteSource> MakeMethodDecoder(std::uint16_t method, std::uint16_t flags, ByteSource& packed,
                                              std::uint64_t declaredSize)
{
    using namespace zipmethod;
    switch (method) {
    case kStored:
        return std::make_unique<StoredDecoder>(packed, declaredSize);
    case kDeflate:
        return std::make_unique<InflateDecoder>(packed, declaredSize);
    case kShrink:
        return MakeShrinkDecoder(packed, declaredSize);
    case kReduce1:
    case kReduce2:
    case kReduce3:
    case kReduce4:
        return MakeReduceDecoder(method - kShrink, packed, declaredSize);
    case kImplode:
        return MakeImplodeDecoder(flags, packed, declaredSize);
    case kDeflate64:
        return MakeDeflate64Decoder(packed, declaredSize);
    case kPpmd:
        return MakePpmdDecoder(packed, declaredSize);
#ifdef VELMORA_LIBRARY_METHODS
    case kBzip2:
        return std::make_unique<Bzip2Decoder>(packed, declaredSize);
    case kLzma:
        return MakeLzma(flags, packed, declaredSize);
    case kXz:
        return MakeXz(packed, declaredSize);
    case kZstd:
        return std::make_unique<ZstdDecoder>(packed, declaredSize);
#else
    case kBzip2:
    case kLzma:
    case kXz:
    case kZstd:
        (void)flags;
        throw DecodeError(MethodText(method) + " is not supported in this build");
#endif
    default:
        throw DecodeError(MethodText(method) + " is not supported");
    }
}

std::uint64_t DecodeEntryData(std::uint16_t method, std::uint16_t flags, ByteSource& packed, ByteSink& sink,
                              std::uint64_t declaredSize)
{
    const std::unique_ptr<ByteSource> decoder = MakeMethodDecoder(method, flags, packed, declaredSize);
    std::vector<unsigned char> buffer(kChunk);
    std::uint64_t total = 0;
    for (std::size_t n; (n = decoder->Read(buffer.data(), buffer.size())) > 0;) {
        sink.Write(buffer.data(), n);
        total += n;
    }
    decoder->Finish();
    return total;
}

} // namespace velmora
