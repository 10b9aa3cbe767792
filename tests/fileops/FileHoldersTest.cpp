// The processes that hold a file, found by the Linux backend among real child processes,
// and the commands that list and end them.
#include "HolderChild.h"

#include "CliRunner.h"
#include "cli/CliCommand.h"
#include "fileops/FileHolders.h"
#include "platform/IFileHolders.h"
#include "platform/Platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include <csignal>
#include <cstdlib>
#include <sstream>
#include <sys/stat.h>

using namespace velmora;

namespace {

Platform& Services()
{
    static const std::unique_ptr<PlatformBackend> backend = CreateNativePlatform();
    return backend->Services();
}

const FileHolder* Find(const HolderList& list, std::int64_t id)
{
    for (const FileHolder& h : list.holders) {
        if (h.id == id) return &h;
    }
    return nullptr;
}

class FileHolders : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (test::FindPython().empty()) GTEST_FAIL() << "python3 is needed to make the holding processes";
        m_file = std::filesystem::canonical(m_dir.path()).string() + "/held.txt";
        test::WriteFile(m_file, "some content of the held file");
    }
    test::TempDir m_dir;
    std::string m_file;
};

} // namespace

TEST_F(FileHolders, EachWayOfHoldingIsToldWithItsModeAndLock)
{
    using K = HoldKind;
    using A = HoldAccess;
    using L = LockKind;
    struct Case {
        const char* way;
        std::vector<FileHold> expected;
        const char* english;
    };
    const std::string f = m_file;
    const std::vector<Case> cases = {
        {"r", {{K::Open, A::Read, L::None, f}}, "open for reading"},
        {"w", {{K::Open, A::Write, L::None, f}}, "open for writing"},
        {"rw", {{K::Open, A::ReadWrite, L::None, f}}, "open for reading and writing"},
        {"posix-r",
         {{K::Open, A::Read, L::None, f}, {K::Lock, A::Read, L::Posix, f}},
         "open for reading, POSIX read lock"},
        {"posix-w",
         {{K::Open, A::ReadWrite, L::None, f}, {K::Lock, A::Write, L::Posix, f}},
         "open for reading and writing, POSIX write lock"},
        {"ofd-w",
         {{K::Open, A::ReadWrite, L::None, f}, {K::Lock, A::Write, L::Ofd, f}},
         "open for reading and writing, OFD write lock"},
        {"flock-sh",
         {{K::Open, A::Read, L::None, f}, {K::Lock, A::Read, L::Flock, f}},
         "open for reading, shared flock lock"},
        {"flock-ex",
         {{K::Open, A::Read, L::None, f}, {K::Lock, A::Write, L::Flock, f}},
         "open for reading, exclusive flock lock"},
        // Python keeps a descriptor of its own beside the mapping.
        {"mmap",
         {{K::Open, A::Read, L::None, f}, {K::MemoryMapped, A::None, L::None, f}},
         "open for reading, memory-mapped"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.way);
        test::HolderChild child(m_dir.path(), m_file, {c.way});
        ASSERT_TRUE(child.Ready());
        const HolderList list = Services().holders->ListHolders(m_file);
        ASSERT_TRUE(list.exists);
        const FileHolder* holder = Find(list, child.Id());
        ASSERT_NE(holder, nullptr);
        EXPECT_EQ(holder->holds, c.expected);
        EXPECT_EQ(DescribeHolds(*holder, m_file, kEnglish), c.english);
        EXPECT_NE(holder->program.find("python"), std::string::npos) << holder->program;
        EXPECT_FALSE(holder->user.empty());
        // Nobody else in this test holds the file, and this process is never listed.
        EXPECT_EQ(list.holders.size(), 1u);
    }
}

TEST_F(FileHolders, ARunningProgramAndAFolderWithHoldersInside)
{
    const std::filesystem::path folder = m_dir / "work";
    std::filesystem::create_directories(folder / "sub");
    const std::string inside = (folder / "inside.txt").string();
    test::WriteFile(inside, "x");
    const std::string program = test::CopyProgram("/bin/sleep", folder / "sleeper");

    test::HolderChild worker(m_dir.path(), inside, {"rw", "cwd:" + (folder / "sub").string()});
    ASSERT_TRUE(worker.Ready());
    test::ChildProcess sleeper(program, {"60"});
    ASSERT_TRUE(sleeper.Running());

    // The program file alone: running it, and nothing said twice for its mapping. The child
    // runs the copy only once its exec is done, so wait for that (at most 10 s).
    HolderList list = Services().holders->ListHolders(program);
    const FileHolder* runner = Find(list, sleeper.Id());
    for (int i = 0; !runner && i < 1000; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        list = Services().holders->ListHolders(program);
        runner = Find(list, sleeper.Id());
    }
    ASSERT_NE(runner, nullptr);
    EXPECT_EQ(runner->program, program);
    EXPECT_EQ(DescribeHolds(*runner, program, kEnglish), "runs it as its program");
    EXPECT_EQ(DescribeHolds(*runner, program, kGerman), "führt sie als Programm aus");

    // The folder: both, each naming the item inside it.
    const std::string canonicalFolder = std::filesystem::canonical(folder).string();
    list = Services().holders->ListHolders(folder.string());
    const FileHolder* w = Find(list, worker.Id());
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(DescribeHolds(*w, canonicalFolder, kEnglish),
              "open for reading and writing (inside.txt), working folder (sub)");
    EXPECT_EQ(DescribeHolds(*w, canonicalFolder, kGerman),
              "zum Lesen und Schreiben geöffnet (inside.txt), Arbeitsordner (sub)");
    ASSERT_NE(Find(list, sleeper.Id()), nullptr);

    // A sibling whose name starts like the folder's is not inside it.
    const std::filesystem::path sibling = m_dir / "work2";
    std::filesystem::create_directories(sibling);
    EXPECT_TRUE(Services().holders->ListHolders(sibling.string()).holders.empty());

    EXPECT_FALSE(Services().holders->ListHolders((m_dir / "missing").string()).exists);
}

