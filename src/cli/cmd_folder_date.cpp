#include "cli/CliCommand.h"
#include "common/DateTimeText.h"
#include "folders/FolderDates.h"

#include <filesystem>
#include <ostream>

namespace velmora::cli {

int RunFolderDate(const std::vector<std::string>& args, CliContext& context)
{
    if (args.size() < 2) return UsageError("folder-date", "expected DATE and at least one FOLDER", context);
    const std::optional<TDateTime> parsed = ParseDateTimeText(args[0], IsoStyleFormats());
    if (!parsed || !IsMidnight(*parsed)) {
        return UsageError("folder-date", "'" + args[0] + "' is no date of the form YYYY-MM-DD", context);
    }
    if (!FitsFolderDate(*parsed)) {
        context.err << "velmora-cli folder-date: " << args[0]
                    << " cannot be stored: folder dates must lie between 1980 and 2107; nothing was changed\n";
        return kExitFailed;
    }
    // Every folder is checked before the first one is changed.
    for (std::size_t i = 1; i < args.size(); ++i) {
        std::error_code ec;
        if (!std::filesystem::is_directory(args[i], ec)) {
            context.err << "velmora-cli folder-date: Folder not found! '" << args[i] << "'\n";
            return kExitFailed;
        }
    }
    int code = kExitOk;
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (SetFolderTimes(*context.platform.times, args[i], *parsed, *parsed, *parsed)) {
            context.out << args[i] << ": " << FormatDateText(*parsed, IsoStyleFormats()) << "\n";
        } else {
            context.err << "velmora-cli folder-date: the times of '" << args[i] << "' could not be set\n";
            code = kExitFailed;
        }
    }
    // Linux keeps no settable creation time: access and modification time are what changed.
    return code;
}

} // namespace velmora::cli
