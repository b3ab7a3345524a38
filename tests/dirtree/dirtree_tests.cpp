// Folder-tree cases under Wine, with real folders and drive letters. run_dirtree_tests.sh links two drive
// letters to temporary folders (DIRTREE_R with the folder fixture, DIRTREE_S for a drive that comes and goes)
// and names them here.
#include <gtest/gtest.h>

#include <windows.h>
#include <dbt.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <tuple>

#include "controls/dirtree/DirTree.h"
#include "framework/Forms.h"
#include "framework/StandardClasses.h"
#include "framework/StdCtrls.h"
#include "tests/support/TestHarness.h"

namespace {

std::string Env(const char* name)
{
    char buf[1024];
    DWORD n = GetEnvironmentVariableA(name, buf, sizeof buf);
    return n > 0 && n < sizeof buf ? std::string(buf, n) : std::string();
}

char R = 'R', S = 'S';
std::string WorkDos;  // the fixture folder as a path on the Unix-root drive

std::string Upper(std::string s)
{
    CharUpperBuffA(s.data(), static_cast<DWORD>(s.size()));
    return s;
}

std::string Root(char letter) { return std::string(1, letter) + ":\\"; }

// Drive kinds and volumes that Wine cannot make for a drive added while its server runs.
struct TFakeDrive {
    UINT type = 0;  // 0: ask the platform
    bool present = false;  // in the drive mask without a link
    bool volumeFaked = false;
    bool readable = true;
    std::string label;
    DWORD serial = 0;
};
std::map<char, TFakeDrive> Fakes;
std::map<std::string, int> Searches;  // folder searches begun, by the folder's path as the file system spells it

class TFakeDrives : public TWinFolderSystem {
public:
    unsigned LogicalDrives() override
    {
        unsigned mask = TWinFolderSystem::LogicalDrives();
        for (auto& [letter, fake] : Fakes)
            if (fake.present) mask |= 1u << (letter - 'A');
        return mask;
    }
    unsigned DriveType(const std::string& root) override
    {
        auto it = Fakes.find(root[0]);
        return it != Fakes.end() && it->second.type ? it->second.type : TWinFolderSystem::DriveType(root);
    }
    bool VolumeInfo(const std::string& root, std::string& name, unsigned long& serial) override
    {
        auto it = Fakes.find(root[0]);
        if (it == Fakes.end() || !it->second.volumeFaked) return TWinFolderSystem::VolumeInfo(root, name, serial);
        name = it->second.label;
        serial = it->second.serial;
        return it->second.readable;
    }
    int FindStep(const std::string& folder, TDirRec& rec, bool first) override
    {
        if (first) ++Searches[folder];
        return TWinFolderSystem::FindStep(folder, rec, first);
    }
};

class TTestTree : public TDirTree {
public:
    explicit TTestTree(TComponent* AOwner) : TDirTree(AOwner, std::make_unique<TFakeDrives>()) {}
    using TDirTree::FindPathNode;
    using TDirTree::Model;
    using TDirTree::ReadDrives;
    using TDirTree::ShareOverlayIndex;
    using TDirTree::TreeClick;

    int InChildCallback = 0;  // while the tree view asks a row's expand button

protected:
    bool NodeHasChildren(TTreeNode* node) override
    {
        ++InChildCallback;
        bool has = TDirTree::NodeHasChildren(node);
        --InChildCallback;
        return has;
    }
};

class TTestForm : public TForm {
public:
    TTestForm() : TForm(nullptr)
    {
        Publish<TNotifyEvent>("DirTree1Click", [this](TObject*) {
            ++Clicks;
            Edit1->SetText(DirTree1->SelectedPath());
        });
        Field("DirTree1", DirTree1);
        Field("Edit1", Edit1);
    }
    void WndProc(TMessage& Message) override
    {
        if (Message.Msg == WM_DEVICECHANGE) ++OwnerDeviceChanges;
        TForm::WndProc(Message);
    }
    TTestTree* DirTree1 = nullptr;
    TEdit* Edit1 = nullptr;
    int Clicks = 0;
    int OwnerDeviceChanges = 0;
};

// The tree's lines as the options window stores them.
const char* const kLayout = R"(
TTestForm Form1 {
  ClientWidth = 373
  ClientHeight = 295
  TTestTree DirTree1 {
    Width = 181
    Height = 295
    Align = alLeft
    ReadOnStart = True
    DirTypes = [dtNormal, dtAll]
    GoBelowRecycleBin = False
    FastLoad = False
    InitialDirectory = "C:\\"
    DriveTypes = [drtUnknown, drtRemovable, drtFixed, drtRemote, drtCDRom, drtRamDisk]
    ShowShareOverlay = False
    AcceptDropFiles = False
    ReadOnly = True
    HideSelection = False
    OnClick = DirTree1Click
  }
  TEdit Edit1 {
    Left = 186
    Top = 49
    Width = 180
    Height = 21
  }
}
)";

void Pump()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

// Paints the window, lets the rows follow what the paint probed, and paints what that changed.
void Paint(HWND wnd)
{
    UpdateWindow(wnd);
    Pump();
    UpdateWindow(wnd);
}

std::vector<std::string> Captions(TTreeNode* parent)
{
    std::vector<std::string> result;
    for (TTreeNode* c = parent->GetFirstChild(); c; c = c->GetNextSibling()) result.push_back(c->Text());
    return result;
}

std::vector<std::string> DrivePaths(TDirTree* tree)
{
    std::vector<std::string> result;
    for (TTreeNode* n = tree->GetFirstNode(); n; n = n->GetNextSibling())
        result.push_back(TDirTree::EntryOf(n) ? TDirTree::EntryOf(n)->Path : "<none>");
    return result;
}

bool IsPlaceholderOnly(TTreeNode* node)
{
    TTreeNode* c = node->GetFirstChild();
    return c && !c->Data() && c->Text().empty() && !c->GetNextSibling();
}

