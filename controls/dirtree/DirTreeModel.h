// The folder tree without its window: the drives and their volumes, the folder search with its handlers and
// filters, the probes for sub-folders and the order of the folders found. The tree view keeps one and asks it.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "controls/dirtree/dirtree_pure.h"

class TObject;

// GetDriveType's codes that the tree treats apart.
constexpr unsigned kDriveRemovable = 2, kDriveFixed = 3, kDriveRemote = 4, kDriveCDRom = 5;

// One folder search; the searching operation owns it and lends it to OnFindDir.
struct TDirRec {
    int Attr = 0;
    std::string Name;
    void* FindHandle = nullptr;
    void* Data = nullptr;
};

using TAddFileEvent = std::function<void(TObject* Sender, const std::string& AFileName, bool& DoAdd)>;
using TFindDirEvent =
    std::function<void(TObject* Sender, const std::string& APath, TDirRec& ARec, int& AResult, bool AFirst)>;

// The platform's drive, volume and folder queries. The tree asks Windows; tests play drives and folders.
class TFolderSystem {
public:
    virtual ~TFolderSystem() = default;
    virtual unsigned LogicalDrives() = 0;
    virtual unsigned DriveType(const std::string& root) = 0;
    // False when the volume cannot be read.
    virtual bool VolumeInfo(const std::string& root, std::string& name, unsigned long& serial) = 0;
    // The shell's name of a drive root; empty when it gives none.
    virtual std::string DisplayName(const std::string& root) = 0;
    // The first entry of folder (a path with its trailing backslash) or the next one of rec.FindHandle:
    // 0 with rec's Attr, Name and FindHandle set, else the platform's error code.
    virtual int FindStep(const std::string& folder, TDirRec& rec, bool first) = 0;
    virtual void FindClose(void* handle) = 0;
    // The locale's upper case, and a key that orders names as the locale compares them ignoring case.
    virtual std::string Upper(const std::string& s) = 0;
    virtual std::string SortKey(const std::string& name) = 0;
};

// A drive or folder of the tree.
struct TFolder {
    std::string Path;  // upper case, trailing backslash
    // The same folder as the file system spells it. Searches go through this spelling: on a case-sensitive
    // file system an upper-cased name is found only by reading the whole parent folder.
    std::string DiskPath;
    bool SubDirsRead = false;
    void* Data = nullptr;
    // A folder's probe may wait until its row is displayed. Each expansion that defers the probes starts a
    // new round of the expanded folder; a child whose last probe belongs to an earlier round of its parent is
    // probed when its row is next displayed.
    unsigned ProbeRound = 0;   // of this folder, as a parent
    unsigned ProbedRound = 0;  // the parent's round of this folder's last probe
};

// A sub-folder that a read found and the filters accepted: its name as the file system spells it, the Data
// that OnFindDir left with it, its attributes and the locale's sort key of its name.
struct TFoundDir {
    std::string Name;
    void* Data;
    int Attr;
    std::string Key;
};

class TDirTreeModel {
public:
    // sender is what the handlers get as Sender; currentDir the process's current directory.
    TDirTreeModel(TFolderSystem& system, TObject* sender, const std::string& currentDir);

    TDirTypes DirTypes = DefaultDirTypes;
    bool GoBelowRecycleBin = false;
    TDriveTypes DriveTypes = AllDriveTypes;
    bool FastLoad = false;
    TAddFileEvent OnAddDir;
    TFindDirEvent OnFindDir;
    unsigned KnownDrives = 0;  // the filtered drive mask the drive nodes were last built from

    // The logical drives that DriveTypes lets through (bit 0 = A).
    unsigned DriveMask();
    // Whether a new drive node is probed for sub-folders; otherwise it gets a placeholder unseen. Removable
    // and CD-ROM media are not read while the tree is built, nor anything with FastLoad.
    bool ProbesDrive(const std::string& root);

    // A drive node's caption; records the volume's serial (-1 when unreadable) as the drive's.
    std::string DriveLabel(char letter);
    int RecordedSerial(char letter) const { return FVolumeSerials[LetterIndex(letter)]; }
    // Whether the drive's volume is no longer the one recorded; serial is what it reads now.
    bool MediumChanged(char letter, int& serial);

    // The folder last selected on each drive.
    const std::string& LastPath(char letter) const { return FLastPaths[LetterIndex(letter)]; }
    void RememberPath(const std::string& path);

    // The filters: the recycle-bin rule, then OnAddDir; the attribute classes of DirTypes.
    bool AcceptDirPath(const std::string& path);
    bool AcceptDirAttr(int attr) const { return dirtree::DirAttrAccepted(DirTypes, static_cast<unsigned>(attr)); }

    // The accepted sub-folders of folder, in the locale's order of their names.
    std::vector<TFoundDir> ReadFolder(const TFolder& folder);
    // Whether folder holds an accepted sub-folder; the search stops at the first. Without handlers it is the
    // file system's search with the built-in filters alone. A probe by OnFindDir hands its Data to folder.
    bool HasAcceptedSubDir(TFolder& folder, bool handlers);
    // Whether sub-folders are probed as their parent opens (a handler sees them then), or as rows are shown.
    bool ProbesAtExpansion() const { return OnFindDir || OnAddDir; }
    // Whether folder's row-time probe is due (its parent opened since its last probe); takes it if so.
    static bool TakeDueProbe(TFolder& folder, const TFolder* parent);

    std::string Upper(const std::string& s) { return FSystem.Upper(s); }

private:
    int LetterIndex(char letter) const;
    int ReadSerial(char letter, std::string* caption);
    // Searches folder; every accepted sub-folder goes to found, which returns true to end the search.
    bool Search(TFolder& folder, bool handlers, bool probe, const std::function<bool(const TDirRec&)>& found);

    TFolderSystem& FSystem;
    TObject* FSender;
    std::array<std::string, 26> FLastPaths;
    std::array<int, 26> FVolumeSerials{};
};
