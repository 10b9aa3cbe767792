// How velmora-cli reads its command lines: "--" ends the options, usage errors keep their
// texts, and every command's help page describes all it takes.
#include "FakePlatform.h"
#include "TestSupport.h"
#include "cli/CliCommand.h"
#include "cli/CommandDefinition.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

using namespace velmora;
using namespace velmora::cli;

namespace {
struct CliRun {
    int code;
    std::string out;
    std::string err;
};

CliRun RunWords(const std::vector<std::string>& args)
{
    test::FakePlatform platform;
    std::ostringstream out, err;
    CliContext context{platform, out, err, false};
    const int code = RunCli(args, context);
    return {code, out.str(), err.str()};
}

// Runs inside a folder for the test's life, so that relative names can begin with "-".
class InFolder {
public:
    explicit InFolder(const std::filesystem::path& folder) : m_before(std::filesystem::current_path())
    {
        std::filesystem::current_path(folder);
    }
    ~InFolder() { std::filesystem::current_path(m_before); }

private:
    std::filesystem::path m_before;
};
} // namespace

// After "--", "--quiet", "--help" and "-h" are names of files; before it, they are options.
TEST(CliParsing, WordsAfterDoubleDashAreArguments)
{
    test::TempDir dir;
    std::filesystem::create_directories(dir / "tree");
    test::WriteFile(dir / "tree" / "a.txt", "alpha");
    const CliRun zipped = RunWords({"zip", (dir / "tree").string(), (dir / "a.zip").string()});
    ASSERT_EQ(zipped.code, kExitOk) << zipped.err;
    for (const char* name : {"--quiet", "--help", "-h"})
        std::filesystem::copy_file(dir / "a.zip", dir / name);
    const InFolder inside(dir.path());

    const struct {
        std::vector<std::string> args;
        int code;
        std::string out; // expected in stdout
        std::string err; // expected in stderr
    } cases[] = {
        {{"list", "--", "--quiet"}, kExitOk, "a.txt", ""},
        {{"list", "--", "--help"}, kExitOk, "a.txt", ""},
        {{"test", "--", "-h"}, kExitOk, "1 entries passed", ""},
        {{"list", "--quiet", "--", "-h"}, kExitOk, "a.txt", ""},
        {{"unzip", "--", "--quiet", "out"}, kExitOk, "", "1 file extracted"},
        {{"unzip", "--quiet", "--", "--help", "out2"}, kExitOk, "", "1 file extracted"},
        {{"inspect", "--", "--help", "extra"}, kExitUsage, "", "only one PATH is inspected"},
        {{"gunzip", "--", "--quiet"}, kExitFailed, "", "velmora-cli gunzip: '--quiet': "},
        {{"holders", "--", "missing", "--json"}, kExitUsage, "", "only one PATH at a time"},
        {{"list", "--help", "--", "-h"}, kExitOk, "Usage: velmora-cli list", ""},
    };
    for (const auto& c : cases) {
        const CliRun run = RunWords(c.args);
        std::string line;
        for (const std::string& a : c.args)
            line += a + " ";
        EXPECT_EQ(run.code, c.code) << line << "\n" << run.err;
        EXPECT_NE(run.out.find(c.out), std::string::npos) << line << "\n" << run.out;
        EXPECT_NE(run.err.find(c.err), std::string::npos) << line << "\n" << run.err;
    }
    EXPECT_EQ(test::ReadFile(dir / "out" / "a.txt"), "alpha");
    EXPECT_EQ(test::ReadFile(dir / "out2" / "a.txt"), "alpha");
}

TEST(CliParsing, UsageErrorsKeepTheirTextsAndExitTwo)
{
    const struct {
        std::vector<std::string> args;
        std::string message;
    } cases[] = {
        {{"zip", "f", "a.zip", "--password"}, "velmora-cli zip: --password needs a value\n"},
        {{"zip", "f", "a.zip", "--password="}, "velmora-cli zip: --password needs a value\n"},
        {{"unzip", "a.zip", "f", "--links=some"}, "velmora-cli unzip: --links takes inside, all or skip\n"},
        {{"unzip", "a.zip", "f", "--links"}, "velmora-cli unzip: --links needs a value\n"},
        {{"restore", "a.zip", "f", "--links=all"}, "velmora-cli restore: unknown option '--links=all'\n"},
        {{"zip", "f", "a.zip", "-x"}, "velmora-cli zip: unknown option '-x'\n"},
        {{"zip", "f"}, "velmora-cli zip: expected FOLDER and ARCHIVE\n"},
        {{"terminate", "--pid"}, "velmora-cli terminate: --pid expects one process number\n"},
        {{"terminate", "--pid", "1", "name"}, "velmora-cli terminate: --pid expects one process number\n"},
        {{"terminate"}, "velmora-cli terminate: expects one program NAME\n"},
        {{"inspect"}, "velmora-cli inspect: missing PATH\n"},
        {{"folder-date", "2024-01-01"}, "velmora-cli folder-date: expected DATE and at least one FOLDER\n"},
        {{"lnk", "a", "b", "--args"}, "velmora-cli lnk: --args needs a value\n"},
        {{"completions", "tcsh"}, "velmora-cli completions: expects one SHELL: bash, zsh or fish\n"},
    };
    for (const auto& c : cases) {
        const CliRun run = RunWords(c.args);
        EXPECT_EQ(run.code, kExitUsage) << c.message;
        EXPECT_EQ(run.err.substr(0, run.err.find("Usage:")), c.message);
        EXPECT_NE(run.err.find("Usage: velmora-cli " + c.args[0]), std::string::npos) << run.err;
    }
}

TEST(CliParsing, VersionAndHelpPagesDescribeEverything)
{
    const CliRun version = RunWords({"--version"});
    EXPECT_EQ(version.code, kExitOk);
    EXPECT_EQ(version.out, std::string("velmora-cli ") + VELMORA_VERSION_TEXT + "\n");

    for (const CommandDefinition& command : Commands()) {
        const CliRun help = RunWords({command.name, "--help"});
        EXPECT_EQ(help.code, kExitOk) << command.name;
        EXPECT_EQ(help.out.rfind(std::string("Usage: velmora-cli ") + command.synopsis + "\n", 0), 0u) << help.out;
        // Each argument and option on its own line, followed by its description.
        std::vector<std::string> names = {"--help", "--quiet"};
        for (const ArgumentDefinition& a : command.arguments)
            names.push_back(a.name);
        for (const OptionDefinition& o : command.options)
            names.push_back(o.name);
        for (const std::string& name : names) {
            const std::size_t at = help.out.find("\n  " + name);
            const std::size_t alsoShort = help.out.find("\n  -h," + name);
            const std::size_t line = at != std::string::npos ? at : alsoShort;
            ASSERT_NE(line, std::string::npos) << command.name << " " << name << "\n" << help.out;
            const std::string row = help.out.substr(line + 1, help.out.find('\n', line + 1) - line - 1);
            EXPECT_GT(row.find_first_not_of(' ', row.find(' ', 2)), row.find(' ', 2))
                << command.name << ": no description: " << row;
        }
    }
}
