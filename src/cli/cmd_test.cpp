#include "archive/zip/ZipReader.h"
#include "cli/CliCommand.h"
#include "common/Errors.h"
#include "common/LanguageText.h"
#include "common/QuotedName.h"
#include "common/Utf8Path.h"

#include <filesystem>
#include <ostream>

namespace velmora::cli {

int RunTest(const CommandArgs& args, CliContext& context)
{
    const std::string password = args.Value("--password").value_or(std::string());
    const std::filesystem::path archive = PathFromUtf8(args.arguments[0]);
    std::error_code ec;
    if (!std::filesystem::is_regular_file(archive, ec)) {
        context.err << "velmora-cli test: Zip file not found! " << QuotedInText(Utf8FromPath(archive)) << "\n"
                    << "velmora-cli test: " << WhyNotA(Utf8FromPath(archive), PathKind::File) << "\n";
        return kExitFailed;
    }
    // Every entry is read to its end and checked; nothing is written.
    const ZipExtractResult result = VerifyZipArchive(archive, password);
    for (const std::string& warning : result.warnings) {
        context.err << "velmora-cli test: warning: " << warning << "\n";
    }
    for (const Error& failure : result.failures) {
        context.err << "velmora-cli test: " << QuotedName(ErrorText(failure, kEnglish)) << "\n";
    }
    if (!result.outcome) {
        context.out << result.entriesPassed << " entries passed, " << result.failures.size() << " failed\n";
        return kExitFailed;
    }
    context.out << result.entriesPassed << " entries passed\n";
    return kExitOk;
}

} // namespace velmora::cli
