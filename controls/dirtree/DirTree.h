// The drive-and-folder tree: drives as top-level nodes, folders read lazily beneath them. A tree view over
// the folder model, which holds the drives, the searches and the filters.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <memory>
#include <string>
#include <vector>

#include "controls/dirtree/DirTreeModel.h"
#include "framework/ComCtrls.h"
#include "framework/ImgList.h"
#include "framework/WindowHook.h"

using TStrings = std::vector<std::string>;

// Releases a COM interface pointer it holds.
template <class I> class TComRef {
public:
    TComRef() = default;
    ~TComRef() { Reset(); }
    TComRef(const TComRef&) = delete;
    TComRef& operator=(const TComRef&) = delete;
    I* Get() const { return FPtr; }
    I* operator->() const { return FPtr; }
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
struct TDirEntry : TFolder {
    TComRef<IShellFolder> ShellFolder;
    TPidl ItemIdList;
    // The row-time probe's answer, while the rows do not show it yet.
    bool RowsPending = false;
    bool ProbeFound = false;
};

// The folder model's platform queries over the Windows API.
class TWinFolderSystem : public TFolderSystem {
public:
    unsigned LogicalDrives() override;
    unsigned DriveType(const std::string& root) override;
    bool VolumeInfo(const std::string& root, std::string& name, unsigned long& serial) override;
    std::string DisplayName(const std::string& root) override;
    int FindStep(const std::string& folder, TDirRec& rec, bool first) override;
    void FindClose(void* handle) override;
    std::string Upper(const std::string& s) override;
    std::string SortKey(const std::string& name) override;
};

using TDropFilesEvent = std::function<void(TObject* Sender, int X, int Y, const std::string& aDropDir,
                                           const TStrings& aDropFiles, TShiftState Shift)>;

class TDirTree : public TCustomTreeView {
    std::unique_ptr<TFolderSystem> FSystem;
    TDirTreeModel FModel;

public:
    explicit TDirTree(TComponent* AOwner);
    ~TDirTree() override;

    // Reads the folders along path, selects its node and scrolls to it; "?" is ignored.
    void OpenPath(std::string path);
    // The selected folder, upper case with a trailing backslash; "?" when nothing is selected.
    std::string SelectedPath();

    bool ReadOnStart() const { return FReadOnStart; }
    void SetReadOnStart(bool value) { FReadOnStart = value; }
    TDirTypes DirTypes() const { return FModel.DirTypes; }
    void SetDirTypes(TDirTypes value);
    bool GoBelowRecycleBin() const { return FModel.GoBelowRecycleBin; }
    void SetGoBelowRecycleBin(bool value);
    bool FastLoad() const { return FModel.FastLoad; }
    void SetFastLoad(bool value) { FModel.FastLoad = value; }
    const std::string& InitialDirectory() const { return FInitialDirectory; }
    void SetInitialDirectory(const std::string& value);
    TDriveTypes DriveTypes() const { return FModel.DriveTypes; }
    void SetDriveTypes(TDriveTypes value);
    bool ShowShareOverlay() const { return FShowShareOverlay; }
    void SetShowShareOverlay(bool value);
    bool AcceptDropFiles() const { return FAcceptDropFiles; }
    void SetAcceptDropFiles(bool value);

    TAddFileEvent& OnAddDir = FModel.OnAddDir;
    TFindDirEvent& OnFindDir = FModel.OnFindDir;
    TTVExpandedEvent OnGetIcon, OnDeleteItem;
    TDropFilesEvent OnDropFiles;

    // A node's folder; null for a placeholder.
    static TDirEntry* EntryOf(const TTreeNode* node) { return node ? static_cast<TDirEntry*>(node->Data()) : nullptr; }
    int ClosedFolderIcon() const { return FClosedFolderIcon; }

    bool SetProperty(const std::string& name, const TLayoutValue& value) override;
    void WndProc(TMessage& Message) override;

protected:
    // With other drives and folders than the platform's (tests play kinds of drive that Wine cannot make).
    TDirTree(TComponent* AOwner, std::unique_ptr<TFolderSystem> system);
    const TDirTreeModel& Model() const { return FModel; }
    // Rebuilds the drive nodes.
    void ReadDrives();
    // The node of a path, without reading anything; null when a level of it is not in the tree.
    TTreeNode* FindPathNode(std::string path);
    // The share overlay of a node: 0 for a shared folder, else -1.
    int ShareOverlayIndex(TTreeNode* node);

    void Loaded() override;
    void CreateWnd() override;
    void DestroyWnd() override;
    bool CanExpand(TTreeNode* node) override;
    bool NodeHasChildren(TTreeNode* node) override;
    void Change(TTreeNode* node) override;
    void TreeClick() override;

private:
    class TChangeLock;
    TTreeNode* WalkPath(const std::string& upperPath, bool open);
    void ReadSubDirs(TTreeNode* node);
    void ProbeSubDirs(TTreeNode* node);
    void FixPendingRows();
    void AddDriveNode(const std::string& root, bool inOrder);
    TTreeNode* AddFolderNode(TTreeNode* parent, const TFoundDir& dir);
    void AttachEntry(TTreeNode* node, const std::string& diskPath, void* data);
    void SetNodeIcons(TTreeNode* node, int icon);
    void NodeDeletion(TTreeNode* node);
    static void FreeEntry(TTreeNode* node);
    void ClearTree();
    void ResetNode(TTreeNode* node);
    void RefreshDrive(TTreeNode* node, char letter, int serial);
    void Reload();
    bool UpdateDrives();
    void CheckMediaChange();
    void DeviceChange();
    void WalkShareOverlay(TTreeNode* first);
    void DropFiles(HDROP drop);
    void HookOwner();

    std::unique_ptr<TImageList> FImageList;
    int FClosedFolderIcon = 0, FOpenFolderIcon = 0;
    int FChangeLock = 0;
    TComRef<IShellFolder> FDrivesFolder;
    TStrings FDroppedFiles;
    TWindowHook FOwnerHook;
    bool FRestorePending = false;
    std::string FSavedPath;
    // Unread folders whose rows are to follow their row-time probe once the tree view's callback is over.
    std::vector<TTreeNode*> FPendingRows;

    bool FReadOnStart = true;
    std::string FInitialDirectory;
    bool FShowShareOverlay = false;
    bool FAcceptDropFiles = false;
};

void RegisterDirTreeClasses();
