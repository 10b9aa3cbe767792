// Runs the PPMd decoder on arbitrary data. The first three bytes give the declared size
// (up to 1 MiB); the rest is the entry's data: the parameter word, then the coded
// symbols. The model memory asked for is cut to 1-4 MiB so that each run stays quick;
// the model fills up and restores itself all the same.
#include "FuzzSandbox.h"
#include "PiecewiseSource.h"
#include "archive/codecs/PpmdDecoder.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 3) {
        velmora::fuzz::RecordOutcome(false);
        return 0;
    }
    const std::uint64_t declared = data[0] | (data[1] << 8) | ((data[2] & 0x0F) << 16);
    std::vector<std::uint8_t> entry(data + 3, data + size);
    if (entry.size() >= 2) {
        // Memory field (bits 4-11 of the word): keep its two low bits only.
        const unsigned word = entry[0] | (entry[1] << 8);
        const unsigned memory = ((word >> 4) & 0xFF) % 4;
        const unsigned fixed = (word & 0xF00F) | (memory << 4);
        entry[0] = static_cast<std::uint8_t>(fixed);
        entry[1] = static_cast<std::uint8_t>(fixed >> 8);
    }
    velmora::fuzz::PiecewiseSource source(entry.data(), entry.size(), 13, 5003);
    bool ok = true;
    std::uint64_t total = 0;
    try {
        const auto decoder = velmora::MakePpmdDecoder(source, declared);
        unsigned char buffer[8192];
        for (std::size_t n; (n = decoder->Read(buffer, sizeof buffer)) > 0;) {
            total += n;
        }
        decoder->Finish();
    } catch (const velmora::DecodeError& error) {
        ok = false;
        static const bool verbose = std::getenv("VELMORA_FUZZ_VERBOSE") != nullptr;
        if (verbose) std::fprintf(stderr, "ppmd: %s\n", error.what());
    }
    if (total > declared || (ok && total != declared)) std::abort();
    velmora::fuzz::RecordOutcome(ok);
    return 0;
}
