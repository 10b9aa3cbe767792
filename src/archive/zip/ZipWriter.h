#pragma once
// Writes ZIP archives: deflate (stored when that does not shrink), MS-DOS times,
// CP437 / Windows-1252 / UTF-8 names, traditional PKWARE encryption, Zip64 when needed.
// The archive is written under a temporary name in the target folder and renamed into
// place only when complete, so a failed write never leaves a truncated archive and
// never destroys an existing file of the same name.
#include "archive/ArchiveCommon.h"
#include "common/Result.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace velmora {

class IRandomSource;

// Which files of the base folder become entries.
enum class ZipSelection {
    // The folder's own files that are neither hidden nor system, bare names, no
    // subfolders, no folder entries (the zip tool's plain archive).
    OwnVisibleFiles,
    // Everything below the folder, hidden and system included, named by relative path
    // with "/" separators; every folder gets its own entry ("Sub/") so empty folders
    // survive. Symbolic links are not followed and are reported as skipped.
    WholeTree,
};

struct ZipSkipped {
    std::filesystem::path path;
    Error reason; // why it was left out
};

struct ZipWriteOptions {
    std::string password; // UTF-8; empty writes no encryption
    // With a password: WinZip AES-256 (AE-2) instead of the traditional encryption,
    // keyed with the password's UTF-8 bytes.
    bool aes = false;
    IRandomSource* random = nullptr; // required when a password is given
    AttributeReader attributes;      // hidden/system test and external attributes
    // The same service's folder listing: the folder walk then asks each folder once and
    // takes the attribute words from it.
    FolderLister folders;
    ProgressCallback progress; // bytes of source data done / total
    CancelFlag cancel = nullptr;
    unsigned threads = 0; // compression threads; 0 = the machine's cores
    int level = 6;        // deflate level ("normal")
};

struct ZipWriteResult {
    Result<void> outcome;            // success, or why no archive was written
    std::uint64_t entries = 0;       // entries written
    std::vector<ZipSkipped> skipped; // sources left out (unreadable, links, vanished)
};

// Lists the sources of a base folder in the file system's listing order (folders of
// WholeTree before their contents). The archive file itself is never listed. With a folder
// lister, each folder is listed once and the sources carry the status it gave.
// Fails when base is not a readable folder.
Result<std::vector<ZipSource>> CollectZipSources(const std::filesystem::path& base, ZipSelection selection,
                                                 const AttributeReader& attributes,
                                                 const std::filesystem::path& excludeArchive,
                                                 std::vector<ZipSkipped>* skipped = nullptr,
                                                 const FolderLister& folders = {});

// True for names ending in ".zip" or ".jar" in any letter case.
bool IsZipArchiveName(const std::filesystem::path& archive);

// Packs base into archive. A name without ".zip"/".jar" fails before any file is
// created; an unreadable file is left out (listed in skipped) and the write goes on.
ZipWriteResult WriteZipArchive(const std::filesystem::path& base, const std::filesystem::path& archive,
                               const ZipWriteOptions& options, ZipSelection selection = ZipSelection::OwnVisibleFiles);

// Packs an explicit list of sources (in the given order) into archive.
ZipWriteResult WriteZipEntries(const std::vector<ZipSource>& sources, const std::filesystem::path& archive,
                               const ZipWriteOptions& options);

} // namespace velmora
