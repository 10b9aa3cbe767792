// Our archives against the common tools, and the tools' archives against our readers.
// Each case is skipped when its tool is not installed.
#include "ArchiveBuilders.h"
#include "ArchiveResults.h"
#include "PeerGate.h"
#include "TreeSnapshot.h"
#include "archive/zip/ZipReader.h"

#include <gtest/gtest.h>

#include <fstream>

namespace velmora {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;
namespace fs = std::filesystem;

using test::HaveTool;
using test::MakeArchive;
using test::Maker;

// The exit code of a sh command line.
int Shell(const std::string& command)
{
    return test::RunShell(command).code;
}

std::string Quote(const fs::path& p)
{
    return test::ShellQuote(p.string());
}

// A folder of small files: text, random bytes, empty, and names in all three encodings.
fs::path MakeFolder(const TempDir& dir, bool asciiOnly)
{
    const fs::path base = dir / "src";
    fs::create_directories(base);
    const std::string noise = test::RandomBytes(70000, 11);
    WriteFile(base / "text.txt", std::string(30000, 'a') + "velmora\n");
    WriteFile(base / "noise.bin", noise);
    WriteFile(base / "empty.txt", "");
    if (!asciiOnly) {
        WriteFile(base / "Stra\xC3\x9F"
                         "e.txt",
                  "cp437");
        WriteFile(base / "\xE2\x82\xAC"
                         "uro.txt",
                  "windows-1252");
        WriteFile(base / "\xE6\x97\xA5\xE6\x9C\xAC.txt", "utf-8");
    }
    return base;
}

void ExpectSameFiles(const fs::path& expected, const fs::path& actual)
{
    EXPECT_EQ(test::TreeDiff(test::Files(expected), test::Files(actual)), "");
}

TEST(Interop, ToolsAcceptOurPlainArchivesAndExtractTheNames)
{
    TempDir dir;
    const fs::path base = MakeFolder(dir, false);
    const fs::path archive = dir / "ours.zip";
    ASSERT_TRUE(WriteZipArchive(base, archive, {}).outcome);
    test::ExpectPeersAccept(archive);
    if (HaveTool("7zz")) {
        EXPECT_EQ(Shell("cd " + Quote(dir.path()) + " && 7zz x -y -oby7z " + Quote(archive)), 0);
        ExpectSameFiles(base, dir / "by7z"); // all three name encodings come back
    }
    if (HaveTool("unzip")) {
        EXPECT_EQ(Shell("cd " + Quote(dir.path()) + " && LC_ALL=C.UTF-8 unzip -q " + Quote(archive) + " -d byunzip"),
                  0);
        ExpectSameFiles(base, dir / "byunzip");
    }
}

TEST(Interop, ToolsAcceptOurEncryptedArchives)
{
    TempDir dir;
    const fs::path base = MakeFolder(dir, false); // names in all three encodings
    const fs::path archive = dir / "secret.zip";
    const test::Encrypted encrypted("Pass word7");
    ASSERT_TRUE(WriteZipArchive(base, archive, encrypted.options).outcome);
    test::ExpectPeersAccept(archive, "Pass word7");
    if (HaveTool("unzip")) {
        EXPECT_NE(Shell("unzip -t -P wrong " + Quote(archive)), 0);
        EXPECT_EQ(Shell("cd " + Quote(dir.path()) + " && LC_ALL=C.UTF-8 unzip -q -P 'Pass word7' " + Quote(archive) +
                        " -d byunzip"),
                  0);
        ExpectSameFiles(base, dir / "byunzip");
    }
    if (HaveTool("7zz")) {
        EXPECT_EQ(Shell("7zz t '-pPass word7' " + Quote(archive)), 0);
        EXPECT_EQ(Shell("cd " + Quote(dir.path()) + " && 7zz x -y '-pPass word7' -oby7z " + Quote(archive)), 0);
        ExpectSameFiles(base, dir / "by7z");
    }
}

TEST(Interop, WeExtractArchivesOfTheToolsByteIdentical)
{
    TempDir dir;
    const fs::path base = MakeFolder(dir, false);
    fs::create_directories(base / "sub");
    WriteFile(base / "sub" / "inner.txt", std::string(5000, 'i'));
    struct Case {
        Maker maker;
        const char* name;
        test::ArchiveRecipe recipe;
    } cases[] = {
        {Maker::InfoZip, "infozip.zip", {}},   {Maker::InfoZip, "infozip-p.zip", {{}, "s3cret"}},
        {Maker::SevenZip, "sevenzip.zip", {}}, {Maker::SevenZip, "sevenzip-p.zip", {{}, "s3cret", "-mem=ZipCrypto"}},
        {Maker::Python, "python.zip", {}},
    };
    for (const Case& c : cases) {
        if (!HaveTool(test::MakerName(c.maker))) continue;
        const fs::path archive = dir / c.name;
        ASSERT_EQ(MakeArchive(c.maker, base, archive, c.recipe), "") << c.name;
        const fs::path out = dir / (std::string("out-") + c.name);
        if (!c.recipe.password.empty()) {
            EXPECT_FALSE(UnZipFile(archive, out).outcome) << c.name; // encrypted entries need the protected path
            fs::remove_all(out);
            const auto result = ExtractProtected(out, archive, c.recipe.password);
            ASSERT_TRUE(result.outcome) << c.name << ": " << test::FailureText(result.outcome);
            EXPECT_TRUE(ReadFile(out / "inner.txt") == ReadFile(base / "sub" / "inner.txt")) << c.name;
            fs::remove(out / "inner.txt");
            // Compare the top-level files (the protected extraction drops folders).
            for (const auto& e : fs::directory_iterator(base)) {
                if (e.is_regular_file()) {
                    EXPECT_TRUE(ReadFile(e.path()) == ReadFile(out / e.path().filename())) << c.name;
                }
            }
        } else {
            const auto result = UnZipFile(archive, out);
            ASSERT_TRUE(result.outcome) << c.name << ": " << test::FailureText(result.outcome);
            ExpectSameFiles(base, out);
        }
    }
}

// Traditional encryption checks a password against one byte, so about one wrong password
// in 256 passes that check. Python names such a password for the first entry (it opens
// the entry and then fails to decode it); we must call it a wrong password, write
// nothing, and leave a protected archive and its target alone.
std::string PasswordPassingTheCheckByte(const fs::path& archive)
{
    const test::ShellResult found =
        test::RunShell("python3 -c " +
                       test::ShellQuote("import sys,zipfile\n"
                                        "z=zipfile.ZipFile(sys.argv[1]); n=z.namelist()[0]\n"
                                        "for i in range(100000):\n"
                                        "  p=('w%d' % i).encode()\n"
                                        "  try: z.open(n, pwd=p).read()\n"
                                        "  except RuntimeError: continue\n"
                                        "  except Exception: print(p.decode()); break\n") +
                       " " + Quote(archive));
    EXPECT_EQ(found.code, 0) << found.output;
    return found.output.substr(0, found.output.find('\n'));
}

TEST(Interop, AWrongPasswordThatPassesTheCheckByteIsStillAWrongPassword)
{
#if defined(_WIN32)
    GTEST_SKIP() << "the fixtures come from Info-ZIP and Python in the Linux build";
#endif
    TempDir dir;
    fs::create_directories(dir / "src");
    WriteFile(dir / "src" / "text.txt", std::string(30000, 'a') + "velmora\n");
    ASSERT_EQ(MakeArchive(Maker::InfoZip, dir / "src", dir / "infozip.zip", {{"text.txt"}, "right"}), "");
    const std::string wrong = PasswordPassingTheCheckByte(dir / "infozip.zip");
    ASSERT_FALSE(wrong.empty());
    ZipExtractOptions options;
    options.password = wrong;
    const ZipExtractResult plain = UnZipFile(dir / "infozip.zip", dir / "out", options);
    EXPECT_FALSE(plain.outcome);
    ASSERT_FALSE(plain.outcome);
    EXPECT_EQ(plain.outcome.error().kind, Error::Kind::WrongPassword) << test::FailureText(plain.outcome);
    EXPECT_FALSE(fs::exists(dir / "out" / "text.txt"));

    ASSERT_EQ(test::MakeProtected(dir / "src", dir / "P.zip", "right"), "");
    const std::string protectedBytes = ReadFile(dir / "P.zip");
    const std::string wrongForProtected = PasswordPassingTheCheckByte(dir / "P.zip");
    ASSERT_FALSE(wrongForProtected.empty());
    const UnprotectResult restore = UnprotectArchive(dir / "P.zip", dir / "T", wrongForProtected);
    EXPECT_FALSE(restore.outcome);
    EXPECT_TRUE(!restore.outcome && restore.outcome.error().kind == Error::Kind::WrongPassword)
        << test::FailureText(restore.outcome);
    EXPECT_FALSE(fs::exists(dir / "T"));
    EXPECT_TRUE(ReadFile(dir / "P.zip") == protectedBytes);
    EXPECT_TRUE(UnprotectArchive(dir / "P.zip", dir / "T", "right").outcome);
    EXPECT_EQ(ReadFile(dir / "T" / "text.txt"), std::string(30000, 'a') + "velmora\n");
}

TEST(Interop, Zip64ByEntryCountFromPython)
{
    if (!HaveTool("python3")) GTEST_SKIP() << "python3 missing";
    TempDir dir;
    const fs::path archive = dir / "many.zip";
    ASSERT_EQ(Shell("python3 -c \"import zipfile,sys\nwith zipfile.ZipFile(sys.argv[1],'w') as z:\n"
                    " [z.writestr('d/f%d' % i, str(i)) for i in range(70000)]\" " +
                    Quote(archive)),
              0);
    const Result<ZipListing> listing = ListZipArchive(archive);
    ASSERT_TRUE(listing) << test::FailureText(listing);
    EXPECT_TRUE(listing->zip64);
    EXPECT_EQ(listing->entries.size(), 70000u);
    EXPECT_TRUE(VerifyZipArchive(archive, "").outcome);
}

TEST(Interop, OurArchiveOf70000FilesOpensInTheTools)
{
    TempDir dir;
    ASSERT_EQ(test::MakeManyEntries(dir / "many.zip", 70000), "");
    test::ExpectPeersAccept(dir / "many.zip");
}

// A file over 4 GiB that is all zeros: sparse on disk, compresses to almost nothing.
TEST(Interop, Zip64BySizeInBothDirections)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "4 GiB of data: run in the normal build only";
#endif
    constexpr std::uint64_t kSize = (4ull << 30) + 12345;
    TempDir dir;
    fs::create_directories(dir / "src");
    {
        std::ofstream(dir / "src" / "huge.bin");
    }
    fs::resize_file(dir / "src" / "huge.bin", kSize);
    ASSERT_TRUE(WriteZipArchive(dir / "src", dir / "huge.zip", {}).outcome);
    Result<ZipListing> listing = ListZipArchive(dir / "huge.zip");
    ASSERT_TRUE(listing) << test::FailureText(listing);
    ASSERT_EQ(listing->entries.size(), 1u);
    EXPECT_EQ(listing->entries[0].uncompressedSize, kSize);
    EXPECT_EQ(listing->entries[0].versionNeeded, 45);
    EXPECT_LT(fs::file_size(dir / "huge.zip"), 16u << 20);
    test::ExpectPeersAccept(dir / "huge.zip");
    if (HaveTool("python3")) {
        EXPECT_EQ(Shell("python3 -c \"import zipfile,sys; i=zipfile.ZipFile(sys.argv[1]).infolist()[0]; "
                        "sys.exit(i.file_size != " +
                        std::to_string(kSize) + ")\" " + Quote(dir / "huge.zip")),
                  0);
    }
    // The other direction: a Zip64 archive of the same file built by Python (raw deflate of
    // zeros, full-flushed pieces repeated), read back and verified by our reader.
    if (!HaveTool("python3")) return;
    const fs::path peer = dir / "peer.zip";
    const std::string script =
        "import struct,zlib,sys\n"
        "size=" +
        std::to_string(kSize) +
        "\n"
        "mib=1<<20; c=zlib.compressobj(6,zlib.DEFLATED,-15); piece=c.compress(bytes(mib))+c.flush(zlib.Z_FULL_FLUSH)\n"
        "tail=size%mib; t=zlib.compressobj(6,zlib.DEFLATED,-15); last=t.compress(bytes(tail))+t.flush()\n"
        "crc=0\n"
        "z=bytes(mib)\n"
        "for i in range(size//mib): crc=zlib.crc32(z,crc)\n"
        "crc=zlib.crc32(bytes(tail),crc)\n"
        "csize=len(piece)*(size//mib)+len(last)\n"
        "f=open(sys.argv[1],'wb'); name=b'huge.bin'\n"
        "ex=struct.pack('<HHQQ',1,16,size,csize)\n"
        "f.write(struct.pack('<IHHHHHIIIHH',0x04034b50,45,0,8,0,0x5821,crc,0xffffffff,0xffffffff,len(name),len(ex))+"
        "name+ex)\n"
        "for i in range(size//mib): f.write(piece)\n"
        "f.write(last); cd=f.tell()\n"
        "cex=struct.pack('<HHQQ',1,16,size,csize)\n"
        "f.write(struct.pack('<IHHHHHHIIIHHHHHII',0x02014b50,45,45,0,8,0,0x5821,crc,0xffffffff,0xffffffff,len(name),"
        "len(cex),0,0,0,0x20,0)+name+cex)\n"
        "e64=f.tell(); cds=e64-cd\n"
        "f.write(struct.pack('<IQHHIIQQQQ',0x06064b50,44,45,45,0,0,1,1,cds,cd))\n"
        "f.write(struct.pack('<IIQI',0x07064b50,0,e64,1))\n"
        "f.write(struct.pack('<IHHHHIIH',0x06054b50,0,0,1,1,cds,cd,0))\n";
    WriteFile(dir / "make.py", script);
    ASSERT_EQ(Shell("python3 " + Quote(dir / "make.py") + " " + Quote(peer)), 0);
    listing = ListZipArchive(peer);
    ASSERT_TRUE(listing) << test::FailureText(listing);
    EXPECT_EQ(listing->entries[0].uncompressedSize, kSize);
    const auto verified = VerifyZipArchive(peer, "");
    EXPECT_TRUE(verified.outcome) << test::FailureText(verified.outcome);
}

} // namespace
} // namespace velmora
