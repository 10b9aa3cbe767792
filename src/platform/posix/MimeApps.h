#pragma once
// Which application opens a MIME type: the freedesktop "mimeapps.list" files, the
// desktop entries and their "mimeinfo.cache" indexes, read in the desktop's order.
#include "platform/posix/DesktopEntry.h"

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace velmora {

struct XdgLocations {
    std::string configHome;              // $XDG_CONFIG_HOME or ~/.config
    std::vector<std::string> configDirs; // $XDG_CONFIG_DIRS or /etc/xdg
    std::string dataHome;                // $XDG_DATA_HOME or ~/.local/share
    std::vector<std::string> dataDirs;   // $XDG_DATA_DIRS or /usr/local/share:/usr/share
    std::vector<std::string> desktops;   // $XDG_CURRENT_DESKTOP, lower-cased, in order
};

// The locations from environment values (nothing for an unset variable) and the home folder.
XdgLocations XdgLocationsFrom(const std::function<std::optional<std::string>(const char*)>& getenv,
                              const std::string& home);

// Which lists a lookup reads.
enum class ListScope {
    All,        // the user's own and the system's (the program the desktop would start)
    SystemOnly, // without the user's own lists and entries (the system-wide program)
    UserOnly,   // only the user's own lists (the user's own choice)
};

class MimeAppsLookup {
public:
    MimeAppsLookup(XdgLocations locations, ListScope scope);

    // The default application for the first of the types that has one (a type, then its
    // parent types): first an installed, not removed [Default Applications] entry of any
    // type, then the most preferred associated application. Nothing when none is found.
    std::optional<DesktopEntry> DefaultApplication(const std::vector<std::string>& typeAndParents);

    // The associated applications of one type, most preferred first.
    std::vector<std::string> AssociatedIds(const std::string& type);

    // The installed entry of a desktop file ID (sub-folder names joined with "-").
    std::optional<DesktopEntry> FindEntry(const std::string& id);

private:
    struct ListFile {
        std::map<std::string, std::vector<std::string>> defaults, added, removed;
    };
    struct Level {
        std::vector<ListFile> lists; // desktop-specific first
        std::string applicationsDir; // empty for configuration folders
        bool user = false;
    };

    void LoadLevels();
    const std::map<std::string, std::vector<std::string>>& CacheOf(const Level& level);
    std::optional<std::string> DefaultFor(const std::string& type);

    XdgLocations m_locations;
    ListScope m_scope;
    std::vector<Level> m_levels;
    std::map<std::string, std::map<std::string, std::vector<std::string>>> m_caches;
    std::map<std::string, std::optional<DesktopEntry>> m_entries;
};

} // namespace velmora
