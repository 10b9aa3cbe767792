#pragma once
// The Linux backend. Most of its services are plain system calls; three of them (the
// programs files open with, the user's locale formats, and opening pages and folders on
// the desktop) read the desktop's databases through Qt. Those three come as one
// DesktopServices object, so a program that rarely needs them can load them on demand
// and start without Qt.
#include "platform/Platform.h"

#include <memory>

namespace velmora {

class IAssociations;
class ILocaleFormats;

class DesktopServices {
public:
    virtual ~DesktopServices() = default;
    virtual IShell& Shell() = 0;
    virtual IAssociations& Associations() = 0;
    virtual ILocaleFormats& LocaleFormats() = 0;
};

std::unique_ptr<PlatformBackend> CreatePosixPlatform(std::unique_ptr<DesktopServices> desktop);

} // namespace velmora
