#pragma once
// Folder dates for the folder tools: reading a folder's date, writing new times through
// the MS-DOS date-time, and the date texts of the list and the date field.
#include "common/DateTime.h"
#include "folders/FolderTools.h"
#include "platform/IFileTimes.h"
#include "platform/ILocaleFormats.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// Today at midnight, local time.
TDateTime TodayLocal(IFileTimes& times);

// The date text of the list and the date field: the short date (and the long time when
// the value is not midnight).
std::string FolderDateText(ILocaleFormats& locale, TDateTime value);

// The folder's last-write time as a local date-time; 0 (1899-12-30) when it cannot be
// found. Hidden folders are found like any other.
TDateTime FolderDate(IFileTimes& times, const std::string& path);

// The entered new date: a date alone in the locale's short date form, at midnight.
// Nothing when the text is no such date.
std::optional<TDateTime> ParseFolderDate(ILocaleFormats& locale, std::string_view text);

// True when the date can pass through the MS-DOS date-time (the years 1980 to 2107).
bool FitsFolderDate(TDateTime value);

// The value as it is really stored: through the MS-DOS date-time, seconds rounded down
// to an even number. Nothing when the date is out of its range.
std::optional<TDateTime> ThroughDosDateTime(TDateTime value);

// Sets the times of a file or folder. Linux cannot set the creation time: access and
// modification time are set; the creation value is ignored. Every value passes through
// the MS-DOS date-time; a value it cannot hold makes the call fail without a change.
// The Error names the path and the reason (EINVAL for a date out of range).
Result<void> SetFolderTimes(IFileTimes& times, const std::string& path, TDateTime creation, TDateTime lastAccess,
                            TDateTime lastWrite);

enum class FolderDateOutcome {
    Set,          // the folder has the new date
    NotPermitted, // not the owner (EPERM, EACCES): left as it is, never re-created
    Failed,       // another reason (in error): left as it is
    Recreated,    // busy: replaced by a full copy of itself, which got the new date
    NotRecreated, // busy, and no full copy could be made (error's detail says why): left as it is
};

struct FolderDateResult {
    FolderDateOutcome outcome = FolderDateOutcome::Failed;
    Error error; // every outcome but Set and Recreated: why the times could not be set
};

// Gives a folder the new date as its access and modification time. Where the times
// cannot be set because the folder is busy (EBUSY, ETXTBSY), the folder is re-created by
// RecreateFolder (every entry keeps owner, permissions, extended attributes and times)
// and the date is set on the copy. Any other failure, above all a folder of another
// owner, leaves the folder exactly as it is: copying it would give it a new owner and
// new permissions.
FolderDateResult ApplyFolderDate(IFileTimes& times, const std::string& path, TDateTime date,
                                 const std::vector<std::filesystem::path>& keep, const MetadataService& metadata);

} // namespace velmora
