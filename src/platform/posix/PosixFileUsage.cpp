#include "platform/posix/PosixFileUsage.h"

#include "common/RetryOnInterrupt.h"
#include "platform/SmallFile.h"
#include "platform/posix/ProcLocks.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <optional>
#include <sstream>
#include <thread>
#include <vector>

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

// Whether any other open file description exists for the file, asked of the kernel
// through a write lease, which is only granted while the file is open nowhere else
// (nor running as a program). Nothing when the file system or the owner rules refuse
// leases; then the caller has to look for holders itself.
std::optional<bool> OpenElsewhereByLease(int fd)
{
    // A lease break would be signalled while the lease is held; the signal chosen is
    // one whose default action is to be ignored, so that short moment cannot end us.
    if (fcntl(fd, F_SETSIG, SIGURG) != 0) {
        return std::nullopt;
    }
    if (RetryOnInterrupt([&] { return fcntl(fd, F_SETLEASE, F_WRLCK); }) == 0) {
        fcntl(fd, F_SETLEASE, F_UNLCK);
        return false;
    }
    if (errno == EAGAIN) {
        return true;
    }
    return std::nullopt;
}

// Reads the names of a folder with getdents64 into one buffer; for /proc folders this
// saves the extra calls of the stream interface, which count when thousands are read.
template <typename Visit> void ForEachName(int folderFd, Visit&& visit)
{
    alignas(8) char buffer[32768];
    for (;;) {
        const long n = syscall(SYS_getdents64, folderFd, buffer, sizeof buffer);
        if (n <= 0) {
            return;
        }
        // Each record: 64-bit inode, 64-bit offset, 16-bit record length, type byte, name.
        for (long offset = 0; offset + 19 < n;) {
            unsigned short length = 0;
            std::memcpy(&length, buffer + offset + 16, sizeof length);
            const char* name = buffer + offset + 19;
            if (length == 0 || (name[0] != '.' && !visit(name))) {
                return;
            }
            offset += length;
        }
    }
}

bool ScanProcesses(const std::vector<std::string>& pids, std::size_t begin, std::size_t step, int procFd,
                   const std::string& canonicalPath, std::chrono::steady_clock::time_point deadline,
                   std::atomic<bool>& found)
{
    char target[PATH_MAX + 1];
    for (std::size_t i = begin; i < pids.size() && !found.load(std::memory_order_relaxed); i += step) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        const std::string fdFolder = pids[i] + "/fd";
        const int fdsFd = openat(procFd, fdFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fdsFd < 0) {
            continue; // ended meanwhile, or another user's process
        }
        ForEachName(fdsFd, [&](const char* name) {
            const ssize_t n = readlinkat(fdsFd, name, target, PATH_MAX);
            if (n == static_cast<ssize_t>(canonicalPath.size()) &&
                std::memcmp(target, canonicalPath.data(), canonicalPath.size()) == 0) {
                found.store(true, std::memory_order_relaxed);
                return false;
            }
            return true;
        });
        close(fdsFd);
    }
    return true;
}

} // namespace

bool IsOpenInOtherProcess(const std::string& canonicalPath, std::chrono::milliseconds budget)
{
    const auto deadline = std::chrono::steady_clock::now() + budget;
    const int procFd = open("/proc", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (procFd < 0) {
        return false;
    }
    const std::string self = std::to_string(getpid());
    std::vector<std::string> pids;
    ForEachName(procFd, [&](const char* name) {
        if (IsNumber(name) && self != name) {
            pids.emplace_back(name);
        }
        return true;
    });
    // Two scanners share the processes; the first to find the file stops both.
    std::atomic<bool> found{false};
    const unsigned cores = std::max(1u, std::min(2u, std::thread::hardware_concurrency()));
    if (cores > 1 && pids.size() > 64) {
        std::thread helper([&] { ScanProcesses(pids, 1, 2, procFd, canonicalPath, deadline, found); });
        ScanProcesses(pids, 0, 2, procFd, canonicalPath, deadline, found);
        helper.join();
    } else {
        ScanProcesses(pids, 0, 1, procFd, canonicalPath, deadline, found);
    }
    close(procFd);
    return found.load();
}

bool IsListedAsLocked(unsigned long devMajor, unsigned long devMinor, unsigned long long inode)
{
    const std::int64_t self = getpid();
    for (const ListedLock& lock : ReadListedLocks(16u << 20)) {
        if (lock.devMajor == devMajor && lock.devMinor == devMinor && lock.inode == inode && lock.pid != self) {
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
    const int fd = RetryOnInterrupt([&] { return open(path.c_str(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC); });
    if (fd < 0) {
        return true; // also a running program (ETXTBSY) or a read-only mount
    }
    const bool locked = HasConflictingLock(fd);
    const std::optional<bool> openElsewhere = locked ? std::optional<bool>(true) : OpenElsewhereByLease(fd);
    close(fd);
    if (openElsewhere) {
        return *openElsewhere;
    }
    if (IsListedAsLocked(major(st.st_dev), minor(st.st_dev), st.st_ino)) {
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

UsageCheck PosixFileUsage::CheckUsage(const std::string& path)
{
    using State = UsageCheck::State;
    UsageCheck check;
    struct stat st {};
    if (path.empty() || stat(path.c_str(), &st) != 0) {
        check.reason = path.empty() ? ENOENT : errno;
        return check;
    }
    if (S_ISDIR(st.st_mode)) {
        check.folder = true;
        check.reason = EISDIR;
        return check;
    }
    if (!S_ISREG(st.st_mode)) {
        check.reason = EINVAL; // devices, pipes and sockets are not opened
        return check;
    }
    const auto word = m_attributes.ReadAttributes(path);
    const bool readOnly =
        (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || (word && (*word & kAttributeReadOnly) != 0);
    int fd = -1;
    int openError = 0;
    if (!readOnly) {
        fd = RetryOnInterrupt([&] { return open(path.c_str(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC); });
        if (fd < 0) openError = errno;
        if (fd < 0 && openError == ETXTBSY) {
            check.state = State::InUse; // a running program
            return check;
        }
    }
    // Without write access the file is still looked at through a reading descriptor:
    // another process's lock or open descriptor is seen all the same.
    const bool exclusive = fd >= 0;
    if (fd < 0) fd = RetryOnInterrupt([&] { return open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC); });
    std::optional<bool> openElsewhere;
    if (fd >= 0) {
        openElsewhere = HasConflictingLock(fd) ? std::optional<bool>(true) : OpenElsewhereByLease(fd);
        close(fd);
    }
    bool held = openElsewhere.value_or(false);
    if (!openElsewhere) {
        held = IsListedAsLocked(major(st.st_dev), minor(st.st_dev), st.st_ino);
        if (!held) {
            if (char* resolved = realpath(path.c_str(), nullptr)) {
                const std::string canonical(resolved);
                std::free(resolved);
                held = IsOpenInOtherProcess(canonical, m_scanBudget);
            }
        }
    }
    if (held) {
        check.state = State::InUse;
    } else if (exclusive) {
        check.state = State::Free;
    } else {
        check.readOnly = readOnly;
        check.reason = readOnly ? EACCES : openError;
    }
    return check;
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
