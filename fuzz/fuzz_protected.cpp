// Restores the input as a protected archive with the password "pw" (folder parts
// dropped, encrypted entries decrypted, an inner "folder.zip" unpacked) and checks that
// nothing escaped the target.
#include "FuzzSandbox.h"
#include "archive/zip/ZipReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static velmora::fuzz::Sandbox sandbox;
    const auto archive = sandbox.Input("in.zip", data, size);
    try {
        velmora::fuzz::RecordOutcome(velmora::RestoreProtected(archive, sandbox.Out(), "pw").outcome.has_value());
    } catch (const std::exception&) {
        velmora::fuzz::RecordOutcome(false);
    }
    sandbox.CheckNothingEscaped("in.zip");
    return 0;
}
