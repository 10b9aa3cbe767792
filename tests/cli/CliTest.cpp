#include "CliRunner.h"

#include <gtest/gtest.h>

using namespace velmora;
using namespace velmora::cli;
using test::CliRun;

TEST(Cli, HelpListsEveryCommandAndUsageErrorsExitTwo)
{
    const CliRun help = test::Cli({"--help"});
    EXPECT_EQ(help.code, kExitOk);
    for (const char* name :
         {"inspect", "attrib", "touch", "terminate", "folder-date", "zip", "protect", "unzip", "gunzip", "lnk"}) {
        EXPECT_NE(help.out.find(std::string("velmora-cli ") + name), std::string::npos) << name;
        const CliRun commandHelp = test::Cli({name, "--help"});
        EXPECT_EQ(commandHelp.code, kExitOk) << name;
        EXPECT_NE(commandHelp.out.find("Usage: velmora-cli"), std::string::npos) << name;
    }
    EXPECT_EQ(test::Cli({}).code, kExitUsage);
    const CliRun unknown = test::Cli({"frobnicate"});
    EXPECT_EQ(unknown.code, kExitUsage);
    EXPECT_NE(unknown.err.find("unknown command 'frobnicate'"), std::string::npos);
}
