#include "folders/FolderTools.h"
#include "TestSupport.h"
#include "folders/FolderDates.h"
#include "platform/FileMetadata.h"
#include "platform/FolderRemoval.h"
#include "platform/Platform.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>
#endif

#include <cstring>
#include <functional>
#include <map>

using namespace velmora;
namespace fs = std::filesystem;

const MetadataService kMetadata{CopyMetadata, SameMetadata};
// Names, kinds and bytes alone (where the test itself changed a folder's times).
const MetadataService kContentOnly{[](const std::string&, const std::string&, std::string*) { return true; },
                                   [](const std::string&, const std::string&) { return true; }};

TEST(FolderTools, TargetRowTable)
{
    struct Case {
        std::vector<bool> selected;
        std::optional<std::size_t> expected;
    };
    const Case cases[] = {
        {{}, std::nullopt},
        {{false}, 0}, // a single row counts, selected or not
        {{true}, 0},
        {{false, false, false}, std::nullopt},
        {{false, true, true}, 1}, // the first selected row
        {{true, false, true}, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TargetRow(c.selected), c.expected) << c.selected.size();
}

TEST(FolderTools, PathRules)
{
    EXPECT_EQ(RecreationCopyPath("/data/Old"), "/data/Old2");
    EXPECT_EQ(RecreationCopyPath("/data/Old/"), "/data/Old2");
    EXPECT_EQ(WithoutTrailingSeparator("/"), "/");

    EXPECT_TRUE(IsSameOrInside("/a/b/c.zip", "/a/b"));
    EXPECT_TRUE(IsSameOrInside("/a/b", "/a/b/"));
    EXPECT_TRUE(IsSameOrInside("/a/b/../b/x.zip", "/a/b"));
    EXPECT_FALSE(IsSameOrInside("/a/bc.zip", "/a/b")); // a name that merely starts alike
    EXPECT_FALSE(IsSameOrInside("/a/b.zip", "/a/b"));
    EXPECT_FALSE(IsSameOrInside("/a", "/a/b"));
}

TEST(FolderTools, GuardedFoldersAreTheRootAndWhatHoldsTheProgramOrHome)
{
    VELMORA_SKIP_WITHOUT_SYMLINKS();
    test::TempDir dir;
    fs::create_directories(dir / "home" / "user");
    fs::create_directories(dir / "opt" / "bin");
    fs::create_directories(dir / "other");
    fs::create_symlink(dir / "home", dir / "link-to-home");
    const auto keep = GuardedPaths((dir / "opt" / "bin" / "velmora").string(), (dir / "home" / "user").string());

    EXPECT_TRUE(IsGuardedFolder("/", keep));
    EXPECT_TRUE(IsGuardedFolder(dir.path(), keep));
    EXPECT_TRUE(IsGuardedFolder(dir / "home", keep));
    EXPECT_TRUE(IsGuardedFolder(dir / "home" / "user", keep));
    EXPECT_TRUE(IsGuardedFolder(dir / "link-to-home", keep)); // links are resolved
    EXPECT_TRUE(IsGuardedFolder(dir / "opt", keep));
    EXPECT_FALSE(IsGuardedFolder(dir / "other", keep));
    EXPECT_FALSE(IsGuardedFolder(dir / "home" / "user" / "Documents", keep));
}

namespace {
// dir/outside, holding keep.txt, and the sample tree at dir/name, whose link points at outside.
void MakeSampleTree(const test::TempDir& dir, const char* name)
{
    const fs::path outside = dir / "outside";
    fs::create_directories(outside);
    test::WriteFile(outside / "keep.txt", "keep");
    const fs::path root = dir / name;
    fs::create_directories(root / "Sub" / "Deeper" / "Deepest");
    fs::create_directories(root / "Empty");
    test::WriteFile(root / "one.txt", "one");
    test::WriteFile(root / ".hidden", "secret");
    test::WriteFile(root / "Sub" / "Deeper" / "Deepest" / "three.txt", std::string(100000, 'x'));
    fs::create_symlink(outside, root / "link");
}

// A copy of dir/Old at dir/Reference/Old to compare with.
bool CopyReference(const test::TempDir& dir)
{
    fs::create_directories(dir / "Reference");
    return CopyFolder(dir / "Old", dir / "Reference" / "Old", kMetadata);
}
} // namespace

TEST(FolderTools, RecreateReplacesTheFolderByAnIdenticalCopy)
{
    VELMORA_SKIP_WITHOUT_SYMLINKS();
    test::TempDir dir;
    MakeSampleTree(dir, "Old");
    ASSERT_TRUE(CopyReference(dir));

    EXPECT_EQ(RecreateFolder((dir / "Old").string() + "/", {}, kMetadata), RecreateOutcome::Recreated);
    EXPECT_TRUE(SameFolderContent(dir / "Old", dir / "Reference" / "Old", kMetadata));
    EXPECT_TRUE(fs::is_symlink(dir / "Old" / "link"));
    EXPECT_FALSE(fs::exists(dir / "Old2"));
    EXPECT_EQ(test::ReadFile(dir / "outside" / "keep.txt"), "keep");
}

#if !defined(_WIN32) // needs a POSIX call
TEST(FolderTools, RecreateLeavesTheFolderAloneWhenItMustNotOrCannotCopy)
{
    test::TempDir dir;
    MakeSampleTree(dir, "Old");
    ASSERT_TRUE(CopyReference(dir));

    // A folder of the copy's name exists: nothing is copied into it.
    fs::create_directories(dir / "Old2");
    test::WriteFile(dir / "Old2" / "mine.txt", "mine");
    EXPECT_EQ(RecreateFolder(dir / "Old", {}, kMetadata), RecreateOutcome::CopyExists);
    EXPECT_EQ(test::ReadFile(dir / "Old2" / "mine.txt"), "mine");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "Old2"), fs::directory_iterator()), 1);
    fs::remove_all(dir / "Old2");

    // The folder holds the home folder.
    EXPECT_EQ(RecreateFolder(dir / "Old", {dir / "Old" / "Sub"}, kMetadata), RecreateOutcome::Guarded);

    // Something that cannot be copied (a named pipe): the partial copy goes, the original stays.
    ASSERT_EQ(mkfifo((dir / "Old" / "Sub" / "pipe").c_str(), 0600), 0);
    EXPECT_EQ(RecreateFolder(dir / "Old", {}, kMetadata), RecreateOutcome::CopyFailed);
    EXPECT_FALSE(fs::exists(dir / "Old2"));
    fs::remove(dir / "Old" / "Sub" / "pipe");
    EXPECT_TRUE(SameFolderContent(dir / "Old", dir / "Reference" / "Old", kContentOnly));
}
#endif

