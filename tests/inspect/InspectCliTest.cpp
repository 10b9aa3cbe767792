#include "platform/posix/PosixFileTimes.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace velmora {
namespace {

namespace fs = std::filesystem;

struct CliRun {
    int code = -1;
    std::string out;
};

// Runs the built program; stderr goes to a file beside the output.
CliRun Cli(const std::string& arguments, const fs::path& errFile)
{
    // The program is built into bin/ of the build folder, two levels above this test.
    const char* bin = std::getenv("VELMORA_BIN_DIR");
    const fs::path folder = bin && *bin
                                ? fs::path(bin)
                                : fs::read_symlink("/proc/self/exe").parent_path().parent_path().parent_path() / "bin";
    const std::string command =
        "'" + (folder / "velmora-cli").string() + "' " + arguments + " 2>'" + errFile.string() + "'";
    CliRun run;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[512];
        while (fgets(buffer, sizeof buffer, pipe)) {
            run.out += buffer;
        }
        const int status = pclose(pipe);
        run.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    return run;
}

TEST(InspectCli, PrintsTheRecordAsJson)
{
    test::TempDir dir;
    const fs::path file = dir / "Report.Final.PDF";
    test::WriteFile(file, std::string(1048577, 'x'));
    PosixFileTimes times;
    ASSERT_TRUE(times.SetAccessAndModificationTime(file.string(), EncodeDateTime({2026, 7, 14, 10, 15, 37, 0})));
    fs::permissions(file, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);

    const CliRun run = Cli("inspect --json '" + file.string() + "'", dir / "err");
    EXPECT_EQ(run.code, 0) << test::ReadFile(dir / "err");
    const std::string expectedStart = "{\"path\":\"" + file.string() + "\",\"extension\":\".PDF\",\"inUse\":true,";
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
    const CliRun missing = Cli("inspect '" + (dir / "none" / "x.txt").string() + "'", dir / "err");
    EXPECT_EQ(missing.code, 1);
    EXPECT_NE(missing.out.find("In use:              yes"), std::string::npos) << missing.out;
    EXPECT_EQ(test::ReadFile(dir / "err"), "Path \"" + (dir / "none").string() + "/\" not found.\n");

    EXPECT_EQ(Cli("inspect", dir / "err").code, 2);
    EXPECT_EQ(Cli("inspect --xml x", dir / "err").code, 2);
    EXPECT_EQ(Cli("inspect a b", dir / "err").code, 2);
}

} // namespace
} // namespace velmora
