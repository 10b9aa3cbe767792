#include "platform/posix/HiddenList.h"

namespace velmora {

namespace {
template <typename F> void ForEachLine(std::string_view content, F&& f)
{
    std::size_t start = 0;
    while (start < content.size()) {
        std::size_t end = content.find('\n', start);
        const bool last = end == std::string_view::npos;
        if (last) {
            end = content.size();
        }
        std::string_view line = content.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        f(line, content.substr(start, (last ? end : end + 1) - start));
        start = end + 1;
    }
}
} // namespace

bool HiddenListContains(std::string_view content, std::string_view name)
{
    bool found = false;
    ForEachLine(content, [&](std::string_view line, std::string_view) { found = found || line == name; });
    return found;
}

std::string HiddenListWith(std::string_view content, std::string_view name, bool hidden)
{
    if (hidden) {
        std::string result(content);
        if (HiddenListContains(content, name)) {
            return result;
        }
        if (!result.empty() && result.back() != '\n') {
            result += '\n';
        }
        result.append(name);
        result += '\n';
        return result;
    }
    std::string result;
    ForEachLine(content, [&](std::string_view line, std::string_view whole) {
        if (line != name) {
            result.append(whole);
        }
    });
    return result;
}

} // namespace velmora
