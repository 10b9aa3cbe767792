#pragma once
// The file-attribute word of a file: archive, read-only, hidden and system.
#include "common/Result.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace velmora {

inline constexpr std::uint32_t kAttributeReadOnly = 0x01;
inline constexpr std::uint32_t kAttributeHidden = 0x02;
inline constexpr std::uint32_t kAttributeSystem = 0x04;
inline constexpr std::uint32_t kAttributeArchive = 0x20;
// The four bits the program shows and writes.
inline constexpr std::uint32_t kSettableAttributes =
    kAttributeReadOnly | kAttributeHidden | kAttributeSystem | kAttributeArchive;

// Why a set of attributes cannot be written to a file on this system.
enum class AttributeRefusal {
    None,
    NameAlwaysHidden, // clearing Hidden on a name that the system hides by itself
};

// One entry of a folder listing: what one status call tells of it (links followed or not,
// as the listing was asked) and its attribute word as ReadAttributes gives it.
struct FolderEntry {
    enum class Kind { File, Folder, Link, Other, Unreadable };
    std::string name; // the bare name in the folder
    Kind kind = Kind::Other;
    std::uint64_t size = 0;
    std::filesystem::file_time_type modified{};
    std::filesystem::perms permissions = std::filesystem::perms::unknown;
    std::optional<std::uint32_t> attributes = std::nullopt; // files and folders only
    int error = 0;                                          // Unreadable: why the status call failed
};

// What the service's Errors say was being done.
inline constexpr const char* kWriteAttributesFailed = "cannot set the attributes of";
inline constexpr const char* kListFolderFailed = "cannot list";

class IFileAttributes {
public:
    virtual ~IFileAttributes() = default;
    // The attribute word of the file or folder (symbolic links followed); nothing when
    // the path names nothing or cannot be read.
    virtual std::optional<std::uint32_t> ReadAttributes(const std::string& path) = 0;
    // Makes exactly the given subset of the four settable bits the file's attributes
    // (links followed); bits outside the four are ignored. Succeeds when every part of the
    // write succeeded; else the Error names the path and the system's error.
    virtual Result<void> WriteAttributes(const std::string& path, std::uint32_t attributes) = 0;
    // The reason WriteAttributes would refuse the set before changing anything; None when
    // nothing speaks against it.
    // Lists the entries of a folder (not "." and ".."), in the file system's order, for
    // walks over many files. followLinks: a link counts as what it names (Unreadable when
    // that is missing); otherwise it is listed as a Link without attributes. An Error when
    // the folder cannot be listed. The default asks ReadAttributes per entry; a backend may
    // ask the file system once per folder what applies to all its entries.
    virtual Result<std::vector<FolderEntry>> ListFolder(const std::string& folder, bool followLinks);
    virtual AttributeRefusal RefusalFor(const std::string& /*path*/, std::uint32_t /*attributes*/)
    {
        return AttributeRefusal::None;
    }
};

} // namespace velmora
