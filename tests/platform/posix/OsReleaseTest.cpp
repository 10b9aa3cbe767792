#include "platform/posix/OsRelease.h"

#include <gtest/gtest.h>

using namespace velmora;

TEST(OsRelease, ValuesPlainOrQuoted)
{
    const char* release = "NAME=\"Debian GNU/Linux\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\nID=debian\n";
    EXPECT_EQ(OsReleaseValue(release, "PRETTY_NAME"), "Debian GNU/Linux 12 (bookworm)");
    EXPECT_EQ(OsReleaseValue("PRETTY_NAME='Windows 10 Pro'", "PRETTY_NAME"), "Windows 10 Pro");
    EXPECT_EQ(OsReleaseValue(release, "VERSION"), "");
}
