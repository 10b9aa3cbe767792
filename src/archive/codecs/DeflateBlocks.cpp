// Deflate compression of whole buffers and of the pieces of one long stream.
#include "archive/codecs/DeflateBlocks.h"

#include "archive/codecs/DeflateCodec.h"

#include <zlib.h>

#include <algorithm>

namespace velmora::archive {

namespace {
// Finds where the final block of a complete raw deflate stream starts and how many
// padding bits follow its end, by inflating it block by block. False when the data is
// not one complete stream.
bool LocateFinalBlock(const std::string& data, std::size_t& finalBlockBit, unsigned& paddingBits)
{
    z_stream zs{};
    if (inflateInit2(&zs, -15) != Z_OK) {
        return false;
    }
    unsigned char sink[1 << 16];
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    zs.avail_in = static_cast<uInt>(data.size());
    finalBlockBit = 0;
    bool ok = false;
    bool sawFinalEnd = false;
    for (;;) {
        zs.next_out = sink;
        zs.avail_out = sizeof sink;
        const int rc = inflate(&zs, Z_BLOCK);
        if (rc == Z_STREAM_END) {
            ok = sawFinalEnd && zs.total_in == data.size();
            break;
        }
        if (rc != Z_OK) {
            break;
        }
        if (zs.data_type & 128) {
            // Stopped at a block boundary: the bits of the last byte read that are not used yet.
            const unsigned bits = static_cast<unsigned>(zs.data_type) & 63u;
            if (bits >= 8) {
                break;
            }
            if (zs.data_type & 64) {
                paddingBits = bits; // just after the final block's end code
                sawFinalEnd = true;
            } else {
                finalBlockBit = zs.total_in * 8 - bits;
            }
        }
    }
    inflateEnd(&zs);
    return ok;
}

// True when samples spread over the data do not shrink at the fastest level. Such data
// (random bytes, pictures, other archives) ends up in stored blocks anyway; searching it
// for matches at the real level would cost as much as compressing text, for nothing.
bool LooksIncompressible(const unsigned char* data, std::size_t size)
{
    constexpr std::size_t kSample = 16u << 10;
    constexpr std::size_t kSamples = 4;
    if (size < kSample * kSamples * 4) {
        return false;
    }
    thread_local unsigned char scratch[kSample];
    for (std::size_t i = 0; i < kSamples; ++i) {
        const unsigned char* sample = data + (size - kSample) / (kSamples - 1) * i;
        // 0: the output did not fit in the sample's own size.
        const std::size_t packed = RawDeflate(1, sample, kSample, scratch, sizeof scratch);
        if (packed != 0 && packed < kSample - kSample / 64) {
            return false;
        }
    }
    return true;
}

void StoredPieces(const unsigned char* data, std::size_t size, std::string& out)
{
    out.clear();
    std::size_t pos = 0;
    do {
        const std::size_t n = std::min<std::size_t>(size - pos, 65535);
        out.push_back('\0'); // not final, stored, padding to the byte boundary
        out.push_back(static_cast<char>(n & 0xFF));
        out.push_back(static_cast<char>(n >> 8));
        out.push_back(static_cast<char>(~n & 0xFF));
        out.push_back(static_cast<char>((~n >> 8) & 0xFF));
        out.append(reinterpret_cast<const char*>(data + pos), n);
        pos += n;
    } while (pos < size);
}
} // namespace

bool DeflateWhole(const unsigned char* data, std::size_t size, int level, std::string& out)
{
    const std::size_t limit = size + 1024;
    out.resize(limit);
    const std::size_t n = RawDeflate(level, data, size, out.data(), limit);
    out.resize(n);
    return n != 0;
}

void DeflatePiece(const unsigned char* data, std::size_t size, int level, std::string& out)
{
    if (size == 0) {
        out.clear();
        return;
    }
    if (LooksIncompressible(data, size)) {
        StoredPieces(data, size, out);
        return;
    }
    std::size_t finalBit = 0;
    unsigned padding = 0;
    out.resize(RawDeflateBound(level, size) + 8);
    const std::size_t n = RawDeflatePiece(level, data, size, out.data(), out.size());
    out.resize(n);
    if (n != 0 && LocateFinalBlock(out, finalBit, padding)) {
        // Clear the final-block bit, then close with an empty stored block: its three
        // header bits fit into the padding or spill into one more zero byte.
        out[finalBit / 8] = static_cast<char>(out[finalBit / 8] & ~(1u << (finalBit % 8)));
        if (padding < 3) {
            out.push_back('\0');
        }
        out.append("\x00\x00\xFF\xFF", 4);
        return;
    }
    StoredPieces(data, size, out);
}

} // namespace velmora::archive
