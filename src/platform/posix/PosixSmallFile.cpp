#include "platform/SmallFile.h"

#include "common/RetryOnInterrupt.h"

#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velmora {

namespace {
bool Fail(int error, int* savedErrno)
{
    if (savedErrno != nullptr) *savedErrno = error;
    errno = error;
    return false;
}
} // namespace

bool ReadSmallRegularFile(const std::string& path, std::string& content, std::size_t maxBytes, int* savedErrno,
                          LongerFile longer, bool* truncated)
{
    content.clear();
    if (truncated != nullptr) *truncated = false;
    // O_NONBLOCK: opening a pipe with no writer returns at once instead of waiting; the
    // descriptor is then checked before a single byte is read.
    const int fd = RetryOnInterrupt([&] { return open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC); });
    if (fd < 0) return Fail(errno, savedErrno);
    const auto closeWith = [&](int error) {
        close(fd);
        return error == 0 ? true : Fail(error, savedErrno);
    };
    struct stat st {};
    if (fstat(fd, &st) != 0) return closeWith(errno);
    if (!S_ISREG(st.st_mode)) return closeWith(EINVAL);
    if (longer == LongerFile::Fail && static_cast<std::uint64_t>(st.st_size) > maxBytes) return closeWith(EFBIG);
    // One byte past the limit tells whether more follows.
    char buffer[16384];
    for (;;) {
        const std::size_t room = maxBytes + 1 - content.size();
        const ssize_t n =
            RetryOnInterrupt([&] { return read(fd, buffer, room < sizeof buffer ? room : sizeof buffer); });
        if (n < 0) return closeWith(errno);
        if (n == 0) break;
        content.append(buffer, static_cast<std::size_t>(n));
        if (content.size() > maxBytes) {
            if (longer == LongerFile::Fail) {
                content.clear();
                return closeWith(EFBIG);
            }
            content.resize(maxBytes);
            if (truncated != nullptr) *truncated = true;
            break;
        }
    }
    return closeWith(0);
}

} // namespace velmora
