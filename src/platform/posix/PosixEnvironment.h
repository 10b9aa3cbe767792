#pragma once
#include "platform/IEnvironment.h"

namespace velmora {

// The user's home: $HOME, else the password database's entry, else "/".
std::string HomeFolder();

// Linux: the program file from /proc/self/exe, $TMPDIR else /tmp,
// $XDG_CONFIG_HOME else ~/.config, the home folder as above, and "/" as the system root.
class PosixEnvironment final : public IEnvironment {
public:
    std::string ProgramFilePath() const override;
    std::string TemporaryFolder() const override;
    std::string RoamingAppDataFolder() const override;
    std::string HomeFolder() const override { return velmora::HomeFolder(); }
    std::string SystemDriveRoot() const override { return "/"; }
    const PathRules& Paths() const override { return kPosixPathRules; }
};

} // namespace velmora
