#include "platform/posix/DosAttributeBlob.h"
#include "platform/posix/HiddenList.h"

#include <gtest/gtest.h>

#include <string>

namespace velmora {
namespace {

using namespace std::string_literals;

// As a file server stores archive + hidden with version 5: text, pad, version, then
// valid flags (attribute + creation time), the word at byte 12 and the creation time.
const std::string kSambaV5 = "0x22\0\0"s "\x05\0"s "\x11\0\0\0"s "\x22\0\0\0"s "\x10\x32\x54\x76\x98\xBA\xDC\x01"s;

TEST(DosAttributeBlob, ReadsTextAndBinaryForms)
{
    struct Case {
        std::string blob;
        std::optional<std::uint32_t> expected;
    };
    const Case cases[] = {
        {"0x22", 0x22},
        {"0x21\0"s, 0x21},
        {"0X4", 0x4},
        {kSambaV5, 0x22},
        // Version 4: flags, word, two times; the word wins over a stale text.
        {"0x0\0"s "\x04\0\0\0"s "\x01\0\0\0"s "\x07\0\0\0"s + std::string(16, '\0'), 0x07},
        // Version 3 whose flags say the word is not valid: the text counts.
        {"0x20\0\0"s "\x03\0"s "\x00\0\0\0"s "\x01\0\0\0"s + std::string(24, '\0'), 0x20},
        // Version 1: the word is the first field; a longer text moves the layout.
        {"0x820\0"s "\x01\0"s "\x20\x08\0\0"s + std::string(28, '\0'), 0x820},
        {"", std::nullopt},
        {"0x", std::nullopt},
        {"22", std::nullopt},
        {"0xZZ", std::nullopt},
        {"0x22\0\0"s "\x05\0"s, std::nullopt},  // cut off before the info
        {"0x22\0\0"s "\x09\0\0\0\x01\0\0\0\x22\0\0\0"s, std::nullopt},  // unknown version
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParseDosAttributeBlob(c.blob), c.expected) << testing::PrintToString(c.blob);
    }
}

TEST(DosAttributeBlob, UpdateKeepsTheRecordAndItsCreationTime)
{
    EXPECT_EQ(UpdatedDosAttributeBlob("", 0x21), "0x21");
    EXPECT_EQ(UpdatedDosAttributeBlob("0x22", 0x0), "0x0");

    // A shorter text moves the info by whole 4-byte steps; the creation time stays intact.
    const std::string updated = UpdatedDosAttributeBlob(kSambaV5, 0x1);
    EXPECT_EQ(ParseDosAttributeBlob(updated), 0x1u);
    EXPECT_EQ(updated.substr(0, 4), "0x1\0"s);
    EXPECT_EQ(updated.substr(updated.size() - 8), kSambaV5.substr(kSambaV5.size() - 8));
    EXPECT_EQ(UpdatedDosAttributeBlob(updated, 0x22), kSambaV5);
}

TEST(HiddenList, AddsAndRemovesOneNameKeepingTheRest)
{
    EXPECT_TRUE(HiddenListContains("a\nb.txt\r\nc", "b.txt"));
    EXPECT_FALSE(HiddenListContains("ab.txt\n", "b.txt"));
    EXPECT_EQ(HiddenListWith("", "x", true), "x\n");
    EXPECT_EQ(HiddenListWith("a\nb", "x", true), "a\nb\nx\n");
    EXPECT_EQ(HiddenListWith("a\nx\n", "x", true), "a\nx\n");
    EXPECT_EQ(HiddenListWith("x\na\nx\nb", "x", false), "a\nb");
    EXPECT_EQ(HiddenListWith("x\n", "x", false), "");
}

} // namespace
} // namespace velmora
