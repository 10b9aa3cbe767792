#include "TestSupport.h"
#include "cli/CliCommand.h"
#include "platform/IFileTimes.h"

#include <gtest/gtest.h>

#include <sstream>

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
        {"2021-03-01", false, cli::kExitOk},
        {"2107-12-31", false, cli::kExitOk},
        {"1979-12-31", false, cli::kExitFailed},   // cannot pass through the MS-DOS date-time
        {"2108-01-01", false, cli::kExitFailed},
        {"abc", false, cli::kExitUsage},
        {"2021-03-01 12:00", false, cli::kExitUsage},  // a date alone
        {"2021-03-01", true, cli::kExitFailed},    // one folder missing: none is changed
    };
    for (const Case& c : cases) {
        test::TempDir dir;
        fs::create_directories(dir / "A");
        fs::create_directories(dir / ".B" / "inner");
        const TDateTime before = *platform.times->ModificationTime((dir / "A").string());
        std::vector<std::string> args{"folder-date", c.date, (dir / "A").string(), (dir / ".B").string() + "/"};
        if (c.includeMissing) args.push_back((dir / "missing").string());
        std::ostringstream out, err;
        cli::CliContext context{platform, out, err, false};
        EXPECT_EQ(cli::RunCli(args, context), c.code) << c.date << ": " << err.str();
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
