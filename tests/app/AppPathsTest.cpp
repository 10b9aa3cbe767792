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
    EnsureDataFolder(p); // existing: fine

    // A first start without the configuration folder: every missing level is made, private.
    env.appData = (dir / "home" / ".config").string();
    EnsureDataFolder(DeriveAppPaths(env));
    for (const auto& made : {dir / "home", dir / "home" / ".config", dir / "home" / ".config" / "tessaly"}) {
        ASSERT_TRUE(std::filesystem::is_directory(made)) << made;
#ifndef _WIN32 // Windows folders carry no such mode: their access list comes from the parent
        EXPECT_EQ(std::filesystem::status(made).permissions(), std::filesystem::perms::owner_all) << made;
#endif
    }
#ifndef _WIN32
    EXPECT_NE(std::filesystem::status(dir.path()).permissions(), std::filesystem::perms::owner_all);
#endif

    // A file where a folder belongs is still an error.
    test::WriteFile(dir / "file", "x");
    env.appData = (dir / "file" / "sub").string();
    EXPECT_THROW(EnsureDataFolder(DeriveAppPaths(env)), VelmoraError);
}