POINT NodePoint(TDirTree* tree, TTreeNode* node)
{
    node->MakeVisible();
    RECT rc{};
    TreeView_GetItemRect(tree->Handle(), node->ItemId(), &rc, TRUE);
    return POINT{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
}

// A real click: the tree runs its own mouse tracking and reports the click itself.
void ClickAt(TDirTree* tree, POINT pt)
{
    PostMessageA(tree->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(pt.x, pt.y));
    PostMessageA(tree->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(pt.x, pt.y));
    Pump();
}
void ClickNode(TDirTree* tree, TTreeNode* node) { ClickAt(tree, NodePoint(tree, node)); }

// A click on the node's expand button, as a user opens or closes it: unlike TVM_EXPAND, the tree asks
// before every opening, not only the first.
void ClickButton(TDirTree* tree, TTreeNode* node)
{
    RECT rc{};
    TreeView_GetItemRect(tree->Handle(), node->ItemId(), &rc, TRUE);
    TVHITTESTINFO hit{};
    hit.pt.y = (rc.top + rc.bottom) / 2;
    for (hit.pt.x = rc.left; hit.pt.x >= 0; --hit.pt.x)
        if (TreeView_HitTest(tree->Handle(), &hit) == node->ItemId() && (hit.flags & TVHT_ONITEMBUTTON)) break;
    ASSERT_GE(hit.pt.x, 0) << node->Text() << " shows no expand button";
    ClickAt(tree, hit.pt);
}

// Scrolls the list so that the node is its top row (as far as the list reaches), and paints it; settled, with
// the messages the paint left handled.
void ShowAtTop(TDirTree* tree, TTreeNode* node, bool settled = true)
{
    HWND wnd = tree->Handle();
    int row = 0;
    for (HTREEITEM item = TreeView_GetRoot(wnd); item && item != node->ItemId(); item = TreeView_GetNextVisible(wnd, item))
        ++row;
    SendMessageA(wnd, WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, row), 0);
    if (settled)
        Paint(wnd);
    else
        UpdateWindow(wnd);
}

// The tree's client area as the screen shows it.
struct TClientPixels {
    int W = 0, H = 0;
    std::vector<DWORD> Bits;  // top-down rows, 0x00RRGGBB
    DWORD At(int x, int y) const { return Bits[static_cast<std::size_t>(y) * W + x]; }
};

TClientPixels Capture(HWND wnd)
{
    TClientPixels shot;
    RECT rc;
    GetClientRect(wnd, &rc);
    shot.W = rc.right;
    shot.H = rc.bottom;
    HDC dc = GetDC(wnd);
    HDC mem = CreateCompatibleDC(dc);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = shot.W;
    bi.bmiHeader.biHeight = -shot.H;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(mem, bmp);
    BitBlt(mem, 0, 0, shot.W, shot.H, dc, 0, 0, SRCCOPY);
    GdiFlush();
    auto p = static_cast<const DWORD*>(bits);
    shot.Bits.assign(p, p + static_cast<std::size_t>(shot.W) * shot.H);
    SelectObject(mem, old);
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(wnd, dc);
    return shot;
}

// Whether the node's row shows an expand button: left of the icon only the button's box has solid edges,
// the tree's lines are dotted. The row must be on screen.
bool DrawsButton(const TClientPixels& shot, TDirTree* tree, TTreeNode* node)
{
    RECT text{};
    if (!TreeView_GetItemRect(tree->Handle(), node->ItemId(), &text, TRUE) || text.top < 0 || text.bottom > shot.H) {
        ADD_FAILURE() << node->Text() << " is not on screen";
        return false;
    }
    const int right = std::min<int>(text.left - 20, shot.W);  // the icon takes the 18 points before the text
    for (int y = text.top; y < text.bottom; ++y) {
        const DWORD back = shot.At(shot.W - 1, y);  // beyond the short captions
        int run = 0;
        for (int x = 1; x < right; ++x) {
            DWORD c = shot.At(x, y);
            run = c == back ? 0 : c == shot.At(x - 1, y) ? run + 1 : 1;
            if (run >= 7) return true;
        }
    }
    return false;
}

