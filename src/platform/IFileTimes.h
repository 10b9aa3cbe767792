#pragma once
// Reading and writing a file's times as local TDateTime values.
#include "common/DateTime.h"

#include <optional>
#include <string>

namespace velmora {

class IFileTimes {
public:
    virtual ~IFileTimes() = default;
    // Last modification time in local time, with its milliseconds (links followed);
    // nothing when the path names nothing.
    virtual std::optional<TDateTime> ModificationTime(const std::string& path) = 0;
    // Last access time in local time, with its milliseconds (links followed).
    virtual std::optional<TDateTime> LastAccessTime(const std::string& path) = 0;
    // Sets the modification time and keeps the access time as it is.
    virtual bool SetModificationTime(const std::string& path, TDateTime local, int* savedErrno = nullptr) = 0;
    // Sets both the access and the modification time (used for folders).
    virtual bool SetAccessAndModificationTime(const std::string& path, TDateTime local, int* savedErrno = nullptr) = 0;
    // The current local time.
    virtual TDateTime Now() = 0;
};

} // namespace velmora
