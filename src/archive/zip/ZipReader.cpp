// The reader's entry points: listing an archive, extracting, extracting flat and verifying.
#include "archive/zip/ZipReader.h"

#include "archive/ArchiveIo.h"
#include "archive/zip/Extraction.h"
#include "archive/zip/ZipIndex.h"
#include "common/AsciiText.h"
#include "common/Errors.h"
#include "common/Utf8Path.h"

#include <cerrno>
#include <optional>
#include <string>

namespace velmora {

using namespace archive;
namespace fs = std::filesystem;

using namespace extraction;

FileMode RecordedMode(const ZipEntryInfo& e)
{
    const unsigned host = e.versionMadeBy >> 8;
    const unsigned high = e.externalAttributes >> 16;
    if (high == 0) return std::nullopt;
    const unsigned type = high & 0170000u;
    const unsigned expected = e.isDirectory ? 0040000u : 0100000u;
    // Archives made on Unix or macOS store the mode there; from other hosts it counts only
    // in the form that names the entry's own kind (as this writer and Info-ZIP's store it).
    if ((host == 3 || host == 19) ? (type != 0 && type != expected) : type != expected) return std::nullopt;
    return high & 0777u;
}

Result<ZipListing> ListZipArchive(const fs::path& archive)
{
    ZipIndex index;
    if (Result<void> opened = OpenZipIndex(archive, index); !opened) return velmora::Fail(std::move(opened).error());
    ZipListing listing;
    listing.entries.reserve(index.size());
    for (std::size_t i = 0; i < index.size(); ++i)
        listing.entries.push_back(index.Entry(i));
    listing.zip64 = index.zip64;
    listing.warnings = std::move(index.warnings);
    return listing;
}

ZipExtractResult UnZipFile(const fs::path& archive, const fs::path& target, const ZipExtractOptions& options)
{
    std::error_code ec;
    const bool made = !fs::is_directory(target, ec);
    if (made) {
        fs::create_directories(target, ec);
        if (ec) return Failed({ErrorKind::Io, Utf8FromPath(target), ec.value(), "Creating folder"});
    }
    std::optional<std::string> password;
    if (options.password) password = std::string(TrimBlanks(*options.password));
    ExtractRequest request;
    request.archive = archive;
    request.target = target;
    request.targetMadeHere = made;
    request.mode = Mode::KeepFolders;
    request.password = password ? &*password : nullptr;
    request.options = &options;
    return Extract(request);
}

ZipExtractResult ExtractProtected(const fs::path& target, const fs::path& archive, std::string_view password,
                                  const ZipExtractOptions& options)
{
    std::error_code ec;
    const bool made = !fs::is_directory(target, ec);
    if (made) {
        if (!fs::create_directory(target, ec) && ec) return TargetNotMade(target, ec.value());
    }
    const std::string trimmed(TrimBlanks(password));
    ExtractRequest request;
    request.archive = archive;
    request.target = target;
    request.targetMadeHere = made;
    request.mode = Mode::Flatten;
    request.password = &trimmed;
    request.options = &options;
    return Extract(request);
}

ZipExtractResult VerifyZipArchive(const fs::path& archive, std::string_view password,
                                  const std::vector<ZipSource>* sources, bool flattened)
{
    const std::string copy(password);
    ZipExtractOptions options;
    options.restoreTimes = false;
    ExtractRequest request;
    request.archive = archive;
    request.mode = Mode::Verify;
    request.flatVerify = flattened;
    request.password = &copy;
    request.options = &options;
    request.sources = sources;
    return Extract(request);
}

} // namespace velmora
