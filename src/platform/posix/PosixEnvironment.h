#pragma once
#include "platform/IEnvironment.h"

namespace velmora {

// Linux: the program file from /proc/self/exe, $TMPDIR else /tmp,
// $XDG_CONFIG_HOME else ~/.config, and "/" as the system root.
class PosixEnvironment final : public IEnvironment {
public:
    std::string ProgramFilePath() const override;
    std::string TemporaryFolder() const override;
    std::string RoamingAppDataFolder() const override;
    std::string SystemDriveRoot() const override { return "/"; }
    const PathRules& Paths() const override { return kPosixPathRules; }
};

std::string HomeFolder();

} // namespace velmora
