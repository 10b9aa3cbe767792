#include "platform/posix/PosixProcesses.h"

#include "common/RetryOnInterrupt.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <sstream>

namespace velmora {

namespace {
// The whole content of a small /proc file; empty when it cannot be read.
std::string ReadSmallFile(const std::string& path)
{
    std::string content;
    const int fd = RetryOnInterrupt([&] { return open(path.c_str(), O_RDONLY | O_CLOEXEC); });
    if (fd < 0) return content;
    std::array<char, 4096> buffer{};
    for (;;) {
        const ssize_t n = RetryOnInterrupt([&] { return read(fd, buffer.data(), buffer.size()); });
        if (n <= 0) break;
        content.append(buffer.data(), static_cast<std::size_t>(n));
        if (content.size() > (1u << 20)) break;
    }
    close(fd);
    return content;
}

std::string ReadLink(const std::string& path)
{
    std::string target(4096, '\0');
    const ssize_t n = readlink(path.c_str(), target.data(), target.size());
    if (n <= 0 || static_cast<std::size_t>(n) >= target.size()) return {};
    target.resize(static_cast<std::size_t>(n));
    return target;
}

struct ProcessStat {
    char state = '?';
    unsigned long long flags = 0;
};

// The state letter and the flags of /proc/<pid>/stat. The fields follow the command name
// in parentheses, which may itself hold blanks and parentheses, so the last ")" ends it.
ProcessStat ReadProcessStat(const std::string& stat)
{
    ProcessStat result;
    const std::size_t close = stat.rfind(')');
    if (close == std::string::npos) return result;
    std::istringstream fields(stat.substr(close + 1));
    std::string state;
    long long ppid = 0, pgrp = 0, session = 0, tty = 0, tpgid = 0;
    if (fields >> state >> ppid >> pgrp >> session >> tty >> tpgid >> result.flags && state.size() == 1) {
        result.state = state[0];
    }
    return result;
}

// Set in the flags of the kernel's own threads, which no signal ends.
constexpr unsigned long long kKernelThreadFlag = 0x00200000;

// The program a process runs: the executable's path; when that cannot be read (another
// user's process, a kernel thread), the first word of its command line, else its short name.
std::string ProgramOf(const std::string& folder)
{
    std::string exe = ReadLink(folder + "/exe");
    if (!exe.empty()) {
        // A program file replaced or removed while it runs is shown with this suffix; the
        // process still runs the program of that name.
        static constexpr std::string_view kDeleted = " (deleted)";
        if (exe.size() > kDeleted.size() && exe.ends_with(kDeleted)) exe.resize(exe.size() - kDeleted.size());
        return exe;
    }
    const std::string cmdline = ReadSmallFile(folder + "/cmdline");
    const std::string first = cmdline.substr(0, cmdline.find('\0'));
    if (!first.empty()) return first;
    std::string comm = ReadSmallFile(folder + "/comm");
    while (!comm.empty() && comm.back() == '\n')
        comm.pop_back();
    return comm;
}
} // namespace

std::vector<ProcessEntry> PosixProcesses::Snapshot()
{
    std::vector<ProcessEntry> entries;
    DIR* dir = opendir("/proc");
    if (dir == nullptr) return entries;
    const std::int64_t own = OwnProcessId();
    while (const dirent* item = readdir(dir)) {
        const std::string_view name = item->d_name;
        if (name.empty() || !std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; })) {
            continue;
        }
        std::int64_t id = 0;
        for (char c : name)
            id = id * 10 + (c - '0');
        if (id == own) continue;
        const std::string folder = "/proc/" + std::string(name);
        // A process that has ended but was not yet collected by its parent holds nothing
        // and cannot be ended again: it is no longer running.
        const ProcessStat stat = ReadProcessStat(ReadSmallFile(folder + "/stat"));
        if (stat.state == 'Z' || stat.state == 'X' || stat.state == '?') continue;
        if ((stat.flags & kKernelThreadFlag) != 0) continue;
        std::string program = ProgramOf(folder);
        if (program.empty()) continue;
        entries.push_back({id, std::move(program)});
    }
    closedir(dir);
    std::sort(entries.begin(), entries.end(), [](const ProcessEntry& a, const ProcessEntry& b) { return a.id < b.id; });
    return entries;
}

Result<void> PosixProcesses::Terminate(std::int64_t id)
{
    const std::string detail = "cannot end process " + std::to_string(id);
    if (id <= 0) return Fail(ErrorFromErrno(ESRCH, {}, detail));
    if (id == OwnProcessId()) return Fail(Error{Error::Kind::AccessDenied, {}, 0, detail});
    if (kill(static_cast<pid_t>(id), SIGKILL) != 0) return Fail(ErrorFromErrno(errno, {}, detail));
    return Ok();
}

std::int64_t PosixProcesses::OwnProcessId() const
{
    return getpid();
}

} // namespace velmora
