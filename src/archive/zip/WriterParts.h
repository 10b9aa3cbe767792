#pragma once
// What the parts of the ZIP writer share: an entry's plan, the builder that writes planned
// entries into an archive, and the attribute word of a file. Internal to src/archive.
#include "archive/ArchiveCommon.h"
#include "archive/ArchiveIo.h"
#include "archive/zip/ZipNames.h"
#include "archive/zip/ZipWriter.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <vector>

namespace velmora::writer {

using archive::EncodedName;
using archive::StdFile;

// What is known about an entry before its data is written.
struct EntryPlan {
    ZipSource source;
    EncodedName name;
    std::uint32_t dosTime = 0;
    std::uint32_t attributes = 0;
    std::uint64_t size = 0;                 // at listing time
    std::array<unsigned char, 16> random{}; // 11 for the traditional header, 16 for an AES salt
};

// Writes the planned entries and the central directory into file, named tempPath in
// messages; an entry that cannot be read is left out and added to skipped. Returns the
// number of entries written; throws when the archive cannot be written.
std::uint64_t BuildArchive(const ZipWriteOptions& options, StdFile& file, const std::filesystem::path& tempPath,
                           std::vector<EntryPlan>& plans, std::vector<ZipSkipped>& skipped);

// The engine's own attribute word where none is known: the name decides hidden, a mode
// without any write bit read-only.
std::uint32_t FallbackAttributes(const std::filesystem::path& path, bool isDirectory, std::filesystem::perms perms);

// The attribute word of path: the reader's, or where it knows none the engine's own rule.
std::uint32_t AttributesOf(const AttributeReader& reader, const std::filesystem::path& path, bool isDirectory);

} // namespace velmora::writer
