// Reads the input as the updater's release file and compares its first line with the
// program's version, as one tick of the update notice does. Bad content may only make a
// failed result, never an exception; the text handed on must carry no blanks or controls
// at either end.
#include "FuzzSandbox.h"
#include "common/Result.h"
#include "update/ReleaseVersion.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static velmora::fuzz::Sandbox sandbox;
    const auto input = sandbox.Input("velmora.dat", data, size);
    const velmora::Result<std::string> version = velmora::ReadReleaseVersion(input.string());
    if (!version) {
        velmora::fuzz::RecordOutcome(false);
        return 0;
    }
    if (!version->empty() &&
        (static_cast<unsigned char>(version->front()) <= ' ' || static_cast<unsigned char>(version->back()) <= ' ')) {
        std::abort();
    }
    const velmora::Result<velmora::ReleaseVerdict> verdict = velmora::CompareReleases("1.3.0.0", *version);
    velmora::fuzz::RecordOutcome(verdict.has_value() && !version->empty());
    return 0;
}
