// Folder tree under Wine. run_dirtree_tests.sh links two drive letters to temporary folders
// (DIRTREE_R with the folder fixture, DIRTREE_S for a drive that comes and goes) and names them here.
#include <gtest/gtest.h>

#include <windows.h>
#include <dbt.h>
#include <shlobj.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <tuple>
#include <cstdio>
#include <map>
#include <memory>
#include <set>

#include "controls/dirtree/DirTree.h"
#include "framework/Dialogs.h"
#include "framework/Forms.h"
#include "framework/StandardClasses.h"
#include "framework/StdCtrls.h"

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

class TTestTree : public TDirTree {
public:
    using TDirTree::TDirTree;
    using TDirTree::TreeClick;

protected:
    DWORD PlatformLogicalDrives() override
    {
        DWORD mask = TDirTree::PlatformLogicalDrives();
        for (auto& [letter, fake] : Fakes)
            if (fake.present) mask |= 1u << (letter - 'A');
        return mask;
    }
    UINT PlatformDriveType(const std::string& root) override
    {
        auto it = Fakes.find(root[0]);
        return it != Fakes.end() && it->second.type ? it->second.type : TDirTree::PlatformDriveType(root);
    }
    bool PlatformVolumeInfo(const std::string& root, std::string& name, DWORD& serial) override
    {
        auto it = Fakes.find(root[0]);
        if (it == Fakes.end() || !it->second.volumeFaked) return TDirTree::PlatformVolumeInfo(root, name, serial);
        name = it->second.label;
        serial = it->second.serial;
        return it->second.readable;
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
  Caption = "Tapewing"
  ClientWidth = 373
  ClientHeight = 295
  TTestTree DirTree1 {
    Left = 0
    Top = 0
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
    TabOrder = 1
    OnClick = DirTree1Click
  }
  TEdit Edit1 {
    Left = 186
    Top = 49
    Width = 180
    Height = 21
    ReadOnly = True
    TabOrder = 2
    Text = "C:\\"
  }
}
)";

// Progress marks on stderr: a crash under Wine loses everything else.
#define STEP(text) fprintf(stderr, "  step %d: %s\n", __LINE__, text)

void Pump()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
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
void ClickNode(TDirTree* tree, TTreeNode* node)
{
    POINT pt = NodePoint(tree, node);
    PostMessageA(tree->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(pt.x, pt.y));
    PostMessageA(tree->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(pt.x, pt.y));
    Pump();
}

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
    PostMessageA(tree->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(hit.pt.x, hit.pt.y));
    PostMessageA(tree->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(hit.pt.x, hit.pt.y));
    Pump();
}

// Scrolls the list so that the node is its top row (as far as the list reaches).
void ShowAtTop(TDirTree* tree, TTreeNode* node)
{
    HWND wnd = tree->Handle();
    int row = 0;
    for (HTREEITEM item = TreeView_GetRoot(wnd); item && item != node->ItemId(); item = TreeView_GetNextVisible(wnd, item))
        ++row;
    SendMessageA(wnd, WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, row), 0);
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

// The drive roots the platform reports, in letter order.
std::vector<std::string> PlatformDriveRoots()
{
    std::vector<std::string> roots;
    const DWORD mask = GetLogicalDrives();
    for (char letter = 'A'; letter <= 'Z'; ++letter)
        if ((mask >> (letter - 'A')) & 1u) roots.push_back(std::string(1, letter) + ":\\");
    return roots;
}

