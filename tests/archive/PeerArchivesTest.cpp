// Archives made at test time by the peers (Info-ZIP zip, 7-Zip, Python's zipfile), some
// of them then appended to or patched the way real files come damaged, run through
// `velmora-cli unzip`; and our own archives run through the peers. One row per case:
// how it is made, the entries that come out, the exit code and the message.
#include "ArchiveResults.h"
#include "CliRunner.h"
#include "PeerGate.h"
#include "TreeSnapshot.h"
#include "archive/zip/ZipReader.h"
#include "cli/CliCommand.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <set>
#include <sstream>

namespace velmora {
namespace {

using test::Cli;
using test::CliRun;
using test::ReadFile;
using test::RunShell;
using test::ShellQuote;
using test::TempDir;
using test::WriteFile;
namespace fs = std::filesystem;

// Patches a ZIP file in place, as damaged or unusual files come:
//   eocd OFFSET FORMAT VALUE...  fields of the last end record (struct format, offset in it)
//   entry NAME FIELD VALUE       flags |= VALUE or method = VALUE in both headers of NAME
//   flip NAME                    inverts the last data byte of NAME
//   field NAME local|central crc|csize|usize DELTA   adds DELTA to that field of one record
constexpr const char* kPatcher = R"(import struct, sys, zipfile
path, what = sys.argv[1], sys.argv[2]
d = bytearray(open(path, 'rb').read())
if what == 'eocd':
    e = d.rfind(b'PK\x05\x06')
    struct.pack_into(sys.argv[4], d, e + int(sys.argv[3]), *[int(v, 0) for v in sys.argv[5:]])
else:
    info = zipfile.ZipFile(path).getinfo(sys.argv[3])
    local = info.header_offset
    c = d.find(b'PK\x01\x02' + bytes(d[local + 4:local + 6]))
    while d[c + 46:c + 46 + len(info.orig_filename.encode())] != info.orig_filename.encode():
        c = d.find(b'PK\x01\x02', c + 4)
    if what == 'entry' and sys.argv[4] == 'flags':
        for at in (local + 6, c + 8):
            struct.pack_into('<H', d, at, struct.unpack_from('<H', d, at)[0] | int(sys.argv[5], 0))
    elif what == 'entry' and sys.argv[4] == 'method':
        for at in (local + 8, c + 10):
            struct.pack_into('<H', d, at, int(sys.argv[5], 0))
    elif what == 'field':
        base = local if sys.argv[4] == 'local' else c
        at = base + {'crc': 14, 'csize': 18, 'usize': 22}[sys.argv[5]] + (0 if sys.argv[4] == 'local' else 2)
        struct.pack_into('<I', d, at, (struct.unpack_from('<I', d, at)[0] + int(sys.argv[6], 0)) % (1 << 32))
    elif what == 'flip':
        n, x = struct.unpack_from('<HH', d, local + 26)
        d[local + 30 + n + x + info.compress_size - 1] ^= 0xFF
open(path, 'wb').write(d)
)";

struct Row {
    const char* name;
    const char* tools;    // needed on PATH, blank-separated
    std::string make;     // sh commands run in the test folder; they leave t.zip there
    const char* password; // for `unzip --password`, or nullptr
    std::set<std::string> entries;
    int exit;
    std::vector<std::string> messages; // each must appear on stderr
};

class PeerArchives : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories(m_dir / "src" / "sub");
        WriteFile(m_dir / "src" / "a.txt", "alpha\n");
        WriteFile(m_dir / "src" / "b.txt", std::string(3000, 'b'));
        WriteFile(m_dir / "src" / "sub" / "c.txt", "gamma\n");
        WriteFile(m_dir / "patch.py", kPatcher);
    }

    // Runs the sh commands that make t.zip in the test folder, from a clean start.
    void Make(const std::string& commands)
    {
        fs::remove(m_dir / "t.zip");
        fs::remove_all(m_dir / "out");
        fs::remove_all(m_dir / "peer");
        const test::ShellResult made = RunShell("cd " + ShellQuote(m_dir.path().string()) + " && set -e; " + commands);
        ASSERT_EQ(made.code, 0) << commands << "\n" << made.output;
    }

    void RunRow(const Row& row)
    {
        SCOPED_TRACE(row.name);
        std::istringstream words(row.tools);
        std::vector<std::string> tools;
        for (std::string tool; words >> tool;)
            tools.push_back(tool);
        VELMORA_REQUIRE_PEERS(tools);
        Make(row.make);
        if (HasFatalFailure()) return;
        std::vector<std::string> args = {"unzip", (m_dir / "t.zip").string(), (m_dir / "out").string()};
        if (row.password) {
            args.insert(args.end(), {"--password", row.password});
        }
        const CliRun run = Cli(args);
        EXPECT_EQ(run.code, row.exit) << run.err;
        EXPECT_EQ(test::Names(m_dir / "out"), row.entries) << run.err;
        EXPECT_EQ(run.err.find("invalid password!"), std::string::npos) << run.err;
        for (const std::string& message : row.messages) {
            EXPECT_NE(run.err.find(message), std::string::npos) << "expected '" << message << "' in:\n" << run.err;
        }
    }

    TempDir m_dir;
};

