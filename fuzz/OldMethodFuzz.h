#pragma once
// The body shared by the fuzz targets of the oldest methods (Shrink, Reduce, Implode):
// the first byte picks the variant (Reduce's factor, Implode's flags), the next three the
// declared size (up to 1 MiB); the rest is the entry's data. Whatever the input, the
// decoder hands out no more than the declared size, and exactly that much when it succeeds.
#include "FuzzSandbox.h"
#include "PiecewiseSource.h"
#include "archive/codecs/EntryDecoder.h"

#include <cstdio>
#include <cstdlib>

namespace velmora::fuzz {

// method(variant byte) gives the method and flags to decode with.
template <typename PickMethod> int RunOldMethod(const std::uint8_t* data, std::size_t size, PickMethod pick)
{
    if (size < 4) {
        RecordOutcome(false);
        return 0;
    }
    std::uint16_t method = 0;
    std::uint16_t flags = 0;
    pick(data[0], method, flags);
    const std::uint64_t declared = data[1] | (data[2] << 8) | ((data[3] & 0x0F) << 16);
    PiecewiseSource source(data + 4, size - 4, 11, 2039);
    bool ok = true;
    std::uint64_t total = 0;
    try {
        const auto decoder = MakeMethodDecoder(method, flags, source, declared);
        unsigned char buffer[3000]; // not a power of two: copies break across reads
        for (std::size_t n; (n = decoder->Read(buffer, sizeof buffer)) > 0;) {
            total += n;
            if (total > declared) std::abort();
        }
        decoder->Finish();
    } catch (const DecodeError& error) {
        ok = false;
        static const bool verbose = std::getenv("VELMORA_FUZZ_VERBOSE") != nullptr;
        if (verbose) std::fprintf(stderr, "method %u: %s\n", method, error.what());
    }
    if (ok && total != declared) std::abort();
    RecordOutcome(ok);
    return 0;
}

} // namespace velmora::fuzz
