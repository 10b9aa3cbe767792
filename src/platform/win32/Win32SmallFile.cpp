#include "platform/SmallFile.h"

#include "platform/win32/Win32Files.h"
#include "platform/win32/WinText.h"

#include <windows.h>

#include <cerrno>

namespace velmora {

namespace {
bool Fail(int error, int* savedErrno)
{
    if (savedErrno != nullptr) *savedErrno = error;
    errno = error;
    return false;
}
} // namespace

bool ReadSmallRegularFile(const std::string& path, std::string& content, std::size_t maxBytes, int* savedErrno,
                          LongerFile longer, bool* truncated)
{
    content.clear();
    if (truncated != nullptr) *truncated = false;
    // Others may go on reading, writing and deleting: reading the file must not stand in
    // anyone's way. A folder opens only with backup semantics, so it fails here.
    const win32::Handle file(CreateFileW(win32::Widen(path).c_str(), GENERIC_READ,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) {
        const DWORD error = GetLastError();
        if (error == ERROR_ACCESS_DENIED) {
            const DWORD attributes = GetFileAttributesW(win32::Widen(path).c_str());
            if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
                return Fail(EINVAL, savedErrno);
        }
        return Fail(win32::ErrnoFromWin32(error), savedErrno);
    }
    // Pipes and devices (a named pipe, CON, NUL) are not files on a disk.
    if (GetFileType(file.Get()) != FILE_TYPE_DISK) return Fail(EINVAL, savedErrno);
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.Get(), &size)) return Fail(win32::ErrnoFromWin32(GetLastError()), savedErrno);
    if (longer == LongerFile::Fail && static_cast<unsigned long long>(size.QuadPart) > maxBytes)
        return Fail(EFBIG, savedErrno);
    char buffer[16384];
    for (;;) {
        const std::size_t room = maxBytes + 1 - content.size();
        DWORD n = 0;
        if (!ReadFile(file.Get(), buffer, static_cast<DWORD>(room < sizeof buffer ? room : sizeof buffer), &n,
                      nullptr)) {
            content.clear();
            return Fail(win32::ErrnoFromWin32(GetLastError()), savedErrno);
        }
        if (n == 0) break;
        content.append(buffer, n);
        if (content.size() > maxBytes) {
            if (longer == LongerFile::Fail) {
                content.clear();
                return Fail(EFBIG, savedErrno);
            }
            content.resize(maxBytes);
            if (truncated != nullptr) *truncated = true;
            break;
        }
    }
    return true;
}

} // namespace velmora
