#include "platform/posix/DefaultAppsChoice.h"

#include "common/AsciiText.h"

#include <array>

namespace velmora {

namespace {
struct DesktopSettingsPage {
    std::string_view desktop; // as XDG_CURRENT_DESKTOP names it
    std::string_view program;
    std::string_view argument; // the page to open; empty when the program opens it itself
};

// Newer KDE releases name the program without the version suffix.
constexpr std::array<DesktopSettingsPage, 4> kPages{{
    {"GNOME", "gnome-control-center", "default-apps"},
    {"KDE", "systemsettings", "kcm_componentchooser"},
    {"KDE", "systemsettings5", "kcm_componentchooser"},
    {"XFCE", "xfce4-mime-settings", ""},
}};

std::optional<SettingsCommand> Installed(const DesktopSettingsPage& page, const ProgramLookup& lookup)
{
    std::string path = lookup(page.program);
    if (path.empty()) return std::nullopt;
    SettingsCommand command{std::move(path), {}};
    if (!page.argument.empty()) command.arguments.emplace_back(page.argument);
    return command;
}
} // namespace

std::optional<SettingsCommand> ChooseDefaultAppsCommand(std::string_view currentDesktop, const ProgramLookup& lookup)
{
    while (!currentDesktop.empty()) {
        const std::size_t colon = currentDesktop.find(':');
        const std::string_view desktop = currentDesktop.substr(0, colon);
        currentDesktop = colon == std::string_view::npos ? std::string_view() : currentDesktop.substr(colon + 1);
        for (const DesktopSettingsPage& page : kPages) {
            if (!EqualsIgnoringAsciiCase(page.desktop, desktop)) continue;
            if (auto command = Installed(page, lookup)) return command;
        }
    }
    for (const DesktopSettingsPage& page : kPages) {
        if (auto command = Installed(page, lookup)) return command;
    }
    return std::nullopt;
}

} // namespace velmora
