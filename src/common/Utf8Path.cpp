#include "common/Utf8Path.h"

namespace velmora {

namespace {
std::string FromChar8(const std::u8string& text)
{
    return std::string(reinterpret_cast<const char*>(text.data()), text.size());
}
} // namespace

std::filesystem::path PathFromUtf8(std::string_view utf8)
{
    const std::u8string_view text(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size());
    return std::filesystem::path(text);
}

std::string Utf8FromPath(const std::filesystem::path& path)
{
    return FromChar8(path.u8string());
}

std::string GenericUtf8FromPath(const std::filesystem::path& path)
{
    return FromChar8(path.generic_u8string());
}

} // namespace velmora
