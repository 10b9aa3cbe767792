#pragma once
// Where the program lives and which standard folders the user has.
#include "common/PathRules.h"

#include <string>

namespace velmora {

class IEnvironment {
public:
    virtual ~IEnvironment() = default;
    // Full path of the running program file.
    virtual std::string ProgramFilePath() const = 0;
    // The user's temporary folder, without a trailing separator.
    virtual std::string TemporaryFolder() const = 0;
    // The user's roaming application-data folder, without a trailing separator.
    virtual std::string RoamingAppDataFolder() const = 0;
    // The user's home folder.
    virtual std::string HomeFolder() const = 0;
    // The root of the system drive, with its trailing separator.
    virtual std::string SystemDriveRoot() const = 0;
    virtual const PathRules& Paths() const = 0;
};

} // namespace velmora
