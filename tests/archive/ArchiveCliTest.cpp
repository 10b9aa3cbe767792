#include "ArchiveResults.h"
#include "CliRunner.h"
#include "PeerGate.h"
#include "archive/zip/ZipReader.h"
#include "cli/CliCommand.h"
#include "common/LanguageText.h"
#include "protect/ProtectRefusals.h"

#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <random>
#include <thread>

namespace velmora {
namespace {

using test::Cli;
using test::CliRun;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

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
        const CliRun run = Cli(c.args);
        EXPECT_EQ(run.code, c.code) << c.args[0] << " " << c.args.back() << ": " << run.err;
    }
    EXPECT_EQ(ReadFile(dir / "out" / "a.txt"), "alpha");
    EXPECT_EQ(test::Listing(zip).entries.at(0).flags & 1, 1);
    test::ExpectPeersAccept(zip, "pw");
}

#if !defined(_WIN32)
// A pipe where an archive should be would keep an open for reading waiting for a writer:
// every command that reads an archive refuses it at once, and a folder too, saying why.
TEST(ArchiveCli, APipeOrAFolderWhereAnArchiveShouldBeIsRefusedAtOnce)
{
    TempDir dir;
    const std::string pipe = (dir / "pipe.zip").string();
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    const std::string folder = dir.path().string();
    const std::vector<std::string> commands[] = {
        {"list", pipe},   {"test", pipe},   {"unzip", pipe, (dir / "out").string()},   {"gunzip", pipe},
        {"list", folder}, {"test", folder}, {"unzip", folder, (dir / "out").string()}, {"gunzip", folder},
    };
    for (const auto& args : commands) {
        const CliRun run = Cli(args);
        EXPECT_EQ(run.code, cli::kExitFailed) << args[0] << " " << args[1];
        const bool isPipe = args[1] == pipe;
        EXPECT_NE(run.err.find(isPipe ? "it is not a regular file" : "it is a folder"), std::string::npos)
            << args[0] << " " << args[1] << ": " << run.err;
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "out"));
}
#endif

// The plain listing keeps its columns ("%14llu %14llu  %-10s %-10s %-19s  name") for sizes
// of many digits, folders, stored and deflated entries, and the total line.
TEST(ArchiveCli, ListRowsKeepTheirColumns)
{
    TempDir dir;
    std::filesystem::create_directories(dir / "f" / "sub" / "empty");
    WriteFile(dir / "f" / "a.txt", "alpha");
    WriteFile(dir / "f" / "sub" / "long.txt", std::string(123456, 'x'));
    std::string noise(70000, '\0');
    std::mt19937 generator(3);
    for (char& c : noise)
        c = static_cast<char>(generator());
    WriteFile(dir / "f" / "sub" / "noise.bin", noise);
    const std::string archive = (dir / "f.zip").string();
    ASSERT_EQ(Cli({"zip", (dir / "f").string(), archive, "--recursive"}).code, cli::kExitOk);

    const Result<ZipListing> listing = ListZipArchive(archive);
    ASSERT_TRUE(listing) << test::FailureText(listing);
    char line[512];
    std::snprintf(line, sizeof line, "%14s %14s  %-10s %-10s %-19s  %s\n", "Size", "Packed", "Method", "Encryption",
                  "Modified", "Name");
    std::string expected = line;
    unsigned long long size = 0;
    unsigned long long packed = 0;
    for (const ZipEntryInfo& e : listing->entries) {
        const std::uint32_t dos = e.dosDateTime;
        std::snprintf(line, sizeof line, "%14llu %14llu  %-10s %-10s %04u-%02u-%02u %02u:%02u:%02u  %s\n",
                      static_cast<unsigned long long>(e.uncompressedSize),
                      static_cast<unsigned long long>(e.compressedSize), e.method == 8 ? "Deflate" : "Stored", "-",
                      1980 + (dos >> 25), (dos >> 21) & 15u, (dos >> 16) & 31u, (dos >> 11) & 31u, (dos >> 5) & 63u,
                      (dos & 31u) * 2, e.name.c_str());
        expected += line;
        size += e.uncompressedSize;
        packed += e.compressedSize;
    }
    std::snprintf(line, sizeof line, "%14llu %14llu  %zu entries\n", size, packed, listing->entries.size());
    expected += line;
    const CliRun plain = Cli({"list", archive});
    EXPECT_EQ(plain.code, cli::kExitOk) << plain.err;
    EXPECT_EQ(plain.out, expected);
    EXPECT_EQ(listing->entries.size(), 5u);
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
    ASSERT_EQ(Cli({"zip", (dir / "f").string(), archive}).code, cli::kExitOk);

    const CliRun plain = Cli({"list", archive});
    EXPECT_EQ(plain.code, cli::kExitOk) << plain.err;
    EXPECT_NE(plain.out.find("  $'a\\nb.txt'\n"), std::string::npos) << plain.out;
    EXPECT_NE(plain.out.find("  $'\\033[31mred'\n"), std::string::npos) << plain.out;
    EXPECT_EQ(plain.out.find('\x1b'), std::string::npos);
    EXPECT_EQ(std::count(plain.out.begin(), plain.out.end(), '\n'), 4); // header, two entries, total

    const CliRun json = Cli({"list", "--json", archive});
    EXPECT_NE(json.out.find("\"name\":\"a\\nb.txt\""), std::string::npos) << json.out;
    EXPECT_NE(json.out.find("\"name\":\"\\u001b[31mred\""), std::string::npos) << json.out;
}

