#include "platform/posix/PosixFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velmora {

namespace {
class FdGuard {
public:
    explicit FdGuard(int fd) : m_fd(fd) {}
    ~FdGuard()
    {
        if (m_fd >= 0) {
            close(m_fd);
        }
    }
    FdGuard(const FdGuard&) = delete;
    FdGuard& operator=(const FdGuard&) = delete;
    int Get() const { return m_fd; }

private:
    int m_fd;
};
} // namespace

bool ReadSmallFile(const std::string& path, std::string& content, std::size_t maxBytes)
{
    FdGuard fd(RetryOnInterrupt([&] { return open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC); }));
    if (fd.Get() < 0) {
        return false;
    }
    struct stat st {};
    if (fstat(fd.Get(), &st) != 0) {
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        errno = EINVAL;
        return false;
    }
    if (static_cast<std::size_t>(st.st_size) > maxBytes) {
        errno = EFBIG;
        return false;
    }
    content.clear();
    char buffer[8192];
    for (;;) {
        const ssize_t n = RetryOnInterrupt([&] { return read(fd.Get(), buffer, sizeof buffer); });
        if (n < 0) {
            return false;
        }
        if (n == 0) {
            break;
        }
        content.append(buffer, static_cast<std::size_t>(n));
        if (content.size() > maxBytes) {
            errno = EFBIG;
            return false;
        }
    }
    return true;
}

} // namespace velmora
