#include "archive/zip/ZipReader.h"
#include "cli/CliCommand.h"
#include "common/QuotedName.h"
#include "common/Utf8Path.h"

#include <filesystem>
#include <ostream>

namespace velmora::cli {

int RunTest(const std::vector<std::string>& args, CliContext& context)
{
    std::vector<std::string> positional;
    std::string password;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--password") {
            if (++i >= args.size()) return UsageError("test", "--password needs a value", context);
            password = args[i];
        } else if (args[i].rfind("--password=", 0) == 0) {
            password = args[i].substr(11);
        } else if (args[i].rfind("--", 0) == 0) {
            return UsageError("test", "unknown option " + QuotedInText(args[i]), context);
        } else {
            positional.push_back(args[i]);
        }
    }
    if (positional.size() != 1) return UsageError("test", "expected ARCHIVE", context);
    const std::filesystem::path archive = PathFromUtf8(positional[0]);
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
    for (const std::string& failure : result.failures) {
        context.err << "velmora-cli test: " << QuotedName(failure) << "\n";
    }
    if (!result.ok) {
        context.out << result.entriesPassed << " entries passed, " << result.failures.size() << " failed\n";
        return kExitFailed;
    }
    context.out << result.entriesPassed << " entries passed\n";
    return kExitOk;
}

} // namespace velmora::cli
