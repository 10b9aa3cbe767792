// Write-then-read-back fuzzing of the writer and the protected folder: random trees with
// awkward names and assorted modes are protected and restored. Either everything comes
// back exactly (names, content, modes, empty files and folders), or protect refuses and
// the tree is untouched. VELMORA_ROUNDTRIP_RUNS and VELMORA_ROUNDTRIP_SEED give longer
// runs by hand.
#include "ArchiveResults.h"
#include "ArchiveTestSupport.h"
#include "archive/zip/ZipReader.h"
#include "common/Utf.h"
#include "platform/Platform.h"
#include "protect/ProtectedFolder.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <map>
#include <random>

namespace velmora {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

using Tree = std::map<std::string, std::string>;

Tree Snapshot(const fs::path& root, bool firstLevelModes)
{
    Tree tree;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
        const std::string rel = fs::relative(it->path(), root).string();
        const auto status = it->symlink_status();
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(status.permissions()) & 07777u);
        if (fs::is_directory(status)) {
            // A first-level folder travels as "<name>.zip", which keeps its content, not its own mode.
            const bool firstLevel = rel.find('/') == std::string::npos;
            tree[rel] = std::string("dir ") + (firstLevel && !firstLevelModes ? "" : mode);
        } else {
            tree[rel] = std::string("file ") + mode + " " + ReadFile(it->path());
        }
    }
    return tree;
}

class TreeMaker {
public:
    explicit TreeMaker(std::uint64_t seed) : m_random(seed) {}

    // Builds a random tree in root; returns true when a name in it cannot round-trip.
    bool Build(const fs::path& root)
    {
        m_odd = false;
        m_allowOdd = Pick(2) == 0; // half the trees hold ordinary names only
        Fill(root, 0);
        return m_odd;
    }

private:
    std::size_t Pick(std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(m_random); }

    std::string Name(int depth)
    {
        static const char* plain[] = {"a",          "notes.txt", "Straße.txt", "€uro", "中文", ".hidden",
                                      "with space", "x:y",       "trail.",     "ünï",  "CON",  "-dash"};
        std::string name;
        switch (m_allowOdd ? Pick(12) : 3 + Pick(9)) {
        case 0:
            name = "back\\slash" + std::to_string(Pick(100));
            break;
        case 1: {
            static const char controls[] = {'\x01', '\t', '\x1f', '\x7f'};
            name = std::string("ctl") + controls[Pick(4)] + std::to_string(Pick(100));
            break;
        }
        case 2:
            name = std::string("bad\xff\xfe") + std::to_string(Pick(100));
            break;
        case 3:
            // 255 bytes at the top only; deeper down the path would outgrow PATH_MAX.
            name = depth == 0 ? std::string(255 - 4, 'L') + std::to_string(1000 + Pick(9000))
                              : "long" + std::string(60, 'l');
            break;
        default:
            name = std::string(plain[Pick(std::size(plain))]) + (Pick(3) ? std::to_string(Pick(1000)) : "");
        }
        return name;
    }

    bool IsOdd(const std::string& name, bool folder, int depth)
    {
        // "\\" reads as a separator; control characters and "x:" at the start are names on
        // Linux, as on the peers.
        if (name.find('\\') != std::string::npos) return true;
        if (!IsValidUtf8(name)) return true;
        return folder && depth == 0 && name.size() + 4 > 255; // "<name>.zip" would be too long
    }

    void Fill(const fs::path& folder, int depth)
    {
        const std::size_t count = Pick(depth == 0 ? 6 : 4) + (depth == 0 ? 1 : 0);
        for (std::size_t i = 0; i < count; ++i) {
            const std::string name = Name(depth);
            const fs::path path = folder / name;
            if (fs::exists(fs::symlink_status(path))) continue;
            const bool makeFolder = depth < 3 && Pick(3) == 0;
            m_odd = m_odd || IsOdd(name, makeFolder, depth);
            if (makeFolder) {
                fs::create_directory(path);
                Fill(path, depth + 1);
                static const unsigned folderModes[] = {0700, 0755, 0750};
                fs::permissions(path, static_cast<fs::perms>(folderModes[Pick(3)]));
            } else {
                std::string content;
                switch (Pick(4)) {
                case 0:
                    break; // empty
                case 1:
                    content.assign(Pick(5000), static_cast<char>('a' + Pick(26)));
                    break;
                default:
                    content.resize(Pick(3000));
                    for (char& c : content)
                        c = static_cast<char>(Pick(256));
                }
                WriteFile(path, content);
                static const unsigned fileModes[] = {0600, 0644, 0755, 0700, 0400, 0444, 0640, 0750};
                fs::permissions(path, static_cast<fs::perms>(fileModes[Pick(std::size(fileModes))]));
            }
        }
    }

