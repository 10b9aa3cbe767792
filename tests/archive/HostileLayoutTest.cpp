// Odd but real layouts that once lost data while the command reported success. Each row
// sets up a sandbox (archives made by the real tools where they exist), runs one
// velmora-cli command in-process and checks the exit status, the message, what the
// target holds afterwards, and that nothing outside the target changed.
#include "CliRunner.h"
#include "HostileLayouts.h"
#include "PeerGate.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

namespace fs = std::filesystem;
using test::Cli;
using test::CliRun;
using test::MakeArchive;
using test::MakeFile;
using test::Maker;
using test::ReadFile;
using test::Snapshot;
using test::TempDir;
using test::Tree;
using test::WriteFile;

// Runs a fixture's shell command in folder; fails the test when it fails.
void Shell(const fs::path& folder, const std::string& command)
{
    const test::ShellResult run = test::RunShell("cd " + test::ShellQuote(folder.string()) + " && " + command);
    ASSERT_EQ(run.code, 0) << command << "\n" << run.output;
}

struct Row {
    const char* name;
    test::Setup setup;
    std::vector<std::string> args; // "{S}" stands for the sandbox
    int code;
    const char* message; // a part of stderr (or stdout on success)
    // The folder the command may change (relative to the sandbox, "." for all of it);
    // "" when nothing at all may change.
    const char* target;
    // What the target holds afterwards; "*" for present and, if it was there, unchanged.
    Tree expected;
};

std::string WithModes(const fs::path& s)
{
    MakeFile(s / "src" / "key", "private", 0600);
    MakeFile(s / "src" / "run.sh", "#!/bin/sh\n", 0755);
    MakeFile(s / "src" / "suid", "s", 04755);
    MakeFile(s / "src" / "priv" / "p.txt", "p", 0640);
    fs::permissions(s / "src" / "priv", static_cast<fs::perms>(0700));
    const std::string made =
        MakeArchive(Maker::InfoZip, s / "src", s / "modes.zip", {{"key", "run.sh", "suid", "priv"}});
    fs::remove_all(s / "src");
    return made;
}

std::vector<Row> Rows()
{
    const auto damagedSecondMember = [](const fs::path& s) {
        const std::string made = test::TwoGzipMembers("first\n", std::string(5000, 'b'))(s);
        test::FlipFromEnd(s / "log.gz", 9, 0x40); // last CRC byte area
        test::FlipFromEnd(s / "log.gz", 20, 0x11);
        return made;
    };
    const Tree twoX{{"a", "dir 0755"}, {"a/x", "file 0644 ax"}, {"b", "dir 0755"}, {"b/x", "file 0644 bx"}};
    const std::string gzipped = std::string(70000, 'a') + "second member\n";
    // clang-format off
    return {
        // A wrong password must not flatten the user's own folder.zip into the target.
        {"wrong password keeps the target's folder.zip", test::ForeignFolderZipInTarget,
         {"restore", "{S}/Q.zip", "{S}/T", "--password", "WRONG"}, 1, "invalid password", "", {}},
        {"wrong password through unzip too", test::ForeignFolderZipInTarget,
         {"unzip", "{S}/Q.zip", "{S}/T", "--password", "WRONG"}, 1, "wrong password", "", {}},
        // A name holding "\" would come back as a folder part: protect refuses, nothing lost.
        {"backslash name makes protect refuse", test::BackslashName,
         {"protect", "{S}/BS", "{S}/BS.zip", "--password", "pw"}, 1, "would not come back unchanged", "", {}},
        // The archive lies in the target: it is read through one handle and never written.
        {"restore into the archive's own folder", test::ProtectedIntoItsOwnFolder,
         {"restore", "{S}/UT/folder.zip", "{S}/UT", "--password", "pw"}, 0, "Archive unzipped.", "UT",
         {{"one.txt", "file 0644 1"}, {"two.txt", "file 0644 2"}, {"folder.zip", "*"}}},
        {"a protected file named like the archive beside it does not replace the archive",
         test::ProtectedFileNamedLikeTheArchive,
         {"restore", "{S}/UT/folder.zip", "{S}/UT", "--password", "pw"}, 1, "the archive being read", "UT",
         {{"one.txt", "file 0644 1"}, {"folder.zip", "*"}}},
        {"an entry named like the archive is refused, the others come out", test::EntryNamedLikeTheArchive,
         {"unzip", "{S}/SD/self.zip", "{S}/SD"}, 1, "the archive being read", "SD", test::TwentyFilesBesideSelfZip()},
        // Modes of archives made on Unix are kept, never widened, never setuid.
        {"host-3 modes from Info-ZIP zip", WithModes, {"unzip", "{S}/modes.zip", "{S}/out"}, 0, "", "out",
         {{"key", "file 0600 private"}, {"run.sh", "file 0755 #!/bin/sh\n"}, {"suid", "file 0755 s"},
          {"priv", "dir 0700"}, {"priv/p.txt", "file 0640 p"}}},
        // Encrypted archives of other tools keep their tree; same names in two folders both come out.
        {"zip -r -P keeps the tree", test::TwoXByZipP, {"unzip", "{S}/enc.zip", "{S}/out", "--password", "secret"}, 0, "", "out",
         twoX},
        {"7-Zip ZipCrypto keeps the tree", test::TwoXBySevenZip,
         {"unzip", "{S}/enc.zip", "{S}/out", "--password", "secret"}, 0, "", "out",
         {{"a", "*"}, {"a/x", "file 0644 ax"}, {"b", "*"}, {"b/x", "file 0644 bx"}}},
        {"restore of an ordinary archive: a clash fails the run, nothing is overwritten", test::TwoXByZipP,
         {"restore", "{S}/enc.zip", "{S}/out", "--password", "secret"}, 1, "already written by another entry", "out",
         {{"x", "file 0644 ax"}}},
        // gzip: every member, all or nothing; never over a read-only file or a link.
        {"gzip of several members gives all of them", test::TwoGzipMembers(std::string(70000, 'a'), "second member\n"),
         {"gunzip", "{S}/log.gz"}, 0, "part1", ".", {{"log.gz", "*"}, {"part1", "file 0644 " + gzipped}}},
        {"gzip with a damaged second member leaves no output", damagedSecondMember, {"gunzip", "{S}/log.gz"}, 1, "",
         "", {}},
        {"gzip never replaces a read-only file", test::ReadOnlyBesideGzip, {"gunzip", "{S}/notes.gz"}, 1, "read-only", "", {}},
        {"gzip never replaces a link", test::LinkBesideGzip, {"gunzip", "{S}/notes.gz"}, 1, "link", "", {}},
    };
    // clang-format on
}

