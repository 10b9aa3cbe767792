// list, test and zip --aes through the command-line companion, checked against 7-Zip.
#include "ArchiveTestSupport.h"
#include "FakePlatform.h"
#include "cli/CliCommand.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
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
    // small.txt is marked as WavPack, which we do not read.
    std::string wavpack = ReadFile(dir / "ppmd.zip");
    test::ForEachEntry(wavpack, [&](const std::string& name, std::size_t central, std::size_t local) {
        if (name != "small.txt") return;
        test::PutLe16(wavpack, central + 10, 97);
        test::PutLe16(wavpack, local + 8, 97);
    });
    WriteFile(dir / "ppmd.zip", wavpack);
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

    const CliRun unread = RunArgs({"test", (dir / "ppmd.zip").string()});
    EXPECT_EQ(unread.code, cli::kExitFailed);
    EXPECT_NE(unread.err.find("'small.txt': method 97 (WavPack) is not supported"), std::string::npos) << unread.err;
    const CliRun unzip = RunArgs({"unzip", (dir / "ppmd.zip").string(), (dir / "out").string()});
    EXPECT_EQ(unzip.code, cli::kExitFailed);
    EXPECT_NE(unzip.err.find("'small.txt' is compressed with method 97 (WavPack), which is not supported"),
              std::string::npos)
        << unzip.err;
    EXPECT_FALSE(fs::exists(dir / "out" / "small.txt"));
    EXPECT_TRUE(ReadFile(dir / "out" / "noise.bin") == ReadFile(base / "noise.bin"));

    EXPECT_EQ(RunArgs({"test"}).code, cli::kExitUsage);
    EXPECT_EQ(RunArgs({"list", (dir / "missing.zip").string()}).code, cli::kExitFailed);
    EXPECT_NE(RunArgs({"zip", "--help"}).out.find("weak"), std::string::npos);
}

// A mixed text larger than the smallest model memory (1 MiB), so that the model fills up
// and is restarted or cut back several times, beside random bytes, an empty and a
// one-byte file (which 7-Zip stores).
fs::path MakePpmdFolder(const TempDir& dir)
{
    const fs::path base = dir / "src";
    fs::create_directories(base);
    std::mt19937 gen(11);
    std::string noise(50000, '\0');
    for (char& c : noise)
        c = static_cast<char>(gen());
    std::string text;
    const std::string words[] = {"model ", "order ", "context\n", "escape, ", "symbol; ", "Velmora "};
    while (text.size() < (3u << 20) / 2) {
        text += words[gen() % 6];
        if (gen() % 500 == 0) text += std::to_string(gen()) + noise.substr(gen() % 40000, 300);
    }
    WriteFile(base / "big.txt", text);
    WriteFile(base / "noise.bin", noise);
    WriteFile(base / "empty.txt", "");
    WriteFile(base / "one.txt", "v");
    return base;
}

TEST(MethodCli, SevenZipPpmdArchivesExtractAndTestByteIdentical)
{
    if (!Have("7zz")) GTEST_SKIP() << "7zz is missing";
    TempDir dir;
    const fs::path base = MakePpmdFolder(dir);
    const struct {
        const char* name;
        const char* options;
    } cases[] = {
        {"default", "-mm=PPMd"},
        {"fast", "-mx=1 -mm=PPMd"},
        {"max", "-mx=9 -mm=PPMd"},
        {"restart-1m-o16", "-mm=PPMd:mem=1m:o=16"},
        {"cutoff-1m-o4", "-mx=9 -mm=PPMd:mem=1m:o=4"},
        {"cutoff-2m-o16", "-mx=7 -mm=PPMd:mem=2m:o=16"},
        {"o2", "-mm=PPMd:o=2"},
        {"aes256", "-mm=PPMd -mem=AES256 -ppw"},
    };
    for (const auto& c : cases) {
        const fs::path archive = dir / (std::string(c.name) + ".zip");
        ASSERT_EQ(Shell("cd " + Quote(base) + " && 7zz a -tzip " + c.options + " " + Quote(archive) + " ."), 0)
            << c.name;
        std::vector<std::string> password;
        if (std::string(c.options).find("-ppw") != std::string::npos) password = {"--password", "pw"};
        std::vector<std::string> test = {"test", archive.string()};
        test.insert(test.end(), password.begin(), password.end());
        const CliRun tested = RunArgs(test);
        EXPECT_EQ(tested.code, cli::kExitOk) << c.name << ": " << tested.err;
        EXPECT_NE(tested.out.find("4 entries passed"), std::string::npos) << c.name << ": " << tested.out;
        const fs::path out = dir / (std::string("out-") + c.name);
        std::vector<std::string> unzip = {"unzip", archive.string(), out.string()};
        unzip.insert(unzip.end(), password.begin(), password.end());
        const CliRun extracted = RunArgs(unzip);
        EXPECT_EQ(extracted.code, cli::kExitOk) << c.name << ": " << extracted.err;
        for (const char* name : {"big.txt", "noise.bin", "empty.txt", "one.txt"}) {
            EXPECT_TRUE(ReadFile(base / name) == ReadFile(out / name)) << c.name << ": " << name;
        }
    }
    EXPECT_NE(RunArgs({"list", (dir / "default.zip").string()}).out.find("PPMd"), std::string::npos);
}

