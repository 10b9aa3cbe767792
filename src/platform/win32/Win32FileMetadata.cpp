#include "platform/FileMetadata.h"

#include "platform/win32/WinText.h"

// windows.h first: the Windows headers below need its types.
#include <windows.h>

#include <aclapi.h>

namespace velmora {

namespace {
// Opens a file or folder (or a link itself, never its target) to read or change its
// attributes and times.
HANDLE OpenEntry(const std::wstring& path, DWORD access)
{
    return CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

bool ReadTimes(const std::wstring& path, FILETIME& created, FILETIME& accessed, FILETIME& written)
{
    const HANDLE file = OpenEntry(path, FILE_READ_ATTRIBUTES);
    if (file == INVALID_HANDLE_VALUE) return false;
    const bool ok = GetFileTime(file, &created, &accessed, &written) != 0;
    CloseHandle(file);
    return ok;
}

bool Fail(std::string* error, const char* part)
{
    if (error) *error = std::string("cannot copy the ") + part;
    return false;
}
} // namespace

// Owner and access list (the owner only where the user may set it), attributes, then
// the three times last, so nothing done afterwards changes them.
bool CopyMetadata(const std::string& from, const std::string& to, std::string* error)
{
    const std::wstring source = win32::Widen(from);
    const std::wstring target = win32::Widen(to);

    PSECURITY_DESCRIPTOR descriptor = nullptr;
    PACL dacl = nullptr;
    if (GetNamedSecurityInfoW(source.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                              nullptr, &descriptor) != ERROR_SUCCESS) {
        return Fail(error, "access list");
    }
    const DWORD setResult = SetNamedSecurityInfoW(const_cast<wchar_t*>(target.c_str()), SE_FILE_OBJECT,
                                                  DACL_SECURITY_INFORMATION, nullptr, nullptr, dacl, nullptr);
    LocalFree(descriptor);
    if (setResult != ERROR_SUCCESS) return Fail(error, "access list");

    const DWORD attributes = GetFileAttributesW(source.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return Fail(error, "attributes");
    const DWORD settable = attributes & (FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                         FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);

    FILETIME created{}, accessed{}, written{};
    if (!ReadTimes(source, created, accessed, written)) return Fail(error, "times");
    const HANDLE file = OpenEntry(target, FILE_WRITE_ATTRIBUTES);
    if (file == INVALID_HANDLE_VALUE) return Fail(error, "times");
    const bool timesSet = SetFileTime(file, &created, &accessed, &written) != 0;
    CloseHandle(file);
    if (!timesSet) return Fail(error, "times");

    // Read-only goes on last: it would refuse the time change above.
    const DWORD wanted = settable | (attributes & FILE_ATTRIBUTE_READONLY);
    if (!SetFileAttributesW(target.c_str(), wanted == 0 ? FILE_ATTRIBUTE_NORMAL : wanted)) {
        return Fail(error, "attributes");
    }
    return true;
}

bool SameMetadata(const std::string& a, const std::string& b)
{
    const std::wstring first = win32::Widen(a);
    const std::wstring second = win32::Widen(b);
    const DWORD mask = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    const DWORD attributesA = GetFileAttributesW(first.c_str());
    const DWORD attributesB = GetFileAttributesW(second.c_str());
    if (attributesA == INVALID_FILE_ATTRIBUTES || attributesB == INVALID_FILE_ATTRIBUTES) return false;
    if ((attributesA & mask) != (attributesB & mask)) return false;
    FILETIME c1{}, a1{}, w1{}, c2{}, a2{}, w2{};
    if (!ReadTimes(first, c1, a1, w1) || !ReadTimes(second, c2, a2, w2)) return false;
    return CompareFileTime(&w1, &w2) == 0;
}

} // namespace velmora
