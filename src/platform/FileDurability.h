#pragma once
// Making written data survive a power failure before anything it replaces is removed.
#include <string>

namespace velmora {

// Flushes a file's data, or a folder's entries, to the storage device. True on success.
bool FlushToDisk(const std::string& path);

// Renames from to to, replacing an existing file, and returns only once the rename is on
// the disk where the system offers that (Windows: MOVEFILE_WRITE_THROUGH; Linux: rename(2),
// made durable by flushing the folder afterwards). True on success.
bool MoveReplacing(const std::string& from, const std::string& to);

} // namespace velmora
