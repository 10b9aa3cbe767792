// Archives that other tools write with the further methods and with AES, made by those
// tools at test time and read back by our readers byte for byte. A missing tool skips
// its test and says so.
#include "ArchiveBuilders.h"
#include "ArchiveResults.h"
#include "PeerGate.h"
#include "TreeSnapshot.h"
#include "archive/zip/ZipReader.h"

#include <gtest/gtest.h>

#include <random>

namespace velmora {
namespace {

using test::Files;
using test::MakeArchive;
using test::Maker;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;
namespace fs = std::filesystem;

// Text whose repeats reach further back than 32 KiB (so Deflate64 uses its long
// distances and lengths), random bytes, an empty file and a tiny one.
fs::path MakeFolder(const TempDir& dir, bool withSubfolder)
{
    const fs::path base = dir / "src";
    fs::create_directories(base);
    std::mt19937 gen(5);
    const std::string noise = test::RandomBytes(gen, 40000);
    std::string text;
    const std::string words[] = {"archive ", "method ", "window\n", "distance, ", "entry; "};
    while (text.size() < 200000)
        text += words[gen() % 5];
    text += text.substr(0, 90000) + noise.substr(0, 3000) + text.substr(10000, 90000);
    WriteFile(base / "text.txt", text);
    WriteFile(base / "noise.bin", noise);
    WriteFile(base / "empty.txt", "");
    WriteFile(base / "tiny.txt", "v");
    if (withSubfolder) {
        fs::create_directories(base / "sub");
        WriteFile(base / "sub" / "inner.txt", text.substr(5000, 70000));
    }
    return base;
}

// The files below actual are those below expected, byte for byte.
void ExpectSameFiles(const fs::path& expected, const fs::path& actual, const std::string& what)
{
    EXPECT_EQ(test::TreeDiff(Files(expected), Files(actual)), "") << what;
}

// Python builds a stored archive, then each entry's data is replaced by what the zstd
// tool makes of it and the method set to 93: the container by the zipfile module, the
// stream by the zstd tool.
const char* kZstdScript = R"(import os,struct,subprocess,sys,zipfile,zlib
out=sys.argv[1]
names=[os.path.relpath(os.path.join(r,f)) for r,_,fs in os.walk('.') for f in fs]
with zipfile.ZipFile(out+'.tmp','w') as z:
    for n in names: z.writestr(n, subprocess.run(['zstd','-q','-c','-19',n],check=True,capture_output=True).stdout)
data=bytearray(open(out+'.tmp','rb').read())
with zipfile.ZipFile(out+'.tmp') as z:
    for i in z.infolist():
        plain=open(i.filename,'rb').read()
        crc=zlib.crc32(plain)
        struct.pack_into('<H',data,i.header_offset+8,93)
        struct.pack_into('<II',data,i.header_offset+14,crc,i.compress_size)
        struct.pack_into('<I',data,i.header_offset+22,len(plain))
p=data.find(b'PK\x01\x02')
while p>=0:
    off=struct.unpack_from('<I',data,p+42)[0]
    struct.pack_into('<H',data,p+10,93)
    data[p+16:p+28]=data[off+14:off+26]
    p=data.find(b'PK\x01\x02',p+4)
open(out,'wb').write(data)
)";

TEST(MethodInterop, ToolsArchivesOfEveryMethodExtractByteIdentical)
{
    TempDir dir;
    const fs::path base = MakeFolder(dir, true);
    WriteFile(dir / "zstd.py", kZstdScript);
    const struct Case {
        std::string name;
        Maker maker;
        std::string options;
        std::string command; // instead of a maker: sh commands run in the source folder
    } cases[] = {
        {"7z-deflate64.zip", Maker::SevenZip, "-mm=Deflate64"},
        {"7z-deflate64-max.zip", Maker::SevenZip, "-mm=Deflate64 -mx=9"},
        {"7z-bzip2.zip", Maker::SevenZip, "-mm=BZip2"},
        {"7z-lzma.zip", Maker::SevenZip, "-mm=LZMA"},
        {"7z-lzma-eos.zip", Maker::SevenZip, "-mm=LZMA:eos"},
        {"7z-xz.zip", Maker::SevenZip, "-mm=XZ"},
        {"7z-ppmd.zip", Maker::SevenZip, "-mm=PPMd"},
        {"7z-ppmd-max.zip", Maker::SevenZip, "-mm=PPMd -mx=9"},
        // A model memory smaller than the text, once restarted and once cut back when full.
        {"7z-ppmd-restart.zip", Maker::SevenZip, "-mm=PPMd:mem=1m:o=16"},
        {"7z-ppmd-cutoff.zip", Maker::SevenZip, "-mx=9 -mm=PPMd:mem=1m:o=2"},
        {"infozip-bzip2.zip", Maker::InfoZip, "-Z bzip2"},
        {"python-bzip2.zip", Maker::Python, "ZIP_BZIP2"},
        {"python-lzma.zip", Maker::Python, "ZIP_LZMA"},
        {"zstd.zip", Maker::Python, "", "python3 ../zstd.py ../zstd.zip"},
    };
    for (const Case& c : cases) {
        const std::string tool = c.command.empty() ? test::MakerName(c.maker) : "zstd";
        if (const std::string missing = test::MissingPeers({tool}); !missing.empty()) {
            ADD_FAILURE() << missing << ": " << c.name << " not checked";
            continue;
        }
        if (c.command.empty()) {
            ASSERT_EQ(MakeArchive(c.maker, base, dir / c.name, {{}, "", c.options}), "");
        } else {
            const test::ShellResult made = test::RunShell("cd " + test::ShellQuote(base.string()) + " && " + c.command);
            ASSERT_EQ(made.code, 0) << c.name << ": " << made.output;
        }
        const fs::path out = dir / ("out-" + c.name);
        const ZipExtractResult result = UnZipFile(dir / c.name, out);
        EXPECT_TRUE(result.outcome) << c.name << ": " << test::FailureText(result.outcome);
        ExpectSameFiles(base, out, c.name);
    }
}

// A method we cannot read fails that entry only, by name, and leaves no partial file.
TEST(MethodInterop, UnreadableMethodIsNamedAndFailsOnlyItsEntry)
{
    VELMORA_SKIP_WITHOUT_PEERS("7zz");
    TempDir dir;
    const fs::path base = MakeFolder(dir, false);
    // 7-Zip stores what does not shrink, so noise.bin stays readable; text.txt is marked as
    // WavPack, which we do not read.
    ASSERT_EQ(MakeArchive(Maker::SevenZip, base, dir / "ppmd.zip", {{}, "", "-mm=PPMd"}), "");
    std::string bytes = ReadFile(dir / "ppmd.zip");
    test::SetEntryMethod(bytes, "text.txt", 97);
    WriteFile(dir / "wavpack.zip", bytes);
    const ZipExtractResult result = UnZipFile(dir / "wavpack.zip", dir / "out");
    EXPECT_FALSE(result.outcome);
    EXPECT_NE(test::FailureText(result.outcome).find("method 97 (WavPack) is not supported"), std::string::npos)
        << test::FailureText(result.outcome);
    EXPECT_FALSE(fs::exists(dir / "out" / "text.txt"));
    EXPECT_TRUE(ReadFile(dir / "out" / "noise.bin") == ReadFile(base / "noise.bin"));
}

TEST(MethodInterop, SevenZipAesArchivesOpenWithThePasswordOnly)
{
    VELMORA_SKIP_WITHOUT_PEERS("7zz");
    TempDir dir;
    const fs::path base = MakeFolder(dir, false);
    for (const char* strength : {"AES128", "AES192", "AES256"}) {
        for (const char* method : {"Copy", "Deflate", "Deflate64", "BZip2", "LZMA", "XZ", "PPMd"}) {
            const std::string name = std::string(strength) + "-" + method;
            const fs::path archive = dir / (name + ".zip");
            const std::string options = std::string("-mem=") + strength + " -mm=" + method;
            ASSERT_EQ(MakeArchive(Maker::SevenZip, base, archive, {{}, "K3y pass!", options}), "") << name;
            const fs::path out = dir / ("out-" + name);
            const ZipExtractResult good = ExtractProtected(out, archive, "K3y pass!");
            EXPECT_TRUE(good.outcome) << name << ": " << test::FailureText(good.outcome);
            ExpectSameFiles(base, out, name);

            const fs::path wrongOut = dir / ("wrong-" + name);
            const ZipExtractResult wrong = ExtractProtected(wrongOut, archive, "K3y pass?");
            EXPECT_FALSE(wrong.outcome) << name;
            EXPECT_NE(test::FailureText(wrong.outcome).find("password"), std::string::npos)
                << name << ": " << test::FailureText(wrong.outcome);
            EXPECT_EQ(Files(wrongOut).size(), 0u) << name;
            EXPECT_FALSE(UnZipFile(archive, dir / ("nopass-" + name)).outcome) << name;
        }
    }
}

// Keys are derived for the entries ahead while earlier ones are checked: an archive whose
// entries use two passwords (and three key sizes) must still stop at the first entry the
// password does not open, writing nothing for it or after it, and must open every entry
// when the password asked for is switched back and forth.
TEST(MethodInterop, AesEntriesWithTwoPasswordsStopOrSwitchInOrder)
{
    VELMORA_SKIP_WITHOUT_PEERS("7zz");
    TempDir dir;
    const fs::path base = dir / "src";
    fs::create_directories(base);
    const std::vector<std::string> names = {"a1", "a2", "a3", "b", "c1", "c2"};
    for (const std::string& name : names)
        WriteFile(base / (name + ".txt"), "content of " + name + std::string(3000, name[0]));
    const fs::path zip = dir / "mixed.zip";
    ASSERT_EQ(MakeArchive(Maker::SevenZip, base, zip, {{"a1.txt", "a2.txt", "a3.txt"}, "first", "-mem=AES256"}), "");
    ASSERT_EQ(MakeArchive(Maker::SevenZip, base, zip, {{"b.txt"}, "second", "-mem=AES128"}), "");
    ASSERT_EQ(MakeArchive(Maker::SevenZip, base, zip, {{"c1.txt", "c2.txt"}, "first", "-mem=AES192"}), "");

    const ZipExtractResult stopped = UnZipFile(dir / "mixed.zip", dir / "stop", [] {
        ZipExtractOptions options;
        options.password = "first";
        return options;
    }());
    EXPECT_FALSE(stopped.outcome);
    ASSERT_FALSE(stopped.outcome);
    EXPECT_EQ(stopped.outcome.error().kind, Error::Kind::WrongPassword);
    EXPECT_NE(test::FailureText(stopped.outcome).find("b.txt"), std::string::npos)
        << test::FailureText(stopped.outcome);
    EXPECT_EQ(Files(dir / "stop").size(), 3u);
    EXPECT_FALSE(fs::exists(dir / "stop" / "b.txt"));

    std::vector<std::string> asked;
    ZipExtractOptions options;
    options.password = "first";
    options.needPassword = [&](std::string& password) {
        asked.push_back(password);
        password = password == "first" ? "second" : "first";
        return true;
    };
    const ZipExtractResult switched = UnZipFile(dir / "mixed.zip", dir / "all", options);
    EXPECT_TRUE(switched.outcome) << test::FailureText(switched.outcome);
    EXPECT_EQ(asked, (std::vector<std::string>{"first", "second"}));
    ExpectSameFiles(base, dir / "all", "switched");
}

// libarchive's bsdtar writes AE-1 (CRC-32 kept beside the authentication code) for
// entries of 20 bytes and more, AE-2 for smaller ones.
TEST(MethodInterop, BsdtarAe1ArchivesOpenWithThePasswordOnly)
{
    VELMORA_SKIP_WITHOUT_PEERS("bsdtar");
    TempDir dir;
    const fs::path base = MakeFolder(dir, true);
    for (const char* strength : {"aes128", "aes256"}) {
        const fs::path archive = dir / (std::string(strength) + ".zip");
        const test::ShellResult made = test::RunShell(
            "cd " + test::ShellQuote(base.string()) + " && bsdtar --format zip --options zip:encryption=" + strength +
            " --passphrase 'K3y pass!' -cf " + test::ShellQuote(archive.string()) + " text.txt noise.bin tiny.txt sub");
        ASSERT_EQ(made.code, 0) << strength << ": " << made.output;
        // The archive really holds AE-1 entries: vendor version 1 in the 0x9901 field.
        const std::string bytes = ReadFile(archive);
        unsigned ae1 = 0;
        test::ForEachEntry(bytes, [&](const std::string&, std::size_t central, std::size_t) {
            const std::size_t extra = central + 46 + test::Le16(bytes, central + 28);
            const std::size_t end = extra + test::Le16(bytes, central + 30);
            for (std::size_t at = extra; at + 4 <= end; at += 4 + test::Le16(bytes, at + 2)) {
                if (test::Le16(bytes, at) == 0x9901 && test::Le16(bytes, at + 4) == 1) ++ae1;
            }
        });
        EXPECT_GE(ae1, 2u) << strength;

        const fs::path out = dir / (std::string("out-") + strength);
        ZipExtractOptions options;
        options.password = "K3y pass!";
        const ZipExtractResult good = UnZipFile(archive, out, options);
        EXPECT_TRUE(good.outcome) << strength << ": " << test::FailureText(good.outcome);
        for (const char* name : {"text.txt", "noise.bin", "tiny.txt", "sub/inner.txt"}) {
            EXPECT_TRUE(ReadFile(base / name) == ReadFile(out / name)) << strength << ": " << name;
        }
        const fs::path wrongOut = dir / (std::string("wrong-") + strength);
        options.password = "K3y pass?";
        const ZipExtractResult wrong = UnZipFile(archive, wrongOut, options);
        EXPECT_FALSE(wrong.outcome) << strength;
        EXPECT_NE(test::FailureText(wrong.outcome).find("password"), std::string::npos)
            << strength << ": " << test::FailureText(wrong.outcome);
        EXPECT_EQ(Files(wrongOut).size(), 0u) << strength;
    }
}

// One changed byte inside AES data: the authentication code catches it before the
// file is put in place, with the right password.
TEST(MethodInterop, TamperedAesDataLeavesNoFile)
{
    VELMORA_SKIP_WITHOUT_PEERS("7zz");
    TempDir dir;
    const fs::path base = dir / "src";
    fs::create_directories(base);
    WriteFile(base / "one.bin", std::string(20000, 'x'));
    ASSERT_EQ(MakeArchive(Maker::SevenZip, base, dir / "t.zip", {{"one.bin"}, "secret", "-mem=AES256 -mm=Copy"}), "");
    std::string bytes = ReadFile(dir / "t.zip");
    // Local header (30) + name (7) + extra, then salt (16) and verifier (2): flip a data byte.
    const std::size_t dataStart = 30 + 7 + test::Le16(bytes, 28) + 18;
    bytes[dataStart + 5000] = static_cast<char>(bytes[dataStart + 5000] ^ 0x01);
    WriteFile(dir / "t.zip", bytes);
    const ZipExtractResult result = ExtractProtected(dir / "out", dir / "t.zip", "secret");
    EXPECT_FALSE(result.outcome);
    EXPECT_NE(test::FailureText(result.outcome).find("authentication code"), std::string::npos)
        << test::FailureText(result.outcome);
    EXPECT_EQ(Files(dir / "out").size(), 0u);
}

} // namespace
} // namespace velmora
