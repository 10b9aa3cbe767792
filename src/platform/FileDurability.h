#pragma once
// Making written data survive a power failure before anything it replaces is removed.
#include <string>

namespace velmora {

// Flushes a file's data, or a folder's entries, to the storage device. True on success.
bool FlushToDisk(const std::string& path);

} // namespace velmora
