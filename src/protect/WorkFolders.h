#pragma once
// The protect command's work folders beside the zip path, where the intermediate
// (unencrypted) archives are written: ".NAME.protect-PID-START-NUMBER". Each is private
// from its creation, and its name is the owner's mark: the process that made it (id and
// start time), so that a folder left behind by a killed run can be told from the folder
// of a run still going, and removed.
#include "common/Result.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace velmora {

// Creates a new work folder beside zipPath, private and named for this process; the
// reason when it cannot.
Result<std::filesystem::path> CreateWorkFolder(const std::filesystem::path& zipPath);

// Removes the work folders in folder that are provably ours and stale: a folder (not a
// link) of this user whose name names a process that no longer runs, or an empty one
// older than a minute without an owner in its name. Returns a line for each one that
// looks left behind but stays: no owner in its name, or removing it failed.
// Folders of runs still going are left alone and not listed.
std::vector<std::string> RemoveStaleWorkFolders(const std::filesystem::path& folder);

} // namespace velmora
