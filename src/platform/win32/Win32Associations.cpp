#include "platform/win32/Win32Associations.h"

#include "platform/win32/WinText.h"

// windows.h first: the Windows headers below need its types.
#include <windows.h>

#include <shellapi.h>
#undef FindExecutable // the interface's own name, not the A/W macro

#include <cstdint>
#include <new>
#include <vector>

namespace velmora {

namespace {
// The default (or named) string value of an existing registry key; nothing when the key
// does not open. A key without that value gives an empty text.
bool ReadKeyText(HKEY root, const std::wstring& subKey, const wchar_t* valueName, std::string& text)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, subKey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    text.clear();
    DWORD type = 0;
    DWORD bytes = 0;
    if (RegQueryValueExW(key, valueName, nullptr, &type, nullptr, &bytes) == ERROR_SUCCESS &&
        (type == REG_SZ || type == REG_EXPAND_SZ) && bytes > 0) {
        std::vector<wchar_t> buffer(bytes / sizeof(wchar_t) + 1, L'\0');
        if (RegQueryValueExW(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &bytes) ==
            ERROR_SUCCESS) {
            text = win32::Narrow(buffer.data()); // up to the first zero character
        }
    }
    RegCloseKey(key);
    return true;
}
// A key of HKEY_CLASSES_ROOT the way Windows merges it: the user's own classes
// (HKEY_CURRENT_USER\Software\Classes) first, then the view of the root itself. Read
// explicitly, so systems whose root shows only the machine's classes (Wine) agree.
bool ReadClassText(const std::wstring& subKey, std::string& text)
{
    return ReadKeyText(HKEY_CURRENT_USER, L"Software\\Classes\\" + subKey, nullptr, text) ||
           ReadKeyText(HKEY_CLASSES_ROOT, subKey, nullptr, text);
}
} // namespace

ExecutableLookup Win32Associations::FindExecutable(const std::string& file, const std::string& folder)
{
    wchar_t result[MAX_PATH] = {};
    const std::wstring wideFile = win32::Widen(file);
    const std::wstring wideFolder = win32::Widen(folder);
    const HINSTANCE rc = FindExecutableW(wideFile.c_str(), wideFolder.empty() ? nullptr : wideFolder.c_str(), result);
    ExecutableLookup lookup;
    lookup.code = static_cast<int>(reinterpret_cast<std::intptr_t>(rc));
    if (lookup.code > 32) {
        lookup.executable = win32::Narrow(result);
    }
    return lookup;
}

std::string Win32Associations::ProductName()
{
    std::string name;
    ReadKeyText(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows NT\\CurrentVersion", L"ProductName", name);
    return name;
}

std::string Win32Associations::ReadOpenWithListCommand(const std::string& extension)
{
    std::string text;
    ReadKeyText(HKEY_CURRENT_USER,
                L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\." + win32::Widen(extension) +
                    L"\\OpenWithList",
                nullptr, text);
    return text;
}

std::string Win32Associations::ReadShellOpenCommand(const std::string& extension)
{
    const std::wstring dotted = L"." + win32::Widen(extension);
    std::string text;
    if (ReadClassText(dotted + L"\\shell\\open\\command", text)) {
        return text;
    }
    if (ReadClassText(dotted, text) && !text.empty()) {
        // The default value is the program identifier; its open command, when it has one.
        std::string command;
        if (ReadClassText(win32::Widen(text) + L"\\shell\\open\\command", command)) {
            text = command;
        }
    }
    return text;
}

} // namespace velmora
