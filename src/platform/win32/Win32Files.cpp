#include "platform/win32/Win32Files.h"

#include "common/DateTime.h"
#include "platform/win32/WinText.h"

namespace velmora::win32 {

Handle OpenForMetadata(const std::string& path, DWORD access)
{
    if (path.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return Handle();
    }
    return Handle(CreateFileW(Widen(path).c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

bool LocalToFileTime(double local, FILETIME& utc)
{
    const DateTimeParts p = DecodeDateTime(local);
    if (p.year < 1601 || p.year > 30827) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(p.year);
    st.wMonth = static_cast<WORD>(p.month);
    st.wDay = static_cast<WORD>(p.day);
    st.wHour = static_cast<WORD>(p.hour);
    st.wMinute = static_cast<WORD>(p.minute);
    st.wSecond = static_cast<WORD>(p.second);
    st.wMilliseconds = static_cast<WORD>(p.millisecond);
    FILETIME localFile{};
    return SystemTimeToFileTime(&st, &localFile) && LocalFileTimeToFileTime(&localFile, &utc);
}

double FileTimeToLocal(const FILETIME& utc)
{
    FILETIME localFile{};
    SYSTEMTIME st{};
    if (!FileTimeToLocalFileTime(&utc, &localFile) || !FileTimeToSystemTime(&localFile, &st)) {
        return 0.0;
    }
    DateTimeParts p;
    p.year = st.wYear;
    p.month = st.wMonth;
    p.day = st.wDay;
    p.hour = st.wHour;
    p.minute = st.wMinute;
    p.second = st.wSecond;
    p.millisecond = st.wMilliseconds;
    return EncodeDateTime(p);
}

} // namespace velmora::win32
