// The deflate codec on zlib (builds without libdeflate, such as the Windows one).
#include "archive/codecs/DeflateCodec.h"

#include <zlib.h>
#if VELMORA_ISAL_CRC32
#include <isa-l/crc.h>
#endif

#include <algorithm>
#include <limits>
#include <map>
#include <memory>
#include <new>

namespace velmora::archive {

namespace {
// zlib counts in uInt; larger buffers are fed in slices of this size.
constexpr std::size_t kSlice = std::numeric_limits<uInt>::max();

struct Deflater {
    z_stream stream{};
    explicit Deflater(int level)
    {
        if (deflateInit2(&stream, std::clamp(level, 1, 9), Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
            throw std::bad_alloc();
        }
    }
    ~Deflater() { deflateEnd(&stream); }
    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;
};

struct Inflater {
    z_stream stream{};
    Inflater()
    {
        if (inflateInit2(&stream, -15) != Z_OK) {
            throw std::bad_alloc();
        }
    }
    ~Inflater() { inflateEnd(&stream); }
    Inflater(const Inflater&) = delete;
    Inflater& operator=(const Inflater&) = delete;
};

z_stream& DeflaterFor(int level)
{
    thread_local std::map<int, std::unique_ptr<Deflater>> deflaters;
    auto& slot = deflaters[level];
    if (!slot) {
        slot = std::make_unique<Deflater>(level);
    } else if (deflateReset(&slot->stream) != Z_OK) {
        throw std::bad_alloc();
    }
    return slot->stream;
}

z_stream& InflaterForThread()
{
    thread_local Inflater inflater;
    if (inflateReset(&inflater.stream) != Z_OK) {
        throw std::bad_alloc();
    }
    return inflater.stream;
}
} // namespace

std::size_t RawDeflate(int level, const void* in, std::size_t inSize, void* out, std::size_t outCapacity)
{
    z_stream& zs = DeflaterFor(level);
    auto* next = static_cast<const unsigned char*>(in);
    std::size_t left = inSize;
    zs.next_out = static_cast<Bytef*>(out);
    std::size_t room = outCapacity;
    for (;;) {
        const std::size_t inPart = std::min(left, kSlice);
        zs.next_in = const_cast<Bytef*>(next);
        zs.avail_in = static_cast<uInt>(inPart);
        const std::size_t outPart = std::min(room, kSlice);
        zs.avail_out = static_cast<uInt>(outPart);
        const bool last = inPart == left;
        const int rc = deflate(&zs, last ? Z_FINISH : Z_NO_FLUSH);
        const std::size_t took = inPart - zs.avail_in;
        next += took;
        left -= took;
        room -= outPart - zs.avail_out;
        if (rc == Z_STREAM_END) {
            return outCapacity - room;
        }
        if ((rc != Z_OK && rc != Z_BUF_ERROR) || room == 0) {
            return 0;
        }
    }
}

// zlib searches the same way at a level whatever the data's size.
std::size_t RawDeflatePiece(int level, const void* in, std::size_t inSize, void* out, std::size_t outCapacity)
{
    return RawDeflate(level, in, inSize, out, outCapacity);
}

std::size_t RawDeflateBound(int level, std::size_t inSize)
{
    // deflateBound for the stored worst case, computed without narrowing to uLong.
    (void)level;
    return inSize + inSize / 1000 + (inSize / 16383 + 1) * 5 + 64;
}

InflateResult RawInflate(const void* in, std::size_t inSize, void* out, std::size_t outCapacity, std::size_t& inUsed,
                         std::size_t& outMade)
{
    z_stream& zs = InflaterForThread();
    auto* next = static_cast<const unsigned char*>(in);
    auto* target = static_cast<unsigned char*>(out);
    std::size_t left = inSize;
    std::size_t room = outCapacity;
    inUsed = 0;
    outMade = 0;
    for (;;) {
        const std::size_t inPart = std::min(left, kSlice);
        zs.next_in = const_cast<Bytef*>(next);
        zs.avail_in = static_cast<uInt>(inPart);
        // With the output full, one more byte tells a stream that ends exactly there from
        // one that holds more.
        unsigned char probe = 0;
        const bool probing = room == 0;
        const std::size_t outPart = probing ? 1 : std::min(room, kSlice);
        zs.next_out = probing ? &probe : target;
        zs.avail_out = static_cast<uInt>(outPart);
        const int rc = inflate(&zs, Z_NO_FLUSH);
        const std::size_t took = inPart - zs.avail_in;
        const std::size_t made = outPart - zs.avail_out;
        next += took;
        left -= took;
        inUsed = inSize - left;
        if (probing && made > 0) {
            return InflateResult::NoRoom;
        }
        if (!probing) {
            target += made;
            room -= made;
            outMade = outCapacity - room;
        }
        if (rc == Z_STREAM_END) {
            return InflateResult::Ok;
        }
        if (rc != Z_OK && rc != Z_BUF_ERROR) {
            return InflateResult::Damaged;
        }
        if (took == 0 && made == 0 && left == 0) {
            return InflateResult::Damaged; // the stream ends early
        }
    }
}

std::uint32_t Crc32(std::uint32_t crc, const void* data, std::size_t size)
{
#if VELMORA_ISAL_CRC32
    // ISA-L folds with the wide carry-less multiply where the processor has it.
    if (size == 0) return crc;
    return crc32_gzip_refl(crc, static_cast<const unsigned char*>(data), size);
#else
    auto* next = static_cast<const Bytef*>(data);
    while (size > 0) {
        const std::size_t part = std::min(size, kSlice);
        crc = static_cast<std::uint32_t>(::crc32(crc, next, static_cast<uInt>(part)));
        next += part;
        size -= part;
    }
    return crc;
#endif
}

} // namespace velmora::archive
