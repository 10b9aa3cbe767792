#include "platform/posix/PosixEnvironment.h"
#include "common/Utf8Path.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

#include <filesystem>
#include <system_error>

namespace velmora {

namespace {
std::string EnvOrEmpty(const char* name)
{
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

std::string WithoutTrailingSlash(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}
} // namespace

std::string HomeFolder()
{
    std::string home = EnvOrEmpty("HOME");
    if (!home.empty()) return home;
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) return pw->pw_dir;
    return "/";
}

std::string PosixEnvironment::ProgramFilePath() const
{
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : Utf8FromPath(exe);
}

std::string PosixEnvironment::TemporaryFolder() const
{
    // Only an absolute $TMPDIR counts, as the C library's tmpfile rules do.
    const std::string tmp = EnvOrEmpty("TMPDIR");
    return !tmp.empty() && tmp.front() == '/' ? WithoutTrailingSlash(tmp) : std::string("/tmp");
}

std::string PosixEnvironment::RoamingAppDataFolder() const
{
    // The XDG base-directory rule: a relative $XDG_CONFIG_HOME is ignored.
    const std::string config = EnvOrEmpty("XDG_CONFIG_HOME");
    if (!config.empty() && config.front() == '/') return WithoutTrailingSlash(config);
    return WithoutTrailingSlash(HomeFolder()) + "/.config";
}

} // namespace velmora
