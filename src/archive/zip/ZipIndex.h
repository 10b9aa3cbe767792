#pragma once
// Finds the end records of a ZIP archive and reads its central directory into a compact
// index of entries. Nothing here reads entry data; the readers locate each entry's data
// from the offsets found here.
#include "archive/ArchiveIo.h"
#include "archive/zip/ZipReader.h"
#include "common/Errors.h"
#include "common/Result.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::archive {

// The central directory held compactly, so that an archive of a million entries costs
// well under a hundred bytes per entry: each entry's fields in one packed record, its
// name, extra field and (only when the decoded name differs) stored name in one shared
// text buffer. ZipEntryInfo, the full record, is made on demand by Entry.
class ZipIndex;

// Reads the central directory of cdSize bytes at cdStart into index (internal to the index).
std::optional<Error> ReadCentralDirectory(StdFile& file, const std::filesystem::path& archive, std::uint64_t cdStart,
                                          std::uint64_t cdSize, std::uint64_t count, std::uint64_t shift,
                                          ZipIndex& index);

class ZipIndex {
public:
    struct Record {
        std::uint64_t compressedSize = 0;
        std::uint64_t uncompressedSize = 0;
        std::uint64_t localHeaderOffset = 0; // a position in the file (data in front added)
        std::uint32_t dosDateTime = 0;
        std::uint32_t crc32 = 0;
        std::uint32_t externalAttributes = 0;
        std::uint32_t text = 0; // in the text buffer: the name, the extra field, the stored name
        // A decoded name takes up to three bytes for each stored one (and a "/").
        std::uint32_t nameLength : 18 = 0;
        bool sameRaw : 1 = true; // the stored name is the name
        bool isDirectory : 1 = false;
        bool zip64 : 1 = false;
        std::uint16_t extraLength = 0;
        std::uint16_t rawLength = 0; // the stored name's length; 0 with sameRaw
        std::uint16_t versionMadeBy = 0;
        std::uint16_t versionNeeded = 0;
        std::uint16_t flags = 0;
        std::uint16_t method = 0;

        bool Encrypted() const { return (flags & 1) != 0; }
    };

    std::uint64_t fileSize = 0;
    std::uint64_t centralOffset = 0; // where the central directory starts in the file
    std::uint64_t prefixBytes = 0;   // data in front of the archive that its offsets leave out
    bool zip64 = false;
    // What the peers also accept but a user may want to know: bytes after the end
    // record, data in front of the archive, an entry count that disagrees.
    std::vector<std::string> warnings;

    std::size_t size() const { return m_records.size(); }
    bool empty() const { return m_records.empty(); }
    const Record& operator[](std::size_t i) const { return m_records[i]; }
    // The entry's name, decoded to UTF-8 (with the "/" of a folder marked by its attribute).
    std::string_view Name(std::size_t i) const
    {
        const Record& r = m_records[i];
        return {m_text.data() + r.text, r.nameLength};
    }
    std::string_view Extra(std::size_t i) const
    {
        const Record& r = m_records[i];
        return {m_text.data() + r.text + r.nameLength, r.extraLength};
    }
    std::string_view RawName(std::size_t i) const
    {
        const Record& r = m_records[i];
        if (r.sameRaw) return Name(i);
        return {m_text.data() + r.text + r.nameLength + r.extraLength, r.rawLength};
    }
    // The full record of entry i.
    ZipEntryInfo Entry(std::size_t i) const;
    void Clear();

private:
    friend std::optional<Error> ReadCentralDirectory(StdFile& file, const std::filesystem::path& archive,
                                                     std::uint64_t cdStart, std::uint64_t cdSize, std::uint64_t count,
                                                     std::uint64_t shift, ZipIndex& index);
    std::vector<Record> m_records; // central-directory order
    std::string m_text;
};

// Reads the end records and the central directory; the failure names the archive.
// Entries' local header offsets are given as positions in the file (data in front of
// the archive added). Folders marked only by their attribute get a trailing "/" in name.
Result<void> ReadZipIndex(StdFile& file, const std::filesystem::path& archive, ZipIndex& index);

// Opens archive and reads its index; the failure names the archive.
Result<void> OpenZipIndex(const std::filesystem::path& archive, ZipIndex& index);

// Reads size bytes at offset; false when the file is shorter or the read fails.
bool ReadAt(StdFile& file, std::uint64_t offset, void* data, std::size_t size);

} // namespace velmora::archive
