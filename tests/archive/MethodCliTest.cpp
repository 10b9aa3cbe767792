// list, test and zip --aes through the command-line companion, checked against 7-Zip.
#include "ArchiveTestSupport.h"
#include "FakePlatform.h"
#include "cli/CliCommand.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <sstream>

namespace velmora {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;
namespace fs = std::filesystem;

struct CliRun {
    int code;
    std::string out;
    std::string err;
};

CliRun RunArgs(const std::vector<std::string>& args)
{
    test::FakePlatform platform;
    std::ostringstream out, err;
    cli::CliContext context{platform, out, err, false};
    const int code = cli::RunCli(args, context);
    return {code, out.str(), err.str()};
}

bool Have(const std::string& tool)
{
    return std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0;
}

int Shell(const std::string& command)
{
    return std::system((command + " >/dev/null 2>&1").c_str());
}

std::string Quote(const fs::path& p)
{
    return "'" + p.string() + "'";
}

std::size_t FileCount(const fs::path& folder)
{
    std::size_t n = 0;
    std::error_code ec;
    for (const auto& e : fs::recursive_directory_iterator(folder, ec))
        n += !e.is_directory();
    return n;
}

// Small text, random bytes, an empty file, and one past the writer's whole-file limit so
// the streamed path is encrypted too.
fs::path MakeFolder(const TempDir& dir)
{
    const fs::path base = dir / "src";
    fs::create_directories(base);
    std::mt19937 gen(3);
    std::string noise(300000, '\0');
    for (char& c : noise)
        c = static_cast<char>(gen());
    std::string big;
    while (big.size() < (6u << 20))
        big += "line " + std::to_string(big.size() % 9973) + " of a large text\n";
    WriteFile(base / "small.txt", "velmora velmora velmora velmora\n");
    WriteFile(base / "noise.bin", noise);
    WriteFile(base / "empty.txt", "");
    WriteFile(base / "big.txt", big);
    return base;
}

TEST(MethodCli, ZipWithAesOpensInSevenZipAndOnlyWithThePassword)
{
    if (!Have("7zz")) GTEST_SKIP() << "7zz is missing";
    TempDir dir;
    const fs::path base = MakeFolder(dir);
    const fs::path archive = dir / "aes.zip";
    const std::string password = "Gr\xC3\xBCn 42";
    ASSERT_EQ(RunArgs({"zip", base.string(), archive.string(), "--password", password, "--aes"}).code, cli::kExitOk);

    EXPECT_EQ(Shell("7zz t " + Quote("-p" + password) + " " + Quote(archive)), 0);
    EXPECT_NE(Shell("7zz t -pwrong " + Quote(archive)), 0);
    ASSERT_EQ(Shell("7zz x -y " + Quote("-p" + password) + " -o" + Quote(dir / "by7z") + " " + Quote(archive)), 0);
    for (const char* name : {"small.txt", "noise.bin", "empty.txt", "big.txt"}) {
        EXPECT_TRUE(ReadFile(base / name) == ReadFile(dir / "by7z" / name)) << name;
    }

    const CliRun list = RunArgs({"list", archive.string(), "--json"});
    EXPECT_EQ(list.code, cli::kExitOk);
    EXPECT_NE(list.out.find("\"name\":\"big.txt\",\"size\":" + std::to_string(fs::file_size(base / "big.txt"))),
              std::string::npos)
        << list.out;
    EXPECT_NE(list.out.find("\"method\":\"Deflate\",\"encryption\":\"AES-256\""), std::string::npos) << list.out;

    const CliRun good = RunArgs({"test", archive.string(), "--password", password});
    EXPECT_EQ(good.code, cli::kExitOk) << good.err;
    EXPECT_NE(good.out.find("4 entries passed"), std::string::npos) << good.out;
    const CliRun wrong = RunArgs({"test", archive.string(), "--password", "Gruen 42"});
    EXPECT_EQ(wrong.code, cli::kExitFailed);
    EXPECT_NE(wrong.err.find("wrong or missing password"), std::string::npos) << wrong.err;

    EXPECT_EQ(RunArgs({"unzip", archive.string(), (dir / "bad").string(), "--password", "nope"}).code,
              cli::kExitFailed);
    EXPECT_EQ(FileCount(dir / "bad"), 0u);
    EXPECT_EQ(RunArgs({"unzip", archive.string(), (dir / "ours").string(), "--password", password}).code, cli::kExitOk);
    EXPECT_TRUE(ReadFile(base / "big.txt") == ReadFile(dir / "ours" / "big.txt"));

    // Traditional encryption stays the default.
    ASSERT_EQ(RunArgs({"zip", base.string(), (dir / "zc.zip").string(), "--password", password}).code, cli::kExitOk);
    EXPECT_NE(RunArgs({"list", (dir / "zc.zip").string()}).out.find("ZipCrypto"), std::string::npos);
    EXPECT_EQ(RunArgs({"zip", base.string(), (dir / "x.zip").string(), "--aes"}).code, cli::kExitUsage);
}

TEST(MethodCli, TestReportsEveryFaultAndWritesNothing)
{
    if (!Have("7zz")) GTEST_SKIP() << "7zz is missing";
    TempDir dir;
    const fs::path base = MakeFolder(dir);
    ASSERT_EQ(Shell("cd " + Quote(base) + " && 7zz a -tzip -mm=BZip2 ../bz.zip small.txt big.txt"), 0);
    ASSERT_EQ(Shell("cd " + Quote(base) + " && 7zz a -tzip -mm=PPMd ../ppmd.zip small.txt noise.bin"), 0);
    EXPECT_EQ(RunArgs({"test", (dir / "bz.zip").string()}).code, cli::kExitOk);

    // A damaged bzip2 block inside big.txt.
    std::string bytes = ReadFile(dir / "bz.zip");
    const std::size_t at = bytes.find("big.txt") + 7 + 40000;
    for (std::size_t i = at; i < at + 16; ++i)
        bytes[i] = static_cast<char>(bytes[i] ^ 0x33);
    WriteFile(dir / "bz.zip", bytes);
    const auto before = fs::last_write_time(dir / "bz.zip");
    const CliRun damaged = RunArgs({"test", (dir / "bz.zip").string()});
    EXPECT_EQ(damaged.code, cli::kExitFailed);
    EXPECT_NE(damaged.err.find("'big.txt': "), std::string::npos) << damaged.err;
    EXPECT_NE(damaged.out.find("1 entries passed, 1 failed"), std::string::npos) << damaged.out;
    EXPECT_EQ(fs::last_write_time(dir / "bz.zip"), before);

    const CliRun ppmd = RunArgs({"test", (dir / "ppmd.zip").string()});
    EXPECT_EQ(ppmd.code, cli::kExitFailed);
    EXPECT_NE(ppmd.err.find("'small.txt': method 98 (PPMd) is not supported"), std::string::npos) << ppmd.err;
    const CliRun unzip = RunArgs({"unzip", (dir / "ppmd.zip").string(), (dir / "out").string()});
    EXPECT_EQ(unzip.code, cli::kExitFailed);
    EXPECT_NE(unzip.err.find("'small.txt' is compressed with method 98 (PPMd), which is not supported"),
              std::string::npos)
        << unzip.err;
    EXPECT_FALSE(fs::exists(dir / "out" / "small.txt"));
    EXPECT_TRUE(ReadFile(dir / "out" / "noise.bin") == ReadFile(base / "noise.bin"));

    EXPECT_EQ(RunArgs({"test"}).code, cli::kExitUsage);
    EXPECT_EQ(RunArgs({"list", (dir / "missing.zip").string()}).code, cli::kExitFailed);
    EXPECT_NE(RunArgs({"zip", "--help"}).out.find("weak"), std::string::npos);
}

} // namespace
} // namespace velmora
