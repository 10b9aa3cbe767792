#include "fileops/ProcessTermination.h"
#include "platform/posix/PosixProcesses.h"

#include "ChildProcess.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <signal.h>
#include <unistd.h>

using namespace velmora;

namespace {

// A process table the test writes and a record of the termination requests.
class FakeProcesses : public IProcesses {
public:
    std::vector<ProcessEntry> entries;
    std::vector<std::int64_t> refusing; // ids whose termination fails
    std::vector<std::int64_t> terminated;
    int snapshots = 0;
    std::int64_t own = 1;

    std::vector<ProcessEntry> Snapshot() override
    {
        ++snapshots;
        return entries;
    }
    Result<void> Terminate(std::int64_t id) override
    {
        terminated.push_back(id);
        if (std::find(refusing.begin(), refusing.end(), id) != refusing.end()) return Fail(ErrorFromErrno(EPERM));
        return Ok();
    }
    std::int64_t OwnProcessId() const override { return own; }
};

} // namespace

TEST(ProcessTermination, NamesMatchFoldingOnlyAsciiLetters)
{
    const struct {
        const char* a;
        const char* b;
        bool match;
    } cases[] = {
        {"notepad.exe", "NOTEPAD.EXE", true},
        {"Gedit", "gEDIT", true},
        {"holdär", "holdÄr", false}, // outside a-z nothing is folded
        {"x[", "x{", false},         // '[' and '{' differ by the case bit but are no letters
        {"editor", "editor2", false},
        {"", "", true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ProgramNamesMatch(c.a, c.b), c.match) << c.a << " / " << c.b;
    }
}

TEST(ProcessTermination, EndsEveryMatchAndReportsTheLastAttempt)
{
    FakeProcesses processes;
    processes.own = 7;
    processes.entries = {{5, "/usr/bin/gedit"},
                         {7, "/opt/velmora/gedit"}, // our own process: never ended
                         {9, "/usr/bin/vim"},
                         {11, "/home/u/GEDIT"},
                         {12, "gedit"}};

    processes.refusing = {5};
    EXPECT_EQ(TerminateProcessByName(processes, kPosixPathRules, "gedit"), 1);
    EXPECT_EQ(processes.terminated, (std::vector<std::int64_t>{5, 11, 12}));

    processes.terminated.clear();
    processes.refusing = {12};
    EXPECT_EQ(TerminateProcessByName(processes, kPosixPathRules, "gedit"), 0) << "the last one refused";

    // The whole program path matches as well as its file name.
    processes.terminated.clear();
    EXPECT_EQ(TerminateProcessByName(processes, kPosixPathRules, "/usr/bin/VIM"), 1);
    EXPECT_EQ(processes.terminated, (std::vector<std::int64_t>{9}));

    processes.terminated.clear();
    EXPECT_EQ(TerminateProcessByName(processes, kPosixPathRules, "emacs"), 0);
    EXPECT_EQ(TerminateProcessByName(processes, kPosixPathRules, ""), 0);
    EXPECT_TRUE(processes.terminated.empty());
}

TEST(ProcessTermination, AssociatedAndDefaultProgramOutcome)
{
    const struct {
        const char* name;
        AssociatedPrograms programs;
        std::vector<std::int64_t> refusing;
        bool success;
        std::vector<std::int64_t> terminated;
    } cases[] = {
        {"both running", {"/usr/bin/gedit", "vim"}, {}, true, {2, 3}},
        {"default not running", {"/usr/bin/gedit", "emacs"}, {}, false, {2}},
        {"associated not running", {"/usr/bin/emacs", "vim"}, {}, false, {3}},
        {"associated refuses", {"/usr/bin/gedit", "vim"}, {2}, false, {2, 3}},
        // The same program in both fields is searched for once.
        {"same program", {"/usr/bin/gedit", "GEDIT"}, {}, true, {2}},
        {"same program refuses", {"/usr/bin/gedit", "gedit"}, {2}, false, {2}},
        // No default program known: only the associated one counts.
        {"no default", {"/usr/bin/gedit", "undefined"}, {}, true, {2}},
        {"no default, not running", {"/usr/bin/emacs", "undefined"}, {}, false, {}},
    };
    for (const auto& c : cases) {
        FakeProcesses processes;
        processes.entries = {{2, "/usr/bin/gedit"}, {3, "/usr/bin/vim"}};
        processes.refusing = c.refusing;
        NoWaiter waiter;
        EXPECT_EQ(EndAssociatedPrograms(processes, kPosixPathRules, waiter, c.programs), c.success) << c.name;
        EXPECT_EQ(processes.terminated, c.terminated) << c.name;
        EXPECT_EQ(waiter.waits, 2) << c.name;
    }

    // A blank associated-application field: nothing is looked at, nothing waited for.
    FakeProcesses processes;
    processes.entries = {{2, "/usr/bin/gedit"}};
    NoWaiter waiter;
    EXPECT_FALSE(EndAssociatedPrograms(processes, kPosixPathRules, waiter, {"  ", "gedit"}));
    EXPECT_EQ(processes.snapshots, 0);
    EXPECT_EQ(waiter.waits, 0);
}

TEST(PosixProcesses, EndsEveryRunningInstanceWhateverTheCaseOfAsciiLetters)
{
    test::TempDir dir;
    // A name short enough to be the whole of the kernel's short process name, which is all
    // that is left of a process that has ended.
    const std::string program = test::CopyProgram("/bin/sleep", dir / test::ShortUniqueName("vh"));
    test::ChildProcess first(program, {"60"});
    test::ChildProcess second(program, {"60"});
    ASSERT_TRUE(first.Running() && second.Running());

    PosixProcesses processes;
    std::string upper = kPosixPathRules.FileName(program);
    for (char& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(TerminateProcessByName(processes, kPosixPathRules, upper), 1);

    // Ended but not yet collected by us, their parent: they run no more, so a second
    // search finds nothing to end.
    ASSERT_TRUE(first.WaitUntilEndedButUncollected());
    ASSERT_TRUE(second.WaitUntilEndedButUncollected());
    EXPECT_EQ(TerminateProcessByName(processes, kPosixPathRules, upper), 0);

    EXPECT_EQ(first.WaitForEnd(), SIGKILL);
    EXPECT_EQ(second.WaitForEnd(), SIGKILL);
}

TEST(PosixProcesses, NonAsciiCaseDiffersAndOwnProcessIsNeverListed)
{
    test::TempDir dir;
    const std::string name = test::UniqueName("holdär");
    const std::string program = test::CopyProgram("/bin/sleep", dir / name);
    test::ChildProcess child(program, {"60"});
    ASSERT_TRUE(child.Running());

    PosixProcesses processes;
    std::string other = name;
    other.replace(other.find("ä"), std::string("ä").size(), "Ä");
    EXPECT_EQ(TerminateProcessByName(processes, kPosixPathRules, other), 0);
    EXPECT_TRUE(child.Running());

    bool listed = false;
    for (const ProcessEntry& entry : processes.Snapshot()) {
        EXPECT_NE(entry.id, static_cast<std::int64_t>(getpid()));
        if (entry.id == child.Id()) {
            listed = true;
            EXPECT_EQ(entry.program, std::filesystem::canonical(program).string());
        }
    }
    EXPECT_TRUE(listed);
}
