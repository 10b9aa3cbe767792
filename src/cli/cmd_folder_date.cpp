#include "cli/CliCommand.h"
#include "common/DateTimeText.h"
#include "common/FolderSafety.h"
#include "common/QuotedName.h"
#include "common/Utf8Path.h"
#include "folders/FolderDates.h"
#include "folders/FolderTexts.h"
#include "platform/FileMetadata.h"

#include <cstring>

#include <filesystem>
#include <ostream>

namespace velmora::cli {

int RunFolderDate(const CommandArgs& commandArgs, CliContext& context)
{
    const std::vector<std::string>& args = commandArgs.arguments;
    const std::optional<TDateTime> parsed = ParseDateTimeText(args[0], IsoStyleFormats());
    if (!parsed || !IsMidnight(*parsed)) {
        return UsageError("folder-date", QuotedInText(args[0]) + " is no date of the form YYYY-MM-DD", context);
    }
    if (!FitsFolderDate(*parsed)) {
        context.err << "velmora-cli folder-date: " << args[0]
                    << " cannot be stored: folder dates must lie between 1980 and 2107; nothing was changed\n";
        return kExitFailed;
    }
    // Every folder is checked before the first one is changed.
    for (std::size_t i = 1; i < args.size(); ++i) {
        std::error_code ec;
        if (!std::filesystem::is_directory(PathFromUtf8(args[i]), ec)) {
            context.err << "velmora-cli folder-date: Folder not found! " << QuotedInText(args[i]) << "\n"
                        << "velmora-cli folder-date: " << WhyNotA(args[i], PathKind::Folder) << "\n";
            return kExitFailed;
        }
    }
    int code = kExitOk;
    const auto keep =
        GuardedPaths(context.platform.environment->ProgramFilePath(), context.platform.environment->HomeFolder());
    for (std::size_t i = 1; i < args.size(); ++i) {
        const FolderDateResult result =
            ApplyFolderDate(*context.platform.times, args[i], *parsed, keep, {CopyMetadata, SameMetadata});
        if (result.outcome == FolderDateOutcome::Set || result.outcome == FolderDateOutcome::Recreated) {
            context.out << args[i] << ": " << FormatDateText(*parsed, IsoStyleFormats()) << "\n";
            continue;
        }
        const std::string text =
            result.outcome == FolderDateOutcome::NotPermitted   ? FolderTexts::kDateNotPermitted.english
            : result.outcome == FolderDateOutcome::NotRecreated ? FolderTexts::kDateNotRecreated.english
                                                                : FolderTexts::kDateFailed.english;
        std::string message = text;
        const auto put = [&message](const std::string& mark, const std::string& value) {
            if (const std::size_t at = message.find(mark); at != std::string::npos) message.replace(at, 2, value);
        };
        put("%1", args[i]);
        put("%2", result.outcome == FolderDateOutcome::NotRecreated ? result.error.detail
                                                                    : std::strerror(result.error.systemError));
        context.err << "velmora-cli folder-date: " << message << "\n";
        code = kExitFailed;
    }
    // Linux keeps no settable creation time: access and modification time are what changed.
    return code;
}

} // namespace velmora::cli
