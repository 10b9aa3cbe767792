#include "folders/FolderDates.h"

#include "common/DateTimeText.h"
#include "common/FolderSafety.h"
#include "common/Utf8Path.h"
#include "folders/FolderTools.h"

#include <cerrno>
#include <cmath>

namespace velmora {

TDateTime TodayLocal(IFileTimes& times)
{
    return std::floor(times.Now());
}

std::string FolderDateText(ILocaleFormats& locale, TDateTime value)
{
    return FormatDateTimeText(value, locale.Formats());
}

TDateTime FolderDate(IFileTimes& times, const std::string& path)
{
    const std::optional<TDateTime> modified = times.ModificationTime(path);
    if (!modified) return 0.0;
    // The list shows the date only.
    return std::floor(*modified);
}

std::optional<TDateTime> ParseFolderDate(ILocaleFormats& locale, std::string_view text)
{
    const std::optional<TDateTime> value = ParseDateTimeText(text, locale.Formats());
    // A time of day is no date: the field takes a date alone.
    if (!value || !IsMidnight(*value)) return std::nullopt;
    return value;
}

std::optional<TDateTime> ThroughDosDateTime(TDateTime value)
{
    const std::uint32_t packed = PackDosDateTime(DecodeDateTime(value));
    if (packed == 0) return std::nullopt;
    return EncodeDateTime(UnpackDosDateTime(packed));
}

bool FitsFolderDate(TDateTime value)
{
    return ThroughDosDateTime(value).has_value();
}

Result<void> SetFolderTimes(IFileTimes& times, const std::string& path, TDateTime /*creation*/, TDateTime lastAccess,
                            TDateTime lastWrite)
{
    const std::optional<TDateTime> access = ThroughDosDateTime(lastAccess);
    const std::optional<TDateTime> write = ThroughDosDateTime(lastWrite);
    if (!access || !write) return Fail(ErrorFromErrno(EINVAL, path, kSetTimesFailed));
    // Different access and write times: the service sets both to one value, then the
    // modification time alone is moved to its own value.
    Result<void> set = times.SetAccessAndModificationTime(path, *access);
    if (set && *access != *write) set = times.SetModificationTime(path, *write);
    return set;
}

FolderDateResult ApplyFolderDate(IFileTimes& times, const std::string& path, TDateTime date,
                                 const std::vector<std::filesystem::path>& keep, const MetadataService& metadata)
{
    FolderDateResult result;
    Result<void> set = SetFolderTimes(times, path, date, date, date);
    if (set) {
        result.outcome = FolderDateOutcome::Set;
        return result;
    }
    result.error = std::move(set).error();
    const int err = result.error.systemError;
    if (err == EPERM || err == EACCES) {
        result.outcome = FolderDateOutcome::NotPermitted;
        return result;
    }
    if (err != EBUSY && err != ETXTBSY) {
        result.outcome = FolderDateOutcome::Failed;
        return result;
    }
    std::string detail;
    const RecreateOutcome recreated =
        RecreateFolder(PathFromUtf8(WithoutTrailingSeparator(path)), keep, metadata, &detail);
    if (recreated != RecreateOutcome::Recreated) {
        result.outcome = FolderDateOutcome::NotRecreated;
        if (detail.empty()) {
            detail = recreated == RecreateOutcome::Guarded      ? "the folder holds the program or the home folder"
                     : recreated == RecreateOutcome::CopyExists ? "'" + RecreationCopyPath(path) + "' exists"
                                                                : "the copy could not replace it";
        }
        result.error = WithDetail(std::move(result.error), std::move(detail));
        return result;
    }
    set = SetFolderTimes(times, path, date, date, date);
    if (set) {
        result.outcome = FolderDateOutcome::Recreated;
        result.error = {};
    } else {
        result.outcome = FolderDateOutcome::Failed;
        result.error = std::move(set).error();
    }
    return result;
}

} // namespace velmora
