#pragma once
// Giving a file a new modification time. Every date the program writes passes through the
// packed MS-DOS date-time: even seconds, and only the years 1980 to 2107.
#include "common/DateTime.h"
#include "platform/IFileAttributes.h"
#include "platform/IFileTimes.h"
#include "platform/IFileUsage.h"

#include <optional>
#include <string>
#include <string_view>

namespace velmora {

// The value the file will carry: the seconds rounded down to an even number and the
// milliseconds dropped. Nothing when the packed form cannot hold the year.
std::optional<TDateTime> StorableFileDate(TDateTime value);

// "YYYY-MM-DD", "YYYY-MM-DD HH:MM" or "YYYY-MM-DD HH:MM:SS" (a "T" may stand for the blank).
std::optional<TDateTime> ParseIsoDateTime(std::string_view text);

enum class FileDateResult {
    Stored,      // the new time was written
    OutOfRange,  // the date has no packed form; nothing was written
    ReadOnly,    // the file carries the read-only attribute; nothing was written
    InUse,       // another process holds or locks the file; nothing was written
    WriteFailed, // the system refused the new time (error tells why)
};

struct FileDateOutcome {
    FileDateResult result = FileDateResult::WriteFailed;
    Error error; // WriteFailed: the path and the system's reason

    // The modification time read back after the attempt; nothing when it cannot be read.
    std::optional<TDateTime> readBack;
};

struct FileDateServices {
    IFileTimes& times;
    IFileAttributes& attributes;
    IFileUsage& usage;
};

// Stores value (through its packed form) as the modification time of path and leaves the
// access time alone. A file that is read-only or held by another process keeps its date,
// as a file opened for exclusive writing would.
FileDateOutcome ApplyFileDate(const std::string& path, TDateTime value, FileDateServices services);

} // namespace velmora
