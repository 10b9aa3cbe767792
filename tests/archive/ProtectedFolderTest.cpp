#include "protect/ProtectedFolder.h"
#include "ArchiveResults.h"
#include "TestSupport.h"
#include "archive/zip/ZipReader.h"
#include "archive/zip/ZipWriter.h"
#include "folders/FolderTools.h"
#include "platform/IRandomSource.h"
#include "platform/PrivateFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

using namespace velmora;
namespace fs = std::filesystem;

// The reference copies compare names, kinds and bytes; a restored folder is new, so its
// times and such are not compared.
const velmora::MetadataService kContentOnly{[](const std::string&, const std::string&, std::string*) { return true; },
                                            [](const std::string&, const std::string&) { return true; }};

namespace {

class CountingRandom : public IRandomSource {
public:
    Result<void> Fill(std::span<std::uint8_t> out) override
    {
        for (auto& b : out)
            b = static_cast<std::uint8_t>(m_next++ * 37);
        return Ok();
    }

private:
    unsigned m_next = 1;
};

std::vector<std::string> Names(const fs::path& archive)
{
    const Result<ZipListing> listing = ListZipArchive(archive);
    EXPECT_TRUE(listing) << archive << ": " << test::FailureText(listing);
    std::vector<std::string> names;
    for (const ZipEntryInfo& e : listing->entries)
        names.push_back(e.name);
    std::sort(names.begin(), names.end());
    return names;
}

struct Protect {
    CountingRandom random;
    ProtectResult Run(const fs::path& folder, const fs::path& zipPath, const std::string& password = "pw")
    {
        ProtectOptions options;
        options.password = password;
        options.random = &random;
        return ProtectFolderToArchive(folder, zipPath, options);
    }
};

using Strings = std::vector<std::string>;

} // namespace

TEST(ProtectedFolder, LayoutEntryByEntryAndBackAgain)
{
    test::TempDir dir;
    fs::create_directories(dir / "F" / "Sub");
    test::WriteFile(dir / "F" / "one.txt", "one");
    test::WriteFile(dir / "F" / "two.txt", std::string(20000, 't'));
    test::WriteFile(dir / "F" / "Sub" / "three.txt", "three");
    Protect protect;
    std::uint64_t lastDone = 0, lastTotal = 0;
    ProtectOptions options;
    options.password = "pw";
    options.random = &protect.random;
    options.progress = [&](std::uint64_t done, std::uint64_t total) {
        EXPECT_GE(done, lastDone);
        lastDone = done;
        lastTotal = total;
    };
    const ProtectResult result = ProtectFolderToArchive(dir / "F", dir / "F.zip", options);
    ASSERT_EQ(result.status, ProtectStatus::Ok) << test::FailureText(result.error);
    EXPECT_EQ(lastDone, lastTotal);
    EXPECT_FALSE(fs::exists(dir / "F"));
    // Only the archive is left beside it: no work files.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);

    // Outer: one encrypted entry "folder.zip" (bits 0 and 3).
    const ZipListing outer = test::Listing(dir / "F.zip");
    ASSERT_EQ(outer.entries.size(), 1u);
    EXPECT_EQ(outer.entries[0].name, "folder.zip");
    EXPECT_TRUE(outer.entries[0].encrypted);
    EXPECT_EQ(outer.entries[0].flags & 0x9, 0x9);

    // Inner: the folder's files and Sub.zip, unencrypted; Sub.zip holds three.txt.
    fs::create_directories(dir / "look");
    ASSERT_TRUE(ExtractProtected(dir / "look", dir / "F.zip", "pw").outcome);
    EXPECT_EQ(Names(dir / "look" / "folder.zip"), (Strings{"Sub.zip", "one.txt", "two.txt"}));
    for (const ZipEntryInfo& e : test::Listing(dir / "look" / "folder.zip").entries)
        EXPECT_FALSE(e.encrypted);
    ASSERT_TRUE(UnZipFile(dir / "look" / "folder.zip", dir / "look" / "inner").outcome);
    EXPECT_EQ(Names(dir / "look" / "inner" / "Sub.zip"), (Strings{"three.txt"}));

    // Back with the same password: the files and Sub.zip, still packed; folder.zip removed.
    const UnprotectResult back = UnprotectArchive(dir / "F.zip", dir / "F", "pw");
    ASSERT_TRUE(back.outcome) << test::FailureText(back.outcome);
    EXPECT_EQ(test::ReadFile(dir / "F" / "one.txt"), "one");
    EXPECT_EQ(test::ReadFile(dir / "F" / "two.txt"), std::string(20000, 't'));
    EXPECT_TRUE(fs::is_regular_file(dir / "F" / "Sub.zip"));
    EXPECT_FALSE(fs::exists(dir / "F" / "folder.zip"));
    EXPECT_FALSE(fs::exists(dir / "F" / "Sub"));
    EXPECT_TRUE(fs::exists(dir / "F.zip")); // the archive is never deleted by unzipping
}

