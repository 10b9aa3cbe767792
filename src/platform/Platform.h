#pragma once
// The services the program asks of the operating system, passed explicitly to
// whoever needs them. Each backend (posix/ now, win32/ later) fills one of these.
#include "platform/IEnvironment.h"
#include "platform/IShell.h"

#include <memory>

namespace velmora {

struct Platform {
    IEnvironment* environment = nullptr;
    IShell* shell = nullptr;
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
