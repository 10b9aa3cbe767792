#pragma once
// The paths the main window derives once at start-up.
#include "platform/IEnvironment.h"

#include <cstdint>
#include <string>

namespace velmora {

struct AppPaths {
    std::string programFolder;   // with its trailing separator
    std::string updaterPath;     // programFolder + "checkup"
    std::string programFileName; // the running program file's name without folder
    std::string temporaryFile;   // temporary folder + program file name with ".dat"
    std::string dataFolder;      // roaming data folder + "tessaly" + separator
    std::string settingsFile;    // dataFolder + "tessaly.ini"
};

// The updater's file name on this system (no ".exe" suffix on Linux).
std::string UpdaterFileName(const PathRules& rules);

AppPaths DeriveAppPaths(const IEnvironment& environment);

// Creates the data folder when it is missing, with every missing folder above it, each
// with the permissions 0700; throws VelmoraError on failure.
void EnsureDataFolder(const AppPaths& paths);

} // namespace velmora
