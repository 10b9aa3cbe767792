#include "folders/FolderDates.h"

#include "common/DateTimeText.h"

#include <cmath>

namespace velmora {

TDateTime TodayLocal(IFileTimes& times) { return std::floor(times.Now()); }

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

bool FitsFolderDate(TDateTime value) { return ThroughDosDateTime(value).has_value(); }

bool SetFolderTimes(IFileTimes& times, const std::string& path, TDateTime /*creation*/, TDateTime lastAccess,
                    TDateTime lastWrite)
{
    const std::optional<TDateTime> access = ThroughDosDateTime(lastAccess);
    const std::optional<TDateTime> write = ThroughDosDateTime(lastWrite);
    if (!access || !write) return false;
    if (*access == *write) return times.SetAccessAndModificationTime(path, *write);
    // Different access and write times: the service sets both to one value, then the
    // modification time alone is moved to its own value.
    return times.SetAccessAndModificationTime(path, *access) && times.SetModificationTime(path, *write);
}

} // namespace velmora
