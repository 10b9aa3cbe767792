#pragma once
// The decoders built on a compression library (or on none, for stored data), each bounded
// by the entry's declared size. Bzip2, LZMA, XZ and Zstandard exist only in builds with the
// library methods.
#include "archive/EntryLayers.h"

#include <cstdint>
#include <memory>

namespace velmora {

std::unique_ptr<ByteSource> MakeStoredDecoder(ByteSource& packed, std::uint64_t declared);
std::unique_ptr<ByteSource> MakeInflateDecoder(ByteSource& packed, std::uint64_t declared);
#ifdef VELMORA_LIBRARY_METHODS
std::unique_ptr<ByteSource> MakeBzip2Decoder(ByteSource& packed, std::uint64_t declared);
// ZIP's LZMA method: a small header, then raw LZMA1 data; flags bit 1 says an end marker closes it.
std::unique_ptr<ByteSource> MakeLzmaDecoder(std::uint16_t flags, ByteSource& packed, std::uint64_t declared);
std::unique_ptr<ByteSource> MakeXzDecoder(ByteSource& packed, std::uint64_t declared);
std::unique_ptr<ByteSource> MakeZstdDecoder(ByteSource& packed, std::uint64_t declared);
#endif

} // namespace velmora
