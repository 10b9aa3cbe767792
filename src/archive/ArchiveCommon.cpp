#include "archive/ArchiveCommon.h"
#include "common/Utf8Path.h"

namespace velmora {

std::uint32_t DefaultAttributes(const std::filesystem::path& path, bool isDirectory)
{
    std::uint32_t attributes = isDirectory ? kAttrDirectory : kAttrArchive;
    const std::string name = Utf8FromPath(path.filename());
    if (!name.empty() && name[0] == '.' && name != "." && name != "..") {
        attributes |= kAttrHidden;
    }
    return attributes;
}

} // namespace velmora
