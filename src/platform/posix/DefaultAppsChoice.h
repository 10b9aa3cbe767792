#pragma once
// Which program shows the desktop's page for choosing the default program per file type.
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

struct SettingsCommand {
    std::string program; // full path of the program to start
    std::vector<std::string> arguments;
};

// Looks a program name up on the search path; the full path, or empty when absent.
using ProgramLookup = std::function<std::string(std::string_view name)>;

// The settings page of the desktops named in currentDesktop (the colon-separated
// XDG_CURRENT_DESKTOP list, first name first, any case), and when none of them is known or
// installed, the first of the known settings programs that is installed. Nothing when no
// known settings program is installed.
std::optional<SettingsCommand> ChooseDefaultAppsCommand(std::string_view currentDesktop, const ProgramLookup& lookup);

} // namespace velmora
