// The drive-and-folder tree: drives as top-level nodes, folders read lazily beneath them.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "controls/dirtree/dirtree_pure.h"
#include "framework/ComCtrls.h"
#include "framework/ImgList.h"

using TStrings = std::vector<std::string>;

// The locale's case-insensitive sort key of a folder name: sub-folders are listed in the order of their keys.
std::string FolderSortKey(const std::string& name);

// One folder search; the searching operation owns it and lends it to OnFindDir.
struct TDirRec {
    int Attr = 0;
    std::string Name;
    HANDLE FindHandle = nullptr;
    WIN32_FIND_DATAA FindData{};
    void* Data = nullptr;
};

// Releases a COM interface pointer it holds.
template <class I> class TComRef {
public:
    TComRef() = default;
    ~TComRef() { Reset(); }
    TComRef(const TComRef&) = delete;
    TComRef& operator=(const TComRef&) = delete;
    I* Get() const { return FPtr; }
    I* operator->() const { return FPtr; }
    explicit operator bool() const { return FPtr != nullptr; }
    I** Put()
    {
        Reset();
        return &FPtr;
    }
    void Reset()
    {
        if (FPtr) FPtr->Release();
        FPtr = nullptr;
    }

private:
    I* FPtr = nullptr;
};

// An item identifier list from the shell's allocator.
struct TPidlFree {
    void operator()(ITEMIDLIST* p) const { CoTaskMemFree(p); }
};
using TPidl = std::unique_ptr<ITEMIDLIST, TPidlFree>;

// The user data of every drive and folder node (placeholders have none).
struct TDirEntry {
    std::string Path;  // upper case, trailing backslash
    // The same folder as the file system spells it. Searches go through this spelling: on a case-sensitive
    // file system an upper-cased name is found only by reading the whole parent folder.
    std::string DiskPath;
    bool SubDirsRead = false;
    // A folder's sub-folder probe waits until its row is displayed. Each expansion that defers the probes
    // starts a new round of the expanded node; a child whose last probe belongs to an earlier round of its
    // parent is probed when the tree view next asks for its expand button.
    unsigned ProbeRound = 0;   // of this node, as a parent
    unsigned ProbedRound = 0;  // the parent's round of this node's last probe
    void* Data = nullptr;
    TComRef<IShellFolder> ShellFolder;
    TPidl ItemIdList;
};

using TAddFileEvent = std::function<void(TObject* Sender, const std::string& AFileName, bool& DoAdd)>;
using TFindDirEvent =
    std::function<void(TObject* Sender, const std::string& APath, TDirRec& ARec, int& AResult, bool AFirst)>;
using TDropFilesEvent = std::function<void(TObject* Sender, int X, int Y, const std::string& aDropDir,
                                           const TStrings& aDropFiles, TShiftState Shift)>;

class TDirTree : public TCustomTreeView {
public:
    explicit TDirTree(TComponent* AOwner);
    ~TDirTree() override;

    // Reads the folders along path, selects its node and scrolls to it; "?" is ignored.
    void OpenPath(std::string path);
    // The selected folder, upper case with a trailing backslash; "?" when nothing is selected.
    std::string SelectedPath();

    bool ReadOnStart() const { return FReadOnStart; }
    void SetReadOnStart(bool value) { FReadOnStart = value; }
    TDirTypes DirTypes() const { return FDirTypes; }
    void SetDirTypes(TDirTypes value);
    bool GoBelowRecycleBin() const { return FGoBelowRecycleBin; }
    void SetGoBelowRecycleBin(bool value);
    bool FastLoad() const { return FFastLoad; }
    void SetFastLoad(bool value) { FFastLoad = value; }
    const std::string& InitialDirectory() const { return FInitialDirectory; }
    void SetInitialDirectory(const std::string& value);
    TDriveTypes DriveTypes() const { return FDriveTypes; }
    void SetDriveTypes(TDriveTypes value);
    bool ShowShareOverlay() const { return FShowShareOverlay; }
    void SetShowShareOverlay(bool value);
    bool AcceptDropFiles() const { return FAcceptDropFiles; }
    void SetAcceptDropFiles(bool value);

    TAddFileEvent OnAddDir;
    TFindDirEvent OnFindDir;
    TTVExpandedEvent OnGetIcon, OnDeleteItem;
    TDropFilesEvent OnDropFiles;

