// Extracts the input as a gzip file; the output must stay beside it and no partial
// output may remain after a failure.
#include "FuzzSandbox.h"
#include "archive/gzip/GzipReader.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static velmora::fuzz::Sandbox sandbox;
    const auto input = sandbox.Input("in.gz", data, size);
    const velmora::GunzipResult result = velmora::GUnzipToFile(input);
    velmora::fuzz::RecordOutcome(result.outcome.has_value());
    std::size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(sandbox.Root())) {
        (void)entry;
        ++files;
    }
    if (files != (result.outcome ? 2u : 1u) && !(result.outcome && result.output == input)) {
        std::abort();
    }
    return 0;
}
