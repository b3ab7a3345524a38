#include "controls/dirtree/DirTree.h"

#include <shellapi.h>

#include <algorithm>
#include <utility>

#include "framework/CriticalErrors.h"
#include "framework/Forms.h"
#include "framework/SysUtils.h"

using namespace dirtree;

namespace {

std::string CurrentDir()
{
    char buf[MAX_PATH];
    DWORD n = GetCurrentDirectoryA(MAX_PATH, buf);
    return n > 0 && n < MAX_PATH ? std::string(buf, n) : std::string();
}

// Asks the tree to bring rows in line with their row-time probes.
constexpr UINT CM_FIXROWS = CM_BASE + 0x41;

}  // namespace

// --- the platform's queries ---

unsigned TWinFolderSystem::LogicalDrives()
{
    TCriticalErrorsOff quiet;
    return GetLogicalDrives();
}

unsigned TWinFolderSystem::DriveType(const std::string& root) { return GetDriveTypeA(root.c_str()); }

bool TWinFolderSystem::VolumeInfo(const std::string& root, std::string& name, unsigned long& serial)
{
    char volume[24] = {};
    char fs[499] = {};
    DWORD maxLen = 0, flags = 0;
    serial = 0;
    if (!GetVolumeInformationA(root.c_str(), volume, sizeof volume, &serial, &maxLen, &flags, fs, sizeof fs))
        return false;
    name = volume;
    return true;
}

std::string TWinFolderSystem::DisplayName(const std::string& root)
{
    TCriticalErrorsOff quiet;
    SHFILEINFOA sfi{};
    return SHGetFileInfoA(root.c_str(), 0, &sfi, sizeof sfi, SHGFI_DISPLAYNAME) ? sfi.szDisplayName : "";
}

int TWinFolderSystem::FindStep(const std::string& folder, TDirRec& rec, bool first)
{
    TCriticalErrorsOff quiet;
    WIN32_FIND_DATAA fd;
    HANDLE h = first ? FindFirstFileA((folder + "*.*").c_str(), &fd) : rec.FindHandle;
    if (h == INVALID_HANDLE_VALUE || (!first && !FindNextFileA(h, &fd))) {
        DWORD err = GetLastError();
        return err ? static_cast<int>(err) : ERROR_NO_MORE_FILES;
    }
    rec.FindHandle = h;
    rec.Attr = static_cast<int>(fd.dwFileAttributes);
    rec.Name = fd.cFileName;
    return 0;
}

void TWinFolderSystem::FindClose(void* handle)
{
    if (handle && handle != INVALID_HANDLE_VALUE) ::FindClose(handle);
}

std::string TWinFolderSystem::Upper(const std::string& s)
{
    std::string u = s;
    if (!u.empty()) CharUpperBuffA(u.data(), static_cast<DWORD>(u.size()));
    return u;
}

// Keys compare as lstrcmpi compares the names, with one conversion per name instead of two per comparison.
std::string TWinFolderSystem::SortKey(const std::string& name)
{
    int n = MultiByteToWideChar(CP_ACP, 0, name.c_str(), -1, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, name.c_str(), -1, wide.data(), n);
    const LCID locale = GetThreadLocale();
    const DWORD flags = LCMAP_SORTKEY | NORM_IGNORECASE;
    char buf[1024];  // a key is a few bytes per character: enough for any folder name, else asked for its size
    int k = LCMapStringW(locale, flags, wide.c_str(), -1, reinterpret_cast<wchar_t*>(buf), sizeof buf);
    if (k > 0) return std::string(buf, static_cast<std::size_t>(k));
    k = LCMapStringW(locale, flags, wide.c_str(), -1, nullptr, 0);  // 0 on failure: an empty key
    std::string key(static_cast<std::size_t>(k), '\0');
    LCMapStringW(locale, flags, wide.c_str(), -1, reinterpret_cast<wchar_t*>(key.data()), k);
    return key;
}

// Holds the change lock for a scope: no selection change is handled meanwhile.
class TDirTree::TChangeLock {
public:
    explicit TChangeLock(int& lock) : FLock(lock) { --FLock; }
    ~TChangeLock() { ++FLock; }
    TChangeLock(const TChangeLock&) = delete;
    TChangeLock& operator=(const TChangeLock&) = delete;

private:
    int& FLock;
};

// --- construction and destruction ---

