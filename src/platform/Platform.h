#pragma once
// The services the program asks of the operating system, passed explicitly to
// whoever needs them. Each backend (posix/ now, win32/ later) fills one of these.
// A service's interface lives in its own header beside this one.
#include "platform/IEnvironment.h"
#include "platform/IRandomSource.h"
#include "platform/IShell.h"

#include <memory>

namespace velmora {

class IFileAttributes;   // attribute word read/write (IFileAttributes.h)
class IFileTimes;        // modification / access times (IFileTimes.h)
class IFileUsage;        // in-use and locked tests (IFileUsage.h)
class IFileHolders;      // the processes that hold a file (IFileHolders.h)
class IAssociations;     // the programs a file opens with (IAssociations.h)
class IProcesses;        // ending processes by program name (IProcesses.h)
class IDesktopSettings;  // the desktop's default-programs settings (IDesktopSettings.h)
class ILocaleFormats;    // the user's date, time and number formats (ILocaleFormats.h)

struct Platform {
    IEnvironment* environment = nullptr;
    IShell* shell = nullptr;
    IFileAttributes* attributes = nullptr;
    IFileTimes* times = nullptr;
    IFileUsage* usage = nullptr;
    IFileHolders* holders = nullptr;
    IAssociations* associations = nullptr;
    IProcesses* processes = nullptr;
    IDesktopSettings* desktopSettings = nullptr;
    ILocaleFormats* localeFormats = nullptr;
    IRandomSource* random = nullptr;
};

// Owns the backend's service objects and hands out the Platform view of them.
class PlatformBackend {
public:
    virtual ~PlatformBackend() = default;
    virtual Platform& Services() = 0;
};

// The backend of the system the program was built for.
std::unique_ptr<PlatformBackend> CreateNativePlatform();

} // namespace velmora
