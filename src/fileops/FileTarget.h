#pragma once
// The file a command of the main window acts on.
#include <string>

namespace velmora {

// True when path names something that exists and is not a folder; a symbolic link counts
// when its target does.
bool IsExistingFile(const std::string& path);

} // namespace velmora
