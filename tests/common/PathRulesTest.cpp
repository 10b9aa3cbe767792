#include "common/PathRules.h"

#include <gtest/gtest.h>

using namespace velmora;

TEST(PathRules, SplitsByThePlatformsSeparators)
{
    struct Case {
        const PathRules* rules;
        const char* path;
        const char* name;
        const char* folder;
        const char* extension;
    };
    const Case cases[] = {
        {&kPosixPathRules, "/home/u/report.final.PDF", "report.final.PDF", "/home/u/", ".PDF"},
        {&kPosixPathRules, "/home/u.d/README", "README", "/home/u.d/", ""},
        {&kPosixPathRules, "/a/back\\slash:c.txt", "back\\slash:c.txt", "/a/", ".txt"},
        {&kWindowsPathRules, "C:\\Data\\a.b\\file", "file", "C:\\Data\\a.b\\", ""},
        {&kWindowsPathRules, "C:file.doc", "file.doc", "C:", ".doc"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.rules->FileName(c.path), c.name) << c.path;
        EXPECT_EQ(c.rules->FolderWithSeparator(c.path), c.folder) << c.path;
        EXPECT_EQ(c.rules->Extension(c.path), c.extension) << c.path;
    }
    EXPECT_EQ(kPosixPathRules.ChangeExtension("setup-copy.exe", ".dat"), "setup-copy.dat");
    EXPECT_EQ(kPosixPathRules.ChangeExtension("velmora", ".dat"), "velmora.dat");
    EXPECT_EQ(kPosixPathRules.Join("/tmp/", "x"), "/tmp/x");
    EXPECT_EQ(kPosixPathRules.Join("/tmp", "x"), "/tmp/x");
}

TEST(PathRules, AbsolutePathsPerSystem)
{
    struct Case {
        const PathRules* rules;
        const char* path;
        bool absolute;
    };
    const Case cases[] = {
        {&kPosixPathRules, "/home/u/", true},     {&kPosixPathRules, "sub/", false},
        {&kPosixPathRules, "C:\\x", false},       {&kPosixPathRules, "\\x", false},
        {&kWindowsPathRules, "C:\\Data\\", true}, {&kWindowsPathRules, "\\\\server\\share\\", true},
        {&kWindowsPathRules, "/home/u/", true},   {&kWindowsPathRules, "sub\\", false},
        {&kWindowsPathRules, ":x", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.rules->IsAbsolute(c.path), c.absolute) << c.path;
    }
}
