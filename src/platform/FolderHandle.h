#pragma once
// A folder held open. What is made, looked at, read, moved or removed inside it goes
// through the open folder one name at a time and never through a link, so a folder that
// someone renames away and replaces by a link while we work cannot send a write, a read
// or a deletion to another place. Extraction writes through these, the archive writers
// read their sources through them, and folders are deleted through them.
// Declared for every part of the program (the core too); each system's implementation
// is built into velmora_files.
#include "platform/UnnamedFile.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace velmora {

// What a name in a folder is, links not followed.
struct FolderItem {
    enum class Kind { Missing, File, Folder, Link, Other };
    Kind kind = Kind::Missing;
    unsigned mode = 0; // permission bits
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
};

// The identity of the file at path (links followed), for "is this the same file"; false
// when it cannot be read.
bool FileIdentity(const std::filesystem::path& path, std::uint64_t& device, std::uint64_t& inode);

class FolderHandle {
public:
    enum class ChildMode {
        Open,         // the folder must exist
        OpenOrCreate, // made when missing
        CreateNew     // made here and now; EEXIST when the name exists
    };

    virtual ~FolderHandle() = default;
    // The path the folder was reached by: for messages only.
    const std::filesystem::path& Path() const { return m_path; }

    // What `name` is in this folder: 0 (kind Missing when there is nothing), or an errno value.
    virtual int Look(const std::filesystem::path& name, FolderItem& item) const = 0;
    // The folder `name` inside this one, held open; nullptr with error set: ELOOP when
    // the name is a link, ENOTDIR when it is something else than a folder. New folders get
    // 0777 less the file mode creation mask; created tells whether this call made it.
    virtual std::shared_ptr<FolderHandle> Child(const std::filesystem::path& name, ChildMode mode, bool* created,
                                                int& error) = 0;
    // A new file in this folder, owner-only until its mode is set: without a name where the
    // file system allows it, else (unless noNameOnly) under a hidden temporary name.
    // nullptr with error set.
    virtual std::unique_ptr<UnnamedFile> NewFile(bool noNameOnly, int& error) = 0;
    // Opens the regular file `name` for reading, never through a link; nullptr with error set.
    virtual std::FILE* OpenForReading(const std::filesystem::path& name, int& error) = 0;
    // Moves `name` to `toName` in folder `to` (the same file system), replacing a file
    // there: 0, or an errno value.
    virtual int Move(const std::filesystem::path& name, FolderHandle& to, const std::filesystem::path& toName) = 0;
    // Removes `name`: a file or a link itself, or a folder with everything in it, every
    // folder entered through its open handle and no link ever followed. 0 (also when
    // nothing is there), or the errno value of the first failure.
    virtual int RemoveTree(const std::filesystem::path& name) = 0;
    // Makes a symbolic link `name` holding target (never followed here): 0, or an errno
    // value (EEXIST when anything is there; ENOSYS where links are not made).
    virtual int MakeLink(const std::filesystem::path& name, const std::string& target) = 0;
    // Sets this folder's own permission bits (0777 at most): 0, or an errno value.
    virtual int SetMode(unsigned mode) = 0;
    // The names in this folder (without "." and ".."): 0, or an errno value.
    virtual int List(std::vector<std::filesystem::path>& names) = 0;

protected:
    explicit FolderHandle(std::filesystem::path path) : m_path(std::move(path)) {}

private:
    std::filesystem::path m_path;
};

// True for the names "." and ".." (which name no entry of their own).
inline bool IsDotOrDotDot(const std::filesystem::path& name)
{
    const auto& text = name.native();
    return (text.size() == 1 && text[0] == '.') || (text.size() == 2 && text[0] == '.' && text[1] == '.');
}

// Whether the last part of a path to open may be a link.
enum class LastPartLink {
    // Followed only when it is a link at the first look (the caller chose a link); one
    // swapped in for a folder after that look is refused (ELOOP).
    AsFound,
    // Never followed: for a folder this run has just made.
    Refused
};

// Opens the folder at path and holds it; below it nothing is ever followed. nullptr with
// error set (ENOTDIR: not a folder; ELOOP: a link where none may be).
std::shared_ptr<FolderHandle> OpenFolderHandle(const std::filesystem::path& path, int& error,
                                               LastPartLink link = LastPartLink::AsFound);

// Opens the folder `relative` below root (several parts, each opened without following a
// link, "" or "." for root itself). nullptr with error set; failedPart receives the path
// below root of the part that failed.
std::shared_ptr<FolderHandle> OpenFolderBeneath(const std::shared_ptr<FolderHandle>& root,
                                                const std::filesystem::path& relative, int& error,
                                                std::filesystem::path* failedPart = nullptr);

// Opens the regular file `relative` below root for reading, no part of the way through a
// link; nullptr with error set.
std::FILE* OpenFileBeneath(const std::shared_ptr<FolderHandle>& root, const std::filesystem::path& relative,
                           int& error);

} // namespace velmora