TDirTree::TDirTree(TComponent* AOwner) : TDirTree(AOwner, std::make_unique<TWinFolderSystem>()) {}

TDirTree::TDirTree(TComponent* AOwner, std::unique_ptr<TFolderSystem> system)
    : TCustomTreeView(AOwner),
      FSystem(std::move(system)),
      FModel(*FSystem, this, CurrentDir()),
      FImageList(std::make_unique<TImageList>(nullptr))
{
    char buf[MAX_PATH];
    UINT n = GetWindowsDirectoryA(buf, MAX_PATH);
    const std::string windowsDir = AddBackslash(n > 0 && n < MAX_PATH ? std::string(buf, n) : std::string());
    SHFILEINFOA sfi{};
    auto sys = reinterpret_cast<HIMAGELIST>(
        SHGetFileInfoA(windowsDir.c_str(), 0, &sfi, sizeof sfi, SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
    FImageList->SetHandle(sys, true);
    SetImages(FImageList.get());
    FClosedFolderIcon = sfi.iIcon;
    sfi = SHFILEINFOA{};
    SHGetFileInfoA(windowsDir.c_str(), 0, &sfi, sizeof sfi, SHGFI_SYSICONINDEX | SHGFI_SMALLICON | SHGFI_OPENICON);
    FOpenFolderIcon = sfi.iIcon;

    OnDeletion = [this](TObject*, TTreeNode* node) { NodeDeletion(node); };
    FInitialDirectory = CurrentDir();
    SetHideSelection(false);

    ITEMIDLIST* drives = nullptr;
    if (SUCCEEDED(SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &drives))) {
        TPidl owned(drives);
        TComRef<IShellFolder> desktop;
        if (SUCCEEDED(SHGetDesktopFolder(desktop.Put())))
            if (FAILED(desktop->BindToObject(drives, nullptr, __uuidof(IShellFolder),
                                             reinterpret_cast<void**>(FDrivesFolder.Put()))))
                FDrivesFolder.Reset();
    }
}

TDirTree::~TDirTree()
{
    MarkDestroying();  // no selection change is handled from here on
    ClearTree();
    FOwnerHook.Remove();
    SetImages(nullptr);
    FImageList.reset();
    FDrivesFolder.Reset();
}

void TDirTree::Loaded()
{
    TCustomTreeView::Loaded();
    HandleNeeded();
    if (FReadOnStart || Designing()) ReadDrives();
    DWORD attr = GetFileAttributesA(FInitialDirectory.c_str());
    if (attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_DIRECTORY))
        OpenPath(FInitialDirectory);
    else
        OpenPath(CurrentDir());
}

// --- drives ---

void TDirTree::ReadDrives()
{
    if (!HandleAllocated() || Loading()) return;
    TChangeLock lock(FChangeLock);
    TBusyCursor busy;
    BeginUpdate();
    ScopeExit done([&] {
        EndUpdate();
        if (TTreeNode* sel = Selected()) sel->MakeVisible();
    });
    ClearTree();
    if (Application) Application->ProcessMessages();
    unsigned mask = FModel.DriveMask();
    FModel.KnownDrives = mask;
    for (int i = 0; i < 26; ++i) {
        if (!((mask >> i) & 1u)) continue;
        std::string root = DriveRoot(static_cast<char>('A' + i));
        if (!FModel.AcceptDirPath(root)) continue;
        AddDriveNode(root, false);
    }
}

// A drive's node, appended or, inOrder, inserted before the first drive of a later letter; with a placeholder
// when it is not probed.
void TDirTree::AddDriveNode(const std::string& root, bool inOrder)
{
    std::string r = AddBackslash(root);
    const char letter = r[0];
    const std::string key = DriveRoot(FModel.Upper(r.substr(0, 1))[0]);
    TTreeNode* before = nullptr;
    for (TTreeNode* n = inOrder ? GetFirstNode() : nullptr; n && EntryOf(n) && !before; n = n->GetNextSibling())
        if (EntryOf(n)->Path > key) before = n;
    SHFILEINFOA sfi{};
    {
        TCriticalErrorsOff quiet;
        SHGetFileInfoA(r.c_str(), 0, &sfi, sizeof sfi, SHGFI_SYSICONINDEX | SHGFI_DISPLAYNAME | SHGFI_SMALLICON);
    }
    TTreeNode* node = before ? Insert(before, "") : AddChild(nullptr, "");
    // A removable drive keeps the shell's name so that building the tree never reads its medium.
    node->SetText(FSystem->DriveType(DriveRoot(letter)) == kDriveRemovable ? std::string(sfi.szDisplayName)
                                                                           : FModel.DriveLabel(letter));
    AttachEntry(node, r, nullptr);
    SetNodeIcons(node, sfi.iIcon);
    if (FModel.ProbesDrive(r))
        ProbeSubDirs(node);
    else
        AddChild(node, "");
}

