#include "archive/ArchiveCommon.h"

namespace velmora {

std::uint32_t DefaultAttributes(const std::filesystem::path& path, bool isDirectory)
{
    std::uint32_t attributes = isDirectory ? kAttrDirectory : kAttrArchive;
    const std::string name = path.filename().string();
    if (!name.empty() && name[0] == '.' && name != "." && name != "..") {
        attributes |= kAttrHidden;
    }
    return attributes;
}

} // namespace velmora