// Pages through the list from the top row to its end; check sees every row of each page once it is painted.
void ForEachShownRow(TDirTree* tree, const std::function<void(const TClientPixels&, TTreeNode*)>& check)
{
    HWND wnd = tree->Handle();
    RECT client;
    GetClientRect(wnd, &client);
    SendMessageA(wnd, WM_VSCROLL, SB_TOP, 0);
    for (HTREEITEM top = TreeView_GetFirstVisible(wnd);;) {
        UpdateWindow(wnd);
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

// Names a wrong row in a list kept short enough to read.
void NoteWrong(std::string& wrong, int& count, const std::string& name)
{
    if (++count <= 12) wrong += " " + name;
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
    bool ShowsButton(const std::string& child, bool hiddenListed, bool belowBin) const
    {
        if (child == "RECYCLER") return belowBin;
        auto it = Sub.find(child);
        return it != Sub.end() && (hiddenListed || it->second[0] != '.');
    }
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
        STEP("setup");
        Fakes.clear();
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
        STEP("teardown");
        form.reset();
        STEP("torn down");
    }
    TTreeNode* Node(const std::string& path) { return tree->FindPathNode(path); }

    std::unique_ptr<TTestForm> form;
    TTestTree* tree = nullptr;
};

TEST_F(DirTreeTest, LoadsDrivesAndOpensPaths)
{
    // Layout values reached the control; the start-up folder is selected.
    EXPECT_EQ(tree->DirTypes(), DefaultDirTypes);
    EXPECT_EQ(tree->DriveTypes(), AllDriveTypes);
    EXPECT_TRUE(tree->ReadOnly());
    EXPECT_FALSE(tree->HideSelection());
    EXPECT_EQ(tree->SelectedPath(), "C:\\");
    EXPECT_EQ(DrivePaths(tree), PlatformDriveRoots());
    ASSERT_NE(Node(Root(R)), nullptr);
    EXPECT_EQ(tree->KnownDrives() & (1u << (R - 'A')), 1u << (R - 'A'));

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
    EXPECT_EQ(tree->LastPaths(R), Root(R) + "MIXEDCASE\\");
    // The target's own sub-folders were read.
    EXPECT_EQ(Captions(tree->Selected()), std::vector<std::string>({"deep"}));
    // Searches below it use the file system's spelling; a plain folder shows the folder icons.
    EXPECT_EQ(TDirTree::EntryOf(tree->Selected())->DiskPath, Root(R) + "MixedCase\\");
    EXPECT_EQ(TDirTree::EntryOf(tree->Selected()->GetFirstChild())->DiskPath, Root(R) + "MixedCase\\deep\\");
    EXPECT_EQ(ItemImages(tree, tree->Selected()), ShellFolderImages(Root(R) + "MixedCase\\"));

    // A missing path selects the current directory's drive root.
    tree->OpenPath(Root(R) + "no such folder");
    EXPECT_EQ(tree->SelectedPath(), Root(R));

    // Sorted case-insensitively; recycle bins listed but nothing below them, at any depth.
    TTreeNode* r = Node(Root(R));
    std::vector<std::string> names = Captions(r), abc;
    for (auto& n : names)
        if (n == "alpha" || n == "Beta" || n == "gamma") abc.push_back(n);
    EXPECT_EQ(abc, std::vector<std::string>({"alpha", "Beta", "gamma"}));
    EXPECT_NE(std::find(names.begin(), names.end(), "RECYCLED"), names.end());
    tree->ProbeChildren(r);
    TTreeNode* bin = Node(Root(R) + "RECYCLED\\");
    ASSERT_NE(bin, nullptr);
    EXPECT_FALSE(bin->HasChildren());  // OLD is below the bin
    EXPECT_TRUE(IsPlaceholderOnly(Node(Root(R) + "BACKUP\\")));
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
    UpdateWindow(tree->Handle());
    tree->OnAddDir = nullptr;
    EXPECT_TRUE(late.empty());
    EXPECT_TRUE(IsPlaceholderOnly(deep));
    EXPECT_EQ(deep->Count(), 1);
    EXPECT_TRUE(DrawsButton(Capture(tree->Handle()), tree, deep));
    EXPECT_FALSE(DrawsButton(Capture(tree->Handle()), tree, Node(Root(R) + "ALPHA\\")));
    EXPECT_EQ(ItemImages(tree, deep), ShellFolderImages(Root(R) + "MixedCase\\deep\\"));
    deep->Expand();
    EXPECT_EQ(Captions(deep), std::vector<std::string>({"deeper"}));
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
    tree->SetDirTypes(1u << dtNormal);
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
    tree->ReadSubDirs(Node(Root(R)));
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

    // OnFindDir replaces the search; the Data it leaves becomes the child's Data.
    static int marker[2];
    std::vector<std::pair<std::string, bool>> calls;
    tree->OnFindDir = [&](TObject*, const std::string& path, TDirRec& rec, int& result, bool first) {
        calls.emplace_back(path, first);
        static const char* names[] = {"zeta", "File", "Eta"};
        static int i;
        if (first) i = 0;
        if (i == 3) {
            result = 18;
            return;
        }
        rec.Name = names[i];
        rec.Attr = i == 1 ? 0x20 : 0x10;
        rec.Data = i == 0 ? &marker[0] : nullptr;
        ++i;
        result = 0;
    };
    TTreeNode* beta = Node(Root(R) + "BETA\\");
    ASSERT_NE(beta, nullptr);
    tree->ReadSubDirs(beta);
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls[0], std::make_pair(Root(R) + "BETA\\", true));
    EXPECT_FALSE(calls.back().second);
    EXPECT_EQ(Captions(beta), std::vector<std::string>({"Eta", "zeta"}));  // sorted, the file left out
    EXPECT_EQ(TDirTree::EntryOf(Node(Root(R) + "BETA\\ZETA\\"))->Data, &marker[0]);
    EXPECT_EQ(TDirTree::EntryOf(Node(Root(R) + "BETA\\ETA\\"))->Data, nullptr);
    tree->OnFindDir = nullptr;
    tree->ResetNode(Node(Root(R) + "GAMMA\\"));
    tree->ReadSubDirs(Node(Root(R) + "GAMMA\\"));
    for (TTreeNode* c = Node(Root(R) + "GAMMA\\")->GetFirstChild(); c; c = c->GetNextSibling())
        EXPECT_EQ(TDirTree::EntryOf(c)->Data, nullptr);
    // Probed when its row is shown or directly, a folder keeps the Data the handler gave it.
    form->Show();
    beta->Expand();
    Node(Root(R) + "BETA\\ZETA\\")->MakeVisible();
    UpdateWindow(tree->Handle());
    EXPECT_EQ(TDirTree::EntryOf(Node(Root(R) + "BETA\\ZETA\\"))->Data, &marker[0]);
    tree->ProbeChildren(beta);
    EXPECT_EQ(TDirTree::EntryOf(Node(Root(R) + "BETA\\ZETA\\"))->Data, &marker[0]);
    form->Hide();

    // Every exit of a disk probe puts the caller's critical-error mode back, exits by exception too.
    SetErrorMode(SEM_NOOPENFILEERRORBOX);
    tree->OnAddDir = [](TObject*, const std::string&, bool&) { throw Exception("refused"); };
    EXPECT_THROW(tree->ReadSubDirs(Node(Root(R) + "MIXEDCASE\\")), Exception);
    EXPECT_EQ(SetErrorMode(SEM_NOOPENFILEERRORBOX), static_cast<UINT>(SEM_NOOPENFILEERRORBOX));
    tree->OnAddDir = nullptr;
    tree->OpenPath("Q:\\surely\\missing");
    tree->GetDriveMask();
    EXPECT_EQ(SetErrorMode(0), static_cast<UINT>(SEM_NOOPENFILEERRORBOX));

    // A folder of thousands, opened by its button: once a row has been shown its expand button and its
    // placeholder match the disk, hidden folders and the recycle-bin rule counted as in a read; a row not
    // shown yet has not been probed.
    STEP("many");
    Many.Create();
    tree->ReadDrives();  // R: was read before the folder was made
    form->SetPosition(poScreenCenter);
    form->Show();
    HWND wnd = tree->Handle();
    auto openMany = [&] {
        tree->OpenPath(Many.Path);
        TTreeNode* many = Node(Many.Path);
        EXPECT_NE(many, nullptr);
        if (many && !many->Expanded()) {
            ShowAtTop(tree, many);
            ClickButton(tree, many);
        }
        return many;
    };
    auto lastWithButton = [&](TTreeNode* many, bool hiddenListed) {
        TTreeNode* last = nullptr;
        for (TTreeNode* c = many->GetFirstChild(); c; c = c->GetNextSibling())
            if (Many.ShowsButton(c->Text(), hiddenListed, false)) last = c;
        return last;
    };
    auto checkRows = [&](TTreeNode* many, bool hiddenListed) {
        std::set<TTreeNode*> shown;
        std::string wrong;
        int wrongRows = 0;
        ForEachShownRow(tree, [&](const TClientPixels& shot, TTreeNode* n) {
            if (n->Parent() != many) return;
            shown.insert(n);
            bool want = Many.ShowsButton(n->Text(), hiddenListed, false);
            if (DrawsButton(shot, tree, n) != want || (want ? !IsPlaceholderOnly(n) : n->HasChildren()))
                NoteWrong(wrong, wrongRows, n->Text());
        });
        EXPECT_EQ(wrongRows, 0) << wrong;
        EXPECT_EQ(static_cast<int>(shown.size()), many->Count());
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
    TTreeNode* distant = lastWithButton(many, true);
    ASSERT_NE(distant, nullptr);
    EXPECT_FALSE(distant->HasChildren());
    EXPECT_EQ(distant->Count(), 0);
    checkRows(many, true);

    // A folder that loses its only sub-folder and one that gains one: shown again they stay as they were
    // until the parent is opened again, then each shows the disk at its next display.
    STEP("gain and lose");
    TTreeNode* loses = Node(Many.Path + "M0007\\");
    TTreeNode* gains = Node(Many.Path + "M0002\\");
    ASSERT_TRUE(loses && gains);
    std::string distantName = distant->Text();
    Many.SetSub("m0007", "");
    Many.SetSub("m0002", "new");
    Many.SetSub(distantName, "");
    ShowAtTop(tree, gains);
    EXPECT_TRUE(DrawsButton(Capture(wnd), tree, loses));
    EXPECT_FALSE(DrawsButton(Capture(wnd), tree, gains));
    ShowAtTop(tree, many);
    ClickButton(tree, many);
    ClickButton(tree, many);
    EXPECT_TRUE(IsPlaceholderOnly(distant));  // not shown since
    ShowAtTop(tree, gains);
    EXPECT_FALSE(DrawsButton(Capture(wnd), tree, loses));
    EXPECT_FALSE(loses->HasChildren());
    EXPECT_TRUE(DrawsButton(Capture(wnd), tree, gains));
    EXPECT_TRUE(IsPlaceholderOnly(gains));
    ShowAtTop(tree, distant);
    EXPECT_FALSE(DrawsButton(Capture(wnd), tree, distant));
    EXPECT_FALSE(distant->HasChildren());
    // A folder read before is not probed again: it keeps the sub-folders it listed.
    tree->OpenPath(Many.Path + "m0021");
    TTreeNode* read = Node(Many.Path + "M0021\\");
    ASSERT_NE(read, nullptr);
    Many.SetSub("m0021", "");
    ShowAtTop(tree, many);
    ClickButton(tree, many);
    ClickButton(tree, many);
    ShowAtTop(tree, read);
    EXPECT_TRUE(DrawsButton(Capture(wnd), tree, read));
    EXPECT_EQ(Captions(read), std::vector<std::string>({"sub"}));

    // Hidden folders filtered out: not listed, and a folder whose only sub-folder is hidden shows no button.
    STEP("hidden filtered");
    tree->SetDirTypes(1u << dtNormal);
    many = openMany();
    ASSERT_NE(many, nullptr);
    for (const std::string& name : Captions(many)) EXPECT_NE(name[0], '.') << name;
    checkRows(many, false);
    tree->SetDirTypes(DefaultDirTypes);

    // Below a recycle bin nothing is listed; with GoBelowRecycleBin its sub-folder gives it a button.
    tree->SetGoBelowRecycleBin(true);
    many = openMany();
    ASSERT_NE(many, nullptr);
    TTreeNode* bin = Node(Many.Path + "RECYCLER\\");
    ASSERT_NE(bin, nullptr);
    bin->MakeVisible();
    UpdateWindow(wnd);
    EXPECT_TRUE(DrawsButton(Capture(wnd), tree, bin));
    EXPECT_TRUE(IsPlaceholderOnly(bin));
    tree->SetGoBelowRecycleBin(false);

    // Children left unshown by an opening without handlers, then probed by an OnFindDir handler at the next
    // opening, keep the handler's answer: their display searches no more, least of all the disk. The handler
    // gives every folder one sub-folder; only the recycle bin's is refused.
    STEP("finder after deferred probes");
    many = openMany();
    ASSERT_NE(many, nullptr);
    int finds = 0;
    tree->OnFindDir = [&](TObject*, const std::string&, TDirRec& rec, int& result, bool first) {
        ++finds;
        static int i;
        if (first) i = 0;
        if (i == 1) {
            result = 18;
            return;
        }
        rec.Name = "v";
        rec.Attr = 0x10;
        ++i;
        result = 0;
    };
    ShowAtTop(tree, many);
    ClickButton(tree, many);
    ClickButton(tree, many);
    EXPECT_TRUE(many->Expanded());
    EXPECT_GT(finds, 0);
    const int findsAtOpening = finds;
    std::string wrong;
    int wrongRows = 0;
    ForEachShownRow(tree, [&](const TClientPixels& shot, TTreeNode* n) {
        if (n->Parent() != many) return;
        bool want = n->Text() != "RECYCLER";
        if (DrawsButton(shot, tree, n) != want || want != IsPlaceholderOnly(n)) NoteWrong(wrong, wrongRows, n->Text());
    });
    EXPECT_EQ(wrongRows, 0) << wrong;
    EXPECT_EQ(finds, findsAtOpening);
    tree->OnFindDir = nullptr;

    // With an OnAddDir handler every child is probed at the expansion, and the handler sees exactly those
    // probes then: one per child that has a sub-folder (the rule refuses the bin's before asking); showing the
    // rows asks nothing more.
    STEP("eager");
    std::vector<std::string> addCalls;
    tree->OnAddDir = [&](TObject*, const std::string& path, bool&) { addCalls.push_back(path); };
    tree->ReadDrives();
    tree->OpenPath(Many.Path);
    many = Node(Many.Path);
    ASSERT_NE(many, nullptr);
    ShowAtTop(tree, many);
    addCalls.clear();
    std::size_t atRequest = 0;
    tree->OnExpanding = [&](TObject*, TTreeNode*, bool&) { atRequest = addCalls.size(); };
    ClickButton(tree, many);
    tree->OnExpanding = nullptr;
    std::vector<std::string> probes;
    for (const auto& [child, sub] : Many.Sub) probes.push_back(Upper(Many.Path + child + "\\") + sub + "\\");
    std::sort(probes.begin(), probes.end());
    std::vector<std::string> asked(addCalls.begin(), addCalls.begin() + static_cast<std::ptrdiff_t>(atRequest));
    std::sort(asked.begin(), asked.end());
    EXPECT_EQ(asked, probes);
    EXPECT_EQ(addCalls.size(), atRequest);
    TTreeNode* stillDistant = Node(Many.Path + Upper(Many.Sub.rbegin()->first) + "\\");
    ASSERT_NE(stillDistant, nullptr);
    EXPECT_TRUE(IsPlaceholderOnly(stillDistant));  // probed without being shown
    checkRows(many, true);
    EXPECT_EQ(addCalls.size(), atRequest);
    tree->OnAddDir = nullptr;
}

TEST_F(DirTreeTest, DrivesComeAndGoThroughTheOwnerWindow)
{
    int changes = 0;
    std::vector<std::string> added;
    tree->OnChange = [&](TObject*, TTreeNode*) { ++changes; };
    tree->OnAddDir = [&](TObject*, const std::string& path, bool&) { added.push_back(path); };
    ASSERT_FALSE(InMask(S));
    EXPECT_EQ(tree->OwnerWindow(), form->Handle());

    // No drive changed: the notification still ends with the selection-change report.
    SendMessageA(form->Handle(), WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(form->OwnerDeviceChanges, 0);

    DefineDrive(S, true);
    ASSERT_TRUE(InMask(S));
    std::vector<std::string> before = DrivePaths(tree);
    changes = 0;
    added.clear();
    STEP("arrival");
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
    STEP("removal");
    SendMessageA(form->Handle(), WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE, 0);
    STEP("removed");
    EXPECT_EQ(Node(Root(S)), nullptr);
    EXPECT_EQ(DrivePaths(tree), before);
    EXPECT_EQ(form->OwnerDeviceChanges, 0);
    // Other messages still reach the owner.
    SendMessageA(form->Handle(), WM_NULL, 0, 0);

    // DriveTypes: excluding a kind deletes its nodes, including it again inserts them in letter order.
    Fakes[S] = TFakeDrive{DRIVE_CDROM, true, true, false, "", 0};
    STEP("drive types without fixed");
    tree->SetDriveTypes(AllDriveTypes & ~(1u << drtFixed));  // S joins as a CD-ROM without a disc
    STEP("done");
    ASSERT_NE(Node(Root(S)), nullptr);
    EXPECT_EQ(Node(Root(S))->Text(), "(" + std::string(1, S) + ":)");
    EXPECT_EQ(tree->VolumeSerials(S), -1);
    EXPECT_TRUE(IsPlaceholderOnly(Node(Root(S))));
    EXPECT_EQ(Node(Root(R)), nullptr);
    EXPECT_EQ(Node("C:\\"), nullptr);
    STEP("drive types without CD-ROM");
    tree->SetDriveTypes(AllDriveTypes & ~(1u << drtCDRom));
    STEP("done");
    EXPECT_EQ(Node(Root(S)), nullptr);
    ASSERT_NE(Node(Root(R)), nullptr);
    EXPECT_EQ(DrivePaths(tree), before);
    Fakes.clear();
}

TEST_F(DirTreeTest, MediaChangeRefreshesAndSwallowsOneClick)
{
    // Wine reads volume serials once per server start, so the volume of R: is played by the seam.
    Fakes[R] = TFakeDrive{0, false, true, true, "TAPES", 0x1111};
    STEP("show");
    form->Show();
    STEP("read drives");
    tree->ReadDrives();
    STEP("drives read");
    TTreeNode* r = Node(Root(R));
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->Text(), "TAPES (" + std::string(1, R) + ":)");
    EXPECT_EQ(tree->VolumeSerials(R), 0x1111);

    tree->OpenPath(Root(R) + "gamma");
    TTreeNode* gamma = Node(Root(R) + "GAMMA\\");
    ASSERT_TRUE(gamma && gamma->Selected());
    STEP("click");
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
    STEP("click after exchange");
    tree->TreeClick();
    EXPECT_EQ(form->Clicks, 1);
    EXPECT_GT(deleted, 0);
    r = Node(Root(R));
    EXPECT_EQ(r->Text(), " (" + std::string(1, R) + ":)");
    EXPECT_EQ(tree->VolumeSerials(R), 0x2222);
    EXPECT_TRUE(IsPlaceholderOnly(r));
    ASSERT_FALSE(changed.empty());
    EXPECT_EQ(changed.back(), r);
    tree->OpenPath(Root(R) + "beta");
    ClickNode(tree, Node(Root(R) + "BETA\\"));
    EXPECT_EQ(form->Clicks, 2);
    EXPECT_EQ(form->Edit1->Text(), Root(R) + "BETA\\");

    // A device notice with no drive change catches an exchanged medium on a drive that has a node.
    Fakes[R].serial = 0x3333;
    Fakes[R].readable = false;
    STEP("device notice");
    SendMessageA(form->Handle(), WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0);
    EXPECT_EQ(tree->VolumeSerials(R), -1);
    EXPECT_EQ(Node(Root(R))->Text(), "(" + std::string(1, R) + ":)");

    // A removable drive: the shell's name, one placeholder, refreshed at its first selection.
    Fakes[S] = TFakeDrive{DRIVE_REMOVABLE, true, true, true, "STICK", 0x4444};
    tree->ReadDrives();
    TTreeNode* s = Node(Root(S));
    ASSERT_NE(s, nullptr);
    EXPECT_TRUE(IsPlaceholderOnly(s));
    EXPECT_EQ(tree->VolumeSerials(S), 0);
    changed.clear();
    STEP("removable selected");
    tree->SetSelected(s);
    EXPECT_EQ(tree->VolumeSerials(S), 0x4444);
    ASSERT_EQ(changed.size(), 1u);
    EXPECT_EQ(changed[0], Node(Root(S)));
    Fakes.clear();
}

TEST_F(DirTreeTest, DroppedFilesAndWindowRecreation)
{
    STEP("show");
    form->Show();
    std::vector<std::tuple<std::string, TStrings, int>> drops;
    tree->OnDropFiles = [&](TObject*, int X, int Y, const std::string& dir, const TStrings& files, TShiftState) {
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

    STEP("drops");
    // Not accepted: ignored.
    SendMessageA(tree->Handle(), WM_DROPFILES, makeDrop(on), 0);
    EXPECT_TRUE(drops.empty());
    tree->SetAcceptDropFiles(true);
    EXPECT_TRUE(GetWindowLongA(tree->Handle(), GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
    SendMessageA(tree->Handle(), WM_DROPFILES, makeDrop(on), 0);
    ASSERT_EQ(drops.size(), 1u);
    EXPECT_EQ(std::get<0>(drops[0]), Root(R) + "ALPHA\\");
    EXPECT_EQ(std::get<1>(drops[0]), names);
    EXPECT_EQ(std::get<2>(drops[0]), on.x);
    EXPECT_EQ(tree->DropTarget(), nullptr);  // the highlight is cleared again
    SendMessageA(tree->Handle(), WM_DROPFILES, makeDrop(below), 0);
    EXPECT_EQ(drops.size(), 1u);

    // Re-creating the window at run time brings the drives, the selection and the drop setting back.
    std::vector<std::string> drives = DrivePaths(tree);
    STEP("recreate");
    tree->RecreateWnd();
    STEP("recreated");
    EXPECT_EQ(DrivePaths(tree), drives);
    EXPECT_EQ(tree->SelectedPath(), Root(R) + "ALPHA\\");
    EXPECT_TRUE(tree->AcceptDropFiles());
    EXPECT_TRUE(GetWindowLongA(tree->Handle(), GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
    EXPECT_EQ(tree->OwnerWindow(), form->Handle());
    SendMessageA(form->Handle(), WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0);
    EXPECT_EQ(form->OwnerDeviceChanges, 0);

    // Share overlay: Wine shares nothing, so every node shows none; the shell folders get bound.
    STEP("overlay");
    tree->SetShowShareOverlay(true);
    for (TTreeNode* n : tree->AllNodes()) EXPECT_EQ(n->OverlayIndex(), -1);
    EXPECT_NE(TDirTree::EntryOf(Node(Root(R)))->ShellFolder.Get(), nullptr);
    EXPECT_NE(TDirTree::EntryOf(Node(Root(R) + "ALPHA\\"))->ShellFolder.Get(), nullptr);
    tree->SetShowShareOverlay(false);
    for (TTreeNode* n : tree->AllNodes()) EXPECT_EQ(n->OverlayIndex(), -1);
}

// A picture of the window for a person to look at: DIRTREE_SHOT names a .bmp file.
void SaveScreenshot(HWND wnd, const std::string& file)
{
    RECT rc;
    GetWindowRect(wnd, &rc);
    int w = rc.right - rc.left, h = rc.bottom - rc.top;
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(mem, bmp);
    BitBlt(mem, 0, 0, w, h, screen, rc.left, rc.top, SRCCOPY);
    GdiFlush();
    DWORD size = ((w * 3 + 3) & ~3) * h;
    BITMAPFILEHEADER fh{0x4D42, static_cast<DWORD>(sizeof fh + sizeof bi.bmiHeader + size), 0, 0,
                        sizeof fh + sizeof bi.bmiHeader};
    if (FILE* f = fopen(file.c_str(), "wb")) {
        fwrite(&fh, sizeof fh, 1, f);
        fwrite(&bi.bmiHeader, sizeof bi.bmiHeader, 1, f);
        fwrite(bits, size, 1, f);
        fclose(f);
    }
    SelectObject(mem, old);
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
}

TEST_F(DirTreeTest, Screenshot)
{
    std::string file = Env("DIRTREE_SHOT");
    if (file.empty()) GTEST_SKIP() << "DIRTREE_SHOT not set";
    form->SetPosition(poScreenCenter);
    STEP("show");
    form->Show();
    tree->OpenPath(Root(R) + "MixedCase");
    Node(Root(R) + "MIXEDCASE\\")->Expand();
    form->Edit1->SetText(tree->SelectedPath());
    for (int i = 0; i < 20; ++i) {
        Pump();
        Sleep(50);
    }
    SaveScreenshot(form->Handle(), file);
}

// The process's processor time in seconds: on a busy machine it tells the work apart from the waiting.
double CpuSeconds()
{
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto value = [](const FILETIME& t) { return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
    return static_cast<double>(value(kernel) + value(user)) / 1e7;
}
double LastCpu = 0;  // processor time of the last call of Seconds

double Seconds(const std::function<void()>& f)
{
    double c0 = CpuSeconds();
    auto t0 = std::chrono::steady_clock::now();
    f();
    double t = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    LastCpu = CpuSeconds() - c0;
    return t;
}

TEST_F(DirTreeTest, Benchmark)
{
    if (Env("DIRTREE_BENCH").empty()) GTEST_SKIP() << "DIRTREE_BENCH not set";
    // On screen, as in the options window: what a row costs is paid when it is painted.
    form->SetPosition(poScreenCenter);
    form->Show();
    HWND wnd = tree->Handle();
    tree->SetFocus();  // as in the options window: the first click's focus change is no part of an expansion
    Pump();
    auto paint = [&] { UpdateWindow(wnd); };
    tree->OpenPath(Root(R) + "bench");
    Node(Root(R) + "BENCH\\")->Expand();
    paint();
    TTreeNode* big = Node(Root(R) + "BENCH\\BIG\\");
    TTreeNode* empty = Node(Root(R) + "BENCH\\EMPTY\\");
    TTreeNode* small = Node(Root(R) + "BENCH\\SMALL\\");
    ASSERT_TRUE(big && empty && small);
    // The folder as the top row, so that its children fill the view when it opens.
    auto toTop = [&](TTreeNode* n) { ShowAtTop(tree, n); };
    // A user's expansion by the button: the request reads the folder, the tree opens and paints.
    auto expand = [&](TTreeNode* n) {
        toTop(n);
        return Seconds([&] {
            if (n == empty)
                n->Expand();  // it shows no button: the request is made directly
            else
                ClickButton(tree, n);
            paint();
        });
    };
    STEP("bench");
    double tEmpty = expand(empty);
    double tSmall = expand(small);
    double tBig = expand(big), cBig = LastCpu;
    const int bigCount = big->Count();
    EXPECT_GT(bigCount, 0);

    // Page by page to the end of the list; a second time through every row has been shown before.
    auto scroll = [&](int& pages, double& slowest) {
        toTop(big);
        pages = 0;
        slowest = 0;
        return Seconds([&] {
            for (HTREEITEM top = TreeView_GetFirstVisible(wnd);;) {
                double t = Seconds([&] {
                    SendMessageA(wnd, WM_VSCROLL, SB_PAGEDOWN, 0);
                    paint();
                });
                HTREEITEM now = TreeView_GetFirstVisible(wnd);
                if (now == top) break;
                top = now;
                ++pages;
                slowest = std::max(slowest, t);
            }
        });
    };
    int pages = 0, pages2 = 0;
    double slowest = 0, slowest2 = 0;
    double tScroll = scroll(pages, slowest), cScroll = LastCpu;
    double tScroll2 = scroll(pages2, slowest2), cScroll2 = LastCpu;
    ASSERT_GT(pages, 0);

    // Re-opening by the button: closed, then opened again.
    auto reopen = [&](TTreeNode* n) {
        toTop(n);
        ClickButton(tree, n);
        paint();
        return Seconds([&] {
            ClickButton(tree, n);
            paint();
        });
    };
    double tReopenSmall = reopen(small);
    double tReopen = reopen(big), cReopen = LastCpu;
    EXPECT_EQ(big->Count(), bigCount);

    // The drives read again clear the tree, big folder and all.
    double tClear = Seconds([&] { tree->ReadDrives(); });
    // Opening a path through a folder read for the first time: the tree opens it to show the target.
    auto open = [&](const std::string& path) {
        tree->ReadDrives();
        paint();
        return Seconds([&] {
            tree->OpenPath(path);
            paint();
        });
    };
    char middle[16];
    snprintf(middle, sizeof middle, "d%05d", bigCount / 2);
    double tOpenSmall = open(Root(R) + "bench\\small\\only");
    double tOpenBig = open(Root(R) + "bench\\big\\" + middle), cOpenBig = LastCpu;
    EXPECT_EQ(tree->SelectedPath(), Upper(Root(R) + "bench\\big\\" + middle) + "\\");
    std::string deep = Root(R) + "bench\\deep";
    for (int i = 1; i <= 17; ++i) deep += "\\l" + std::to_string(i);
    double tDeep = Seconds([&] { tree->OpenPath(deep); });
    EXPECT_EQ(tree->SelectedPath(), Upper(deep) + "\\");
    double tShallow = Seconds([&] { tree->OpenPath(Root(R) + "bench\\empty"); });
    // At start-up: the window's load reads the drives and opens the initial folder; ReadDrives again on
    // that fresh tree is its share. The best of five, with the big tree's window out of the way (its pending
    // paint would otherwise run inside the load, which lets messages run).
    form->Hide();
    Pump();
    double tForm = 1e9, tDrives = 1e9;
    for (int i = 0; i < 5; ++i) {
        TTestForm fresh;
        tForm = std::min(tForm, Seconds([&] { fresh.InitLayoutFromText(kLayout); }));
        tDrives = std::min(tDrives, Seconds([&] { fresh.DirTree1->ReadDrives(); }));
    }
    printf("expand %d sub-folders and paint: %.3f s, CPU %.3f s (empty folder %.3f s, a folder of one %.3f s)\n",
           bigCount, tBig, cBig, tEmpty, tSmall);
    printf("re-open %d sub-folders: %.3f s, CPU %.3f s (a folder of one sub-folder %.3f s)\n", bigCount, tReopen,
           cReopen, tReopenSmall);
    printf("scroll to the end of %d sub-folders: %d pages in %.3f s, %.4f s per page, CPU %.4f s, slowest %.4f s"
           " (second time through %.4f s per page, CPU %.4f s, slowest %.4f s)\n",
           bigCount, pages, tScroll, tScroll / pages, cScroll / pages, slowest, tScroll2 / std::max(pages2, 1),
           cScroll2 / std::max(pages2, 1), slowest2);
    printf("OpenPath into a folder of %d sub-folders: %.3f s, CPU %.3f s (into a folder of one %.3f s)\n", bigCount,
           tOpenBig, cOpenBig, tOpenSmall);
    printf("OpenPath 20 levels: %.3f s (1 level below the drive %.3f s)\n", tDeep, tShallow);
    printf("ReadDrives at start-up: %.3f s of the window's whole load %.3f s; after the big expansion %.3f s\n",
           tDrives, tForm, tClear);
}

}  // namespace

LONG CALLBACK ReportFault(EXCEPTION_POINTERS* info)
{
    DWORD code = info->ExceptionRecord->ExceptionCode;
    if (code == EXCEPTION_ACCESS_VIOLATION || code == EXCEPTION_STACK_OVERFLOW)
        fprintf(stderr, "fault %08lx at %p\n", code, info->ExceptionRecord->ExceptionAddress);
    return EXCEPTION_CONTINUE_SEARCH;
}

int main(int argc, char** argv)
{
    setvbuf(stdout, nullptr, _IONBF, 0);
    AddVectoredExceptionHandler(1, ReportFault);
    std::set_terminate([] {
        try {
            if (std::current_exception()) std::rethrow_exception(std::current_exception());
        } catch (const std::exception& e) {
            fprintf(stderr, "terminate: %s\n", e.what());
        } catch (...) {
            fprintf(stderr, "terminate: unknown exception\n");
        }
        abort();
    });
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
    TApplication application;
    TScreen screen;
    RegisterStandardClasses();
    RegisterDirTreeClasses();
    RegisterComponentClass<TTestTree>("TTestTree");
    Application->Initialize();
    std::vector<std::string> errors;
    Application->OnException = [&](const std::string& message) { errors.push_back(message); };
    int rc = RUN_ALL_TESTS();
    DefineDrive(S, false);
    for (auto& e : errors) fprintf(stderr, "error shown: %s\n", e.c_str());
    return errors.empty() ? rc : 1;
}