// --- entries and icons ---

void TDirTree::AttachEntry(TTreeNode* node, const std::string& diskPath, void* data)
{
    auto entry = new TDirEntry;
    entry->Path = FModel.Upper(diskPath);
    entry->DiskPath = diskPath;
    entry->Data = data;
    node->SetData(entry);
    if (FShowShareOverlay) node->SetOverlayIndex(ShareOverlayIndex(node));
}

void TDirTree::SetNodeIcons(TTreeNode* node, int icon)
{
    node->SetImageIndex(icon);
    if (icon == FClosedFolderIcon) {
        node->SetSelectedIndex(FOpenFolderIcon);
    } else {
        SHFILEINFOA sfi{};
        TDirEntry* e = EntryOf(node);
        SHGetFileInfoA(e ? e->Path.c_str() : "", 0, &sfi, sizeof sfi,
                       SHGFI_SYSICONINDEX | SHGFI_SMALLICON | SHGFI_OPENICON);
        node->SetSelectedIndex(sfi.iIcon);
    }
    if (OnGetIcon) OnGetIcon(this, node);
}

void TDirTree::FreeEntry(TTreeNode* node)
{
    delete EntryOf(node);  // releases the shell folder and the identifier list with it
    node->SetData(nullptr);
}

void TDirTree::NodeDeletion(TTreeNode* node)
{
    FPendingRows.erase(std::remove(FPendingRows.begin(), FPendingRows.end(), node), FPendingRows.end());
    FreeEntry(node);
    if (OnDeleteItem) OnDeleteItem(this, node);
}

// One message deletes every item: there is no drawing to hold back meanwhile.
void TDirTree::ClearTree()
{
    {
        // A failing deletion handler must not leave the selection handling switched off for good.
        TChangeLock lock(FChangeLock);
        for (TTreeNode* node : AllNodes()) FreeEntry(node);
        ClearNodes();
    }
    if (FChangeLock == 0) Change(Selected());
}

// --- folder reading ---

void TDirTree::ReadSubDirs(TTreeNode* node)
{
    TDirEntry* e = EntryOf(node);
    if (Designing() || !e || e->SubDirsRead) return;
    DeleteChildren(node);
    e->SubDirsRead = true;
    for (const TFoundDir& dir : FModel.ReadFolder(*e)) AddFolderNode(node, dir);
}

// A folder just found by a search: its name is the file system's spelling already, and only a folder marked
// read-only or system can carry an icon of its own (desktop.ini); any other gets the plain folder icon
// without asking the shell, which reads the whole parent folder per question under some file systems.
TTreeNode* TDirTree::AddFolderNode(TTreeNode* parent, const TFoundDir& dir)
{
    TDirEntry* pe = EntryOf(parent);
    const std::string diskPath = pe->DiskPath + dir.Name + "\\";
    SHFILEINFOA sfi{};
    sfi.iIcon = FClosedFolderIcon;
    if (dir.Attr & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM))
        SHGetFileInfoA(diskPath.c_str(), 0, &sfi, sizeof sfi, SHGFI_SYSICONINDEX | SHGFI_DISPLAYNAME | SHGFI_SMALLICON);
    const int icon = sfi.iIcon;
    // The icons go in with the node (SetNodeIcons then finds them set; the shell's open icon of any other is
    // asked for there), and the tree view asks NodeHasChildren for its expand button.
    TTreeNode* node = AddChild(parent, dir.Name, icon, icon == FClosedFolderIcon ? FOpenFolderIcon : -1, true);
    AttachEntry(node, diskPath, dir.Data);
    EntryOf(node)->ProbedRound = pe->ProbeRound;
    SetNodeIcons(node, icon);
    return node;
}

