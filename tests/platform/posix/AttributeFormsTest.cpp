#include "platform/posix/DosAttributeBlob.h"
#include "platform/posix/HiddenList.h"

#include <gtest/gtest.h>

#include <string>

namespace velmora {
namespace {

using namespace std::string_literals;

// user.DOSATTRIB records as the file server writes them (NDR): the text and its NUL,
// padding to 2, uint16 version, the union's level again as uint16, padding to 4, then the
// version's info. The version 5 record is what Samba 4.17 stores for Hidden + System; the
// others follow the published layout of versions 1 to 4.
const std::string kCreate = "\x81\x7f\xf6\xd5\xa5\x88\xdd\x01"s;
const std::string kSambaV5 = "\0\0"s
                             "\x05\0"s
                             "\x05\0"s
                             "\0\0"s
                             "\x11\0\0\0"s
                             "\x06\0\0\0"s +
                             kCreate;
// Version 1: the attribute word first, then ea_size, size, alloc_size, create and change time.
const std::string kV1 = "\0\0"s
                        "\x01\0"s
                        "\x01\0"s
                        "\0\0"s
                        "\x21\0\0\0"s +
                        std::string(4 + 8 + 8, '\0') + kCreate + std::string(8, '\x02');
// Version 2 (old servers, text kept in step): flags, word, ea_size, size, alloc_size, three
// times, an empty name. The text "0x2" moves everything by 4 bytes.
const std::string kV2 = "0x2\0"s
                        "\x02\0"s
                        "\x02\0"s
                        "\0\0\0\0"s
                        "\x02\0\0\0"s +
                        std::string(4 + 8 + 8, '\0') + kCreate + std::string(16, '\x03') + "\0\0\0\0"s;
// Version 3: valid flags (attribute, create time), word, ea_size, size, alloc_size, two times.
const std::string kV3 = "\0\0"s
                        "\x03\0"s
                        "\x03\0"s
                        "\0\0"s
                        "\x11\0\0\0"s
                        "\x04\0\0\0"s +
                        std::string(4 + 8 + 8, '\0') + kCreate + std::string(8, '\x04');
// Version 4: valid flags (attribute, itime, create time), word, itime, create time.
const std::string kV4 = "\0\0"s
                        "\x04\0"s
                        "\x04\0"s
                        "\0\0"s
                        "\x51\0\0\0"s
                        "\x01\0\0\0"s +
                        std::string(8, '\x05') + kCreate;

TEST(DosAttributeBlob, ReadsTextAndEveryRecordVersion)
{
    struct Case {
        std::string blob;
        std::optional<std::uint32_t> expected;
    };
    const Case cases[] = {
        {"0x22", 0x22},
        {"0x21\0"s, 0x21},
        {"0X4", 0x4},
        {kSambaV5, 0x06}, // Hidden + System, not the valid flags 0x11
        {kV1, 0x21},
        {kV2, 0x02},
        {kV3, 0x04},
        {kV4, 0x01},
        // Version 3 whose flags say the word is not valid: the text counts.
        {"0x20\0\0"s
         "\x03\0"s
         "\x03\0"s
         "\0\0"s
         "\0\0\0\0"s
         "\x01\0\0\0"s +
             std::string(36, '\0'),
         0x20},
        {"", std::nullopt},
        {"0x", std::nullopt},
        {"22", std::nullopt},
        {"0xZZ", std::nullopt},
        {kSambaV5.substr(0, 14), std::nullopt}, // cut off inside the info
        {"\0\0"s
         "\x05\0"s
         "\x04\0"s
         "\0\0"s +
             kSambaV5.substr(8),
         std::nullopt}, // level differs
        {"\0\0"s
         "\x09\0"s
         "\x09\0"s
         "\0\0"s +
             kSambaV5.substr(8),
         std::nullopt}, // unknown version
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParseDosAttributeBlob(c.blob), c.expected) << testing::PrintToString(c.blob);
    }
}

TEST(DosAttributeBlob, UpdateChangesOnlyTheWord)
{
    EXPECT_EQ(UpdatedDosAttributeBlob("", 0x21), "0x21");
    EXPECT_EQ(UpdatedDosAttributeBlob("0x22", 0x0), "0x0");

    // An empty text: the same bytes with the new word at 12; flags, level and time kept.
    std::string expected = kSambaV5;
    expected[12] = '\x21';
    EXPECT_EQ(UpdatedDosAttributeBlob(kSambaV5, 0x21), expected);
    expected = kV1;
    expected[8] = '\x06';
    EXPECT_EQ(UpdatedDosAttributeBlob(kV1, 0x06), expected);
    // Flags that did not mark the word valid do afterwards.
    std::string v4 = kV4;
    v4[8] = '\x50';
    EXPECT_EQ(ParseDosAttributeBlob(*UpdatedDosAttributeBlob(v4, 0x20)), 0x20u);
    EXPECT_EQ(UpdatedDosAttributeBlob(v4, 0x20)->substr(8, 1), "\x51");

    // A text is kept in step; a longer one moves the info by whole 4-byte steps.
    const std::optional<std::string> longer = UpdatedDosAttributeBlob(kV2, 0x27);
    ASSERT_TRUE(longer);
    EXPECT_EQ(longer->substr(0, 5), "0x27\0"s);
    EXPECT_EQ(ParseDosAttributeBlob(*longer), 0x27u);
    EXPECT_EQ(longer->substr(longer->size() - 44), kV2.substr(kV2.size() - 44));
    EXPECT_EQ(UpdatedDosAttributeBlob(*longer, 0x02), kV2);

    // A binary record of an unknown kind is left alone rather than overwritten.
    EXPECT_EQ(UpdatedDosAttributeBlob("\0\0"s
                                      "\x09\0"s
                                      "\x09\0"s
                                      "\0\0"s +
                                          kSambaV5.substr(8),
                                      0x1),
              std::nullopt);
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
