#pragma once
// Reading a small file that a user or another program could have replaced by something
// else: a pipe (opening or reading it would wait for a writer), a device, a folder or a
// huge file. Only a regular file is read (links followed), it is opened without waiting,
// and no more than a given number of bytes is ever taken in. Declared here for every part
// of the program (the core too); each system's implementation is built into velmora_files.
#include <cstddef>
#include <string>

namespace velmora {

enum class LongerFile {
    Fail,     // a file longer than the limit is not read: EFBIG
    TakeHead, // the first maxBytes are read; *truncated tells that more follows
};

// Reads the file at path (UTF-8) into content. False with the error number in
// *savedErrno on failure: ENOENT when nothing is there, EINVAL when it is not a regular
// file, EFBIG when it is longer than maxBytes (LongerFile::Fail), else the system's
// error. Files of /proc, which tell no size, are read to their end within the limit.
bool ReadSmallRegularFile(const std::string& path, std::string& content, std::size_t maxBytes,
                          int* savedErrno = nullptr, LongerFile longer = LongerFile::Fail, bool* truncated = nullptr);

} // namespace velmora
