#include "FakePlatform.h"
#include "cli/CliCommand.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace velmora;
using namespace velmora::cli;

namespace {
struct CliRun {
    int code;
    std::string out;
    std::string err;
};

CliRun RunArgs(const std::vector<std::string>& args)
{
    test::FakePlatform platform;
    std::ostringstream out, err;
    CliContext context{platform, out, err, false};
    const int code = RunCli(args, context);
    return {code, out.str(), err.str()};
}
} // namespace

TEST(Cli, HelpListsEveryCommandAndUsageErrorsExitTwo)
{
    const CliRun help = RunArgs({"--help"});
    EXPECT_EQ(help.code, kExitOk);
    for (const char* name :
         {"inspect", "attrib", "touch", "terminate", "folder-date", "zip", "protect", "unzip", "gunzip", "lnk"}) {
        EXPECT_NE(help.out.find(std::string("velmora-cli ") + name), std::string::npos) << name;
        const CliRun commandHelp = RunArgs({name, "--help"});
        EXPECT_EQ(commandHelp.code, kExitOk) << name;
        EXPECT_NE(commandHelp.out.find("Usage: velmora-cli"), std::string::npos) << name;
    }
    EXPECT_EQ(RunArgs({}).code, kExitUsage);
    const CliRun unknown = RunArgs({"frobnicate"});
    EXPECT_EQ(unknown.code, kExitUsage);
    EXPECT_NE(unknown.err.find("unknown command 'frobnicate'"), std::string::npos);
}
