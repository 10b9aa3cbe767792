#include "platform/FileDurability.h"

#include "platform/win32/Win32Files.h"
#include "platform/win32/WinText.h"

#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <cwchar>

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

Result<void> ReplaceFileAtomically(const std::string& path, std::string_view bytes)
{
    const auto fail = [&path](int err) -> Result<void> {
        errno = err;
        return Fail(ErrorFromErrno(err, path, "Writing"));
    };
    const std::size_t cut = path.find_last_of("\\/:");
    if (path.empty() || cut == path.size() - 1) return fail(EISDIR);
    const std::wstring folder = win32::Widen(cut == std::string::npos ? std::string() : path.substr(0, cut + 1));
    // A new file of a name of its own beside the target (CREATE_NEW never reuses one).
    std::wstring temporary;
    HANDLE file = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 100 && file == INVALID_HANDLE_VALUE; ++attempt) {
        wchar_t name[40];
        swprintf(name, 40, L".velmora-%08lx%04x.tmp", GetTickCount(),
                 static_cast<unsigned>(attempt * 7919 + GetCurrentProcessId()) & 0xFFFF);
        temporary = folder + name;
        file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) break;
    }
    if (file == INVALID_HANDLE_VALUE) return fail(win32::ErrnoFromWin32(GetLastError()));
    bool ok = true;
    while (ok && !bytes.empty()) {
        DWORD written = 0;
        const DWORD part = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
        ok = WriteFile(file, bytes.data(), part, &written, nullptr) != 0 && written > 0;
        bytes.remove_prefix(written);
    }
    ok = ok && FlushFileBuffers(file) != 0;
    DWORD error = ok ? 0 : GetLastError();
    CloseHandle(file);
    if (ok && MoveFileExW(temporary.c_str(), win32::Widen(path).c_str(),
                          MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return Ok();
    }
    if (ok) error = GetLastError();
    DeleteFileW(temporary.c_str());
    return fail(win32::ErrnoFromWin32(error));
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
