#include "ArchiveTestSupport.h"
#include "FakePlatform.h"
#include "PeerGate.h"
#include "archive/ZipReader.h"
#include "cli/CliCommand.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <sstream>

namespace velmora {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

struct CliRun {
    int code;
    std::string out;
    std::string err;
};

CliRun RunArgs(const std::vector<std::string>& args)
{
    test::CountingRandom random;
    test::FakePlatform platform;
    platform.random = &random;
    std::ostringstream out, err;
    cli::CliContext context{platform, out, err, false};
    const int code = cli::RunCli(args, context);
    return {code, out.str(), err.str()};
}

TEST(ArchiveCli, ZipUnzipAndGunzipExitCodes)
{
    TempDir dir;
    const std::string folder = (dir / "f").string();
    std::filesystem::create_directories(folder);
    WriteFile(dir / "f" / "a.txt", "alpha");
    const std::string zip = (dir / "a.zip").string();
    struct Case {
        std::vector<std::string> args;
        int code;
    } cases[] = {
        {{"zip", folder}, cli::kExitUsage},
        {{"zip", folder, zip, "--bogus"}, cli::kExitUsage},
        {{"zip", folder, (dir / "a.tar").string()}, cli::kExitFailed},
        {{"zip", folder, zip}, cli::kExitOk},
        {{"zip", folder, zip}, cli::kExitFailed}, // exists, no --overwrite
        {{"zip", folder, zip, "--overwrite", "--password", "pw"}, cli::kExitOk},
        {{"unzip", zip, (dir / "plain").string()}, cli::kExitFailed}, // encrypted needs the password
        {{"unzip", zip, (dir / "out").string(), "--password", "pw"}, cli::kExitOk},
        {{"unzip", (dir / "missing.zip").string(), (dir / "x").string()}, cli::kExitFailed},
        {{"gunzip"}, cli::kExitUsage},
        {{"gunzip", zip}, cli::kExitFailed},
    };
    for (const Case& c : cases) {
        const CliRun run = RunArgs(c.args);
        EXPECT_EQ(run.code, c.code) << c.args[0] << " " << c.args.back() << ": " << run.err;
    }
    EXPECT_EQ(ReadFile(dir / "out" / "a.txt"), "alpha");
    EXPECT_EQ(ListZipArchive(zip).entries.at(0).flags & 1, 1);
    test::ExpectPeersAccept(zip, "pw");
}

#if !defined(_WIN32) // such names cannot exist on Windows
// Entry names with a newline or a terminal escape: quoted in the plain listing, one
// line per entry; exact (JSON-escaped) in --json.
TEST(ArchiveCli, ListQuotesControlCharactersInPlainTextOnly)
{
    TempDir dir;
    std::filesystem::create_directories(dir / "f");
    WriteFile(dir / "f" / "a\nb.txt", "1");
    WriteFile(dir / "f" / "\x1b[31mred", "2");
    const std::string archive = (dir / "f.zip").string();
    ASSERT_EQ(RunArgs({"zip", (dir / "f").string(), archive}).code, cli::kExitOk);

    const CliRun plain = RunArgs({"list", archive});
    EXPECT_EQ(plain.code, cli::kExitOk) << plain.err;
    EXPECT_NE(plain.out.find("  $'a\\nb.txt'\n"), std::string::npos) << plain.out;
    EXPECT_NE(plain.out.find("  $'\\033[31mred'\n"), std::string::npos) << plain.out;
    EXPECT_EQ(plain.out.find('\x1b'), std::string::npos);
    EXPECT_EQ(std::count(plain.out.begin(), plain.out.end(), '\n'), 4); // header, two entries, total

    const CliRun json = RunArgs({"list", "--json", archive});
    EXPECT_NE(json.out.find("\"name\":\"a\\nb.txt\""), std::string::npos) << json.out;
    EXPECT_NE(json.out.find("\"name\":\"\\u001b[31mred\""), std::string::npos) << json.out;
}
#endif

} // namespace
} // namespace velmora
