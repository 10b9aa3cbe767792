#include "folders/FolderDates.h"

#include "common/DateTimeText.h"
#include "platform/IFileTimes.h"
#include "platform/ILocaleFormats.h"

#include <cmath>

namespace velmora {

namespace {
LocaleFormats FormatsOf(Platform& platform)
{
    return platform.localeFormats != nullptr ? platform.localeFormats->Formats() : LocaleFormats{};
}
} // namespace

TDateTime TodayLocal(Platform& platform)
{
    return platform.times != nullptr ? std::floor(platform.times->Now()) : 0.0;
}

std::string FolderDateText(Platform& platform, TDateTime value)
{
    return FormatDateTimeText(value, FormatsOf(platform));
}

TDateTime FolderDate(Platform& platform, const std::string& path)
{
    if (platform.times == nullptr) return 0.0;
    const std::optional<TDateTime> modified = platform.times->ModificationTime(path);
    if (!modified) return 0.0;
    // The list shows the date only.
    return std::floor(*modified);
}

std::optional<TDateTime> ParseFolderDate(Platform& platform, std::string_view text)
{
    const std::optional<TDateTime> value = ParseDateTimeText(text, FormatsOf(platform));
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

bool SetFolderTimes(Platform& platform, const std::string& path, TDateTime /*creation*/, TDateTime lastAccess,
                    TDateTime lastWrite)
{
    const std::optional<TDateTime> access = ThroughDosDateTime(lastAccess);
    const std::optional<TDateTime> write = ThroughDosDateTime(lastWrite);
    if (!access || !write || platform.times == nullptr) return false;
    if (*access == *write) return platform.times->SetAccessAndModificationTime(path, *write);
    // Different access and write times: the service sets both to one value, then the
    // modification time alone is moved to its own value.
    return platform.times->SetAccessAndModificationTime(path, *access) &&
           platform.times->SetModificationTime(path, *write);
}

} // namespace velmora
