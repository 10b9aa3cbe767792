#include "inspect/InspectRules.h"
#include "inspect/Inspection.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

TEST(FileSizeText, FollowsTheSizeTable)
{
    struct Case {
        std::uint64_t bytes;
        const char* number;
        const char* unit;
    };
    const Case cases[] = {
        {0, "0", " Bytes"},
        {1024, "1024", " Bytes"},
        {1025, "2", " KB"},
        {1048576, "1024", " KB"},
        {1048577, "1,000", " MB"},
        {1572864, "1,500", " MB"},
        {5000000, "4,768", " MB"},
        {3221225472ull, "3072,000", " MB"},
        {1048576ull * 2 - 1, "2,000", " MB"}, // rounding carries into the whole number
        {1048576ull + 524, "1,000", " MB"},   // 0.0004997 rounds down
        {1048576ull + 525, "1,001", " MB"},   // 0.0005007 rounds up
        {0xFFFFFFFFFFFFFFFFull, "17592186044416,000", " MB"},
    };
    for (const Case& c : cases) {
        const SizeText text = FileSizeText(c.bytes, ',');
        EXPECT_EQ(text.number, c.number) << c.bytes;
        EXPECT_EQ(text.unit, c.unit) << c.bytes;
    }
    EXPECT_EQ(FileSizeText(1048577, '.').number, "1.000");
}

TEST(DefaultAppName, CutsCommandsToTheProgramName)
{
    // Windows commands name the program after the last "\\" or ":"; Linux programs carry
    // no extension and are shown by their file name.
    constexpr PathRules kWindowsCommands{"\\:", '\\'};
    struct Case {
        const char* raw;
        bool windows;
        const char* expected;
    };
    const Case cases[] = {
        {R"("C:\Program Files\Office\WINWORD.EXE" /n "%1")", true, "WINWORD.exe"},
        {R"(C:\Windows\System32\NOTEPAD.EXE %1)", true, "NOTEPAD.exe"},
        {R"(%SystemRoot%\system32\NOTEPAD.EXE %1)", true, "undefined"},
        {R"(rundll32.exe shimgvw.dll,ImageView_Fullscreen %1)", true, "rundll32.dll"},
        {R"("C:\Apps\My.Viewer.exe" "%1")", true, "My.exe"},
        {"Word.Document.12", true, "Word.12"},
        {"txtfile", true, "undefined"},
        {"", true, "undefined"},
        {"txtfile", false, "txtfile"},
        {"gedit %U", false, "gedit"},
        {"/usr/bin/libreoffice --writer %U", false, "libreoffice"},
        {R"("/opt/My Apps/viewer" --new %F)", false, "viewer"},
        {"/usr/lib/app/bin/tool.sh %f", false, "tool.sh"},
        {"%U", false, "undefined"},
    };
    for (const Case& c : cases) {
        const std::string command = CleanCommandText(c.raw);
        EXPECT_EQ(DefaultAppName(command, c.windows ? kWindowsCommands : kPosixPathRules, !c.windows), c.expected)
            << c.raw;
    }
    EXPECT_EQ(CleanCommandText(R"("C:\a b\x.exe" "%1")"), R"(C:\a b\x.exe)");
    EXPECT_EQ(CleanExtension(".EXE"), ".exe");
    EXPECT_EQ(CleanExtension(".ab1cd"), ".ab1cd"); // the 4th character is no letter: nothing cut
    EXPECT_EQ(CleanExtension(".HTML5x"), ".html");
    EXPECT_EQ(TextBeforeFirstDot("a.b.c"), "a");
    EXPECT_EQ(TextBeforeFirstDot("abc"), "");
}

TEST(InspectRules, ProductNameAndLastAccessThroughTheDosValue)
{
    EXPECT_TRUE(IsWindows10("Windows 10 Pro"));
    EXPECT_FALSE(IsWindows10("Debian GNU/Linux 12 (bookworm)"));

    const TDateTime shown = LastAccessThroughDos(EncodeDateTime({2026, 5, 4, 10, 15, 37, 900}));
    EXPECT_EQ(DecodeDateTime(shown), (DateTimeParts{2026, 5, 4, 10, 15, 36, 0}));
    EXPECT_EQ(LastAccessThroughDos(std::nullopt), 0.0);
    EXPECT_EQ(LastAccessThroughDos(EncodeDateTime({1970, 1, 1, 0, 0, 0, 0})), 0.0);
}

} // namespace
} // namespace velmora
