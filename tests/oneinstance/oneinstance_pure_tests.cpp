#include <gtest/gtest.h>

#include "controls/tray/OneInstance.h"

TEST(DefaultTitle, FileNameWithoutFolderOrExtensionFirstLetterKept)
{
    EXPECT_EQ(DefaultTitleFromPath("C:\\Program Files\\Tapewing\\TAPEWING.EXE"), "Tapewing");
    EXPECT_EQ(DefaultTitleFromPath("c:\\x\\tapeWING.exe"), "tapewing");
    EXPECT_EQ(DefaultTitleFromPath("Z:/tmp/My.Copy.exe"), "My.copy");
    EXPECT_EQ(DefaultTitleFromPath("D:Guard"), "Guard");
    // Names that differ only after the first letter share the mutex; the first letter counts.
    EXPECT_EQ(DefaultTitleFromPath("a\\GuardProbe.exe"), DefaultTitleFromPath("b\\GUARDPROBE.EXE"));
    EXPECT_NE(DefaultTitleFromPath("a\\guardprobe.exe"), DefaultTitleFromPath("b\\Guardprobe.exe"));
}
