#pragma once
// Methods 2-5, Reduce with compression factor 1-4: a run of repeated strings (a DLE byte,
// 144, starts a length and a distance of up to 4 KiB; DLE 0 is the byte itself), each
// byte of which is coded against a set of up to 32 likely followers of the byte before.
#include "archive/codecs/EntryDecoder.h"

namespace velmora {

// factor is 1-4 (method - 1). Same contract as MakeMethodDecoder: never more than
// declaredSize bytes, exactly that many before Read returns 0, DecodeError on damaged data.
std::unique_ptr<ByteSource> MakeReduceDecoder(unsigned factor, ByteSource& packed, std::uint64_t declaredSize);

} // namespace velmora
