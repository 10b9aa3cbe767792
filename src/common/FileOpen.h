#pragma once
// Opening a file through the C library by its std::filesystem path: the wide name on
// Windows, the bytes on Linux.
#include <cstdio>
#include <filesystem>

namespace velmora {

// mode as for fopen; an "x" makes the open fail with EEXIST when the file exists.
// Returns nullptr with errno set. Retries while interrupted.
std::FILE* OpenFile(const std::filesystem::path& path, const char* mode);

} // namespace velmora
