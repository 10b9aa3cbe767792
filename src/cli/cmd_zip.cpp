#include "archive/zip/ZipWriter.h"
#include "cli/CliCommand.h"
#include "cli/ProgressLine.h"
#include "common/AsciiText.h"
#include "common/Errors.h"
#include "common/LanguageText.h"
#include "common/QuotedName.h"
#include "common/Utf8Path.h"
#include "platform/IFileAttributes.h"
#include "platform/IRandomSource.h"

#include <filesystem>
#include <ostream>

namespace velmora::cli {

namespace {
// The folder's first-level subfolders (links to folders included), which the zip tool
// leaves out.
std::size_t CountSubfolders(const std::filesystem::path& folder)
{
    std::size_t count = 0;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code statError;
        // The listing's own file type answers for all but links, which are followed.
        count += it->is_directory(statError) ? 1 : 0;
    }
    return count;
}
} // namespace

int RunZip(const CommandArgs& args, CliContext& context)
{
    const std::filesystem::path folder = PathFromUtf8(args.arguments[0]);
    const std::filesystem::path archive = PathFromUtf8(args.arguments[1]);
    const std::string given = args.Value("--password").value_or(std::string());
    const std::string password(TrimBlanks(given));
    const bool overwrite = args.Has("--overwrite");
    const bool aes = args.Has("--aes");
    const bool recursive = args.Has("--recursive");
    if (aes && password.empty()) return UsageError("zip", "--aes needs --password", context);
    if (!IsZipArchiveName(archive)) {
        context.err << "velmora-cli zip: Error creating archive! " << QuotedInText(Utf8FromPath(archive))
                    << " does not end in .zip or .jar\n";
        return kExitFailed;
    }
    std::error_code ec;
    if (std::filesystem::exists(std::filesystem::symlink_status(archive, ec)) && !overwrite) {
        context.err << "velmora-cli zip: " << QuotedInText(Utf8FromPath(archive))
                    << " already exists (use --overwrite)\n";
        return kExitFailed;
    }
    ZipWriteOptions options;
    options.password = password;
    options.aes = aes;
    options.random = context.platform.random;
    // The platform decides what counts as hidden or system, and supplies the stored attributes.
    IFileAttributes* service = context.platform.attributes;
    options.attributes = [service](const std::filesystem::path& path) {
        return service->ReadAttributes(Utf8FromPath(path));
    };
    options.folders = FolderListerOf(service);
    ProgressLine progress(context);
    options.progress = progress.Callback();
    // Without --recursive the zip tool's rule holds: the folder's own files that are
    // neither hidden nor system, by bare name. With it, the whole tree (hidden files
    // included) under relative names, each folder with its own entry.
    const ZipWriteResult result =
        WriteZipArchive(folder, archive, options, recursive ? ZipSelection::WholeTree : ZipSelection::OwnVisibleFiles);
    progress.Finish();
    if (!result.outcome) {
        context.err << "velmora-cli zip: Error creating archive! "
                    << QuotedName(ErrorText(result.outcome.error(), kEnglish)) << "\n";
        return kExitFailed;
    }
    for (const ZipSkipped& s : result.skipped) {
        context.err << "velmora-cli zip: left out " << QuotedInText(Utf8FromPath(s.path)) << ": "
                    << QuotedName(ErrorText(s.reason, kEnglish)) << "\n";
    }
    const std::size_t subfolders = recursive ? 0 : CountSubfolders(folder);
    if (subfolders > 0) {
        context.err << "velmora-cli zip: " << subfolders << (subfolders == 1 ? " subfolder was" : " subfolders were")
                    << " left out (the zip tool packs a folder's own files; --recursive packs the whole tree)\n";
    }
    context.err << "velmora-cli zip: " << result.entries << (result.entries == 1 ? " entry" : " entries")
                << " written to " << QuotedInText(Utf8FromPath(archive)) << "\n";
    return kExitOk;
}

} // namespace velmora::cli
