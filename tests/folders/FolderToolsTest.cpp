#include "TestSupport.h"
#include "folders/FolderTools.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace velmora;
namespace fs = std::filesystem;

TEST(FolderTools, TargetRowTable)
{
    struct Case {
        std::vector<bool> selected;
        std::optional<std::size_t> expected;
    };
    const Case cases[] = {
        {{}, std::nullopt},
        {{false}, 0},                       // a single row counts, selected or not
        {{true}, 0},
        {{false, false, false}, std::nullopt},
        {{false, true, true}, 1},           // the first selected row
        {{true, false, true}, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(TargetRow(c.selected), c.expected) << c.selected.size();
}

TEST(FolderTools, PathRules)
{
    EXPECT_EQ(RecreationCopyPath("/data/Old"), "/data/Old2");
    EXPECT_EQ(RecreationCopyPath("/data/Old/"), "/data/Old2");
    EXPECT_EQ(WithoutTrailingSeparator("/"), "/");

    EXPECT_TRUE(IsSameOrInside("/a/b/c.zip", "/a/b"));
    EXPECT_TRUE(IsSameOrInside("/a/b", "/a/b/"));
    EXPECT_TRUE(IsSameOrInside("/a/b/../b/x.zip", "/a/b"));
    EXPECT_FALSE(IsSameOrInside("/a/bc.zip", "/a/b"));  // a name that merely starts alike
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
    EXPECT_TRUE(IsGuardedFolder(dir / "link-to-home", keep));  // links are resolved
    EXPECT_TRUE(IsGuardedFolder(dir / "opt", keep));
    EXPECT_FALSE(IsGuardedFolder(dir / "other", keep));
    EXPECT_FALSE(IsGuardedFolder(dir / "home" / "user" / "Documents", keep));
}

namespace {
void MakeSampleTree(const fs::path& root, const fs::path& outside)
{
    fs::create_directories(root / "Sub" / "Deeper" / "Deepest");
    fs::create_directories(root / "Empty");
    test::WriteFile(root / "one.txt", "one");
    test::WriteFile(root / ".hidden", "secret");
    test::WriteFile(root / "Sub" / "Deeper" / "Deepest" / "three.txt", std::string(100000, 'x'));
    fs::create_symlink(outside, root / "link");
}
} // namespace

TEST(FolderTools, RecreateReplacesTheFolderByAnIdenticalCopy)
{
    VELMORA_SKIP_WITHOUT_SYMLINKS();
    test::TempDir dir;
    fs::create_directories(dir / "outside");
    test::WriteFile(dir / "outside" / "keep.txt", "keep");
    MakeSampleTree(dir / "Old", dir / "outside");
    fs::create_directories(dir / "Reference");
    ASSERT_TRUE(CopyFolder(dir / "Old", dir / "Reference" / "Old"));

    EXPECT_EQ(RecreateFolder((dir / "Old").string() + "/", {}), RecreateOutcome::Recreated);
    EXPECT_TRUE(SameFolderContent(dir / "Old", dir / "Reference" / "Old"));
    EXPECT_TRUE(fs::is_symlink(dir / "Old" / "link"));
    EXPECT_FALSE(fs::exists(dir / "Old2"));
    EXPECT_EQ(test::ReadFile(dir / "outside" / "keep.txt"), "keep");
}

#if !defined(_WIN32) // needs a POSIX call
TEST(FolderTools, RecreateLeavesTheFolderAloneWhenItMustNotOrCannotCopy)
{
    test::TempDir dir;
    fs::create_directories(dir / "outside");
    MakeSampleTree(dir / "Old", dir / "outside");
    fs::create_directories(dir / "Reference");
    ASSERT_TRUE(CopyFolder(dir / "Old", dir / "Reference" / "Old"));

    // A folder of the copy's name exists: nothing is copied into it.
    fs::create_directories(dir / "Old2");
    test::WriteFile(dir / "Old2" / "mine.txt", "mine");
    EXPECT_EQ(RecreateFolder(dir / "Old", {}), RecreateOutcome::CopyExists);
    EXPECT_EQ(test::ReadFile(dir / "Old2" / "mine.txt"), "mine");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "Old2"), fs::directory_iterator()), 1);
    fs::remove_all(dir / "Old2");

    // The folder holds the home folder.
    EXPECT_EQ(RecreateFolder(dir / "Old", {dir / "Old" / "Sub"}), RecreateOutcome::Guarded);

    // Something that cannot be copied (a named pipe): the partial copy goes, the original stays.
    ASSERT_EQ(mkfifo((dir / "Old" / "Sub" / "pipe").c_str(), 0600), 0);
    EXPECT_EQ(RecreateFolder(dir / "Old", {}), RecreateOutcome::CopyFailed);
    EXPECT_FALSE(fs::exists(dir / "Old2"));
    fs::remove(dir / "Old" / "Sub" / "pipe");
    EXPECT_TRUE(SameFolderContent(dir / "Old", dir / "Reference" / "Old"));
}
#endif

TEST(FolderTools, SameFolderContentSeesEveryDifference)
{
    VELMORA_SKIP_WITHOUT_SYMLINKS();
    test::TempDir dir;
    fs::create_directories(dir / "outside");
    MakeSampleTree(dir / "A", dir / "outside");
    ASSERT_TRUE(CopyFolder(dir / "A", dir / "B"));
    EXPECT_TRUE(SameFolderContent(dir / "A", dir / "B"));

    test::WriteFile(dir / "B" / "Sub" / "Deeper" / "Deepest" / "three.txt", std::string(100000, 'y'));
    EXPECT_FALSE(SameFolderContent(dir / "A", dir / "B"));
    fs::remove_all(dir / "B");
    ASSERT_TRUE(CopyFolder(dir / "A", dir / "B"));
    fs::remove(dir / "B" / "Empty");
    EXPECT_FALSE(SameFolderContent(dir / "A", dir / "B"));
    fs::create_directory(dir / "B" / "Empty");
    test::WriteFile(dir / "B" / "extra", "");
    EXPECT_FALSE(SameFolderContent(dir / "A", dir / "B"));
}

TEST(FolderTools, DeletingNeverFollowsLinks)
{
    VELMORA_SKIP_WITHOUT_SYMLINKS();
    test::TempDir dir;
    fs::create_directories(dir / "outside");
    test::WriteFile(dir / "outside" / "keep.txt", "keep");
    MakeSampleTree(dir / "Old", dir / "outside");
    EXPECT_TRUE(DeleteFolderPermanently(dir / "Old"));
    EXPECT_FALSE(fs::exists(dir / "Old"));
    EXPECT_EQ(test::ReadFile(dir / "outside" / "keep.txt"), "keep");

    std::string error;
    EXPECT_TRUE(DeleteFolderPermanently(dir / "never-was", &error));  // nothing there: nothing left
}
