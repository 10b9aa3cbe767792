#pragma once
// Method 6, Implode: literals and (distance, length) pairs over a 4 KiB or 8 KiB window,
// coded with two or three Shannon-Fano trees stored at the start of the data. Flag bit 1
// selects the 8 KiB window (7 plain low distance bits instead of 6); flag bit 2 says a
// tree codes the literals (otherwise they are plain bytes), which raises the shortest
// match from 2 to 3 bytes.
#include "archive/codecs/EntryDecoder.h"

namespace velmora {

// Same contract as MakeMethodDecoder: never more than declaredSize bytes, exactly that
// many before Read returns 0, DecodeError on damaged data.
std::unique_ptr<ByteSource> MakeImplodeDecoder(std::uint16_t flags, ByteSource& packed, std::uint64_t declaredSize);

} // namespace velmora
