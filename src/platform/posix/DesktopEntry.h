#pragma once
// Desktop entry files (".desktop"): the keys the program needs and the Exec line.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

struct DesktopEntry {
    std::string id;   // the desktop file ID, e.g. "org.example.Viewer.desktop"
    std::string path; // where it was found
    std::string type;
    std::string name;
    std::string exec; // the Exec value with the string escapes of the file resolved
    std::string tryExec;
    bool hidden = false;
    std::vector<std::string> mimeTypes;
};

// The [Desktop Entry] group of a file's content; nothing when the group is missing.
std::optional<DesktopEntry> ParseDesktopEntry(std::string_view content);

// True for an application entry that is not hidden and has something to run.
bool IsLaunchable(const DesktopEntry& entry);

// Splits an Exec value into the program and its arguments: double quotes group words
// (inside them a backslash escapes ", `, $ and \), field codes such as %f and %U are
// dropped and %% becomes %. Empty when the value is malformed (an open quote).
std::vector<std::string> SplitExec(std::string_view exec);

// The parts of a ";"-separated list without empty items.
std::vector<std::string> SplitList(std::string_view value);

// Reads "[Group]" / "key=value" text; calls visit(group, key, value) for each entry.
// Blank lines and "#" comments are skipped; blanks around key and value are removed.
template <typename Visit> void ForEachIniEntry(std::string_view content, Visit&& visit)
{
    std::string_view group;
    std::size_t start = 0;
    while (start <= content.size()) {
        std::size_t end = content.find('\n', start);
        if (end == std::string_view::npos) {
            end = content.size();
        }
        std::string_view line = content.substr(start, end - start);
        start = end + 1;
        auto trim = [](std::string_view s) {
            while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r')) {
                s.remove_prefix(1);
            }
            while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) {
                s.remove_suffix(1);
            }
            return s;
        };
        line = trim(line);
        if (line.empty() || line.front() == '#') {
            continue;
        }
        if (line.front() == '[') {
            const std::size_t close = line.find(']');
            group = close == std::string_view::npos ? std::string_view() : line.substr(1, close - 1);
            continue;
        }
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos) {
            continue;
        }
        visit(group, trim(line.substr(0, equals)), trim(line.substr(equals + 1)));
        if (end == content.size()) {
            break;
        }
    }
}

} // namespace velmora
