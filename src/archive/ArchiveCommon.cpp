#include "archive/ArchiveCommon.h"

#include "platform/IFileAttributes.h"

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

AttributeReader AttributeReaderOf(IFileAttributes* service)
{
    if (service == nullptr) return {};
    return [service](const std::filesystem::path& path) { return service->ReadAttributes(path.string()); };
}

FolderLister FolderListerOf(IFileAttributes* service)
{
    if (service == nullptr) return {};
    return [service](const std::filesystem::path& folder, bool followLinks, std::vector<FolderEntry>& entries,
                     int& error) { return service->ListFolder(folder.string(), followLinks, entries, &error); };
}

} // namespace velmora
