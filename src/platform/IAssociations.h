#pragma once
// The programs a file opens with.
#include <string>

namespace velmora {

// Result codes of the executable lookup, as the window acts on them.
inline constexpr int kFindOutOfResources = 0;
inline constexpr int kFindFileNotFound = 2;
inline constexpr int kFindPathNotFound = 3;
inline constexpr int kFindBadFormat = 11;
inline constexpr int kFindNoAssociation = 31;
inline constexpr int kFindSuccess = 42; // any value above 32 is a success

struct ExecutableLookup {
    int code = kFindNoAssociation;
    std::string executable; // full path of the program; empty unless code > 32
};

class IAssociations {
public:
    virtual ~IAssociations() = default;
    // The program the desktop would start for the file `file` in the folder `folder`
    // (the folder part with its trailing separator).
    virtual ExecutableLookup FindExecutable(const std::string& file, const std::string& folder) = 0;
    // The operating system's product name; empty when unknown.
    virtual std::string ProductName() = 0;
    // The raw command text of the user's own choice for the extension (without its dot);
    // empty when there is none.
    virtual std::string ReadOpenWithListCommand(const std::string& extension) = 0;
    // The raw command text of the system-wide program for the extension (without its dot);
    // empty when there is none.
    virtual std::string ReadShellOpenCommand(const std::string& extension) = 0;
};

} // namespace velmora