// The folder is walked again once everything is packed: a file that grew, a file added
// or a folder removed meanwhile (here while the first subfolder archive is written)
// stops the protect with the folder kept and no archive in place.
TEST(ProtectedFolder, AFolderThatChangesWhileItIsPackedIsKept)
{
    const std::vector<std::pair<std::string, std::function<void(const fs::path&)>>> cases = {
        {"unchanged", [](const fs::path&) {}},
        {"a file grew", [](const fs::path& f) { test::WriteFile(f / "one.txt", "one and more"); }},
        {"a file was added", [](const fs::path& f) { test::WriteFile(f / "new.txt", "new"); }},
        {"a folder was removed", [](const fs::path& f) { fs::remove(f / "Empty"); }},
    };
    for (const auto& [name, change] : cases) {
        test::TempDir dir;
        const fs::path folder = dir / "F";
        fs::create_directories(folder / "Sub");
        fs::create_directories(folder / "Empty");
        test::WriteFile(folder / "one.txt", "one");
        test::WriteFile(folder / "Sub" / "three.txt", "three");
        Protect protect;
        ProtectOptions options;
        options.password = "pw";
        options.random = &protect.random;
        bool changed = false;
        options.progress = [&](std::uint64_t, std::uint64_t) {
            if (!changed) change(folder);
            changed = true;
        };
        const ProtectResult result = ProtectFolderToArchive(folder, dir / "F.zip", options);
        EXPECT_TRUE(changed) << name;
        if (name == "unchanged") {
            EXPECT_EQ(result.status, ProtectStatus::Ok) << test::FailureText(result.error);
            EXPECT_FALSE(fs::exists(folder));
            continue;
        }
        EXPECT_EQ(result.status, ProtectStatus::VerifyFailed) << name;
        EXPECT_NE(test::FailureText(result.error).find("changed while it was packed"), std::string::npos)
            << name << ": " << test::FailureText(result.error);
        EXPECT_TRUE(fs::exists(folder / "Sub" / "three.txt")) << name;
        EXPECT_FALSE(fs::exists(dir / "F.zip")) << name;
    }
}

TEST(ProtectedFolder, WrongAndEmptyPasswordsFail)
{
    test::TempDir dir;
    fs::create_directories(dir / "F");
    test::WriteFile(dir / "F" / "one.txt", "one");
    Protect protect;
    ASSERT_EQ(protect.Run(dir / "F", dir / "F.zip", "right").status, ProtectStatus::Ok);
    for (const char* password : {"wrong", "", "Right"}) {
        const UnprotectResult result = UnprotectArchive(dir / "F.zip", dir / "T", password);
        EXPECT_FALSE(result.outcome) << password;
        EXPECT_FALSE(fs::exists(dir / "T" / "one.txt")) << password;
    }
    EXPECT_TRUE(UnprotectArchive(dir / "F.zip", dir / "T", " right ").outcome); // the field is trimmed
}

