#pragma once
// The folder tools' rules on plain values: which row a command acts on, the folder
// list's paths, and the file-system work behind deleting and re-creating a folder.
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// The row a command acts on: the only row when the list holds exactly one, selected or
// not; otherwise the first selected row; none when nothing is selected.
std::optional<std::size_t> TargetRow(const std::vector<bool>& selected);

// The path without one trailing "/" (the root "/" stays as it is).
std::string WithoutTrailingSeparator(std::string_view path);

// Where the re-creation fallback copies a folder to: the path without its trailing
// separator, followed by "2".
std::string RecreationCopyPath(std::string_view path);

// The folders that must never be deleted, copied over or re-created: the root and every
// folder that contains one of the given paths (the running program, the user's home).
// Paths are compared after resolving links and "." / ".." parts.
bool IsGuardedFolder(const std::filesystem::path& folder, const std::vector<std::filesystem::path>& keep);

// The paths a folder must never contain for it to be deleted or re-created: the running
// program file and the user's home folder (empty entries are left out).
std::vector<std::filesystem::path> GuardedPaths(std::string_view programFile, std::string_view homeFolder);

// True when 'inner' is 'outer' itself or lies somewhere below it (after resolving links
// and "." / ".." parts, also for paths that do not exist yet).
bool IsSameOrInside(const std::filesystem::path& inner, const std::filesystem::path& outer);

// Deletes a folder with everything in it; links are removed, never followed. Nothing
// goes to a trash. True when the folder is gone afterwards.
bool DeleteFolderPermanently(const std::filesystem::path& folder, std::string* error = nullptr);

// Copies a folder tree (files, folders, links as links) to a destination that must not
// exist yet. True when everything was copied.
bool CopyFolder(const std::filesystem::path& source, const std::filesystem::path& destination,
                std::string* error = nullptr);

// True when both trees hold the same names, kinds, link targets and file bytes.
bool SameFolderContent(const std::filesystem::path& a, const std::filesystem::path& b);

enum class RecreateOutcome {
    Recreated,    // copied, compared, original deleted, copy renamed into place
    Guarded,      // the root, or a folder holding the program or the home folder: untouched
    CopyExists,   // something of the copy's name exists already: untouched
    CopyFailed,   // the copy could not be made or differs: copy removed, original untouched
    DeleteFailed, // the original could not be removed completely: the full copy stays beside it
    RenameFailed, // the original is gone; the full copy stays under the copy's name
};

// Replaces a folder by a fresh copy of itself, so that it gets new times when they cannot
// be set directly. The original is deleted only after the copy has been compared with it.
RecreateOutcome RecreateFolder(const std::filesystem::path& folder, const std::vector<std::filesystem::path>& keep);

} // namespace velmora
