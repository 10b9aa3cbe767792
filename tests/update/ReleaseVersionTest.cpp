#include "update/ReleaseVersion.h"
#include "TestSupport.h"
#include "common/Errors.h"
#include "common/LanguageText.h"
#include "common/Result.h"
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
// tick fails (its text reaches the standard error box).
std::optional<UpdateTickResult> FirstTick(const std::string& bytes, std::string* error = nullptr)
{
    test::TempDir dir;
    const std::string file = (dir / "velmora.dat").string();
    test::WriteFile(file, bytes);
    std::int32_t ticks = 0;
    const Result<UpdateTickResult> tick = UpdateTick(ticks, file, kLocal);
    if (tick) return *tick;
    if (error != nullptr) *error = ErrorText(tick.error(), kEnglish);
    return std::nullopt;
}

// The outcome of a tick that must not fail.
UpdateTickResult Tick(std::int32_t& ticks, const std::string& file)
{
    const Result<UpdateTickResult> tick = UpdateTick(ticks, file, kLocal);
    EXPECT_TRUE(tick) << (tick ? std::string() : ErrorText(tick.error(), kEnglish));
    return tick ? *tick : UpdateTickResult::StopPolling;
}

// The text of a failed result in the language; "no error" when it did not fail.
template <typename T> std::string FailureText(const Result<T>& result, std::int32_t language)
{
    return result ? std::string("no error") : ErrorText(result.error(), language);
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
    EXPECT_EQ(CompareReleases("1.2.10.0", "1.3.0.0").value_or(ReleaseVerdict::Unusable), ReleaseVerdict::Newer);
    EXPECT_EQ(CompareReleases("1.3.0.0", "1.2.10.0").value_or(ReleaseVerdict::Unusable), ReleaseVerdict::NotNewer);
}

// The texts of every failure follow the language: English and German.
TEST(ReleaseVersion, ErrorsSpeakTheUsersLanguage)
{
    test::TempDir dir;
    const std::string missing = (dir / "missing" / "velmora.dat").string();
    const std::string longLine = (dir / "long.dat").string();
    test::WriteFile(longLine, std::string(200000, '1'));
    const struct {
        std::function<std::string()> text;
        const char* expected;
    } cases[] = {
        {[&] { return FailureText(ParseVersionNumber("1a", kEnglish), kEnglish); },
         "'1a' is not a valid version number"},
        {[&] { return FailureText(ParseVersionNumber("1a", kGerman), kGerman); }, "'1a' ist kein gültiger Integerwert"},
        {[&] { return FailureText(CompareReleases("1.3.0.0", "1.x", kGerman), kGerman); },
         "'1.x' ist kein gültiger Integerwert"},
        {[&] { return FailureText(ReadReleaseVersion(missing, kEnglish), kEnglish); }, "Cannot open file '"},
        {[&] { return FailureText(ReadReleaseVersion(missing, kGerman), kGerman); },
         "Datei kann nicht geöffnet werden '"},
        {[&] { return FailureText(ReadReleaseVersion(longLine, kEnglish), kEnglish); }, "The first line of the file '"},
        {[&] { return FailureText(ReadReleaseVersion(longLine, kGerman), kGerman); }, "Die erste Zeile der Datei '"},
    };
    for (const auto& c : cases) {
        const std::string text = c.text();
        EXPECT_NE(text.find(c.expected), std::string::npos) << text;
    }
}

TEST(ReleaseVersion, ProgramVersionIsTheBuildsOrNotAvailable)
{
    EXPECT_EQ(ProgramVersionText(1), "1.3.0.0");
    EXPECT_EQ(ProgramVersionText(1, ""), "Not available");
    EXPECT_EQ(ProgramVersionText(0, ""), "Nicht verfügbar");
    // A program without version information cannot compare: that is an error, not a notice.
    EXPECT_FALSE(CompareReleases(ProgramVersionText(1, ""), "1.4"));
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
        const Result<std::string> version = ReadReleaseVersion(file);
        ASSERT_TRUE(version) << c.name;
        EXPECT_EQ(*version, c.expected) << c.name;
    }
}

#if !defined(_WIN32) // needs a POSIX call
TEST(ReleaseVersion, UnreadableReleaseFilesAreErrorsThatNeverHang)
{
    test::TempDir dir;
    const std::string endless = (dir / "endless.dat").string();
    test::WriteFile(endless, std::string(200000, '1'));
    EXPECT_FALSE(ReadReleaseVersion(endless));

    // A pipe in place of the file would block a reader until someone writes to it.
    const std::string pipe = (dir / "velmora.dat").string();
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    std::int32_t ticks = 0;
    const Result<UpdateTickResult> tick = UpdateTick(ticks, pipe, kLocal);
    ASSERT_FALSE(tick) << "a pipe was read as a release file";
    EXPECT_NE(ErrorText(tick.error(), kEnglish).find(pipe), std::string::npos) << ErrorText(tick.error(), kEnglish);
    EXPECT_EQ(ticks, 1); // the tick counted all the same
}
#endif

TEST(UpdateTick, PollsThreeTimesAndStopsAtTheFourth)
{
    test::TempDir dir;
    const std::string file = (dir / "velmora.dat").string();
    std::int32_t ticks = 0;

    // Missing at the first tick, newer at the second.
    EXPECT_EQ(Tick(ticks, file), UpdateTickResult::KeepPolling);
    test::WriteFile(file, "1.4\r\n");
    EXPECT_EQ(Tick(ticks, file), UpdateTickResult::ShowNotice);
    EXPECT_EQ(ticks, 2);

    // Equal: read on ticks 1 to 3, the fourth switches off without reading.
    ticks = 0;
    test::WriteFile(file, "1.3.0.0\r\n");
    for (int i = 1; i <= 3; ++i)
        EXPECT_EQ(Tick(ticks, file), UpdateTickResult::KeepPolling) << i;
    test::WriteFile(file, "9.9\r\n");
    EXPECT_EQ(Tick(ticks, file), UpdateTickResult::StopPolling);

    // A folder of that name is no release file.
    ticks = 0;
    const std::string folder = (dir / "folder.dat").string();
    std::filesystem::create_directory(folder);
    EXPECT_EQ(Tick(ticks, folder), UpdateTickResult::KeepPolling);
}
