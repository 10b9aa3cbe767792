#include "shortcut/LinkRequest.h"

#include <gtest/gtest.h>

using namespace velmora;

TEST(LinkRequest, ProposedLinkPathReplacesOrAddsTheExtension)
{
    EXPECT_EQ(ProposedLinkPath(R"(D:\Tools\app.exe)", kWindowsPathRules), R"(D:\Tools\app.lnk)");
    EXPECT_EQ(ProposedLinkPath(R"(D:\v1.2\app)", kWindowsPathRules), R"(D:\v1.2\app.lnk)");
    EXPECT_EQ(ProposedLinkPath("/home/u.d/app", kPosixPathRules), "/home/u.d/app.lnk");
    EXPECT_EQ(ProposedLinkPath("/home/u/archive.tar.gz", kPosixPathRules), "/home/u/archive.tar.lnk");
    EXPECT_EQ(ProposedLinkPath("", kPosixPathRules), "");
}

TEST(LinkRequest, ArgumentsAreOneQuotedArgument)
{
    const struct {
        const char* parameter;
        const char* arguments;
    } cases[] = {
        {"", ""},
        {"a.txt", R"("a.txt")"},
        {R"(C:\My Files\a.txt C:\b.txt)", R"("C:\My Files\a.txt C:\b.txt")"},
        // Already one quoted argument: not quoted a second time.
        {R"("C:\My Files\a.txt")", R"("C:\My Files\a.txt")"},
        // A trailing backslash would otherwise escape the closing quote.
        {R"(C:\My Files\)", R"("C:\My Files\\")"},
        // Quotes inside stay part of the one argument.
        {R"(-o "out file.txt")", R"("-o \"out file.txt\"")"},
        {R"("a" "b")", R"("\"a\" \"b\"")"},
        {R"(a\"b)", R"("a\\\"b")"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(LinkArguments(c.parameter), c.arguments) << c.parameter;
}

TEST(LinkRequest, FolderToShowIsWhereTheLinkWasWritten)
{
    EXPECT_EQ(FolderToShow("/home/u/app.lnk", kPosixPathRules, "/work"), "/home/u/");
    EXPECT_EQ(FolderToShow("app.lnk", kPosixPathRules, "/work"), "/work/");
    EXPECT_EQ(FolderToShow("sub/app.lnk", kPosixPathRules, "/work/"), "/work/sub/");
}
