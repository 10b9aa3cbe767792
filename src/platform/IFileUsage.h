#pragma once
// Whether a file is held by someone: the two tests the main window runs.
#include <string>

namespace velmora {

// What can truly be said about a file's use, for readers who want the reason too.
struct UsageCheck {
    enum class State {
        Free,      // taken for exclusive reading and writing: nobody else holds it
        InUse,     // another process holds it open, runs it, or a lock or share mode refuses us
        Unchecked, // the test could not be made; reason tells why
    };
    State state = State::Unchecked;
    int reason = 0;        // Unchecked: the error number that stopped the test, else 0
    bool folder = false;   // Unchecked: the path is a folder
    bool readOnly = false; // Unchecked: the file is read-only, so it cannot be opened for writing
};

class IFileUsage {
public:
    virtual ~IFileUsage() = default;
    // True when the file cannot be taken for exclusive reading and writing: it cannot be
    // opened for both, it is read-only, another process holds it open or locks it, or the
    // path is a folder or names nothing.
    virtual bool IsFileInUse(const std::string& path) = 0;
    // The same test for an existing file; false when the path is not an existing file.
    virtual bool IsFileLocked(const std::string& path) = 0;
    // The in-use test as a statement that claims only what was seen. A backend whose
    // in-use test is exact (the Windows share modes) may keep this default.
    virtual UsageCheck CheckUsage(const std::string& path)
    {
        UsageCheck check;
        check.state = IsFileInUse(path) ? UsageCheck::State::InUse : UsageCheck::State::Free;
        return check;
    }
};

} // namespace velmora
