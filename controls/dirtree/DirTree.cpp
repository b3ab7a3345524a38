#include "controls/dirtree/DirTree.h"

#include <shellapi.h>

#include <algorithm>
#include <utility>

#include "framework/CriticalErrors.h"
#include "framework/Forms.h"
#include "framework/WindowObjects.h"

using namespace dirtree;

namespace {

template <class F> class TFinally {
public:
    explicit TFinally(F f) : FF(std::move(f)) {}
    ~TFinally() { FF(); }
    TFinally(const TFinally&) = delete;
    TFinally& operator=(const TFinally&) = delete;

private:
    F FF;
};

std::string AnsiUpper(std::string s)
{
    if (!s.empty()) CharUpperBuffA(s.data(), static_cast<DWORD>(s.size()));
    return s;
}

char UpperLetter(char c)
{
    return AnsiUpper(std::string(1, c))[0];
}

std::string CurrentDir()
{
    char buf[MAX_PATH];
    DWORD n = GetCurrentDirectoryA(MAX_PATH, buf);
    return n > 0 && n < MAX_PATH ? std::string(buf, n) : std::string();
}

void CloseFind(HANDLE& h)
{
    if (h && h != INVALID_HANDLE_VALUE) FindClose(h);
    h = nullptr;
}

// The file system's own spelling of a folder's name.
std::string DiskName(const std::string& path)
{
    TCriticalErrorsOff quiet;
    std::string bare = path;
    if (!bare.empty() && bare.back() == '\\') bare.pop_back();
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA(bare.c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return LastComponent(path);
    FindClose(h);
    return fd.cFileName;
}

const char* const kTreeKey = "TapewingDirTree";
const char* const kOldProcKey = "TapewingDirTreeOldProc";

}  // namespace

// The locale's case-insensitive sort key of a name: keys compare as lstrcmpi compares the names, with one
// conversion per name instead of two per comparison (sorting 10,000 names with lstrcmpi took 0.2 s).
std::string FolderSortKey(const std::string& name)
{
    int n = MultiByteToWideChar(CP_ACP, 0, name.c_str(), -1, nullptr, 0);
    if (n <= 0) return std::string();
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, name.c_str(), -1, wide.data(), n);
    const LCID locale = GetThreadLocale();
    const DWORD flags = LCMAP_SORTKEY | NORM_IGNORECASE;
    char buf[1024];  // a key is a few bytes per character: enough for any folder name, else asked for its size
    int k = LCMapStringW(locale, flags, wide.c_str(), -1, reinterpret_cast<wchar_t*>(buf), sizeof buf);
    if (k > 0) return std::string(buf, static_cast<std::size_t>(k));
    k = LCMapStringW(locale, flags, wide.c_str(), -1, nullptr, 0);
    if (k <= 0) return std::string();
    std::string key(static_cast<std::size_t>(k), '\0');
    LCMapStringW(locale, flags, wide.c_str(), -1, reinterpret_cast<wchar_t*>(key.data()), k);
    return key;
}

// --- construction and destruction ---

