#include "app/Settings.h"
#include "TestSupport.h"
#include "common/Errors.h"

#include <gtest/gtest.h>

using namespace velmora;
using velmora::test::TempDir;

TEST(Settings, FirstLineDecidesTheLanguage)
{
    struct Case {
        std::string bytes;
        std::int32_t language;
    };
    const Case cases[] = {
        {"0", 0},
        {"0\r\n", 0},
        {" 0", 0},
        {"   +0\r\n", 0},
        {"0 ", 1},
        {"abc", 1},
        {"", 1},
        {"\r\n0", 1},
        {"2", 2},
        {"-7", -7},
        {"0\r\n1\r\nmore", 0},
        {"0\n1", 0},
        {"\xEF\xBB\xBF"
         "0",
         0},
        {std::string("\xFF\xFE"
                     "0\0\r\0\n\0",
                     8),
         0},
        {std::string("\xFE\xFF\0"
                     "0",
                     4),
         0},
        {"$10", 16},
        {"0x10", 16},
        {"0X1f", 31},
        {"$FFFFFFFF", -1},
        {"$", 1},
        {"0x", 1},
        {"2147483647", 2147483647},
        {"2147483648", 1},
        {"-2147483648", -2147483648},
        {"-2147483649", 1},
        {"99999999999999999999", 1},
        {"1.0", 1},
        {"\t0", 1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(LanguageFromSettingsBytes(c.bytes), c.language) << "bytes: " << c.bytes;
    }
}

TEST(Settings, LoadKeepsTheLanguageWithoutAFileAndFailsOnAnUnreadableOne)
{
    VELMORA_SKIP_WITHOUT_SYMLINKS();
    TempDir dir;
    std::int32_t language = 1;
    LoadSettingsFile((dir / "tessaly.ini").string(), language);
    EXPECT_EQ(language, 1);

    std::filesystem::create_directory(dir / "folder.ini");
    LoadSettingsFile((dir / "folder.ini").string(), language);
    EXPECT_EQ(language, 1);

    // A link to nothing counts as no file.
    std::filesystem::create_symlink("gone.ini", dir / "dangling.ini");
    LoadSettingsFile((dir / "dangling.ini").string(), language);
    EXPECT_EQ(language, 1);

    // A link pointing at itself exists but cannot be opened, even by root.
    std::filesystem::create_symlink("loop.ini", dir / "loop.ini");
    EXPECT_THROW(LoadSettingsFile((dir / "loop.ini").string(), language), VelmoraError);
}

TEST(Settings, SaveWritesOneLineWithCrLfAndReplacesMoreLines)
{
    TempDir dir;
    const auto file = dir / "tessaly.ini";
    test::WriteFile(file, "0\r\nold second line\r\n");
    std::int32_t language = 1;
    LoadSettingsFile(file.string(), language);
    EXPECT_EQ(language, 0);
    SaveSettingsFile(file.string(), language);
    EXPECT_EQ(test::ReadFile(file), "0\r\n");
    SaveSettingsFile(file.string(), -5);
    EXPECT_EQ(test::ReadFile(file), "-5\r\n");

    EXPECT_THROW(SaveSettingsFile((dir / "missing-folder" / "tessaly.ini").string(), 1), VelmoraError);
}
