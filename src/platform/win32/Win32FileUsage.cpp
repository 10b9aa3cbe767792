#include "platform/win32/Win32FileUsage.h"

#include "platform/win32/Win32Files.h"
#include "platform/win32/WinText.h"

#include <windows.h>

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

bool Win32FileUsage::IsFileLocked(const std::string& path)
{
    const DWORD attributes = path.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(win32::Widen(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return false;
    }
    return CannotOpenExclusively(path, GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE);
}

} // namespace velmora
