#pragma once
// The desktop's own settings page where the user picks the default program per file type.
namespace velmora {

class IDesktopSettings {
public:
    virtual ~IDesktopSettings() = default;
    // Starts the settings page detached and returns at once; true when it could be started.
    virtual bool OpenDefaultApps() = 0;
};

} // namespace velmora
