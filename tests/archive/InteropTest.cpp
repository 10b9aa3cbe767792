// Our archives against the common tools, and the tools' archives against our readers.
// Each case is skipped when its tool is not installed.
#include "ArchiveTestSupport.h"
#include "PeerGate.h"
#include "archive/protect/ProtectedFolder.h"
#include "archive/zip/ZipReader.h"
#include "archive/zip/ZipWriter.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <random>

namespace velmora {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;
namespace fs = std::filesystem;

bool Have(const char* tool)
{
    return std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) == 0;
}

int Shell(const std::string& command)
{
    return std::system((command + " >/dev/null 2>&1").c_str());
}

std::string Quote(const fs::path& p)
{
    return "'" + p.string() + "'";
}

// A folder of small files: text, random bytes, empty, and names in all three encodings.
fs::path MakeFolder(const TempDir& dir, bool asciiOnly)
{
    const fs::path base = dir / "src";
    fs::create_directories(base);
    std::mt19937 gen(11);
    std::string noise(70000, '\0');
    for (char& c : noise)
        c = static_cast<char>(gen());
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
    std::size_t count = 0;
    for (const auto& e : fs::recursive_directory_iterator(expected)) {
        if (e.is_directory()) continue;
        const fs::path rel = fs::relative(e.path(), expected);
        ASSERT_TRUE(fs::exists(actual / rel)) << rel;
        EXPECT_TRUE(ReadFile(e.path()) == ReadFile(actual / rel)) << rel;
        ++count;
    }
    std::size_t actualCount = 0;
    for (const auto& e : fs::recursive_directory_iterator(actual))
        actualCount += !e.is_directory();
    EXPECT_EQ(count, actualCount);
}

