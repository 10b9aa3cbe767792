#pragma once
// Starting other programs and handing things to the desktop.
#include <string>
#include <vector>

namespace velmora {

class IShell {
public:
    virtual ~IShell() = default;
    // Starts a program detached and without a window of ours; true when it started.
    virtual bool StartHidden(const std::string& program, const std::vector<std::string>& arguments) = 0;
    // Opens a web address in the default browser.
    virtual bool OpenUrl(const std::string& url) = 0;
    // Opens a help page at the section of the given context number.
    virtual bool OpenHelp(const std::string& helpFile, int context) = 0;
    // Shows a folder in the desktop's file manager.
    virtual bool ShowFolder(const std::string& folder) = 0;
};

} // namespace velmora
