// Shrink, Reduce and Implode. No tool here writes them, so old_methods.py (beside this
// file) encodes varied samples from the format description at test time: every Shrink
// code width with partial clears, Implode with 4 and 8 KiB windows, with and without a
// literal tree, Reduce with factors 1-4 and many DLE bytes, and matches that reach back
// before the first byte. `velmora-cli unzip` must give back the samples, byte for byte
// what Info-ZIP unzip gives (unzip here is built without Reduce, so Reduce is checked
// against the samples alone); `test` and `list` read the same entries.
#include "CliRunner.h"
#include "PeerGate.h"
#include "TreeSnapshot.h"
#include "archive/codecs/EntryDecoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace velmora {
namespace {

using test::Cli;
using test::CliRun;
using test::Files;
using test::ReadFile;
using test::RunShell;
using test::ShellQuote;
using test::TempDir;
namespace fs = std::filesystem;

class OldMethods : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_dir = new TempDir;
        const char* source = std::getenv("VELMORA_SOURCE_DIR");
        ASSERT_NE(source, nullptr) << "VELMORA_SOURCE_DIR is not set";
        VELMORA_REQUIRE_PEERS("python3");
        const test::ShellResult made =
            RunShell("python3 " + ShellQuote(std::string(source) + "/tests/archive/old_methods.py") + " " +
                     ShellQuote(s_dir->path().string()));
        ASSERT_EQ(made.code, 0) << made.output;
    }
    static void TearDownTestSuite()
    {
        delete s_dir;
        s_dir = nullptr;
    }
    static fs::path Dir() { return s_dir->path(); }

    // Unzips name with us into ours/<stem> and returns what came out.
    static std::map<std::string, std::string> OurFiles(const std::string& stem)
    {
        const fs::path out = Dir() / "ours" / stem;
        const CliRun run = Cli({"unzip", (Dir() / (stem + ".zip")).string(), out.string()});
        EXPECT_EQ(run.code, 0) << run.err;
        return Files(out);
    }

    static TempDir* s_dir;
};

TempDir* OldMethods::s_dir = nullptr;

TEST_F(OldMethods, ShrinkAndImplodeComeOutAsInfoZipUnzipsThem)
{
    VELMORA_REQUIRE_PEERS("unzip");
    for (const std::string stem : {"shrink", "implode"}) {
        SCOPED_TRACE(stem);
        const fs::path peer = Dir() / "peer" / stem;
        fs::create_directories(peer);
        const test::ShellResult unzipped = RunShell("unzip -qo " + ShellQuote((Dir() / (stem + ".zip")).string()) +
                                                    " -d " + ShellQuote(peer.string()));
        ASSERT_EQ(unzipped.code, 0) << unzipped.output;
        const auto expected = Files(Dir() / "expected" / stem);
        const auto theirs = Files(peer);
        ASSERT_EQ(theirs, expected) << "the test encoder and Info-ZIP disagree";
        const auto ours = OurFiles(stem);
        EXPECT_EQ(ours.size(), expected.size());
        for (const auto& [name, bytes] : expected) {
            EXPECT_TRUE(ours.count(name) && ours.at(name) == bytes) << name << " differs from Info-ZIP's";
        }
    }
}

TEST_F(OldMethods, ReduceFactorsOneToFourComeOutAsEncoded)
{
    const auto expected = Files(Dir() / "expected" / "reduce");
    ASSERT_EQ(expected.size(), 12u);
    const auto ours = OurFiles("reduce");
    for (const auto& [name, bytes] : expected) {
        EXPECT_TRUE(ours.count(name) && ours.at(name) == bytes) << name;
    }
}

TEST_F(OldMethods, TestAndListReadTheSameEntries)
{
    const struct {
        const char* stem;
        const char* method;
    } cases[] = {{"shrink", "Shrunk"}, {"implode", "Imploded"}, {"reduce", "Reduced"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stem);
        const std::string zip = (Dir() / (std::string(c.stem) + ".zip")).string();
        const CliRun tested = Cli({"test", zip});
        EXPECT_EQ(tested.code, 0) << tested.out << tested.err;
        const CliRun listed = Cli({"list", zip});
        EXPECT_EQ(listed.code, 0) << listed.err;
        EXPECT_NE(listed.out.find(c.method), std::string::npos) << listed.out;
    }
}

// An entry's packed data and its declared size, taken from a generated archive.
struct Packed {
    std::uint16_t method;
    std::uint16_t flags;
    std::string data;
    std::uint64_t size;
};

