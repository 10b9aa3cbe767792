#include "platform/win32/Win32FileTimes.h"

#include "platform/win32/Win32Files.h"
#include "platform/win32/WinText.h"

#include <windows.h>

namespace velmora {

namespace {
std::optional<TDateTime> ReadTime(const std::string& path, bool modification)
{
    const win32::Handle file = win32::OpenForMetadata(path, FILE_READ_ATTRIBUTES);
    FILETIME access{};
    FILETIME write{};
    if (!file.Valid() || !GetFileTime(file.Get(), nullptr, &access, &write)) {
        return std::nullopt;
    }
    return win32::FileTimeToLocal(modification ? write : access);
}

// Folders open only with FILE_FLAG_BACKUP_SEMANTICS; files and folders alike are opened
// with no sharing, so nobody writes while the times change.
Result<void> SetTimes(const std::string& path, TDateTime local, bool access)
{
    const char* detail = access ? kSetTimesFailed : kSetModificationTimeFailed;
    FILETIME utc{};
    if (!win32::LocalToFileTime(local, utc)) {
        return Fail(win32::LastError(path, detail));
    }
    if (path.empty()) {
        return Fail(ErrorFromErrno(ENOENT, path, detail));
    }
    const win32::Handle file(CreateFileW(win32::Widen(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file.Valid()) {
        return Fail(win32::LastError(path, detail));
    }
    if (!SetFileTime(file.Get(), nullptr, access ? &utc : nullptr, &utc)) {
        return Fail(win32::LastError(path, detail));
    }
    return Ok();
}
} // namespace

std::optional<TDateTime> Win32FileTimes::ModificationTime(const std::string& path)
{
    return ReadTime(path, true);
}

std::optional<TDateTime> Win32FileTimes::LastAccessTime(const std::string& path)
{
    return ReadTime(path, false);
}

Result<void> Win32FileTimes::SetModificationTime(const std::string& path, TDateTime local)
{
    return SetTimes(path, local, false);
}

Result<void> Win32FileTimes::SetAccessAndModificationTime(const std::string& path, TDateTime local)
{
    return SetTimes(path, local, true);
}

TDateTime Win32FileTimes::Now()
{
    FILETIME utc{};
    GetSystemTimeAsFileTime(&utc);
    return win32::FileTimeToLocal(utc);
}

} // namespace velmora
