#include "platform/FileOpen.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

namespace velmora {

namespace {

// Opening a FIFO for reading waits for a writer, possibly for ever, and a device may
// block too: the file is opened without waiting and kept only when it is a regular file
// (a folder fails with EISDIR, anything else with EINVAL). Reads then block as usual.
std::FILE* OpenRegularForReading(const std::filesystem::path& path)
{
    int fd = -1;
    do {
        fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return nullptr;
    struct stat st {};
    int error = 0;
    if (fstat(fd, &st) != 0) {
        error = errno;
    } else if (!S_ISREG(st.st_mode)) {
        error = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    } else {
        const int flags = fcntl(fd, F_GETFL);
        if (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) error = errno;
    }
    std::FILE* file = error == 0 ? fdopen(fd, "rb") : nullptr;
    if (file == nullptr) {
        if (error == 0) error = errno;
        close(fd);
        errno = error;
    }
    return file;
}

} // namespace

std::FILE* OpenFile(const std::filesystem::path& path, const char* mode)
{
    if (std::strcmp(mode, "r") == 0 || std::strcmp(mode, "rb") == 0) return OpenRegularForReading(path);
    std::FILE* file = nullptr;
    do {
        errno = 0;
        file = std::fopen(path.c_str(), mode);
    } while (!file && errno == EINTR);
    return file;
}

std::int64_t ReadFileAt(std::FILE* file, std::uint64_t offset, void* data, std::size_t size)
{
    if (offset > static_cast<std::uint64_t>(INT64_MAX) - size) {
        errno = EINVAL;
        return -1;
    }
    const int fd = fileno(file);
    auto* bytes = static_cast<unsigned char*>(data);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = pread(fd, bytes + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return -1;
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    return static_cast<std::int64_t>(done);
}

} // namespace velmora
