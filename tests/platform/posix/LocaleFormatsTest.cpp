#include "platform/posix/PosixLocaleFormats.h"

#include <QLocale>

#include <gtest/gtest.h>

namespace velmora {
namespace {

// Every locale Qt knows: a date-time text the program writes reads back to the same
// value, so an edited date never shifts by a century or an hour.
TEST(LocaleFormats, EveryLocaleReadsItsOwnTextsBack)
{
    const TDateTime values[] = {0.0, EncodeDateTime({1980, 1, 1, 0, 0, 2, 0}),
                                EncodeDateTime({2026, 7, 14, 0, 5, 9, 0}), EncodeDateTime({2026, 12, 31, 12, 0, 0, 0}),
                                EncodeDateTime({2107, 6, 30, 23, 59, 58, 0})};
    int checked = 0;
    for (const QLocale& locale :
         QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory)) {
        const LocaleFormats formats = FormatsOf(locale);
        for (TDateTime value : values) {
            const std::string text = FormatDateTimeText(value, formats);
            const auto back = ParseDateTimeText(text, formats);
            ASSERT_TRUE(back.has_value()) << locale.name().toStdString() << ": " << text << " with "
                                          << formats.shortDatePattern << " | " << formats.longTimePattern;
            EXPECT_EQ(DecodeDateTime(*back), DecodeDateTime(value)) << locale.name().toStdString() << ": " << text;
        }
        ++checked;
    }
    EXPECT_GT(checked, 100);
}

} // namespace
} // namespace velmora
