#pragma once
// Protecting a folder: replacing it by a password-protected archive that holds
// everything it holds, and getting it back.
//
// The protected form of a folder F with password P:
//   the zip path    one entry "folder.zip", encrypted with P
//   folder.zip      plain archive of F's own files (hidden ones too) and, for every
//                   first-level subfolder S, an entry "S.zip"
//   S.zip           plain archive of S's whole subtree, relative paths, a "/" entry for
//                   every folder so empty folders survive
//
// Nothing of F is touched until the archive at the zip path is complete and has been
// read back and checked against F. The intermediate archives are written into a work
// folder beside the zip path, never into F, and the final archive reaches the zip path
// by an atomic rename. A process killed at any moment therefore leaves F whole, or a
// complete, checked archive at the zip path.
#include "archive/ArchiveCommon.h"
#include "common/Errors.h"
#include "common/Result.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace velmora {

class IRandomSource;

enum class ProtectStatus {
    Ok,
    InvalidInput,     // no such folder, no zip path, or the zip path lies inside the folder
    Refused,          // the folder holds something an archive cannot keep (links, devices, unreadable)
    NameNotStorable,  // a name would not come back unchanged from the archive (error: its path)
    ArchiveFailed,    // an archive could not be written
    VerifyFailed,     // an archive read back did not match its sources
    ReplaceFailed,    // the finished archive could not be put at the zip path
    FolderNotRemoved, // the archive is complete and checked; the folder could not be removed fully
};

struct ProtectCheck {
    ProtectStatus status = ProtectStatus::Ok;
    std::optional<Error> error; // why, when the status is not Ok
    // Files that protecting would replace, to be confirmed by the user first: an existing
    // file at the zip path, and files of F named like a subfolder archive ("S.zip").
    std::vector<std::filesystem::path> replaced;
};

// Checks a request before anything is written. The folder and zip path are taken as
// given (callers trim the fields). guarded: paths no protected folder may contain (the
// running program, the user's home); the root is never protected either.
ProtectCheck CheckProtectFolder(const std::filesystem::path& folder, const std::filesystem::path& zipPath,
                                const std::vector<std::filesystem::path>& guarded);

struct ProtectOptions {
    std::string password;            // not empty
    IRandomSource* random = nullptr; // for the encryption headers
    AttributeReader attributes;      // decides the external attributes of the entries
    FolderLister folders;            // the same service's folder listing (one pass per folder)
    ProgressCallback progress;       // overall work done / total
    // Flushes a file or a folder's entries to the storage device; the finished archive
    // and its folder entry are flushed before the folder is removed. Empty: not flushed.
    std::function<bool(const std::filesystem::path&)> flushToDisk;
    // Moves the finished archive to the zip path, replacing what is there. Empty:
    // std::filesystem::rename.
    std::function<bool(const std::filesystem::path&, const std::filesystem::path&)> moveReplacing;
};

struct ProtectResult {
    ProtectStatus status = ProtectStatus::Ok;
    // Why, when the status is not Ok; for NameNotStorable the name's path is its path.
    std::optional<Error> error;
    // Work folders of earlier runs beside the zip path that look left behind but could not
    // be removed (one line each, to be shown to the user whatever the status).
    std::vector<std::string> leftovers;
};

// Protects folder into zipPath (after CheckProtectFolder and the user's consent to what
// it lists). On any status but Ok and FolderNotRemoved the folder is unchanged.
ProtectResult ProtectFolderToArchive(const std::filesystem::path& folder, const std::filesystem::path& zipPath,
                                     const ProtectOptions& options);

struct UnprotectResult {
    // Success, or the first failure (a wrong or missing password is WrongPassword).
    Result<void> outcome;
    // The target folder was missing and could not be created; nothing else was done.
    bool targetNotMade = false;
    std::vector<std::string> leftovers; // as for ProtectResult, beside the archive
};

// The path below the folder that an entry stored under name comes back as, after the name
// encoding, decoding and separator rules of writer and reader; nullopt when it cannot be
// stored at all (not UTF-8, a control character, ...).
std::optional<std::string> RoundTripName(const std::string& name, bool isDirectory);

// The unzip command with a password (RestoreProtected): extracts archive into target,
// folder parts dropped; a "folder.zip" that this run wrote from the archive and checked is
// extracted into target as well and removed afterwards. A wrong password leaves target as
// it was. The subfolder archives stay packed. The archive itself is never touched.
UnprotectResult UnprotectArchive(const std::filesystem::path& archive, const std::filesystem::path& target,
                                 const std::string& password, const ProgressCallback& progress = {});

} // namespace velmora
