#include "fileops/FileTarget.h"
#include "common/Utf8Path.h"

#include <filesystem>
#include <system_error>

namespace velmora {

bool IsExistingFile(const std::string& path)
{
    if (path.empty()) return false;
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(PathFromUtf8(path), ec);
    return !ec && std::filesystem::exists(status) && !std::filesystem::is_directory(status);
}

} // namespace velmora
