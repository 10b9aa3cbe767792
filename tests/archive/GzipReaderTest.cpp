#include "archive/gzip/GzipReader.h"
#include "ArchiveResults.h"
#include "ArchiveTestSupport.h"
#include "archive/ArchiveIo.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <chrono>

namespace velmora {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

// A gzip member with the given header flags/name and MTIME.
std::string Gzip(const std::string& data, const std::string* name, std::uint32_t mtime = 0)
{
    std::string out("\x1f\x8b\x08", 3);
    out.push_back(name ? 0x08 : 0x00);
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<char>((mtime >> (8 * i)) & 0xFF));
    out.append("\x00\x03", 2);
    if (name) out.append(*name).push_back('\0');
    z_stream zs{};
    deflateInit2(&zs, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    std::string packed(deflateBound(&zs, data.size()), '\0');
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    zs.avail_in = static_cast<uInt>(data.size());
    zs.next_out = reinterpret_cast<Bytef*>(packed.data());
    zs.avail_out = static_cast<uInt>(packed.size());
    deflate(&zs, Z_FINISH);
    packed.resize(zs.total_out);
    deflateEnd(&zs);
    out += packed;
    const std::uint32_t crc = static_cast<std::uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
    for (std::uint32_t v : {crc, static_cast<std::uint32_t>(data.size())})
        for (int i = 0; i < 4; ++i)
            out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    return out;
}

TEST(Gzip, OutputNameRules)
{
    struct Case {
        std::string stored;
        bool hasName;
        std::string expected;
    } cases[] = {
        {"report.txt", true, "report.txt"},
        {"docs/readme.md", true, "readme.md"},
        {"C:\\x\\y.txt", true, "y.txt"},
        {"a:b", true, "b"},
        {"", false, "unknown"},
        {"..", true, "unknown"},
        {"dir/", true, "unknown"},
        {"\xE4nderung.txt", true, "\xC3\xA4nderung.txt"}, // not UTF-8: Windows-1252
        {"\xC3\xA4nderung.txt", true, "\xC3\xA4nderung.txt"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(GzipOutputName(c.stored, c.hasName), c.expected) << c.stored;
}

TEST(Gzip, ExtractsEveryMemberBesideTheGzipFile)
{
    TempDir dir;
    const std::string name = "sub/report.txt";
    WriteFile(dir / "report.txt.gz", Gzip("first member", &name) + Gzip("second", nullptr));
    WriteFile(dir / "report.txt", "old content");
    const auto result = GUnzipToFile(dir / "report.txt.gz");
    ASSERT_TRUE(result.outcome) << test::FailureText(result.outcome);
    EXPECT_EQ(result.output, dir / "report.txt");
    EXPECT_EQ(ReadFile(dir / "report.txt"), "first membersecond"); // every member, under the first one's name

    WriteFile(dir / "anon.gz", Gzip("anonymous", nullptr));
    ASSERT_TRUE(GUnzipToFile(dir / "anon.gz").outcome);
    EXPECT_EQ(ReadFile(dir / "unknown"), "anonymous");
}

// Members of many sizes, so that member ends and trailers fall at every place within the
// reader's input buffers and the inflater's read-ahead reaches across them; one member
// large enough to span several output buffers.
TEST(Gzip, MemberBoundariesAnywhereInTheInput)
{
    TempDir dir;
    std::string expected;
    std::string file;
    std::uint32_t seed = 7;
    for (int i = 0; i < 700; ++i) {
        std::string data;
        const std::size_t size = i == 350 ? (3u << 20) : 900 + static_cast<std::size_t>(i) * 3;
        for (std::size_t k = 0; k < size; ++k) {
            seed = seed * 1103515245u + 12345u;
            data.push_back(k % 7 == 0 ? static_cast<char>(seed >> 24) : static_cast<char>('a' + (k + i) % 13));
        }
        expected += data;
        file += Gzip(data, nullptr);
    }
    WriteFile(dir / "many.gz", file);
    const auto result = GUnzipToFile(dir / "many.gz");
    ASSERT_TRUE(result.outcome) << test::FailureText(result.outcome);
    EXPECT_TRUE(ReadFile(dir / "unknown") == expected);
}

TEST(Gzip, FailuresLeaveNoOutput)
{
    TempDir dir;
    const std::string name = "out.txt";
    std::string good = Gzip(std::string(100000, 'x'), &name);
    std::string badCrc = good;
    badCrc[badCrc.size() - 8] ^= 1;
    std::string badSize = good;
    badSize[badSize.size() - 1] ^= 1;
    const std::pair<const char*, std::string> cases[] = {
        {"notes.gz", "plain text, not gzip"},
        {"empty.gz", ""},
        {"crc.gz", badCrc},
        {"size.gz", badSize},
        {"truncated.gz", good.substr(0, good.size() / 2)},
        {"notrailer.gz", good.substr(0, good.size() - 8)},
    };
    for (const auto& [file, bytes] : cases) {
        WriteFile(dir / file, bytes);
        EXPECT_FALSE(GUnzipToFile(dir / file).outcome) << file;
        std::size_t count = 0;
        for (const auto& e : std::filesystem::directory_iterator(dir.path()))
            count += e.path() != dir / file;
        EXPECT_EQ(count, 0u) << file;
        std::filesystem::remove(dir / file);
    }
    // A stored name equal to the gzip file's own name would destroy it.
    const std::string self = "self.gz";
    WriteFile(dir / "self.gz", Gzip("data", &self));
    EXPECT_FALSE(GUnzipToFile(dir / "self.gz").outcome);
    EXPECT_EQ(ReadFile(dir / "self.gz"), Gzip("data", &self));
}

TEST(Gzip, ModificationTimeGoesThroughTheDosValue)
{
    TempDir dir;
    const std::string name = "t.txt";
    WriteFile(dir / "t.gz", Gzip("t", &name, 1685620801)); // 2023-06-01 12:00:01 UTC
    ASSERT_TRUE(GUnzipToFile(dir / "t.gz").outcome);
    const auto sys = std::chrono::file_clock::to_sys(std::filesystem::last_write_time(dir / "t.txt"));
    EXPECT_EQ(std::chrono::duration_cast<std::chrono::seconds>(sys.time_since_epoch()).count(), 1685620800);

    WriteFile(dir / "z.gz", Gzip("z", nullptr, 0));
    const auto before = std::filesystem::file_time_type::clock::now() - std::chrono::minutes(1);
    ASSERT_TRUE(GUnzipToFile(dir / "z.gz").outcome);
    EXPECT_GT(std::filesystem::last_write_time(dir / "unknown"), before);
}

} // namespace
} // namespace velmora