void TDirTree::ProbeSubDirs(TTreeNode* node)
{
    TDirEntry* e = EntryOf(node);
    if (Designing() || !e || e->SubDirsRead) return;
    // This is the folder's probe of its parent's current round: none is left for its row's display, which
    // would search again without the handlers.
    e->RowsPending = false;
    if (TDirEntry* pe = EntryOf(node->Parent())) e->ProbedRound = pe->ProbeRound;
    // An unread node that has a placeholder already needs no second one (every expansion probes again).
    if (node->HasChildren()) return;
    if (FModel.HasAcceptedSubDir(*e, true)) AddChild(node, "");
}

// The tree view asks for a folder row's expand button when it shows the row. A probe due since the parent's
// last expansion runs now, for this one folder: opening a folder of thousands of sub-folders searches only
// the rows on screen. The answer is the probe's; the rows follow once the tree view's callback is over,
// since no row may come or go while the tree view paints, opens or deletes one.
bool TDirTree::NodeHasChildren(TTreeNode* node)
{
    TDirEntry* e = EntryOf(node);
    if (e && !Designing() && TDirTreeModel::TakeDueProbe(*e, EntryOf(node->Parent()))) {
        // The probe that expansion would have made with no handler assigned.
        e->ProbeFound = FModel.HasAcceptedSubDir(*e, false);
        if (e->ProbeFound != node->HasChildren() && !e->RowsPending) {
            if (FPendingRows.empty()) PostMessageA(FHandle, CM_FIXROWS, 0, 0);
            FPendingRows.push_back(node);
            e->RowsPending = true;
        }
    }
    return e && e->RowsPending ? e->ProbeFound : node->HasChildren();
}

// A placeholder for each pending folder that has sub-folders, none for one that has lost them.
void TDirTree::FixPendingRows()
{
    std::vector<TTreeNode*> pending;
    pending.swap(FPendingRows);
    for (TTreeNode* node : pending) {
        TDirEntry* e = EntryOf(node);
        if (!e || !e->RowsPending) continue;
        e->RowsPending = false;
        if (e->SubDirsRead || e->ProbeFound == node->HasChildren()) continue;
        if (e->ProbeFound)
            AddChild(node, "");
        else
            DeleteChildren(node);
    }
}

// --- paths ---

void TDirTree::OpenPath(std::string path)
{
    if (path.empty()) throw Exception("Invalid Path Name");
    if (path == "?") return;
    path = AddBackslash(path);
    {
        TCriticalErrorsOff quiet;
        std::string bare = path.substr(0, path.size() - 1);
        if (GetFileAttributesA(bare.c_str()) == INVALID_FILE_ATTRIBUTES) {
            std::string cur = CurrentDir();
            path = DriveRoot(cur.empty() ? 'C' : cur[0]);
        }
    }
    TBusyCursor busy;
    BeginUpdate();
    ScopeExit done([&] { EndUpdate(); });
    if (TTreeNode* found = WalkPath(FModel.Upper(path), true)) SetSelected(found);  // which scrolls to it
}

std::string TDirTree::SelectedPath()
{
    TTreeNode* node = Selected();
    if (!node) return "?";
    TDirEntry* e = EntryOf(node);
    return e ? e->Path : std::string();
}

TTreeNode* TDirTree::FindPathNode(std::string path)
{
    TBusyCursor busy;
    return WalkPath(FModel.Upper(AddBackslash(path)), false);
}

// Follows an upper-case path level by level from the drive nodes: the node of its last level, null when a
// level is not in the tree. Opening compares ignoring case and reads every level found that is unread, the
// last one too (so the target's own sub-folders are listed).
TTreeNode* TDirTree::WalkPath(const std::string& upperPath, bool open)
{
    TTreeNode* found = nullptr;
    for (int i = 1, n = CountBackslashes(upperPath); i <= n; ++i) {
        const std::string level = PathLevel(upperPath, i);
        TTreeNode* match = nullptr;
        for (TTreeNode* c = i == 1 ? GetFirstNode() : found->GetFirstChild(); c; c = c->GetNextSibling()) {
            TDirEntry* e = EntryOf(c);
            if (!e) break;
            if (open ? lstrcmpiA(e->Path.c_str(), level.c_str()) == 0 : e->Path == level) {
                match = c;
                break;
            }
        }
        if (!match) return nullptr;
        if (open) ReadSubDirs(match);
        found = match;
    }
    return found;
}

// --- behaviour: expansion, selection, click ---

