#include "update/ReleaseVersion.h"
#include "TestSupport.h"
#include "common/Errors.h"
#include "common/LanguageText.h"
#include "update/UpdateNotice.h"

#include <gtest/gtest.h>
#if !defined(_WIN32)
#include <sys/stat.h>
#endif

#include <functional>
#include <optional>

using namespace velmora;

namespace {
constexpr const char* kLocal = "1.3.0.0";

// The outcome of the first tick for a release file with these bytes; nullopt when the
// tick throws (the error reaches the standard error box).
std::optional<UpdateTickResult> FirstTick(const std::string& bytes, std::string* error = nullptr)
{
    test::TempDir dir;
    const std::string file = (dir / "velmora.dat").string();
    test::WriteFile(file, bytes);
    std::int32_t ticks = 0;
    try {
        return UpdateTick(ticks, file, kLocal);
    } catch (const VelmoraError& e) {
        if (error != nullptr) *error = e.what();
        return std::nullopt;
    }
}
} // namespace

TEST(ReleaseVersion, ComparesVersionsFieldByField)
{
    using R = UpdateTickResult;
    const struct {
        const char* firstLine;
        std::optional<R> expected;
    } cases[] = {
        {"1.4", R::ShowNotice},         // 1.4.0.0 > 1.3.0.0
        {" \t1.4 \x01", R::ShowNotice}, // blanks and controls around it are ignored
        {"1.3", R::KeepPolling},        // missing fields are zeros: equal
        {"1.3.0.0", R::KeepPolling},
        {"1.2.9", R::KeepPolling},
        {"1.3.0.0.1", R::ShowNotice},
        {"1.2.10.0", R::KeepPolling}, // older: the second field decides
        {"1.10", R::ShowNotice},      // ten is more than three
        {"1.3.0.10", R::ShowNotice},
        {"2147483647", R::ShowNotice}, // the largest field
        {"", R::StopPolling},
        {"   ", R::StopPolling},
        {"...", R::StopPolling}, // no digits at all
        {"1.4a", std::nullopt},
        {"1. 4", std::nullopt}, // an inner blank
        {"0x1.4", std::nullopt},
        {"1..4", std::nullopt}, // an empty field
        {"+1.4", std::nullopt},
        {"2147483648.0", std::nullopt}, // beyond 32 bits
        {"99999999999999999999", std::nullopt},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_EQ(FirstTick(std::string(c.firstLine) + "\r\n9.9.9.9\r\n", &error), c.expected) << c.firstLine;
        if (!c.expected) {
            EXPECT_NE(error.find("is not a valid version number"), std::string::npos) << error;
        }
    }
    // The local version is compared the same way in either order.
    EXPECT_EQ(CompareReleases("1.2.10.0", "1.3.0.0"), ReleaseVerdict::Newer);
    EXPECT_EQ(CompareReleases("1.3.0.0", "1.2.10.0"), ReleaseVerdict::NotNewer);
}

// The texts of every failure follow the language: English and German.
TEST(ReleaseVersion, ErrorsSpeakTheUsersLanguage)
{
    test::TempDir dir;
    const std::string missing = (dir / "missing" / "velmora.dat").string();
    const std::string longLine = (dir / "long.dat").string();
    test::WriteFile(longLine, std::string(200000, '1'));
    const struct {
        std::function<void()> run;
        const char* expected;
    } cases[] = {
        {[&] { ParseVersionNumber("1a", kEnglish); }, "'1a' is not a valid version number"},
        {[&] { ParseVersionNumber("1a", kGerman); }, "'1a' ist kein gültiger Integerwert"},
        {[&] { CompareReleases("1.3.0.0", "1.x", kGerman); }, "'1.x' ist kein gültiger Integerwert"},
        {[&] { ReadReleaseVersion(missing, kEnglish); }, "Cannot open file '"},
        {[&] { ReadReleaseVersion(missing, kGerman); }, "Datei kann nicht geöffnet werden '"},
        {[&] { ReadReleaseVersion(longLine, kEnglish); }, "The first line of the file '"},
        {[&] { ReadReleaseVersion(longLine, kGerman); }, "Die erste Zeile der Datei '"},
    };
    for (const auto& c : cases) {
        try {
            c.run();
            ADD_FAILURE() << "no error";
        } catch (const VelmoraError& e) {
            EXPECT_NE(std::string(e.what()).find(c.expected), std::string::npos) << e.what();
        }
    }
}

