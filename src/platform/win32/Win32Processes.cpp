#include "platform/win32/Win32Processes.h"

#include "platform/win32/Win32Files.h"
#include "platform/win32/WinText.h"

// windows.h first: the Windows headers below need its types.
#include <windows.h>

#include <tlhelp32.h>

#include <cerrno>

namespace velmora {

namespace {
// The full path of a process's program file where the system tells it, else the file
// name the snapshot carries.
std::string ProgramOf(const PROCESSENTRY32W& entry)
{
    const win32::Handle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID));
    if (process.Valid()) {
        wchar_t path[MAX_PATH * 4];
        DWORD size = static_cast<DWORD>(std::size(path));
        if (QueryFullProcessImageNameW(process.Get(), 0, path, &size) && size > 0) {
            return win32::Narrow(std::wstring_view(path, size));
        }
    }
    return win32::Narrow(entry.szExeFile);
}
} // namespace

std::vector<ProcessEntry> Win32Processes::Snapshot()
{
    std::vector<ProcessEntry> list;
    const win32::Handle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot.Valid()) {
        return list;
    }
    const DWORD own = GetCurrentProcessId();
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more; more = Process32NextW(snapshot.Get(), &entry)) {
        if (entry.th32ProcessID == 0 || entry.th32ProcessID == own) {
            continue; // the idle process and our own one
        }
        list.push_back({static_cast<std::int64_t>(entry.th32ProcessID), ProgramOf(entry)});
    }
    return list;
}

Result<void> Win32Processes::Terminate(std::int64_t id)
{
    const std::string detail = "cannot end process " + std::to_string(id);
    if (id <= 0 || id > 0xFFFFFFFFll) {
        return Fail(ErrorFromErrno(ESRCH, {}, detail));
    }
    if (id == OwnProcessId()) {
        return Fail(Error{Error::Kind::AccessDenied, {}, 0, detail});
    }
    const win32::Handle process(OpenProcess(PROCESS_TERMINATE, FALSE, static_cast<DWORD>(id)));
    if (!process.Valid() || TerminateProcess(process.Get(), 0) == 0) {
        return Fail(win32::LastError({}, detail));
    }
    return Ok();
}

std::int64_t Win32Processes::OwnProcessId() const
{
    return static_cast<std::int64_t>(GetCurrentProcessId());
}

} // namespace velmora
