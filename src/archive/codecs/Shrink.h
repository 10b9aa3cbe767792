#pragma once
// Method 1, Shrink: LZW with codes of 9 to 13 bits, least significant bit first. Codes
// 0-255 are bytes; code 256 escapes a command: 1 widens the codes by one bit, 2 frees
// every entry that no other entry extends (a partial clear), whose numbers are then
// given out again from the lowest up.
#include "archive/codecs/EntryDecoder.h"

namespace velmora {

// Same contract as MakeMethodDecoder: never more than declaredSize bytes, exactly that
// many before Read returns 0, DecodeError on damaged data.
std::unique_ptr<ByteSource> MakeShrinkDecoder(ByteSource& packed, std::uint64_t declaredSize);

} // namespace velmora
