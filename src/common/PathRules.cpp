#include "common/PathRules.h"

namespace velmora {

namespace {
std::size_t AfterLastSeparator(const PathRules& rules, std::string_view path)
{
    const std::size_t pos = path.find_last_of(rules.separators);
    return pos == std::string_view::npos ? 0 : pos + 1;
}
} // namespace

std::string PathRules::FileName(std::string_view path) const
{
    return std::string(path.substr(AfterLastSeparator(*this, path)));
}

std::string PathRules::FolderWithSeparator(std::string_view path) const
{
    return std::string(path.substr(0, AfterLastSeparator(*this, path)));
}

std::string PathRules::Extension(std::string_view path) const
{
    const std::size_t start = AfterLastSeparator(*this, path);
    const std::size_t dot = path.rfind('.');
    if (dot == std::string_view::npos || dot < start) return {};
    return std::string(path.substr(dot));
}

std::string PathRules::ChangeExtension(std::string_view path, std::string_view newExtension) const
{
    const std::string ext = Extension(path);
    std::string out(path.substr(0, path.size() - ext.size()));
    out += newExtension;
    return out;
}

std::string PathRules::WithTrailingSeparator(std::string_view folder) const
{
    std::string out(folder);
    if (out.empty() || !IsSeparator(out.back())) out.push_back(preferred);
    return out;
}

std::string PathRules::Join(std::string_view folder, std::string_view name) const
{
    return WithTrailingSeparator(folder) + std::string(name);
}

bool PathRules::IsAbsolute(std::string_view path) const
{
    if (!path.empty() && IsSeparator(path[0]) && path[0] != ':') {
        return true;
    }
    return IsSeparator(':') && path.size() >= 2 && path[1] == ':';
}

} // namespace velmora