    // Operations used inside the control (public so that callers and tests can drive them step by step).
    TTreeNode* FindPathNode(std::string path);
    std::string DropTargetPath();
    void ReadDrives();
    void ReadSubDirs(TTreeNode* node);
    void ProbeSubDirs(TTreeNode* node);
    void ProbeChildren(TTreeNode* node);
    TTreeNode* AddDriveNode(const std::string& root, void* data);
    TTreeNode* InsertDriveNode(const std::string& root, void* data);
    TTreeNode* AddDirNode(TTreeNode* parent, const std::string& path, void* data);
    void AttachEntry(TTreeNode* node, const std::string& path, void* data);
    void SetNodeIcons(TTreeNode* node, int icon);
    std::string DriveLabel(char letter);
    int VolumeSerial(char letter);
    unsigned GetDriveMask();
    bool AcceptDirPath(const std::string& path);
    bool AcceptDirAttr(int attr) const { return dirtree::DirAttrAccepted(FDirTypes, static_cast<unsigned>(attr)); }
    void ClearTree();
    void LockChange() { --FChangeLock; }
    void UnlockChange();
    void Reload();
    bool UpdateDrives();
    void ResetNode(TTreeNode* node);
    void CheckMediaChange();
    int ShareOverlayIndex(TTreeNode* node);

    static TDirEntry* EntryOf(const TTreeNode* node) { return node ? static_cast<TDirEntry*>(node->Data()) : nullptr; }
    int VolumeSerials(char letter) const { return FVolumeSerials[LetterIndex(letter)]; }
    const std::string& LastPaths(char letter) const { return FLastPaths[LetterIndex(letter)]; }
    unsigned KnownDrives() const { return FKnownDrives; }
    int ChangeLock() const { return FChangeLock; }
    int ClosedFolderIcon() const { return FClosedFolderIcon; }
    int OpenFolderIcon() const { return FOpenFolderIcon; }
    const TStrings& DroppedFiles() const { return FDroppedFiles; }
    HWND OwnerWindow() const { return FOwnerWindow; }

    bool SetProperty(const std::string& name, const TLayoutValue& value) override;
    void WndProc(TMessage& Message) override;

protected:
    void Loaded() override;
    void CreateWnd() override;
    void DestroyWnd() override;
    bool CanExpand(TTreeNode* node) override;
    bool NodeHasChildren(TTreeNode* node) override;
    void Change(TTreeNode* node) override;
    void TreeClick() override;

    // The platform's drive and volume queries; tests replace them for kinds of drive that Wine cannot make.
    virtual DWORD PlatformLogicalDrives();
    virtual UINT PlatformDriveType(const std::string& root);
    virtual bool PlatformVolumeInfo(const std::string& root, std::string& name, DWORD& serial);

private:
    static int LetterIndex(char letter);
    void NodeDeletion(TObject* Sender, TTreeNode* node);
    static void FreeEntry(TTreeNode* node);
    void SelectionChanged(TTreeNode* node);
    TTreeNode* MakeDriveNode(const std::string& root, void* data, TTreeNode* before);
    int ReadSerial(char letter, std::string* caption);
    void GiveDriveChildren(TTreeNode* node, const std::string& root);
    bool FindStep(const std::string& path, const std::string& diskPath, TDirRec& rec, int& result, bool first,
                  bool handlers = true);
    bool HasAcceptedSubDir(TDirEntry* e, bool handlers);
    TTreeNode* AddFoundDir(TTreeNode* parent, const std::string& path, const std::string& name, void* data, int attr);
    TTreeNode* AddFolderNode(TTreeNode* parent, const std::string& path, const std::string& caption, void* data,
                             int icon);
    static int ShellIcon(const std::string& path);
    void WalkShareOverlay(TTreeNode* first, bool on);
    void DropFiles(HDROP drop);
    void HookOwner();
    void UnhookOwner();
    static LRESULT CALLBACK OwnerWindowHook(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
    void DeviceChange();

    std::unique_ptr<TImageList> FImageList;
    int FClosedFolderIcon = 0, FOpenFolderIcon = 0;
    std::string FWindowsDir;
    std::array<std::string, 26> FLastPaths;
    std::array<int, 26> FVolumeSerials{};
    unsigned FKnownDrives = 0;
    int FChangeLock = 0;
    TComRef<IShellFolder> FDrivesFolder;
    TStrings FDroppedFiles;
    HWND FOwnerWindow = nullptr;
    bool FRestorePending = false;
    std::string FSavedPath;

    bool FReadOnStart = true;
    TDirTypes FDirTypes = DefaultDirTypes;
    bool FGoBelowRecycleBin = false;
    bool FFastLoad = false;
    std::string FInitialDirectory;
    TDriveTypes FDriveTypes = AllDriveTypes;
    bool FShowShareOverlay = false;
    bool FAcceptDropFiles = false;
};

void RegisterDirTreeClasses();
