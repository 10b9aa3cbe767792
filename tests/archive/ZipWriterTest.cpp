#include "archive/zip/ZipWriter.h"
#include "ArchiveBuilders.h"
#include "ArchiveResults.h"
#include "ArchiveTestSupport.h"
#include "PeerGate.h"
#include "archive/ArchiveIo.h"
#include "archive/codecs/DeflateBlocks.h"
#include "archive/crypto/PkwareCipher.h"
#include "archive/zip/ZipReader.h"
#include "common/Utf8Path.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <set>

namespace velmora {
namespace {

using test::Le16;
using test::Le32;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;
using namespace archive;

using test::RandomBytes;

const ZipEntryInfo* Find(const ZipListing& listing, const std::string& name)
{
    for (const auto& e : listing.entries) {
        if (e.name == name) return &e;
    }
    return nullptr;
}

TEST(ZipWriter, PacksOnlyTheFoldersOwnVisibleFilesWithBareNames)
{
    TempDir dir;
    const auto base = dir / "base";
    std::filesystem::create_directories(base / "sub");
    WriteFile(base / "one.txt", "one");
    std::filesystem::permissions(base / "one.txt", static_cast<std::filesystem::perms>(0640));
    WriteFile(base / ".hidden", "h");
    WriteFile(base / "system.txt", "s");
    WriteFile(base / "sub" / "deep.txt", "d");
    ZipWriteOptions options;
    options.attributes = [](const std::filesystem::path& p) -> std::optional<std::uint32_t> {
        if (p.filename() == "system.txt") return kAttrSystem | kAttrArchive;
        return std::nullopt;
    };
    // The archive lies in the base folder and already exists: it is not packed into itself.
    WriteFile(base / "out.zip", "old");
    const auto result = WriteZipArchive(base, base / "out.zip", options);
    ASSERT_TRUE(result.outcome) << test::FailureText(result.outcome);
    const Result<ZipListing> listing = ListZipArchive(base / "out.zip");
    ASSERT_TRUE(listing) << test::FailureText(listing);
    ASSERT_EQ(listing->entries.size(), 1u);
    EXPECT_EQ(listing->entries[0].name, "one.txt");
    // Windows attributes in the low half, the Unix type and mode in the high half (0x8000
    // says so); the host byte stays MS-DOS.
#ifdef _WIN32
    // Windows knows only read-only: a writable file reads as rw for everybody.
    EXPECT_EQ(listing->entries[0].externalAttributes, 0x20u | 0x8000u | (0100666u << 16));
#else
    EXPECT_EQ(listing->entries[0].externalAttributes, 0x20u | 0x8000u | (0100640u << 16));
#endif
    EXPECT_EQ(listing->entries[0].versionMadeBy >> 8, 0);
    test::ExpectPeersAccept(base / "out.zip");
}

TEST(ZipWriter, ChoosesMethodVersionsAndStoresEmptyFilesWithCrcZero)
{
    TempDir dir;
    const auto base = dir / "base";
    std::filesystem::create_directories(base);
    WriteFile(base / "random.bin", RandomBytes(10));
    WriteFile(base / "letters.txt", std::string(10000, 'a'));
    WriteFile(base / "empty.txt", "");
    ASSERT_TRUE(WriteZipArchive(base, dir / "a.zip", {}).outcome);
    const auto listing = test::Listing(dir / "a.zip");
    ASSERT_EQ(listing.entries.size(), 3u);
    struct Case {
        const char* name;
        std::uint16_t method;
        std::uint16_t needed;
    } cases[] = {{"random.bin", 0, 10}, {"letters.txt", 8, 20}, {"empty.txt", 0, 10}};
    for (const Case& c : cases) {
        const ZipEntryInfo* e = Find(listing, c.name);
        ASSERT_NE(e, nullptr) << c.name;
        EXPECT_EQ(e->method, c.method) << c.name;
        EXPECT_EQ(e->versionNeeded, c.needed) << c.name;
        EXPECT_EQ(e->versionMadeBy, 20) << c.name;
        EXPECT_EQ(e->flags, 0) << c.name;
    }
    EXPECT_EQ(Find(listing, "empty.txt")->crc32, 0u);
    EXPECT_EQ(Find(listing, "empty.txt")->compressedSize, 0u);
    EXPECT_TRUE(VerifyZipArchive(dir / "a.zip", "").outcome);
    test::ExpectPeersAccept(dir / "a.zip");
}

TEST(ZipWriter, EncryptsWithHeaderCheckByteDescriptorAndRealLocalSizes)
{
    TempDir dir;
    const auto base = dir / "base";
    std::filesystem::create_directories(base);
    const std::string content(5000, 'q');
    WriteFile(base / "q.txt", content);
    test::Encrypted encrypted("geheim");
    ASSERT_TRUE(WriteZipArchive(base, dir / "p.zip", encrypted.options).outcome);
    const auto listing = test::Listing(dir / "p.zip");
    ASSERT_EQ(listing.entries.size(), 1u);
    const ZipEntryInfo& e = listing.entries[0];
    EXPECT_EQ(e.flags, 0x0009);
    EXPECT_EQ(e.versionNeeded, 20);

    const std::string bytes = ReadFile(dir / "p.zip");
    EXPECT_EQ(Le32(bytes, 0), 0x04034b50u);
    EXPECT_EQ(Le16(bytes, 6), 0x0009);
    EXPECT_EQ(Le32(bytes, 14), e.crc32); // real CRC and sizes in the local header
    EXPECT_EQ(Le32(bytes, 18), e.compressedSize);
    EXPECT_EQ(Le32(bytes, 22), content.size());
    const std::size_t dataStart = 30 + Le16(bytes, 26) + Le16(bytes, 28);
    std::string header = bytes.substr(dataStart, 12);
    archive::PkwareCipher cipher("geheim");
    cipher.Decrypt(reinterpret_cast<unsigned char*>(header.data()), header.size());
    EXPECT_EQ(header.substr(0, 11), std::string("\x11\x12\x13\x14\x15\x16\x17\x18\x19\x1a\x1b"));
    EXPECT_EQ(static_cast<unsigned char>(header[11]), (e.dosDateTime >> 8) & 0xFF);
    const std::size_t descriptor = dataStart + e.compressedSize;
    EXPECT_EQ(Le32(bytes, descriptor), 0x08074b50u);
    EXPECT_EQ(Le32(bytes, descriptor + 4), e.crc32);
    EXPECT_EQ(Le32(bytes, descriptor + 8), e.compressedSize);
    EXPECT_EQ(Le32(bytes, descriptor + 12), content.size());
    EXPECT_EQ(Le32(bytes, descriptor + 16), 0x02014b50u); // exactly one descriptor, then the directory
    test::ExpectPeersAccept(dir / "p.zip", "geheim");

    // The same options without the password write no encryption at all.
    encrypted.options.password.clear();
    ASSERT_TRUE(WriteZipArchive(base, dir / "plain.zip", encrypted.options).outcome);
    EXPECT_EQ(test::Listing(dir / "plain.zip").entries[0].flags, 0);
}

TEST(ZipWriter, StoresNamesInCp437ElseWindows1252ElseUtf8)
{
    TempDir dir;
    const auto base = dir / "base";
    std::filesystem::create_directories(base);
    struct Case {
        std::string name;
        std::string stored;
        std::uint16_t flags;
        std::uint16_t host;
        bool unicodeExtra;
    } cases[] = {
        {"plain.txt", "plain.txt", 0, 0, false},
        {"Stra\xC3\x9F"
         "e.txt",
         "Stra\xE1"
         "e.txt",
         0, 0, true}, // ß is in CP437
        {"\xE2\x82\xAC"
         "uro.txt",
         "\x80"
         "uro.txt",
         0, 11, true},                                               // € only in Windows-1252
        {"\xE6\x97\xA5.txt", "\xE6\x97\xA5.txt", 0x0800, 11, false}, // 日 only in UTF-8
    };
    for (const Case& c : cases)
        WriteFile(base / PathFromUtf8(c.name), "x");
    ASSERT_TRUE(WriteZipArchive(base, dir / "n.zip", {}).outcome);
    test::ExpectPeersAccept(dir / "n.zip");
    const auto listing = test::Listing(dir / "n.zip");
    for (const Case& c : cases) {
        const ZipEntryInfo* e = Find(listing, c.name);
        ASSERT_NE(e, nullptr) << c.name;
        EXPECT_EQ(e->rawName, c.stored) << c.name;
        EXPECT_EQ(e->flags, c.flags) << c.name;
        EXPECT_EQ(e->versionMadeBy >> 8, c.host) << c.name;
        EXPECT_EQ(e->extra.find("\x75\x70") == 0, c.unicodeExtra) << c.name;
    }
    TempDir out;
    ASSERT_TRUE(UnZipFile(dir / "n.zip", out.path()).outcome);
    for (const Case& c : cases)
        EXPECT_TRUE(std::filesystem::exists(out / c.name)) << c.name;

    // Encrypted entries have a data descriptor, which Debian's unzip misreads after a
    // Unicode Path field: names that would need one are stored in UTF-8 instead.
    const test::Encrypted withPassword("pw");
    ASSERT_TRUE(WriteZipArchive(base, dir / "e.zip", withPassword.options).outcome);
    const auto encrypted = test::Listing(dir / "e.zip");
    for (const Case& c : cases) {
        const ZipEntryInfo* e = Find(encrypted, c.name);
        ASSERT_NE(e, nullptr) << c.name;
        EXPECT_EQ(e->rawName, c.unicodeExtra ? c.name : c.stored) << c.name;
        EXPECT_EQ(e->flags, (c.unicodeExtra ? 0x0800 : c.flags) | 0x0009) << c.name;
        EXPECT_EQ(e->versionMadeBy >> 8, c.unicodeExtra ? 11 : c.host) << c.name;
        EXPECT_TRUE(e->extra.empty()) << c.name;
    }
    test::ExpectPeersAccept(dir / "e.zip", "pw");
}

TEST(ZipWriter, RefusesOtherNamesBeforeCreatingAnyFile)
{
    TempDir dir;
    std::filesystem::create_directories(dir / "base");
    WriteFile(dir / "base" / "a.txt", "a");
    for (const char* name : {"Old", "x.tar", "x.gz", "x.zip.txt"}) {
        const auto result = WriteZipArchive(dir / "base", dir / name, {});
        EXPECT_FALSE(result.outcome) << name;
        EXPECT_FALSE(std::filesystem::exists(dir / name)) << name;
    }
    EXPECT_TRUE(WriteZipArchive(dir / "base", dir / "UPPER.ZIP", {}).outcome);
    EXPECT_TRUE(WriteZipArchive(dir / "base", dir / "lib.jar", {}).outcome);
    test::ExpectPeersAccept(dir / "UPPER.ZIP");
}

TEST(ZipWriter, FailureLeavesNoArchiveAndKeepsAnExistingOne)
{
    TempDir dir;
    WriteFile(dir / "keep.zip", "previous archive");
    EXPECT_FALSE(WriteZipArchive(dir / "missing", dir / "keep.zip", {}).outcome);
    EXPECT_EQ(ReadFile(dir / "keep.zip"), "previous archive");
    EXPECT_FALSE(WriteZipArchive(dir / "missing", dir / "new.zip", {}).outcome);
    EXPECT_FALSE(std::filesystem::exists(dir / "new.zip"));
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        EXPECT_EQ(entry.path().filename().string().find(".part"), std::string::npos);
    }
}

TEST(ZipWriter, LeavesOutUnreadableFilesAndGoesOn)
{
    VELMORA_SKIP_WITHOUT_SYMLINKS();
    TempDir dir;
    const auto base = dir / "base";
    std::filesystem::create_directories(base);
    WriteFile(base / "good.txt", "good");
    std::filesystem::create_symlink(dir / "nowhere", base / "dangling.txt");
    const auto result = WriteZipArchive(base, dir / "a.zip", {});
    ASSERT_TRUE(result.outcome) << test::FailureText(result.outcome);
    EXPECT_EQ(result.entries, 1u);
    ASSERT_EQ(result.skipped.size(), 1u);
    EXPECT_EQ(result.skipped[0].path.filename(), "dangling.txt");
    test::ExpectPeersAccept(dir / "a.zip");
}

TEST(ZipWriter, LargeFilesInParallelPiecesRoundTripAndReportProgress)
{
    TempDir dir;
    const auto base = dir / "base";
    std::filesystem::create_directories(base);
    // Mixed content across several pieces: text, random (stored inside deflate), text.
    std::string big = std::string(3 << 20, 'z') + RandomBytes(3 << 20) + std::string(5 << 20, 'k');
    WriteFile(base / "big.bin", big);
    WriteFile(base / "noise.bin", RandomBytes(6 << 20, 3)); // larger deflated than stored
    std::uint64_t lastDone = 0, lastTotal = 0;
    ZipWriteOptions options;
    options.threads = 2;
    options.progress = [&](std::uint64_t done, std::uint64_t total) {
        EXPECT_GE(done, lastDone);
        lastDone = done;
        lastTotal = total;
    };
    ASSERT_TRUE(WriteZipArchive(base, dir / "big.zip", options).outcome);
    EXPECT_EQ(lastDone, lastTotal);
    EXPECT_EQ(lastTotal, big.size() + (6u << 20));
    const auto listing = test::Listing(dir / "big.zip");
    EXPECT_EQ(Find(listing, "big.bin")->method, 8);
    EXPECT_EQ(Find(listing, "noise.bin")->method, 0);
    TempDir out;
    ASSERT_TRUE(UnZipFile(dir / "big.zip", out.path()).outcome);
    EXPECT_TRUE(ReadFile(out / "big.bin") == big);
    test::ExpectPeersAccept(dir / "big.zip");
}

// Inflates one raw deflate stream whole; empty on damage.
std::string InflateAll(const std::string& stream, std::size_t expected)
{
    std::string out(expected + 1, '\0');
    z_stream zs{};
    inflateInit2(&zs, -15);
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(stream.data()));
    zs.avail_in = static_cast<uInt>(stream.size());
    zs.next_out = reinterpret_cast<Bytef*>(out.data());
    zs.avail_out = static_cast<uInt>(out.size());
    const int rc = inflate(&zs, Z_FINISH);
    out.resize(zs.total_out);
    inflateEnd(&zs);
    return rc == Z_STREAM_END ? out : std::string();
}

