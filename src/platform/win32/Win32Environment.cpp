#include "platform/win32/Win32Environment.h"

#include "platform/win32/WinText.h"

// windows.h first: the Windows headers below need its types.
#include <windows.h>

#include <shlobj.h>

#include <vector>

namespace velmora {

namespace {
std::wstring Variable(const wchar_t* name)
{
    std::vector<wchar_t> buffer(256);
    for (;;) {
        const DWORD n = GetEnvironmentVariableW(name, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) {
            return {};
        }
        if (n < buffer.size()) {
            return std::wstring(buffer.data(), n);
        }
        buffer.resize(n);
    }
}

// The long form of a path (8.3 parts such as "RUNNER~1" spelled out); the path itself
// when it has none or does not exist.
std::wstring LongPath(const std::wstring& path)
{
    const DWORD n = GetLongPathNameW(path.c_str(), nullptr, 0);
    if (n == 0) {
        return path;
    }
    std::vector<wchar_t> buffer(n);
    const DWORD m = GetLongPathNameW(path.c_str(), buffer.data(), n);
    return m > 0 && m < n ? std::wstring(buffer.data(), m) : path;
}

std::wstring WithoutTrailingSeparator(std::wstring path)
{
    while (path.size() > 1 && (path.back() == L'\\' || path.back() == L'/')) {
        path.pop_back();
    }
    return path;
}
} // namespace

std::string Win32Environment::ProgramFilePath() const
{
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) {
            return {};
        }
        if (n < buffer.size()) {
            return win32::Narrow(std::wstring_view(buffer.data(), n));
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::string Win32Environment::TemporaryFolder() const
{
    std::wstring folder = Variable(L"TEMP");
    if (folder.empty()) {
        folder = Variable(L"TMP");
    }
    if (folder.empty()) {
        // Neither is set: the current folder.
        const DWORD n = GetCurrentDirectoryW(0, nullptr);
        std::vector<wchar_t> buffer(n + 1);
        const DWORD m = GetCurrentDirectoryW(static_cast<DWORD>(buffer.size()), buffer.data());
        folder.assign(buffer.data(), m);
    }
    return win32::Narrow(WithoutTrailingSeparator(LongPath(folder)));
}

std::string Win32Environment::RoamingAppDataFolder() const
{
    wchar_t folder[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder))) {
        return {};
    }
    return win32::Narrow(WithoutTrailingSeparator(folder));
}

std::string Win32Environment::HomeFolder() const
{
    wchar_t folder[MAX_PATH] = {};
    if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_PROFILE, nullptr, SHGFP_TYPE_CURRENT, folder))) {
        return win32::Narrow(WithoutTrailingSeparator(folder));
    }
    return win32::Narrow(WithoutTrailingSeparator(Variable(L"USERPROFILE")));
}

std::string Win32Environment::SystemDriveRoot() const
{
    std::wstring drive = Variable(L"SystemDrive");
    if (drive.size() != 2 || drive[1] != L':') {
        wchar_t windows[MAX_PATH] = {};
        const UINT n = GetWindowsDirectoryW(windows, MAX_PATH);
        drive = n >= 2 && windows[1] == L':' ? std::wstring(windows, 2) : L"C:";
    }
    return win32::Narrow(drive) + "\\";
}

const PathRules& Win32Environment::Paths() const
{
    return kWindowsPathRules;
}

} // namespace velmora