bool TDirTree::CanExpand(TTreeNode* node)
{
    {
        TBusyCursor busy;
        ReadSubDirs(node);
        // A handler that sees the probes sees them at the expansion, as ever; otherwise each child is probed
        // when its row is next displayed (NodeHasChildren).
        if (FModel.ProbesAtExpansion())
            for (TTreeNode* child = node ? node->GetFirstChild() : nullptr; child; child = child->GetNextSibling())
                ProbeSubDirs(child);
        else if (TDirEntry* e = EntryOf(node))
            ++e->ProbeRound;
    }
    return TCustomTreeView::CanExpand(node);
}

void TDirTree::Change(TTreeNode* node)
{
    if (Destroying() || FChangeLock != 0) return;
    if (TDirEntry* e = EntryOf(node)) {
        const char letter = e->Path[0];
        int serial;
        if (FModel.MediumChanged(letter, serial)) {
            node = FindPathNode(DriveRoot(letter));
            if (node) RefreshDrive(node, letter, serial);
        }
    }
    if (TDirEntry* e = EntryOf(node)) FModel.RememberPath(e->Path);
    TCustomTreeView::Change(node);
}

void TDirTree::TreeClick()
{
    TTreeNode* node = Selected();
    TDirEntry* e = EntryOf(node);
    if (!e) return;
    int serial;
    if (FModel.MediumChanged(e->Path[0], serial))
        Change(node);  // the medium changed: refresh instead of reporting the click
    else
        TCustomTreeView::TreeClick();
}

void TDirTree::ResetNode(TTreeNode* node)
{
    DeleteChildren(node);
    if (TDirEntry* e = EntryOf(node)) e->SubDirsRead = false;
    ProbeSubDirs(node);
}

// A drive whose medium changed: its old folders go, its caption and serial are read again.
void TDirTree::RefreshDrive(TTreeNode* node, char letter, int serial)
{
    // Deleting the children may move the selection, which must not come back here half-way.
    TChangeLock lock(FChangeLock);
    ResetNode(node);
    node->SetText(FModel.DriveLabel(letter));
    // A readable medium gets its expand button; the reset's probe may have given it one already.
    if (serial != -1 && !node->HasChildren()) AddChild(node, "");
}

// --- property changes ---

void TDirTree::Reload()
{
    std::string path = SelectedPath();
    ReadDrives();
    if (!path.empty()) OpenPath(path);
    if (NodeCount() > 0 && !Selected() && !path.empty()) OpenPath(path.substr(0, 3));
    if (Selected() || !GetFirstNode()) return;
    TTreeNode* chosen = nullptr;
    TTreeNode* last = nullptr;
    for (TTreeNode* n = GetFirstNode(); n; n = n->GetNextSibling()) {
        last = n;
        TTreeNode* child = n->GetFirstChild();
        TDirEntry* ce = EntryOf(child);
        if (!child || (ce && ce->SubDirsRead)) {
            chosen = n;
            break;
        }
    }
    if (!chosen) chosen = last;
    TDirEntry* e = EntryOf(chosen);
    if (!e) return;
    try {
        const std::string& remembered = FModel.LastPath(e->Path[0]);
        OpenPath(remembered);
        if (SelectedPath() != remembered) {
            {
                TChangeLock lock(FChangeLock);
                SetSelected(chosen);
            }
            Change(chosen);
        }
    } catch (...) {
        // the last fallback never fails the property change
    }
}

void TDirTree::SetDirTypes(TDirTypes value)
{
    if (value == FModel.DirTypes) return;
    FModel.DirTypes = value;
    if (!Loading()) Reload();
}

void TDirTree::SetGoBelowRecycleBin(bool value)
{
    if (value == FModel.GoBelowRecycleBin) return;
    FModel.GoBelowRecycleBin = value;
    if (!Loading()) Reload();
}

void TDirTree::SetDriveTypes(TDriveTypes value)
{
    if (value == FModel.DriveTypes) return;
    FModel.DriveTypes = value;
    if (!Loading()) UpdateDrives();
}

void TDirTree::SetInitialDirectory(const std::string& value)
{
    FInitialDirectory = value;
    if (Designing() && !Loading()) OpenPath(value);
}

