// The help pages are found beside the program (build folder) or where an installation
// puts them (<prefix>/share/velmora/help beside <prefix>/bin).
#include "ui/HelpFile.h"
#include "FakePlatform.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace velmora;

TEST(HelpFile, BesideTheProgramFirstThenTheInstalledDataFolder)
{
    test::TempDir dir;
    std::filesystem::create_directories(dir / "usr" / "bin");
    std::filesystem::create_directories(dir / "usr" / "share" / "velmora" / "help");
    test::FakeEnvironment environment;
    environment.program = (dir / "usr" / "bin" / "velmora").generic_string();
    const std::string bin = (dir / "usr" / "bin").generic_string() + "/";
    const std::string installed = (dir / "usr" / "share" / "velmora" / "help").generic_string() + "/";

    // Neither: the program folder, so the viewer names the missing file.
    EXPECT_EQ(HelpFilePath(environment, kEnglish), bin + "tessalye.html");
#if defined(_WIN32)
    GTEST_SKIP() << "<prefix>/share/velmora/help is the Linux package's layout";
#endif
    test::WriteFile(installed + "tessalye.html", "en");
    test::WriteFile(installed + "tessalyd.html", "de");
    EXPECT_EQ(HelpFilePath(environment, kEnglish), installed + "tessalye.html");
    EXPECT_EQ(HelpFilePath(environment, kGerman), installed + "tessalyd.html");
    test::WriteFile(bin + "tessalyd.html", "de");
    EXPECT_EQ(HelpFilePath(environment, kGerman), bin + "tessalyd.html");
}
