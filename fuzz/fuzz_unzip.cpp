// Lists the input as a ZIP archive, extracts it with its folder structure and verifies
// it, and checks that nothing was written outside the target.
#include "FuzzSandbox.h"
#include "archive/zip/ZipReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static velmora::fuzz::Sandbox sandbox;
    const auto archive = sandbox.Input("in.zip", data, size);
    static_cast<void>(velmora::ListZipArchive(archive));
    velmora::fuzz::RecordOutcome(velmora::UnZipFile(archive, sandbox.Out()).outcome.has_value());
    sandbox.CheckNothingEscaped("in.zip");
    velmora::VerifyZipArchive(archive, "pw");
    return 0;
}
