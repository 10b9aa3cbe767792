#pragma once
// A new file that has no name while it is written. A process killed part way leaves
// nothing behind, nobody can open the unfinished data by a name, and the finished file
// appears under its final name in one step, never over something that exists there.
// Declared here for every part of the program (the core too); each system's
// implementation is built into the small velmora_files library. Where the system or the
// file system offers no such files, CreateUnnamedFile says so and callers write a
// temporary file with a name instead.
#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>

namespace velmora {

class UnnamedFile {
public:
    virtual ~UnnamedFile() = default; // a file that never got a name goes with its handle
    // Writes all size bytes; false with errno set.
    virtual bool Write(const void* data, std::size_t size) = 0;
    // Sets the permission bits (0777 at most) and, when given, the modification time;
    // false with errno set.
    virtual bool SetModeAndTime(unsigned mode, std::optional<std::filesystem::file_time_type> modified) = 0;
    // Gives the file the name path: 0, or an errno value. EEXIST when anything exists at
    // path (a file, a folder, a link): nothing is replaced then.
    virtual int Link(const std::filesystem::path& path) = 0;
    // A reading handle of its own on the data written so far, positioned at the start;
    // nullptr with errno set.
    virtual std::FILE* OpenForReading() = 0;
};

// Creates an unnamed file in folder, readable and writable by its owner only. nullptr
// with errno set when that fails or is not offered there.
std::unique_ptr<UnnamedFile> CreateUnnamedFile(const std::filesystem::path& folder);

// The permission bits a new file gets from this process now (0666 less its file mode
// creation mask; 0600 when the mask cannot be read). Reads the mask each time.
unsigned NewFileMode();

} // namespace velmora
