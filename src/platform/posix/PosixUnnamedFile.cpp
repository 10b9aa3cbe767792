#include "platform/UnnamedFile.h"

#include "common/RetryOnInterrupt.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

namespace velmora {

namespace {

// Files made with O_TMPFILE: they live in the folder's file system without an entry, and
// linkat gives them their name (failing with EEXIST instead of replacing anything).
class PosixUnnamedFile final : public UnnamedFile {
public:
    explicit PosixUnnamedFile(int fd) : m_fd(fd) { std::snprintf(m_proc, sizeof m_proc, "/proc/self/fd/%d", fd); }
    ~PosixUnnamedFile() override { close(m_fd); }
    PosixUnnamedFile(const PosixUnnamedFile&) = delete;
    PosixUnnamedFile& operator=(const PosixUnnamedFile&) = delete;

    bool Write(const void* data, std::size_t size) override
    {
        const auto* bytes = static_cast<const unsigned char*>(data);
        while (size > 0) {
            const ssize_t n = RetryOnInterrupt([&] { return write(m_fd, bytes, size); });
            if (n < 0) return false;
            bytes += n;
            size -= static_cast<std::size_t>(n);
        }
        return true;
    }

    bool SetModeAndTime(unsigned mode, std::optional<std::filesystem::file_time_type> modified) override
    {
        if (fchmod(m_fd, static_cast<mode_t>(mode & 0777u)) != 0) return false;
        if (!modified) return true;
        using namespace std::chrono;
        const auto ns = duration_cast<nanoseconds>(file_clock::to_sys(*modified).time_since_epoch()).count();
        timespec times[2] = {};
        times[0].tv_nsec = UTIME_OMIT;
        times[1].tv_sec = static_cast<time_t>(ns / 1000000000);
        times[1].tv_nsec = static_cast<long>(ns % 1000000000);
        if (times[1].tv_nsec < 0) {
            times[1].tv_nsec += 1000000000;
            times[1].tv_sec -= 1;
        }
        return futimens(m_fd, times) == 0;
    }

    int Link(const std::filesystem::path& path) override
    {
        if (linkat(AT_FDCWD, m_proc, AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0) return 0;
        const int error = errno;
        // Without /proc the handle itself can be linked where the process may do so.
        if (error == ENOENT && linkat(m_fd, "", AT_FDCWD, path.c_str(), AT_EMPTY_PATH) == 0) return 0;
        return error;
    }

    std::FILE* OpenForReading() override
    {
        const int fd = RetryOnInterrupt([&] { return open(m_proc, O_RDONLY | O_CLOEXEC); });
        if (fd < 0) return nullptr;
        std::FILE* file = fdopen(fd, "rb");
        if (!file) {
            const int error = errno;
            close(fd);
            errno = error;
        }
        return file;
    }

private:
    int m_fd;
    char m_proc[40];
};

unsigned ReadNewFileMode()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("Umask:", 0) == 0) {
            try {
                return 0666u & ~static_cast<unsigned>(std::stoul(line.substr(6), nullptr, 8));
            } catch (const std::exception&) {
                break;
            }
        }
    }
    return 0600u;
}

} // namespace

std::unique_ptr<UnnamedFile> CreateUnnamedFile(const std::filesystem::path& folder)
{
    // Naming and reopening go through /proc/self/fd; without it the named temporary file
    // serves (looked at once per process).
    static const bool procUsable = access("/proc/self/fd", X_OK) == 0;
    if (!procUsable) {
        errno = ENOSYS;
        return nullptr;
    }
    const char* where = folder.empty() ? "." : folder.c_str();
    const int fd = RetryOnInterrupt([&] { return open(where, O_TMPFILE | O_RDWR | O_CLOEXEC, 0600); });
    if (fd < 0) return nullptr;
    return std::make_unique<PosixUnnamedFile>(fd);
}

unsigned NewFileMode()
{
    return ReadNewFileMode();
}

} // namespace velmora
