#include "common/DateTime.h"

#include <gtest/gtest.h>

using namespace velmora;

TEST(DateTime, EncodesAndDecodesAroundTheZeroDate)
{
    EXPECT_DOUBLE_EQ(EncodeDateTime({1899, 12, 30, 0, 0, 0, 0}), 0.0);
    EXPECT_DOUBLE_EQ(EncodeDateTime({1900, 1, 1, 0, 0, 0, 0}), 2.0);
    EXPECT_DOUBLE_EQ(EncodeDateTime({2000, 1, 1, 12, 0, 0, 0}), 36526.5);
    const DateTimeParts parts{2024, 2, 29, 23, 59, 59, 999};
    EXPECT_EQ(DecodeDateTime(EncodeDateTime(parts)), parts);
    // Before the zero date the fraction still counts forward from midnight.
    EXPECT_EQ(DecodeDateTime(-1.25), (DateTimeParts{1899, 12, 29, 6, 0, 0, 0}));
    EXPECT_TRUE(IsMidnight(EncodeDateTime({2020, 5, 1, 0, 0, 0, 0})));
    EXPECT_FALSE(IsMidnight(EncodeDateTime({2020, 5, 1, 0, 0, 0, 1})));
}

TEST(DateTime, PacksMsDosValuesWithEvenSecondsWithinTheirYears)
{
    const std::uint32_t packed = PackDosDateTime({2023, 6, 15, 14, 3, 27, 500});
    EXPECT_EQ(DosDatePart(packed), ((2023 - 1980) << 9) | (6 << 5) | 15);
    EXPECT_EQ(DosTimePart(packed), (14 << 11) | (3 << 5) | 13);
    EXPECT_EQ(UnpackDosDateTime(packed), (DateTimeParts{2023, 6, 15, 14, 3, 26, 0}));

    EXPECT_NE(PackDosDateTime({1980, 1, 1, 0, 0, 0, 0}), 0u);
    EXPECT_NE(PackDosDateTime({2107, 12, 31, 23, 59, 59, 0}), 0u);
    EXPECT_EQ(PackDosDateTime({1979, 12, 31, 23, 59, 59, 0}), 0u);
    EXPECT_EQ(PackDosDateTime({2108, 1, 1, 0, 0, 0, 0}), 0u);
    EXPECT_EQ(PackDosDateTime({2023, 2, 30, 0, 0, 0, 0}), 0u);
}
