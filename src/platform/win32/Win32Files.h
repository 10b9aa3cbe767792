#pragma once
// Small file helpers of the Win32 backend.
#include <windows.h>

#include <string>

namespace velmora::win32 {

// A Windows handle that closes itself.
class Handle {
public:
    explicit Handle(HANDLE handle = INVALID_HANDLE_VALUE) : m_handle(handle) {}
    ~Handle()
    {
        if (Valid()) {
            CloseHandle(m_handle);
        }
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    bool Valid() const { return m_handle != INVALID_HANDLE_VALUE && m_handle != nullptr; }
    HANDLE Get() const { return m_handle; }

private:
    HANDLE m_handle;
};

// Opens a file or folder (FILE_FLAG_BACKUP_SEMANTICS) with the given access, every other
// process allowed to share it; links are followed.
Handle OpenForMetadata(const std::string& path, DWORD access);

// A local date-time to a UTC file time through the time-zone offset in force now
// (LocalFileTimeToFileTime); false for a date Windows cannot hold.
bool LocalToFileTime(double local, FILETIME& utc);
// A UTC file time to a local date-time (FileTimeToLocalFileTime).
double FileTimeToLocal(const FILETIME& utc);

} // namespace velmora::win32