TEST(ProtectedFolder, HiddenFilesDeepFoldersAndAwkwardNamesSurvive)
{
    test::TempDir dir;
    const fs::path f = dir / "F";
    fs::create_directories(f / "A" / "B" / "C");
    fs::create_directories(f / "A" / "B" / "EmptyDeep");
    fs::create_directories(f / ".git");
    fs::create_directories(f / "Empty");
    test::WriteFile(f / ".hidden", "secret");
    test::WriteFile(f / "A" / "B" / "C" / "deep.txt", "deep");
    test::WriteFile(f / "A" / "B" / "C" / ".deeper", "deeper");
    test::WriteFile(f / ".git" / "config", "[core]");
    test::WriteFile(f / "folder.zip", "a file of mine named like the inner archive");
    fs::create_directories(dir / "Reference");
    ASSERT_TRUE(CopyFolder(f, dir / "Reference" / "F", kContentOnly));

    Protect protect;
    const ProtectResult result = protect.Run(f, dir / "F.zip");
    ASSERT_EQ(result.status, ProtectStatus::Ok) << test::FailureText(result.error);
    ASSERT_FALSE(fs::exists(f));
    const UnprotectResult back = UnprotectArchive(dir / "F.zip", f, "pw");
    ASSERT_TRUE(back.outcome) << test::FailureText(back.outcome);
    EXPECT_EQ(Names(f / "A.zip"), (Strings{"B/", "B/C/", "B/C/.deeper", "B/C/deep.txt", "B/EmptyDeep/"}));

    // Unpacking the subfolder archives gives the folder back as it was.
    for (const char* name : {"A", ".git", "Empty"}) {
        const fs::path archive = f / (std::string(name) + ".zip");
        ASSERT_TRUE(UnZipFile(archive, f / name).outcome) << name;
        fs::remove(archive);
    }
    EXPECT_TRUE(SameFolderContent(f, dir / "Reference" / "F", kContentOnly));
}

TEST(ProtectedFolder, RefusalsChangeNothing)
{
    VELMORA_SKIP_WITHOUT_SYMLINKS();
    test::TempDir dir;
    const fs::path f = dir / "F";
    fs::create_directories(f / "Sub");
    test::WriteFile(f / "one.txt", "one");
    test::WriteFile(f / "Sub.zip", "mine");
    test::WriteFile(dir / "F.zip", "older");
    fs::create_directories(dir / "Reference");
    ASSERT_TRUE(CopyFolder(f, dir / "Reference" / "F", kContentOnly));
    const auto unchanged = [&] {
        return SameFolderContent(f, dir / "Reference" / "F", kContentOnly) && test::ReadFile(dir / "F.zip") == "older";
    };

    // What the user is asked about before anything happens.
    const ProtectCheck check = CheckProtectFolder(f, dir / "F.zip", {});
    EXPECT_EQ(check.status, ProtectStatus::Ok);
    EXPECT_EQ(check.replaced, (std::vector<fs::path>{dir / "F.zip", f / "Sub.zip"}));

    struct Case {
        fs::path folder;
        fs::path zipPath;
        std::vector<fs::path> guarded;
        ProtectStatus expected;
    };
    const Case checks[] = {
        {f, f / "inside.zip", {}, ProtectStatus::InvalidInput},
        {f, f / "Sub" / ".." / "x.zip", {}, ProtectStatus::InvalidInput},
        {f, f, {}, ProtectStatus::InvalidInput},
        {dir / "missing", dir / "m.zip", {}, ProtectStatus::InvalidInput},
        {f, "", {}, ProtectStatus::InvalidInput},
        {f, dir / "G.zip", {f / "Sub" / "home"}, ProtectStatus::Refused},
    };
    for (const Case& c : checks)
        EXPECT_EQ(CheckProtectFolder(c.folder, c.zipPath, c.guarded).status, c.expected) << c.zipPath;

    Protect protect;
    EXPECT_EQ(protect.Run(f, f / "inside.zip").status, ProtectStatus::InvalidInput);
    EXPECT_EQ(protect.Run(f, dir / "F.backup").status, ProtectStatus::ArchiveFailed); // no archive name
    EXPECT_FALSE(fs::exists(dir / "F.backup"));
    // A link (or anything else an archive cannot hold) keeps the folder as it is.
    fs::create_symlink(dir / "F.zip", f / "Sub" / "link");
    const ProtectResult linked = protect.Run(f, dir / "G.zip");
    EXPECT_EQ(linked.status, ProtectStatus::Refused);
    EXPECT_NE(test::FailureText(linked.error).find("link"), std::string::npos) << test::FailureText(linked.error);
    EXPECT_FALSE(fs::exists(dir / "G.zip"));
    fs::remove(f / "Sub" / "link");
    EXPECT_TRUE(unchanged());
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 3); // no work files
}