TEST(Interop, ToolsAcceptOurPlainArchivesAndExtractTheNames)
{
    TempDir dir;
    const fs::path base = MakeFolder(dir, false);
    const fs::path archive = dir / "ours.zip";
    ASSERT_TRUE(WriteZipArchive(base, archive, {}).ok);
    test::ExpectPeersAccept(archive);
    if (Have("7zz")) {
        EXPECT_EQ(Shell("cd " + Quote(dir.path()) + " && 7zz x -y -oby7z " + Quote(archive)), 0);
        ExpectSameFiles(base, dir / "by7z"); // all three name encodings come back
    }
    if (Have("unzip")) {
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
    test::CountingRandom random;
    ZipWriteOptions options;
    options.password = "Pass word7";
    options.random = &random;
    ASSERT_TRUE(WriteZipArchive(base, archive, options).ok);
    test::ExpectPeersAccept(archive, "Pass word7");
    if (Have("unzip")) {
        EXPECT_NE(Shell("unzip -t -P wrong " + Quote(archive)), 0);
        EXPECT_EQ(Shell("cd " + Quote(dir.path()) + " && LC_ALL=C.UTF-8 unzip -q -P 'Pass word7' " + Quote(archive) +
                        " -d byunzip"),
                  0);
        ExpectSameFiles(base, dir / "byunzip");
    }
    if (Have("7zz")) {
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
        const char* tool;
        const char* name;
        std::string command;
        const char* password;
    } cases[] = {
        {"zip", "infozip.zip", "zip -q -r ../infozip.zip .", nullptr},
        {"zip", "infozip-p.zip", "zip -q -r -P s3cret ../infozip-p.zip .", "s3cret"},
        {"7zz", "sevenzip.zip", "7zz a -tzip ../sevenzip.zip .", nullptr},
        {"7zz", "sevenzip-p.zip", "7zz a -tzip -mem=ZipCrypto -ps3cret ../sevenzip-p.zip .", "s3cret"},
        {"python3", "python.zip",
         "python3 -c \"import zipfile,os\nwith zipfile.ZipFile('../python.zip','w',zipfile.ZIP_DEFLATED) as z:\n"
         " [z.write(os.path.join(r,f),os.path.relpath(os.path.join(r,f))) for r,_,fs in os.walk('.') for f in fs]\"",
         nullptr},
    };
    for (const Case& c : cases) {
        if (!Have(c.tool)) continue;
        const fs::path archive = dir / c.name;
        ASSERT_EQ(Shell("cd " + Quote(base) + " && " + c.command), 0) << c.name;
        const fs::path out = dir / (std::string("out-") + c.name);
        if (c.password) {
            EXPECT_FALSE(UnZipFile(archive, out).ok) << c.name; // encrypted entries need the protected path
            fs::remove_all(out);
            const auto result = ExtractProtected(out, archive, c.password);
            ASSERT_TRUE(result.ok) << c.name << ": " << result.error;
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
            ASSERT_TRUE(result.ok) << c.name << ": " << result.error;
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
    ASSERT_EQ(Shell("cd " + Quote(dir / "src") + " && zip -q -P right ../infozip.zip text.txt"), 0);
    const std::string wrong = PasswordPassingTheCheckByte(dir / "infozip.zip");
    ASSERT_FALSE(wrong.empty());
    ZipExtractOptions options;
    options.password = wrong;
    const ZipExtractResult plain = UnZipFile(dir / "infozip.zip", dir / "out", options);
    EXPECT_FALSE(plain.ok);
    ASSERT_TRUE(plain.failure);
    EXPECT_EQ(plain.failure->kind, archive::ErrorKind::WrongPassword) << plain.error;
    EXPECT_FALSE(fs::exists(dir / "out" / "text.txt"));

    test::CountingRandom random;
    ProtectOptions protect;
    protect.password = "right";
    protect.random = &random;
    ASSERT_EQ(ProtectFolderToArchive(dir / "src", dir / "P.zip", protect).status, ProtectStatus::Ok);
    const std::string protectedBytes = ReadFile(dir / "P.zip");
    const std::string wrongForProtected = PasswordPassingTheCheckByte(dir / "P.zip");
    ASSERT_FALSE(wrongForProtected.empty());
    const UnprotectResult restore = UnprotectArchive(dir / "P.zip", dir / "T", wrongForProtected);
    EXPECT_FALSE(restore.ok);
    EXPECT_TRUE(restore.wrongPassword) << restore.error;
    EXPECT_FALSE(fs::exists(dir / "T"));
    EXPECT_TRUE(ReadFile(dir / "P.zip") == protectedBytes);
    EXPECT_TRUE(UnprotectArchive(dir / "P.zip", dir / "T", "right").ok);
    EXPECT_EQ(ReadFile(dir / "T" / "text.txt"), std::string(30000, 'a') + "velmora\n");
}

TEST(Interop, Zip64ByEntryCountFromPython)
{
    if (!Have("python3")) GTEST_SKIP() << "python3 missing";
    TempDir dir;
    const fs::path archive = dir / "many.zip";
    ASSERT_EQ(Shell("python3 -c \"import zipfile,sys\nwith zipfile.ZipFile(sys.argv[1],'w') as z:\n"
                    " [z.writestr('d/f%d' % i, str(i)) for i in range(70000)]\" " +
                    Quote(archive)),
              0);
    const auto listing = ListZipArchive(archive);
    ASSERT_TRUE(listing.ok) << listing.error;
    EXPECT_TRUE(listing.zip64);
    EXPECT_EQ(listing.entries.size(), 70000u);
    EXPECT_TRUE(VerifyZipArchive(archive, "").ok);
}

TEST(Interop, OurArchiveOf70000FilesOpensInTheTools)
{
    TempDir dir;
    WriteFile(dir / "one.txt", "1");
    std::vector<ZipSource> sources;
    for (int i = 0; i < 70000; ++i)
        sources.push_back({dir / "one.txt", "f" + std::to_string(i), false});
    ASSERT_TRUE(WriteZipEntries(sources, dir / "many.zip", {}).ok);
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
    ASSERT_TRUE(WriteZipArchive(dir / "src", dir / "huge.zip", {}).ok);
    auto listing = ListZipArchive(dir / "huge.zip");
    ASSERT_EQ(listing.entries.size(), 1u);
    EXPECT_EQ(listing.entries[0].uncompressedSize, kSize);
    EXPECT_EQ(listing.entries[0].versionNeeded, 45);
    EXPECT_LT(fs::file_size(dir / "huge.zip"), 16u << 20);
    test::ExpectPeersAccept(dir / "huge.zip");
    if (Have("python3")) {
        EXPECT_EQ(Shell("python3 -c \"import zipfile,sys; i=zipfile.ZipFile(sys.argv[1]).infolist()[0]; "
                        "sys.exit(i.file_size != " +
                        std::to_string(kSize) + ")\" " + Quote(dir / "huge.zip")),
                  0);
    }
    // The other direction: a Zip64 archive of the same file built by Python (raw deflate of
    // zeros, full-flushed pieces repeated), read back and verified by our reader.
    if (!Have("python3")) return;
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
    ASSERT_TRUE(listing.ok) << listing.error;
    EXPECT_EQ(listing.entries[0].uncompressedSize, kSize);
    const auto verified = VerifyZipArchive(peer, "");
    EXPECT_TRUE(verified.ok) << verified.error;
}

} // namespace
} // namespace velmora
