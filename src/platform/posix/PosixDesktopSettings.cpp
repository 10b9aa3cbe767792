#include "platform/posix/PosixDesktopSettings.h"

#include "platform/posix/DefaultAppsChoice.h"
#include "platform/posix/SpawnDetached.h"

#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace velmora {

namespace {
bool IsExecutableFile(const std::string& path)
{
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(path.c_str(), X_OK) == 0;
}
} // namespace

std::string FindOnSearchPath(std::string_view name)
{
    if (name.empty()) return {};
    if (name.find('/') != std::string_view::npos) {
        return IsExecutableFile(std::string(name)) ? std::string(name) : std::string();
    }
    const char* searchPath = std::getenv("PATH");
    std::string_view folders = searchPath != nullptr ? searchPath : "/usr/local/bin:/usr/bin:/bin";
    while (true) {
        const std::size_t colon = folders.find(':');
        std::string folder(folders.substr(0, colon));
        // Empty and relative entries stand for folders below the current one, which are
        // never searched: a settings program is not taken from wherever we were started.
        if (!folder.empty() && folder.front() == '/') {
            std::string candidate = folder + (folder.back() == '/' ? "" : "/") + std::string(name);
            if (IsExecutableFile(candidate)) return candidate;
        }
        if (colon == std::string_view::npos) break;
        folders.remove_prefix(colon + 1);
    }
    return {};
}

bool PosixDesktopSettings::OpenDefaultApps()
{
    const char* desktop = std::getenv("XDG_CURRENT_DESKTOP");
    const std::optional<SettingsCommand> command = ChooseDefaultAppsCommand(
        desktop != nullptr ? desktop : "", [](std::string_view name) { return FindOnSearchPath(name); });
    if (!command) return false;
    return SpawnDetached(command->program, command->arguments);
}

} // namespace velmora
