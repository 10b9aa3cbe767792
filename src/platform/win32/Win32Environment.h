#pragma once
// Where the program lives and the standard folders of the user.
#include "platform/IEnvironment.h"

namespace velmora {

class Win32Environment final : public IEnvironment {
public:
    std::string ProgramFilePath() const override;
    std::string TemporaryFolder() const override;
    std::string RoamingAppDataFolder() const override;
    std::string HomeFolder() const override;
    std::string SystemDriveRoot() const override;
    const PathRules& Paths() const override;
};

} // namespace velmora
