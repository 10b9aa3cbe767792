#include "CliRunner.h"
#include "LnkInfo.h"

#include <gtest/gtest.h>

using namespace velmora;
using namespace velmora::cli;

namespace {
using test::CliRun;

CliRun Lnk(std::vector<std::string> args)
{
    args.insert(args.begin(), "lnk");
    return test::Cli(args);
}
} // namespace

TEST(LnkCommand, WritesTheShortcutWithTheParameterQuotedOnce)
{
    test::TempDir dir;
    const std::string link = (dir / "app.lnk").string();
    const CliRun run = Lnk({R"(C:\Program Files\App\app.exe)", link, "--args", "  C:\\a b.txt c.txt "});
    ASSERT_EQ(run.code, kExitOk) << run.err;
    const test::LnkInfoResult info = test::RunLnkInfo(link);
    EXPECT_EQ(info.localPath, R"(C:\Program Files\App\app.exe)");
    EXPECT_EQ(info.arguments, R"("C:\a b.txt c.txt")");

    // Replacing a shortcut is fine; replacing anything else is refused.
    EXPECT_EQ(Lnk({"/usr/bin/gedit", link}).code, kExitOk);
    EXPECT_EQ(test::RunLnkInfo(link).localPath, "/usr/bin/gedit");
    EXPECT_FALSE(test::RunLnkInfo(link).hasArguments);
    test::WriteFile(dir / "notes.txt", "notes");
    const CliRun refused = Lnk({"/usr/bin/gedit", (dir / "notes.txt").string()});
    EXPECT_EQ(refused.code, kExitFailed);
    EXPECT_NE(refused.err.find("not a shortcut"), std::string::npos);
    EXPECT_EQ(test::ReadFile(dir / "notes.txt"), "notes");

    const CliRun failed = Lnk({"/usr/bin/gedit", (dir / "missing" / "x.lnk").string()});
    EXPECT_EQ(failed.code, kExitFailed);
    EXPECT_NE(failed.err.find("No such file or directory"), std::string::npos) << failed.err;
}

TEST(LnkCommand, UsageErrors)
{
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {}, {"only-target"}, {"a", "b", "c"}, {"a", "b", "--args"}, {"a", "b", "--bogus"}, {"  ", "b.lnk"}}) {
        EXPECT_EQ(Lnk(args).code, kExitUsage) << args.size();
    }
}