const std::set<std::string> kTree = {"a.txt", "b.txt", "sub/", "sub/c.txt"};
const std::string kZip = "(cd src && zip -qr ../t.zip .); ";
const std::string kPatch = "python3 patch.py t.zip ";

TEST_F(PeerArchives, WeOpenWhatThePeersOpen)
{
    const Row rows[] = {
        {"plain archive of zip -r", "zip", kZip, nullptr, kTree, 0, {"3 files extracted"}},
        {"one trailing newline",
         "zip",
         kZip + "echo >> t.zip",
         nullptr,
         kTree,
         0,
         {"warning: ignored 1 byte after the end of the archive"}},
        {"1000 bytes of zero padding",
         "zip",
         kZip + "head -c 1000 /dev/zero >> t.zip",
         nullptr,
         kTree,
         0,
         {"ignored 1000 bytes after the end"}},
        {"300 bytes of junk appended",
         "zip",
         kZip + "head -c 300 /dev/urandom >> t.zip",
         nullptr,
         kTree,
         0,
         {"ignored 300 bytes after the end"}},
        {"comment length 40 past the end",
         "zip",
         kZip + "echo 'a comment' | zip -qz t.zip; " + kPatch + "eocd 20 '<H' 50",
         nullptr,
         kTree,
         0,
         {"the archive comment is cut short"}},
        {"comment length 4 short of the end",
         "zip",
         kZip + "echo 'a comment' | zip -qz t.zip; " + kPatch + "eocd 20 '<H' 6",
         nullptr,
         kTree,
         0,
         {"bytes after the end of the archive"}},
        {"5000 bytes of junk in front, offsets not adjusted",
         "zip",
         kZip + "head -c 5000 /dev/urandom > j; cat j t.zip > u.zip; mv u.zip t.zip",
         nullptr,
         kTree,
         0,
         {"skipped 5000 bytes in front of the archive"}},
        {"self-extracting stub, offsets adjusted by zip -A",
         "zip",
         kZip + "head -c 5000 /dev/urandom > j; cat j t.zip > u.zip; mv u.zip t.zip; zip -qA t.zip",
         nullptr,
         kTree,
         0,
         {"3 files extracted"}},
        {"zip -fz, classic end record all 0xFFFF placeholders",
         "zip",
         "(cd src && zip -qr -fz ../t.zip .); " + kPatch +
             "eocd 4 '<HHHHII' 0xFFFF 0xFFFF 0xFFFF 0xFFFF 0xFFFFFFFF 0xFFFFFFFF",
         nullptr,
         kTree,
         0,
         {}},
        {"zip -fz with junk in front",
         "zip",
         "(cd src && zip -qr -fz ../t.zip .); head -c 777 /dev/urandom > j; cat j t.zip > u.zip; mv u.zip t.zip",
         nullptr,
         kTree,
         0,
         {"skipped 777 bytes in front"}},
        {"end record counts 3 of 4 entries",
         "zip",
         kZip + kPatch + "eocd 8 '<HH' 3 3",
         nullptr,
         kTree,
         0,
         {"the end record counts 3 entries but the central directory holds 4"}},
        {"7-Zip ZipCrypto with --password: the tree is kept",
         "7zz",
         "(cd src && 7zz a -bd -tzip -mem=ZipCrypto -ps3cret ../t.zip . >/dev/null)",
         "s3cret",
         kTree,
         0,
         {"3 files extracted"}},
        {"folders marked only by the MS-DOS attribute 0x10",
         "python3",
         "python3 -c \"import zipfile\nwith zipfile.ZipFile('t.zip','w') as z:\n"
         " for n,a,d in (('Folder',0x10,b''),('Folder/inner.txt',0x20,b'in'),('Empty',0x10,b'')):\n"
         "  i=zipfile.ZipInfo(n); i.create_system=0; i.external_attr=a; z.writestr(i,d)\"",
         nullptr,
         {"Empty/", "Folder/", "Folder/inner.txt"},
         0,
         {}},
    };
    for (const Row& row : rows) {
        RunRow(row);
    }
}

