#include <gtest/gtest.h>

#include "controls/dirtree/dirtree_pure.h"

using namespace dirtree;

TEST(DirTreePaths, LevelsAndComponents)
{
    EXPECT_EQ(AddBackslash("C:\\A"), "C:\\A\\");
    EXPECT_EQ(AddBackslash("C:\\"), "C:\\");
    EXPECT_EQ(AddBackslash(""), "");
    EXPECT_EQ(CountBackslashes("C:\\A\\B\\"), 3);
    EXPECT_EQ(PathLevel("C:\\A\\B\\", 1), "C:\\");
    EXPECT_EQ(PathLevel("C:\\A\\B\\", 2), "C:\\A\\");
    EXPECT_EQ(PathLevel("C:\\A\\B\\", 3), "C:\\A\\B\\");
    EXPECT_EQ(PathLevel("\\\\SERVER\\SHARE\\", 1), "\\");  // the first character counts too
    EXPECT_EQ(PathLevel("\\\\SERVER\\SHARE\\", 3), "\\\\SERVER\\");
    EXPECT_EQ(LastComponent("C:\\A\\Beta\\"), "Beta");
    EXPECT_EQ(LastComponent("C:\\"), "C:");
    EXPECT_EQ(DriveRoot('D'), "D:\\");
}

TEST(DirTreeFilters, RecycleBinRuleAtAnyDepth)
{
    EXPECT_TRUE(RecycleBinAllows("C:\\RECYCLED\\"));
    EXPECT_TRUE(RecycleBinAllows("C:\\Recycler\\"));
    EXPECT_FALSE(RecycleBinAllows("C:\\RECYCLED\\OLD\\"));
    EXPECT_FALSE(RecycleBinAllows("C:\\RECYCLER\\S-1-5\\"));
    EXPECT_TRUE(RecycleBinAllows("D:\\BACKUP\\RECYCLED\\"));
    EXPECT_FALSE(RecycleBinAllows("D:\\BACKUP\\RECYCLED\\OLD\\"));
    EXPECT_TRUE(RecycleBinAllows("C:\\RECYCLEDX\\OLD\\"));
    EXPECT_TRUE(RecycleBinAllows("C:\\"));
}

TEST(DirTreeFilters, AttributeClasses)
{
    const unsigned hidden = faDirectory | faHidden, system = faDirectory | faSysFile,
                   archive = faDirectory | faArchive, plain = faDirectory, readOnly = faDirectory | 1;
    EXPECT_TRUE(DirAttrAccepted(DefaultDirTypes, hidden));  // dtAll takes everything
    const TDirTypes normal = 1u << dtNormal;
    EXPECT_TRUE(DirAttrAccepted(normal, plain));
    EXPECT_TRUE(DirAttrAccepted(normal, readOnly));  // read-only is judged by the other bits alone
    EXPECT_FALSE(DirAttrAccepted(normal, hidden));
    EXPECT_FALSE(DirAttrAccepted(normal, system));
    EXPECT_FALSE(DirAttrAccepted(normal, archive));
    const TDirTypes hiddenOnly = 1u << dtHidden;
    EXPECT_TRUE(DirAttrAccepted(hiddenOnly, hidden));
    EXPECT_FALSE(DirAttrAccepted(hiddenOnly, plain));
    EXPECT_FALSE(DirAttrAccepted(hiddenOnly, hidden | faArchive));
    EXPECT_TRUE(DirAttrAccepted(hiddenOnly | (1u << dtArchive), hidden | faArchive));
    EXPECT_FALSE(DirAttrAccepted(0, plain));
}

TEST(DirTreeFilters, DriveMask)
{
    // A: removable, C: fixed, D: CD-ROM, E: remote, F: no root dir, G: RAM disk, H: unknown code 9.
    const unsigned types[26] = {2, 0, 3, 5, 4, 1, 6, 9};
    auto typeOf = [&](int i) { return types[i]; };
    const unsigned mask = 0xFD;  // A, C..H
    EXPECT_EQ(FilterDriveMask(mask, AllDriveTypes, typeOf), mask);
    EXPECT_EQ(FilterDriveMask(mask, AllDriveTypes & ~(1u << drtCDRom), typeOf), mask & ~0x8u);
    EXPECT_EQ(FilterDriveMask(mask, 1u << drtFixed, typeOf), 0x4u | 0x20u | 0x80u);
    EXPECT_EQ(FilterDriveMask(0, AllDriveTypes, typeOf), 0u);
}

TEST(DirTreeText, CaptionsAndSets)
{
    EXPECT_EQ(VolumeCaption(true, "DATA", 'c'), "DATA (C:)");
    EXPECT_EQ(VolumeCaption(true, "", 'D'), " (D:)");
    EXPECT_EQ(VolumeCaption(false, "ignored", 'e'), "(E:)");
    TDriveTypes d = 0;
    EXPECT_TRUE(DriveTypesFromNames({"drtUnknown", "drtRemovable", "drtFixed", "drtRemote", "drtCDRom", "drtRamDisk"}, d));
    EXPECT_EQ(d, AllDriveTypes);
    TDirTypes t = 0;
    EXPECT_TRUE(DirTypesFromNames({"dtNormal", "dtAll"}, t));
    EXPECT_EQ(t, DefaultDirTypes);
    EXPECT_FALSE(DirTypesFromNames({"dtNormal", "dtBogus"}, t));
    EXPECT_EQ(t, DefaultDirTypes);  // unchanged on a bad name
}
