#include "ChildProcess.h"
#include "CliRunner.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include <fcntl.h>
#include <sys/stat.h>

using namespace velmora;
using namespace velmora::cli;

namespace {
using test::CliRun;

// The commands on the real platform.
CliRun RunCommand(const std::vector<std::string>& args)
{
    static const std::unique_ptr<PlatformBackend> backend = CreateNativePlatform();
    return test::Cli(args, backend->Services());
}
} // namespace

TEST(FileOpsCli, TerminateSucceedsOnlyWhenTheLastAttemptDid)
{
    test::TempDir dir;
    const std::string program = test::CopyProgram("/bin/sleep", dir / test::UniqueName("velmora-cli-holder"));
    const std::string name = std::filesystem::path(program).filename().string();
    test::ChildProcess child(program, {"60"});
    ASSERT_TRUE(child.Running());

    const CliRun ended = RunCommand({"terminate", name});
    EXPECT_EQ(ended.code, kExitOk) << ended.err;
    EXPECT_EQ(child.WaitForEnd(), SIGKILL);

    const CliRun none = RunCommand({"terminate", name});
    EXPECT_EQ(none.code, kExitFailed);
    EXPECT_NE(none.err.find("no process of '" + name + "'"), std::string::npos) << none.err;

    EXPECT_EQ(RunCommand({"terminate"}).code, kExitUsage);
    EXPECT_EQ(RunCommand({"terminate", "a", "b"}).code, kExitUsage);
}

TEST(FileOpsCli, AttribWritesExactlyTheGivenSetAndPrintsWhatReadsBack)
{
    test::TempDir dir;
    const std::string path = (dir / "notes.txt").string();
    test::WriteFile(path, "x");
    const char* letters = "ARHS";
    for (unsigned set = 0; set < 16; ++set) {
        std::string wanted;
        for (unsigned i = 0; i < 4; ++i) {
            if ((set & (1u << i)) != 0) wanted += letters[i];
        }
        if (wanted.empty()) wanted = "-";
        // Every write starts from a read-only file with the other three set, so each
        // attribute is both set and cleared along the way.
        ASSERT_EQ(RunCommand({"attrib", path, "ARHS"}).code, kExitOk);
        const CliRun run = RunCommand({"attrib", path, wanted});
        EXPECT_EQ(run.code, kExitOk) << wanted << ": " << run.err;
        EXPECT_EQ(run.out, wanted + "\n") << wanted << ": " << run.err;
        EXPECT_EQ(RunCommand({"attrib", path}).out, wanted + "\n") << wanted;
    }
}

TEST(FileOpsCli, AttribActsOnTheLinkTargetAndTellsWhenADotNameStaysHidden)
{
    test::TempDir dir;
    const auto target = dir / "target.txt";
    test::WriteFile(target, "x");
    std::filesystem::create_symlink("target.txt", dir / "link");
    ASSERT_EQ(RunCommand({"attrib", (dir / "link").string(), "RH"}).out, "RH\n");
    EXPECT_EQ(RunCommand({"attrib", target.string()}).out, "RH\n");
    EXPECT_EQ(RunCommand({"attrib", (dir / "link").string(), "-"}).out, "-\n");
    EXPECT_EQ(RunCommand({"attrib", target.string()}).out, "-\n");

    // Hiding a name without a dot lists it where file managers look.
    ASSERT_EQ(RunCommand({"attrib", target.string(), "H"}).code, kExitOk);
    EXPECT_NE(test::ReadFile(dir / ".hidden").find("target.txt"), std::string::npos);
    ASSERT_EQ(RunCommand({"attrib", target.string(), "-"}).code, kExitOk);
    EXPECT_EQ(test::ReadFile(dir / ".hidden").find("target.txt"), std::string::npos);

    const auto dotName = dir / ".profile";
    test::WriteFile(dotName, "x");
    const CliRun run = RunCommand({"attrib", dotName.string(), "-"});
    EXPECT_EQ(run.code, kExitFailed);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("always hidden"), std::string::npos) << run.err;
}

