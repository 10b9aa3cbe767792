// Runs the method decoders and the AES layer on arbitrary data. The first byte picks
// the decoder, the next three the declared size; the rest is the entry's data. Our own
// inflater is also run on plain deflate beside zlib: whatever zlib accepts it must
// accept, with the same output.
#include "FuzzSandbox.h"
#include "PiecewiseSource.h"
#include "archive/codecs/Deflate64.h"
#include "archive/codecs/EntryDecoder.h"
#include "archive/crypto/WinZipAes.h"

#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

class StringSink : public velmora::ByteSink {
public:
    void Write(const unsigned char* data, std::size_t size) override
    {
        text.append(reinterpret_cast<const char*>(data), size);
    }
    std::string text;
};

// zlib's verdict on raw deflate data with the same size rule.
bool ZlibInflate(const std::uint8_t* data, std::size_t size, std::size_t declared, std::string& out)
{
    z_stream zs{};
    if (inflateInit2(&zs, -15) != Z_OK) return false;
    out.assign(declared + 1, '\0');
    zs.next_in = const_cast<Bytef*>(data);
    zs.avail_in = static_cast<uInt>(size);
    zs.next_out = reinterpret_cast<Bytef*>(out.data());
    zs.avail_out = static_cast<uInt>(out.size());
    const int rc = inflate(&zs, Z_FINISH);
    out.resize(zs.total_out);
    inflateEnd(&zs);
    return rc == Z_STREAM_END && out.size() == declared;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 4) {
        velmora::fuzz::RecordOutcome(false);
        return 0;
    }
    bool ok = true;
    const unsigned selector = data[0] % 8;
    const std::uint64_t declared = data[1] | (data[2] << 8) | ((data[3] & 0x0F) << 16); // up to 1 MiB
    data += 4;
    size -= 4;
    velmora::fuzz::PiecewiseSource source(data, size, 7, 4093);
    StringSink sink;
    using namespace velmora;
    try {
        switch (selector) {
        case 0:
            DecodeEntryData(zipmethod::kDeflate64, 0, source, sink, declared);
            break;
        case 1:
            DecodeEntryData(zipmethod::kBzip2, 0, source, sink, declared);
            break;
        case 2:
            DecodeEntryData(zipmethod::kLzma, 0, source, sink, declared);
            break;
        case 3:
            DecodeEntryData(zipmethod::kLzma, 2, source, sink, declared);
            break;
        case 4:
            DecodeEntryData(zipmethod::kXz, 0, source, sink, declared);
            break;
        case 5:
            DecodeEntryData(zipmethod::kZstd, 0, source, sink, declared);
            break;
        case 6: {
            std::string expected;
            const bool zlibOk = ZlibInflate(data, size, declared, expected);
            bool oursOk = true;
            try {
                const auto inflater = MakeClassicInflater(source, declared);
                unsigned char buffer[4096];
                for (std::size_t n; (n = inflater->Read(buffer, sizeof buffer)) > 0;) {
                    sink.Write(buffer, n);
                }
            } catch (const DecodeError&) {
                oursOk = false;
            }
            if (zlibOk && (!oursOk || sink.text != expected)) std::abort();
            ok = oursOk;
            break;
        }
        default: {
            // The AES layer, password "fuzz", strength from the size field's top bits.
            const std::uint8_t strength = static_cast<std::uint8_t>(1 + (data[-1] >> 4) % 3);
            AesDecryptingSource aes(source, size, strength, "fuzz");
            DecodeEntryData(zipmethod::kStored, 0, aes, sink, declared);
            aes.Finish();
        }
        }
    } catch (const DecodeError& error) {
        ok = false;
        // VELMORA_FUZZ_VERBOSE shows why an input was refused (to check the seeds).
        static const bool verbose = std::getenv("VELMORA_FUZZ_VERBOSE") != nullptr;
        if (verbose) std::fprintf(stderr, "decoder %u: %s\n", selector, error.what());
    }
    if (sink.text.size() > declared) std::abort();
    velmora::fuzz::RecordOutcome(ok);
    return 0;
}
