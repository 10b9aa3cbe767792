#include "platform/posix/PosixFiles.h"

#include <cstdlib>
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
    int Release()
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }

private:
    int m_fd;
};

bool WriteAll(int fd, const std::string& content)
{
    std::size_t done = 0;
    while (done < content.size()) {
        const ssize_t n = RetryOnInterrupt([&] { return write(fd, content.data() + done, content.size() - done); });
        if (n < 0) {
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}
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

bool ReplaceSmallFile(const std::string& path, const std::string& content)
{
    mode_t mode = 0644;
    struct stat st {};
    if (stat(path.c_str(), &st) == 0) {
        mode = st.st_mode & 07777;
    }
    std::string temp = path + ".XXXXXX";
    FdGuard fd(mkostemp(temp.data(), O_CLOEXEC));
    if (fd.Get() < 0) {
        return false;
    }
    if (fchmod(fd.Get(), mode) != 0 || !WriteAll(fd.Get(), content) || fsync(fd.Get()) != 0) {
        const int err = errno;
        unlink(temp.c_str());
        errno = err;
        return false;
    }
    if (close(fd.Release()) != 0 || rename(temp.c_str(), path.c_str()) != 0) {
        const int err = errno;
        unlink(temp.c_str());
        errno = err;
        return false;
    }
    return true;
}

} // namespace velmora
