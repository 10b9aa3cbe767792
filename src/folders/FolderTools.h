#pragma once
// The folder tools' rules on plain values: which row a command acts on, the folder
// list's paths, and the file-system work behind re-creating a folder.
#include "common/FolderSafety.h"

#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// The row a command acts on: the only row when the list holds exactly one, selected or
// not; otherwise the first selected row; none when nothing is selected.
std::optional<std::size_t> TargetRow(const std::vector<bool>& selected);

// Where the re-creation fallback copies a folder to: the path without its trailing
// separator, followed by "2".
std::string RecreationCopyPath(std::string_view path);

// The platform's way to copy and compare what a file keeps besides its bytes (owner,
// permissions, extended attributes with access lists, times): platform/FileMetadata.h.
struct MetadataService {
    std::function<bool(const std::string& from, const std::string& to, std::string* error)> copy;
    std::function<bool(const std::string& a, const std::string& b)> same;
};

// Copies a folder tree (files, folders, links as links) to a destination that must not
// exist yet, each entry with its owner, permissions, extended attributes (access control
// lists included) and times. True only when everything was copied with all of these.
bool CopyFolder(const std::filesystem::path& source, const std::filesystem::path& destination,
                const MetadataService& metadata, std::string* error = nullptr);

// True when both trees hold the same names, kinds, link targets, file bytes, owners,
// permissions, extended attributes and modification times.
bool SameFolderContent(const std::filesystem::path& a, const std::filesystem::path& b, const MetadataService& metadata);

enum class RecreateOutcome {
    Recreated,    // copied, compared, original deleted, copy renamed into place
    Guarded,      // the root, or a folder holding the program or the home folder: untouched
    CopyExists,   // something of the copy's name exists already: untouched
    CopyFailed,   // the copy could not be made, or not with every property, or differs:
                  // copy removed, original untouched
    DeleteFailed, // the original could not be removed completely: the full copy stays beside it
    RenameFailed, // the original is gone; the full copy stays under the copy's name
};

// Replaces a folder by a copy of itself that keeps every property of every entry, so that
// new times can be set on it when the original's cannot be set directly. The original is
// deleted only after the copy has been compared with it. error (when given) says why a
// copy failed.
RecreateOutcome RecreateFolder(const std::filesystem::path& folder, const std::vector<std::filesystem::path>& keep,
                               const MetadataService& metadata, std::string* error = nullptr);

} // namespace velmora
