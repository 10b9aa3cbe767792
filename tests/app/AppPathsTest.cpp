#include "app/AppPaths.h"
#include "TestSupport.h"
#include "common/Errors.h"

#include <gtest/gtest.h>

using namespace velmora;

namespace {
class FakeEnvironment : public IEnvironment {
public:
    std::string program = "/opt/velmora/bin/setup-copy.exe";
    std::string temp = "/var/tmp";
    std::string appData = "/home/u/.config";
    std::string ProgramFilePath() const override { return program; }
    std::string TemporaryFolder() const override { return temp; }
    std::string RoamingAppDataFolder() const override { return appData; }
    std::string SystemDriveRoot() const override { return "/"; }
    const PathRules& Paths() const override { return kPosixPathRules; }
};
} // namespace

TEST(AppPaths, DerivesEveryPathFromTheEnvironment)
{
    FakeEnvironment env;
    const AppPaths p = DeriveAppPaths(env);
    EXPECT_EQ(p.programFolder, "/opt/velmora/bin/");
    EXPECT_EQ(p.updaterPath, "/opt/velmora/bin/checkup");
    EXPECT_EQ(p.programFileName, "setup-copy.exe");
    EXPECT_EQ(p.temporaryFile, "/var/tmp/setup-copy.dat");
    EXPECT_EQ(p.dataFolder, "/home/u/.config/tessaly/");
    EXPECT_EQ(p.settingsFile, "/home/u/.config/tessaly/tessaly.ini");

    env.program = "/usr/bin/velmora";
    EXPECT_EQ(DeriveAppPaths(env).temporaryFile, "/var/tmp/velmora.dat");
}

TEST(AppPaths, CreatesTheDataFolderOneLevelDeep)
{
    test::TempDir dir;
    FakeEnvironment env;
    env.appData = dir.path().string();
    const AppPaths p = DeriveAppPaths(env);
    EnsureDataFolder(p);
    EXPECT_TRUE(std::filesystem::is_directory(dir / "tessaly"));
    EnsureDataFolder(p);  // existing: fine

    env.appData = (dir / "no" / "such").string();
    EXPECT_THROW(EnsureDataFolder(DeriveAppPaths(env)), VelmoraError);
}
