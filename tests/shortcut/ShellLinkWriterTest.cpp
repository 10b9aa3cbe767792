#include "shortcut/ShellLinkWriter.h"
#include "LnkInfo.h"
#include "TestSupport.h"
#include "common/Errors.h"
#include "common/LanguageText.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace velmora;
namespace fs = std::filesystem;

namespace {
std::uint32_t U32At(const std::string& bytes, std::size_t at)
{
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(bytes[at + i]);
    return v;
}

std::vector<std::string> Entries(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    return names;
}
} // namespace

// Every shortcut we write must be read back by an independent reader with the target,
// the arguments and the item list we meant.
TEST(ShellLinkWriter, LnkinfoReadsTargetArgumentsAndItems)
{
#if defined(_WIN32)
    GTEST_SKIP()
        << "lnkinfo is a Linux program: the Windows build's links are read by it in the companion's Wine tests";
#endif
    struct Case {
        const char* target;
        const char* arguments;
        std::vector<std::string> classes; // empty: no item list at all
        std::vector<std::string> names;
        bool onShare = false;
    };
    const Case cases[] = {
        {R"(C:\test\a.txt)", "", {"0x1f", "0x2f", "0x31", "0x32"}, {R"(C:\)", "test", "a.txt"}},
        {R"(D:\Tools\app.exe)",
         R"("C:\My Files\a.txt C:\b.txt")",
         {"0x1f", "0x2f", "0x31", "0x32"},
         {R"(D:\)", "Tools", "app.exe"}},
        // Windows-1252 letters stay single-byte names.
        {R"(C:\Dokumente\Übersicht für Jürgen.txt)",
         "",
         {"0x1f", "0x2f", "0x31", "0x32"},
         {R"(C:\)", "Dokumente", "Übersicht für Jürgen.txt"}},
        // Letters outside Windows-1252 need the Unicode names and the Unicode local path.
        {R"(C:\Документы\файл 日本.txt)",
         "параметр",
         {"0x1f", "0x2f", "0x35", "0x36"},
         {R"(C:\)", "Документы", "файл 日本.txt"}},
        // Empty segments are skipped; a trailing separator makes the last segment a folder.
        {R"(c:/Games\\Old\)", "", {"0x1f", "0x2f", "0x31", "0x31"}, {R"(c:\)", "Games", "Old"}},
        {R"(C:\)", "", {"0x1f", "0x2f"}, {R"(C:\)"}},
        // Anything that is no drive path is stored as given, without an item list.
        {"/usr/bin/gedit", R"("/home/user/notes 1.txt")", {}, {}},
        {"app.exe", "", {}, {}},
        {R"(\\?\C:\long\app.exe)", "", {}, {}},
        // A path on a share is stored as the share and the rest of the path.
        {R"(\\server\tools\bin\app.exe)", "-v", {}, {}, true},
        {R"(\\сервер\доля\файл.exe)", "", {}, {}, true},
    };
    test::TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.target);
        const fs::path link = dir / "out.lnk";
        ASSERT_TRUE(SaveShellLink(link.string(), c.target, c.arguments));
        const test::LnkInfoResult info = test::RunLnkInfo(link.string());
        ASSERT_TRUE(info.ran) << info.output;
        EXPECT_EQ(c.onShare ? info.networkPath : info.localPath, c.target);
        EXPECT_EQ(c.onShare ? info.localPath : info.networkPath, "");
        EXPECT_EQ(info.hasArguments, *c.arguments != '\0');
        EXPECT_EQ(info.arguments, c.arguments);
        EXPECT_EQ(info.hasTargetIdList, !c.classes.empty());
        EXPECT_EQ(info.itemClasses, c.classes);
        EXPECT_EQ(info.itemNames, c.names);
    }
}

TEST(ShellLinkWriter, HeaderAndLinkInfoFields)
{
    const std::string plain = BuildShellLink(R"(C:\test\a.txt)", "").value();
    ASSERT_GT(plain.size(), 0x4Cu);
    EXPECT_EQ(U32At(plain, 0), 0x4Cu);
    EXPECT_TRUE(HasShellLinkHeader(plain));
    // Item list, link info and Unicode strings; no arguments, relative path or working folder.
    EXPECT_EQ(U32At(plain, 0x14), 0x83u);
    EXPECT_EQ(U32At(plain, 0x3C), 1u); // shown normally
    // The terminal block ends the file.
    EXPECT_EQ(plain.substr(plain.size() - 4), std::string(4, '\0'));

    EXPECT_EQ(U32At(*BuildShellLink(R"(C:\a.exe)", "x"), 0x14), 0xA3u);
    EXPECT_EQ(U32At(*BuildShellLink("/usr/bin/x", ""), 0x14), 0x82u);

    // The ANSI local path holds Windows-1252 bytes, without the Unicode part...
    const std::string ansi = BuildShellLink("/tmp/Ä", "").value();
    const std::size_t info = 0x4C;
    EXPECT_EQ(U32At(ansi, info + 4), 0x1Cu);
    EXPECT_EQ(ansi.substr(info + U32At(ansi, info + 16), 7), std::string("/tmp/\xC4\0", 7));
    // ...and a path outside that page gets '?' there plus the Unicode path.
    const std::string wide = BuildShellLink("/tmp/Ж", "").value();
    EXPECT_EQ(U32At(wide, info + 4), 0x24u);
    EXPECT_EQ(wide.substr(info + U32At(wide, info + 16), 7), std::string("/tmp/?\0", 7));
    EXPECT_EQ(wide.substr(info + U32At(wide, info + 28), 4), std::string("/\0t\0", 4));
}