TEST(FileOpsCli, AttribRejectsBadLettersAndNonFiles)
{
    test::TempDir dir;
    test::WriteFile(dir / "f", "x");
    EXPECT_EQ(RunCommand({"attrib", (dir / "f").string(), "AX"}).code, kExitUsage);
    EXPECT_EQ(RunCommand({"attrib"}).code, kExitUsage);
    EXPECT_EQ(RunCommand({"attrib", dir.path().string(), "H"}).code, kExitFailed);
    EXPECT_EQ(RunCommand({"attrib", (dir / "missing").string()}).code, kExitFailed);
}

TEST(FileOpsCli, TouchStoresTheDateInTwoSecondStepsOrChangesNothing)
{
    test::TempDir dir;
    const auto path = dir / "report.txt";
    test::WriteFile(path, "x");
    const std::string p = path.string();
    const auto stamp = [&] {
        struct stat info {};
        stat(p.c_str(), &info);
        return std::pair{info.st_atim.tv_sec, info.st_mtim.tv_sec};
    };
    const timespec old[2] = {{1'000'000'000, 0}, {1'100'000'000, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, p.c_str(), old, 0), 0);

    const CliRun stored = RunCommand({"touch", p, "2024-05-17 14:03:27"});
    EXPECT_EQ(stored.code, kExitOk) << stored.err;
    EXPECT_EQ(stored.out, "2024-05-17 14:03:26\n");
    EXPECT_EQ(stamp().first, 1'000'000'000) << "the access time is kept";

    const auto before = stamp();
    const struct {
        std::vector<std::string> args;
        int code;
        const char* message;
    } refusals[] = {
        {{"touch", p, "1979-12-31 23:59:59"}, kExitFailed, "only dates from 1980 to 2107"},
        {{"touch", p, "2108-01-01"}, kExitFailed, "only dates from 1980 to 2107"},
        {{"touch", p, "abc"}, kExitUsage, "'abc' is no date"},
        {{"touch", (dir / "missing").string(), "2024-05-17"}, kExitFailed, "is no file: No such file or directory"},
        {{"touch", p}, kExitUsage, "expects PATH and a date"},
    };
    for (const auto& r : refusals) {
        const CliRun run = RunCommand(r.args);
        EXPECT_EQ(run.code, r.code) << r.args.back();
        EXPECT_NE(run.err.find(r.message), std::string::npos) << run.err;
    }
    EXPECT_EQ(RunCommand({"attrib", p, "R"}).code, kExitOk);
    const CliRun readOnly = RunCommand({"touch", p, "2020-01-01"});
    EXPECT_EQ(readOnly.code, kExitFailed);
    EXPECT_NE(readOnly.err.find("is read-only"), std::string::npos) << readOnly.err;
    EXPECT_EQ(stamp(), before);
}

TEST(FileOpsCli, TouchLeavesAFileHeldByAnotherProgramAlone)
{
    test::TempDir dir;
    const auto path = dir / "held.txt";
    test::WriteFile(path, "x");
    const std::string program = test::CopyProgram("/bin/sleep", dir / test::UniqueName("velmora-touch-holder"));
    test::ChildProcess holder(program, {"60"}, path.string());
    ASSERT_TRUE(holder.Running());
    const auto before = std::filesystem::last_write_time(path);
    const CliRun run = RunCommand({"touch", path.string(), "2020-01-01"});
    EXPECT_EQ(run.code, kExitFailed);
    EXPECT_NE(run.err.find("in use by another program"), std::string::npos) << run.err;
    EXPECT_EQ(std::filesystem::last_write_time(path), before);
}

TEST(FileOpsCli, TerminateRefusesShellsInterpretersAndLaunchers)
{
    test::ChildProcess shell("/bin/bash", {"-c", "sleep 60; true"});
    ASSERT_TRUE(shell.Running());
    for (const char* name : {"bash", "/usr/bin/bash", "python3", "env", "flatpak"}) {
        const CliRun run = RunCommand({"terminate", name});
        EXPECT_EQ(run.code, 1) << name;
        EXPECT_NE(run.err.find("is a shell, interpreter or launcher"), std::string::npos) << run.err;
    }
    EXPECT_TRUE(shell.Running());
}

TEST(FileOpsCli, ReadOnlyGivesBackExactlyTheWriteBitsItTook)
{
    test::TempDir dir;
    const std::string file = (dir / "g.txt").string();
    test::WriteFile(file, "x");
    for (const mode_t before : {mode_t(0664), mode_t(0644), mode_t(0666), mode_t(0620), mode_t(0600)}) {
        ASSERT_EQ(chmod(file.c_str(), before), 0);
        EXPECT_EQ(RunCommand({"attrib", file, "AR"}).out, "AR\n");
        struct stat st {};
        stat(file.c_str(), &st);
        EXPECT_EQ(st.st_mode & 0777, before & 0555) << std::oct << before;
        EXPECT_EQ(RunCommand({"attrib", file, "A"}).out, "A\n");
        stat(file.c_str(), &st);
        EXPECT_EQ(st.st_mode & 0777, before) << std::oct << before;
    }
    // Made read-only elsewhere (nothing remembered): the owner's write bit comes back.
    ASSERT_EQ(chmod(file.c_str(), 0444), 0);
    EXPECT_EQ(RunCommand({"attrib", file, "-"}).out, "-\n");
    struct stat st {};
    stat(file.c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, mode_t(0644));
}

TEST(FileOpsCli, ClearingHiddenOnADotNameFailsAndChangesNothing)
{
    test::TempDir dir;
    const std::string file = (dir / ".profile").string();
    test::WriteFile(file, "x");
    const CliRun refused = RunCommand({"attrib", file, "A"});
    EXPECT_EQ(refused.code, 1);
    EXPECT_NE(refused.err.find("a name that begins with a dot is always hidden"), std::string::npos) << refused.err;
    EXPECT_EQ(RunCommand({"attrib", file}).out, "H\n");
    const CliRun kept = RunCommand({"attrib", file, "AH"});
    EXPECT_EQ(kept.code, 0) << kept.err;
    EXPECT_EQ(kept.out, "AH\n");
}

// On a read-only file system (a tmpfs mounted read-only in a mount namespace of our own)
// touch and attrib name the system's reason; nobody holds the file, so "in use" would be
// a cause that was never seen.
TEST(FileOpsCli, AReadOnlyFileSystemIsNamedAsTheCause)
{
    if (std::system("unshare -rm true 2>/dev/null") != 0) GTEST_SKIP() << "no user and mount namespaces here";
    test::TempDir dir;
    const std::filesystem::path mountPoint = dir / "ro";
    std::filesystem::create_directory(mountPoint);
    const std::string cli = test::BuiltCli().string();
    const std::string m = mountPoint.string();
    const std::string script = "mount -t tmpfs none '" + m + "' && echo x > '" + m + "/f' && mount -o remount,ro '" +
                               m + "' && '" + cli + "' touch '" + m + "/f' 2024-05-17; echo \"exit $?\"";
    test::WriteFile(dir / "run.sh", script + "\n");
    std::string output;
    if (FILE* pipe = popen(("unshare -rm sh '" + (dir / "run.sh").string() + "' 2>&1").c_str(), "r")) {
        char buffer[512];
        while (std::size_t n = fread(buffer, 1, sizeof buffer, pipe))
            output.append(buffer, n);
        pclose(pipe);
    }
    EXPECT_NE(output.find("Read-only file system"), std::string::npos) << output;
    EXPECT_EQ(output.find("in use"), std::string::npos) << output;
    EXPECT_NE(output.find("exit 1"), std::string::npos) << output;
}