TEST(ZipWriter, PiecesJoinIntoOneStreamAndOnlyIncompressibleOnesGoUnsearched)
{
    std::string text;
    while (text.size() < (2u << 20))
        text += "line " + std::to_string(text.size() % 977) + " of a log that repeats itself\n";
    text.resize(2u << 20);
    struct Case {
        const char* what;
        std::string input;
        double largestRatio; // packed / input
    };
    const std::vector<Case> cases = {
        {"random", RandomBytes(2u << 20, 11), 1.001},
        {"text", text, 0.2},
        {"random, then text", RandomBytes(1u << 20, 12) + text.substr(0, 1u << 20), 0.6},
        {"short random", RandomBytes(100u << 10, 13), 1.001},
    };
    std::string stream;
    std::string whole;
    for (const Case& c : cases) {
        std::string piece;
        DeflatePiece(reinterpret_cast<const unsigned char*>(c.input.data()), c.input.size(), 5, piece);
        EXPECT_LE(static_cast<double>(piece.size()), c.largestRatio * static_cast<double>(c.input.size())) << c.what;
        const std::string alone = piece + std::string(reinterpret_cast<const char*>(kDeflateEnd), sizeof kDeflateEnd);
        EXPECT_TRUE(InflateAll(alone, c.input.size()) == c.input) << c.what;
        stream += piece;
        whole += c.input;
    }
    stream.append(reinterpret_cast<const char*>(kDeflateEnd), sizeof kDeflateEnd);
    EXPECT_TRUE(InflateAll(stream, whole.size()) == whole);
}

