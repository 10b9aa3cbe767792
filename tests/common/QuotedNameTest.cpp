#include "common/QuotedName.h"

#include <gtest/gtest.h>

using namespace velmora;

TEST(QuotedName, ControlCharactersAreWrittenAsLsDoesOnATerminal)
{
    const struct {
        std::string name;
        std::string quoted;
    } cases[] = {
        {"plain name.txt", "plain name.txt"}, // nothing to quote: unchanged
        {"Grüße – 日本", "Grüße – 日本"},     // UTF-8 is kept
        {"a\nb", "$'a\\nb'"},
        {"tab\there", "$'tab\\there'"},
        {"\x1b[31mred", "$'\\033[31mred'"},
        {"cr\r bell\a del\x7f", "$'cr\\r bell\\a del\\177'"},
        {"it's\n\\", "$'it\\'s\\n\\\\'"},      // quote and backslash escaped inside $'...'
        {"c1 \xC2\x9B", "$'c1 \\u009b'"},      // a C1 control (CSI) written as UTF-8
        {"bad \xFF\xC3", "$'bad \\377\\303'"}, // bytes that are not UTF-8
        {std::string("nul\0x", 5), "$'nul\\000x'"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(QuotedName(c.name), c.quoted) << c.name;
        EXPECT_EQ(NeedsQuoting(c.name), c.name != c.quoted);
    }
    EXPECT_EQ(QuotedInText("a b"), "'a b'");
    EXPECT_EQ(QuotedInText("a\nb"), "$'a\\nb'");
}
