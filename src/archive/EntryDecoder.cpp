#include "archive/EntryDecoder.h"

#include "archive/Deflate64.h"

#include <bzlib.h>
#include <lzma.h>
#include <zlib.h>
#include <zstd.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace velmora {

namespace {

constexpr std::size_t kChunk = 256u << 10;

// Passes plain bytes on and refuses anything beyond the declared size.
class BoundedSink {
public:
    BoundedSink(ByteSink& sink, std::uint64_t declared) : m_sink(sink), m_declared(declared) {}
    void Write(const unsigned char* data, std::size_t size)
    {
        if (size > m_declared - m_written) {
            throw DecodeError("entry is larger than its declared size");
        }
        m_written += size;
        if (size) {
            m_sink.Write(data, size);
        }
    }
    std::uint64_t Written() const { return m_written; }
    std::uint64_t Room() const { return m_declared - m_written; }
    std::uint64_t Finish() const
    {
        if (m_written != m_declared) {
            throw DecodeError("entry is shorter than its declared size");
        }
        return m_written;
    }

private:
    ByteSink& m_sink;
    std::uint64_t m_declared;
    std::uint64_t m_written = 0;
};

// Buffers the source so each library decoder can be fed in chunks.
class InputBuffer {
public:
    explicit InputBuffer(ByteSource& source) : m_source(source), m_data(kChunk) {}
    // Refills when empty; returns false at the end of the source.
    bool Fill()
    {
        if (m_pos < m_size) {
            return true;
        }
        m_size = m_source.Read(m_data.data(), m_data.size());
        m_pos = 0;
        m_ended = m_size == 0;
        return !m_ended;
    }
    const unsigned char* Data() const { return m_data.data() + m_pos; }
    std::size_t Size() const { return m_size - m_pos; }
    void Consume(std::size_t n) { m_pos += n; }
    bool Ended() const { return m_ended; }

private:
    ByteSource& m_source;
    std::vector<unsigned char> m_data;
    std::size_t m_size = 0;
    std::size_t m_pos = 0;
    bool m_ended = false;
};

[[noreturn]] void Damaged(const char* what = nullptr)
{
    throw DecodeError(what ? std::string("damaged compressed data (") + what + ")" : "damaged compressed data");
}

std::uint64_t CopyStored(ByteSource& source, BoundedSink& out)
{
    std::vector<unsigned char> buffer(kChunk);
    for (std::size_t n; (n = source.Read(buffer.data(), buffer.size())) > 0;) {
        out.Write(buffer.data(), n);
    }
    return out.Finish();
}

std::uint64_t Inflate(ByteSource& source, BoundedSink& out)
{
    z_stream zs{};
    if (inflateInit2(&zs, -15) != Z_OK) {
        throw std::bad_alloc();
    }
    const std::unique_ptr<z_stream, int (*)(z_stream*)> guard(&zs, inflateEnd);
    InputBuffer in(source);
    std::vector<unsigned char> buffer(kChunk);
    for (;;) {
        const bool more = in.Fill();
        zs.next_in = const_cast<unsigned char*>(in.Data());
        zs.avail_in = static_cast<uInt>(in.Size());
        zs.next_out = buffer.data();
        zs.avail_out = static_cast<uInt>(buffer.size());
        const int rc = inflate(&zs, Z_NO_FLUSH);
        in.Consume(in.Size() - zs.avail_in);
        out.Write(buffer.data(), buffer.size() - zs.avail_out);
        if (rc == Z_STREAM_END) {
            break;
        }
        if (rc == Z_BUF_ERROR && !more) {
            Damaged("ends early");
        }
        if (rc != Z_OK && rc != Z_BUF_ERROR) {
            Damaged();
        }
    }
    return out.Finish();
}

std::uint64_t Bunzip(ByteSource& source, BoundedSink& out)
{
    bz_stream bs{};
    if (BZ2_bzDecompressInit(&bs, 0, 0) != BZ_OK) {
        throw std::bad_alloc();
    }
    const std::unique_ptr<bz_stream, int (*)(bz_stream*)> guard(&bs, BZ2_bzDecompressEnd);
    InputBuffer in(source);
    std::vector<unsigned char> buffer(kChunk);
    for (;;) {
        const bool more = in.Fill();
        bs.next_in = const_cast<char*>(reinterpret_cast<const char*>(in.Data()));
        bs.avail_in = static_cast<unsigned>(in.Size());
        bs.next_out = reinterpret_cast<char*>(buffer.data());
        bs.avail_out = static_cast<unsigned>(buffer.size());
        const int rc = BZ2_bzDecompress(&bs);
        in.Consume(in.Size() - bs.avail_in);
        out.Write(buffer.data(), buffer.size() - bs.avail_out);
        if (rc == BZ_STREAM_END) {
            break;
        }
        if (!more && bs.avail_out == buffer.size()) {
            Damaged("ends early");
        }
        if (rc != BZ_OK) {
            Damaged();
        }
    }
    return out.Finish();
}

// Runs an initialised liblzma stream to its end.
std::uint64_t RunLzma(lzma_stream& ls, InputBuffer& in, BoundedSink& out)
{
    const std::unique_ptr<lzma_stream, void (*)(lzma_stream*)> guard(&ls, lzma_end);
    std::vector<unsigned char> buffer(kChunk);
    for (;;) {
        const bool more = in.Fill();
        ls.next_in = in.Data();
        ls.avail_in = in.Size();
        ls.next_out = buffer.data();
        ls.avail_out = buffer.size();
        const lzma_ret rc = lzma_code(&ls, more ? LZMA_RUN : LZMA_FINISH);
        in.Consume(in.Size() - ls.avail_in);
        out.Write(buffer.data(), buffer.size() - ls.avail_out);
        if (rc == LZMA_STREAM_END) {
            break;
        }
        if (rc == LZMA_MEM_ERROR) {
            throw std::bad_alloc();
        }
        if (rc == LZMA_MEMLIMIT_ERROR) {
            throw DecodeError("the compressed data asks for more memory than allowed");
        }
        if (rc == LZMA_BUF_ERROR) {
            Damaged("ends early");
        }
        if (rc != LZMA_OK) {
            Damaged();
        }
    }
    return out.Finish();
}

std::uint64_t Unlzma(std::uint16_t flags, ByteSource& source, BoundedSink& out, std::uint64_t declared)
{
    // Two version bytes, the properties' size (5) and the properties of raw LZMA1 data.
    unsigned char header[9];
    std::size_t got = 0;
    while (got < sizeof header) {
        const std::size_t n = source.Read(header + got, sizeof header - got);
        if (n == 0) {
            Damaged("LZMA header");
        }
        got += n;
    }
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
    lzma_stream ls = LZMA_STREAM_INIT;
    const lzma_ret rc = lzma_raw_decoder(&ls, filters);
    if (rc == LZMA_MEM_ERROR) {
        throw std::bad_alloc();
    }
    if (rc != LZMA_OK) {
        lzma_end(&ls);
        Damaged("LZMA properties");
    }
    InputBuffer in(source);
    return RunLzma(ls, in, out);
}

std::uint64_t Unxz(ByteSource& source, BoundedSink& out, std::uint64_t declared)
{
    const std::uint64_t limit = std::clamp<std::uint64_t>(declared + (64u << 20), 128u << 20, 1024u << 20);
    lzma_mt mt{};
    mt.flags = 0;
    mt.threads = 2;
    mt.memlimit_threading = limit;
    mt.memlimit_stop = limit;
    lzma_stream ls = LZMA_STREAM_INIT;
    lzma_ret rc = lzma_stream_decoder_mt(&ls, &mt);
    if (rc != LZMA_OK) {
        lzma_end(&ls);
        ls = LZMA_STREAM_INIT;
        rc = lzma_stream_decoder(&ls, limit, 0);
    }
    if (rc != LZMA_OK) {
        lzma_end(&ls);
        throw std::bad_alloc();
    }
    InputBuffer in(source);
    return RunLzma(ls, in, out);
}

std::uint64_t Unzstd(ByteSource& source, BoundedSink& out, std::uint64_t declared)
{
    const std::unique_ptr<ZSTD_DStream, std::size_t (*)(ZSTD_DStream*)> ds(ZSTD_createDStream(), ZSTD_freeDStream);
    if (!ds) {
        throw std::bad_alloc();
    }
    // A window larger than the entry is never needed; allow the largest only for large entries.
    int windowLog = 27;
    while (windowLog < 31 && (std::uint64_t{1} << windowLog) < declared) {
        ++windowLog;
    }
    ZSTD_DCtx_setParameter(ds.get(), ZSTD_d_windowLogMax, windowLog);
    InputBuffer in(source);
    std::vector<unsigned char> buffer(ZSTD_DStreamOutSize());
    std::size_t last = 1; // 0 once a frame is complete and flushed
    bool anyFrame = false;
    while (in.Fill()) {
        ZSTD_inBuffer input{in.Data(), in.Size(), 0};
        while (input.pos < input.size) {
            ZSTD_outBuffer output{buffer.data(), buffer.size(), 0};
            last = ZSTD_decompressStream(ds.get(), &output, &input);
            if (ZSTD_isError(last)) {
                Damaged(ZSTD_getErrorName(last));
            }
            anyFrame = true;
            out.Write(buffer.data(), output.pos);
        }
        in.Consume(input.pos);
    }
    // Flush what the decoder still holds of the last frame.
    while (last != 0 && anyFrame) {
        ZSTD_inBuffer input{nullptr, 0, 0};
        ZSTD_outBuffer output{buffer.data(), buffer.size(), 0};
        last = ZSTD_decompressStream(ds.get(), &output, &input);
        if (ZSTD_isError(last)) {
            Damaged();
        }
        out.Write(buffer.data(), output.pos);
        if (output.pos == 0 && last != 0) {
            Damaged("ends early");
        }
    }
    if (!anyFrame) {
        Damaged("ends early");
    }
    return out.Finish();
}

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

bool IsMethodSupported(std::uint16_t method)
{
    using namespace zipmethod;
    return method == kStored || method == kDeflate || method == kDeflate64 || method == kBzip2 || method == kLzma ||
           method == kXz || method == kZstd;
}

std::uint64_t DecodeEntryData(std::uint16_t method, std::uint16_t flags, ByteSource& source, ByteSink& sink,
                              std::uint64_t declaredSize)
{
    using namespace zipmethod;
    if (method == kDeflate64) {
        return InflateDeflate64(source, sink, declaredSize);
    }
    BoundedSink out(sink, declaredSize);
    switch (method) {
    case kStored:
        return CopyStored(source, out);
    case kDeflate:
        return Inflate(source, out);
    case kBzip2:
        return Bunzip(source, out);
    case kLzma:
        return Unlzma(flags, source, out, declaredSize);
    case kXz:
        return Unxz(source, out, declaredSize);
    case kZstd:
        return Unzstd(source, out, declaredSize);
    default:
        throw DecodeError(MethodText(method) + " is not supported");
    }
}

} // namespace velmora
