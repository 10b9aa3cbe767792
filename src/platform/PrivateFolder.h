#pragma once
// The few system calls behind the protect command's work folders, declared here for the
// core; each system's implementation is built into velmora_files.
#include "common/Result.h"

#include <string>

namespace velmora {

// Creates a folder that only its owner may enter or read, private from the moment it
// exists (Linux: mode 0700 given to mkdir). The Error names the path and the system's error.
Result<void> CreatePrivateFolder(const std::string& path);

// Whether path is a folder itself (not a link to one) that belongs to the user running
// this program.
bool IsOwnFolder(const std::string& path);

// This process as a short text: its id and the moment it started, so that a later
// process that happens to get the same id is told apart.
std::string OwnProcessIdentity();

// Whether the process that OwnProcessIdentity described still runs.
bool IsProcessRunning(const std::string& identity);

} // namespace velmora
