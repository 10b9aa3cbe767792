#pragma once
// Our own inflater: Deflate64 (inflate with a 64 KiB window, length code 285 carrying
// 16 extra bits, distance codes 30 and 31), which no packaged library reads.
#include "archive/EntryDecoder.h"

namespace velmora {

// Same contract as DecodeEntryData: at most declaredSize bytes, exactly that many on
// success, DecodeError on damaged data.
std::uint64_t InflateDeflate64(ByteSource& source, ByteSink& sink, std::uint64_t declaredSize);

// The same inflater reading plain deflate; used to cross-check it against zlib.
std::uint64_t InflateClassic(ByteSource& source, ByteSink& sink, std::uint64_t declaredSize);

} // namespace velmora
