#pragma once
// A new file that is not yet under its final name while it is written. Where the system
// offers it, the file has no name at all: a process killed part way leaves nothing behind,
// nobody can open the unfinished data by a name, and the finished file appears under its
// final name in one step. Elsewhere it lives under a hidden temporary name beside its
// final place and is removed when it is dropped without being placed. Either way it is
// made in, and placed into, a folder held open (platform/FolderHandle.h), never through a
// path that could be changed to a link in between. Declared here for every part of the
// program (the core too); each system's implementation is built into velmora_files.
#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <optional>

namespace velmora {

class UnnamedFile {
public:
    virtual ~UnnamedFile() = default; // a file that never got its name goes with it
    // True when the file has no name at all (not a temporary one).
    virtual bool HasNoName() const = 0;
    // Writes all size bytes; false with errno set.
    virtual bool Write(const void* data, std::size_t size) = 0;
    // Sets the permission bits (0777 at most) and, when given, the modification time;
    // false with errno set.
    virtual bool SetModeAndTime(unsigned mode, std::optional<std::filesystem::file_time_type> modified) = 0;
    // Gives the file the name `name` in the folder it was made in: 0, or an errno value.
    // EEXIST when anything exists there (a file, a folder, a link): nothing is replaced.
    virtual int Place(const std::filesystem::path& name) = 0;
    // Puts the file in place of what is at `name` in its folder (a file the caller has
    // looked at and may replace): 0, or an errno value.
    virtual int Replace(const std::filesystem::path& name) = 0;
    // A reading handle of its own on the data written so far, positioned at the start;
    // nullptr with errno set.
    virtual std::FILE* OpenForReading() = 0;
};

// The permission bits a new file gets from this process now (0666 less its file mode
// creation mask; 0600 when the mask cannot be read). Reads the mask each time.
unsigned NewFileMode();

} // namespace velmora