TEST(ReleaseVersion, ProgramVersionIsTheBuildsOrNotAvailable)
{
    EXPECT_EQ(ProgramVersionText(1), "1.3.0.0");
    EXPECT_EQ(ProgramVersionText(1, ""), "Not available");
    EXPECT_EQ(ProgramVersionText(0, ""), "Nicht verfügbar");
    // A program without version information cannot compare: that is an error, not a notice.
    EXPECT_THROW(CompareReleases(ProgramVersionText(1, ""), "1.4"), VelmoraError);
}

TEST(ReleaseVersion, ReadsTheFirstLineInTheEncodingOfItsByteOrderMark)
{
    const struct {
        const char* name;
        std::string bytes;
        std::string expected;
    } cases[] = {
        {"ANSI, CR LF", "1.4.0.0\r\n2.0\r\n", "1.4.0.0"},
        {"ANSI, LF only", " 1.4 \n2.0\n", "1.4"},
        {"ANSI, CR only", "1.4\r2.0", "1.4"},
        {"ANSI letters", "1.4\xE9\r\n", "1.4\xC3\xA9"},
        {"UTF-8",
         "\xEF\xBB\xBF"
         "1.5\r\n",
         "1.5"},
        {"UTF-16 LE",
         std::string("\xFF\xFE"
                     "1\0.\0"
                     "6\0\r\0\n\0"
                     "9\0",
                     14),
         "1.6"},
        {"UTF-16 BE",
         std::string("\xFE\xFF\0"
                     "1\0.\0"
                     "7\0\n",
                     10),
         "1.7"},
        {"empty", "", ""},
        {"mark only", "\xEF\xBB\xBF", ""},
        {"long tail", "1.8\n" + std::string(200000, 'x'), "1.8"},
    };
    test::TempDir dir;
    for (const auto& c : cases) {
        const std::string file = (dir / "release.dat").string();
        test::WriteFile(file, c.bytes);
        EXPECT_EQ(ReadReleaseVersion(file), c.expected) << c.name;
    }
}

#if !defined(_WIN32) // needs a POSIX call
TEST(ReleaseVersion, UnreadableReleaseFilesAreErrorsThatNeverHang)
{
    test::TempDir dir;
    const std::string endless = (dir / "endless.dat").string();
    test::WriteFile(endless, std::string(200000, '1'));
    EXPECT_THROW(ReadReleaseVersion(endless), VelmoraError);

    // A pipe in place of the file would block a reader until someone writes to it.
    const std::string pipe = (dir / "velmora.dat").string();
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    std::int32_t ticks = 0;
    try {
        UpdateTick(ticks, pipe, kLocal);
        ADD_FAILURE() << "a pipe was read as a release file";
    } catch (const VelmoraError& e) {
        EXPECT_NE(std::string(e.what()).find(pipe), std::string::npos) << e.what();
    }
    EXPECT_EQ(ticks, 1); // the tick counted all the same
}
#endif

TEST(UpdateTick, PollsThreeTimesAndStopsAtTheFourth)
{
    test::TempDir dir;
    const std::string file = (dir / "velmora.dat").string();
    std::int32_t ticks = 0;

    // Missing at the first tick, newer at the second.
    EXPECT_EQ(UpdateTick(ticks, file, kLocal), UpdateTickResult::KeepPolling);
    test::WriteFile(file, "1.4\r\n");
    EXPECT_EQ(UpdateTick(ticks, file, kLocal), UpdateTickResult::ShowNotice);
    EXPECT_EQ(ticks, 2);

    // Equal: read on ticks 1 to 3, the fourth switches off without reading.
    ticks = 0;
    test::WriteFile(file, "1.3.0.0\r\n");
    for (int i = 1; i <= 3; ++i)
        EXPECT_EQ(UpdateTick(ticks, file, kLocal), UpdateTickResult::KeepPolling) << i;
    test::WriteFile(file, "9.9\r\n");
    EXPECT_EQ(UpdateTick(ticks, file, kLocal), UpdateTickResult::StopPolling);

    // A folder of that name is no release file.
    ticks = 0;
    const std::string folder = (dir / "folder.dat").string();
    std::filesystem::create_directory(folder);
    EXPECT_EQ(UpdateTick(ticks, folder, kLocal), UpdateTickResult::KeepPolling);
}