TDirTree::TDirTree(TComponent* AOwner) : TCustomTreeView(AOwner), FImageList(std::make_unique<TImageList>(nullptr))
{
    char buf[MAX_PATH];
    UINT n = GetWindowsDirectoryA(buf, MAX_PATH);
    FWindowsDir = AddBackslash(n > 0 && n < MAX_PATH ? std::string(buf, n) : std::string());
    SHFILEINFOA sfi{};
    auto sys = reinterpret_cast<HIMAGELIST>(
        SHGetFileInfoA(FWindowsDir.c_str(), 0, &sfi, sizeof sfi, SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
    FImageList->SetHandle(sys, true);
    SetImages(FImageList.get());
    FClosedFolderIcon = sfi.iIcon;
    sfi = SHFILEINFOA{};
    SHGetFileInfoA(FWindowsDir.c_str(), 0, &sfi, sizeof sfi, SHGFI_SYSICONINDEX | SHGFI_SMALLICON | SHGFI_OPENICON);
    FOpenFolderIcon = sfi.iIcon;

    OnDeletion = [this](TObject* Sender, TTreeNode* node) { NodeDeletion(Sender, node); };
    FInitialDirectory = CurrentDir();
    for (int i = 0; i < 26; ++i) FLastPaths[i] = DriveRoot(static_cast<char>('A' + i));
    std::string cur = AnsiUpper(CurrentDir());
    if (!cur.empty() && cur[0] >= 'A' && cur[0] <= 'Z') FLastPaths[cur[0] - 'A'] = cur;
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
    MarkDestroying();
    FChangeLock = 0;
    ClearTree();
    UnhookOwner();
    if (HandleAllocated()) DragAcceptFiles(FHandle, FALSE);
    SetImages(nullptr);
    FImageList.reset();
    FDrivesFolder.Reset();
}

int TDirTree::LetterIndex(char letter)
{
    int i = UpperLetter(letter) - 'A';
    return i >= 0 && i < 26 ? i : 0;
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

// --- platform queries ---

DWORD TDirTree::PlatformLogicalDrives() { return GetLogicalDrives(); }

UINT TDirTree::PlatformDriveType(const std::string& root) { return GetDriveTypeA(root.c_str()); }

bool TDirTree::PlatformVolumeInfo(const std::string& root, std::string& name, DWORD& serial)
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

// --- drives ---

unsigned TDirTree::GetDriveMask()
{
    TCriticalErrorsOff quiet;
    return FilterDriveMask(PlatformLogicalDrives(), FDriveTypes,
                           [this](int i) { return PlatformDriveType(DriveRoot(static_cast<char>('A' + i))); });
}

void TDirTree::GiveDriveChildren(TTreeNode* node, const std::string& root)
{
    if (FFastLoad) {
        AddChild(node, "");
        return;
    }
    UINT t = PlatformDriveType(root);
    if (t >= DRIVE_FIXED && t != DRIVE_CDROM)
        ProbeSubDirs(node);
    else
        AddChild(node, "");  // removable and CD-ROM media are not read while the tree is built
}

void TDirTree::ReadDrives()
{
    if (!HandleAllocated() || Loading()) return;
    --FChangeLock;
    TBusyCursor busy;
    bool updating = false;
    TFinally done([&] {
        ++FChangeLock;
        if (updating) EndUpdate();
        if (TTreeNode* sel = Selected()) sel->MakeVisible();
    });
    BeginUpdate();
    updating = true;
    ClearTree();
    if (Application) Application->ProcessMessages();
    unsigned mask = GetDriveMask();
    FKnownDrives = mask;
    for (int i = 0; i < 26; ++i) {
        if (!((mask >> i) & 1u)) continue;
        std::string root = DriveRoot(static_cast<char>('A' + i));
        if (!AcceptDirPath(root)) continue;
        GiveDriveChildren(AddDriveNode(root, nullptr), root);
    }
}

TTreeNode* TDirTree::MakeDriveNode(const std::string& root, void* data, TTreeNode* before)
{
    std::string r = AddBackslash(root);
    char letter = r[0];
    SHFILEINFOA sfi{};
    {
        TCriticalErrorsOff quiet;
        SHGetFileInfoA(r.c_str(), 0, &sfi, sizeof sfi, SHGFI_SYSICONINDEX | SHGFI_DISPLAYNAME | SHGFI_SMALLICON);
    }
    TTreeNode* node = before ? Insert(before, "") : AddChild(nullptr, "");
    // A removable drive keeps the shell's name so that building the tree never reads its medium.
    node->SetText(PlatformDriveType(DriveRoot(letter)) == DRIVE_REMOVABLE ? std::string(sfi.szDisplayName)
                                                                          : DriveLabel(letter));
    AttachEntry(node, r, data);
    SetNodeIcons(node, sfi.iIcon);
    return node;
}

TTreeNode* TDirTree::AddDriveNode(const std::string& root, void* data)
{
    return MakeDriveNode(root, data, nullptr);
}

TTreeNode* TDirTree::InsertDriveNode(const std::string& root, void* data)
{
    std::string key = DriveRoot(UpperLetter(AddBackslash(root)[0]));
    TTreeNode* before = nullptr;
    for (TTreeNode* n = GetFirstNode(); n; n = n->GetNextSibling()) {
        TDirEntry* e = EntryOf(n);
        if (!e) break;
        if (e->Path > key) {
            before = n;
            break;
        }
    }
    return MakeDriveNode(root, data, before);
}

int TDirTree::ReadSerial(char letter, std::string* caption)
{
    std::string root = DriveRoot(UpperLetter(letter));
    std::string name;
    DWORD serial = 0;
    bool ok = PlatformVolumeInfo(root, name, serial);
    if (caption) {
        *caption = VolumeCaption(ok, name, letter);
        UINT t = PlatformDriveType(root);
        if (t == DRIVE_REMOVABLE || t == DRIVE_REMOTE) {
            TCriticalErrorsOff quiet;
            SHFILEINFOA sfi{};
            *caption = SHGetFileInfoA(root.c_str(), 0, &sfi, sizeof sfi, SHGFI_DISPLAYNAME) ? sfi.szDisplayName : "";
        }
    }
    return ok ? static_cast<int>(serial) : -1;
}

std::string TDirTree::DriveLabel(char letter)
{
    std::string caption;
    FVolumeSerials[LetterIndex(letter)] = ReadSerial(letter, &caption);
    return caption;
}

int TDirTree::VolumeSerial(char letter)
{
    return ReadSerial(letter, nullptr);
}

// --- entries and icons ---

void TDirTree::AttachEntry(TTreeNode* node, const std::string& path, void* data)
{
    if (!node) return;
    auto entry = new TDirEntry;
    entry->Path = AnsiUpper(path);
    entry->DiskPath = path;
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

void TDirTree::NodeDeletion(TObject*, TTreeNode* node)
{
    FreeEntry(node);
    if (OnDeleteItem) OnDeleteItem(this, node);
}

void TDirTree::ClearTree()
{
    LockChange();
    bool window = HandleAllocated();
    if (window) BeginUpdate();
    try {
        for (TTreeNode* node : AllNodes()) FreeEntry(node);
        ClearNodes();
    } catch (...) {
        // A failing deletion handler must not leave the selection handling switched off for good.
        FChangeLock = std::min(FChangeLock + 1, 0);
        if (window) EndUpdate();
        throw;
    }
    UnlockChange();
    if (window) EndUpdate();
}

void TDirTree::UnlockChange()
{
    FChangeLock = std::min(FChangeLock + 1, 0);
    if (FChangeLock == 0) SelectionChanged(Selected());
}

// --- filters and folder reading ---

bool TDirTree::AcceptDirPath(const std::string& path)
{
    bool accept = FGoBelowRecycleBin || RecycleBinAllows(path);
    if (accept && OnAddDir) OnAddDir(this, path, accept);
    return accept;
}

bool TDirTree::FindStep(const std::string& path, const std::string& diskPath, TDirRec& rec, int& result, bool first,
                        bool handlers)
{
    if (handlers && OnFindDir) {
        OnFindDir(this, path, rec, result, first);
        return true;
    }
    bool ok;
    if (first) {
        rec = TDirRec{};
        HANDLE h = FindFirstFileA((diskPath + "*.*").c_str(), &rec.FindData);
        ok = h != INVALID_HANDLE_VALUE;
        if (ok) rec.FindHandle = h;
    } else {
        ok = FindNextFileA(rec.FindHandle, &rec.FindData) != FALSE;
    }
    if (!ok) {
        DWORD err = GetLastError();
        result = err ? static_cast<int>(err) : ERROR_NO_MORE_FILES;
        return false;
    }
    rec.Attr = static_cast<int>(rec.FindData.dwFileAttributes);
    rec.Name = rec.FindData.cFileName;
    rec.Data = nullptr;
    result = 0;
    return true;
}

void TDirTree::ReadSubDirs(TTreeNode* node)
{
    if (Designing() || !node) return;
    TDirEntry* e = EntryOf(node);
    if (!e || e->SubDirsRead) return;
    std::string path = e->Path, diskPath = e->DiskPath;
    struct TFound {
        std::string Name;
        void* Data;
        int Attr;
        std::string Key;
    };
    std::vector<TFound> found;
    DeleteChildren(node);
    e->SubDirsRead = true;
    TDirRec rec;
    rec.Data = e->Data;
    int result = 0;
    {
        TCriticalErrorsOff quiet;
        TFinally close([&] { CloseFind(rec.FindHandle); });
        FindStep(path, diskPath, rec, result, true);
        while (result == 0) {
            if ((rec.Attr & faDirectory) && rec.Name != "." && rec.Name != "..")
                if (AcceptDirPath(path + rec.Name + "\\") && AcceptDirAttr(rec.Attr))
                    found.push_back({rec.Name, rec.Data, rec.Attr, FolderSortKey(rec.Name)});
            rec.Data = e->Data;
            FindStep(path, diskPath, rec, result, false);
        }
    }
    std::stable_sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.Key < b.Key; });
    for (const TFound& f : found) AddFoundDir(node, path, f.Name, f.Data, f.Attr);
}

int TDirTree::ShellIcon(const std::string& path)
{
    SHFILEINFOA sfi{};
    SHGetFileInfoA(path.c_str(), 0, &sfi, sizeof sfi, SHGFI_SYSICONINDEX | SHGFI_DISPLAYNAME | SHGFI_SMALLICON);
    return sfi.iIcon;
}

TTreeNode* TDirTree::AddDirNode(TTreeNode* parent, const std::string& path, void* data)
{
    if (!parent) return nullptr;
    std::string p = AddBackslash(path);
    return AddFolderNode(parent, p, DiskName(p), data, ShellIcon(p));
}

// A folder just found by a search: its name is the file system's spelling already, and only a folder marked
// read-only or system can carry an icon of its own (desktop.ini); any other gets the plain folder icon
// without asking the shell, which reads the whole parent folder per question under some file systems.
TTreeNode* TDirTree::AddFoundDir(TTreeNode* parent, const std::string& path, const std::string& name, void* data,
                                 int attr)
{
    int icon = attr & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM)
                   ? ShellIcon(EntryOf(parent)->DiskPath + name + "\\")
                   : FClosedFolderIcon;
    return AddFolderNode(parent, path + name + "\\", name, data, icon);
}

TTreeNode* TDirTree::AddFolderNode(TTreeNode* parent, const std::string& path, const std::string& caption,
                                   void* data, int icon)
{
    // The icons go in with the node (SetNodeIcons then finds them set; the shell's open icon of any other is
    // asked for there), and the tree view asks NodeHasChildren for its expand button.
    int selected = icon == FClosedFolderIcon ? FOpenFolderIcon : -1;
    TTreeNode* node = AddChild(parent, caption, icon, selected, true);
    AttachEntry(node, path, data);
    if (TDirEntry* pe = EntryOf(parent)) {
        TDirEntry* e = EntryOf(node);
        e->DiskPath = pe->DiskPath + caption + "\\";
        e->ProbedRound = pe->ProbeRound;
    }
    SetNodeIcons(node, icon);
    return node;
}

void TDirTree::ProbeSubDirs(TTreeNode* node)
{
    if (Designing() || !node) return;
    TDirEntry* e = EntryOf(node);
    if (!e || e->SubDirsRead) return;
    // This is the folder's probe of its parent's current round: none is left for its row's display, which
    // would search again without the handlers.
    if (TDirEntry* pe = EntryOf(node->Parent())) e->ProbedRound = pe->ProbeRound;
    // An unread node that has a placeholder already needs no second one (every expansion probes again).
    if (node->HasChildren()) return;
    if (HasAcceptedSubDir(e, true)) AddChild(node, "");
}

// Whether an unread folder holds an accepted sub-folder; the search stops at the first. Without handlers
// it is the file system's search with the built-in filters alone.
bool TDirTree::HasAcceptedSubDir(TDirEntry* e, bool handlers)
{
    const bool finder = handlers && OnFindDir;
    const std::string path = e->Path;
    TDirRec rec;
    rec.Data = e->Data;
    int result = 0;
    TCriticalErrorsOff quiet;
    TFinally close([&] { CloseFind(rec.FindHandle); });
    FindStep(path, e->DiskPath, rec, result, true, handlers);
    if (finder) e->Data = rec.Data;
    while (result == 0) {
        if ((rec.Attr & faDirectory) && rec.Name != "." && rec.Name != "..") {
            std::string full = path + rec.Name + "\\";
            bool accept = handlers ? AcceptDirPath(full) : FGoBelowRecycleBin || RecycleBinAllows(full);
            if (accept && AcceptDirAttr(rec.Attr)) return true;
        }
        rec.Data = e->Data;
        FindStep(path, e->DiskPath, rec, result, false, handlers);
        if (finder) e->Data = rec.Data;
    }
    return false;
}

// The tree view asks for a folder row's expand button when it shows the row. A probe due since the parent's
// last expansion runs now, for this one folder: opening a folder of thousands of sub-folders searches only
// the rows on screen.
bool TDirTree::NodeHasChildren(TTreeNode* node)
{
    TDirEntry* e = EntryOf(node);
    if (e && !e->SubDirsRead && !Designing()) {
        TDirEntry* pe = EntryOf(node->Parent());
        if (pe && e->ProbedRound != pe->ProbeRound) {
            e->ProbedRound = pe->ProbeRound;
            // The probe that expansion would have made with no handler assigned. A placeholder left by an
            // earlier probe stays while the folder has sub-folders and goes when it has none.
            bool found = HasAcceptedSubDir(e, false);
            if (found && !node->HasChildren())
                AddChild(node, "");
            else if (!found && node->HasChildren())
                DeleteChildren(node);
        }
    }
    return node->HasChildren();
}

void TDirTree::ProbeChildren(TTreeNode* node)
{
    if (Designing() || !node) return;
    for (TTreeNode* child = node->GetFirstChild(); child; child = child->GetNextSibling()) ProbeSubDirs(child);
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
    int n = CountBackslashes(path);
    TBusyCursor busy;
    BeginUpdate();
    TFinally done([&] { EndUpdate(); });
    path = AnsiUpper(path);
    TTreeNode* found = nullptr;
    for (int i = 1; i <= n; ++i) {
        std::string level = PathLevel(path, i);
        TTreeNode* match = nullptr;
        for (TTreeNode* c = i == 1 ? GetFirstNode() : found->GetFirstChild(); c; c = c->GetNextSibling()) {
            TDirEntry* e = EntryOf(c);
            if (!e) break;
            if (lstrcmpiA(e->Path.c_str(), level.c_str()) == 0) {
                match = c;
                break;
            }
        }
        if (!match) return;
        if (!EntryOf(match)->SubDirsRead) ReadSubDirs(match);
        found = match;
    }
    if (found) {
        SetSelected(found);
        found->MakeVisible();
    }
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
    path = AddBackslash(path);
    int n = CountBackslashes(path);
    if (n == 0) return nullptr;
    TBusyCursor busy;
    path = AnsiUpper(path);
    TTreeNode* found = nullptr;
    for (int i = 1; i <= n; ++i) {
        std::string level = PathLevel(path, i);
        TTreeNode* match = nullptr;
        for (TTreeNode* c = i == 1 ? GetFirstNode() : found->GetFirstChild(); c; c = c->GetNextSibling()) {
            TDirEntry* e = EntryOf(c);
            if (!e) break;
            if (e->Path == level) {
                match = c;
                break;
            }
        }
        if (!match) return nullptr;
        found = match;
    }
    return found;
}

std::string TDirTree::DropTargetPath()
{
    TDirEntry* e = EntryOf(DropTarget());
    return e ? e->Path : std::string();
}

// --- behaviour: expansion, selection, click ---

bool TDirTree::CanExpand(TTreeNode* node)
{
    {
        TBusyCursor busy;
        ReadSubDirs(node);
        // A handler that sees the probes sees them at the expansion, as ever; otherwise each child is probed
        // when its row is next displayed (NodeHasChildren).
        if (OnFindDir || OnAddDir)
            ProbeChildren(node);
        else if (TDirEntry* e = EntryOf(node))
            ++e->ProbeRound;
    }
    return TCustomTreeView::CanExpand(node);
}

void TDirTree::SelectionChanged(TTreeNode* node)
{
    if (Destroying() || FChangeLock != 0) return;
    if (TDirEntry* e = EntryOf(node)) {
        char letter = e->Path[0];
        int s = VolumeSerial(letter);
        if (s != FVolumeSerials[LetterIndex(letter)]) {
            // The medium changed: refresh the drive's node. Deleting its children may move the
            // selection, which must not come back here half-way.
            node = FindPathNode(DriveRoot(letter));
            if (node) {
                LockChange();
                TFinally unlock([&] { ++FChangeLock; });
                ResetNode(node);
                node->SetText(DriveLabel(letter));
                // A readable medium gets its expand button; the reset's probe may have given it one already.
                if (s != -1 && !node->HasChildren()) AddChild(node, "");
            }
        }
    }
    if (TDirEntry* e = EntryOf(node)) {
        std::string p = AnsiUpper(e->Path);
        FLastPaths[LetterIndex(p[0])] = p;
    }
    TCustomTreeView::Change(node);
}

void TDirTree::Change(TTreeNode* node)
{
    SelectionChanged(node);
}

void TDirTree::TreeClick()
{
    TTreeNode* node = Selected();
    TDirEntry* e = EntryOf(node);
    if (!e) return;
    char letter = e->Path[0];
    if (VolumeSerial(letter) == FVolumeSerials[LetterIndex(letter)])
        TCustomTreeView::TreeClick();
    else
        SelectionChanged(node);  // the medium changed: refresh instead of reporting the click
}

void TDirTree::ResetNode(TTreeNode* node)
{
    if (!node) return;
    DeleteChildren(node);
    if (TDirEntry* e = EntryOf(node)) e->SubDirsRead = false;
    ProbeSubDirs(node);
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
        const std::string& remembered = FLastPaths[LetterIndex(e->Path[0])];
        OpenPath(remembered);
        if (SelectedPath() != remembered) {
            LockChange();
            {
                TFinally unlock([&] { ++FChangeLock; });
                SetSelected(chosen);
            }
            SelectionChanged(chosen);
        }
    } catch (...) {
        // the last fallback never fails the property change
    }
}

