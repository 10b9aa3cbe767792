#include "platform/FileDurability.h"

#include "common/RetryOnInterrupt.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>

namespace velmora {

bool FlushToDisk(const std::string& path)
{
    const int fd = RetryOnInterrupt([&] { return open(path.c_str(), O_RDONLY | O_CLOEXEC); });
    if (fd < 0) return false;
    const int result = RetryOnInterrupt([&] { return fsync(fd); });
    close(fd);
    return result == 0;
}

namespace {
// The folder part of path with its trailing "/", or "" for a bare name.
std::string FolderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// Creates a new file of a name nobody else uses in folder; the descriptor, or -1.
int CreateTemporaryBeside(const std::string& folder, std::string& temporary)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::uint64_t random = 0;
        if (RetryOnInterrupt([&] { return getrandom(&random, sizeof random, 0); }) != sizeof random) return -1;
        char name[32];
        // A short name of its own, so a target name near the length limit still fits.
        std::snprintf(name, sizeof name, ".velmora-%016llx.tmp", static_cast<unsigned long long>(random));
        temporary = folder + name;
        const int fd = RetryOnInterrupt(
            [&] { return open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666); });
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
}

bool WriteAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = RetryOnInterrupt([&] { return write(fd, bytes.data(), bytes.size()); });
        if (n < 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}
} // namespace

Result<void> ReplaceFileAtomically(const std::string& path, std::string_view bytes)
{
    const auto fail = [&path](int err) -> Result<void> {
        errno = err;
        return Fail(ErrorFromErrno(err, path, "Writing"));
    };
    if (path.empty() || path.back() == '/') return fail(EISDIR);
    const std::string folder = FolderOf(path);
    std::string temporary;
    const int fd = CreateTemporaryBeside(folder, temporary);
    if (fd < 0) return fail(errno);

    struct stat old {};
    bool ok = stat(path.c_str(), &old) != 0 || !S_ISREG(old.st_mode) || fchmod(fd, old.st_mode & 07777) == 0;
    ok = ok && WriteAll(fd, bytes) && RetryOnInterrupt([&] { return fsync(fd); }) == 0;
    int err = errno;
    if (close(fd) != 0 && ok) {
        ok = false;
        err = errno;
    }
    if (ok && rename(temporary.c_str(), path.c_str()) == 0) {
        // The new name itself survives a power failure once the folder is flushed too.
        FlushToDisk(folder.empty() ? std::string(".") : folder);
        return Ok();
    }
    if (ok) err = errno;
    unlink(temporary.c_str());
    return fail(err);
}

bool MoveReplacing(const std::string& from, const std::string& to)
{
    return std::rename(from.c_str(), to.c_str()) == 0;
}

} // namespace velmora
