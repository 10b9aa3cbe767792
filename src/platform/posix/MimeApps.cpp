#include "platform/posix/MimeApps.h"

#include "common/AsciiText.h"
#include "common/Utf8Path.h"
#include "platform/SmallFile.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace velmora {

namespace {

namespace fs = std::filesystem;

constexpr std::uintmax_t kMaxListBytes = 8u << 20;

// A list or desktop file: a regular file of at most kMaxListBytes, opened without waiting
// (a pipe put in its place must not stop the lookup).
std::optional<std::string> ReadText(const fs::path& path)
{
    std::string text;
    if (!ReadSmallRegularFile(Utf8FromPath(path), text, kMaxListBytes)) {
        return std::nullopt;
    }
    return text;
}

std::vector<std::string> SplitPaths(const std::string& value)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= value.size()) {
        std::size_t end = value.find(':', start);
        if (end == std::string::npos) {
            end = value.size();
        }
        // Only absolute folders count; relative ones are ignored.
        if (end > start && value[start] == '/') {
            parts.push_back(value.substr(start, end - start));
        }
        start = end + 1;
    }
    return parts;
}

bool Contains(const std::vector<std::string>& list, const std::string& item)
{
    return std::find(list.begin(), list.end(), item) != list.end();
}

const std::vector<std::string>& Lookup(const std::map<std::string, std::vector<std::string>>& map,
                                       const std::string& key)
{
    static const std::vector<std::string> kEmpty;
    const auto it = map.find(key);
    return it == map.end() ? kEmpty : it->second;
}

} // namespace

XdgLocations XdgLocationsFrom(const std::function<std::optional<std::string>(const char*)>& getenv,
                              const std::string& home)
{
    auto value = [&](const char* name) {
        const std::optional<std::string> v = getenv(name);
        return v ? *v : std::string();
    };
    XdgLocations x;
    x.configHome = value("XDG_CONFIG_HOME");
    if (x.configHome.empty() || x.configHome.front() != '/') {
        x.configHome = home + "/.config";
    }
    x.configDirs = SplitPaths(value("XDG_CONFIG_DIRS"));
    if (x.configDirs.empty()) {
        x.configDirs = {"/etc/xdg"};
    }
    x.dataHome = value("XDG_DATA_HOME");
    if (x.dataHome.empty() || x.dataHome.front() != '/') {
        x.dataHome = home + "/.local/share";
    }
    x.dataDirs = SplitPaths(value("XDG_DATA_DIRS"));
    if (x.dataDirs.empty()) {
        x.dataDirs = {"/usr/local/share", "/usr/share"};
    }
    const std::string desktops = value("XDG_CURRENT_DESKTOP");
    std::size_t start = 0;
    while (start < desktops.size()) {
        std::size_t end = desktops.find(':', start);
        if (end == std::string::npos) {
            end = desktops.size();
        }
        if (end > start) {
            x.desktops.push_back(AsciiLower(desktops.substr(start, end - start)));
        }
        start = end + 1;
    }
    return x;
}

MimeAppsLookup::MimeAppsLookup(XdgLocations locations, ListScope scope)
    : m_locations(std::move(locations)), m_scope(scope)
{
    LoadLevels();
}

void MimeAppsLookup::LoadLevels()
{
    auto addLevel = [this](const std::string& folder, bool applications, bool user) {
        if ((m_scope == ListScope::SystemOnly && user) || (m_scope == ListScope::UserOnly && !user)) {
            return;
        }
        Level level;
        level.user = user;
        const fs::path dir = applications ? PathFromUtf8(folder) / "applications" : PathFromUtf8(folder);
        if (applications) {
            level.applicationsDir = Utf8FromPath(dir);
        }
        std::vector<std::string> names;
        for (const std::string& desktop : m_locations.desktops) {
            names.push_back(desktop + "-mimeapps.list");
        }
        names.push_back("mimeapps.list");
        for (const std::string& name : names) {
            const std::optional<std::string> text = ReadText(dir / name);
            if (!text) {
                continue;
            }
            // Added and removed associations belong only in the plain list.
            const bool plain = name == "mimeapps.list";
            ListFile list;
            ForEachIniEntry(*text, [&](std::string_view group, std::string_view key, std::string_view value) {
                std::map<std::string, std::vector<std::string>>* target = nullptr;
                if (group == "Default Applications") {
                    target = &list.defaults;
                } else if (plain && group == "Added Associations") {
                    target = &list.added;
                } else if (plain && group == "Removed Associations") {
                    target = &list.removed;
                }
                if (target) {
                    auto& ids = (*target)[std::string(key)];
                    for (std::string& id : SplitList(value)) {
                        ids.push_back(std::move(id));
                    }
                }
            });
            level.lists.push_back(std::move(list));
        }
        m_levels.push_back(std::move(level));
    };
    addLevel(m_locations.configHome, false, true);
    for (const std::string& dir : m_locations.configDirs) {
        addLevel(dir, false, false);
    }
    addLevel(m_locations.dataHome, true, true);
    for (const std::string& dir : m_locations.dataDirs) {
        addLevel(dir, true, false);
    }
}