TEST(FolderTools, SameFolderContentSeesEveryDifference)
{
    VELMORA_SKIP_WITHOUT_SYMLINKS();
    test::TempDir dir;
    MakeSampleTree(dir, "A");
    ASSERT_TRUE(CopyFolder(dir / "A", dir / "B", kMetadata));
    EXPECT_TRUE(SameFolderContent(dir / "A", dir / "B", kMetadata));

    test::WriteFile(dir / "B" / "Sub" / "Deeper" / "Deepest" / "three.txt", std::string(100000, 'y'));
    EXPECT_FALSE(SameFolderContent(dir / "A", dir / "B", kMetadata));
    fs::remove_all(dir / "B");
    ASSERT_TRUE(CopyFolder(dir / "A", dir / "B", kMetadata));
    fs::remove(dir / "B" / "Empty");
    EXPECT_FALSE(SameFolderContent(dir / "A", dir / "B", kMetadata));
    fs::create_directory(dir / "B" / "Empty");
    test::WriteFile(dir / "B" / "extra", "");
    EXPECT_FALSE(SameFolderContent(dir / "A", dir / "B", kMetadata));
}

TEST(FolderTools, DeletingNeverFollowsLinks)
{
    VELMORA_SKIP_WITHOUT_SYMLINKS();
    test::TempDir dir;
    MakeSampleTree(dir, "Old");
    EXPECT_TRUE(DeleteFolderPermanently(dir / "Old"));
    EXPECT_FALSE(fs::exists(dir / "Old"));
    EXPECT_EQ(test::ReadFile(dir / "outside" / "keep.txt"), "keep");

    EXPECT_TRUE(DeleteFolderPermanently(dir / "never-was")); // nothing there: nothing left
}

