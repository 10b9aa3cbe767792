#include "platform/win32/Win32FileUsage.h"

#include "platform/win32/Win32Files.h"
#include "platform/win32/WinText.h"

#include <windows.h>

#include <cerrno>

namespace velmora {

namespace {
// True when the path cannot be opened with the access and no sharing at all: another
// process holds it open in any way, it is read-only, the user may not write it, it is a
// folder or it names nothing.
bool CannotOpenExclusively(const std::string& path, DWORD access)
{
    if (path.empty()) {
        return true;
    }
    const win32::Handle file(
        CreateFileW(win32::Widen(path).c_str(), access, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return !file.Valid();
}
} // namespace

bool Win32FileUsage::IsFileInUse(const std::string& path)
{
    return CannotOpenExclusively(path, GENERIC_READ | GENERIC_WRITE);
}

UsageCheck Win32FileUsage::CheckUsage(const std::string& path)
{
    UsageCheck check;
    const std::wstring wide = win32::Widen(path);
    const DWORD attributes = path.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        check.reason = path.empty() ? ENOENT : win32::ErrnoFromWin32(GetLastError());
        return check;
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        check.folder = true;
        check.reason = EISDIR;
        return check;
    }
    const win32::Handle file(CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.Valid()) {
        check.state = UsageCheck::State::Free;
        return check;
    }
    // Only a share mode or a lock of another process says "in use"; anything else (the
    // read-only attribute, no permission, a read-only medium) is why no test was made.
    const DWORD error = GetLastError();
    if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION) {
        check.state = UsageCheck::State::InUse;
        return check;
    }
    check.readOnly = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    check.reason = win32::ErrnoFromWin32(error);
    return check;
}

bool Win32FileUsage::IsFileLocked(const std::string& path)
{
    const DWORD attributes = path.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(win32::Widen(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return false;
    }
    return CannotOpenExclusively(path, GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE);
}

} // namespace velmora
