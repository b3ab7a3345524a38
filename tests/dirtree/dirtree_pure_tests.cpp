#include <gtest/gtest.h>

#include <map>
#include <stdexcept>
#include <tuple>

#include "controls/dirtree/DirTreeModel.h"

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

TEST(DirTreeText, PropertySetsFromNames)
{
    TDriveTypes d = 0;
    EXPECT_TRUE(DriveTypesFromNames({"drtUnknown", "drtRemovable", "drtFixed", "drtRemote", "drtCDRom", "drtRamDisk"}, d));
    EXPECT_EQ(d, AllDriveTypes);
    TDirTypes t = 0;
    EXPECT_TRUE(DirTypesFromNames({"dtNormal", "dtAll"}, t));
    EXPECT_EQ(t, DefaultDirTypes);
    EXPECT_FALSE(DirTypesFromNames({"dtNormal", "dtBogus"}, t));
    EXPECT_EQ(t, DefaultDirTypes);  // unchanged on a bad name
}

// --- the folder model, over drives and folders played in memory ---

namespace {

struct TFakeSystem : TFolderSystem {
    unsigned Drives = 0;
    std::map<char, unsigned> Types;                                           // absent: fixed
    std::map<char, std::pair<std::string, unsigned long>> Volumes;            // absent: unreadable
    std::map<std::string, std::vector<std::pair<std::string, int>>> Folders;  // names and attributes
    int OpenSearches = 0;

    unsigned LogicalDrives() override { return Drives; }
    unsigned DriveType(const std::string& root) override { return Types.count(root[0]) ? Types[root[0]] : 3; }
    bool VolumeInfo(const std::string& root, std::string& name, unsigned long& serial) override
    {
        if (!Volumes.count(root[0])) return false;
        std::tie(name, serial) = Volumes[root[0]];
        return true;
    }
    std::string DisplayName(const std::string& root) override { return "Shell " + root; }
    int FindStep(const std::string& folder, TDirRec& rec, bool first) override
    {
        if (!Folders.count(folder)) return 3;
        if (first) rec.FindHandle = new std::size_t((++OpenSearches, 0));
        std::size_t& i = *static_cast<std::size_t*>(rec.FindHandle);
        if (i == Folders[folder].size()) return 18;
        std::tie(rec.Name, rec.Attr) = Folders[folder][i++];
        return 0;
    }
    void FindClose(void* handle) override
    {
        OpenSearches -= handle != nullptr;
        delete static_cast<std::size_t*>(handle);
    }
    std::string Upper(const std::string& s) override
    {
        std::string u = s;
        for (char& c : u) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return u;
    }
    std::string SortKey(const std::string& name) override { return Upper(name); }
};

std::vector<std::string> Names(const std::vector<TFoundDir>& dirs)
{
    std::vector<std::string> names;
    for (const TFoundDir& d : dirs) names.push_back(d.Name);
    return names;
}

}  // namespace