TEST(ShellLinkWriter, RefusesTextItCannotStore)
{
    const std::string tooLong(70000, 'a');
    const struct {
        std::string target;
        std::string arguments;
    } cases[] = {
        {"", ""},
        {"C:\\bad\xFF.exe", ""},
        {std::string("C:\\a\0b.exe", 10), ""},
        {"C:\\a.exe", std::string("x\0y", 3)},
        {"C:\\a.exe", tooLong},
        {"C:\\" + tooLong, ""},
    };
    for (const auto& c : cases) {
        const Result<std::string> refused = BuildShellLink(c.target, c.arguments);
        ASSERT_FALSE(refused) << c.target.size();
        EXPECT_EQ(refused.error().kind, Error::Kind::InvalidInput);
        EXPECT_NE(ErrorText(refused.error(), kEnglish), "");
    }
    EXPECT_EQ(ErrorText(BuildShellLink("", "").error(), kEnglish), "The link target is empty");
}

TEST(ShellLinkWriter, ReplacesAtomicallyAndReportsFailures)
{
    test::TempDir dir;
    const fs::path link = dir / "app.lnk";
    test::WriteFile(link, "old shortcut");
    ASSERT_TRUE(SaveShellLink(link.string(), R"(C:\new.exe)", ""));
    EXPECT_TRUE(HasShellLinkHeader(test::ReadFile(link)));
    EXPECT_EQ(Entries(dir.path()), std::vector<std::string>{"app.lnk"}); // no temporary file left
    // A name at the file system's length limit still has room for the temporary file.
    const std::string longName = std::string(251, 'n') + ".lnk";
    ASSERT_TRUE(SaveShellLink((dir / longName).string(), R"(C:
ew.exe)",
                              ""));
    EXPECT_TRUE(HasShellLinkHeader(test::ReadFile(dir / longName)));
    fs::remove(dir / longName);

    // A missing folder: the message names the path and the reason.
    const fs::path missing = dir / "no such folder" / "x.lnk";
    const Result<void> unsaved = SaveShellLink(missing.string(), R"(C:\a.exe)", "");
    ASSERT_FALSE(unsaved);
    const std::string text = ErrorText(unsaved.error(), kEnglish);
    EXPECT_NE(text.find(missing.string()), std::string::npos) << text;
    EXPECT_NE(text.find("No such file or directory"), std::string::npos) << text;

    // A folder in the way stays untouched, and no temporary file is left beside it.
    fs::create_directory(dir / "folder.lnk");
    test::WriteFile(dir / "folder.lnk" / "inside.txt", "keep");
    EXPECT_FALSE(SaveShellLink((dir / "folder.lnk").string(), R"(C:\a.exe)", ""));
    EXPECT_EQ(test::ReadFile(dir / "folder.lnk" / "inside.txt"), "keep");
    EXPECT_EQ(Entries(dir.path()).size(), 2u);
    EXPECT_FALSE(SaveShellLink((dir.path() / "").string(), R"(C:\a.exe)", ""));
}

TEST(ShellLinkWriter, InspectLinkPathTellsShortcutsFromOtherFiles)
{
    test::TempDir dir;
    ASSERT_TRUE(SaveShellLink((dir / "real.lnk").string(), "/bin/true", ""));
    test::WriteFile(dir / "notes.lnk", "these are notes, not a shortcut");
    test::WriteFile(dir / "short.lnk", "L");
    fs::create_directory(dir / "folder");
    EXPECT_EQ(InspectLinkPath((dir / "real.lnk").string()), LinkPathState::ShellLink);
    EXPECT_EQ(InspectLinkPath((dir / "notes.lnk").string()), LinkPathState::OtherFile);
    EXPECT_EQ(InspectLinkPath((dir / "short.lnk").string()), LinkPathState::OtherFile);
    EXPECT_EQ(InspectLinkPath((dir / "folder").string()), LinkPathState::Directory);
    EXPECT_EQ(InspectLinkPath((dir / "none.lnk").string()), LinkPathState::Missing);
}