bool TDirTree::UpdateDrives()
{
    if (!HandleAllocated()) return false;  // the drives are read when the window comes
    bool changed = false;
    {
        TChangeLock lock(FChangeLock);
        BeginUpdate();
        ScopeExit done([&] {
            EndUpdate();
            RedrawWindow(FHandle, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        });
        const unsigned mask = FModel.DriveMask(), known = FModel.KnownDrives;
        for (int i = 0; i < 26; ++i) {
            if (!((known >> i) & 1u) || ((mask >> i) & 1u)) continue;
            if (TTreeNode* node = FindPathNode(DriveRoot(static_cast<char>('A' + i)))) {
                node->Delete();
                changed = true;
            }
        }
        for (int i = 0; i < 26; ++i) {
            if (!((mask >> i) & 1u) || ((known >> i) & 1u)) continue;
            AddDriveNode(DriveRoot(static_cast<char>('A' + i)), true);
            changed = true;
        }
        FModel.KnownDrives = mask;
    }
    if (changed) Change(Selected());
    return changed;
}

void TDirTree::CheckMediaChange()
{
    for (char letter = 'Z'; letter >= 'A'; --letter) {
        // Letters without a drive node are passed over: they read as -1 and would end the scan early.
        TTreeNode* node = FindPathNode(DriveRoot(letter));
        int serial;
        if (node && FModel.MediumChanged(letter, serial)) {
            RefreshDrive(node, letter, serial);
            return;
        }
    }
}

// --- share overlay ---

int TDirTree::ShareOverlayIndex(TTreeNode* node)
{
    TDirEntry* e = EntryOf(node);  // every caller's node has its entry
    IShellFolder* folder = FDrivesFolder.Get();
    std::string name = e->Path;
    if (TDirEntry* pe = EntryOf(node->Parent())) {
        folder = pe->ShellFolder.Get();
        name = LastComponent(e->Path);
    }
    if (!folder) return -1;
    wchar_t wide[MAX_PATH + 1] = {};
    MultiByteToWideChar(CP_ACP, 0, name.c_str(), static_cast<int>(std::min<std::size_t>(name.size(), MAX_PATH)),
                        wide, MAX_PATH);
    ITEMIDLIST* pidl = nullptr;
    ULONG eaten = 0;
    e->ShellFolder.Reset();
    e->ItemIdList.reset();
    if (FAILED(folder->ParseDisplayName(Handle(), nullptr, wide, &eaten, &pidl, nullptr)) || !pidl) return -1;
    e->ItemIdList.reset(pidl);
    if (FAILED(folder->BindToObject(pidl, nullptr, __uuidof(IShellFolder), reinterpret_cast<void**>(e->ShellFolder.Put()))))
        return -1;
    SFGAOF attr = SFGAO_SHARE;
    LPCITEMIDLIST items[1] = {pidl};
    if (SUCCEEDED(folder->GetAttributesOf(1, items, &attr)) && (attr & SFGAO_SHARE)) return 0;
    return -1;
}

void TDirTree::WalkShareOverlay(TTreeNode* first)
{
    for (TTreeNode* n = first; n; n = n->GetNextSibling()) {
        TDirEntry* e = EntryOf(n);
        if (!e) break;
        n->SetOverlayIndex(ShareOverlayIndex(n));
        if (e->SubDirsRead) WalkShareOverlay(n->GetFirstChild());
    }
}

void TDirTree::SetShowShareOverlay(bool value)
{
    if (value == FShowShareOverlay) return;
    FShowShareOverlay = value;
    if (!HandleAllocated()) return;
    if (value)
        WalkShareOverlay(GetFirstNode());
    else
        for (TTreeNode* n : AllNodes()) n->SetOverlayIndex(-1);
}

// --- dropped files ---

void TDirTree::SetAcceptDropFiles(bool value)
{
    FAcceptDropFiles = value;
    if (!Designing() && HandleAllocated()) DragAcceptFiles(FHandle, value);
}

void TDirTree::DropFiles(HDROP drop)
{
    // Without the setting no drop was registered, so the handle is not the shell's to us: leave it alone.
    if (!FAcceptDropFiles) return;
    POINT pt{};
    TTreeNode* node = nullptr;
    if (DragQueryPoint(drop, &pt)) SetDropTarget(node = GetNodeAt(pt.x, pt.y));
    if (node) {
        FDroppedFiles.clear();
        UINT n = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
        for (UINT i = 0; i < n; ++i) {
            // Ask for each name's length first: a fixed buffer would cut long paths.
            std::string name(DragQueryFileA(drop, i, nullptr, 0) + 1, '\0');
            name.resize(DragQueryFileA(drop, i, name.data(), static_cast<UINT>(name.size())));
            FDroppedFiles.push_back(name);
        }
    }
    DragFinish(drop);
    if (!node) return;
    ScopeExit unmark([&] { SetDropTarget(nullptr); });
    if (OnDropFiles) {
        TShiftState shift = 0;
        if (GetKeyState(VK_SHIFT) < 0) shift |= ssShift;
        if (GetKeyState(VK_MENU) < 0) shift |= ssAlt;
        if (GetKeyState(VK_CONTROL) < 0) shift |= ssCtrl;
        TDirEntry* target = EntryOf(DropTarget());
        OnDropFiles(this, pt.x, pt.y, target ? target->Path : std::string(), FDroppedFiles, shift);
    }
}

// --- window creation and destruction, owner hook ---

void TDirTree::CreateWnd()
{
    TCustomTreeView::CreateWnd();
    if (Designing())
        ReadDrives();
    else
        HookOwner();
    if (FRestorePending) {
        FRestorePending = false;
        // A re-created window at run time gets its drive nodes back as well.
        if (!Designing()) ReadDrives();
        if (!FSavedPath.empty()) OpenPath(FSavedPath);
    }
    SetAcceptDropFiles(FAcceptDropFiles);
}

void TDirTree::DestroyWnd()
{
    // The drop registration goes with the window; the setting is applied again to the next one.
    FRestorePending = true;
    FSavedPath = SelectedPath();
    ClearTree();
    FOwnerHook.Remove();
    TCustomTreeView::DestroyWnd();
}

// The owner window's device notices come here, and no further.
void TDirTree::HookOwner()
{
    auto* owner = dynamic_cast<TWinControl*>(Owner());
    if (!owner) return;
    FOwnerHook.Install(owner->Handle(), [this](UINT msg, WPARAM, LPARAM, LRESULT& result) {
        if (msg == WM_NCDESTROY) FOwnerHook.Remove();
        if (msg != WM_DEVICECHANGE) return false;
        SafeCall([this] { DeviceChange(); });
        result = 0;
        return true;
    });
}

void TDirTree::DeviceChange()
{
    {
        TChangeLock lock(FChangeLock);
        if (!UpdateDrives()) CheckMediaChange();
    }
    Change(Selected());
}

void TDirTree::WndProc(TMessage& Message)
{
    if (Message.Msg == WM_DESTROY) {
        // The window goes with its parent: its nodes are freed without selection reports.
        TChangeLock lock(FChangeLock);
        TCustomTreeView::WndProc(Message);
        return;
    }
    if (Message.Msg == WM_DROPFILES) {
        DropFiles(reinterpret_cast<HDROP>(Message.WParam));
        Message.Result = 0;
        return;
    }
    if (Message.Msg == CM_FIXROWS) {
        FixPendingRows();
        return;
    }
    TCustomTreeView::WndProc(Message);
}

// --- layout ---

bool TDirTree::SetProperty(const std::string& name, const TLayoutValue& value)
{
    if (name == "ReadOnStart") SetReadOnStart(value.AsBool());
    else if (name == "DirTypes") {
        TDirTypes v;
        if (DirTypesFromNames(value.Items, v)) SetDirTypes(v);
    } else if (name == "DriveTypes") {
        TDriveTypes v;
        if (DriveTypesFromNames(value.Items, v)) SetDriveTypes(v);
    } else if (name == "GoBelowRecycleBin") SetGoBelowRecycleBin(value.AsBool());
    else if (name == "FastLoad") SetFastLoad(value.AsBool());
    else if (name == "InitialDirectory") SetInitialDirectory(value.AsString());
    else if (name == "ShowShareOverlay") SetShowShareOverlay(value.AsBool());
    else if (name == "AcceptDropFiles") SetAcceptDropFiles(value.AsBool());
    else if (name == "OnAddDir") OnAddDir = value.AsEvent<TAddFileEvent>();
    else if (name == "OnFindDir") OnFindDir = value.AsEvent<TFindDirEvent>();
    else if (name == "OnGetIcon") OnGetIcon = value.AsEvent<TTVExpandedEvent>();
    else if (name == "OnDeleteItem") OnDeleteItem = value.AsEvent<TTVExpandedEvent>();
    else if (name == "OnDropFiles") OnDropFiles = value.AsEvent<TDropFilesEvent>();
    else return TCustomTreeView::SetProperty(name, value);
    return true;
}

void RegisterDirTreeClasses()
{
    RegisterComponentClass<TDirTree>("TDirTree");
}
