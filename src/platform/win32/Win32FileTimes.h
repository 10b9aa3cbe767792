#pragma once
// File and folder times through GetFileTime and SetFileTime, shown in local time.
#include "platform/IFileTimes.h"

namespace velmora {

class Win32FileTimes final : public IFileTimes {
public:
    std::optional<TDateTime> ModificationTime(const std::string& path) override;
    std::optional<TDateTime> LastAccessTime(const std::string& path) override;
    bool SetModificationTime(const std::string& path, TDateTime local, int* savedErrno = nullptr) override;
    bool SetAccessAndModificationTime(const std::string& path, TDateTime local, int* savedErrno = nullptr) override;
    TDateTime Now() override;
};

} // namespace velmora
