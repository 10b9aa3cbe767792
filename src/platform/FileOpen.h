#pragma once
// Opening a file through the C library by its std::filesystem path: the wide name on
// Windows, the bytes on Linux. Declared here for every part of the program (the core
// too); each system's implementation is built into velmora_files.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>

namespace velmora {

// mode as for fopen; an "x" makes the open fail with EEXIST when the file exists.
// Returns nullptr with errno set. Retries while interrupted. On Linux, "r" and "rb" open
// a regular file only and never wait: a pipe or a device, which could keep the open
// waiting for ever, fails with EINVAL and a folder with EISDIR.
std::FILE* OpenFile(const std::filesystem::path& path, const char* mode);

#if !defined(_WIN32)
// Reads up to size bytes at offset from file's descriptor (pread), leaving its position
// and its stdio buffer alone, so that several threads may read one file at once. Returns
// the bytes read, fewer only where the file ends, or -1 with errno set.
std::int64_t ReadFileAt(std::FILE* file, std::uint64_t offset, void* data, std::size_t size);
#endif

} // namespace velmora
