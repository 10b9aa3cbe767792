#pragma once
// File and folder times through GetFileTime and SetFileTime, shown in local time.
#include "platform/IFileTimes.h"

namespace velmora {

class Win32FileTimes final : public IFileTimes {
public:
    std::optional<TDateTime> ModificationTime(const std::string& path) override;
    std::optional<TDateTime> LastAccessTime(const std::string& path) override;
    Result<void> SetModificationTime(const std::string& path, TDateTime local) override;
    Result<void> SetAccessAndModificationTime(const std::string& path, TDateTime local) override;
    TDateTime Now() override;
};

} // namespace velmora
