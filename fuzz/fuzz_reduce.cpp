// Runs the Reduce decoder on arbitrary data (see OldMethodFuzz.h for the input's layout);
// the variant byte picks the compression factor.
#include "OldMethodFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    return velmora::fuzz::RunOldMethod(
        data, size, [](std::uint8_t variant, std::uint16_t& method, std::uint16_t& flags) {
            method = static_cast<std::uint16_t>(velmora::zipmethod::kReduce1 + variant % 4);
            flags = 0;
        });
}
