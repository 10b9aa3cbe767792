#include "archive/zip/ZipReader.h"
#include "cli/CliCommand.h"
#include "cli/ExtractReport.h"
#include "cli/ProgressLine.h"
#include "common/Errors.h"
#include "common/LanguageText.h"
#include "common/QuotedName.h"
#include "common/Utf8Path.h"
#include "protect/ProtectedFolder.h"

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

// ARCHIVE FOLDER [--password P] [--links=HOW]; returns an exit code when the arguments are not usable.
std::optional<int> ReadExtractArgs(const std::string& command, const CommandArgs& args, CliContext& context,
                                   ExtractArgs& parsed)
{
    parsed.password = args.Value("--password");
    const std::string links = args.Value("--links").value_or("inside");
    parsed.links = links == "all" ? LinkPolicy::All : links == "skip" ? LinkPolicy::Skip : LinkPolicy::Inside;
    parsed.archive = PathFromUtf8(args.arguments[0]);
    parsed.folder = PathFromUtf8(args.arguments[1]);
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
int RunUnzip(const CommandArgs& args, CliContext& context)
{
    ExtractArgs parsed;
    if (auto exit = ReadExtractArgs("unzip", args, context, parsed)) return *exit;
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
int RunRestore(const CommandArgs& args, CliContext& context)
{
    ExtractArgs parsed;
    if (auto exit = ReadExtractArgs("restore", args, context, parsed)) return *exit;
    if (!parsed.password) return UsageError("restore", "a password is needed", context);
    ProgressLine progress(context);
    const UnprotectResult result =
        UnprotectArchive(parsed.archive, parsed.folder, *parsed.password, progress.Callback());
    progress.Finish();
    if (result.targetNotMade) {
        // Nothing was done: the system's error alone, as for any command that could not start.
        context.err << "velmora-cli restore: " << ErrorText(result.outcome.error(), kEnglish) << "\n";
        return kExitFailed;
    }
    for (const std::string& leftover : result.leftovers)
        context.err << "velmora-cli restore: warning: " << leftover << "\n";
    if (!result.outcome) {
        const Error& error = result.outcome.error();
        context.err << "velmora-cli restore: Unzip error/invalid password! " << QuotedName(ErrorText(error, kEnglish))
                    << "\n";
        if (error.kind == Error::Kind::WrongPassword) context.err << "velmora-cli restore: nothing was changed\n";
        return kExitFailed;
    }
    context.out << "Archive unzipped.\n";
    return kExitOk;
}

} // namespace velmora::cli
