#pragma once
// Streaming raw inflate, for Deflate entries and gzip members decoded piece by piece into
// bounded buffers. One implementation is built: ISA-L where the build found it (about
// twice zlib's speed on large streams), zlib otherwise.
#include <cstddef>
#include <cstdint>
#include <memory>

namespace velmora::archive {

class StreamInflater {
public:
    enum class Status { More, End, Damaged };
    virtual ~StreamInflater() = default;
    // Starts a new stream.
    virtual void Reset() = 0;
    // Decodes from in (inSize bytes) into out (room for outSize bytes); inUsed and outMade
    // receive the bytes taken and made. End once the stream's last block has been handed
    // out whole; More while it needs input or room.
    virtual Status Inflate(const unsigned char* in, std::size_t inSize, unsigned char* out, std::size_t outSize,
                           std::size_t& inUsed, std::size_t& outMade) = 0;
    // After End: the bytes after the stream that were taken as input but belong to what
    // follows it (a gzip trailer), at most kMaxReadAhead of them, copied to out.
    static constexpr std::size_t kMaxReadAhead = 8;
    virtual std::size_t TakeReadAhead(unsigned char* out) = 0;
};

std::unique_ptr<StreamInflater> MakeStreamInflater();

// True where one whole-buffer call (RawInflate) decodes an entry of plainSize bytes faster
// than the streaming inflater; such entries are read whole.
bool PreferWholeInflate(std::uint64_t packedSize, std::uint64_t plainSize);

} // namespace velmora::archive
