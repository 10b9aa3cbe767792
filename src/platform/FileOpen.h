#pragma once
// Opening a file through the C library by its std::filesystem path: the wide name on
// Windows, the bytes on Linux. Declared here for every part of the program (the core
// too); each system's implementation is built into velmora_files.
#include <cstdio>
#include <filesystem>

namespace velmora {

// mode as for fopen; an "x" makes the open fail with EEXIST when the file exists.
// Returns nullptr with errno set. Retries while interrupted. On Linux, "r" and "rb" open
// a regular file only and never wait: a pipe or a device, which could keep the open
// waiting for ever, fails with EINVAL and a folder with EISDIR.
std::FILE* OpenFile(const std::filesystem::path& path, const char* mode);

} // namespace velmora
