#include "archive/protect/ProtectedFolder.h"
#include "archive/zip/ZipReader.h"
#include "cli/CliCommand.h"
#include "cli/ExtractReport.h"
#include "cli/ProgressLine.h"
#include "common/QuotedName.h"
#include "common/Utf8Path.h"

#include <optional>
#include <ostream>

namespace velmora::cli {

namespace {

struct ExtractArgs {
    std::filesystem::path archive;
    std::filesystem::path folder;
    std::optional<std::string> password;
    LinkPolicy links = LinkPolicy::Inside;
};

// ARCHIVE FOLDER [--password P]; returns an exit code when the arguments are not usable.
std::optional<int> ParseExtractArgs(const std::string& command, const std::vector<std::string>& args,
                                    CliContext& context, ExtractArgs& parsed)
{
    std::vector<std::string> positional;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--password") {
            if (++i >= args.size()) return UsageError(command, "--password needs a value", context);
            parsed.password = args[i];
        } else if (args[i].rfind("--password=", 0) == 0) {
            parsed.password = args[i].substr(11);
        } else if (command == "unzip" && (args[i] == "--links" || args[i].rfind("--links=", 0) == 0)) {
            std::string value;
            if (args[i] == "--links") {
                if (++i >= args.size()) return UsageError(command, "--links needs a value", context);
                value = args[i];
            } else {
                value = args[i].substr(8);
            }
            if (value == "inside") {
                parsed.links = LinkPolicy::Inside;
            } else if (value == "all") {
                parsed.links = LinkPolicy::All;
            } else if (value == "skip") {
                parsed.links = LinkPolicy::Skip;
            } else {
                return UsageError(command, "--links takes inside, all or skip", context);
            }
        } else if (args[i].rfind("--", 0) == 0) {
            return UsageError(command, "unknown option " + QuotedInText(args[i]), context);
        } else {
            positional.push_back(args[i]);
        }
    }
    if (positional.size() != 2) return UsageError(command, "expected ARCHIVE and FOLDER", context);
    parsed.archive = PathFromUtf8(positional[0]);
    parsed.folder = PathFromUtf8(positional[1]);
    if (parsed.folder.empty()) return UsageError(command, "FOLDER must not be empty", context);
    std::error_code ec;
    if (!std::filesystem::is_regular_file(parsed.archive, ec)) {
        context.err << "velmora-cli " << command << ": Zip file not found! "
                    << QuotedInText(Utf8FromPath(parsed.archive)) << "\n"
                    << "velmora-cli " << command << ": " << WhyNotA(Utf8FromPath(parsed.archive), PathKind::File)
                    << "\n";
        return kExitFailed;
    }
    return std::nullopt;
}

} // namespace

// Extracts with the archive's folders kept, encrypted or not.
int RunUnzip(const std::vector<std::string>& args, CliContext& context)
{
    ExtractArgs parsed;
    if (auto exit = ParseExtractArgs("unzip", args, context, parsed)) return *exit;
    ZipExtractOptions options;
    ProgressLine progress(context);
    options.progress = progress.Callback();
    options.password = parsed.password;
    options.links = parsed.links;
    const ZipExtractResult result = UnZipFile(parsed.archive, parsed.folder, options);
    progress.Finish();
    return ReportExtraction("unzip", parsed.archive, result, context);
}

// The protected-folder restore: the archive's files and the plain archive "folder.zip"
// inside it go flat into the folder; the archive itself is never touched.
int RunRestore(const std::vector<std::string>& args, CliContext& context)
{
    ExtractArgs parsed;
    if (auto exit = ParseExtractArgs("restore", args, context, parsed)) return *exit;
    if (!parsed.password) return UsageError("restore", "a password is needed", context);
    ProgressLine progress(context);
    const UnprotectResult result =
        UnprotectArchive(parsed.archive, parsed.folder, *parsed.password, progress.Callback());
    progress.Finish();
    for (const std::string& leftover : result.leftovers)
        context.err << "velmora-cli restore: warning: " << leftover << "\n";
    if (!result.ok) {
        context.err << "velmora-cli restore: Unzip error/invalid password! " << QuotedName(result.error) << "\n";
        if (result.wrongPassword) context.err << "velmora-cli restore: nothing was changed\n";
        return kExitFailed;
    }
    context.out << "Archive unzipped.\n";
    return kExitOk;
}

} // namespace velmora::cli
