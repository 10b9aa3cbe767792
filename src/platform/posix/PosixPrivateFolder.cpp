#include "platform/PrivateFolder.h"

#include "common/RetryOnInterrupt.h"
#include "platform/SmallFile.h"

#include <cerrno>
#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

namespace velmora {

namespace {

// Field 22 of /proc/<pid>/stat: the start time in clock ticks after boot. The fields
// follow the command name in parentheses, which may hold blanks, so the last ")" ends it.
std::string StartTime(const std::string& pid)
{
    std::string stat;
    if (!ReadSmallRegularFile("/proc/" + pid + "/stat", stat, 1u << 16)) return {};
    const std::size_t close = stat.rfind(')');
    if (close == std::string::npos) return {};
    std::size_t at = close + 1;
    for (int field = 3; field <= 22; ++field) {
        at = stat.find_first_not_of(' ', at);
        if (at == std::string::npos) return {};
        const std::size_t end = stat.find(' ', at);
        if (field == 22) return stat.substr(at, end == std::string::npos ? std::string::npos : end - at);
        at = end;
    }
    return {};
}

} // namespace

Result<void> CreatePrivateFolder(const std::string& path)
{
    if (RetryOnInterrupt([&] { return mkdir(path.c_str(), 0700); }) == 0) return Ok();
    return Fail(ErrorFromErrno(errno, path, "Creating"));
}

bool IsOwnFolder(const std::string& path)
{
    struct stat st {};
    return lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == geteuid();
}

std::string OwnProcessIdentity()
{
    const std::string pid = std::to_string(getpid());
    return pid + ":" + StartTime(pid);
}

bool IsProcessRunning(const std::string& identity)
{
    const std::size_t colon = identity.find(':');
    const std::string pid = identity.substr(0, colon);
    if (pid.empty() || pid.find_first_not_of("0123456789") != std::string::npos) return false;
    const std::string started = colon == std::string::npos ? std::string() : identity.substr(colon + 1);
    const std::string now = StartTime(pid);
    if (!now.empty()) return started.empty() || now == started;
    // Without /proc: a process of that id exists (possibly another user's).
    return kill(static_cast<pid_t>(std::stoll(pid)), 0) == 0 || errno == EPERM;
}

} // namespace velmora