Packed EntryOf(const fs::path& zip, const std::string& wanted)
{
    const std::string bytes = ReadFile(zip);
    Packed packed{};
    test::ForEachEntry(bytes, [&](const std::string& name, std::size_t central, std::size_t local) {
        if (name != wanted) return;
        packed.method = test::Le16(bytes, central + 10);
        packed.flags = test::Le16(bytes, central + 8);
        packed.size = test::Le32(bytes, central + 24);
        const std::size_t start = local + 30 + test::Le16(bytes, local + 26) + test::Le16(bytes, local + 28);
        packed.data = bytes.substr(start, test::Le32(bytes, central + 20));
    });
    return packed;
}

class StringSource final : public ByteSource {
public:
    explicit StringSource(std::string data) : m_data(std::move(data)) {}
    std::size_t Read(unsigned char* out, std::size_t size) override
    {
        const std::size_t n = std::min(size, m_data.size() - m_pos);
        std::memcpy(out, m_data.data() + m_pos, n);
        m_pos += n;
        return n;
    }
    void Finish() override {}

private:
    std::string m_data;
    std::size_t m_pos = 0;
};

class CountingSink final : public ByteSink {
public:
    void Write(const unsigned char*, std::size_t size) override { total += size; }
    std::uint64_t total = 0;
};

// The error text of decoding data as the method, or "" when it decodes.
std::string DecodeFailure(const Packed& p, const std::string& data, std::uint64_t declared)
{
    StringSource source(data);
    CountingSink sink;
    try {
        DecodeEntryData(p.method, p.flags, source, sink, declared);
    } catch (const DecodeError& error) {
        EXPECT_LE(sink.total, declared);
        return error.what();
    }
    return {};
}

TEST_F(OldMethods, CutOrMisdeclaredDataIsRefused)
{
    for (const auto& [stem, name] : std::vector<std::pair<std::string, std::string>>{{"shrink", "big.bin"},
                                                                                     {"implode", "far-8k-3trees.bin"},
                                                                                     {"implode", "text-4k-2trees.bin"},
                                                                                     {"reduce", "dle-f4.bin"}}) {
        SCOPED_TRACE(name);
        const Packed p = EntryOf(Dir() / (stem + ".zip"), name);
        ASSERT_FALSE(p.data.empty());
        EXPECT_EQ(DecodeFailure(p, p.data, p.size), "");
        EXPECT_NE(DecodeFailure(p, p.data.substr(0, p.data.size() / 2), p.size), "");
        EXPECT_NE(DecodeFailure(p, p.data, p.size + 1), "");
        // Implode and Reduce have no end marker: a size declared short ends them early,
        // and the CRC check above the decoder tells. Shrink reads on to the last code.
        if (p.method == zipmethod::kShrink) {
            EXPECT_EQ(DecodeFailure(p, p.data, p.size - 1), "entry is larger than its declared size");
        }
    }
}

// Hand-made streams for the faults the encoder never makes.
TEST(OldMethodStreams, BrokenStreamsAreRefusedByName)
{
    // Shrink: five "widen" commands take 9-bit codes past 13 bits.
    std::string widen;
    {
        std::uint64_t bits = 0;
        unsigned count = 0, width = 9;
        auto put = [&](unsigned v, unsigned n) {
            bits |= std::uint64_t{v} << count;
            count += n;
            while (count >= 8) {
                widen += static_cast<char>(bits & 0xFF);
                bits >>= 8;
                count -= 8;
            }
        };
        put('a', 9);
        for (int i = 0; i < 5; ++i) {
            put(256, width);
            put(1, width);
            ++width;
        }
        put(0, 16);
    }
    const struct {
        const char* name;
        std::uint16_t method;
        std::uint16_t flags;
        std::string data;
        const char* error;
    } cases[] = {
        {"shrink codes wider than 13 bits", zipmethod::kShrink, 0, widen, "beyond 13 bits"},
        {"shrink stream opening with a table code", zipmethod::kShrink, 0, std::string("\x01\x03", 2), "first code"},
        // 64 lengths of 7 bits fill half the code space.
        {"implode with an incomplete tree", zipmethod::kImplode, 0, std::string("\x03\xf6\xf6\xf6\xf6", 5),
         "incomplete tree"},
        {"implode tree of 65 codes", zipmethod::kImplode, 0, std::string("\x04\xf5\xf5\xf5\xf5\x05", 6),
         "too many codes"},
        {"reduce follower set of 40", zipmethod::kReduce1, 0, std::string("\x28\0\0", 3), "larger than 32"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Packed p{c.method, c.flags, c.data, 100};
        EXPECT_NE(DecodeFailure(p, c.data, 100).find(c.error), std::string::npos) << DecodeFailure(p, c.data, 100);
    }
}

} // namespace
} // namespace velmora
