#pragma once
// Extracts the first member of a gzip file into the gzip file's own folder, under the
// name stored in its header ("unknown" without one; folder parts dropped). The trailer's
// CRC-32 and length are verified; on any failure no output remains.
#include "archive/ArchiveCommon.h"

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
};

struct GunzipResult {
    bool ok = false;
    std::string error;
    std::filesystem::path output; // the file written (also set on failure when known)
};

// The output file name for the FNAME bytes of a header (UTF-8 when valid, else
// Windows-1252; only the part after the last "\", "/" or ":"; "unknown" when empty).
std::string GzipOutputName(std::string_view storedName, bool hasName);

GunzipResult GUnzipToFile(const std::filesystem::path& filename, const GunzipOptions& options = {});

} // namespace velmora
