// The bash completion script that velmora-cli writes, run by bash as a user's Tab would.
#include "FakePlatform.h"
#include "TestSupport.h"
#include "cli/CliCommand.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>

using namespace velmora;
using namespace velmora::cli;

namespace {
std::string Script(const std::string& shell)
{
    test::FakePlatform platform;
    std::ostringstream out, err;
    CliContext context{platform, out, err, false};
    EXPECT_EQ(RunCli({"completions", shell}, context), kExitOk) << err.str();
    return out.str();
}

// The completions bash offers for the words (the last one is being completed).
std::string Complete(const std::filesystem::path& script, const std::string& words)
{
    const std::string command = "bash -c 'source \"" + script.string() + "\"; COMP_WORDS=(velmora-cli " + words +
                                "); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); _velmora_cli; echo \"${COMPREPLY[*]}\"'";
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
            output.append(buffer, n);
        pclose(pipe);
    }
    if (!output.empty() && output.back() == '\n') output.pop_back();
    return output;
}
} // namespace

TEST(Completion, BashCompletesCommandsOptionsChoicesAndPathsByKind)
{
    test::TempDir dir;
    test::WriteFile(dir / "completion.bash", Script("bash"));
    std::filesystem::create_directories(dir / "sub");
    test::WriteFile(dir / "sfile", "x");
    const std::string s = (dir / "s").string();

    const struct {
        std::string words;
        std::string offered;
    } cases[] = {
        {"zi", "zip"},
        {"fo", "folder-date"},
        {"\"\"", ""}, // filled below: every command
        {"zip --ov", "--overwrite"},
        {"unzip a.zip out --links \"\"", "inside all skip"},
        {"unzip a.zip out --links = s", "skip"},
        {"zip --password \"\"", ""},
        {"folder-date 2024-01-01 " + s, (dir / "sub").string()},
        {"folder-date 2024-01-01 " + s + " " + s, (dir / "sub").string()},
        {"zip " + s, (dir / "sub").string()},
        {"zip --password pw " + (dir / "sub").string() + " " + s,
         (dir / "sfile").string() + " " + (dir / "sub").string()},
        {"inspect -- --q", ""},
        {"inspect --j", "--json"},
        {"completions \"\"", ""},
    };
    for (const auto& c : cases) {
        const std::string offered = Complete(dir / "completion.bash", c.words);
        if (c.words == "\"\"") {
            for (const char* name : {"inspect", "zip", "unzip", "lnk", "holders", "--version"})
                EXPECT_NE(offered.find(name), std::string::npos) << name << " in " << offered;
            EXPECT_EQ(offered.find("completions"), std::string::npos) << "the hidden command is offered";
            continue;
        }
        EXPECT_EQ(offered, c.offered) << c.words;
    }
}