TEST(ProtectedFolder, UnzippingAnOrdinaryArchiveLeavesAFolderZipOfTheTargetAlone)
{
    test::TempDir dir;
    fs::create_directories(dir / "src" / "a");
    test::WriteFile(dir / "src" / "a" / "x.txt", "x");
    std::vector<ZipSource> sources{{dir / "src" / "a" / "x.txt", "a/x.txt", false}};
    ZipWriteOptions options;
    ASSERT_TRUE(WriteZipEntries(sources, dir / "plain.zip", options).outcome);
    fs::create_directories(dir / "T");
    test::WriteFile(dir / "T" / "folder.zip", "mine, not an archive");

    const UnprotectResult result = UnprotectArchive(dir / "plain.zip", dir / "T", "lockerbin7");
    EXPECT_TRUE(result.outcome) << test::FailureText(result.outcome);
    EXPECT_EQ(test::ReadFile(dir / "T" / "x.txt"), "x"); // folder parts dropped
    EXPECT_EQ(test::ReadFile(dir / "T" / "folder.zip"), "mine, not an archive");
}

// Work folders beside the zip path: private from creation and named for the process that
// made them. The next protect or restore there removes those whose process has ended,
// leaves those of runs still going, and reports what it cannot prove to be its own.
TEST(ProtectedFolder, WorkFoldersOfKilledRunsAreRemovedAndTheRestReported)
{
    test::TempDir dir;
    fs::create_directories(dir / "F" / "Sub");
    test::WriteFile(dir / "F" / "one.txt", "one");
    test::WriteFile(dir / "F" / "Sub" / "two.txt", "two");
    const auto plant = [&](const std::string& name) {
        fs::create_directories(dir / name / "nested");
        test::WriteFile(dir / name / "nested" / "Sub.zip", "PK unencrypted");
    };
    // No process 999999999 (above the kernel's largest id); our id with a start time that
    // is not ours (the id reused by a later process); ourselves, a run still going.
    std::string self = OwnProcessIdentity();
    self[self.find(':')] = '-';
    const std::string ownId = self.substr(0, self.find('-'));
    plant(".F.zip.protect-999999999-5-123");
    plant(".G.zip.protect-" + ownId + "-1-7"); // another zip name in the same folder
    plant(".F.zip.protect-456");               // an older version's: no owner in the name
    plant(".F.zip.protect-" + self + "-789");
    test::WriteFile(dir / ".F.zip.protect-1-2-3", "a file, not a folder");

    Protect protect;
    ProtectOptions options;
    options.password = "pw";
    options.random = &protect.random;
    std::vector<std::string> seen; // work folders of this run, as the progress saw them
    fs::perms mode{};
    options.progress = [&](std::uint64_t, std::uint64_t) {
        for (const auto& entry : fs::directory_iterator(dir.path())) {
            const std::string name = entry.path().filename().string();
            if (name.rfind(".F.zip.protect-" + self + "-", 0) == 0 && name != ".F.zip.protect-" + self + "-789") {
                seen.push_back(name);
                mode = fs::symlink_status(entry.path()).permissions();
            }
        }
    };
    const ProtectResult result = ProtectFolderToArchive(dir / "F", dir / "F.zip", options);
    ASSERT_EQ(result.status, ProtectStatus::Ok) << test::FailureText(result.error);
    ASSERT_FALSE(seen.empty());
#ifndef _WIN32
    EXPECT_EQ(mode, fs::perms::owner_all); // private from its creation (Windows has no such modes)
#endif
    EXPECT_FALSE(fs::exists(dir / seen.front())); // removed at the end of the run

    EXPECT_FALSE(fs::exists(dir / ".F.zip.protect-999999999-5-123"));
    EXPECT_FALSE(fs::exists(dir / (".G.zip.protect-" + ownId + "-1-7")));
    EXPECT_TRUE(fs::exists(dir / ".F.zip.protect-456" / "nested" / "Sub.zip"));
    EXPECT_TRUE(fs::exists(dir / (".F.zip.protect-" + self + "-789") / "nested" / "Sub.zip"));
    EXPECT_TRUE(fs::is_regular_file(dir / ".F.zip.protect-1-2-3"));
    ASSERT_EQ(result.leftovers.size(), 1u);
    EXPECT_NE(result.leftovers[0].find(".F.zip.protect-456'"), std::string::npos) << result.leftovers[0];
    EXPECT_NE(result.leftovers[0].find("unencrypted"), std::string::npos) << result.leftovers[0];

    // A restore in that folder removes a stale one as well.
    plant(".H.zip.protect-999999999-5-8");
    const UnprotectResult restored = UnprotectArchive(dir / "F.zip", dir / "R", "pw");
    EXPECT_TRUE(restored.outcome) << test::FailureText(restored.outcome);
    EXPECT_FALSE(fs::exists(dir / ".H.zip.protect-999999999-5-8"));
    EXPECT_EQ(restored.leftovers.size(), 1u);
}

