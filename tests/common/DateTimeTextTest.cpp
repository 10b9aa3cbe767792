#include "common/DateTimeText.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

TDateTime At(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0)
{
    return EncodeDateTime({y, mo, d, h, mi, s, ms});
}

LocaleFormats UsStyle()
{
    LocaleFormats f;
    f.shortDatePattern = "M/d/yyyy";
    f.longTimePattern = "h:mm:ss AP";
    return f;
}

TEST(DateTimeText, FormatsShortDateBlankLongTimeAndDateAloneAtMidnight)
{
    const LocaleFormats de = GermanStyleFormats();
    EXPECT_EQ(FormatDateTimeText(At(2026, 3, 7, 14, 3, 27, 999), de), "07.03.2026 14:03:27");
    EXPECT_EQ(FormatDateTimeText(At(2026, 3, 7), de), "07.03.2026");
    EXPECT_EQ(FormatDateTimeText(At(2026, 3, 7, 0, 0, 0, 1), de), "07.03.2026 00:00:00");
    EXPECT_EQ(FormatDateTimeText(0.0, de), "30.12.1899");
    EXPECT_EQ(FormatDateTimeText(At(2026, 3, 7, 0, 5), UsStyle()), "3/7/2026 12:05:00 AM");
    EXPECT_EQ(FormatDateTimeText(At(2026, 3, 7, 13, 5), UsStyle()), "3/7/2026 1:05:00 PM");
    LocaleFormats names;
    names.shortDatePattern = "dddd, d MMM yyyy 'um'";
    EXPECT_EQ(FormatDateText(At(2026, 12, 10), names), "Thursday, 10 Dec 2026 um");
}

TEST(DateTimeText, ParsesDateAndTimeDateAloneAndTimeAlone)
{
    const LocaleFormats de = GermanStyleFormats();
    struct Case {
        const char* text;
        std::optional<TDateTime> expected;
    };
    const Case cases[] = {
        {"07.03.2026 14:03:27", At(2026, 3, 7, 14, 3, 27)},
        {"  7.3.2026   14:03  ", At(2026, 3, 7, 14, 3)},
        {"07.03.2026", At(2026, 3, 7)},
        {"07.03.26", At(2026, 3, 7)},
        {"14:03:27", At(1899, 12, 30, 14, 3, 27)},
        {"30.12.1899", 0.0},
        {"abc", std::nullopt},
        {"", std::nullopt},
        {"31.02.2026", std::nullopt},
        {"07.03.2026 25:00:00", std::nullopt},
        {"07.03.2026 14:03:27 x", std::nullopt},
        {"07.03.2026x14:03", std::nullopt},
        {"14", std::nullopt},
    };
    for (const Case& c : cases) {
        const auto parsed = ParseDateTimeText(c.text, de);
        ASSERT_EQ(parsed.has_value(), c.expected.has_value()) << c.text;
        if (parsed) {
            EXPECT_DOUBLE_EQ(*parsed, *c.expected) << c.text;
        }
    }
    EXPECT_EQ(ParseDateTimeText("3/7/2026 1:05:09 PM", UsStyle()), At(2026, 3, 7, 13, 5, 9));
    EXPECT_EQ(ParseDateTimeText("3/7/2026 12:05 am", UsStyle()), At(2026, 3, 7, 0, 5));
    EXPECT_FALSE(ParseDateTimeText("3/7/2026 13:05 PM", UsStyle()));
}

TEST(DateTimeText, FormattedTextsReadBackInTheirLocale)
{
    LocaleFormats named;
    named.shortDatePattern = "d. MMMM yyyy";
    for (const LocaleFormats& f : {GermanStyleFormats(), IsoStyleFormats(), UsStyle(), named}) {
        for (TDateTime v : {0.0, At(1980, 1, 1, 0, 0, 2), At(2026, 6, 30, 23, 59, 58), At(2107, 12, 31)}) {
            const std::string text = FormatDateTimeText(v, f);
            const auto back = ParseDateTimeText(text, f);
            ASSERT_TRUE(back) << text;
            EXPECT_EQ(FormatDateTimeText(*back, f), text);
        }
    }
}

TEST(DateTimeText, NormalizedPatternKeepsFourDigitYearsAndDropsTheZone)
{
    EXPECT_EQ(NormalizedPattern("dd.MM.yy"), "dd.MM.yyyy");
    EXPECT_EQ(NormalizedPattern("M/d/yy"), "M/d/yyyy");
    EXPECT_EQ(NormalizedPattern("yyyy-MM-dd"), "yyyy-MM-dd");
    EXPECT_EQ(NormalizedPattern("HH:mm:ss t"), "HH:mm:ss");
    EXPECT_EQ(NormalizedPattern("h:mm:ss AP t"), "h:mm:ss AP");
    EXPECT_EQ(NormalizedPattern("'yy' d"), "'yy' d");
}

} // namespace
} // namespace velmora