TEST(DirTreeModel, DrivesVolumesAndMedia)
{
    TFakeSystem sys;
    // A: removable, B: CD-ROM, C: fixed, D: remote, E: RAM disk, F: no root, G: code 9, H: unknown.
    sys.Drives = 0xFF;
    sys.Types = {{'A', 2}, {'B', 5}, {'D', 4}, {'E', 6}, {'F', 1}, {'G', 9}, {'H', 0}};
    sys.Volumes = {{'C', {"DATA", 0x1234}}, {'D', {"NET", 7}}, {'E', {"", 9}}};
    TDirTreeModel model(sys, nullptr, "c:\\Work");
    EXPECT_EQ(model.DriveMask(), 0xFFu);
    model.DriveTypes = 1u << drtFixed;
    EXPECT_EQ(model.DriveMask(), 0x64u);  // codes that name no kind pass
    model.DriveTypes = AllDriveTypes & ~(1u << drtCDRom) & ~(1u << drtUnknown);
    EXPECT_EQ(model.DriveMask(), 0x7Du);

    // Removable and CD-ROM media are not read while the tree is built, nothing is with FastLoad.
    std::string probed;
    for (char c : std::string("ABCDEFGH"))
        if (model.ProbesDrive(DriveRoot(c))) probed += c;
    EXPECT_EQ(probed, "CDEG");
    model.FastLoad = true;
    EXPECT_FALSE(model.ProbesDrive("C:\\"));

    // A caption records the volume's serial; removable and remote drives take the shell's name.
    EXPECT_EQ(model.RecordedSerial('C'), 0);
    EXPECT_EQ(model.DriveLabel('c'), "DATA (C:)");
    EXPECT_EQ(model.DriveLabel('E'), " (E:)");
    EXPECT_EQ(model.DriveLabel('B'), "(B:)");
    EXPECT_EQ(model.DriveLabel('D'), "Shell D:\\");
    EXPECT_EQ(model.DriveLabel('A'), "Shell A:\\");
    EXPECT_EQ(std::vector<int>({model.RecordedSerial('C'), model.RecordedSerial('B'), model.RecordedSerial('d'),
                                model.RecordedSerial('A')}),
              std::vector<int>({0x1234, -1, 7, -1}));

    // A medium counts as changed until its caption is computed again; reading alone records nothing.
    int serial = 0;
    EXPECT_FALSE(model.MediumChanged('C', serial));
    EXPECT_EQ(serial, 0x1234);
    sys.Volumes['C'].second = 0x5678;
    EXPECT_TRUE(model.MediumChanged('c', serial));
    EXPECT_EQ(serial, 0x5678);
    EXPECT_EQ(model.RecordedSerial('C'), 0x1234);
    model.DriveLabel('C');
    EXPECT_FALSE(model.MediumChanged('C', serial));
    EXPECT_TRUE(model.MediumChanged('G', serial));  // never labelled: 0 against -1

    // Each drive remembers its last folder: its root, or the current directory on its drive.
    EXPECT_EQ(model.LastPath('c'), "C:\\WORK");
    EXPECT_EQ(model.LastPath('D'), "D:\\");
    model.RememberPath("d:\\Music\\");
    EXPECT_EQ(model.LastPath('D'), "D:\\MUSIC\\");

    // A current directory or a path on no drive letter (a network share) reaches no drive's records.
    TDirTreeModel share(sys, nullptr, "\\\\server\\share");
    for (char c = 'A'; c <= 'Z'; ++c) EXPECT_EQ(share.LastPath(c), DriveRoot(c));
    share.RememberPath("\\\\server\\share\\music\\");
    for (char c = 'A'; c <= 'Z'; ++c) EXPECT_EQ(share.RecordedSerial(c), 0) << c;
}

