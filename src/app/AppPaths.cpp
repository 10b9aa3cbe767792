#include "app/AppPaths.h"

#include "common/Errors.h"
#include "common/Utf8Path.h"

#include <cerrno>
#include <filesystem>
#include <system_error>
#include <vector>

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
    const fs::path folder = PathFromUtf8(paths.dataFolder).lexically_normal();
    if (fs::is_directory(folder, ec)) return;
    // The base-directory rules: every missing folder on the way is created, readable by
    // the user alone. Folders that exist keep their permissions.
    std::vector<fs::path> missing;
    for (fs::path p = folder.has_filename() ? folder : folder.parent_path(); !p.empty(); p = p.parent_path()) {
        const fs::file_status status = fs::status(p, ec);
        if (status.type() != fs::file_type::not_found) break;
        missing.push_back(p);
        if (p == p.root_path()) break;
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        if (!fs::create_directory(*it, ec)) {
            if (fs::is_directory(*it)) continue;
            throw VelmoraError(SystemErrorText("Cannot create folder", Utf8FromPath(*it), ec.value()));
        }
        fs::permissions(*it, fs::perms::owner_all, fs::perm_options::replace, ec);
    }
    if (!fs::is_directory(folder, ec)) {
        throw VelmoraError(SystemErrorText("Cannot create folder", paths.dataFolder, ec ? ec.value() : ENOTDIR));
    }
}

} // namespace velmora