#ifndef _WIN32
// Owners, modes, extended attributes and access lists: what the Linux backend's copy keeps.
namespace {
// What a copy must keep of one entry (links not followed).
struct Properties {
    uid_t uid = 0;
    gid_t gid = 0;
    mode_t mode = 0;
    timespec modified{};
    std::map<std::string, std::string> attributes;
    bool operator==(const Properties& o) const
    {
        return uid == o.uid && gid == o.gid && mode == o.mode && modified.tv_sec == o.modified.tv_sec &&
               modified.tv_nsec == o.modified.tv_nsec && attributes == o.attributes;
    }
};

Properties PropertiesOf(const fs::path& path)
{
    Properties p;
    struct stat st {};
    lstat(path.c_str(), &st);
    p.uid = st.st_uid;
    p.gid = st.st_gid;
    p.mode = st.st_mode;
    p.modified = st.st_mtim;
    char names[4096];
    const ssize_t size = llistxattr(path.c_str(), names, sizeof names);
    for (ssize_t i = 0; i < size; i += static_cast<ssize_t>(std::strlen(names + i)) + 1) {
        char value[4096];
        const ssize_t n = lgetxattr(path.c_str(), names + i, value, sizeof value);
        p.attributes[names + i] = std::string(value, n < 0 ? 0 : static_cast<std::size_t>(n));
    }
    return p;
}

// A POSIX access list that also lets the user 'reader' read: owner rw, reader r, group r,
// mask r, others none (the kernel's "system.posix_acl_access" form).
std::string AccessListAllowing(uid_t reader)
{
    std::string blob;
    const auto put16 = [&](unsigned v) { blob += static_cast<char>(v & 0xFF), blob += static_cast<char>(v >> 8); };
    const auto put32 = [&](std::uint32_t v) { put16(v & 0xFFFF), put16(v >> 16); };
    put32(2);
    const std::uint32_t none = 0xFFFFFFFF;
    const std::uint32_t entries[][3] = {
        {0x01, 6, none}, {0x02, 4, reader}, {0x04, 4, none}, {0x10, 4, none}, {0x20, 0, none}};
    for (const auto& e : entries) {
        put16(e[0]);
        put16(e[1]);
        put32(e[2]);
    }
    return blob;
}

void SetTimes(const fs::path& path, time_t seconds)
{
    const timespec times[2] = {{seconds, 0}, {seconds, 123456789}};
    utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW);
}

