#pragma once
// Who holds a file or a folder: the processes that have it open, lock it, map it into
// memory, run it as their program or work inside it.
#include <cstdint>
#include <string>
#include <vector>

namespace velmora {

enum class HoldKind {
    Open,          // an open file (access says how)
    Lock,          // a lock on the file (lock and access say which)
    MemoryMapped,  // mapped into the process's memory
    Program,       // the process runs it as its program
    WorkingFolder, // the process's working folder is it, or lies inside it
};

enum class HoldAccess { None, Read, Write, ReadWrite };

enum class LockKind { None, Posix, Ofd, Flock };

struct FileHold {
    HoldKind kind = HoldKind::Open;
    // Open: the mode it was opened in. Lock: Read for a shared lock, Write for an exclusive one.
    HoldAccess access = HoldAccess::None;
    LockKind lock = LockKind::None;
    // The item held: the file itself, or for a folder the file or folder inside it.
    std::string path;

    friend bool operator==(const FileHold&, const FileHold&) = default;
};

struct FileHolder {
    std::int64_t id = 0;
    std::string program; // the program file the process runs, as full as the system tells
    std::string user;    // the owner's login name, else the number
    std::vector<FileHold> holds;
};

struct HolderList {
    bool exists = false;             // the path names a file or folder
    std::vector<FileHolder> holders; // by process id; the program's own process is never listed
    int uncheckedProcesses = 0;      // processes of other users whose files could not be looked at
};

class IFileHolders {
public:
    virtual ~IFileHolders() = default;
    // Every process that holds the path. For a folder: processes that hold it or anything
    // inside it, or work inside it.
    virtual HolderList ListHolders(const std::string& path) = 0;
};

} // namespace velmora