    std::mt19937_64 m_random;
    bool m_odd = false;
    bool m_allowOdd = false;
};

TEST(RoundTripFuzz, ProtectThenRestoreGivesBackTheTreeOrRefusesAndKeepsIt)
{
#ifdef _WIN32
    GTEST_SKIP() << "the random trees use Linux names (control characters, '\\', ':') and modes that Windows "
                    "cannot create; the Windows round trips run in win32_cli_tests";
#endif
    const char* runsText = std::getenv("VELMORA_ROUNDTRIP_RUNS");
    const char* seedText = std::getenv("VELMORA_ROUNDTRIP_SEED");
    const int runs = runsText ? std::atoi(runsText) : 30;
    const std::uint64_t seed = seedText ? std::strtoull(seedText, nullptr, 10) : 20261210;
    int restored = 0, refused = 0;
    const std::unique_ptr<PlatformBackend> native = CreateNativePlatform();
    for (int run = 0; run < runs; ++run) {
        SCOPED_TRACE("seed " + std::to_string(seed) + " run " + std::to_string(run));
        TempDir dir;
        const fs::path folder = dir / "F";
        fs::create_directory(folder);
        TreeMaker maker(seed * 1000003u + static_cast<std::uint64_t>(run));
        const bool odd = maker.Build(folder);
        const Tree before = Snapshot(folder, true);

        test::CountingRandom random;
        ProtectOptions options;
        options.password = "pw" + std::to_string(run);
        options.random = &random;
        // Every other run walks the tree the way the program does: through the system's
        // attribute service and its one-pass folder listing.
        if (run % 2 == 0) {
            options.attributes = AttributeReaderOf(native->Services().attributes);
            options.folders = FolderListerOf(native->Services().attributes);
        }
        const fs::path zip = dir / "F.zip";
        const ProtectResult result = ProtectFolderToArchive(folder, zip, options);
        if (result.status != ProtectStatus::Ok) {
            ++refused;
            EXPECT_TRUE(odd) << "refused a tree of ordinary names: " << test::FailureText(result.error);
            EXPECT_EQ(result.status, ProtectStatus::NameNotStorable) << test::FailureText(result.error);
            EXPECT_EQ(Snapshot(folder, true), before);
            EXPECT_FALSE(fs::exists(zip));
            continue;
        }
        ++restored;
        EXPECT_FALSE(odd) << "an odd name was accepted";
        ASSERT_FALSE(fs::exists(folder));
        const UnprotectResult back = UnprotectArchive(zip, folder, options.password);
        ASSERT_TRUE(back.outcome) << test::FailureText(back.outcome);
        // The subfolder archives stay packed by the restore; unpack them as a user would.
        for (const auto& [rel, what] : before) {
            if (what.rfind("dir", 0) != 0 || rel.find('/') != std::string::npos) continue;
            const fs::path packed = folder / (rel + ".zip");
            ASSERT_TRUE(fs::is_regular_file(packed)) << rel;
            // The subfolder's archive is exactly as private as the subfolder was.
            const unsigned folderMode = static_cast<unsigned>(std::stoul(what.substr(4), nullptr, 8));
            EXPECT_EQ(static_cast<unsigned>(fs::status(packed).permissions()) & 0777u, folderMode & 0666u) << rel;
            const ZipExtractResult unpacked = UnZipFile(packed, folder / rel);
            ASSERT_TRUE(unpacked.outcome) << test::FailureText(unpacked.outcome);
            fs::remove(packed);
        }
        Tree expected;
        for (const auto& [rel, what] : before) {
            const bool firstLevelFolder = what.rfind("dir", 0) == 0 && rel.find('/') == std::string::npos;
            expected[rel] = firstLevelFolder ? "dir " : what;
        }
        EXPECT_EQ(Snapshot(folder, false), expected);
    }
    std::printf("round trips: %d restored exactly, %d refused with the tree untouched\n", restored, refused);
    EXPECT_GT(restored, 0);
    EXPECT_GT(refused, 0);
}

} // namespace
} // namespace velmora
