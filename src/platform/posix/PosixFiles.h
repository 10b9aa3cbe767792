#pragma once
// Small file helpers of the Linux backend.
#include <cerrno>
#include <string>

namespace velmora {

// Runs a system call again while it fails with EINTR.
template <typename F>
auto RetryOnInterrupt(F&& call)
{
    decltype(call()) rc;
    do {
        rc = call();
    } while (rc < 0 && errno == EINTR);
    return rc;
}

// Reads a regular file of at most maxBytes (links followed, never blocking on a FIFO).
// False with errno set when it cannot (EFBIG when larger, EINVAL when not a regular file).
bool ReadSmallFile(const std::string& path, std::string& content, std::size_t maxBytes);

// Replaces the file's content by writing a temporary file beside it and renaming it over
// the old one, so a failure leaves the old content. Keeps the old file's permissions.
// False with errno set on failure.
bool ReplaceSmallFile(const std::string& path, const std::string& content);

} // namespace velmora
