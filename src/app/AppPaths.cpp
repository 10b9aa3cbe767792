#include "app/AppPaths.h"

#include "common/Errors.h"

#include <filesystem>
#include <system_error>

namespace velmora {

std::string UpdaterFileName(const PathRules& rules)
{
    return rules.preferred == '\\' ? "checkup.exe" : "checkup";
}

AppPaths DeriveAppPaths(const IEnvironment& environment)
{
    const PathRules& rules = environment.Paths();
    const std::string program = environment.ProgramFilePath();
    AppPaths p;
    p.programFolder = rules.FolderWithSeparator(program);
    p.updaterPath = p.programFolder + UpdaterFileName(rules);
    p.programFileName = rules.FileName(program);
    p.temporaryFile = rules.Join(environment.TemporaryFolder(), rules.ChangeExtension(p.programFileName, ".dat"));
    p.dataFolder = rules.WithTrailingSeparator(rules.Join(environment.RoamingAppDataFolder(), "tessaly"));
    p.settingsFile = p.dataFolder + "tessaly.ini";
    return p;
}

void EnsureDataFolder(const AppPaths& paths)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path folder(paths.dataFolder);
    if (fs::is_directory(folder, ec)) return;
    // One level only: the parent is expected to exist.
    if (!fs::create_directory(folder, ec) && !fs::is_directory(folder)) {
        throw VelmoraError(SystemErrorText("Cannot create folder", paths.dataFolder, ec.value()));
    }
}

} // namespace velmora
