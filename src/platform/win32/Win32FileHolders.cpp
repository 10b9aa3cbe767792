#include "platform/win32/Win32FileHolders.h"

#include "platform/win32/WinText.h"

#include <windows.h>

namespace velmora {

// Only whether the path exists is known so far: naming the processes that hold a file
// needs the Restart Manager (RmGetList), which this backend does not use yet. The list
// stays empty rather than guessing.
HolderList Win32FileHolders::ListHolders(const std::string& path)
{
    HolderList list;
    list.exists = !path.empty() && GetFileAttributesW(win32::Widen(path).c_str()) != INVALID_FILE_ATTRIBUTES;
    return list;
}

} // namespace velmora