void TDirTree::SetDirTypes(TDirTypes value)
{
    if (value == FDirTypes) return;
    FDirTypes = value;
    if (!Loading()) Reload();
}

void TDirTree::SetGoBelowRecycleBin(bool value)
{
    if (value == FGoBelowRecycleBin) return;
    FGoBelowRecycleBin = value;
    if (!Loading()) Reload();
}

void TDirTree::SetDriveTypes(TDriveTypes value)
{
    if (value == FDriveTypes) return;
    FDriveTypes = value;
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
    --FChangeLock;
    BeginUpdate();
    {
        TFinally done([&] {
            ++FChangeLock;
            EndUpdate();
            RedrawWindow(FHandle, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        });
        unsigned mask = GetDriveMask();
        for (int i = 0; i < 26; ++i) {
            if (!((FKnownDrives >> i) & 1u) || ((mask >> i) & 1u)) continue;
            if (TTreeNode* node = FindPathNode(DriveRoot(static_cast<char>('A' + i)))) {
                ResetNode(node);
                node->Delete();
                changed = true;
            }
        }
        for (int i = 0; i < 26; ++i) {
            if (!((mask >> i) & 1u) || ((FKnownDrives >> i) & 1u)) continue;
            std::string root = DriveRoot(static_cast<char>('A' + i));
            GiveDriveChildren(InsertDriveNode(root, nullptr), root);
            changed = true;
        }
        FKnownDrives = mask;
    }
    if (changed) SelectionChanged(Selected());
    return changed;
}

void TDirTree::CheckMediaChange()
{
    for (char letter = 'Z'; letter >= 'A'; --letter) {
        // Letters without a drive node are passed over: they read as -1 and would end the scan early.
        TTreeNode* node = FindPathNode(DriveRoot(letter));
        if (!node) continue;
        int s = VolumeSerial(letter);
        if (s == FVolumeSerials[LetterIndex(letter)]) continue;
        ResetNode(node);
        node->SetText(DriveLabel(letter));
        if (s != -1 && !node->HasChildren()) AddChild(node, "");
        return;
    }
}

// --- share overlay ---

int TDirTree::ShareOverlayIndex(TTreeNode* node)
{
    TDirEntry* e = EntryOf(node);
    if (!e) return -1;
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

void TDirTree::WalkShareOverlay(TTreeNode* first, bool on)
{
    for (TTreeNode* n = first; n; n = n->GetNextSibling()) {
        TDirEntry* e = EntryOf(n);
        if (!e) break;
        n->SetOverlayIndex(ShareOverlayIndex(n));
        if (e->SubDirsRead) WalkShareOverlay(n->GetFirstChild(), on);
    }
}

void TDirTree::SetShowShareOverlay(bool value)
{
    if (value == FShowShareOverlay) return;
    FShowShareOverlay = value;
    if (!HandleAllocated()) return;
    if (value)
        WalkShareOverlay(GetFirstNode(), true);
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
    bool finished = false;
    TFinally release([&] {
        if (!finished) DragFinish(drop);
    });
    POINT pt{};
    if (!DragQueryPoint(drop, &pt)) return;
    TTreeNode* node = GetNodeAt(pt.x, pt.y);
    SetDropTarget(node);
    if (!node) return;
    TFinally unmark([&] { SetDropTarget(nullptr); });
    FDroppedFiles.clear();
    UINT n = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < n; ++i) {
        // Ask for each name's length first: a fixed buffer would cut long paths.
        UINT len = DragQueryFileA(drop, i, nullptr, 0);
        std::string name(len + 1, '\0');
        len = DragQueryFileA(drop, i, name.data(), len + 1);
        name.resize(len);
        FDroppedFiles.push_back(name);
    }
    DragFinish(drop);
    finished = true;
    if (OnDropFiles) {
        TShiftState shift = 0;
        if (GetKeyState(VK_SHIFT) < 0) shift |= ssShift;
        if (GetKeyState(VK_MENU) < 0) shift |= ssAlt;
        if (GetKeyState(VK_CONTROL) < 0) shift |= ssCtrl;
        OnDropFiles(this, pt.x, pt.y, DropTargetPath(), FDroppedFiles, shift);
    }
}

// --- window creation and destruction, owner hook ---

void TDirTree::CreateWnd()
{
    TCustomTreeView::CreateWnd();
    if (!Designing()) HookOwner();
    if (Designing()) ReadDrives();
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
    if (HandleAllocated() && !Designing()) DragAcceptFiles(FHandle, FALSE);
    FRestorePending = true;
    FSavedPath = SelectedPath();
    ClearTree();
    UnhookOwner();
    TCustomTreeView::DestroyWnd();
}

void TDirTree::HookOwner()
{
    auto* owner = dynamic_cast<TWinControl*>(Owner());
    if (!owner || owner == this || FOwnerWindow) return;
    HWND wnd = owner->Handle();
    if (GetWindowObject(wnd, kTreeKey)) return;  // another tree listens on this window already
    if (!GetWindowObject(wnd, kOldProcKey)) {
        auto old = reinterpret_cast<HANDLE>(GetWindowLongPtrA(wnd, GWLP_WNDPROC));
        SetWindowObject(wnd, kOldProcKey, old);
        SetWindowLongPtrA(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TDirTree::OwnerWindowHook));
    }
    // else: an earlier hook of ours is still in the chain (someone hooked after it); it serves again.
    SetWindowObject(wnd, kTreeKey, this);
    FOwnerWindow = wnd;
}

