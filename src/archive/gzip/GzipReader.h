#pragma once
// Extracts a gzip file into its own folder, under the name stored in its first member's
// header ("unknown" without one; folder parts dropped). Every member is decoded in turn
// and its CRC-32 and length checked; the output is their concatenation. Any damage fails
// the whole file and no output remains. An existing read-only file, link or anything not
// a regular file at the output path is never replaced, nor the gzip file itself.
#include "archive/ArchiveCommon.h"
#include "common/Result.h"

#include <filesystem>
#include <functional>
#include <string>

namespace velmora {

struct GunzipOptions {
    ProgressCallback progress; // compressed bytes read / gzip file size
    CancelFlag cancel = nullptr;
    // Clears the output file's attributes (archive, read-only, hidden, system);
    // failures are ignored. Empty: nothing is done.
    std::function<void(const std::filesystem::path&)> clearAttributes;
    // Tells a read-only file by its attribute word too (a file without write bits always is).
    AttributeReader attributes;
};

struct GunzipResult {
    Result<void> outcome;         // success, or why no output remains
    std::filesystem::path output; // the file written (also set on failure when known)
};

// The output file name for the FNAME bytes of a header (UTF-8 when valid, else
// Windows-1252; only the part after the last "\", "/" or ":"; "unknown" when empty).
std::string GzipOutputName(std::string_view storedName, bool hasName);

GunzipResult GUnzipToFile(const std::filesystem::path& filename, const GunzipOptions& options = {});

} // namespace velmora
