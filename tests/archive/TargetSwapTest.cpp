// A target folder changed under a running extraction, at a chosen moment, as another
// process with write access to it could: nothing may be written, read or deleted through
// a link swapped in.
#include "ArchiveResults.h"
#include "ArchiveTestSupport.h"
#include "archive/zip/ZipReader.h"
#include "archive/zip/ZipWriter.h"
#include "platform/FolderRemoval.h"

#include <gtest/gtest.h>

#include <set>

namespace velmora {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

std::set<std::string> FilesBelow(const fs::path& root)
{
    std::set<std::string> names;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
        if (!it->is_directory()) names.insert(fs::relative(it->path(), root).generic_string());
    }
    return names;
}

fs::path Pack(const TempDir& dir, const std::vector<std::string>& names)
{
    std::vector<ZipSource> sources;
    for (const std::string& name : names) {
        fs::create_directories((dir / "src" / name).parent_path());
        WriteFile(dir / "src" / name, "data of " + name);
        sources.push_back({dir / "src" / name, name, false});
    }
    const fs::path archive = dir / "swap.zip";
    EXPECT_TRUE(WriteZipEntries(sources, archive, {}).outcome);
    return archive;
}

// Renames folder away to moved and puts a link to victim in its place.
void SwapForLink(const fs::path& folder, const fs::path& moved, const fs::path& victim)
{
    if (!moved.empty()) fs::rename(folder, moved);
    fs::create_directory_symlink(victim, folder);
}

struct SwapCase {
    const char* what;
    std::vector<std::string> entries;
    std::size_t before;       // the swap happens before this entry is looked at
    const char* folder;       // below the target; "" is the target itself
    bool moveAway;            // an existing folder is renamed away first
    const char* failsAt;      // the path below the target a failure names ("": the run succeeds)
    std::set<std::string> in; // files found below the target afterwards (through no link)
};

std::vector<std::string> ManyFolders(std::string first, std::string last)
{
    std::vector<std::string> names{std::move(first)};
    for (int i = 0; i < 150; ++i)
        names.push_back("f" + std::to_string(1000 + i) + "/z");
    names.push_back(std::move(last));
    return names;
}

TEST(TargetSwap, NothingIsWrittenThroughAFolderSwappedForALinkPartWay)
{
    VELMORA_SKIP_WITHOUT_SYMLINKS();
    std::set<std::string> manyIn{"moved/a"};
    for (int i = 0; i < 150; ++i)
        manyIn.insert("f" + std::to_string(1000 + i) + "/z");
    const SwapCase cases[] = {
        {"a held folder renamed away keeps getting its files, the link none",
         {"d/a", "d/b", "d/e/c"},
         1,
         "d",
         true,
         "",
         {"moved/a", "moved/b", "moved/e/c"}},
        {"a folder that is a link by the time it is needed fails its entries",
         {"d/a", "x/b", "x/y/c"},
         1,
         "x",
         false,
         "x",
         {"d/a"}},
        {"a folder let go of and looked up again is found to be a link", ManyFolders("d/a", "d/last"), 151, "d", true,
         "d", manyIn},
    };
    for (const SwapCase& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        TempDir victim;
        const fs::path archive = Pack(dir, c.entries);
        const fs::path out = dir / "out";
        ZipExtractOptions options;
        options.beforeEntry = [&](std::size_t i) {
            if (i == c.before) SwapForLink(out / c.folder, c.moveAway ? out / "moved" : fs::path(), victim.path());
        };
        const ZipExtractResult result = UnZipFile(archive, out, options);
        EXPECT_TRUE(FilesBelow(victim.path()).empty());
        fs::remove(out / c.folder); // the link itself
        EXPECT_EQ(FilesBelow(out), c.in);
        if (*c.failsAt == 0) {
            EXPECT_TRUE(result.outcome) << test::FailureText(result.outcome);
        } else {
            ASSERT_FALSE(result.outcome);
            EXPECT_EQ(result.outcome.error().kind, Error::Kind::InvalidInput);
            EXPECT_NE(test::FailureText(result.outcome).find("'" + (out / c.failsAt).string() + "'"),
                      std::string::npos);
            EXPECT_NE(test::FailureText(result.outcome).find("is a link"), std::string::npos)
                << test::FailureText(result.outcome);
        }
    }
}

TEST(TargetSwap, AFlatExtractionKeepsWritingIntoTheTargetItOpened)
{
    VELMORA_SKIP_WITHOUT_SYMLINKS();
    TempDir dir;
    TempDir victim;
    const fs::path archive = Pack(dir, {"a", "sub/b", "c"});
    const fs::path out = dir / "out";
    fs::create_directory(out);
    ZipExtractOptions options;
    options.beforeEntry = [&](std::size_t i) {
        if (i == 1) SwapForLink(out, dir / "moved", victim.path());
    };
    const ZipExtractResult result = ExtractProtected(out, archive, "", options);
    EXPECT_TRUE(result.outcome) << test::FailureText(result.outcome);
    EXPECT_TRUE(FilesBelow(victim.path()).empty());
    EXPECT_EQ(FilesBelow(dir / "moved"), (std::set<std::string>{"a", "b", "c"}));
}

TEST(TargetSwap, AFolderBeingPackedReadsNothingThroughALinkAndDeletesNothingThroughOne)
{
    VELMORA_SKIP_WITHOUT_SYMLINKS();
    TempDir dir;
    TempDir victim;
    WriteFile(victim / "secret", "not to be packed");
    const fs::path src = dir / "src";
    fs::create_directories(src / "d");
    WriteFile(src / "top", "top");
    WriteFile(src / "d" / "secret", "ours");
    std::vector<ZipSkipped> skipped;
    const Result<std::vector<ZipSource>> collected = CollectZipSources(src, ZipSelection::WholeTree, {}, {}, &skipped);
    ASSERT_TRUE(collected) << test::FailureText(collected);
    const std::vector<ZipSource>& sources = *collected;
    // Between the walk and the reading, d becomes a link to a folder with a file of the same name.
    SwapForLink(src / "d", dir / "moved", victim.path());
    const ZipWriteResult written = WriteZipEntries(sources, dir / "packed.zip", {});
    ASSERT_TRUE(written.outcome) << test::FailureText(written.outcome);
    ASSERT_EQ(written.skipped.size(), 1u);
    EXPECT_EQ(written.skipped[0].path, src / "d" / "secret");
    const fs::path check = dir / "check";
    ASSERT_TRUE(UnZipFile(dir / "packed.zip", check).outcome);
    EXPECT_EQ(FilesBelow(check), (std::set<std::string>{"top"}));

    // Deleting the folder removes the link, never what it points to.
    ASSERT_TRUE(DeleteFolderPermanently(src));
    EXPECT_FALSE(fs::exists(fs::symlink_status(src)));
    EXPECT_EQ(ReadFile(victim / "secret"), "not to be packed");
}

} // namespace
} // namespace velmora
