#include "common/AsciiText.h"

#include <gtest/gtest.h>

using namespace velmora;

TEST(AsciiText, TrimsEveryControlCharacterButNoUtf8)
{
    EXPECT_EQ(TrimBlanks(" \t\r\n\v\f\x01 a b \x1f"), "a b");
    EXPECT_EQ(TrimBlanks("\xC2\xA0x\xC2\xA0"), "\xC2\xA0x\xC2\xA0"); // a no-break space is text
    EXPECT_EQ(TrimBlanks("  "), "");
    EXPECT_EQ(AsciiLower("ÄBC.ZIP"), "Äbc.zip");
    EXPECT_TRUE(EqualsIgnoringAsciiCase("GNOME", "gnome"));
    EXPECT_FALSE(EqualsIgnoringAsciiCase("Ä", "ä"));
    EXPECT_FALSE(EqualsIgnoringAsciiCase("KDE", "KDE "));
}
