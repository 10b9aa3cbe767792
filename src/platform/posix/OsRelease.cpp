#include "platform/posix/OsRelease.h"

#include "common/AsciiText.h"

namespace velmora {

std::string OsReleaseValue(std::string_view content, std::string_view key)
{
    std::size_t start = 0;
    while (start < content.size()) {
        std::size_t end = content.find('\n', start);
        if (end == std::string_view::npos) {
            end = content.size();
        }
        std::string_view line = TrimBlanks(content.substr(start, end - start));
        start = end + 1;
        if (line.size() <= key.size() || line.substr(0, key.size()) != key || line[key.size()] != '=') {
            continue;
        }
        std::string_view value = line.substr(key.size() + 1);
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
            const bool doubleQuoted = value.front() == '"';
            value = value.substr(1, value.size() - 2);
            std::string out;
            for (std::size_t i = 0; i < value.size(); ++i) {
                if (doubleQuoted && value[i] == '\\' && i + 1 < value.size()) {
                    ++i;
                }
                out += value[i];
            }
            return out;
        }
        return std::string(value);
    }
    return {};
}

} // namespace velmora
