#include "archive/ProtectedFolder.h"
#include "archive/ZipReader.h"
#include "cli/CliCommand.h"
#include "cli/ExtractReport.h"
#include "cli/ProgressLine.h"

#include <optional>
#include <ostream>

namespace velmora::cli {

int RunUnzip(const std::vector<std::string>& args, CliContext& context)
{
    std::vector<std::string> positional;
    std::optional<std::string> password;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--password") {
            if (++i >= args.size()) return UsageError("unzip", "--password needs a value", context);
            password = args[i];
        } else if (args[i].rfind("--password=", 0) == 0) {
            password = args[i].substr(11);
        } else if (args[i].rfind("--", 0) == 0) {
            return UsageError("unzip", "unknown option '" + args[i] + "'", context);
        } else {
            positional.push_back(args[i]);
        }
    }
    if (positional.size() != 2) return UsageError("unzip", "expected ARCHIVE and FOLDER", context);
    const std::filesystem::path archive = positional[0];
    const std::filesystem::path folder = positional[1];
    if (folder.empty()) return UsageError("unzip", "FOLDER must not be empty", context);
    std::error_code ec;
    if (!std::filesystem::is_regular_file(archive, ec)) {
        context.err << "velmora-cli unzip: Zip file not found! '" << archive.string() << "'\n";
        return kExitFailed;
    }
    ZipExtractOptions options;
    ProgressLine progress(context);
    options.progress = progress.Callback();
    if (password) {
        // A protected archive: its files, then the plain archive "folder.zip" inside it,
        // unpacked into the folder; the archive itself is never touched.
        const UnprotectResult result = UnprotectArchive(archive, folder, *password, options.progress);
        progress.Finish();
        if (!result.ok) {
            context.err << "velmora-cli unzip: Unzip error/invalid password! " << result.error << "\n";
            return kExitFailed;
        }
        return kExitOk;
    }
    const ZipExtractResult result = UnZipFile(archive, folder, options);
    progress.Finish();
    return ReportExtraction("unzip", archive, result, context);
}

} // namespace velmora::cli
