#pragma once
// The compression methods an entry's data may use, each a pull source of plain bytes
// reading from a source of packed bytes (the entry's byte range, after any cipher).
// Stored, Shrink, Reduce, Implode, deflate, Deflate64, bzip2, LZMA, XZ, Zstandard and PPMd
// are read; any other method is refused by name before a byte is produced. No decoder ever
// hands out more than the entry's declared size.
#include "archive/EntryLayers.h"
#include "common/Errors.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace velmora {

// ZIP compression method numbers.
namespace zipmethod {
inline constexpr std::uint16_t kStored = 0;
inline constexpr std::uint16_t kShrink = 1;
inline constexpr std::uint16_t kReduce1 = 2; // Reduce with compression factor 1; 3-5 are factors 2-4
inline constexpr std::uint16_t kReduce2 = 3;
inline constexpr std::uint16_t kReduce3 = 4;
inline constexpr std::uint16_t kReduce4 = 5;
inline constexpr std::uint16_t kImplode = 6;
inline constexpr std::uint16_t kDeflate = 8;
inline constexpr std::uint16_t kDeflate64 = 9;
inline constexpr std::uint16_t kBzip2 = 12;
inline constexpr std::uint16_t kLzma = 14;
inline constexpr std::uint16_t kZstd = 93;
inline constexpr std::uint16_t kXz = 95;
inline constexpr std::uint16_t kPpmd = 98;
inline constexpr std::uint16_t kAes = 99; // the real method sits in the 0x9901 extra field
} // namespace zipmethod

// Damaged or oversized compressed data, or a method that cannot be read.
class DecodeError : public VelmoraError {
public:
    using VelmoraError::VelmoraError;
};

// The decoders are layers of the reader: pull sources of bytes (Read, then Finish once
// the data has ended).
using ByteSource = archive::ByteSource;

// Where plain bytes go.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    virtual void Write(const unsigned char* data, std::size_t size) = 0;
};

// "method 97 (WavPack)", "method 200" for numbers without a known name.
std::string MethodText(std::uint16_t method);

// Short name for listings: "Stored", "Deflate", "BZip2", ...; empty when unknown.
std::string MethodName(std::uint16_t method);

// A decoder of method reading from packed (which must outlive it). flags are the entry's
// general-purpose flags (for LZMA, bit 1 says an end marker closes the data). Its Read
// throws DecodeError when the data is damaged, ends early, would exceed declaredSize or
// ends short of it; its Finish passes on to packed. Throws DecodeError ("method 97
// (WavPack) is not supported") for a method it does not read.
std::unique_ptr<ByteSource> MakeMethodDecoder(std::uint16_t method, std::uint16_t flags, ByteSource& packed,
                                              std::uint64_t declaredSize);

// Pulls a whole entry through its decoder into sink and calls Finish; returns the bytes
// written (always declaredSize on success).
std::uint64_t DecodeEntryData(std::uint16_t method, std::uint16_t flags, ByteSource& packed, ByteSink& sink,
                              std::uint64_t declaredSize);

} // namespace velmora