TEST(DirTreeModel, FolderReadsAndProbes)
{
    TFakeSystem sys;
    sys.Folders["R:\\"] = {{".", 0x10},    {"..", 0x10},   {"gamma", 0x10},    {"file.txt", 0x20}, {"Beta", 0x10},
                           {".hid", 0x12}, {"alpha", 0x10}, {"RECYCLED", 0x16}, {"Arch", 0x30}};
    sys.Folders["R:\\RECYCLED\\"] = {{"OLD", 0x10}};
    sys.Folders["R:\\FILES\\"] = {{"a.txt", 0x20}, {".h", 0x12}};
    TDirTreeModel model(sys, nullptr, "R:\\");
    TFolder r{"R:\\", "R:\\"}, bin{"R:\\RECYCLED\\", "R:\\RECYCLED\\"}, files{"R:\\FILES\\", "R:\\FILES\\"};
    EXPECT_EQ(Names(model.ReadFolder(r)), std::vector<std::string>({".hid", "alpha", "Arch", "Beta", "gamma", "RECYCLED"}));
    model.DirTypes = 1u << dtNormal;
    EXPECT_EQ(Names(model.ReadFolder(r)), std::vector<std::string>({"alpha", "Beta", "gamma"}));
    model.DirTypes = DefaultDirTypes;

    // Nothing below a recycle bin unless asked for; OnAddDir sees the rest and may refuse.
    EXPECT_TRUE(model.ReadFolder(bin).empty());
    EXPECT_FALSE(model.HasAcceptedSubDir(bin, true));
    model.GoBelowRecycleBin = true;
    EXPECT_EQ(Names(model.ReadFolder(bin)), std::vector<std::string>({"OLD"}));
    EXPECT_TRUE(model.HasAcceptedSubDir(bin, false));
    model.GoBelowRecycleBin = false;
    std::vector<std::string> asked;
    model.OnAddDir = [&](TObject*, const std::string& path, bool& add) {
        asked.push_back(path);
        add = path != "R:\\gamma\\";
    };
    EXPECT_TRUE(model.ProbesAtExpansion());
    EXPECT_EQ(Names(model.ReadFolder(r)), std::vector<std::string>({".hid", "alpha", "Arch", "Beta", "RECYCLED"}));
    EXPECT_EQ(asked.size(), 6u);

    // A probe stops at the first accepted sub-folder; without handlers it asks none.
    asked.clear();
    EXPECT_TRUE(model.HasAcceptedSubDir(r, true));
    EXPECT_EQ(asked, std::vector<std::string>({"R:\\gamma\\", "R:\\Beta\\"}));
    model.OnAddDir = [](TObject*, const std::string&, bool& add) { add = false; };
    EXPECT_FALSE(model.HasAcceptedSubDir(r, true));
    EXPECT_TRUE(model.HasAcceptedSubDir(r, false));
    EXPECT_TRUE(model.HasAcceptedSubDir(files, false));
    model.DirTypes = 1u << dtNormal;
    EXPECT_FALSE(model.HasAcceptedSubDir(files, false));  // a hidden one only
    model.DirTypes = DefaultDirTypes;
    model.OnAddDir = nullptr;
    EXPECT_FALSE(model.ProbesAtExpansion());

    // OnFindDir replaces the search and gets the folder's Data before each step; the Data it leaves with a
    // folder goes with it. A probe hands the handler's Data back to the folder; a read does not.
    static int folderData, childData;
    r.Data = &folderData;
    std::vector<void*> seen;
    model.OnFindDir = [&](TObject*, const std::string& path, TDirRec& rec, int& result, bool first) {
        static int i;
        EXPECT_EQ(path, "R:\\");
        seen.push_back(rec.Data);
        i = first ? 0 : i + 1;
        result = i == 3 ? 18 : 0;
        rec.Name = i == 0 ? "zeta" : i == 1 ? "File" : "Eta";
        rec.Attr = i == 1 ? 0x20 : 0x10;
        rec.Data = i == 0 ? &childData : nullptr;
    };
    auto dirs = model.ReadFolder(r);
    ASSERT_EQ(Names(dirs), std::vector<std::string>({"Eta", "zeta"}));
    EXPECT_EQ(dirs[0].Data, nullptr);
    EXPECT_EQ(dirs[1].Data, &childData);
    EXPECT_EQ(seen, std::vector<void*>(4, &folderData));
    EXPECT_EQ(r.Data, &folderData);
    EXPECT_TRUE(model.HasAcceptedSubDir(r, true));
    EXPECT_EQ(r.Data, &childData);
    r.Data = &folderData;
    EXPECT_TRUE(model.HasAcceptedSubDir(r, false));  // the file system's search leaves the Data alone
    EXPECT_EQ(r.Data, &folderData);
    model.OnFindDir = nullptr;
    EXPECT_EQ(model.ReadFolder(r)[0].Data, nullptr);

    // Every search is closed, also one that a handler's error ends.
    model.OnAddDir = [](TObject*, const std::string&, bool&) { throw std::runtime_error("refused"); };
    EXPECT_THROW(model.ReadFolder(r), std::runtime_error);
    EXPECT_EQ(sys.OpenSearches, 0);

    // A row's probe is due once per opening of its parent, and never for a folder that was read.
    TFolder child;
    EXPECT_FALSE(TDirTreeModel::TakeDueProbe(child, nullptr));
    EXPECT_FALSE(TDirTreeModel::TakeDueProbe(child, &r));
    ++r.ProbeRound;
    EXPECT_TRUE(TDirTreeModel::TakeDueProbe(child, &r));
    EXPECT_FALSE(TDirTreeModel::TakeDueProbe(child, &r));
    ++r.ProbeRound;
    child.SubDirsRead = true;
    EXPECT_FALSE(TDirTreeModel::TakeDueProbe(child, &r));
}
