#include "platform/win32/Win32FileAttributes.h"

#include "platform/win32/Win32Files.h"
#include "platform/win32/WinText.h"

#include <windows.h>

#include <vector>

namespace velmora {

namespace {
// The path whose attributes count: a symbolic link's final target, else the path itself.
std::wstring FollowLink(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
        return path;
    }
    win32::Handle target(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                     FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!target.Valid()) {
        return path;
    }
    std::vector<wchar_t> buffer(MAX_PATH + 1);
    for (;;) {
        const DWORD n = GetFinalPathNameByHandleW(target.Get(), buffer.data(), static_cast<DWORD>(buffer.size()), 0);
        if (n == 0) {
            return path;
        }
        if (n < buffer.size()) {
            return std::wstring(buffer.data(), n);
        }
        buffer.resize(n + 1);
    }
}
} // namespace

std::optional<std::uint32_t> Win32FileAttributes::ReadAttributes(const std::string& path)
{
    if (path.empty()) {
        return std::nullopt;
    }
    const DWORD attributes = GetFileAttributesW(FollowLink(win32::Widen(path)).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(attributes);
}

Result<void> Win32FileAttributes::WriteAttributes(const std::string& path, std::uint32_t attributes)
{
    if (path.empty()) {
        return Fail(ErrorFromErrno(ENOENT, path, kWriteAttributesFailed));
    }
    // Exactly the settable bits: any other attribute the file had ends cleared.
    DWORD value = attributes & kSettableAttributes;
    if (value == 0) {
        value = FILE_ATTRIBUTE_NORMAL;
    }
    if (!SetFileAttributesW(FollowLink(win32::Widen(path)).c_str(), value)) {
        return Fail(win32::LastError(path, kWriteAttributesFailed));
    }
    return Ok();
}

} // namespace velmora
