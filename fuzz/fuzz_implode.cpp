// Runs the Implode decoder on arbitrary data (see OldMethodFuzz.h for the input's layout);
// the variant byte's bits 1 and 2 are the entry's flags (8 KiB window, literal tree).
#include "OldMethodFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    return velmora::fuzz::RunOldMethod(data, size,
                                       [](std::uint8_t variant, std::uint16_t& method, std::uint16_t& flags) {
                                           method = velmora::zipmethod::kImplode;
                                           flags = variant & 0x06;
                                       });
}
