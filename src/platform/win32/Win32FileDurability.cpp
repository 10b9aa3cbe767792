#include "platform/FileDurability.h"

#include "platform/win32/Win32Files.h"
#include "platform/win32/WinText.h"

#include <windows.h>

#include <cerrno>

namespace velmora {

bool FlushToDisk(const std::string& path)
{
    const std::wstring wide = win32::Widen(path);
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return false;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        // A folder's entries reach the disk with the write-through rename (MoveReplacing).
        return true;
    }
    const win32::Handle file(CreateFileW(wide.c_str(), GENERIC_WRITE,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
    return file.Valid() && FlushFileBuffers(file.Get()) != 0;
}

bool MoveReplacing(const std::string& from, const std::string& to)
{
    if (MoveFileExW(win32::Widen(from).c_str(), win32::Widen(to).c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return true;
    }
    errno = win32::ErrnoFromWin32(GetLastError());
    return false;
}

} // namespace velmora