TEST(HolderTexts, UncheckedNoteAndSummary)
{
    EXPECT_EQ(UncheckedNote(0, kEnglish), "");
    EXPECT_EQ(UncheckedNote(3, kEnglish),
              "3 processes of other users could not be checked; run as administrator to see them");
    EXPECT_EQ(UncheckedNote(1, kEnglish),
              "1 process of another user could not be checked; run as administrator to see them");
    EXPECT_EQ(UncheckedNote(2, kGerman),
              "2 Prozesse anderer Benutzer konnten nicht geprüft werden; starten Sie das Programm als Administrator, "
              "um sie zu sehen");

    HolderList list;
    list.exists = true;
    EXPECT_EQ(HoldersSummary(list, "/f", kGerman), "Kein Prozess verwendet sie.");
    for (int i = 1; i <= 3; ++i)
        list.holders.push_back({i, "/bin/p", "ann", {{HoldKind::Open, HoldAccess::Read, LockKind::None, "/f"}}});
    list.uncheckedProcesses = 2;
    EXPECT_EQ(HoldersSummary(list, "/f", kEnglish, 2),
              "1 /bin/p (ann): open for reading\n2 /bin/p (ann): open for reading\nand 1 more\n"
              "2 processes of other users could not be checked; run as administrator to see them");
}

namespace {
using test::CliRun;
CliRun RunCli(const std::vector<std::string>& args)
{
    return test::Cli(args, Services());
}

// Runs a shell command line and gives its standard output and exit code.
std::pair<int, std::string> Shell(const std::string& command)
{
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return {-1, output};
    char buffer[4096];
    while (std::size_t n = fread(buffer, 1, sizeof buffer, pipe))
        output.append(buffer, n);
    const int status = pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}
} // namespace

TEST_F(FileHolders, CliListsHoldersAndEndsOneByNumber)
{
    test::HolderChild child(m_dir.path(), m_file, {"posix-w"});
    ASSERT_TRUE(child.Ready());
    const std::string pid = std::to_string(child.Id());

    const CliRun table = RunCli({"holders", m_file});
    EXPECT_EQ(table.code, cli::kExitOk) << table.err;
    EXPECT_NE(table.out.find(pid), std::string::npos) << table.out;
    EXPECT_NE(table.out.find("POSIX write lock"), std::string::npos) << table.out;

    const CliRun json = RunCli({"holders", "--json", m_file});
    EXPECT_EQ(json.code, cli::kExitOk);
    EXPECT_NE(json.out.find("{\"pid\":" + pid + ","), std::string::npos) << json.out;
    EXPECT_NE(json.out.find("{\"kind\":\"lock\",\"access\":\"write\",\"lock\":\"posix\""), std::string::npos);
    // The output is JSON that a real parser reads.
    const auto [parsed, _] = Shell("printf '%s' '" + json.out +
                                   "' | python3 -c 'import json,sys; d=json.load(sys.stdin); "
                                   "print(d[\"holders\"][0][\"pid\"])'");
    EXPECT_EQ(parsed, 0);

    EXPECT_EQ(RunCli({"holders", (m_dir / "missing").string()}).code, cli::kExitFailed);
    EXPECT_EQ(RunCli({"holders"}).code, cli::kExitUsage);
    EXPECT_EQ(RunCli({"holders", "--bogus", m_file}).code, cli::kExitUsage);

    // Our own process is never ended; a wrong number is a usage error.
    const CliRun own = RunCli({"terminate", "--pid", std::to_string(getpid())});
    EXPECT_EQ(own.code, cli::kExitFailed);
    EXPECT_NE(own.err.find("is Velmora itself"), std::string::npos) << own.err;
    EXPECT_EQ(RunCli({"terminate", "--pid", "12x"}).code, cli::kExitUsage);
    EXPECT_EQ(RunCli({"terminate", "--pid"}).code, cli::kExitUsage);

    const CliRun ended = RunCli({"terminate", "--pid", pid});
    EXPECT_EQ(ended.code, cli::kExitOk) << ended.err;
    EXPECT_EQ(child.Process().WaitForEnd(), SIGKILL);
    EXPECT_EQ(RunCli({"terminate", "--pid", pid}).code, cli::kExitFailed);
    EXPECT_TRUE(Services().holders->ListHolders(m_file).holders.empty());
}