// A PPMd entry cut short, or with damaged bytes inside, fails alone and leaves no file;
// the entries beside it are extracted.
TEST(MethodCli, DamagedPpmdEntryFailsAloneAndLeavesNoFile)
{
    if (!Have("7zz")) GTEST_SKIP() << "7zz is missing";
    TempDir dir;
    const fs::path base = MakePpmdFolder(dir);
    ASSERT_EQ(Shell("cd " + Quote(base) + " && 7zz a -tzip -mx=9 -mm=PPMd:mem=1m ../p.zip big.txt noise.bin"), 0);
    const std::string original = ReadFile(dir / "p.zip");
    const struct {
        const char* name;
        std::function<void(std::string&, std::size_t, std::size_t)> damage;
    } cases[] = {
        {"truncated",
         [](std::string& zip, std::size_t central, std::size_t local) {
             const std::uint32_t half = test::Le32(zip, central + 20) / 2;
             test::PutLe32(zip, central + 20, half);
             test::PutLe32(zip, local + 18, half);
         }},
        {"flipped",
         [](std::string& zip, std::size_t, std::size_t local) {
             const std::size_t data = local + 30 + test::Le16(zip, local + 26) + test::Le16(zip, local + 28);
             for (std::size_t i = data + 20000; i < data + 20008; ++i)
                 zip[i] = static_cast<char>(zip[i] ^ 0x5A);
         }},
        {"parameters",
         [](std::string& zip, std::size_t, std::size_t local) {
             // Restoration method 3 does not exist.
             const std::size_t data = local + 30 + test::Le16(zip, local + 26) + test::Le16(zip, local + 28);
             zip[data + 1] = static_cast<char>(zip[data + 1] | 0x30);
         }},
    };
    for (const auto& c : cases) {
        std::string bytes = original;
        test::ForEachEntry(bytes, [&](const std::string& name, std::size_t central, std::size_t local) {
            if (name == "big.txt") c.damage(bytes, central, local);
        });
        const fs::path archive = dir / (std::string(c.name) + ".zip");
        WriteFile(archive, bytes);
        const CliRun tested = RunArgs({"test", archive.string()});
        EXPECT_EQ(tested.code, cli::kExitFailed) << c.name;
        EXPECT_NE(tested.err.find("'big.txt': "), std::string::npos) << c.name << ": " << tested.err;
        EXPECT_NE(tested.out.find("1 entries passed, 1 failed"), std::string::npos) << c.name << ": " << tested.out;
        const fs::path out = dir / (std::string("out-") + c.name);
        const CliRun extracted = RunArgs({"unzip", archive.string(), out.string()});
        EXPECT_EQ(extracted.code, cli::kExitFailed) << c.name;
        EXPECT_NE(extracted.err.find("big.txt"), std::string::npos) << c.name << ": " << extracted.err;
        EXPECT_EQ(FileCount(out), 1u) << c.name;
        EXPECT_TRUE(ReadFile(out / "noise.bin") == ReadFile(base / "noise.bin")) << c.name;
    }
}

} // namespace
} // namespace velmora
