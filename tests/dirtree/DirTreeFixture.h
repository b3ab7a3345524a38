#pragma once
// The folder-tree cases' test tree and form, pixel and row helpers, the fixture, and the run with the
// application object. Folder tree under Wine. run_dirtree_tests.sh links two drive letters to temporary
// folders (DIRTREE_R with the folder fixture, DIRTREE_S for a drive that comes and goes) and names them here.
#include <gtest/gtest.h>

#include <windows.h>
#include <dbt.h>
#include <shlobj.h>

#include <algorithm>
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

namespace dirtree_fixture {

inline std::string Env(const char* name)
{
    char buf[1024];
    DWORD n = GetEnvironmentVariableA(name, buf, sizeof buf);
    return n > 0 && n < sizeof buf ? std::string(buf, n) : std::string();
}

inline char R = 'R', S = 'S';
inline std::string WorkDos;  // the fixture folder as a path on the Unix-root drive

inline std::string Upper(std::string s)
{
    CharUpperBuffA(s.data(), static_cast<DWORD>(s.size()));
    return s;
}

inline std::string Root(char letter) { return std::string(1, letter) + ":\\"; }

// Drive kinds and volumes that Wine cannot make for a drive added while its server runs.
struct TFakeDrive {
    UINT type = 0;  // 0: ask the platform
    bool present = false;  // in the drive mask without a link
    bool volumeFaked = false;
    bool readable = true;
    std::string label;
    DWORD serial = 0;
};
inline std::map<char, TFakeDrive> Fakes;

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

inline void Pump()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

// Paints the window, lets the rows follow what the paint probed, and paints what that changed.
inline void Paint(HWND wnd)
{
    UpdateWindow(wnd);
    Pump();
    UpdateWindow(wnd);
}

inline std::vector<std::string> Captions(TTreeNode* parent)
{
    std::vector<std::string> result;
    for (TTreeNode* c = parent->GetFirstChild(); c; c = c->GetNextSibling()) result.push_back(c->Text());
    return result;
}

inline std::vector<std::string> DrivePaths(TDirTree* tree)
{
    std::vector<std::string> result;
    for (TTreeNode* n = tree->GetFirstNode(); n; n = n->GetNextSibling())
        result.push_back(TDirTree::EntryOf(n) ? TDirTree::EntryOf(n)->Path : "<none>");
    return result;
}

inline bool IsPlaceholderOnly(TTreeNode* node)
{
    TTreeNode* c = node->GetFirstChild();
    return c && !c->Data() && c->Text().empty() && !c->GetNextSibling();
}

inline POINT NodePoint(TDirTree* tree, TTreeNode* node)
{
    node->MakeVisible();
    RECT rc{};
    TreeView_GetItemRect(tree->Handle(), node->ItemId(), &rc, TRUE);
    return POINT{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
}

// A real click: the tree runs its own mouse tracking and reports the click itself.
inline void ClickNode(TDirTree* tree, TTreeNode* node)
{
    POINT pt = NodePoint(tree, node);
    PostMessageA(tree->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(pt.x, pt.y));
    PostMessageA(tree->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(pt.x, pt.y));
    Pump();
}

// A click on the node's expand button, as a user opens or closes it: unlike TVM_EXPAND, the tree asks
// before every opening, not only the first.
inline void ClickButton(TDirTree* tree, TTreeNode* node)
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
inline void ShowAtTop(TDirTree* tree, TTreeNode* node)
{
    HWND wnd = tree->Handle();
    int row = 0;
    for (HTREEITEM item = TreeView_GetRoot(wnd); item && item != node->ItemId(); item = TreeView_GetNextVisible(wnd, item))
        ++row;
    SendMessageA(wnd, WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, row), 0);
    Paint(wnd);
}

// The tree's client area as the screen shows it.
struct TClientPixels {
    int W = 0, H = 0;
    std::vector<DWORD> Bits;  // top-down rows, 0x00RRGGBB
    DWORD At(int x, int y) const { return Bits[static_cast<std::size_t>(y) * W + x]; }
};

inline TClientPixels Capture(HWND wnd)
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
inline bool DrawsButton(const TClientPixels& shot, TDirTree* tree, TTreeNode* node)
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
inline std::pair<int, int> ItemImages(TDirTree* tree, TTreeNode* node)
{
    TVITEMA item{};
    item.mask = TVIF_HANDLE | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    item.hItem = node->ItemId();
    SendMessageA(tree->Handle(), TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
    return {item.iImage, item.iSelectedImage};
}

// The small icons the shell shows for a folder, closed and open.
inline std::pair<int, int> ShellFolderImages(const std::string& path)
{
    SHFILEINFOA closed{}, open{};
    SHGetFileInfoA(path.c_str(), 0, &closed, sizeof closed, SHGFI_SYSICONINDEX | SHGFI_SMALLICON);
    SHGetFileInfoA(path.c_str(), 0, &open, sizeof open, SHGFI_SYSICONINDEX | SHGFI_SMALLICON | SHGFI_OPENICON);
    return {closed.iIcon, open.iIcon};
}

// The drive roots the platform reports, in letter order.
inline std::vector<std::string> PlatformDriveRoots()
{
    std::vector<std::string> roots;
    const DWORD mask = GetLogicalDrives();
    for (char letter = 'A'; letter <= 'Z'; ++letter)
        if ((mask >> (letter - 'A')) & 1u) roots.push_back(std::string(1, letter) + ":\\");
    return roots;
}

// Pages through the list from the top row to its end; check sees every row of each page once it is painted.
inline void ForEachShownRow(TDirTree* tree, const std::function<void(const TClientPixels&, TTreeNode*)>& check)
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

// Names a wrong row in a list kept short enough to read.
inline void NoteWrong(std::string& wrong, int& count, const std::string& name)
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
inline TManyFolder Many;

inline void DefineDrive(char letter, bool present)
{
    std::string dev = std::string(1, letter) + ":";
    if (present)
        DefineDosDeviceA(0, dev.c_str(), (WorkDos + "\\" + static_cast<char>(letter | 0x20)).c_str());
    else
        DefineDosDeviceA(DDD_REMOVE_DEFINITION, dev.c_str(), nullptr);
}

inline bool InMask(char letter) { return (GetLogicalDrives() >> (letter - 'A')) & 1u; }

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


inline LONG CALLBACK ReportFault(EXCEPTION_POINTERS* info)
{
    DWORD code = info->ExceptionRecord->ExceptionCode;
    if (code == EXCEPTION_ACCESS_VIOLATION || code == EXCEPTION_STACK_OVERFLOW)
        fprintf(stderr, "fault %08lx at %p\n", code, info->ExceptionRecord->ExceptionAddress);
    return EXCEPTION_CONTINUE_SEARCH;
}

// Runs the registered cases with the application set up; the drives come from the wrapper script.
inline int RunCases(int argc, char** argv)
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
    // The Wine server outlives this program: the letters must not stay behind for the programs run after it.
    DefineDrive(S, false);
    DefineDrive(R, false);
    for (auto& e : errors) fprintf(stderr, "error shown: %s\n", e.c_str());
    return errors.empty() ? rc : 1;
}

}  // namespace dirtree_fixture
