#pragma once
#include "platform/IShell.h"
#include "platform/posix/SpawnDetached.h"

namespace velmora {

// Linux: programs started with posix_spawn (no shell), web pages and help through
// the desktop's URL handler, folders through the FileManager1 D-Bus service.
class PosixShell final : public IShell {
public:
    bool StartHidden(const std::string& program, const std::vector<std::string>& arguments) override;
    bool OpenUrl(const std::string& url) override;
    bool OpenHelp(const std::string& helpFile, int context) override;
    bool ShowFolder(const std::string& folder) override;
};

} // namespace velmora
