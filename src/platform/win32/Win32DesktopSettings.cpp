#include "platform/win32/Win32DesktopSettings.h"

// windows.h first: the Windows headers below need its types.
#include <windows.h>

#include <shellapi.h>

#include <cstdint>
#include <cstring>

namespace velmora {

namespace {
// The major version of the running system (RtlGetVersion is not bent by compatibility
// manifests the way GetVersionEx is).
DWORD MajorVersion()
{
    using RtlGetVersionFunction = LONG(WINAPI*)(OSVERSIONINFOW*);
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (HMODULE ntdll = GetModuleHandleW(L"ntdll.dll")) {
        auto* address = GetProcAddress(ntdll, "RtlGetVersion");
        RtlGetVersionFunction get = nullptr;
        static_assert(sizeof get == sizeof address);
        std::memcpy(&get, &address, sizeof get);
        if (get && get(&info) == 0) {
            return info.dwMajorVersion;
        }
    }
    return 6;
}
} // namespace

bool Win32DesktopSettings::OpenDefaultApps()
{
    // The command interpreter runs "computerdefaults", hidden; with /K it stays until the
    // user logs off. From Vista on (version 6) it starts elevated, after the user's consent.
    const wchar_t* verb = MajorVersion() >= 6 ? L"runas" : L"open";
    const HINSTANCE rc = ShellExecuteW(nullptr, verb, L"cmd.exe", L"/K computerdefaults", nullptr, SW_HIDE);
    return reinterpret_cast<std::intptr_t>(rc) > 32;
}

} // namespace velmora
