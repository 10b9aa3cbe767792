// list, test and zip --aes through the command-line companion, checked against 7-Zip.
#include "ArchiveBuilders.h"
#include "CliRunner.h"
#include "PeerGate.h"
#include "TreeSnapshot.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>

namespace velmora {
namespace {

using test::Cli;
using test::CliRun;
using test::MakeArchive;
using test::Maker;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;
namespace fs = std::filesystem;

// Small text, random bytes, an empty file, and one past the writer's whole-file limit so
// the streamed path is encrypted too.
fs::path MakeFolder(const TempDir& dir)
{
    const fs::path base = dir / "src";
    fs::create_directories(base);
    const std::string noise = test::RandomBytes(300000, 3);
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
    VELMORA_SKIP_WITHOUT_PEERS("7zz");
    TempDir dir;
    const fs::path base = MakeFolder(dir);
    const fs::path archive = dir / "aes.zip";
    const std::string password = "Gr\xC3\xBCn 42";
    ASSERT_EQ(Cli({"zip", base.string(), archive.string(), "--password", password, "--aes"}).code, cli::kExitOk);

    const std::string quoted = test::ShellQuote(archive.string());
    EXPECT_EQ(test::RunShell("7zz t " + test::ShellQuote("-p" + password) + " " + quoted).code, 0);
    EXPECT_NE(test::RunShell("7zz t -pwrong " + quoted).code, 0);
    const test::ShellResult by7z = test::RunShell("7zz x -y " + test::ShellQuote("-p" + password) + " " +
                                                  test::ShellQuote("-o" + (dir / "by7z").string()) + " " + quoted);
    ASSERT_EQ(by7z.code, 0) << by7z.output;
    EXPECT_EQ(test::TreeDiff(test::Files(base), test::Files(dir / "by7z")), "");

    const CliRun list = Cli({"list", archive.string(), "--json"});
    EXPECT_EQ(list.code, cli::kExitOk);
    EXPECT_NE(list.out.find("\"name\":\"big.txt\",\"size\":" + std::to_string(fs::file_size(base / "big.txt"))),
              std::string::npos)
        << list.out;
    EXPECT_NE(list.out.find("\"method\":\"Deflate\",\"encryption\":\"AES-256\""), std::string::npos) << list.out;

    const CliRun good = Cli({"test", archive.string(), "--password", password});
    EXPECT_EQ(good.code, cli::kExitOk) << good.err;
    EXPECT_NE(good.out.find("4 entries passed"), std::string::npos) << good.out;
    const CliRun wrong = Cli({"test", archive.string(), "--password", "Gruen 42"});
    EXPECT_EQ(wrong.code, cli::kExitFailed);
    EXPECT_NE(wrong.err.find("wrong or missing password"), std::string::npos) << wrong.err;

    EXPECT_EQ(Cli({"unzip", archive.string(), (dir / "bad").string(), "--password", "nope"}).code, cli::kExitFailed);
    EXPECT_EQ(test::Files(dir / "bad").size(), 0u);
    EXPECT_EQ(Cli({"unzip", archive.string(), (dir / "ours").string(), "--password", password}).code, cli::kExitOk);
    EXPECT_TRUE(ReadFile(base / "big.txt") == ReadFile(dir / "ours" / "big.txt"));

    // Traditional encryption stays the default.
    ASSERT_EQ(Cli({"zip", base.string(), (dir / "zc.zip").string(), "--password", password}).code, cli::kExitOk);
    EXPECT_NE(Cli({"list", (dir / "zc.zip").string()}).out.find("ZipCrypto"), std::string::npos);
    EXPECT_EQ(Cli({"zip", base.string(), (dir / "x.zip").string(), "--aes"}).code, cli::kExitUsage);
}

TEST(MethodCli, TestReportsEveryFaultAndWritesNothing)
{
    VELMORA_SKIP_WITHOUT_PEERS("7zz");
    TempDir dir;
    const fs::path base = MakeFolder(dir);
    ASSERT_EQ(MakeArchive(Maker::SevenZip, base, dir / "bz.zip", {{"small.txt", "big.txt"}, "", "-mm=BZip2"}), "");
    ASSERT_EQ(MakeArchive(Maker::SevenZip, base, dir / "ppmd.zip", {{"small.txt", "noise.bin"}, "", "-mm=PPMd"}), "");
    // small.txt is marked as WavPack, which we do not read.
    std::string wavpack = ReadFile(dir / "ppmd.zip");
    test::SetEntryMethod(wavpack, "small.txt", 97);
    WriteFile(dir / "ppmd.zip", wavpack);
    EXPECT_EQ(Cli({"test", (dir / "bz.zip").string()}).code, cli::kExitOk);

    // A damaged bzip2 block inside big.txt.
    std::string bytes = ReadFile(dir / "bz.zip");
    const std::size_t at = bytes.find("big.txt") + 7 + 40000;
    for (std::size_t i = at; i < at + 16; ++i)
        bytes[i] = static_cast<char>(bytes[i] ^ 0x33);
    WriteFile(dir / "bz.zip", bytes);
    const auto before = fs::last_write_time(dir / "bz.zip");
    const CliRun damaged = Cli({"test", (dir / "bz.zip").string()});
    EXPECT_EQ(damaged.code, cli::kExitFailed);
    EXPECT_NE(damaged.err.find("'big.txt': "), std::string::npos) << damaged.err;
    EXPECT_NE(damaged.out.find("1 entries passed, 1 failed"), std::string::npos) << damaged.out;
    EXPECT_EQ(fs::last_write_time(dir / "bz.zip"), before);

    const CliRun unread = Cli({"test", (dir / "ppmd.zip").string()});
    EXPECT_EQ(unread.code, cli::kExitFailed);
    EXPECT_NE(unread.err.find("'small.txt': method 97 (WavPack) is not supported"), std::string::npos) << unread.err;
    const CliRun unzip = Cli({"unzip", (dir / "ppmd.zip").string(), (dir / "out").string()});
    EXPECT_EQ(unzip.code, cli::kExitFailed);
    EXPECT_NE(unzip.err.find("'small.txt' is compressed with method 97 (WavPack), which is not supported"),
              std::string::npos)
        << unzip.err;
    EXPECT_FALSE(fs::exists(dir / "out" / "small.txt"));
    EXPECT_TRUE(ReadFile(dir / "out" / "noise.bin") == ReadFile(base / "noise.bin"));

    EXPECT_EQ(Cli({"test"}).code, cli::kExitUsage);
    EXPECT_EQ(Cli({"list", (dir / "missing.zip").string()}).code, cli::kExitFailed);
    EXPECT_NE(Cli({"zip", "--help"}).out.find("weak"), std::string::npos);
}

// A mixed text larger than the smallest model memory (1 MiB), so that the model fills up
// and is restarted or cut back several times, beside random bytes, an empty and a
// one-byte file (which 7-Zip stores).
fs::path MakePpmdFolder(const TempDir& dir)
{
    const fs::path base = dir / "src";
    fs::create_directories(base);
    std::mt19937 gen(11);
    const std::string noise = test::RandomBytes(gen, 50000);
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
    VELMORA_SKIP_WITHOUT_PEERS("7zz");
    TempDir dir;
    const fs::path base = MakePpmdFolder(dir);
    const struct {
        const char* name;
        const char* options;
        const char* password;
    } cases[] = {
        {"default", "-mm=PPMd", ""},
        {"fast", "-mx=1 -mm=PPMd", ""},
        {"max", "-mx=9 -mm=PPMd", ""},
        {"restart-1m-o16", "-mm=PPMd:mem=1m:o=16", ""},
        {"cutoff-1m-o4", "-mx=9 -mm=PPMd:mem=1m:o=4", ""},
        {"cutoff-2m-o16", "-mx=7 -mm=PPMd:mem=2m:o=16", ""},
        {"o2", "-mm=PPMd:o=2", ""},
        {"aes256", "-mm=PPMd -mem=AES256", "pw"},
    };
    for (const auto& c : cases) {
        const fs::path archive = dir / (std::string(c.name) + ".zip");
        ASSERT_EQ(MakeArchive(Maker::SevenZip, base, archive, {{}, c.password, c.options}), "") << c.name;
        std::vector<std::string> password;
        if (*c.password) password = {"--password", c.password};
        std::vector<std::string> test = {"test", archive.string()};
        test.insert(test.end(), password.begin(), password.end());
        const CliRun tested = Cli(test);
        EXPECT_EQ(tested.code, cli::kExitOk) << c.name << ": " << tested.err;
        EXPECT_NE(tested.out.find("4 entries passed"), std::string::npos) << c.name << ": " << tested.out;
        const fs::path out = dir / (std::string("out-") + c.name);
        std::vector<std::string> unzip = {"unzip", archive.string(), out.string()};
        unzip.insert(unzip.end(), password.begin(), password.end());
        const CliRun extracted = Cli(unzip);
        EXPECT_EQ(extracted.code, cli::kExitOk) << c.name << ": " << extracted.err;
        EXPECT_EQ(test::TreeDiff(test::Files(base), test::Files(out)), "") << c.name;
    }
    EXPECT_NE(Cli({"list", (dir / "default.zip").string()}).out.find("PPMd"), std::string::npos);
}

// A PPMd entry cut short, or with damaged bytes inside, fails alone and leaves no file;
// the entries beside it are extracted.
TEST(MethodCli, DamagedPpmdEntryFailsAloneAndLeavesNoFile)
{
    VELMORA_SKIP_WITHOUT_PEERS("7zz");
    TempDir dir;
    const fs::path base = MakePpmdFolder(dir);
    ASSERT_EQ(
        MakeArchive(Maker::SevenZip, base, dir / "p.zip", {{"big.txt", "noise.bin"}, "", "-mx=9 -mm=PPMd:mem=1m"}), "");
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
        const CliRun tested = Cli({"test", archive.string()});
        EXPECT_EQ(tested.code, cli::kExitFailed) << c.name;
        EXPECT_NE(tested.err.find("'big.txt': "), std::string::npos) << c.name << ": " << tested.err;
        EXPECT_NE(tested.out.find("1 entries passed, 1 failed"), std::string::npos) << c.name << ": " << tested.out;
        const fs::path out = dir / (std::string("out-") + c.name);
        const CliRun extracted = Cli({"unzip", archive.string(), out.string()});
        EXPECT_EQ(extracted.code, cli::kExitFailed) << c.name;
        EXPECT_NE(extracted.err.find("big.txt"), std::string::npos) << c.name << ": " << extracted.err;
        EXPECT_EQ(test::Files(out).size(), 1u) << c.name;
        EXPECT_TRUE(ReadFile(out / "noise.bin") == ReadFile(base / "noise.bin")) << c.name;
    }
}

} // namespace
} // namespace velmora
