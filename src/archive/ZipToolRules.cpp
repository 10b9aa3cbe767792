#include "archive/ZipToolRules.h"

namespace velmora {

namespace {
bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }
char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
} // namespace

std::string TrimBlanks(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return std::string(text);
}

std::string WithoutFirstZip(std::string_view path)
{
    for (std::size_t i = 0; i + 4 <= path.size(); ++i) {
        if (path[i] == '.' && Lower(path[i + 1]) == 'z' && Lower(path[i + 2]) == 'i' && Lower(path[i + 3]) == 'p') {
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
    return ext.size() == 3 && Lower(ext[1]) == 'g' && Lower(ext[2]) == 'z';
}

} // namespace velmora