TEST_F(FileHolders, AnotherUserSeesLockersAndIsToldWhatItCannotCheck)
{
    if (geteuid() != 0) GTEST_SKIP() << "needs root to run the command as another user";
    if (Shell("command -v setpriv").first != 0) GTEST_FAIL() << "setpriv (util-linux) is needed";
    const std::string bin = test::BuiltCli().parent_path().string();
    std::filesystem::permissions(m_dir.path(), std::filesystem::perms::all, std::filesystem::perm_options::add);
    chmod(m_file.c_str(), 0644);
    test::HolderChild child(m_dir.path(), m_file, {"posix-w"});
    ASSERT_TRUE(child.Ready());

    const auto [code, out] = Shell("setpriv --reuid=65534 --regid=65534 --clear-groups " + bin +
                                   "/velmora-cli holders '" + m_file + "' 2>&1");
    EXPECT_EQ(code, 0) << out;
    // This root process's lock is seen through /proc/locks, its open files are not.
    EXPECT_NE(out.find(std::to_string(child.Id())), std::string::npos) << out;
    EXPECT_NE(out.find("POSIX write lock"), std::string::npos) << out;
    EXPECT_NE(out.find("could not be checked; run as administrator to see them"), std::string::npos) << out;
}

// A process that maps the file and keeps no descriptor, its mapping listed far down a
// long /proc/PID/maps: found for the file and for its folder, as lsof finds it.
TEST_F(FileHolders, AMappingFarDownALongMapsListIsFoundAsLsofFindsIt)
{
    if (Shell("command -v lsof").first != 0) GTEST_FAIL() << "lsof is needed as the peer";
    test::HolderChild child(m_dir.path(), m_file, {"mmap-far"});
    ASSERT_TRUE(child.Ready());
    const std::string pid = std::to_string(child.Id());
    const std::string folder = std::filesystem::path(m_file).parent_path().string();

    // lsof's answer in the same run: the process, for the file and for the folder.
    const auto [fileCode, byFile] = Shell("lsof -t '" + m_file + "' 2>/dev/null");
    EXPECT_NE(("\n" + byFile).find("\n" + pid + "\n"), std::string::npos) << byFile;
    const auto [folderCode, byFolder] = Shell("lsof -t +D '" + folder + "' 2>/dev/null");
    EXPECT_NE(("\n" + byFolder).find("\n" + pid + "\n"), std::string::npos) << byFolder;

    for (const std::string& path : {m_file, folder}) {
        SCOPED_TRACE(path);
        const HolderList list = Services().holders->ListHolders(path);
        const FileHolder* holder = Find(list, child.Id());
        ASSERT_NE(holder, nullptr);
        const std::vector<FileHold> expected{{HoldKind::MemoryMapped, HoldAccess::None, LockKind::None, m_file}};
        EXPECT_EQ(holder->holds, expected);
        const CliRun run = RunCli({"holders", path});
        EXPECT_EQ(run.code, cli::kExitOk);
        EXPECT_NE(run.out.find(pid), std::string::npos) << run.out;
        EXPECT_NE(run.out.find("memory-mapped"), std::string::npos) << run.out;
    }
}

// A held item whose name holds a newline: quoted in both languages and in the table, so
// each holder stays on one line; JSON keeps the exact name.
TEST_F(FileHolders, NamesWithControlCharactersAreQuoted)
{
    const std::filesystem::path folder = m_dir / "box";
    std::filesystem::create_directories(folder);
    const std::string inside = (folder / "a\nb\x1b[1m").string();
    test::WriteFile(inside, "x");
    test::HolderChild child(m_dir.path(), inside, {"r"});
    ASSERT_TRUE(child.Ready());
    const std::string canonicalFolder = std::filesystem::canonical(folder).string();
    const HolderList list = Services().holders->ListHolders(folder.string());
    const FileHolder* holder = Find(list, child.Id());
    ASSERT_NE(holder, nullptr);
    EXPECT_EQ(DescribeHolds(*holder, canonicalFolder, kEnglish), "open for reading ($'a\\nb\\033[1m')");
    EXPECT_EQ(DescribeHolds(*holder, canonicalFolder, kGerman), "zum Lesen geöffnet ($'a\\nb\\033[1m')");

    const CliRun table = RunCli({"holders", folder.string()});
    EXPECT_EQ(table.code, cli::kExitOk);
    EXPECT_EQ(std::count(table.out.begin(), table.out.end(), '\n'), 2) << table.out; // heading and one holder
    EXPECT_EQ(table.out.find('\x1b'), std::string::npos);
    const CliRun json = RunCli({"holders", "--json", folder.string()});
    EXPECT_NE(json.out.find("box/a\\nb\\u001b[1m\""), std::string::npos) << json.out;
}
