#pragma once
// Our own decoder of PPMd variant I revision 1 (ZIP method 98), which no packaged library
// reads: the entry's data starts with a 2-byte parameter word (model order, model memory
// in MiB, what to do when that memory is full), then the range-coded symbols, closed by
// an end marker.
#include "archive/codecs/EntryDecoder.h"

namespace velmora {

// The largest model memory accepted, in MiB. The parameter word can ask for up to 256 MiB,
// which is also what 7-Zip writes at its highest level.
inline constexpr std::uint32_t kPpmdMaxMemoryMiB = 256;

// Same contract as MakeMethodDecoder: never more than declaredSize bytes, exactly that
// many before Read returns 0, DecodeError on damaged data or parameters it does not read.
// The model memory is allocated when the decoder is made but only touched as the model
// grows, so a small entry costs little however much memory it asks for.
std::unique_ptr<ByteSource> MakePpmdDecoder(ByteSource& packed, std::uint64_t declaredSize);

} // namespace velmora
