#pragma once
// The services the program asks of the operating system, passed explicitly to
// whoever needs them. Each backend (posix/ now, win32/ later) fills every one of them
// and checks that with CheckAllServices, so no user of a Platform tests for null.
// A service's interface lives in its own header beside this one.
#include "platform/IEnvironment.h"
#include "platform/IRandomSource.h"
#include "platform/IShell.h"

#include <memory>
#include <stdexcept>
#include <string>
#include <utility>

namespace velmora {

class IFileAttributes;  // attribute word read/write (IFileAttributes.h)
class IFileTimes;       // modification / access times (IFileTimes.h)
class IFileUsage;       // in-use and locked tests (IFileUsage.h)
class IFileHolders;     // the processes that hold a file (IFileHolders.h)
class IAssociations;    // the programs a file opens with (IAssociations.h)
class IProcesses;       // ending processes by program name (IProcesses.h)
class IDesktopSettings; // the desktop's default-programs settings (IDesktopSettings.h)
class ILocaleFormats;   // the user's date, time and number formats (ILocaleFormats.h)

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

// Throws std::logic_error naming the first service a backend left out. Called once
// where a Platform is filled; everything else relies on every service being there.
inline void CheckAllServices(const Platform& platform)
{
    const std::pair<const void*, const char*> services[] = {
        {platform.environment, "environment"},
        {platform.shell, "shell"},
        {platform.attributes, "attributes"},
        {platform.times, "times"},
        {platform.usage, "usage"},
        {platform.holders, "holders"},
        {platform.associations, "associations"},
        {platform.processes, "processes"},
        {platform.desktopSettings, "desktopSettings"},
        {platform.localeFormats, "localeFormats"},
        {platform.random, "random"},
    };
    for (const auto& [service, name] : services) {
        if (service == nullptr) throw std::logic_error(std::string("the platform has no ") + name + " service");
    }
}

// Owns the backend's service objects and hands out the Platform view of them.
class PlatformBackend {
public:
    virtual ~PlatformBackend() = default;
    virtual Platform& Services() = 0;
};

// The backend of the system the program was built for.
std::unique_ptr<PlatformBackend> CreateNativePlatform();

} // namespace velmora
