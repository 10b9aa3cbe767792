#pragma once
// Starting programs and handing things to the shell with ShellExecuteW.
#include "platform/IShell.h"

namespace velmora {

class Win32Shell final : public IShell {
public:
    bool StartHidden(const std::string& program, const std::vector<std::string>& arguments) override;
    bool OpenUrl(const std::string& url) override;
    bool OpenHelp(const std::string& helpFile, int context) override;
    bool ShowFolder(const std::string& folder) override;
};

} // namespace velmora