const std::map<std::string, std::vector<std::string>>& MimeAppsLookup::CacheOf(const Level& level)
{
    const auto known = m_caches.find(level.applicationsDir);
    if (known != m_caches.end()) {
        return known->second;
    }
    std::map<std::string, std::vector<std::string>> cache;
    if (!level.applicationsDir.empty()) {
        if (const auto text = ReadText(PathFromUtf8(level.applicationsDir) / "mimeinfo.cache")) {
            ForEachIniEntry(*text, [&](std::string_view group, std::string_view key, std::string_view value) {
                if (group == "MIME Cache") {
                    cache[std::string(key)] = SplitList(value);
                }
            });
        } else {
            // No index: read the entries themselves.
            std::error_code ec;
            const fs::path root(level.applicationsDir);
            for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::recursive_directory_iterator();
                 it.increment(ec)) {
                if (it->path().extension() != ".desktop" || !it->is_regular_file(ec)) {
                    continue;
                }
                const auto text = ReadText(it->path());
                const auto entry = text ? ParseDesktopEntry(*text) : std::nullopt;
                if (!entry) {
                    continue;
                }
                std::string id = Utf8FromPath(it->path().lexically_relative(root));
                std::replace(id.begin(), id.end(), '/', '-');
                for (const std::string& type : entry->mimeTypes) {
                    cache[type].push_back(id);
                }
            }
            for (auto& [type, ids] : cache) {
                std::sort(ids.begin(), ids.end());
            }
        }
    }
    return m_caches.emplace(level.applicationsDir, std::move(cache)).first->second;
}

std::optional<DesktopEntry> MimeAppsLookup::FindEntry(const std::string& id)
{
    const auto known = m_entries.find(id);
    if (known != m_entries.end()) {
        return known->second;
    }
    std::optional<DesktopEntry> found;
    if (id.size() > 8 && id.compare(id.size() - 8, 8, ".desktop") == 0 && id.find('/') == std::string::npos &&
        id.find("..") == std::string::npos) {
        std::vector<std::string> dirs;
        if (m_scope != ListScope::SystemOnly) {
            dirs.push_back(m_locations.dataHome);
        }
        dirs.insert(dirs.end(), m_locations.dataDirs.begin(), m_locations.dataDirs.end());
        // "a-b-c.desktop" may be a-b-c.desktop, a/b-c.desktop, a-b/c.desktop or a/b/c.desktop.
        std::vector<std::string> candidates{id};
        for (std::size_t i = 0; i < candidates.size() && candidates.size() < 64; ++i) {
            for (std::size_t pos = candidates[i].find('-'); pos != std::string::npos;
                 pos = candidates[i].find('-', pos + 1)) {
                std::string next = candidates[i];
                next[pos] = '/';
                if (!Contains(candidates, next)) {
                    candidates.push_back(next);
                }
            }
        }
        for (const std::string& dir : dirs) {
            for (const std::string& relative : candidates) {
                const fs::path path = PathFromUtf8(dir) / "applications" / relative;
                if (const auto text = ReadText(path)) {
                    // The first file found for the ID is the entry, launchable or not.
                    found = ParseDesktopEntry(*text);
                    if (found) {
                        found->id = id;
                        found->path = Utf8FromPath(path);
                        if (!IsLaunchable(*found)) {
                            found.reset();
                        }
                    }
                    goto done;
                }
            }
        }
    }
done:
    m_entries.emplace(id, found);
    return found;
}

std::vector<std::string> MimeAppsLookup::AssociatedIds(const std::string& type)
{
    std::vector<std::string> result;
    std::vector<std::string> blocked;
    auto add = [&](const std::string& id) {
        if (!Contains(blocked, id) && !Contains(result, id) && FindEntry(id)) {
            result.push_back(id);
        }
    };
    for (const Level& level : m_levels) {
        for (const ListFile& list : level.lists) {
            for (const std::string& id : Lookup(list.added, type)) {
                add(id);
            }
        }
        for (const ListFile& list : level.lists) {
            for (const std::string& id : Lookup(list.removed, type)) {
                blocked.push_back(id);
            }
        }
        // Entries that name the type themselves count as added at their own level.
        if (!level.applicationsDir.empty() && m_scope != ListScope::UserOnly) {
            for (const std::string& id : Lookup(CacheOf(level), type)) {
                add(id);
            }
        }
    }
    return result;
}

std::optional<std::string> MimeAppsLookup::DefaultFor(const std::string& type)
{
    std::vector<std::string> blocked;
    for (const Level& level : m_levels) {
        for (const ListFile& list : level.lists) {
            for (const std::string& id : Lookup(list.removed, type)) {
                blocked.push_back(id);
            }
        }
        for (const ListFile& list : level.lists) {
            for (const std::string& id : Lookup(list.defaults, type)) {
                if (!Contains(blocked, id) && FindEntry(id)) {
                    return id;
                }
            }
        }
    }
    return std::nullopt;
}

std::optional<DesktopEntry> MimeAppsLookup::DefaultApplication(const std::vector<std::string>& typeAndParents)
{
    for (const std::string& type : typeAndParents) {
        if (const auto id = DefaultFor(type)) {
            return FindEntry(*id);
        }
    }
    for (const std::string& type : typeAndParents) {
        const std::vector<std::string> ids = AssociatedIds(type);
        if (!ids.empty()) {
            return FindEntry(ids.front());
        }
    }
    return std::nullopt;
}

} // namespace velmora
