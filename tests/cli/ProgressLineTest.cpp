// The progress line of long archive runs: what it shows, when, and that it cleans up.
#include "cli/ProgressLine.h"
#include "CliRunner.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace velmora;
using namespace velmora::cli;
using namespace std::chrono_literals;

TEST(ProgressLine, ShowsDoneTotalAndRateOnlyForLongRunsAndClearsItself)
{
    std::ostringstream err;
    auto now = std::chrono::steady_clock::time_point{} + 100s;
    const auto start = now;
    {
        ProgressLine line(err, true, [&] { return now; });
        const ProgressCallback report = line.Callback();
        ASSERT_TRUE(report);
        now = start + 200ms;
        report(100, 1u << 20);
        EXPECT_EQ(err.str(), ""); // a short run shows nothing
        now = start + 2s;
        report(3u << 20, 6u << 20);
        EXPECT_EQ(err.str(), "\r50%  3.0 MiB of 6.0 MiB  1.5 MiB/s");
        now = start + 2s + 50ms;
        report(4u << 20, 6u << 20);
        EXPECT_EQ(err.str(), "\r50%  3.0 MiB of 6.0 MiB  1.5 MiB/s"); // at most ten lines a second
        err.str("");
        now = start + 4s;
        report(6u << 20, 6u << 20);
        EXPECT_EQ(err.str(), "\r100%  6.0 MiB of 6.0 MiB  1.5 MiB/s");
        err.str("");
    }
    // Leaving the scope blanks the widest line shown and returns to its start.
    EXPECT_EQ(err.str(), "\r" + std::string(35, ' ') + "\r");

    std::ostringstream silent;
    ProgressLine off(silent, false, [&] { return now += 10s; });
    EXPECT_FALSE(off.Callback());
    off.Update(1, 2);
    off.Finish();
    EXPECT_EQ(silent.str(), "");

    EXPECT_EQ(ByteText(0), "0 B");
    EXPECT_EQ(ByteText(1023), "1023 B");
    EXPECT_EQ(ByteText(1536), "1.5 KiB");
    EXPECT_EQ(ByteText(5ull << 40), "5.0 TiB");
}

TEST(ProgressLine, QuietIsAcceptedByEveryArchiveCommandAndSilencesIt)
{
    const std::unique_ptr<PlatformBackend> backend = CreateNativePlatform();
    test::TempDir dir;
    std::filesystem::create_directories(dir / "folder");
    test::WriteFile(dir / "folder" / "a.txt", std::string(1000, 'a'));
    const std::string archive = (dir / "a.zip").string();
    const std::vector<std::vector<std::string>> runs = {
        {"zip", "--quiet", (dir / "folder").string(), archive},
        {"unzip", archive, (dir / "out").string(), "--quiet"},
    };
    for (const auto& args : runs) {
        const test::CliRun run = test::Cli(args, backend->Services(), true);
        EXPECT_EQ(run.code, kExitOk) << run.err;
        EXPECT_FALSE(run.progressToTerminal);
        EXPECT_EQ(run.err.find('\r'), std::string::npos) << run.err;
    }
    EXPECT_EQ(test::ReadFile(dir / "out" / "a.txt"), std::string(1000, 'a'));
}
