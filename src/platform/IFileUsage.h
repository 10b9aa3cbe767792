#pragma once
// Whether a file is held by someone: the two tests the main window runs.
#include <string>

namespace velmora {

class IFileUsage {
public:
    virtual ~IFileUsage() = default;
    // True when the file cannot be taken for exclusive reading and writing: it cannot be
    // opened for both, it is read-only, another process holds it open or locks it, or the
    // path is a folder or names nothing.
    virtual bool IsFileInUse(const std::string& path) = 0;
    // The same test for an existing file; false when the path is not an existing file.
    virtual bool IsFileLocked(const std::string& path) = 0;
};

} // namespace velmora
