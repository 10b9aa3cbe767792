#pragma once
// Reads ZIP archives (stored and deflate, traditional PKWARE encryption, Zip64).
// Every entry is checked before anything is written: names that are absolute, carry a
// drive letter or leave the target through ".." are refused, links are made only as the
// link policy allows and never written through,
// each entry's CRC-32 and size are verified, output beyond the declared size is refused
// (bounds archive bombs), and an entry that fails part way is removed, not left truncated.
#include "archive/ArchiveCommon.h"
#include "archive/EntryLayers.h"
#include "common/Errors.h"
#include "common/Result.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

struct ZipEntryInfo {
    std::string name;    // decoded to UTF-8 (bit 11: UTF-8, else CP437)
    std::string rawName; // the stored bytes
    std::uint16_t versionMadeBy = 0;
    std::uint16_t versionNeeded = 0;
    std::uint16_t flags = 0;
    std::uint16_t method = 0;
    std::uint32_t dosDateTime = 0; // date in the high word
    std::uint32_t crc32 = 0;
    std::uint64_t compressedSize = 0;
    std::uint64_t uncompressedSize = 0;
    std::uint64_t localHeaderOffset = 0;
    std::uint32_t externalAttributes = 0;
    std::string extra; // central-directory extra field bytes
    // The UTC modification time of the NTFS (0x000A) or extended timestamp (0x5455)
    // field, when the entry has one; else the MS-DOS time holds.
    std::optional<std::filesystem::file_time_type> modified;
    bool isDirectory = false;
    bool encrypted = false;
    bool zip64 = false; // the entry carries a Zip64 extra field
};

struct ZipListing {
    std::vector<ZipEntryInfo> entries; // central-directory order
    bool zip64 = false;                // the archive has a Zip64 end record
    std::vector<std::string> warnings; // tolerated damage (bytes around the archive, counts)
};

// Reads the central directory only.
Result<ZipListing> ListZipArchive(const std::filesystem::path& archive);

// What becomes of entries that are symbolic links (made on Unix): none are made; those
// whose target stays inside the folder extracted into; or all of them. Nothing is ever
// written through a link, whichever is chosen.
enum class LinkPolicy { Skip, Inside, All };

struct ZipExtractOptions {
    ProgressCallback progress; // bytes of entry data done / total
    CancelFlag cancel = nullptr;
    // Asked when a password is wrong; may change it and returns false to give up.
    // Without a handler the same password is tried again. After three retries the
    // extraction fails.
    std::function<bool(std::string& password)> needPassword;
    // Sets the extracted files' modification times from the entries' MS-DOS times.
    bool restoreTimes = true;
    // UnZipFile: the password for encrypted entries (trimmed); without one they fail.
    std::optional<std::string> password;
    // UnZipFile: which link entries become links (the others are skipped with a warning).
    LinkPolicy links = LinkPolicy::Inside;
    // Called on the reading thread before entry i (central-directory order) is looked at;
    // tests change the target there, as another process could.
    std::function<void(std::size_t i)> beforeEntry;
};

struct ZipExtractResult {
    // Success, or the first failure: the entry or path it is about and what went wrong.
    Result<void> outcome;
    std::uint64_t filesWritten = 0;
    std::uint64_t entriesPassed = 0;   // file entries read and checked without a fault
    std::vector<std::string> rejected; // entries refused (unsafe names, links, ...)
    std::vector<std::string> warnings; // tolerated damage of the archive (see ZipListing)
    std::vector<Error> failures;       // every failure in order, the outcome's being the first
    // The target folder was missing and could not be created; nothing else was done.
    bool targetNotMade = false;
};

// Rules of every extraction: the archive is opened once; the target is opened once and
// every file and folder is made below it through folders held open, one part at a time and
// never through a link, so a folder replaced by a link while the run goes on cannot send
// a write elsewhere (the entries that would pass through it fail); an output path is never the
// archive itself (device and inode) and never one that an earlier entry of the same run
// wrote (such an entry fails, and so does the run); recorded Unix permission bits are
// restored exactly, never setuid, setgid or sticky; a link entry becomes a link only as the
// link policy allows, and no later entry is ever written through it.
//
// Extracts every entry below target keeping folder parts (folders are created as
// needed). Encrypted entries need options.password. Unsafe entries are skipped and make
// the result a failure; the other entries are still extracted.
ZipExtractResult UnZipFile(const std::filesystem::path& archive, const std::filesystem::path& target,
                           const ZipExtractOptions& options = {});

// Extracts every file entry directly into target under its bare name (folder parts
// dropped, folder entries skipped; a second entry of the same name fails), decrypting with password (leading and
// trailing blanks are trimmed). Creates target (one level) when missing and fails with the system's error when that
// fails (targetNotMade tells this failure apart). Files written before a failure stay.
ZipExtractResult ExtractProtected(const std::filesystem::path& target, const std::filesystem::path& archive,
                                  std::string_view password, const ZipExtractOptions& options = {});

// The protected-folder restore: the archive's files are extracted flat into a work folder
// inside target; when the password is wrong nothing else happens and target is left as it
// was (a target this call created is removed again). A "folder.zip" that this run wrote
// and checked is then extracted flat into target and removed; the archive's other files
// move into target. One clash rule spans both archives. Fails as ExtractProtected does when
// target cannot be created.
ZipExtractResult RestoreProtected(const std::filesystem::path& archive, const std::filesystem::path& target,
                                  std::string_view password, const ZipExtractOptions& options = {});

// Reads every entry back (decrypting with password when an entry is encrypted) and
// checks CRC-32 and size; when sources is given, also that every source comes back at
// the path an extraction writes (flattened: as the flat extraction of a protected
// archive does), with the same kind and content, and that the archive holds nothing else.
ZipExtractResult VerifyZipArchive(const std::filesystem::path& archive, std::string_view password,
                                  const std::vector<ZipSource>* sources = nullptr, bool flattened = false);

// The Unix permission bits an entry records, when it records them: from archives made on
// Unix or macOS, or from others in the form this writer uses (the Unix file type and mode
// in the high 16 bits of the external attributes). Only the bits 0777.
archive::FileMode RecordedMode(const ZipEntryInfo& entry);

} // namespace velmora
