#pragma once
// Small file helpers of the Linux backend.
#include "common/RetryOnInterrupt.h"

#include <cerrno>
#include <string>

namespace velmora {

// Reads a regular file of at most maxBytes (links followed, never blocking on a FIFO).
// False with errno set when it cannot (EFBIG when larger, EINVAL when not a regular file).
bool ReadSmallFile(const std::string& path, std::string& content, std::size_t maxBytes);

} // namespace velmora
