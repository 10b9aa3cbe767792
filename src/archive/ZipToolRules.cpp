#include "archive/ZipToolRules.h"

namespace velmora {

std::string WithoutFirstZip(std::string_view path)
{
    for (std::size_t i = 0; i + 4 <= path.size(); ++i) {
        if (path[i] == '.' && AsciiLower(path[i + 1]) == 'z' && AsciiLower(path[i + 2]) == 'i' &&
            AsciiLower(path[i + 3]) == 'p') {
            return std::string(path.substr(0, i)) + std::string(path.substr(i + 4));
        }
    }
    return std::string(path);
}

bool IsGzipName(std::string_view path)
{
    const std::size_t slash = path.rfind('/');
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos) return false;
    const std::string_view ext = name.substr(dot);
    return ext.size() == 3 && AsciiLower(ext[1]) == 'g' && AsciiLower(ext[2]) == 'z';
}

} // namespace velmora
