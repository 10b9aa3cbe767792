#include "app/AppPaths.h"
#include "FakePlatform.h"
#include "TestSupport.h"
#include "common/Errors.h"

#include <gtest/gtest.h>

using namespace velmora;

namespace {
// The environment both tests start from.
test::FakeEnvironment SampleEnvironment()
{
    test::FakeEnvironment env;
    env.program = "/opt/velmora/bin/setup-copy.exe";
    env.temp = "/var/tmp";
    env.appData = "/home/u/.config";
    env.root = "/";
    return env;
}
} // namespace

TEST(AppPaths, DerivesEveryPathFromTheEnvironment)
{
    test::FakeEnvironment env = SampleEnvironment();
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
    test::FakeEnvironment env = SampleEnvironment();
    env.appData = dir.path().string();
    const AppPaths p = DeriveAppPaths(env);
    EnsureDataFolder(p);
    EXPECT_TRUE(std::filesystem::is_directory(dir / "tessaly"));
    EnsureDataFolder(p);  // existing: fine

    env.appData = (dir / "no" / "such").string();
    EXPECT_THROW(EnsureDataFolder(DeriveAppPaths(env)), VelmoraError);
}
