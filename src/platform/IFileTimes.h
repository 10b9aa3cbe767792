#pragma once
// Reading and writing a file's times as local TDateTime values.
#include "common/DateTime.h"
#include "common/Result.h"

#include <optional>
#include <string>

namespace velmora {

// What the service's Errors say was being done.
inline constexpr const char* kSetModificationTimeFailed = "cannot set the modification time of";
inline constexpr const char* kSetTimesFailed = "cannot set the times of";

class IFileTimes {
public:
    virtual ~IFileTimes() = default;
    // Last modification time in local time, with its milliseconds (links followed);
    // nothing when the path names nothing.
    virtual std::optional<TDateTime> ModificationTime(const std::string& path) = 0;
    // Last access time in local time, with its milliseconds (links followed).
    virtual std::optional<TDateTime> LastAccessTime(const std::string& path) = 0;
    // Sets the modification time and keeps the access time as it is. The Error names the
    // path and the system's error (EINVAL for a time the system cannot hold).
    virtual Result<void> SetModificationTime(const std::string& path, TDateTime local) = 0;
    // Sets both the access and the modification time (used for folders).
    virtual Result<void> SetAccessAndModificationTime(const std::string& path, TDateTime local) = 0;
    // The current local time.
    virtual TDateTime Now() = 0;
};

} // namespace velmora
