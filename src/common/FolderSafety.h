#pragma once
// Folder safety shared by the folder tools and the protected-folder archive: which
// folders must never be deleted or replaced, and deleting a folder for good.
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// The path without one trailing "/" (the root "/" stays as it is).
std::string WithoutTrailingSeparator(std::string_view path);

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

} // namespace velmora