TEST(ZipWriter, MixedSizesKeepTheirOrderAndContentEvenWhenFilesChangedSinceTheListing)
{
    TempDir dir;
    const auto base = dir / "base";
    std::filesystem::create_directories(base / "d");
    // Small files go in batches, larger ones in pieces, folders in between; two files
    // changed size after the listing: one grew far beyond the batch limit, one shrank to
    // nothing (and so is stored).
    std::vector<ZipSource> sources;
    std::map<std::string, std::string> contents;
    const auto add = [&](const std::string& name, std::string data, std::optional<std::uint64_t> listedSize = {}) {
        WriteFile(base / name, data);
        ZipSource source{base / name, name, false};
        if (listedSize) {
            source.status = ZipSourceStatus{*listedSize, std::filesystem::last_write_time(base / name),
                                            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write};
        }
        sources.push_back(source);
        contents[name] = std::move(data);
    };
    for (int i = 0; i < 300; ++i) {
        add("s" + std::to_string(i), std::string(static_cast<std::size_t>(i), static_cast<char>('a' + i % 26)));
        if (i == 100) add("medium", RandomBytes(300 << 10, 4) + std::string(200 << 10, 'm'));
        if (i == 150) sources.push_back({base / "d", "d", true});
        if (i == 200) add("grown", std::string(5 << 20, 'g') + RandomBytes(1 << 20, 5), 10);
        if (i == 250) add("shrunk", "", 3 << 20);
    }
    add("big", RandomBytes(5 << 20, 6)); // does not shrink: stored from memory
    ZipWriteOptions options;
    options.threads = 2;
    const ZipWriteResult result = WriteZipEntries(sources, dir / "m.zip", options);
    ASSERT_TRUE(result.outcome) << test::FailureText(result.outcome);
    EXPECT_TRUE(result.skipped.empty());
    const auto listing = test::Listing(dir / "m.zip");
    ASSERT_EQ(listing.entries.size(), sources.size());
    for (std::size_t i = 0; i < sources.size(); ++i) {
        EXPECT_EQ(listing.entries[i].name, sources[i].name + (sources[i].isDirectory ? "/" : "")) << i;
    }
    EXPECT_EQ(Find(listing, "big")->method, 0);
    EXPECT_EQ(Find(listing, "grown")->method, 8);
    TempDir out;
    ASSERT_TRUE(UnZipFile(dir / "m.zip", out.path()).outcome);
    for (const auto& [name, data] : contents) {
        EXPECT_TRUE(ReadFile(out / name) == data) << name;
    }
    test::ExpectPeersAccept(dir / "m.zip");
}

