#include "platform/PrivateFolder.h"

#include "platform/win32/Win32Files.h"
#include "platform/win32/WinText.h"

#include <windows.h>

namespace velmora {

namespace {
std::string CreationTime(HANDLE process)
{
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return {};
    return std::to_string((static_cast<unsigned long long>(created.dwHighDateTime) << 32) | created.dwLowDateTime);
}
} // namespace

// The folder inherits the access rules of the folder it is created in, which holds the
// data being protected as well.
Result<void> CreatePrivateFolder(const std::string& path)
{
    if (CreateDirectoryW(win32::Widen(path).c_str(), nullptr)) return Ok();
    return Fail(win32::LastError(path, "Creating"));
}

bool IsOwnFolder(const std::string& path)
{
    const DWORD attributes = GetFileAttributesW(win32::Widen(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
           (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
}

std::string OwnProcessIdentity()
{
    return std::to_string(GetCurrentProcessId()) + ":" + CreationTime(GetCurrentProcess());
}

bool IsProcessRunning(const std::string& identity)
{
    const std::size_t colon = identity.find(':');
    const std::string pid = identity.substr(0, colon);
    if (pid.empty() || pid.find_first_not_of("0123456789") != std::string::npos) return false;
    const win32::Handle process(
        OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(std::stoul(pid))));
    if (!process.Valid()) return GetLastError() == ERROR_ACCESS_DENIED;
    DWORD code = 0;
    if (!GetExitCodeProcess(process.Get(), &code) || code != STILL_ACTIVE) return false;
    const std::string started = colon == std::string::npos ? std::string() : identity.substr(colon + 1);
    return started.empty() || CreationTime(process.Get()) == started;
}

} // namespace velmora