void TDirTree::UnhookOwner()
{
    HWND wnd = FOwnerWindow;
    if (!wnd) return;
    FOwnerWindow = nullptr;
    if (!IsWindow(wnd)) return;
    if (GetWindowObject(wnd, kTreeKey) == this) RemoveWindowObject(wnd, kTreeKey);
    // Only take the procedure back while it is still ours; a later hook keeps forwarding through it.
    if (GetWindowLongPtrA(wnd, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&TDirTree::OwnerWindowHook)) {
        SetWindowLongPtrA(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(GetWindowObject(wnd, kOldProcKey)));
        RemoveWindowObject(wnd, kOldProcKey);
    }
}

LRESULT CALLBACK TDirTree::OwnerWindowHook(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    auto* tree = static_cast<TDirTree*>(GetWindowObject(wnd, kTreeKey));
    auto old = reinterpret_cast<WNDPROC>(GetWindowObject(wnd, kOldProcKey));
    if (tree && msg == WM_DEVICECHANGE) {
        SafeCall([tree] { tree->DeviceChange(); });
        return 0;
    }
    if (tree && msg == WM_NCDESTROY) tree->UnhookOwner();
    if (old == &TDirTree::OwnerWindowHook) old = nullptr;  // never call ourselves
    return old ? CallWindowProcA(old, wnd, msg, wParam, lParam) : DefWindowProcA(wnd, msg, wParam, lParam);
}

void TDirTree::DeviceChange()
{
    --FChangeLock;
    {
        TFinally unlock([&] { ++FChangeLock; });
        if (!UpdateDrives()) CheckMediaChange();
    }
    SelectionChanged(Selected());
}

void TDirTree::WndProc(TMessage& Message)
{
    if (Message.Msg == WM_DESTROY) {
        // The window goes with its parent: its nodes are freed without selection reports.
        --FChangeLock;
        TFinally unlock([&] { ++FChangeLock; });
        TCustomTreeView::WndProc(Message);
        return;
    }
    if (Message.Msg == WM_DROPFILES) {
        DropFiles(reinterpret_cast<HDROP>(Message.WParam));
        Message.Result = 0;
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
