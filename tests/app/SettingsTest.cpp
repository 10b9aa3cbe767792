#include "app/Settings.h"
#include "TestSupport.h"
#include "common/Errors.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#if !defined(_WIN32)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

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

#if !defined(_WIN32)
// A pipe at the settings path (no writer would ever come) and a huge file both count as no
// settings: the start goes on at once with the language it had.
TEST(Settings, APipeOrAHugeFileCountsAsNoSettings)
{
    TempDir dir;
    const std::string pipe = (dir / "pipe.ini").string();
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    std::int32_t language = 0;
    auto load = std::async(std::launch::async, [&] { LoadSettingsFile(pipe, language); });
    if (load.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
        // Let the waiting reader go, so that the failure does not hang the run.
        const int writer = open(pipe.c_str(), O_WRONLY | O_NONBLOCK);
        if (writer >= 0) close(writer);
        load.wait();
        FAIL() << "reading the settings waited for a writer of the pipe";
    }
    load.get();
    EXPECT_EQ(language, 0);

    // Sparse: large to the reader, nothing on the disk. Its first line would be invalid,
    // which would give English; it must not be read at all.
    const std::filesystem::path huge = dir / "huge.ini";
    test::WriteFile(huge, "");
    std::filesystem::resize_file(huge, std::uintmax_t{256} << 20);
    LoadSettingsFile(huge.string(), language);
    EXPECT_EQ(language, 0);

    // A file at the limit is still read.
    const std::filesystem::path full = dir / "full.ini";
    test::WriteFile(full, "1\r\n" + std::string(kSettingsReadLimit - 3, ' '));
    LoadSettingsFile(full.string(), language);
    EXPECT_EQ(language, 1);
}
#endif

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
