#include "platform/posix/PosixFileHolders.h"

#include "common/RetryOnInterrupt.h"
#include "platform/SmallFile.h"
#include "platform/posix/ProcLocks.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <sstream>
#include <string_view>
#include <thread>

namespace velmora {

namespace {

constexpr std::string_view kDeletedSuffix = " (deleted)";
// Set in the flags of the kernel's own threads (/proc/<pid>/stat), which hold no files.
constexpr unsigned long long kKernelThreadFlag = 0x00200000;

struct Target {
    std::string path; // canonical
    bool folder = false;
    bool exists = false;
    unsigned long devMajor = 0, devMinor = 0;
    unsigned long long inode = 0;
};

bool Matches(std::string_view link, const Target& target)
{
    if (link == target.path) return true;
    if (!target.folder) return false;
    if (target.path == "/") return !link.empty() && link.front() == '/';
    return link.size() > target.path.size() && link.starts_with(target.path) && link[target.path.size()] == '/';
}

bool IsNumber(const char* text)
{
    if (*text == '\0') return false;
    for (; *text; ++text) {
        if (*text < '0' || *text > '9') return false;
    }
    return true;
}

// Reads the names of a folder with getdents64 into one buffer: fewer calls than the
// stream interface, which counts when thousands of /proc folders are read. The /proc
// folders fill the buffer as far as their entries go, so a buffer left well short of
// full holds the last of them and no further call is needed.
template <typename Visit> void ForEachName(int folderFd, Visit&& visit)
{
    alignas(8) char buffer[16384];
    for (;;) {
        const long n = syscall(SYS_getdents64, folderFd, buffer, sizeof buffer);
        if (n <= 0) return;
        // Each record: 64-bit inode, 64-bit offset, 16-bit record length, type byte, name.
        for (long offset = 0; offset + 19 < n;) {
            unsigned short length = 0;
            std::memcpy(&length, buffer + offset + 16, sizeof length);
            const char* name = buffer + offset + 19;
            if (length == 0) return;
            if (name[0] != '.') visit(name);
            offset += length;
        }
        if (n + 512 < static_cast<long>(sizeof buffer)) return;
    }
}

// The target of a /proc link relative to the /proc folder; empty when it cannot be read.
std::string_view ReadLinkAt(int folderFd, const char* name, char (&buffer)[PATH_MAX + 1])
{
    const ssize_t n = readlinkat(folderFd, name, buffer, PATH_MAX);
    if (n <= 0) return {};
    return std::string_view(buffer, static_cast<std::size_t>(n));
}

// The whole content of a /proc file relative to folderFd; false when it cannot be read.
// Many /proc files hand out at most one page per read (maps, smaps), so a short read
// says nothing about the end: only a read that returns nothing does. Content beyond the
// limit is cut off.
// isLast, when given, tells from the content read so far that nothing can follow, which
// saves the read that would only return the end.
bool ReadProcFile(int folderFd, const char* name, std::string& content, std::size_t limit = 64u << 20,
                  bool (*isLast)(std::string_view) = nullptr)
{
    const int fd = openat(folderFd, name, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    char chunk[16384];
    content.clear();
    bool ok = true;
    while (content.size() < limit) {
        const ssize_t n = RetryOnInterrupt([&] { return read(fd, chunk, sizeof chunk); });
        if (n < 0) ok = !content.empty(); // the process may have ended between two reads
        if (n <= 0) break;
        content.append(chunk, static_cast<std::size_t>(n));
        if (isLast != nullptr && isLast(content)) break;
    }
    close(fd);
    return ok;
}

// On x86-64 the vsyscall page sits above every address a process can map, so when the
// maps list it, its line is the last one.
bool EndsWithGateArea(std::string_view maps)
{
    if (!maps.ends_with("[vsyscall]\n")) return false;
    const std::size_t lineEnd = maps.size() - 1;
    const std::size_t previous = maps.rfind('\n', lineEnd - 1);
    const std::string_view line = maps.substr(previous == std::string_view::npos ? 0 : previous + 1);
    return line.starts_with("ffffffffff600000-");
}

LockKind LockKindOf(std::string_view word)
{
    if (word == "POSIX") return LockKind::Posix;
    if (word == "OFDLCK") return LockKind::Ofd;
    if (word == "FLOCK") return LockKind::Flock;
    return LockKind::None;
}

HoldAccess LockAccessOf(std::string_view word)
{
    if (word == "READ") return HoldAccess::Read;
    if (word == "WRITE") return HoldAccess::Write;
    return HoldAccess::None;
}

void AddHold(std::vector<FileHold>& holds, FileHold hold)
{
    if (std::find(holds.begin(), holds.end(), hold) == holds.end()) holds.push_back(std::move(hold));
}

// The mode of one open file and the locks on it, from /proc/<pid>/fdinfo/<fd>:
// "flags:\t0100002" (octal open flags) and "lock:\t1: POSIX  ADVISORY  WRITE 1234 fe:00:12 0 EOF".
void AddOpenFile(int procFd, const std::string& pid, const char* fd, const std::string& item,
                 std::vector<FileHold>& holds, std::string& scratch)
{
    FileHold open{HoldKind::Open, HoldAccess::Read, LockKind::None, item};
    const std::string name = pid + "/fdinfo/" + fd;
    if (!ReadProcFile(procFd, name.c_str(), scratch, 1u << 20)) {
        AddHold(holds, open);
        return;
    }
    std::istringstream lines(scratch);
    std::string line;
    std::vector<FileHold> locks;
    while (std::getline(lines, line)) {
        if (line.starts_with("flags:")) {
            const unsigned long flags = std::strtoul(line.c_str() + 6, nullptr, 8);
            if ((flags & O_PATH) != 0) {
                open.access = HoldAccess::None;
            } else {
                const unsigned long mode = flags & O_ACCMODE;
                open.access = mode == O_WRONLY ? HoldAccess::Write
                              : mode == O_RDWR ? HoldAccess::ReadWrite
                                               : HoldAccess::Read;
            }
        } else if (line.starts_with("lock:")) {
            std::istringstream fields(line.substr(5));
            std::string number, kind, mode, access;
            fields >> number >> kind >> mode >> access;
            const LockKind lock = LockKindOf(kind);
            if (lock != LockKind::None) locks.push_back({HoldKind::Lock, LockAccessOf(access), lock, item});
        }
    }
    AddHold(holds, open);
    for (FileHold& lock : locks)
        AddHold(holds, std::move(lock));
}

// The program a process runs: the executable's path, else the first word of its command
// line, else its short name.
std::string ProgramOf(int procFd, const std::string& pid)
{
    char buffer[PATH_MAX + 1];
    std::string_view exe = ReadLinkAt(procFd, (pid + "/exe").c_str(), buffer);
    if (exe.size() > kDeletedSuffix.size() && exe.ends_with(kDeletedSuffix)) exe.remove_suffix(kDeletedSuffix.size());
    if (!exe.empty()) return std::string(exe);
    std::string content;
    if (ReadProcFile(procFd, (pid + "/cmdline").c_str(), content, 1u << 16)) {
        const std::string first = content.substr(0, content.find('\0'));
        if (!first.empty()) return first;
    }
    if (ReadProcFile(procFd, (pid + "/comm").c_str(), content, 4096)) {
        while (!content.empty() && content.back() == '\n')
            content.pop_back();
    }
    return content;
}

bool IsKernelThread(int procFd, const std::string& pid)
{
    std::string stat;
    if (!ReadProcFile(procFd, (pid + "/stat").c_str(), stat, 1u << 16)) return false;
    const std::size_t close = stat.rfind(')');
    if (close == std::string::npos) return false;
    std::istringstream fields(stat.substr(close + 1));
    std::string state;
    long long ppid = 0, pgrp = 0, session = 0, tty = 0, tpgid = 0;
    unsigned long long flags = 0;
    fields >> state >> ppid >> pgrp >> session >> tty >> tpgid >> flags;
    return (flags & kKernelThreadFlag) != 0;
}

struct FoundHolder {
    FileHolder holder;
    uid_t uid = 0;
};

struct ScanResult {
    std::vector<FoundHolder> found;
    std::vector<std::string> unchecked; // processes whose open files could not be read
};

// Looks at one process: open files, program, working folder, memory maps.
void ScanProcess(int procFd, const std::string& pid, const Target& target, ScanResult& result, std::string& scratch)
{
    char buffer[PATH_MAX + 1];
    std::vector<FileHold> holds;
    const std::string fdFolder = pid + "/fd";
    const int fdsFd = openat(procFd, fdFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fdsFd < 0) {
        if (errno == EACCES || errno == EPERM) result.unchecked.push_back(pid);
        return; // or the process has ended meanwhile
    }
    ForEachName(fdsFd, [&](const char* fd) {
        const std::string_view link = ReadLinkAt(fdsFd, fd, buffer);
        if (!link.empty() && Matches(link, target)) AddOpenFile(procFd, pid, fd, std::string(link), holds, scratch);
    });
    close(fdsFd);

    // A folder can be a working folder; a file cannot.
    if (target.folder) {
        const std::string_view cwd = ReadLinkAt(procFd, (pid + "/cwd").c_str(), buffer);
        if (!cwd.empty() && Matches(cwd, target)) {
            AddHold(holds, {HoldKind::WorkingFolder, HoldAccess::None, LockKind::None, std::string(cwd)});
        }
    }

    // Memory maps: "start-end perms offset dev inode   /path". Most processes do not map
    // the file at all, which one search of the whole text tells. A running program is
    // always mapped too, so its program file is only read when the maps name the target.
    std::string program;
    if (ReadProcFile(procFd, (pid + "/maps").c_str(), scratch, 64u << 20, EndsWithGateArea) &&
        scratch.find(target.path) != std::string::npos) {
        std::string_view exe = ReadLinkAt(procFd, (pid + "/exe").c_str(), buffer);
        if (exe.size() > kDeletedSuffix.size() && exe.ends_with(kDeletedSuffix))
            exe.remove_suffix(kDeletedSuffix.size());
        program = exe;
        if (!program.empty() && Matches(program, target)) {
            AddHold(holds, {HoldKind::Program, HoldAccess::None, LockKind::None, program});
        }
        std::size_t begin = 0;
        while (begin < scratch.size()) {
            std::size_t end = scratch.find('\n', begin);
            if (end == std::string::npos) end = scratch.size();
            const std::string_view line(scratch.data() + begin, end - begin);
            begin = end + 1;
            const std::size_t slash = line.find('/');
            if (slash == std::string_view::npos) continue;
            std::string_view mapped = line.substr(slash);
            if (mapped.ends_with(kDeletedSuffix)) continue; // a removed file, not the one asked about
            // Running the program is said already.
            if (mapped == program) continue;
            if (Matches(mapped, target)) {
                AddHold(holds, {HoldKind::MemoryMapped, HoldAccess::None, LockKind::None, std::string(mapped)});
            }
        }
    }
    if (holds.empty()) return;
    // Open files and their locks first, then maps, the program and the working folder.
    std::stable_sort(holds.begin(), holds.end(), [](const FileHold& a, const FileHold& b) {
        const auto rank = [](HoldKind k) { return k == HoldKind::Lock ? 0 : static_cast<int>(k); };
        return rank(a.kind) < rank(b.kind);
    });

    FoundHolder found;
    found.holder.id = std::atoll(pid.c_str());
    found.holder.program = program.empty() ? ProgramOf(procFd, pid) : program;
    found.holder.holds = std::move(holds);
    struct stat st {};
    if (fstatat(procFd, pid.c_str(), &st, 0) == 0) found.uid = st.st_uid;
    result.found.push_back(std::move(found));
}

// Scans processes until none is left; the scanners take them in small runs from one
// counter, so one that meets a process with a long list of maps does not hold the rest up.
void ScanShare(int procFd, const std::vector<std::string>& pids, std::atomic<std::size_t>& next, const Target& target,
               ScanResult& result)
{
    constexpr std::size_t kRun = 16;
    std::string scratch;
    scratch.reserve(1u << 16);
    for (std::size_t begin; (begin = next.fetch_add(kRun)) < pids.size();) {
        const std::size_t end = std::min(pids.size(), begin + kRun);
        for (std::size_t i = begin; i < end; ++i)
            ScanProcess(procFd, pids[i], target, result, scratch);
    }
}

// Locks that /proc/locks lists on the file for the given processes ("1: POSIX  ADVISORY
// WRITE 1234 08:01:1234567 0 EOF"; waiting locks carry "->" and are not held). Open file
// description locks show no process (-1) and cannot be given an owner here.
std::map<std::int64_t, std::vector<FileHold>> ListedLocks(const Target& target)
{
    std::map<std::int64_t, std::vector<FileHold>> locks;
    for (const ListedLock& listed : ReadListedLocks(64u << 20)) {
        if (listed.pid <= 0 || listed.devMajor != target.devMajor || listed.devMinor != target.devMinor ||
            listed.inode != target.inode)
            continue;
        const LockKind lock = LockKindOf(listed.kind);
        if (lock == LockKind::None) continue;
        AddHold(locks[listed.pid], {HoldKind::Lock, LockAccessOf(listed.access), lock, target.path});
    }
    return locks;
}

std::string UserName(uid_t uid, std::map<uid_t, std::string>& cache)
{
    if (const auto known = cache.find(uid); known != cache.end()) return known->second;
    std::string name = std::to_string(uid);
    struct passwd entry {};
    struct passwd* found = nullptr;
    std::vector<char> buffer(16384);
    if (getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr) name = found->pw_name;
    cache.emplace(uid, name);
    return name;
}

} // namespace

HolderList PosixFileHolders::ListHolders(const std::string& path)
{
    HolderList list;
    struct stat st {};
    if (path.empty() || stat(path.c_str(), &st) != 0) return list;
    char* resolved = realpath(path.c_str(), nullptr);
    if (resolved == nullptr) return list;
    Target target;
    target.path = resolved;
    std::free(resolved);
    target.folder = S_ISDIR(st.st_mode);
    target.devMajor = major(st.st_dev);
    target.devMinor = minor(st.st_dev);
    target.inode = st.st_ino;
    list.exists = true;

    const int procFd = open("/proc", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (procFd < 0) return list;
    const std::string self = std::to_string(getpid());
    std::vector<std::string> pids;
    ForEachName(procFd, [&](const char* name) {
        if (IsNumber(name) && self != name) pids.emplace_back(name);
    });

    // Two scanners share the processes.
    ScanResult results[2];
    std::atomic<std::size_t> next{0};
    const unsigned cores = std::max(1u, std::min(2u, std::thread::hardware_concurrency()));
    if (cores > 1 && pids.size() > 64) {
        std::thread helper([&] { ScanShare(procFd, pids, next, target, results[1]); });
        ScanShare(procFd, pids, next, target, results[0]);
        helper.join();
    } else {
        ScanShare(procFd, pids, next, target, results[0]);
    }

    std::map<uid_t, std::string> users;
    for (ScanResult& result : results) {
        for (FoundHolder& found : result.found) {
            found.holder.user = UserName(found.uid, users);
            list.holders.push_back(std::move(found.holder));
        }
    }
    // Processes of other users cannot be looked into, but /proc/locks names the ones that
    // lock the file; kernel threads hold no files and are not counted.
    std::map<std::int64_t, std::vector<FileHold>> locks;
    if (!target.folder && (!results[0].unchecked.empty() || !results[1].unchecked.empty())) locks = ListedLocks(target);
    for (const ScanResult& result : results) {
        for (const std::string& pid : result.unchecked) {
            if (IsKernelThread(procFd, pid)) continue;
            const auto locked = locks.find(std::atoll(pid.c_str()));
            if (locked == locks.end()) {
                ++list.uncheckedProcesses;
                continue;
            }
            FileHolder holder{locked->first, ProgramOf(procFd, pid), std::string(), locked->second};
            struct stat owner {};
            if (fstatat(procFd, pid.c_str(), &owner, 0) == 0) holder.user = UserName(owner.st_uid, users);
            list.holders.push_back(std::move(holder));
        }
    }
    close(procFd);
    std::sort(list.holders.begin(), list.holders.end(),
              [](const FileHolder& a, const FileHolder& b) { return a.id < b.id; });
    return list;
}

} // namespace velmora
