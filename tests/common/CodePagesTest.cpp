#include "common/CodePages.h"

#include <gtest/gtest.h>
#if !defined(_WIN32)
#include <iconv.h>
#endif

using namespace velmora;

#if !defined(_WIN32) // iconv is the peer on Linux
namespace {
// What the C library's iconv makes of one byte in the named code page; empty if it has no mapping.
std::string IconvByte(const char* codePage, unsigned char byte)
{
    iconv_t cd = iconv_open("UTF-8", codePage);
    if (cd == reinterpret_cast<iconv_t>(-1)) return "?unavailable";
    char in[1] = {static_cast<char>(byte)};
    char out[8] = {};
    char* inPtr = in;
    char* outPtr = out;
    std::size_t inLeft = 1, outLeft = sizeof out;
    const std::size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    if (rc == static_cast<std::size_t>(-1)) return {};
    return std::string(out, sizeof out - outLeft);
}
} // namespace

TEST(CodePages, EveryByteMatchesIconv)
{
    for (int b = 0; b < 256; ++b) {
        const auto byte = static_cast<unsigned char>(b);
        const std::string single(1, static_cast<char>(byte));
        EXPECT_EQ(DecodeCodePage(CodePage::Oem437, single), IconvByte("CP437", byte)) << "CP437 byte " << b;
        const std::string ansi = IconvByte("WINDOWS-1252", byte);
        // iconv leaves the five unassigned bytes unmapped; we map them to the C1 controls as Windows does.
        if (ansi.empty()) {
            std::string c1;
            AppendUtf8(c1, byte);
            EXPECT_EQ(DecodeCodePage(CodePage::Ansi1252, single), c1) << "1252 byte " << b;
        } else if (b < 0x80 || ansi != "?unavailable") {
            EXPECT_EQ(DecodeCodePage(CodePage::Ansi1252, single), ansi) << "1252 byte " << b;
        }
    }
}
#endif

TEST(CodePages, EncodesOnlyWhatThePageHolds)
{
    EXPECT_EQ(EncodeCodePage(CodePage::Oem437, "Äpfel"), std::string("\x8E"
                                                                     "pfel"));
    EXPECT_EQ(EncodeCodePage(CodePage::Ansi1252, "Äpfel €"), std::string("\xC4"
                                                                         "pfel \x80"));
    EXPECT_FALSE(EncodeCodePage(CodePage::Oem437, "€").has_value());
    EXPECT_FALSE(EncodeCodePage(CodePage::Ansi1252, "日本").has_value());
    EXPECT_FALSE(EncodeCodePage(CodePage::Ansi1252, "\xC3").has_value()); // broken UTF-8
}

TEST(Utf, RejectsMalformedUtf8AndRoundTripsUtf16)
{
    EXPECT_TRUE(IsValidUtf8("plain ÄÖÜ 日本 😀"));
    for (const char* bad : {"\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\x80", "\xE2\x82"}) {
        EXPECT_FALSE(IsValidUtf8(bad)) << bad;
    }
    const std::string text = "Grüße 😀";
    EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16(text)), text);
}