// A real protect ended by kill -9 at several moments (work folder just made, subfolder
// archives being written, the inner archive, the encrypted one): the folder stays whole,
// the work folder it leaves is private, and the next restore or protect beside it
// removes it, so no unencrypted copy survives.
TEST(ArchiveCli, AProtectKilledAtAnyMomentLeavesNoCopyBehind)
{
    const std::string cli = test::BuiltCli().string();
    TempDir dir;
    std::mt19937 generator(7);
    std::filesystem::create_directories(dir / "G");
    for (const char* sub : {"a", "b", "c"}) {
        std::filesystem::create_directories(dir / "F" / sub);
        WriteFile(dir / "F" / sub / "data.bin", test::RandomBytes(generator, 2u << 20));
    }
    WriteFile(dir / "F" / "top.txt", "top");
    WriteFile(dir / "G" / "g.txt", "g");
    // The built program, run to its end: exit code and standard error.
    const auto run = [&](const std::vector<std::string>& args) { return test::RunBuiltCli(args, dir / "err.txt"); };
    const CliRun first = run({"protect", (dir / "G").string(), (dir / "G.zip").string(), "--password", "pw"});
    ASSERT_EQ(first.code, cli::kExitOk) << first.err;

    const auto workFolders = [&] {
        std::vector<std::filesystem::path> found;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
            if (entry.path().filename().string().rfind(".F.zip.protect-", 0) == 0) found.push_back(entry.path());
        }
        return found;
    };
    const auto holds = [](const std::filesystem::path& folder, const char* sub) {
        std::error_code ec;
        return std::filesystem::exists(folder / sub, ec) && !std::filesystem::is_empty(folder / sub, ec);
    };
    // Each moment: when to kill, seen from outside in the newest work folder.
    const std::vector<std::function<bool(const std::filesystem::path&)>> moments = {
        [](const std::filesystem::path&) { return true; },
        [&](const std::filesystem::path& w) { return holds(w, "nested"); },
        [&](const std::filesystem::path& w) { return holds(w, "inner"); },
        [&](const std::filesystem::path& w) { return holds(w, "outer"); },
    };
    const auto killAt = [&](const std::function<bool(const std::filesystem::path&)>& moment) {
        const std::vector<std::filesystem::path> before = workFolders();
        const pid_t child = fork();
        if (child == 0) {
            const int devNull = open("/dev/null", O_WRONLY);
            dup2(devNull, 1);
            dup2(devNull, 2);
            execl(cli.c_str(), cli.c_str(), "protect", (dir / "F").c_str(), (dir / "F.zip").c_str(), "--password", "pw",
                  static_cast<char*>(nullptr));
            _exit(127);
        }
        bool hit = false;
        for (int i = 0; i < 20000 && !hit; ++i) {
            for (const std::filesystem::path& w : workFolders()) {
                if (std::find(before.begin(), before.end(), w) == before.end() && moment(w)) hit = true;
            }
            if (!hit) std::this_thread::sleep_for(std::chrono::microseconds(200));
            if (waitpid(child, nullptr, WNOHANG) == child) break; // finished before the moment
        }
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        return hit;
    };

    for (std::size_t m = 0; m < moments.size(); ++m) {
        SCOPED_TRACE("moment " + std::to_string(m));
        ASSERT_TRUE(killAt(moments[m]));
        EXPECT_EQ(test::ReadFile(dir / "F" / "top.txt"), "top"); // the folder is whole
        for (const std::filesystem::path& w : workFolders()) {
            struct stat st {};
            ASSERT_EQ(lstat(w.c_str(), &st), 0);
            EXPECT_EQ(st.st_mode & 07777, 0700u) << w;
        }
        if (m == 2) {
            // A restore beside them removes them.
            const CliRun restored =
                run({"restore", (dir / "G.zip").string(), (dir / "R").string(), "--password", "pw"});
            EXPECT_EQ(restored.code, cli::kExitOk) << restored.err;
            EXPECT_TRUE(workFolders().empty());
        }
    }
    EXPECT_FALSE(workFolders().empty());
    const CliRun done = run({"protect", (dir / "F").string(), (dir / "F.zip").string(), "--password", "pw"});
    EXPECT_EQ(done.code, cli::kExitOk) << done.err;
    EXPECT_TRUE(workFolders().empty());
}

