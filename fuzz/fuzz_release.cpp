// Reads the input as the updater's release file and compares its first line with the
// program's version, as one tick of the update notice does. Bad content may only end
// in VelmoraError; the text handed on must carry no blanks or controls at either end.
#include "FuzzSandbox.h"
#include "common/Errors.h"
#include "update/ReleaseVersion.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static velmora::fuzz::Sandbox sandbox;
    const auto input = sandbox.Input("velmora.dat", data, size);
    try {
        const std::string version = velmora::ReadReleaseVersion(input.string());
        if (!version.empty() &&
            (static_cast<unsigned char>(version.front()) <= ' ' || static_cast<unsigned char>(version.back()) <= ' ')) {
            std::abort();
        }
        velmora::CompareReleases("1.3.0.0", version);
        velmora::fuzz::RecordOutcome(!version.empty());
    } catch (const velmora::VelmoraError&) {
        velmora::fuzz::RecordOutcome(false);
    }
    return 0;
}
