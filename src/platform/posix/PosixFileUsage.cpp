#include "platform/posix/PosixFileUsage.h"

#include "platform/posix/PosixFiles.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <sstream>

namespace velmora {

namespace {

bool IsNumber(const char* text)
{
    if (*text == '\0') {
        return false;
    }
    for (; *text; ++text) {
        if (*text < '0' || *text > '9') {
            return false;
        }
    }
    return true;
}

// Another open file description (of any process) holds a lock that a write lock on the
// whole file would conflict with.
bool HasConflictingLock(int fd)
{
    struct flock probe {};
    probe.l_type = F_WRLCK;
    probe.l_whence = SEEK_SET;
    probe.l_start = 0;
    probe.l_len = 0;
    probe.l_pid = 0;
    if (RetryOnInterrupt([&] { return fcntl(fd, F_OFD_GETLK, &probe); }) != 0) {
        return false;
    }
    return probe.l_type != F_UNLCK;
}

} // namespace

bool IsOpenInOtherProcess(const std::string& canonicalPath, std::chrono::milliseconds budget)
{
    const auto deadline = std::chrono::steady_clock::now() + budget;
    DIR* proc = opendir("/proc");
    if (!proc) {
        return false;
    }
    const std::string self = std::to_string(getpid());
    const int procFd = dirfd(proc);
    bool found = false;
    char target[PATH_MAX + 1];
    while (!found) {
        const dirent* entry = readdir(proc);
        if (!entry) {
            break;
        }
        if (!IsNumber(entry->d_name) || self == entry->d_name) {
            continue;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            break;
        }
        const std::string fdFolder = std::string(entry->d_name) + "/fd";
        const int fdsFd = openat(procFd, fdFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fdsFd < 0) {
            continue;  // ended meanwhile, or another user's process
        }
        DIR* fds = fdopendir(fdsFd);
        if (!fds) {
            close(fdsFd);
            continue;
        }
        while (const dirent* fdEntry = readdir(fds)) {
            if (fdEntry->d_name[0] == '.') {
                continue;
            }
            const ssize_t n = readlinkat(fdsFd, fdEntry->d_name, target, PATH_MAX);
            if (n == static_cast<ssize_t>(canonicalPath.size()) &&
                std::memcmp(target, canonicalPath.data(), canonicalPath.size()) == 0) {
                found = true;
                break;
            }
        }
        closedir(fds);
    }
    closedir(proc);
    return found;
}

bool IsListedAsLocked(unsigned long devMajor, unsigned long devMinor, unsigned long long inode)
{
    std::string content;
    if (!ReadSmallFile("/proc/locks", content, 16u << 20)) {
        return false;
    }
    // "1: POSIX  ADVISORY  WRITE 1234 08:01:1234567 0 EOF"; waiting locks have "->" after
    // the number and are not held.
    const long self = static_cast<long>(getpid());
    std::istringstream lines(content);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string number, kind, mode, access, pidText, id;
        fields >> number >> kind;
        if (kind == "->") {
            continue;
        }
        fields >> mode >> access >> pidText >> id;
        unsigned long major = 0, minor = 0;
        unsigned long long ino = 0;
        if (std::sscanf(id.c_str(), "%lx:%lx:%llu", &major, &minor, &ino) != 3) {
            continue;
        }
        if (major == devMajor && minor == devMinor && ino == inode && std::atol(pidText.c_str()) != self) {
            return true;
        }
    }
    return false;
}

bool PosixFileUsage::IsFileInUse(const std::string& path)
{
    struct stat st {};
    if (path.empty() || stat(path.c_str(), &st) != 0) {
        return true;
    }
    // Folders cannot be taken; devices, pipes and sockets are not opened at all, since
    // opening one can have effects of its own.
    if (!S_ISREG(st.st_mode)) {
        return true;
    }
    // Read-only files count as in use, also for root who could still open them.
    const auto word = m_attributes.ReadAttributes(path);
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || (word && (*word & kAttributeReadOnly) != 0)) {
        return true;
    }
    const int fd =
        RetryOnInterrupt([&] { return open(path.c_str(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC); });
    if (fd < 0) {
        return true;  // also a running program (ETXTBSY) or a read-only mount
    }
    const bool locked = HasConflictingLock(fd);
    close(fd);
    if (locked || IsListedAsLocked(major(st.st_dev), minor(st.st_dev), st.st_ino)) {
        return true;
    }
    char* resolved = realpath(path.c_str(), nullptr);
    if (!resolved) {
        return true;
    }
    const std::string canonical(resolved);
    std::free(resolved);
    return IsOpenInOtherProcess(canonical, m_scanBudget);
}

bool PosixFileUsage::IsFileLocked(const std::string& path)
{
    struct stat st {};
    if (path.empty() || stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) {
        return false;
    }
    return IsFileInUse(path);
}

} // namespace velmora
