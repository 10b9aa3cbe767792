#include "CliRunner.h"
#include "cli/CliCommand.h"
#include "platform/IFileTimes.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace velmora;
namespace fs = std::filesystem;

TEST(FolderDateCli, DateTable)
{
    const auto backend = CreateNativePlatform();
    Platform& platform = backend->Services();
    struct Case {
        std::string date;
        bool includeMissing;
        int code;
    };
    const Case cases[] = {
        {"2021-03-01", false, cli::kExitOk},          {"2107-12-31", false, cli::kExitOk},
        {"1979-12-31", false, cli::kExitFailed}, // cannot pass through the MS-DOS date-time
        {"2108-01-01", false, cli::kExitFailed},      {"abc", false, cli::kExitUsage},
        {"2021-03-01 12:00", false, cli::kExitUsage}, // a date alone
        {"2021-03-01", true, cli::kExitFailed},       // one folder missing: none is changed
    };
    for (const Case& c : cases) {
        test::TempDir dir;
        fs::create_directories(dir / "A");
        fs::create_directories(dir / ".B" / "inner");
        const TDateTime before = *platform.times->ModificationTime((dir / "A").string());
        std::vector<std::string> args{"folder-date", c.date, (dir / "A").string(), (dir / ".B").string() + "/"};
        if (c.includeMissing) args.push_back((dir / "missing").string());
        const test::CliRun run = test::Cli(args, platform);
        EXPECT_EQ(run.code, c.code) << c.date << ": " << run.err;
        for (const char* name : {"A", ".B"}) {
            const std::string path = (dir / name).string();
            if (c.code == cli::kExitOk) {
                const int year = std::stoi(c.date.substr(0, 4));
                const int month = std::stoi(c.date.substr(5, 2));
                const int day = std::stoi(c.date.substr(8, 2));
                const TDateTime expected = EncodeDateTime({year, month, day, 0, 0, 0, 0});
                EXPECT_EQ(platform.times->ModificationTime(path), expected) << c.date << " " << name;
                EXPECT_EQ(platform.times->LastAccessTime(path), expected) << c.date << " " << name;
            } else if (std::string(name) == "A") {
                EXPECT_EQ(platform.times->ModificationTime(path), before) << c.date;
            }
        }
    }
}

TEST(FolderDateCli, AnotherUsersFolderIsLeftAsItIsAndTheMessageSaysWhy)
{
    if (geteuid() != 0) GTEST_SKIP() << "needs root to act as another user (nobody)";
    if (std::system("command -v setpriv >/dev/null 2>&1") != 0) GTEST_SKIP() << "setpriv is not installed";
    test::TempDir dir;
    // A shared folder like /tmp, holding a folder of root's that nobody may read.
    fs::create_directories(dir / "shared" / "Roots" / "Sub");
    test::WriteFile(dir / "shared" / "Roots" / "file.txt", "root's");
    ASSERT_EQ(chmod((dir / "shared").c_str(), 01777), 0);
    ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
    const timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, (dir / "shared" / "Roots").c_str(), old, 0), 0);

    const fs::path cli = test::BuiltCli();
    const std::string command = "setpriv --reuid=65534 --regid=65534 --clear-groups '" + cli.string() +
                                "' folder-date 2021-03-01 '" + (dir / "shared" / "Roots").string() + "' 2>'" +
                                (dir / "err").string() + "'";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), cli::kExitFailed);
    EXPECT_NE(test::ReadFile(dir / "err").find("only the folder's owner or an administrator may change its times"),
              std::string::npos)
        << test::ReadFile(dir / "err");

    struct stat st {};
    ASSERT_EQ(stat((dir / "shared" / "Roots").c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 0u);
    EXPECT_EQ(st.st_mtim.tv_sec, 1000000000);
    EXPECT_FALSE(fs::exists(dir / "shared" / "Roots2"));
    EXPECT_EQ(test::ReadFile(dir / "shared" / "Roots" / "file.txt"), "root's");
}
