#include <gtest/gtest.h>

#include "app/FolderRules.h"

TEST(FolderRules, AStoredFolderGetsItsClosingBackslashButAnEmptyOneStaysEmpty)
{
    EXPECT_EQ(WithTrailingBackslash("C:\\Takes"), "C:\\Takes\\");
    EXPECT_EQ(WithTrailingBackslash("C:\\Takes\\"), "C:\\Takes\\");
    EXPECT_EQ(WithTrailingBackslash("C:/Takes/"), "C:/Takes/");
    EXPECT_EQ(WithTrailingBackslash("\\\\nas\\music"), "\\\\nas\\music\\");
    EXPECT_EQ(WithTrailingBackslash("D:"), "D:\\");
    EXPECT_EQ(WithTrailingBackslash(""), "");
}

TEST(FolderRules, OnlyDriveAndSharePathsAreAbsolute)
{
    for (const char* path : {"C:\\", "c:\\Takes", "Z:/music/", "\\\\nas\\music", "\\\\nas\\music\\takes\\",
                             "//nas/music"})
        EXPECT_TRUE(IsAbsoluteFolder(path)) << path;
    for (const char* path : {"", "Takes", "Takes\\", ".\\", "..\\Takes", "C:", "C:Takes", "\\Takes", "1:\\",
                             "\\\\", "\\\\nas", "\\\\nas\\", "\\\\\\music", "\\\\nas\\\\music", "x\\nas\\music",
                             "\\nas\\music"})
        EXPECT_FALSE(IsAbsoluteFolder(path)) << path;
}
