#include "archive/ZipToolRules.h"
#include "cli/CliCommand.h"
#include "cli/ProgressLine.h"
#include "common/Errors.h"
#include "common/FolderSafety.h"
#include "common/LanguageText.h"
#include "common/QuotedName.h"
#include "common/Utf8Path.h"
#include "platform/FileDurability.h"
#include "platform/IFileAttributes.h"
#include "protect/ProtectRefusals.h"
#include "protect/ProtectedFolder.h"

#include <ostream>

namespace velmora::cli {

int RunProtect(const CommandArgs& args, CliContext& context)
{
    const std::optional<std::string> password = args.Value("--password");
    if (!password || TrimBlanks(*password).empty()) return UsageError("protect", "a password is needed", context);
    const std::string folder = WithoutTrailingSeparator(TrimBlanks(args.arguments[0]));
    const std::string archive(TrimBlanks(args.arguments[1]));

    const IEnvironment& environment = *context.platform.environment;
    const ProtectCheck check =
        CheckProtectFolder(PathFromUtf8(folder), PathFromUtf8(archive),
                           GuardedPaths(environment.ProgramFilePath(), environment.HomeFolder()));
    if (check.status == ProtectStatus::InvalidInput) {
        context.err << "velmora-cli protect: Foldewr not found or invalid output name!\n"
                    << "velmora-cli protect: "
                    << InvalidProtectReason(PathFromUtf8(folder), PathFromUtf8(archive), kEnglish) << "\n";
        return kExitFailed;
    }
    if (check.status != ProtectStatus::Ok) {
        context.err << "velmora-cli protect: the folder cannot be protected: "
                    << QuotedName(ErrorText(*check.error, kEnglish)) << "\n";
        return kExitFailed;
    }
    if (!check.replaced.empty()) {
        // Nobody can be asked here: a file that would be replaced ends the command.
        for (const auto& path : check.replaced) {
            context.err << "velmora-cli protect: " << QuotedInText(Utf8FromPath(path))
                        << " already exists; nothing was changed\n";
        }
        return kExitFailed;
    }

    ProtectOptions options;
    options.password = std::string(TrimBlanks(*password));
    options.random = context.platform.random;
    IFileAttributes* attributes = context.platform.attributes;
    options.attributes = [attributes](const std::filesystem::path& p) {
        return attributes->ReadAttributes(Utf8FromPath(p));
    };
    options.folders = FolderListerOf(attributes);
    options.flushToDisk = [](const std::filesystem::path& path) { return FlushToDisk(Utf8FromPath(path)); };
    options.moveReplacing = [](const std::filesystem::path& from, const std::filesystem::path& to) {
        return MoveReplacing(Utf8FromPath(from), Utf8FromPath(to));
    };
    ProgressLine progress(context);
    options.progress = progress.Callback();
    const ProtectResult result = ProtectFolderToArchive(PathFromUtf8(folder), PathFromUtf8(archive), options);
    progress.Finish();
    for (const std::string& leftover : result.leftovers)
        context.err << "velmora-cli protect: warning: " << leftover << "\n";
    const std::string error = result.error ? ErrorText(*result.error, kEnglish) : std::string();
    switch (result.status) {
    case ProtectStatus::Ok:
        context.out << "Protected folder created\n";
        return kExitOk;
    case ProtectStatus::FolderNotRemoved:
        context.out << "Protected folder created\n";
        context.err << "velmora-cli protect: the folder could not be removed completely: " << QuotedName(error) << "\n";
        return kExitFailed;
    case ProtectStatus::InvalidInput:
        context.err << "velmora-cli protect: Foldewr not found or invalid output name!\n"
                    << "velmora-cli protect: "
                    << InvalidProtectReason(PathFromUtf8(folder), PathFromUtf8(archive), kEnglish) << "\n";
        break;
    case ProtectStatus::NameNotStorable:
        context.err << "velmora-cli protect: the folder cannot be protected: " << QuotedInText(result.error->path)
                    << ": this name would not come back unchanged from the archive (it holds \\, a control "
                       "character or bytes that are not UTF-8, or is too long); rename it first\n";
        break;
    case ProtectStatus::Refused:
        context.err << "velmora-cli protect: the folder cannot be protected: " << QuotedName(error) << "\n";
        break;
    case ProtectStatus::ArchiveFailed:
        context.err << "velmora-cli protect: Error creating archive! " << QuotedName(error) << "\n";
        break;
    case ProtectStatus::VerifyFailed:
        context.err << "velmora-cli protect: the archive did not match the folder when read back: " << error << "\n";
        break;
    case ProtectStatus::ReplaceFailed:
        context.err << "velmora-cli protect: Error file operation. " << QuotedName(error) << "\n";
        break;
    }
    context.err << "velmora-cli protect: the folder was left as it was\n";
    return kExitFailed;
}

} // namespace velmora::cli
