#include "archive/ArchiveCommon.h"
#include "archive/EntryLayers.h"
#include "common/Utf8Path.h"

#include "platform/IFileAttributes.h"

namespace velmora {

Error CaughtError(const std::exception& caught)
{
    if (const auto* failure = dynamic_cast<const ArchiveFailure*>(&caught)) return failure->error();
    if (const auto* layer = dynamic_cast<const archive::LayerFailure*>(&caught))
        return archive::ErrorOf(layer->Error());
    return Error{Error::Kind::Io, {}, 0, caught.what()};
}

std::uint32_t DefaultAttributes(const std::filesystem::path& path, bool isDirectory)
{
    std::uint32_t attributes = isDirectory ? kAttrDirectory : kAttrArchive;
    const std::string name = Utf8FromPath(path.filename());
    if (!name.empty() && name[0] == '.' && name != "." && name != "..") {
        attributes |= kAttrHidden;
    }
    return attributes;
}

AttributeReader AttributeReaderOf(IFileAttributes* service)
{
    if (service == nullptr) return {};
    return [service](const std::filesystem::path& path) { return service->ReadAttributes(Utf8FromPath(path)); };
}

FolderLister FolderListerOf(IFileAttributes* service)
{
    if (service == nullptr) return {};
    return [service](const std::filesystem::path& folder, bool followLinks, std::vector<FolderEntry>& entries,
                     int& error) {
        Result<std::vector<FolderEntry>> listed = service->ListFolder(Utf8FromPath(folder), followLinks);
        if (!listed) {
            error = listed.error().systemError;
            return false;
        }
        entries = std::move(listed).value();
        return true;
    };
}

} // namespace velmora