// The images the tree view itself holds for the node.
std::pair<int, int> ItemImages(TDirTree* tree, TTreeNode* node)
{
    TVITEMA item{};
    item.mask = TVIF_HANDLE | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    item.hItem = node->ItemId();
    SendMessageA(tree->Handle(), TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
    return {item.iImage, item.iSelectedImage};
}

// The small icons the shell shows for a folder, closed and open.
std::pair<int, int> ShellFolderImages(const std::string& path)
{
    SHFILEINFOA closed{}, open{};
    SHGetFileInfoA(path.c_str(), 0, &closed, sizeof closed, SHGFI_SYSICONINDEX | SHGFI_SMALLICON);
    SHGetFileInfoA(path.c_str(), 0, &open, sizeof open, SHGFI_SYSICONINDEX | SHGFI_SMALLICON | SHGFI_OPENICON);
    return {closed.iIcon, open.iIcon};
}

// Pages through the list from the top row to its end; check sees every row of each page once it is painted.
void ForEachShownRow(TDirTree* tree, const std::function<void(const TClientPixels&, TTreeNode*)>& check)
{
    HWND wnd = tree->Handle();
    RECT client;
    GetClientRect(wnd, &client);
    SendMessageA(wnd, WM_VSCROLL, SB_TOP, 0);
    for (HTREEITEM top = TreeView_GetFirstVisible(wnd);;) {
        Paint(wnd);
        TClientPixels shot = Capture(wnd);
        for (HTREEITEM item = top; item; item = TreeView_GetNextVisible(wnd, item)) {
            RECT rc{};
            if (!TreeView_GetItemRect(wnd, item, &rc, FALSE) || rc.bottom > client.bottom) break;
            check(shot, tree->NodeFromItem(item));
        }
        SendMessageA(wnd, WM_VSCROLL, SB_PAGEDOWN, 0);
        HTREEITEM next = TreeView_GetFirstVisible(wnd);
        if (next == top) break;
        top = next;
    }
}

// A folder of a few thousand sub-folders on R:. Every 13th child is hidden (Wine hides names that start
// with a dot); every 7th has a sub-folder, 3 after that one only a hidden sub-folder; some hold only a file.
struct TManyFolder {
    static constexpr int Count = 2000;
    std::string Path;  // with its trailing backslash
    std::map<std::string, std::string> Sub;  // child's name -> its one sub-folder; absent: none

    static std::string Name(int i)
    {
        char buf[16];
        snprintf(buf, sizeof buf, "%sm%04d", i % 13 == 1 ? "." : "", i);
        return buf;
    }
    void Create()
    {
        Path = Root(R) + "many\\";
        if (!CreateDirectoryA(Path.c_str(), nullptr)) return;  // made by an earlier case
        for (int i = 0; i < Count; ++i) {
            std::string child = Path + Name(i) + "\\";
            CreateDirectoryA(child.c_str(), nullptr);
            if (i % 7 == 0 || i % 7 == 3) {
                Sub[Name(i)] = i % 7 == 0 ? "sub" : ".h";
                CreateDirectoryA((child + Sub[Name(i)]).c_str(), nullptr);
            } else if (i % 11 == 5) {
                CloseHandle(CreateFileA((child + "f.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
            }
        }
        // Listed, but nothing below a recycle bin is.
        CreateDirectoryA((Path + "RECYCLER").c_str(), nullptr);
        CreateDirectoryA((Path + "RECYCLER\\x").c_str(), nullptr);
    }
    void SetSub(const std::string& child, const std::string& sub)
    {
        auto it = Sub.find(child);
        if (it != Sub.end()) RemoveDirectoryA((Path + child + "\\" + it->second).c_str());
        Sub.erase(child);
        if (sub.empty()) return;
        CreateDirectoryA((Path + child + "\\" + sub).c_str(), nullptr);
        Sub[child] = sub;
    }
    bool ShowsButton(const std::string& child) const { return Sub.count(child) != 0; }
};
TManyFolder Many;

void DefineDrive(char letter, bool present)
{
    std::string dev = std::string(1, letter) + ":";
    if (present)
        DefineDosDeviceA(0, dev.c_str(), (WorkDos + "\\" + static_cast<char>(letter | 0x20)).c_str());
    else
        DefineDosDeviceA(DDD_REMOVE_DEFINITION, dev.c_str(), nullptr);
}

bool InMask(char letter) { return (GetLogicalDrives() >> (letter - 'A')) & 1u; }

class DirTreeTest : public testing::Test {
protected:
    void SetUp() override
    {
        Fakes.clear();
        Searches.clear();
        SetCurrentDirectoryA(Root(R).c_str());
        form = std::make_unique<TTestForm>();
        form->InitLayoutFromText(kLayout);
        tree = form->DirTree1;
        ASSERT_NE(tree, nullptr);
    }
    void TearDown() override
    {
        // Handlers capture the test body's locals, which are gone by now.
        if (tree) {
            tree->OnDeleteItem = nullptr;
            tree->OnChange = nullptr;
            tree->OnAddDir = nullptr;
            tree->OnFindDir = nullptr;
            tree->OnDropFiles = nullptr;
            tree->OnExpanding = nullptr;
        }
        form.reset();
    }
    TTreeNode* Node(const std::string& path) { return tree->FindPathNode(path); }

    std::unique_ptr<TTestForm> form;
    TTestTree* tree = nullptr;
};

// Runs the registered cases with the application set up; the drives come from the wrapper script.
int RunCases(int argc, char** argv)
{
    setvbuf(stdout, nullptr, _IONBF, 0);
    testing::InitGoogleTest(&argc, argv);
    std::string r = Env("DIRTREE_R"), s = Env("DIRTREE_S");
    WorkDos = Env("DIRTREE_WORK_DOS");
    if (r.empty() || s.empty() || WorkDos.empty()) {
        fprintf(stderr, "run through run_dirtree_tests.sh (DIRTREE_R, DIRTREE_S, DIRTREE_WORK_DOS)\n");
        return 2;
    }
    R = static_cast<char>(toupper(r[0]));
    S = static_cast<char>(toupper(s[0]));
    // The server may have started before the links existed: make R: known and S: absent.
    if (!InMask(R)) DefineDrive(R, true);
    if (InMask(S)) DefineDrive(S, false);
    // Keep the pointer off the test windows: restoring the cursor moves it in place.
    SetCursorPos(1020, 760);
    TTestProgram program;
    program.RegisterClasses = [] {
        RegisterStandardClasses();
        RegisterDirTreeClasses();
        RegisterComponentClass<TTestTree>("TTestTree");
    };
    program.ErrorDisplayFails = true;  // no case here expects the error display
    TTestApplication application(program);
    int rc = RUN_ALL_TESTS();
    // The Wine server outlives this program: the letters must not stay behind for the programs run after it.
    DefineDrive(S, false);
    DefineDrive(R, false);
    return rc;
}

TEST_F(DirTreeTest, LoadsDrivesAndOpensPaths)
{
    // Layout values reached the control; the start-up folder is selected.
    EXPECT_EQ(tree->DirTypes(), DefaultDirTypes);
    EXPECT_EQ(tree->DriveTypes(), AllDriveTypes);
    EXPECT_TRUE(tree->ReadOnly());
    EXPECT_FALSE(tree->HideSelection());
    EXPECT_EQ(tree->SelectedPath(), "C:\\");
    std::vector<std::string> roots;  // the platform's, in letter order
    for (char letter = 'A'; letter <= 'Z'; ++letter)
        if (InMask(letter)) roots.push_back(Root(letter));
    EXPECT_EQ(DrivePaths(tree), roots);
    ASSERT_NE(Node(Root(R)), nullptr);
    char label[64] = {};
    const bool readable = GetVolumeInformationA(Root(R).c_str(), label, sizeof label, nullptr, nullptr, nullptr, nullptr, 0);
    EXPECT_EQ(Node(Root(R))->Text(), (readable ? std::string(label) + " (" : "(") + R + ":)");
    EXPECT_EQ(ItemImages(tree, Node(Root(R))), ShellFolderImages(Root(R)));  // the drive's own icons
    // A new initial folder is opened only while the tree is designed.
    tree->SetInitialDirectory(Root(R) + "gamma");
    EXPECT_EQ(tree->SelectedPath(), "C:\\");
    // A missing initial folder: the current directory is opened instead.
    std::string layout = kLayout;
    layout.replace(layout.find("\"C:\\\\\""), 6, "\"C:\\\\missing\"");
    SetCurrentDirectoryA((Root(R) + "gamma").c_str());
    {
        TTestForm other;
        other.InitLayoutFromText(layout);
        EXPECT_EQ(other.DirTree1->SelectedPath(), Root(R) + "GAMMA\\");
    }
    SetCurrentDirectoryA(Root(R).c_str());

    // Empty path: an error for the caller and nothing changes; "?" changes nothing.
    try {
        tree->OpenPath("");
        ADD_FAILURE() << "no exception";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "Invalid Path Name");
    }
    EXPECT_EQ(tree->SelectedPath(), "C:\\");
    tree->OpenPath("?");
    EXPECT_EQ(tree->SelectedPath(), "C:\\");

    // Lower case: the node keeps the file system's spelling, the path comes back upper case.
    std::string lower = std::string(1, static_cast<char>(R | 0x20)) + ":\\mixedcase";
    tree->OpenPath(lower);
    ASSERT_NE(tree->Selected(), nullptr);
    EXPECT_EQ(tree->Selected()->Text(), "MixedCase");
    EXPECT_EQ(tree->SelectedPath(), Root(R) + "MIXEDCASE\\");
    // The target's own sub-folders were read.
    EXPECT_EQ(Captions(tree->Selected()), std::vector<std::string>({"deep"}));
    // Searches below it use the file system's spelling; a plain folder shows the folder icons.
    EXPECT_EQ(TDirTree::EntryOf(tree->Selected())->DiskPath, Root(R) + "MixedCase\\");
    EXPECT_EQ(TDirTree::EntryOf(tree->Selected()->GetFirstChild())->DiskPath, Root(R) + "MixedCase\\deep\\");
    EXPECT_EQ(ItemImages(tree, tree->Selected()), ShellFolderImages(Root(R) + "MixedCase\\"));

    // A missing path selects the current directory's drive root.
    tree->OpenPath(Root(R) + "no such folder");
    EXPECT_EQ(tree->SelectedPath(), Root(R));

    // Nothing below a recycle bin is in the tree, at any depth.
    tree->OpenPath(Root(R) + "BACKUP\\RECYCLED\\OLD");
    EXPECT_EQ(tree->SelectedPath(), Root(R));  // OLD is not in the tree: the selection stays
    ASSERT_NE(Node(Root(R) + "BACKUP\\RECYCLED\\"), nullptr);
    EXPECT_FALSE(Node(Root(R) + "BACKUP\\RECYCLED\\")->HasChildren());
    tree->OpenPath(Root(R) + "BACKUP\\RECYCLED");
    tree->SetGoBelowRecycleBin(true);
    EXPECT_EQ(tree->SelectedPath(), Root(R) + "BACKUP\\RECYCLED\\");  // re-selected after the rebuild
    EXPECT_NE(Node(Root(R) + "BACKUP\\RECYCLED\\OLD\\"), nullptr);

    // Expanding a folder reads it; each child is probed when its row is first shown. Until then a child with
    // sub-folders has no placeholder; once shown it has, as if probed at the expansion.
    tree->OpenPath(lower);
    TTreeNode* mixed = Node(Root(R) + "MIXEDCASE\\");
    ASSERT_NE(mixed, nullptr);
    mixed->Expand();
    EXPECT_TRUE(mixed->Expanded());
    TTreeNode* deep = Node(Root(R) + "MIXEDCASE\\DEEP\\");
    ASSERT_NE(deep, nullptr);
    EXPECT_FALSE(deep->HasChildren());  // the window is hidden
    EXPECT_EQ(deep->Count(), 0);
    // A handler assigned after the expansion sees none of its probes: they are the ones that expansion made.
    std::vector<std::string> late;
    tree->OnAddDir = [&](TObject*, const std::string& path, bool&) { late.push_back(path); };
    form->Show();
    deep->MakeVisible();
    Paint(tree->Handle());
    tree->OnAddDir = nullptr;
    EXPECT_TRUE(late.empty());
    EXPECT_TRUE(IsPlaceholderOnly(deep));
    EXPECT_EQ(deep->Count(), 1);
    EXPECT_TRUE(DrawsButton(Capture(tree->Handle()), tree, deep));
    EXPECT_FALSE(DrawsButton(Capture(tree->Handle()), tree, Node(Root(R) + "ALPHA\\")));
    EXPECT_EQ(ItemImages(tree, deep), ShellFolderImages(Root(R) + "MixedCase\\deep\\"));
    deep->Expand();
    EXPECT_EQ(Captions(deep), std::vector<std::string>({"deeper"}));

    // A selection is reported and remembered for its drive; the arrow keys move it like any other move.
    std::vector<TTreeNode*> reported;
    tree->OnChange = [&](TObject*, TTreeNode* n) { reported.push_back(n); };
    tree->OpenPath(Root(R) + "gamma");
    EXPECT_EQ(reported, std::vector<TTreeNode*>{Node(Root(R) + "GAMMA\\")});
    EXPECT_EQ(tree->Model().LastPath(R), Root(R) + "GAMMA\\");
    tree->OpenPath(Root(R) + "alpha");
    reported.clear();
    SendMessageA(tree->Handle(), WM_KEYDOWN, VK_DOWN, 1);
    EXPECT_EQ(reported, std::vector<TTreeNode*>{Node(Root(R) + "ALPHA\\")->GetNextSibling()});
    tree->OnChange = nullptr;

    // A folder marked system may carry an icon of its own (desktop.ini): it shows what the shell gives.
    const std::string marked = Root(R) + "marked";
    ASSERT_TRUE(CreateDirectoryA(marked.c_str(), nullptr));
    ASSERT_TRUE(SetFileAttributesA(marked.c_str(), FILE_ATTRIBUTE_SYSTEM));
    ASSERT_NE(GetFileAttributesA(marked.c_str()) & FILE_ATTRIBUTE_SYSTEM, 0u);
    if (FILE* ini = fopen((marked + "\\desktop.ini").c_str(), "w")) {
        fputs("[.ShellClassInfo]\nIconFile=C:\\windows\\system32\\shell32.dll\nIconIndex=15\n", ini);
        fclose(ini);
    }
    ASSERT_NE(ShellFolderImages(marked + "\\").first, tree->ClosedFolderIcon());
    tree->ReadDrives();
    tree->OpenPath(marked);
    ASSERT_EQ(tree->SelectedPath(), Root(R) + "MARKED\\");
    EXPECT_EQ(ItemImages(tree, tree->Selected()), ShellFolderImages(marked + "\\"));
    SetFileAttributesA(marked.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA((marked + "\\desktop.ini").c_str());
    RemoveDirectoryA(marked.c_str());
}

TEST_F(DirTreeTest, FiltersAndHooksRebuild)
{
    int deleted = 0;
    tree->OnDeleteItem = [&](TObject*, TTreeNode*) { ++deleted; };
    tree->OpenPath(Root(R) + ".hid\\inner");
    EXPECT_EQ(tree->SelectedPath(), Root(R) + ".HID\\INNER\\");

    // The same value again does nothing; a new value rebuilds and falls back to the drive root
    // when the selected folder no longer passes.
    deleted = 0;
    tree->SetDirTypes(DefaultDirTypes);
    EXPECT_EQ(deleted, 0);
    // The new value comes from a layout here; a set with a name the tree does not know changes nothing.
    TLayoutValue types;
    types.kind = TLayoutValue::kSet;
    types.Items = {"dtNormal", "dtBogus"};
    tree->SetProperty("DirTypes", types);
    EXPECT_EQ(tree->DirTypes(), DefaultDirTypes);
    EXPECT_EQ(deleted, 0);
    types.Items = {"dtNormal"};
    tree->SetProperty("DirTypes", types);
    EXPECT_EQ(tree->DirTypes(), 1u << dtNormal);
    EXPECT_GT(deleted, 0);
    EXPECT_EQ(tree->SelectedPath(), Root(R));
    EXPECT_EQ(Node(Root(R) + ".HID\\"), nullptr);
    // A folder below a hidden one cannot be opened; the levels above it were read.
    tree->OpenPath(Root(R) + "alpha");
    tree->OpenPath(Root(R) + ".hid\\inner");
    EXPECT_EQ(tree->SelectedPath(), Root(R) + "ALPHA\\");
    EXPECT_TRUE(TDirTree::EntryOf(Node(Root(R)))->SubDirsRead);
    tree->SetDirTypes(DefaultDirTypes);
    EXPECT_EQ(tree->SelectedPath(), Root(R) + "ALPHA\\");

    // FastLoad: every drive gets one placeholder without being looked at.
    tree->SetFastLoad(true);
    tree->ReadDrives();
    for (TTreeNode* n = tree->GetFirstNode(); n; n = n->GetNextSibling()) EXPECT_TRUE(IsPlaceholderOnly(n));
    // Reading a drive without accepted sub-folders leaves it without children.
    tree->OnAddDir = [&](TObject*, const std::string& path, bool& add) {
        if (path.size() > 3 && path[0] == R) add = false;
    };
    tree->OpenPath(Root(R));
    EXPECT_FALSE(Node(Root(R))->HasChildren());

    // OnAddDir refusing a drive root leaves that drive without a node.
    std::vector<std::string> seen;
    tree->OnAddDir = [&](TObject*, const std::string& path, bool& add) {
        seen.push_back(path);
        if (path == Root(R)) add = false;
    };
    tree->ReadDrives();
    EXPECT_EQ(Node(Root(R)), nullptr);
    EXPECT_NE(std::find(seen.begin(), seen.end(), "C:\\"), seen.end());
    tree->OnAddDir = nullptr;
    tree->SetFastLoad(false);
    tree->ReadDrives();
    tree->OpenPath(Root(R));

    // The Data that OnFindDir leaves with a folder goes with its node, also through the row's probe.
    static int marker;
    tree->OnFindDir = [&](TObject*, const std::string&, TDirRec& rec, int& result, bool first) {
        rec.Name = "zeta";
        rec.Attr = faDirectory;
        rec.Data = &marker;
        result = first ? 0 : ERROR_NO_MORE_FILES;
    };
    tree->OpenPath(Root(R) + "beta");
    tree->OnFindDir = nullptr;
    TTreeNode* zeta = Node(Root(R) + "BETA\\ZETA\\");
    ASSERT_NE(zeta, nullptr);
    EXPECT_EQ(TDirTree::EntryOf(zeta)->Data, &marker);
    form->Show();
    Node(Root(R) + "BETA\\")->Expand();
    zeta->MakeVisible();
    Paint(tree->Handle());
    EXPECT_EQ(TDirTree::EntryOf(zeta)->Data, &marker);
    form->Hide();

    // Every exit of a disk probe puts the caller's critical-error mode back, exits by exception too.
    SetErrorMode(SEM_NOOPENFILEERRORBOX);
    tree->OnAddDir = [](TObject*, const std::string&, bool&) { throw Exception("refused"); };
    EXPECT_THROW(tree->OpenPath(Root(R) + "MixedCase"), Exception);
    EXPECT_EQ(SetErrorMode(SEM_NOOPENFILEERRORBOX), static_cast<UINT>(SEM_NOOPENFILEERRORBOX));
    tree->OnAddDir = nullptr;
    tree->OpenPath("Q:\\surely\\missing");
    EXPECT_EQ(SetErrorMode(0), static_cast<UINT>(SEM_NOOPENFILEERRORBOX));

    // A folder of thousands, opened by its button: once a row has been shown its expand button and its
    // placeholder match the disk, hidden folders and the recycle-bin rule counted as in a read; a row not
    // shown yet has not been probed.
    Many.Create();
    tree->ReadDrives();  // R: was read before the folder was made
    form->SetPosition(poScreenCenter);
    form->Show();
    HWND wnd = tree->Handle();
    // No row comes or goes while the tree view asks for a row's expand button, which it does while it paints,
    // opens or deletes rows: the rows follow the probe once it has its answer.
    int rowChanges = 0, rowChangesInCallback = 0;
    TWindowHook rows;
    rows.Install(wnd, [&](UINT msg, WPARAM, LPARAM, LRESULT&) {
        if (msg == TVM_INSERTITEMA || msg == TVM_INSERTITEMW || msg == TVM_DELETEITEM)
            ++(tree->InChildCallback ? rowChangesInCallback : rowChanges);
        return false;
    });
    // The drives read again, then the folder selected, read but none of its children.
    auto freshMany = [&] {
        tree->ReadDrives();
        tree->OpenPath(Many.Path);
        return Node(Many.Path);
    };
    // Every child row of many, paged through, shows a button and a lone placeholder where wants says so.
    auto checkRows = [&](TTreeNode* many, const std::function<bool(const std::string&)>& wants) {
        std::set<TTreeNode*> shown;
        std::string wrong;
        int wrongRows = 0;
        ForEachShownRow(tree, [&](const TClientPixels& shot, TTreeNode* n) {
            if (n->Parent() != many) return;
            shown.insert(n);
            bool want = wants(n->Text());
            bool right = DrawsButton(shot, tree, n) == want && (want ? IsPlaceholderOnly(n) : !n->HasChildren());
            if (!right && ++wrongRows <= 12) wrong += " " + n->Text();  // a list short enough to read
        });
        EXPECT_EQ(wrongRows, 0) << wrong;
        EXPECT_EQ(static_cast<int>(shown.size()), many->Count());
    };
    auto onDisk = [](const std::string& name) { return Many.ShowsButton(name); };
    auto shows = [&](TTreeNode* n) { return DrawsButton(Capture(wnd), tree, n); };
    // Closed and opened again by its button: a new opening, as a user makes it.
    auto reopen = [&](TTreeNode* n) {
        ShowAtTop(tree, n);
        ClickButton(tree, n);
        ClickButton(tree, n);
    };
    // The first opening is OpenPath's, which opens the folder to show the target: its probes wait as well.
    tree->OpenPath(Many.Path + "m1000");
    EXPECT_EQ(tree->SelectedPath(), Upper(Many.Path) + "M1000\\");
    TTreeNode* many = Node(Many.Path);
    ASSERT_NE(many, nullptr);
    EXPECT_TRUE(many->Expanded());
    EXPECT_EQ(many->Count(), TManyFolder::Count + 1);
    std::vector<std::string> names = Captions(many);
    for (std::size_t i = 1; i < names.size(); ++i)
        EXPECT_LE(lstrcmpiA(names[i - 1].c_str(), names[i].c_str()), 0) << names[i - 1] << " before " << names[i];
    TTreeNode* distant = nullptr;
    for (TTreeNode* c = many->GetFirstChild(); c; c = c->GetNextSibling())
        if (Many.ShowsButton(c->Text())) distant = c;
    ASSERT_NE(distant, nullptr);
    EXPECT_FALSE(distant->HasChildren());
    EXPECT_EQ(distant->Count(), 0);
    checkRows(many, onDisk);

    // A folder that loses its only sub-folder and one that gains one: shown again they stay as they were
    // until the parent is opened again, then each shows the disk at its next display.
    TTreeNode* loses = Node(Many.Path + "M0007\\");
    TTreeNode* gains = Node(Many.Path + "M0002\\");
    ASSERT_TRUE(loses && gains);
    std::string distantName = distant->Text();
    Many.SetSub("m0007", "");
    Many.SetSub("m0002", "new");
    Many.SetSub(distantName, "");
    ShowAtTop(tree, gains);
    EXPECT_TRUE(shows(loses));
    EXPECT_FALSE(shows(gains));
    reopen(many);
    EXPECT_TRUE(IsPlaceholderOnly(distant));  // not shown since
    ShowAtTop(tree, gains);
    EXPECT_FALSE(shows(loses));
    EXPECT_FALSE(loses->HasChildren());
    EXPECT_TRUE(shows(gains));
    EXPECT_TRUE(IsPlaceholderOnly(gains));
    ShowAtTop(tree, distant);
    EXPECT_FALSE(shows(distant));
    EXPECT_FALSE(distant->HasChildren());
    // A folder read before is neither probed nor read again, by its row, its openings or a path through it:
    // it keeps the sub-folders it listed, nodes and all.
    tree->OpenPath(Many.Path + "m0021");
    TTreeNode* read = Node(Many.Path + "M0021\\");
    ASSERT_NE(read, nullptr);
    const int searches = Searches[Many.Path + "m0021\\"];
    TTreeNode* sub = read->GetFirstChild();
    Many.SetSub("m0021", "");
    reopen(many);
    ShowAtTop(tree, read);
    EXPECT_TRUE(shows(read));
    read->Expand();
    reopen(read);
    tree->OpenPath(Many.Path + "m0021");
    EXPECT_EQ(Captions(read), std::vector<std::string>({"sub"}));
    EXPECT_EQ(read->GetFirstChild(), sub);
    EXPECT_EQ(Searches[Many.Path + "m0021\\"], searches);
    // A folder read after its row's probe but before the rows follow the probe keeps what the read found.
    TTreeNode* raced = Node(Many.Path + "M0700\\");
    ASSERT_TRUE(raced && IsPlaceholderOnly(raced));
    Many.SetSub("m0700", "");
    reopen(many);
    ShowAtTop(tree, raced, false);  // the probe finds no sub-folder now
    Many.SetSub("m0700", "sub");
    tree->OpenPath(Many.Path + "m0700");
    Pump();
    EXPECT_EQ(Captions(raced), std::vector<std::string>({"sub"}));

    // Children left unshown by an opening without handlers, then probed by an OnFindDir handler at the next
    // opening, keep the handler's answer: their display searches no more, least of all the disk. The handler
    // gives every folder one sub-folder; only the recycle bin's is refused.
    many = freshMany();
    ASSERT_NE(many, nullptr);
    ShowAtTop(tree, many);
    ClickButton(tree, many);
    int finds = 0;
    tree->OnFindDir = [&](TObject*, const std::string&, TDirRec& rec, int& result, bool first) {
        ++finds;
        rec.Name = "v";
        rec.Attr = faDirectory;
        result = first ? 0 : ERROR_NO_MORE_FILES;
    };
    reopen(many);
    EXPECT_TRUE(many->Expanded());
    EXPECT_GT(finds, 0);
    const int findsAtOpening = finds;
    checkRows(many, [](const std::string& name) { return name != "RECYCLER"; });
    EXPECT_EQ(finds, findsAtOpening);
    tree->OnFindDir = nullptr;

    // With an OnAddDir handler every child is probed at the expansion, and the handler sees the probes then:
    // one per child that has a sub-folder (the rule refuses the bin's before asking); showing the rows asks
    // nothing more.
    std::vector<std::string> addCalls;
    tree->OnAddDir = [&](TObject*, const std::string& path, bool&) { addCalls.push_back(path); };
    many = freshMany();
    ASSERT_NE(many, nullptr);
    ShowAtTop(tree, many);
    addCalls.clear();
    std::size_t atRequest = 0;
    tree->OnExpanding = [&](TObject*, TTreeNode*, bool&) { atRequest = addCalls.size(); };
    ClickButton(tree, many);
    tree->OnExpanding = nullptr;
    EXPECT_EQ(atRequest, Many.Sub.size());
    EXPECT_EQ(addCalls.size(), atRequest);
    TTreeNode* stillDistant = Node(Many.Path + Upper(Many.Sub.rbegin()->first) + "\\");
    ASSERT_NE(stillDistant, nullptr);
    EXPECT_TRUE(IsPlaceholderOnly(stillDistant));  // probed without being shown
    checkRows(many, onDisk);
    EXPECT_EQ(addCalls.size(), atRequest);
    // The next opening probes the children that showed no sub-folder, but not one read since, though it has
    // gained a sub-folder.
    tree->OpenPath(Many.Path + "m0004");
    Many.SetSub("m0004", "new");
    addCalls.clear();
    reopen(many);
    EXPECT_EQ(addCalls, std::vector<std::string>());
    EXPECT_FALSE(Node(Many.Path + "M0004\\")->HasChildren());
    tree->OnAddDir = nullptr;

    rows.Remove();
    EXPECT_EQ(rowChangesInCallback, 0);
    EXPECT_GT(rowChanges, 0);

    // A tree without a window has nothing to read the drives into: it stays empty and gets no window.
    // Its properties are those of a new tree.
    TTestTree loose(nullptr);
    loose.ReadDrives();
    EXPECT_EQ(loose.GetFirstNode(), nullptr);
    EXPECT_FALSE(loose.HandleAllocated());
    EXPECT_EQ(std::vector<bool>({loose.ReadOnStart(), loose.FastLoad(), loose.GoBelowRecycleBin(), loose.HideSelection(),
                                 loose.ShowShareOverlay(), loose.AcceptDropFiles()}),
              std::vector<bool>({true, false, false, false, false, false}));
    EXPECT_EQ(loose.InitialDirectory(), Root(R));
}

TEST_F(DirTreeTest, DrivesComeAndGoThroughTheOwnerWindow)
{
    int changes = 0;
    std::vector<std::string> added;
    tree->OnChange = [&](TObject*, TTreeNode*) { ++changes; };
    tree->OnAddDir = [&](TObject*, const std::string& path, bool&) { added.push_back(path); };
    ASSERT_FALSE(InMask(S));

    // No drive changed: the notification still ends with the selection-change report.
    SendMessageA(form->Handle(), WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(form->OwnerDeviceChanges, 0);

    DefineDrive(S, true);
    ASSERT_TRUE(InMask(S));
    std::vector<std::string> before = DrivePaths(tree);
    changes = 0;
    added.clear();
    EXPECT_EQ(SendMessageA(form->Handle(), WM_DEVICECHANGE, DBT_DEVICEARRIVAL, 0), 0);
    std::vector<std::string> after = DrivePaths(tree);
    // In letter order among the others.
    std::vector<std::string> expected = before;
    expected.insert(std::upper_bound(expected.begin(), expected.end(), Root(S)), Root(S));
    EXPECT_EQ(after, expected);
    ASSERT_NE(Node(Root(S)), nullptr);
    EXPECT_TRUE(IsPlaceholderOnly(Node(Root(S))));  // fixed drive with a folder: probed
    EXPECT_EQ(std::find(added.begin(), added.end(), Root(S)), added.end());  // its folders are probed, the root is not asked
    EXPECT_EQ(changes, 1);

    DefineDrive(S, false);
    SendMessageA(form->Handle(), WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE, 0);
    EXPECT_EQ(Node(Root(S)), nullptr);
    EXPECT_EQ(DrivePaths(tree), before);
    EXPECT_EQ(form->OwnerDeviceChanges, 0);
    // Other messages still reach the owner.
    SendMessageA(form->Handle(), WM_NULL, 0, 0);

    // DriveTypes: excluding a kind deletes its nodes, including it again inserts them in letter order.
    Fakes[S] = TFakeDrive{DRIVE_CDROM, true, true, false, "", 0};
    tree->SetDriveTypes(AllDriveTypes & ~(1u << drtFixed));  // S joins as a CD-ROM without a disc
    ASSERT_NE(Node(Root(S)), nullptr);
    EXPECT_EQ(Node(Root(S))->Text(), "(" + std::string(1, S) + ":)");
    EXPECT_TRUE(IsPlaceholderOnly(Node(Root(S))));
    EXPECT_EQ(Node(Root(R)), nullptr);
    EXPECT_EQ(Node("C:\\"), nullptr);
    tree->SetDriveTypes(AllDriveTypes & ~(1u << drtCDRom));
    EXPECT_EQ(Node(Root(S)), nullptr);
    ASSERT_NE(Node(Root(R)), nullptr);
    EXPECT_EQ(DrivePaths(tree), before);
    // A kind excluded when nothing joins: its nodes go (A: too) and the selection change is reported once.
    Fakes['A'] = TFakeDrive{DRIVE_REMOVABLE, true, false, true, "", 0};
    tree->SetDriveTypes(AllDriveTypes);
    ASSERT_NE(Node("A:\\"), nullptr);
    changes = 0;
    tree->SetDriveTypes(AllDriveTypes & ~(1u << drtRemovable));
    EXPECT_EQ(Node("A:\\"), nullptr);
    EXPECT_EQ(changes, 1);
    Fakes.clear();

    // The tree destroyed with its window frees every node, one deletion notice each.
    int nodes = static_cast<int>(tree->AllNodes().size()), deleted = 0;
    tree->OnDeleteItem = [&](TObject*, TTreeNode*) { ++deleted; };
    form.reset();
    tree = nullptr;
    EXPECT_EQ(deleted, nodes);
}

TEST_F(DirTreeTest, MediaChangeRefreshesAndSwallowsOneClick)
{
    // Wine reads volume serials once per server start, so the volume of R: is played by the seam.
    Fakes[R] = TFakeDrive{0, false, true, true, "TAPES", 0x1111};
    form->Show();
    tree->ReadDrives();
    TTreeNode* r = Node(Root(R));
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->Text(), "TAPES (" + std::string(1, R) + ":)");

    tree->OpenPath(Root(R) + "gamma");
    TTreeNode* gamma = Node(Root(R) + "GAMMA\\");
    ASSERT_TRUE(gamma && gamma->Selected());
    ClickNode(tree, gamma);
    EXPECT_EQ(form->Clicks, 1);
    EXPECT_EQ(form->Edit1->Text(), Root(R) + "GAMMA\\");

    // The medium is exchanged without a device notice: the next click refreshes the drive only.
    Fakes[R].serial = 0x2222;
    Fakes[R].label = "";
    int deleted = 0;
    tree->OnDeleteItem = [&](TObject*, TTreeNode*) { ++deleted; };
    std::vector<TTreeNode*> changed;
    tree->OnChange = [&](TObject*, TTreeNode* n) { changed.push_back(n); };
    tree->TreeClick();
    EXPECT_EQ(form->Clicks, 1);
    EXPECT_GT(deleted, 0);
    r = Node(Root(R));
    EXPECT_EQ(r->Text(), " (" + std::string(1, R) + ":)");
    EXPECT_TRUE(IsPlaceholderOnly(r));
    ASSERT_FALSE(changed.empty());
    EXPECT_EQ(changed.back(), r);
    tree->OpenPath(Root(R) + "beta");
    ClickNode(tree, Node(Root(R) + "BETA\\"));
    EXPECT_EQ(form->Clicks, 2);
    EXPECT_EQ(form->Edit1->Text(), Root(R) + "BETA\\");

    // A device notice with no drive change catches an exchanged medium on a drive that has a node, selected
    // or not. This medium cannot be read, its folders neither: the drive gets no expand button.
    tree->OpenPath("C:\\");
    Fakes[R].serial = 0x3333;
    Fakes[R].readable = false;
    tree->OnFindDir = [](TObject*, const std::string&, TDirRec&, int& result, bool) { result = ERROR_NOT_READY; };
    SendMessageA(form->Handle(), WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0);
    EXPECT_EQ(Node(Root(R))->Text(), "(" + std::string(1, R) + ":)");
    EXPECT_FALSE(Node(Root(R))->HasChildren());
    tree->OnFindDir = nullptr;

    // A removable drive: the shell's name, one placeholder, refreshed at its first selection. A: is the last
    // letter a device notice looks at for an exchanged medium.
    Fakes['A'] = TFakeDrive{DRIVE_REMOVABLE, true, true, true, "STICK", 0x4444};
    tree->ReadDrives();
    TTreeNode* a = Node("A:\\");
    ASSERT_NE(a, nullptr);
    EXPECT_TRUE(IsPlaceholderOnly(a));
    changed.clear();
    tree->SetSelected(a);
    ASSERT_EQ(changed.size(), 1u);
    EXPECT_EQ(changed[0], Node("A:\\"));
    tree->OpenPath("C:\\");
    Fakes['A'].serial = 0x5555;
    SendMessageA(form->Handle(), WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0);
    EXPECT_EQ(tree->Model().RecordedSerial('A'), 0x5555);
    Fakes.clear();

    // The window destroyed with its owner's frees every node, one deletion notice each, and reports nothing.
    const int nodes = static_cast<int>(tree->AllNodes().size());
    deleted = 0;
    changed.clear();
    DestroyWindow(form->Handle());
    EXPECT_EQ(deleted, nodes);
    EXPECT_TRUE(changed.empty());
}

TEST_F(DirTreeTest, DroppedFilesAndWindowRecreation)
{
    form->Show();
    std::vector<std::tuple<std::string, TStrings, int>> drops;
    tree->OnDropFiles = [&](TObject*, int X, int Y, const std::string& dir, const TStrings& files, TShiftState shift) {
        EXPECT_EQ(shift, 0) << "no key is down";
        drops.emplace_back(dir, files, X);
    };
    tree->OpenPath(Root(R) + "alpha");
    TTreeNode* alpha = Node(Root(R) + "ALPHA\\");
    ASSERT_NE(alpha, nullptr);
    POINT on = NodePoint(tree, alpha);
    RECT client;
    GetClientRect(tree->Handle(), &client);
    POINT below{on.x, client.bottom - 2};
    ASSERT_EQ(tree->GetNodeAt(below.x, below.y), nullptr) << "the fixture needs empty space below the nodes";

    std::string base = WorkDos + "\\files\\";
    std::vector<std::string> names = {base + "one.txt", base + "two.wav", base + "three.doc"};
    auto makeDrop = [&](POINT pt) {
        std::string list;
        for (auto& n : names) list += n + '\0';
        list += '\0';
        HGLOBAL mem = GlobalAlloc(GHND, sizeof(DROPFILES) + list.size());
        auto df = static_cast<DROPFILES*>(GlobalLock(mem));
        df->pFiles = sizeof(DROPFILES);
        df->pt = pt;
        df->fNC = FALSE;
        df->fWide = FALSE;
        memcpy(reinterpret_cast<char*>(df) + sizeof(DROPFILES), list.data(), list.size());
        GlobalUnlock(mem);
        return reinterpret_cast<WPARAM>(mem);
    };
    // Not accepted: ignored, and the handle sent is not the tree's to free.
    WPARAM foreign = makeDrop(on);
    SendMessageA(tree->Handle(), WM_DROPFILES, foreign, 0);
    EXPECT_TRUE(drops.empty());
    EXPECT_NE(GlobalSize(reinterpret_cast<HGLOBAL>(foreign)), 0u) << "still allocated";
    GlobalFree(reinterpret_cast<HGLOBAL>(foreign));
    // A tree being designed keeps the setting but takes no drops, and probes nothing.
    tree->SetDesigning(true);
    tree->SetAcceptDropFiles(true);
    EXPECT_FALSE(GetWindowLongA(tree->Handle(), GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
    tree->SetDesigning(false);
    tree->SetAcceptDropFiles(true);
    EXPECT_TRUE(GetWindowLongA(tree->Handle(), GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
    EXPECT_EQ(SendMessageA(tree->Handle(), WM_DROPFILES, makeDrop(on), 0), 0) << "a handled drop answers 0";
    ASSERT_EQ(drops.size(), 1u);
    EXPECT_EQ(std::get<0>(drops[0]), Root(R) + "ALPHA\\");
    EXPECT_EQ(std::get<1>(drops[0]), names);
    EXPECT_EQ(std::get<2>(drops[0]), on.x);
    EXPECT_EQ(tree->DropTarget(), nullptr);  // the highlight is cleared again
    SendMessageA(tree->Handle(), WM_DROPFILES, makeDrop(below), 0);
    EXPECT_EQ(drops.size(), 1u);

    // Re-creating the window at run time brings the drives, the selection and the drop setting back.
    std::vector<std::string> drives = DrivePaths(tree);
    std::vector<TTreeNode*> reported;
    tree->OnChange = [&](TObject*, TTreeNode* n) { reported.push_back(n); };
    tree->RecreateWnd();
    tree->OnChange = nullptr;
    ASSERT_FALSE(reported.empty());
    EXPECT_EQ(reported.front(), nullptr);  // the cleared tree reports that nothing is selected
    EXPECT_EQ(DrivePaths(tree), drives);
    EXPECT_EQ(tree->SelectedPath(), Root(R) + "ALPHA\\");
    EXPECT_TRUE(tree->AcceptDropFiles());
    EXPECT_TRUE(GetWindowLongA(tree->Handle(), GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
    SendMessageA(form->Handle(), WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0);
    EXPECT_EQ(form->OwnerDeviceChanges, 0);

    // Share overlay: Wine shares nothing, so every node shows none; the shell folders get bound.
    tree->SetShowShareOverlay(true);
    for (TTreeNode* n : tree->AllNodes()) EXPECT_EQ(n->OverlayIndex(), -1);
    for (const char* path : {"", "ALPHA\\"}) {
        TDirEntry* e = TDirTree::EntryOf(Node(Root(R) + path));
        EXPECT_NE(e->ShellFolder.Get(), nullptr) << path;
        EXPECT_NE(e->ItemIdList.get(), nullptr) << path;
    }
    // A folder whose parent has no shell folder to ask gets no overlay.
    TDirTree::EntryOf(Node(Root(R)))->ShellFolder.Reset();
    EXPECT_EQ(tree->ShareOverlayIndex(Node(Root(R) + "ALPHA\\")), -1);
    tree->SetShowShareOverlay(false);
    for (TTreeNode* n : tree->AllNodes()) EXPECT_EQ(n->OverlayIndex(), -1);

    // The window destroyed on its own frees every node then, one deletion notice each, and the owner's device
    // notices reach the owner again.
    int nodes = static_cast<int>(tree->AllNodes().size()), deleted = 0;
    tree->OnDeleteItem = [&](TObject*, TTreeNode*) { ++deleted; };
    tree->DestroyHandle();
    EXPECT_EQ(deleted, nodes);
    tree->OnDeleteItem = nullptr;
    SendMessageA(form->Handle(), WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0);
    EXPECT_EQ(form->OwnerDeviceChanges, 1);
}

TEST(FolderSortKey, KeysOrderNamesAsTheLocaleComparesThemAtAnyLength)
{
    TWinFolderSystem system;
    // Keys of names this long overflow the first buffer and are made through the second request.
    const std::string run(700, 'a');
    const std::vector<std::string> names = {"beta", "Alpha", "alpha2", "ALPHA", "b", "\xC4rger", "zeta",
                                            run + "C", run + "b", run + "B", "m-n", "mn"};
    auto sign = [](int v) { return (v > 0) - (v < 0); };
    for (const std::string& x : names)
        for (const std::string& y : names)
            EXPECT_EQ(sign(system.SortKey(x).compare(system.SortKey(y))), sign(lstrcmpiA(x.c_str(), y.c_str())))
                << x.substr(0, 12) << " / " << y.substr(0, 12) << " (" << x.size() << ", " << y.size() << ")";
    EXPECT_GT(system.SortKey(run + "b").size(), 1024u) << "the long names must take the second request";
}

}  // namespace

int main(int argc, char** argv) { return RunCases(argc, argv); }
