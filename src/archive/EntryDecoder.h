#pragma once
// The compression methods an entry's data may use, behind one streaming interface:
// bytes are pulled from a source (the entry's byte range, after any decryption) and
// pushed into a sink, never more than the entry's declared size. Stored, deflate,
// Deflate64, bzip2, LZMA, XZ and Zstandard are read; any other method is refused by
// name before a byte is produced.
#include "common/Errors.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace velmora {

// ZIP compression method numbers.
namespace zipmethod {
inline constexpr std::uint16_t kStored = 0;
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

// Where compressed bytes come from. Read returns 0 only at the end of the data.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual std::size_t Read(unsigned char* data, std::size_t size) = 0;
};

// Where plain bytes go.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    virtual void Write(const unsigned char* data, std::size_t size) = 0;
};

// "method 97 (WavPack)", "method 200" for numbers without a known name.
std::string MethodText(std::uint16_t method);

// Short name for listings: "Stored", "Deflate", "BZip2", ...
std::string MethodName(std::uint16_t method);

// True when DecodeEntryData reads this method.
bool IsMethodSupported(std::uint16_t method);

// Decodes one entry's data from source into sink. flags are the entry's general-purpose
// flags (LZMA bit 1 says an end marker follows the data). Writes at most declaredSize
// bytes and exactly that many on success; throws DecodeError when the data is damaged,
// ends early, would exceed declaredSize or is shorter than it, or the method is not
// supported ("method 97 (WavPack) is not supported"). Returns the bytes written.
std::uint64_t DecodeEntryData(std::uint16_t method, std::uint16_t flags, ByteSource& source, ByteSink& sink,
                              std::uint64_t declaredSize);

} // namespace velmora