// Local and central records that disagree: the entry comes out by the record the data
// bears out, with a warning naming the field, as Info-ZIP unzip extracts it; when neither
// record fits the data it fails. a.txt is followed by b.txt, whose data a central size
// too large would reach into.
TEST_F(PeerArchives, DisagreeingRecordsAreReadByTheRecordTheDataBearsOut)
{
    VELMORA_REQUIRE_PEERS("zip", "unzip");
    const std::string zip = "(cd src && zip -q ../t.zip a.txt b.txt); ";
    const struct {
        const char* name;
        std::string patch;
        bool extracted; // a.txt comes out
        const char* message;
    } cases[] = {
        {"central compressed size 1000 too large", kPatch + "field a.txt central csize 1000", true,
         "disagree on the compressed size; the local record matches the data"},
        {"central CRC-32 wrong", kPatch + "field a.txt central crc 1", true,
         "disagree on the CRC-32; the local record matches the data"},
        {"local CRC-32 wrong", kPatch + "field a.txt local crc 1", true,
         "disagree on the CRC-32; the central record matches the data"},
        {"local sizes wrong", kPatch + "field a.txt local csize 3; " + kPatch + "field a.txt local usize 3", true,
         "disagree on the compressed size, size; the central record matches the data"},
        {"both CRC-32 wrong, differently", kPatch + "field a.txt central crc 1; " + kPatch + "field a.txt local crc 2",
         false, "disagree on the CRC-32, and the data matches neither"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_NO_FATAL_FAILURE(Make(zip + c.patch));
        const std::string in = "cd " + ShellQuote(m_dir.path().string()) + " && ";
        const CliRun run = Cli({"unzip", (m_dir / "t.zip").string(), (m_dir / "out").string()});
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_EQ(ReadFile(m_dir / "out" / "b.txt"), std::string(3000, 'b'));
        EXPECT_EQ(fs::exists(m_dir / "out" / "a.txt"), c.extracted) << run.err;
        if (c.extracted) {
            EXPECT_EQ(ReadFile(m_dir / "out" / "a.txt"), "alpha\n");
            // Where unzip extracts without a complaint, it gives the same bytes. (With
            // the local sizes too large it takes them for a stored entry, and fails its
            // CRC check.)
            if (RunShell(in + "unzip -qo t.zip -d peer").code == 0) {
                EXPECT_EQ(ReadFile(m_dir / "out" / "a.txt"), ReadFile(m_dir / "peer" / "a.txt"));
            }
        }
        const CliRun tested = Cli({"test", (m_dir / "t.zip").string()});
        EXPECT_EQ(tested.code == 0, c.extracted) << tested.out << tested.err;
        EXPECT_NE(tested.err.find(c.message), std::string::npos) << tested.err;
    }
}

TEST_F(PeerArchives, FailuresNameTheirCauseAndWhatWasExtracted)
{
    const Row rows[] = {
        {"stored entry with a damaged byte",
         "zip",
         "(cd src && zip -q0 ../t.zip a.txt b.txt); " + kPatch + "flip a.txt",
         nullptr,
         {"b.txt"},
         1,
         {"'a.txt' is damaged: CRC-32 mismatch", "1 file extracted, 1 entry failed"}},
        {"500 random bytes", "", "head -c 500 /dev/urandom > t.zip", nullptr, {}, 1, {"not a ZIP archive"}},
        {"method patched to 77",
         "zip",
         "(cd src && zip -q ../t.zip a.txt b.txt); " + kPatch + "entry b.txt method 77",
         nullptr,
         {"a.txt"},
         1,
         {"'b.txt' is compressed with method 77, which is not supported"}},
        {"7-Zip AES-256",
         "7zz",
         "(cd src && 7zz a -bd -tzip -mem=AES256 -ppw ../t.zip a.txt >/dev/null)",
         nullptr,
         {},
         1,
         {"'a.txt' is AES-encrypted", "0 files extracted, 1 entry failed"}},
        {"strong encryption flag (bit 6) patched in",
         "zip",
         "(cd src && zip -q -P pw ../t.zip a.txt); " + kPatch + "entry a.txt flags 0x40",
         nullptr,
         {},
         1,
         {"'a.txt' uses PKWARE strong encryption, which is not supported"}},
        {"zip -y with a link",
         "zip",
         "mkdir l && cd l && echo x > a.txt && ln -s a.txt link && zip -qy ../t.zip a.txt link",
         nullptr,
         {"a.txt", "link"},
         0,
         {"2 files extracted"}},
        {"zip -y with a link out of the folder",
         "zip",
         "mkdir m && cd m && echo x > a.txt && ln -s /etc/hostname abs && zip -qy ../t.zip a.txt abs",
         nullptr,
         {"a.txt"},
         0,
         {"abs' -> '/etc/hostname': link not made, it points outside the folder", "1 file extracted"}},
        {"names with characters only Windows reserves, and one leaving the folder",
         "zip python3",
         "mkdir n && cd n && touch 'a|b' 'c:d' 'e?f*g' 'h\"i<j>' && zip -q ../t.zip * && cd .. && python3 -c "
         "'import zipfile; zipfile.ZipFile(\"t.zip\", \"a\").writestr(\"s/../../up\", \"x\")'",
         nullptr,
         {"a|b", "c:d", "e?f*g", "h\"i<j>"},
         1,
         {"'s/../../up' skipped: unsafe name: the name leaves the folder through '..'",
          "4 files extracted, 1 entry skipped"}},
        {"last name holds the Zip64 locator's signature right before the end record",
         "python3",
         "python3 -c 'import zipfile; z = zipfile.ZipFile(\"t.zip\", \"w\"); z.writestr(\"a.txt\", \"a\"); "
         "z.writestr(\"xPK\\x06\\x07abcdefghijklmnop\", \"b\"); z.close()'",
         nullptr,
         {"a.txt", "xPK\x06\x07"
                   "abcdefghijklmnop"},
         0,
         {"ignored a Zip64 locator that leads to no Zip64 end record", "2 files extracted"}},
        {"zip -P with a wrong --password",
         "zip",
         "(cd src && zip -q -P pw ../t.zip a.txt b.txt)",
         "wrong",
         {},
         1,
         {"'a.txt' wrong password"}},
        {"zip -P without --password",
         "zip",
         "(cd src && zip -q -P pw ../t.zip a.txt b.txt)",
         nullptr,
         {},
         1,
         {"'a.txt' is encrypted: give the password with --password", "'b.txt' is encrypted",
          "0 files extracted, 2 entries failed"}},
    };
    for (const Row& row : rows) {
        RunRow(row);
    }
}

// Times: the archive is made in Tokyo and read in UTC. The MS-DOS time is local to the
// creator (off by nine hours here); the extended timestamp and the NTFS field are UTC.
TEST_F(PeerArchives, TimesComeFromTheUtcFieldsWithTheMsDosTimeAsFallback)
{
    const char* savedTz = std::getenv("TZ");
    const std::string saved = savedTz ? savedTz : "";
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    ASSERT_EQ(
        RunShell("touch -d '2021-06-15 10:20:31.123456789 UTC' " + ShellQuote((m_dir / "src/a.txt").string())).code, 0);
    using namespace std::chrono;
    const auto utc = [](int h, int m, int s, long long ns) {
        return sys_days{year{2021} / 6 / 15} + hours(h) + minutes(m) + seconds(s) + nanoseconds(ns);
    };
    const struct {
        const char* name;
        const char* tool;
        const char* make;
        sys_time<nanoseconds> expected;
    } rows[] = {
        {"zip: extended timestamp 0x5455", "zip", "cd src && TZ=Asia/Tokyo zip -q ../t.zip a.txt", utc(10, 20, 31, 0)},
        {"7-Zip: NTFS times 0x000A", "7zz", "cd src && TZ=Asia/Tokyo 7zz a -bd -tzip ../t.zip a.txt >/dev/null",
         utc(10, 20, 31, 123456700)},
        {"zip -X: MS-DOS time only, read as local", "zip", "cd src && TZ=Asia/Tokyo zip -q -X ../t.zip a.txt",
         utc(19, 20, 32, 0)},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        VELMORA_REQUIRE_PEERS(row.tool);
        ASSERT_NO_FATAL_FAILURE(Make(row.make));
        const CliRun run = Cli({"unzip", (m_dir / "t.zip").string(), (m_dir / "out").string()});
        ASSERT_EQ(run.code, 0) << run.err;
        const auto written = file_clock::to_sys(fs::last_write_time(m_dir / "out" / "a.txt"));
        EXPECT_EQ(duration_cast<nanoseconds>(written.time_since_epoch()).count(),
                  row.expected.time_since_epoch().count());
    }
    if (savedTz) {
        ::setenv("TZ", saved.c_str(), 1);
    } else {
        ::unsetenv("TZ");
    }
    ::tzset();
}

// What we write, read by the peers: Debian's unzip must test and extract it, names intact.
TEST_F(PeerArchives, ThePeersOpenWhatWeWrite)
{
    TempDir dir;
    const fs::path src = dir / "names";
    fs::create_directories(src / "Sub");
    const std::vector<std::string> names = {"\xC3\x9C"
                                            "bersicht.txt",
                                            "\xE2\x82\xAC"
                                            "uro.txt",
                                            "\xE6\x97\xA5\xE6\x9C\xAC.txt", "plain.txt"};
    for (const std::string& name : names) {
        WriteFile(src / name, name);
    }
    WriteFile(src / "Sub" / "deep.txt", "deep");
    const struct {
        const char* name;
        std::vector<std::string> args; // after "zip FOLDER ARCHIVE"
        const char* password;
        std::set<std::string> entries; // as Debian's unzip extracts them
        std::string message;
    } rows[] = {
        {"plain, names in CP437, Windows-1252 and UTF-8",
         {},
         "",
         {names.begin(), names.end()},
         "1 subfolder was left out"},
        {"encrypted, the same names", {"--password", "pw"}, "pw", {names.begin(), names.end()}, "4 entries written"},
        {"--recursive", {"--recursive"}, "", {}, "6 entries written"},
    };
    int n = 0;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const fs::path archive = dir / ("w" + std::to_string(++n) + ".zip");
        std::vector<std::string> args = {"zip", src.string(), archive.string()};
        args.insert(args.end(), row.args.begin(), row.args.end());
        const CliRun run = Cli(args);
        ASSERT_EQ(run.code, 0) << run.err;
        EXPECT_NE(run.err.find(row.message), std::string::npos) << run.err;
        test::ExpectPeersAccept(archive, row.password);
        VELMORA_REQUIRE_PEERS("unzip");
        const fs::path out = dir / ("u" + std::to_string(n));
        const std::string pass = *row.password ? "-P " + ShellQuote(row.password) + " " : "";
        const auto unzip = RunShell("LC_ALL=C.UTF-8 unzip -q " + pass + ShellQuote(archive.string()) + " -d " +
                                    ShellQuote(out.string()));
        EXPECT_EQ(unzip.code, 0) << unzip.output;
        std::set<std::string> expected = row.entries;
        if (expected.empty()) {
            expected = {names.begin(), names.end()};
            expected.insert({"Sub/", "Sub/deep.txt"});
        }
        EXPECT_EQ(test::Names(out), expected);
    }
}

