#pragma once
// The edge between the program's UTF-8 text and the UTF-16 of the Windows API, and
// Windows error codes as the errno values the shared code reports.
#include "common/Errors.h"

#include <string>
#include <string_view>

namespace velmora::win32 {

// UTF-8 to UTF-16; invalid sequences become U+FFFD.
std::wstring Widen(std::string_view utf8);
// UTF-16 to UTF-8; unpaired surrogates become U+FFFD.
std::string Narrow(std::wstring_view wide);

// The errno value closest to a Windows error code (GetLastError).
int ErrnoFromWin32(unsigned long error);
// The Error of the last failed call (GetLastError, as its errno value).
Error LastError(std::string path, std::string detail);

} // namespace velmora::win32
