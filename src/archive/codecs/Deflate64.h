#pragma once
// Our own inflater: Deflate64 (inflate with a 64 KiB window, length code 285 carrying
// 16 extra bits, distance codes 30 and 31), which no packaged library reads.
#include "archive/codecs/EntryDecoder.h"

namespace velmora {

// Same contract as MakeMethodDecoder: never more than declaredSize bytes, exactly that
// many before Read returns 0, DecodeError on damaged data.
std::unique_ptr<ByteSource> MakeDeflate64Decoder(ByteSource& packed, std::uint64_t declaredSize);

// The same inflater reading plain deflate; used to cross-check it against zlib.
std::unique_ptr<ByteSource> MakeClassicInflater(ByteSource& packed, std::uint64_t declaredSize);

} // namespace velmora