// Runs f as the user nobody in a child process; its result is the child's exit code.
int AsNobody(const std::function<int()>& f)
{
    const pid_t child = fork();
    if (child == 0) {
        if (setgroups(0, nullptr) != 0 || setresgid(65534, 65534, 65534) != 0 || setresuid(65534, 65534, 65534) != 0) {
            _exit(99);
        }
        _exit(f());
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
} // namespace

TEST(FolderTools, RecreatedFolderKeepsEveryPropertyOfEveryEntry)
{
    test::TempDir dir;
    MakeSampleTree(dir, "Old");
    const fs::path file = dir / "Old" / "one.txt";
    ASSERT_EQ(chmod(file.c_str(), 04751), 0);
    ASSERT_EQ(setxattr(file.c_str(), "user.note", "kept", 4, 0), 0);
    const std::string acl = AccessListAllowing(65534);
    ASSERT_EQ(setxattr((dir / "Old" / "Sub").c_str(), "system.posix_acl_access", acl.data(), acl.size(), 0), 0);
    ASSERT_EQ(chmod((dir / "Old" / "Sub" / "Deeper").c_str(), 0705), 0);
    if (geteuid() == 0) {
        ASSERT_EQ(lchown(file.c_str(), 65534, 65534), 0);
        ASSERT_EQ(chmod(file.c_str(), 04751), 0); // the change of owner cleared the set-user bit
    }
    std::map<std::string, Properties> before;
    for (const auto& entry : fs::recursive_directory_iterator(dir / "Old")) {
        SetTimes(entry.path(), 1000000000 + static_cast<time_t>(before.size()));
    }
    SetTimes(dir / "Old" / "Sub" / "Deeper", 1100000000);
    SetTimes(dir / "Old" / "Sub", 1200000000);
    SetTimes(dir / "Old", 1300000000);
    for (const auto& entry : fs::recursive_directory_iterator(dir / "Old")) {
        before[entry.path().lexically_relative(dir / "Old").string()] = PropertiesOf(entry.path());
    }
    const Properties top = PropertiesOf(dir / "Old");

    std::string error;
    ASSERT_EQ(RecreateFolder(dir / "Old", {}, kMetadata, &error), RecreateOutcome::Recreated) << error;
    EXPECT_TRUE(PropertiesOf(dir / "Old") == top);
    for (const auto& [name, properties] : before) {
        EXPECT_TRUE(PropertiesOf(dir / "Old" / name) == properties) << name;
    }
    EXPECT_EQ(PropertiesOf(dir / "Old" / "Sub").attributes.count("system.posix_acl_access"), 1u);
}

TEST(FolderTools, AFolderThatCannotBeCopiedWithItsOwnersIsLeftAsItIs)
{
    if (geteuid() != 0) GTEST_SKIP() << "needs root to give files to two different users";
    test::TempDir dir;
    // A shared folder (like /tmp) with a folder of nobody's that holds one file of root's.
    fs::create_directories(dir / "shared" / "Old");
    ASSERT_EQ(chmod((dir / "shared").c_str(), 01777), 0);
    test::WriteFile(dir / "shared" / "Old" / "mine.txt", "nobody's");
    test::WriteFile(dir / "shared" / "Old" / "roots.txt", "root's");
    ASSERT_EQ(chown((dir / "shared" / "Old").c_str(), 65534, 65534), 0);
    ASSERT_EQ(chown((dir / "shared" / "Old" / "mine.txt").c_str(), 65534, 65534), 0);
    const Properties before = PropertiesOf(dir / "shared" / "Old" / "roots.txt");

    const int outcome = AsNobody([&] {
        std::string error;
        return static_cast<int>(RecreateFolder(dir / "shared" / "Old", {}, kMetadata, &error));
    });
    EXPECT_EQ(outcome, static_cast<int>(RecreateOutcome::CopyFailed));
    EXPECT_FALSE(fs::exists(dir / "shared" / "Old2"));
    EXPECT_TRUE(PropertiesOf(dir / "shared" / "Old" / "roots.txt") == before);
    EXPECT_EQ(test::ReadFile(dir / "shared" / "Old" / "roots.txt"), "root's");
    EXPECT_EQ(test::ReadFile(dir / "shared" / "Old" / "mine.txt"), "nobody's");
}

namespace {
// The real file times, except that the first attempt on a folder finds it busy.
class BusyOnceTimes : public IFileTimes {
public:
    explicit BusyOnceTimes(IFileTimes& real, int firstError) : m_real(real), m_firstError(firstError) {}
    int attempts = 0;
    std::optional<TDateTime> ModificationTime(const std::string& p) override { return m_real.ModificationTime(p); }
    std::optional<TDateTime> LastAccessTime(const std::string& p) override { return m_real.LastAccessTime(p); }
    Result<void> SetModificationTime(const std::string& p, TDateTime t) override
    {
        return m_real.SetModificationTime(p, t);
    }
    Result<void> SetAccessAndModificationTime(const std::string& p, TDateTime t) override
    {
        if (attempts++ == 0) return Fail(ErrorFromErrno(m_firstError, p, kSetTimesFailed));
        return m_real.SetAccessAndModificationTime(p, t);
    }
    TDateTime Now() override { return m_real.Now(); }

private:
    IFileTimes& m_real;
    int m_firstError;
};
} // namespace

TEST(FolderDates, OnlyABusyFolderIsRecreatedAndThenGetsItsDate)
{
    const auto backend = CreateNativePlatform();
    IFileTimes& real = *backend->Services().times;
    const TDateTime date = EncodeDateTime({2021, 3, 1, 0, 0, 0, 0});
    struct Case {
        int error;
        FolderDateOutcome outcome;
    };
    for (const Case& c : {Case{EBUSY, FolderDateOutcome::Recreated}, Case{EPERM, FolderDateOutcome::NotPermitted},
                          Case{EACCES, FolderDateOutcome::NotPermitted}, Case{EROFS, FolderDateOutcome::Failed}}) {
        test::TempDir dir;
        MakeSampleTree(dir, "Old");
        SetTimes(dir / "Old" / "one.txt", 1000000000);
        const Properties inner = PropertiesOf(dir / "Old" / "one.txt");
        const Properties top = PropertiesOf(dir / "Old");
        BusyOnceTimes times(real, c.error);
        const FolderDateResult result = ApplyFolderDate(times, (dir / "Old").string(), date, {}, kMetadata);
        EXPECT_EQ(result.outcome, c.outcome) << c.error << " " << result.error.detail;
        EXPECT_FALSE(fs::exists(dir / "Old2"));
        EXPECT_TRUE(PropertiesOf(dir / "Old" / "one.txt") == inner) << c.error;
        if (c.outcome == FolderDateOutcome::Recreated) {
            EXPECT_EQ(real.ModificationTime((dir / "Old").string()), date);
        } else {
            EXPECT_EQ(result.error.systemError, c.error);
            EXPECT_EQ(result.error.path, (dir / "Old").string());
            EXPECT_TRUE(PropertiesOf(dir / "Old") == top) << c.error;
        }
    }
}
#endif // !_WIN32
