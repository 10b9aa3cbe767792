// Odd but real layouts that once lost data while the command reported success. Each row
// sets up a sandbox (archives made by the real tools where they exist), runs one
// velmora-cli command in-process and checks the exit status, the message, what the
// target holds afterwards, and that nothing outside the target changed.
#include "ArchiveTestSupport.h"
#include "FakePlatform.h"
#include "TreeSnapshot.h"
#include "cli/CliCommand.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <map>
#include <sstream>

namespace velmora {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

struct CliRun {
    int code;
    std::string out;
    std::string err;
};

CliRun Cli(const std::vector<std::string>& args)
{
    test::CountingRandom random;
    test::FakePlatform platform;
    platform.random = &random;
    std::ostringstream out, err;
    cli::CliContext context{platform, out, err, false};
    const int code = cli::RunCli(args, context);
    return {code, out.str(), err.str()};
}

void Shell(const std::string& command)
{
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

std::string Q(const fs::path& path)
{
    return "'" + path.string() + "'";
}

void RequireTools(std::initializer_list<const char*> tools)
{
    for (const char* tool : tools) {
        ASSERT_EQ(std::system(("command -v " + std::string(tool) + " >/dev/null").c_str()), 0)
            << tool << " is needed by this test and is missing";
    }
}

using test::Inside;
using test::MakeFile;
using test::Outside;
using test::Snapshot;
using test::Tree;

struct Row {
    const char* name;
    std::function<void(const fs::path& s)> setup;
    std::vector<std::string> args; // "{S}" stands for the sandbox
    int code;
    const char* message; // a part of stderr (or stdout on success)
    const char* target;  // the folder the command may change (relative to the sandbox)
    // What the target holds afterwards; empty map with keepTarget: exactly what it held before.
    bool keepTarget;
    Tree expected;
};

const std::string kTwoX = "a/x.txt and b/x.txt";

std::vector<Row> Rows()
{
    std::vector<Row> rows;
    // 1. A wrong password must not flatten the user's own folder.zip into the target.
    rows.push_back(
        {"wrong password keeps the target's folder.zip",
         [](const fs::path& s) {
             MakeFile(s / "Q" / "q.txt", "q");
             ASSERT_EQ(Cli({"protect", (s / "Q").string(), (s / "Q.zip").string(), "--password", "right"}).code, 0);
             MakeFile(s / "src" / "a" / "x.txt", "ax");
             MakeFile(s / "src" / "b" / "x.txt", "bx");
             fs::create_directories(s / "T");
             Shell("cd " + Q(s / "src") + " && zip -qr ../T/folder.zip a b");
             fs::remove_all(s / "src");
         },
         {"restore", "{S}/Q.zip", "{S}/T", "--password", "WRONG"},
         1,
         "invalid password",
         "T",
         true,
         {}});
    rows.push_back({"wrong password through unzip too",
                    rows.back().setup,
                    {"unzip", "{S}/Q.zip", "{S}/T", "--password", "WRONG"},
                    1,
                    "wrong password",
                    "T",
                    true,
                    {}});
    // 2. A name holding "\" would come back as a folder part: protect refuses, nothing lost.
    rows.push_back({"backslash name makes protect refuse",
                    [](const fs::path& s) {
                        MakeFile(s / "BS" / "x\\y.txt", "xy");
                        MakeFile(s / "BS" / "y.txt", "y");
                    },
                    {"protect", "{S}/BS", "{S}/BS.zip", "--password", "pw"},
                    1,
                    "would not come back unchanged",
                    "none",
                    true,
                    {}});
    // 3. The archive lies in the target: it is read through one handle and never written.
    rows.push_back(
        {"restore into the archive's own folder",
         [](const fs::path& s) {
             MakeFile(s / "Q2" / "one.txt", "1");
             MakeFile(s / "Q2" / "two.txt", "2");
             fs::create_directories(s / "UT");
             ASSERT_EQ(
                 Cli({"protect", (s / "Q2").string(), (s / "UT" / "folder.zip").string(), "--password", "pw"}).code, 0);
         },
         {"restore", "{S}/UT/folder.zip", "{S}/UT", "--password", "pw"},
         0,
         "Archive unzipped.",
         "UT",
         false,
         {{"one.txt", "file 0644 1"}, {"two.txt", "file 0644 2"}, {"folder.zip", "*"}}});
    rows.push_back(
        {"a protected file named like the archive beside it does not replace the archive",
         [](const fs::path& s) {
             MakeFile(s / "Q3" / "one.txt", "1");
             MakeFile(s / "Q3" / "folder.zip", "my own file");
             fs::create_directories(s / "UT");
             ASSERT_EQ(
                 Cli({"protect", (s / "Q3").string(), (s / "UT" / "folder.zip").string(), "--password", "pw"}).code, 0);
         },
         {"restore", "{S}/UT/folder.zip", "{S}/UT", "--password", "pw"},
         1,
         "the archive being read",
         "UT",
         false,
         {{"one.txt", "file 0644 1"}, {"folder.zip", "*"}}});
    rows.push_back({"an entry named like the archive is refused, the others come out",
                    [](const fs::path& s) {
                        fs::create_directories(s / "src");
                        std::string list;
                        for (int i = 0; i < 20; ++i) {
                            MakeFile(s / "src" / ("f" + std::to_string(i) + ".txt"), std::to_string(i));
                            list += " f" + std::to_string(i) + ".txt";
                        }
                        MakeFile(s / "src" / "self.zip", "inner bytes");
                        fs::create_directories(s / "SD");
                        Shell("cd " + Q(s / "src") + " && zip -q ../SD/self.zip self.zip" + list);
                        fs::remove_all(s / "src");
                    },
                    {"unzip", "{S}/SD/self.zip", "{S}/SD"},
                    1,
                    "the archive being read",
                    "SD",
                    false,
                    [] {
                        Tree t{{"self.zip", "*"}};
                        for (int i = 0; i < 20; ++i)
                            t["f" + std::to_string(i) + ".txt"] = "file 0644 " + std::to_string(i);
                        return t;
                    }()});
    // 4. Modes of archives made on Unix are kept, never widened, never setuid.
    rows.push_back({"host-3 modes from Info-ZIP zip",
                    [](const fs::path& s) {
                        MakeFile(s / "src" / "key", "private", 0600);
                        MakeFile(s / "src" / "run.sh", "#!/bin/sh\n", 0755);
                        MakeFile(s / "src" / "suid", "s", 04755);
                        fs::create_directories(s / "src" / "priv");
                        MakeFile(s / "src" / "priv" / "p.txt", "p", 0640);
                        fs::permissions(s / "src" / "priv", static_cast<fs::perms>(0700));
                        Shell("cd " + Q(s / "src") + " && zip -qr ../modes.zip key run.sh suid priv");
                        fs::remove_all(s / "src");
                    },
                    {"unzip", "{S}/modes.zip", "{S}/out"},
                    0,
                    "",
                    "out",
                    false,
                    {{"key", "file 0600 private"},
                     {"run.sh", "file 0755 #!/bin/sh\n"},
                     {"suid", "file 0755 s"},
                     {"priv", "dir 0700"},
                     {"priv/p.txt", "file 0640 p"}}});
    // 5. Encrypted archives of other tools keep their tree; same names in two folders both come out.
    rows.push_back({"zip -r -P keeps the tree",
                    [](const fs::path& s) {
                        MakeFile(s / "src" / "a" / "x", "ax");
                        MakeFile(s / "src" / "b" / "x", "bx");
                        Shell("cd " + Q(s / "src") + " && zip -qr -P secret ../enc.zip a b");
                        fs::remove_all(s / "src");
                    },
                    {"unzip", "{S}/enc.zip", "{S}/out", "--password", "secret"},
                    0,
                    "",
                    "out",
                    false,
                    {{"a", "dir 0755"}, {"a/x", "file 0644 ax"}, {"b", "dir 0755"}, {"b/x", "file 0644 bx"}}});
    rows.push_back({"7-Zip ZipCrypto keeps the tree",
                    [](const fs::path& s) {
                        MakeFile(s / "src" / "a" / "x", "ax");
                        MakeFile(s / "src" / "b" / "x", "bx");
                        Shell("cd " + Q(s / "src") +
                              " && 7zz a -tzip -mem=ZipCrypto -psecret ../enc.zip a b >/dev/null");
                        fs::remove_all(s / "src");
                    },
                    {"unzip", "{S}/enc.zip", "{S}/out", "--password", "secret"},
                    0,
                    "",
                    "out",
                    false,
                    {{"a", "*"}, {"a/x", "file 0644 ax"}, {"b", "*"}, {"b/x", "file 0644 bx"}}});
    rows.push_back({"restore of an ordinary archive: a clash fails the run, nothing is overwritten",
                    [](const fs::path& s) {
                        MakeFile(s / "src" / "a" / "x", "ax");
                        MakeFile(s / "src" / "b" / "x", "bx");
                        Shell("cd " + Q(s / "src") + " && zip -qr -P secret ../enc.zip a b");
                        fs::remove_all(s / "src");
                    },
                    {"restore", "{S}/enc.zip", "{S}/out", "--password", "secret"},
                    1,
                    "already written by another entry",
                    "out",
                    false,
                    {{"x", "file 0644 ax"}}});
    // 6. gzip: every member, all or nothing; never over a read-only file or a link.
    rows.push_back({"gzip of several members gives all of them",
                    [](const fs::path& s) {
                        MakeFile(s / "part1", std::string(70000, 'a'));
                        MakeFile(s / "part2", "second member\n");
                        Shell("cd " + Q(s) + " && gzip -c part1 > log.gz && gzip -c part2 >> log.gz && rm part1 part2");
                    },
                    {"gunzip", "{S}/log.gz"},
                    0,
                    "part1",
                    ".",
                    false,
                    {{"log.gz", "*"}, {"part1", "file 0644 " + std::string(70000, 'a') + "second member\n"}}});
    rows.push_back({"gzip with a damaged second member leaves no output",
                    [](const fs::path& s) {
                        MakeFile(s / "part1", "first\n");
                        MakeFile(s / "part2", std::string(5000, 'b'));
                        Shell("cd " + Q(s) + " && gzip -c part1 > log.gz && gzip -c part2 >> log.gz && rm part1 part2");
                        std::string bytes = ReadFile(s / "log.gz");
                        bytes[bytes.size() - 9] =
                            static_cast<char>(bytes[bytes.size() - 9] ^ 0x40); // last CRC byte area
                        bytes[bytes.size() - 20] = static_cast<char>(bytes[bytes.size() - 20] ^ 0x11);
                        WriteFile(s / "log.gz", bytes);
                    },
                    {"gunzip", "{S}/log.gz"},
                    1,
                    "",
                    ".",
                    true,
                    {}});
    rows.push_back({"gzip never replaces a read-only file",
                    [](const fs::path& s) {
                        MakeFile(s / "notes.txt", "new");
                        Shell("cd " + Q(s) + " && gzip -c notes.txt > notes.gz");
                        MakeFile(s / "notes.txt", "mine, read-only", 0444);
                    },
                    {"gunzip", "{S}/notes.gz"},
                    1,
                    "read-only",
                    ".",
                    true,
                    {}});
    rows.push_back({"gzip never replaces a link",
                    [](const fs::path& s) {
                        MakeFile(s / "notes.txt", "new");
                        Shell("cd " + Q(s) + " && gzip -c notes.txt > notes.gz && rm notes.txt");
                        MakeFile(s / "elsewhere.txt", "keep");
                        fs::create_symlink("elsewhere.txt", s / "notes.txt");
                    },
                    {"gunzip", "{S}/notes.gz"},
                    1,
                    "link",
                    ".",
                    true,
                    {}});
    return rows;
}

TEST(HostileLayouts, EachRowEndsAsExpectedAndChangesNothingOutsideItsTarget)
{
    RequireTools({"zip", "7zz", "gzip"});
    for (const Row& row : Rows()) {
        SCOPED_TRACE(row.name);
        TempDir sandbox;
        const fs::path s = sandbox.path();
        row.setup(s);
        if (::testing::Test::HasFatalFailure()) return;
        const Tree before = Snapshot(s);
        std::vector<std::string> args;
        for (std::string arg : row.args) {
            if (arg.rfind("{S}", 0) == 0) arg = s.string() + arg.substr(3);
            args.push_back(arg);
        }
        const CliRun run = Cli(args);
        EXPECT_EQ(run.code, row.code) << run.err;
        EXPECT_NE((run.err + run.out).find(row.message), std::string::npos) << run.err << run.out;
        const Tree after = Snapshot(s);
        const std::string target = row.target;
        if (row.keepTarget) {
            EXPECT_EQ(after, before);
            continue;
        }
        if (target != ".") {
            EXPECT_EQ(Outside(after, target), Outside(before, target));
        }
        const Tree inside = target == "." ? after : Inside(after, target);
        const Tree insideBefore = target == "." ? before : Inside(before, target);
        std::set<std::string> names, expectedNames;
        for (const auto& [path, what] : inside)
            names.insert(path);
        for (const auto& [path, what] : row.expected)
            expectedNames.insert(path);
        EXPECT_EQ(names, expectedNames);
        for (const auto& [path, what] : row.expected) {
            if (!inside.count(path)) continue;
            if (what == "*") {
                // Present and, when it was there before, unchanged.
                if (insideBefore.count(path)) {
                    EXPECT_EQ(inside.at(path), insideBefore.at(path)) << path;
                }
            } else {
                EXPECT_EQ(inside.at(path), what) << path;
            }
        }
    }
}

// The modes the writer records are understood by the peers: 7-Zip restores them exactly,
// Info-ZIP's unzip all but the execute bits (it does not trust those from an MS-DOS host);
// neither ever makes a file more open than it was.
TEST(HostileLayouts, PeersReadTheRecordedModes)
{
    RequireTools({"unzip", "7zz"});
    TempDir s;
    MakeFile(s / "F" / "key", "private", 0600);
    MakeFile(s / "F" / "run.sh", "#!/bin/sh\n", 0755);
    MakeFile(s / "F" / "shared.txt", "read", 0644);
    ASSERT_EQ(Cli({"zip", (s / "F").string(), (s / "F.zip").string()}).code, 0);
    Shell("mkdir " + Q(s / "u") + " && cd " + Q(s / "u") + " && unzip -q ../F.zip");
    Shell("7zz x -o" + Q(s / "z") + " " + Q(s / "F.zip") + " >/dev/null");
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
