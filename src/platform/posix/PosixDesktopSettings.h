#pragma once
#include "platform/IDesktopSettings.h"

#include <string>
#include <string_view>

namespace velmora {

// Linux: the settings program of the running desktop (from XDG_CURRENT_DESKTOP), found on
// PATH and started detached without a shell.
class PosixDesktopSettings final : public IDesktopSettings {
public:
    bool OpenDefaultApps() override;
};

// The full path of an executable file called name in one of the PATH folders; empty when
// there is none. A name with a slash is taken as it stands.
std::string FindOnSearchPath(std::string_view name);

} // namespace velmora
