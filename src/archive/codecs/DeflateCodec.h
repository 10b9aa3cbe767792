#pragma once
// Whole-buffer raw deflate, raw inflate and CRC-32. One implementation is built: libdeflate
// where it is available (the faster one), zlib elsewhere. Large entries and gzip members
// stream through StreamInflate.h instead.
#include <cstddef>
#include <cstdint>

namespace velmora::archive {

// Per-thread compressor state, kept between calls because setting it up costs more than
// compressing a small file.
// Raw deflate of in at level (1..9; higher values are clamped by the zlib build) into out.
// Returns the compressed size, or 0 when it did not fit into outCapacity.
std::size_t RawDeflate(int level, const void* in, std::size_t inSize, void* out, std::size_t outCapacity);

// An output size that RawDeflate (and RawDeflatePiece) of inSize bytes always fits into.
std::size_t RawDeflateBound(int level, std::size_t inSize);

// RawDeflate for the pieces of a large file (DeflatePiece), where the library may search
// harder at the same level than for whole small files: large files carry most of an
// archive's bytes, and there the lighter search gives up more of the size.
std::size_t RawDeflatePiece(int level, const void* in, std::size_t inSize, void* out, std::size_t outCapacity);

enum class InflateResult { Ok, NoRoom, Damaged };

// Inflates one complete raw deflate stream from in into out. inUsed receives the bytes
// of in the stream took (trailing bytes are left), outMade the bytes written.
// NoRoom: the stream holds more than outCapacity bytes; Damaged: it is not valid deflate
// or ends early.
InflateResult RawInflate(const void* in, std::size_t inSize, void* out, std::size_t outCapacity, std::size_t& inUsed,
                         std::size_t& outMade);

// CRC-32 (the ZIP/gzip polynomial), continuing from crc.
std::uint32_t Crc32(std::uint32_t crc, const void* data, std::size_t size);

} // namespace velmora::archive
