#include "archive/ZipReader.h"

namespace velmora {

ZipListing ListZipArchive(const std::filesystem::path&) { return {false, "not available yet", {}, false}; }

ZipExtractResult UnZipFile(const std::filesystem::path&, const std::filesystem::path&, const ZipExtractOptions&)
{
    return {false, "not available yet", 0, {}};
}

ZipExtractResult ExtractProtected(const std::filesystem::path&, const std::filesystem::path&, std::string_view,
                                  const ZipExtractOptions&)
{
    return {false, "not available yet", 0, {}};
}

ZipExtractResult VerifyZipArchive(const std::filesystem::path&, std::string_view, const std::vector<ZipSource>*)
{
    return {false, "not available yet", 0, {}};
}

} // namespace velmora
