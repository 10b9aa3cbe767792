#include "shortcut/LinkRequest.h"

#include <filesystem>

namespace velmora {

std::string ProposedLinkPath(std::string_view path, const PathRules& rules)
{
    if (path.empty()) return {};
    return rules.ChangeExtension(path, ".lnk");
}

std::string LinkArguments(std::string_view parameter)
{
    if (parameter.empty()) return {};
    if (parameter.size() >= 2 && parameter.front() == '"' && parameter.back() == '"' &&
        parameter.substr(1, parameter.size() - 2).find('"') == std::string_view::npos) {
        return std::string(parameter);
    }
    std::string out = "\"";
    std::size_t backslashes = 0;
    for (char c : parameter) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"') {
            // Each backslash before a quote is doubled, and the quote itself escaped.
            out.append(backslashes * 2 + 1, '\\');
        } else {
            out.append(backslashes, '\\');
        }
        backslashes = 0;
        out.push_back(c);
    }
    // Backslashes before the closing quote are doubled so they stay backslashes.
    out.append(backslashes * 2, '\\');
    out.push_back('"');
    return out;
}

std::string FolderToShow(std::string_view link, const PathRules& rules, std::string_view currentFolder)
{
    const std::string folder = rules.FolderWithSeparator(link);
    if (folder.empty()) return rules.WithTrailingSeparator(currentFolder);
    if (rules.IsAbsolute(folder)) return folder;
    return rules.Join(currentFolder, folder);
}

} // namespace velmora
