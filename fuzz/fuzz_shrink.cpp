// Runs the Shrink decoder on arbitrary data (see OldMethodFuzz.h for the input's layout).
#include "OldMethodFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    return velmora::fuzz::RunOldMethod(data, size, [](std::uint8_t, std::uint16_t& method, std::uint16_t& flags) {
        method = velmora::zipmethod::kShrink;
        flags = 0;
    });
}
