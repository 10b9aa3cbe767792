#include "platform/posix/PosixFileTimes.h"

#include "CliRunner.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace velmora {
namespace {

namespace fs = std::filesystem;

using test::CliRun;
using test::RunBuiltCli;

TEST(InspectCli, PrintsTheRecordAsJson)
{
    test::TempDir dir;
    const fs::path file = dir / "Report.Final.PDF";
    test::WriteFile(file, std::string(1048577, 'x'));
    PosixFileTimes times;
    ASSERT_TRUE(times.SetAccessAndModificationTime(file.string(), EncodeDateTime({2026, 7, 14, 10, 15, 37, 0})));
    fs::permissions(file, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);

    const CliRun run = RunBuiltCli("inspect --json '" + file.string() + "'", dir / "err");
    EXPECT_EQ(run.code, 0) << test::ReadFile(dir / "err");
    // Read-only: it cannot be taken for writing, which says nothing about other holders.
    const std::string expectedStart =
        "{\"path\":\"" + file.string() + "\",\"extension\":\".PDF\",\"inUse\":false,\"inUseChecked\":false,";
    EXPECT_EQ(run.out.substr(0, expectedStart.size()), expectedStart) << run.out;
    for (const char* field : {"\"sizeNumber\":\"1.000\",\"sizeUnit\":\" MB\"", "\"modified\":\"2026-07-14T10:15:37\"",
                              "\"lastAccess\":\"2026-07-14T10:15:36\"",
                              "\"archive\":false,\"readOnly\":true,\"hidden\":false,\"system\":false}\n"}) {
        EXPECT_NE(run.out.find(field), std::string::npos) << field << " in " << run.out;
    }
}

TEST(InspectCli, MissingPathsFailAndUsageErrorsExitTwo)
{
    test::TempDir dir;
    // A missing file in an existing folder and in a missing one: the reason, exit 1, and
    // no record that could claim the file is in use.
    for (const fs::path& missing : {dir / "x.txt", dir / "none" / "x.txt"}) {
        for (const char* json : {"", "--json "}) {
            const CliRun run = RunBuiltCli(std::string("inspect ") + json + "'" + missing.string() + "'", dir / "err");
            EXPECT_EQ(run.code, 1) << missing;
            EXPECT_EQ(run.out, "") << missing;
            EXPECT_EQ(test::ReadFile(dir / "err"),
                      "velmora-cli inspect: cannot inspect '" + missing.string() + "': No such file or directory\n");
        }
    }

    EXPECT_EQ(RunBuiltCli("inspect", dir / "err").code, 2);
    EXPECT_EQ(RunBuiltCli("inspect --xml x", dir / "err").code, 2);
    EXPECT_EQ(RunBuiltCli("inspect a b", dir / "err").code, 2);
}

// "In use" only where another process holds the file; a file that cannot be opened for
// writing but is held by nobody is said to be unchecked, with the reason.
TEST(InspectCli, InUseOnlyWhereSomeoneHoldsIt)
{
    test::TempDir dir;
    const fs::path file = dir / "data.txt";
    test::WriteFile(file, "x");
    const auto inUseLine = [&](const fs::path& path) {
        const CliRun run = RunBuiltCli("inspect '" + path.string() + "'", dir / "err");
        const std::size_t at = run.out.find("In use:");
        return at == std::string::npos ? run.out : run.out.substr(at, run.out.find('\n', at) - at);
    };
    EXPECT_EQ(inUseLine(file), "In use:              no");
    EXPECT_EQ(inUseLine(dir.path()), "In use:              not checked: a folder cannot be opened for exclusive use");

    fs::permissions(file, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    EXPECT_EQ(inUseLine(file), "In use:              not checked: the file is read-only, so it cannot be opened "
                               "for writing; no holder seen");

    // Held open by another process: in use, read-only or not.
    const int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    const pid_t holder = fork();
    if (holder == 0) {
        dup2(fd, 0);
        execlp("sleep", "sleep", "30", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fd); // only the child holds the file now
    std::string line;
    for (int i = 0; i < 200 && line != "In use:              yes"; ++i)
        line = inUseLine(file); // until it runs
    EXPECT_EQ(line, "In use:              yes");
    kill(holder, SIGKILL);
    waitpid(holder, nullptr, 0);
}

// A name with a tab and a terminal escape is quoted in the record and in messages.
TEST(InspectCli, ControlCharactersInTheNameAreQuoted)
{
    test::TempDir dir;
    const fs::path file = dir / "x\ty\x1b]0;title\x07";
    test::WriteFile(file, "x");
    const CliRun run = RunBuiltCli("inspect \"$(printf 'x\\ty\\033]0;title\\007')\"", dir / "err");
    EXPECT_EQ(run.code, 1); // the quoted shell word above is relative: run from elsewhere, it names nothing
    const std::string err = test::ReadFile(dir / "err");
    EXPECT_EQ(err, "velmora-cli inspect: cannot inspect $'x\\ty\\033]0;title\\a': No such file or directory\n");

    const CliRun found =
        RunBuiltCli("inspect \"$(printf '" + dir.path().string() + "/x\\ty\\033]0;title\\007')\"", dir / "err");
    EXPECT_EQ(found.code, 0) << test::ReadFile(dir / "err");
    EXPECT_NE(found.out.find("Path:                $'" + dir.path().string() + "/x\\ty\\033]0;title\\a'\n"),
              std::string::npos)
        << found.out;
    EXPECT_EQ(found.out.find('\x1b'), std::string::npos);
}

} // namespace
} // namespace velmora
