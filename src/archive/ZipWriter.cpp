#include "archive/ZipWriter.h"

namespace velmora {

bool IsZipArchiveName(const std::filesystem::path&) { return false; }

std::vector<ZipSource> CollectZipSources(const std::filesystem::path&, ZipSelection, const AttributeReader&,
                                         const std::filesystem::path&, std::vector<ZipSkipped>*)
{
    return {};
}

ZipWriteResult WriteZipEntries(const std::vector<ZipSource>&, const std::filesystem::path&, const ZipWriteOptions&)
{
    return {false, "not available yet", 0, {}};
}

ZipWriteResult WriteZipArchive(const std::filesystem::path&, const std::filesystem::path&, const ZipWriteOptions&,
                               ZipSelection)
{
    return {false, "not available yet", 0, {}};
}

} // namespace velmora