// A restore killed part way can leave its hidden work folder in the target; the next
// restore into that folder removes what is provably such a folder, and nothing else.
TEST(ProtectedFolder, RestoreRemovesWorkFoldersOfKilledRestoresAndNothingElse)
{
    test::TempDir dir;
    fs::create_directories(dir / "F");
    test::WriteFile(dir / "F" / "one.txt", "one");
    Protect protect;
    ASSERT_EQ(protect.Run(dir / "F", dir / "F.zip").status, ProtectStatus::Ok);
    const fs::path target = dir / "T";
    const std::string marker = "work folder of a protected-folder restore\n";
    fs::create_directories(target / ".velmora-restore-11");           // killed before its marker
    fs::create_directories(target / ".velmora-restore-22" / "files"); // killed while extracting
    test::WriteFile(target / ".velmora-restore-22" / "owner", marker);
    test::WriteFile(target / ".velmora-restore-22" / "files" / "a.txt", "a");
    fs::create_directories(target / ".velmora-restore-33"); // not ours: no marker
    test::WriteFile(target / ".velmora-restore-33" / "mine.txt", "mine");
    fs::create_directories(target / ".velmora-restore-44" / "files" / "deeper"); // not what a restore makes
    test::WriteFile(target / ".velmora-restore-44" / "owner", marker);
    fs::create_directories(target / ".velmora-restore-5x"); // not our name
    ASSERT_TRUE(UnprotectArchive(dir / "F.zip", target, "pw").outcome);
    EXPECT_EQ(test::ReadFile(target / "one.txt"), "one");
    EXPECT_FALSE(fs::exists(target / ".velmora-restore-11"));
    EXPECT_FALSE(fs::exists(target / ".velmora-restore-22"));
    EXPECT_EQ(test::ReadFile(target / ".velmora-restore-33" / "mine.txt"), "mine");
    EXPECT_TRUE(fs::exists(target / ".velmora-restore-44" / "files" / "deeper"));
    EXPECT_TRUE(fs::exists(target / ".velmora-restore-5x"));
}