// Refusals of a protect request name their reason below the system's own text.
TEST(ArchiveCli, ProtectRefusalsSayWhy)
{
    TempDir dir;
    std::filesystem::create_directories(dir / "F");
    WriteFile(dir / "F" / "one.txt", "one");
    std::filesystem::create_directory_symlink(dir / "F", dir / "L");
    const std::string head = "velmora-cli protect: Foldewr not found or invalid output name!\nvelmora-cli protect: ";
    const struct {
        std::string folder, archive, reason;
    } cases[] = {
        {(dir / "F").string(), (dir / "F" / "in.zip").string(), "The archive would lie inside the folder it replaces."},
        {(dir / "L").string(), (dir / "L.zip").string(), "The folder is a symbolic link; links are not followed."},
        {(dir / "none").string(), (dir / "none.zip").string(), "The folder does not exist."},
        {(dir / "F" / "one.txt").string(), (dir / "one.zip").string(), "The path is not a folder."},
    };
    for (const auto& c : cases) {
        const CliRun run = Cli({"protect", c.folder, c.archive, "--password", "pw"});
        EXPECT_EQ(run.code, cli::kExitFailed) << c.folder;
        EXPECT_EQ(run.err, head + c.reason + "\n");
    }
    EXPECT_EQ(InvalidProtectReason(dir / "F", dir / "F" / "x.zip", kGerman),
              "Das Archiv läge in dem Ordner, den es ersetzt.");
    EXPECT_EQ(InvalidProtectReason(dir / "L", dir / "L.zip", kGerman),
              "Der Ordner ist eine symbolische Verknüpfung; Verknüpfungen werden nicht verfolgt.");
    EXPECT_EQ(InvalidProtectReason(dir / "F", dir / "F.zip", kEnglish), "");
    EXPECT_TRUE(std::filesystem::exists(dir / "F" / "one.txt"));
}
#endif

} // namespace
} // namespace velmora
