#pragma once
// The in-use tests: an open for reading and writing with no sharing.
#include "platform/IFileUsage.h"

namespace velmora {

class Win32FileUsage final : public IFileUsage {
public:
    bool IsFileInUse(const std::string& path) override;
    bool IsFileLocked(const std::string& path) override;
    UsageCheck CheckUsage(const std::string& path) override;
};

} // namespace velmora
