#pragma once
// The default-programs settings: the command interpreter running "computerdefaults".
#include "platform/IDesktopSettings.h"

namespace velmora {

class Win32DesktopSettings final : public IDesktopSettings {
public:
    bool OpenDefaultApps() override;
};

} // namespace velmora
