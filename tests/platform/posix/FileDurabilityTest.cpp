#include "platform/FileDurability.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
#include <filesystem>

using namespace velmora;
namespace fs = std::filesystem;

namespace {
// The names in a folder, so a left-over temporary file shows.
std::size_t Entries(const fs::path& folder)
{
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}
} // namespace

TEST(FileDurability, ReplaceKeepsPermissionsAndLeavesNothingBehind)
{
    test::TempDir dir;
    const fs::path file = dir / "settings.ini";
    ASSERT_TRUE(ReplaceFileAtomically(file.string(), "new file"));
    EXPECT_EQ(test::ReadFile(file), "new file");

    ASSERT_EQ(chmod(file.c_str(), 0640), 0);
    ASSERT_TRUE(ReplaceFileAtomically(file.string(), std::string(100000, 'x')));
    EXPECT_EQ(test::ReadFile(file), std::string(100000, 'x'));
    struct stat st {};
    ASSERT_EQ(stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);

    // A link is replaced by the file; what it pointed at stays as it was.
    test::WriteFile(dir / "elsewhere", "keep");
    fs::create_symlink(dir / "elsewhere", dir / "link");
    ASSERT_TRUE(ReplaceFileAtomically((dir / "link").string(), "written"));
    EXPECT_FALSE(fs::is_symlink(dir / "link"));
    EXPECT_EQ(test::ReadFile(dir / "elsewhere"), "keep");
    EXPECT_EQ(Entries(dir.path()), 3u);
}

TEST(FileDurability, AFailedReplaceLeavesTheOldFileAndNoTemporary)
{
    test::TempDir dir;
    fs::create_directories(dir / "folder" / "inside");
    // A folder in the way: the rename fails, the folder and its content stay.
    const Result<void> onFolder = ReplaceFileAtomically((dir / "folder").string(), "bytes");
    ASSERT_FALSE(onFolder);
    EXPECT_NE(onFolder.error().systemError, 0);
    EXPECT_EQ(onFolder.error().path, (dir / "folder").string());
    EXPECT_TRUE(fs::is_directory(dir / "folder" / "inside"));
    EXPECT_EQ(Entries(dir.path()), 1u);

    const Result<void> missing = ReplaceFileAtomically((dir / "missing" / "file").string(), "bytes");
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().systemError, ENOENT);
    EXPECT_EQ(missing.error().kind, Error::Kind::NotFound);
    const Result<void> folderName = ReplaceFileAtomically((dir / "folder/").string(), "bytes");
    ASSERT_FALSE(folderName);
    EXPECT_EQ(folderName.error().systemError, EISDIR);
}
