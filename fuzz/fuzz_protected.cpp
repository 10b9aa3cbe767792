// Extracts the input as a protected archive with the password "pw" (folder parts
// dropped, encrypted entries decrypted) and checks that nothing escaped the target.
#include "FuzzSandbox.h"
#include "archive/ZipReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static velmora::fuzz::Sandbox sandbox;
    const auto archive = sandbox.Input("in.zip", data, size);
    try {
        velmora::ExtractProtected(sandbox.Out(), archive, "pw");
    } catch (const std::exception&) {
    }
    sandbox.CheckNothingEscaped("in.zip");
    return 0;
}
