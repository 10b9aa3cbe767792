#pragma once
// Finds the end records of a ZIP archive and reads its central directory into a list of
// entries. Nothing here reads entry data; the readers locate each entry's data from the
// offsets found here.
#include "archive/ArchiveIo.h"
#include "archive/zip/ZipReader.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace velmora::archive {

struct ZipIndex {
    std::vector<ZipEntryInfo> entries; // central-directory order
    std::uint64_t fileSize = 0;
    std::uint64_t centralOffset = 0; // where the central directory starts in the file
    std::uint64_t prefixBytes = 0;   // data in front of the archive that its offsets leave out
    bool zip64 = false;
    // What the peers also accept but a user may want to know: bytes after the end
    // record, data in front of the archive, an entry count that disagrees.
    std::vector<std::string> warnings;
};

// Reads the end records and the central directory. Returns an error text or "".
// Entries' local header offsets are given as positions in the file (data in front of
// the archive added). Folders marked only by their attribute get a trailing "/" in name.
std::string ReadZipIndex(StdFile& file, const std::filesystem::path& archive, ZipIndex& index);

// Reads size bytes at offset; false when the file is shorter or the read fails.
bool ReadAt(StdFile& file, std::uint64_t offset, void* data, std::size_t size);

} // namespace velmora::archive