TEST(HostileLayouts, EachRowEndsAsExpectedAndChangesNothingOutsideItsTarget)
{
    VELMORA_REQUIRE_PEERS("zip", "7zz", "gzip");
    for (const Row& row : Rows()) {
        SCOPED_TRACE(row.name);
        TempDir sandbox;
        const fs::path s = sandbox.path();
        const std::string made = row.setup(s);
        ASSERT_TRUE(made.empty()) << made;
        const Tree before = Snapshot(s);
        std::vector<std::string> args;
        for (std::string arg : row.args) {
            if (arg.rfind("{S}", 0) == 0) arg = s.string() + arg.substr(3);
            args.push_back(arg);
        }
        const CliRun run = Cli(args);
        EXPECT_EQ(run.code, row.code) << run.err;
        EXPECT_NE((run.err + run.out).find(row.message), std::string::npos) << run.err << run.out;
        const std::string diff = test::TargetDiff(before, Snapshot(s), row.target, row.expected);
        EXPECT_TRUE(diff.empty()) << diff;
    }
}

// The modes the writer records are understood by the peers: 7-Zip restores them exactly,
// Info-ZIP's unzip all but the execute bits (it does not trust those from an MS-DOS host);
// neither ever makes a file more open than it was.
TEST(HostileLayouts, PeersReadTheRecordedModes)
{
    VELMORA_REQUIRE_PEERS("unzip", "7zz");
    TempDir s;
    MakeFile(s / "F" / "key", "private", 0600);
    MakeFile(s / "F" / "run.sh", "#!/bin/sh\n", 0755);
    MakeFile(s / "F" / "shared.txt", "read", 0644);
    ASSERT_EQ(Cli({"zip", (s / "F").string(), (s / "F.zip").string()}).code, 0);
    Shell(s.path(), "mkdir u && cd u && unzip -q ../F.zip");
    Shell(s.path(), "7zz x -oz F.zip >/dev/null");
    const Tree unzipped = Snapshot(s / "u");
    const Tree sevenZip = Snapshot(s / "z");
    EXPECT_EQ(sevenZip.at("key"), "file 0600 private");
    EXPECT_EQ(sevenZip.at("run.sh"), "file 0755 #!/bin/sh\n");
    EXPECT_EQ(unzipped.at("key"), "file 0600 private");
    EXPECT_EQ(unzipped.at("shared.txt"), "file 0644 read");
    // Back through our own reader: exact.
    ASSERT_EQ(Cli({"unzip", (s / "F.zip").string(), (s / "v").string()}).code, 0);
    EXPECT_EQ(Snapshot(s / "v"), Snapshot(s / "F"));
}

} // namespace
} // namespace velmora