TEST_F(PeerArchives, ZipOfAFolderWithOnlySubfoldersSaysWhatItLeftOut)
{
    fs::remove(m_dir / "src" / "a.txt");
    fs::remove(m_dir / "src" / "b.txt");
    fs::create_directories(m_dir / "src" / "other");
    const CliRun plain = Cli({"zip", (m_dir / "src").string(), (m_dir / "p.zip").string()});
    EXPECT_EQ(plain.code, 0) << plain.err;
    EXPECT_NE(plain.err.find("2 subfolders were left out"), std::string::npos) << plain.err;
    EXPECT_NE(plain.err.find("0 entries written"), std::string::npos) << plain.err;
    EXPECT_TRUE(test::Listing(m_dir / "p.zip").entries.empty());
    test::ExpectPeersAccept(m_dir / "p.zip");
    const CliRun tree = Cli({"zip", (m_dir / "src").string(), (m_dir / "r.zip").string(), "--recursive"});
    EXPECT_EQ(tree.code, 0) << tree.err;
    std::set<std::string> names;
    for (const ZipEntryInfo& e : test::Listing(m_dir / "r.zip").entries) {
        names.insert(e.name);
    }
    EXPECT_EQ(names, (std::set<std::string>{"sub/", "sub/c.txt", "other/"}));
    test::ExpectPeersAccept(m_dir / "r.zip");
}

} // namespace
} // namespace velmora