TEST(ZipWriter, WholeTreeKeepsHiddenFilesFoldersAndRelativeNames)
{
    TempDir dir;
    const auto base = dir / "base";
    std::filesystem::create_directories(base / "Sub" / "empty");
    WriteFile(base / ".dot", "d");
    WriteFile(base / "Sub" / "three.txt", "3");
    std::vector<ZipSkipped> skipped;
    const Result<std::vector<ZipSource>> collected = CollectZipSources(base, ZipSelection::WholeTree, {}, {}, &skipped);
    ASSERT_TRUE(collected) << test::FailureText(collected);
    const std::vector<ZipSource>& sources = *collected;
    const test::Encrypted encrypted("pw");
    ASSERT_TRUE(WriteZipEntries(sources, dir / "t.zip", encrypted.options).outcome);
    EXPECT_TRUE(VerifyZipArchive(dir / "t.zip", "pw", &sources).outcome);
    test::ExpectPeersAccept(dir / "t.zip", "pw");
    WriteFile(base / "Sub" / "three.txt", "changed");
    EXPECT_FALSE(VerifyZipArchive(dir / "t.zip", "pw", &sources).outcome);
    const auto listing = test::Listing(dir / "t.zip");
    std::set<std::string> names;
    for (const auto& e : listing.entries)
        names.insert(e.name);
    EXPECT_EQ(names, (std::set<std::string>{".dot", "Sub/", "Sub/three.txt", "Sub/empty/"}));
}

TEST(ZipWriter, UsesZip64RecordsForMoreThan65535Entries)
{
    TempDir dir;
    ASSERT_EQ(test::MakeManyEntries(dir / "many.zip", 70000), "");
    const Result<ZipListing> listing = ListZipArchive(dir / "many.zip");
    ASSERT_TRUE(listing) << test::FailureText(listing);
    EXPECT_TRUE(listing->zip64);
    EXPECT_EQ(listing->entries.size(), 70000u);
    const std::string bytes = ReadFile(dir / "many.zip");
    EXPECT_EQ(Le16(bytes, bytes.size() - 12), 0xFFFF); // the classic count is saturated
    test::ExpectPeersAccept(dir / "many.zip");
}

} // namespace
} // namespace velmora
