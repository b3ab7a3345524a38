// The folder tree's costs under Wine, each against a baseline of the same run (bench/dirtree.sh runs it
// through tests/dirtree/run_dirtree_tests.sh, which links DIRTREE_R to a folder with R:\bench in it).
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>

#include "controls/dirtree/DirTree.h"
#include "framework/Forms.h"
#include "framework/StandardClasses.h"

namespace {

class TBenchTree : public TDirTree {
public:
    using TDirTree::TDirTree;
    using TDirTree::FindPathNode;
    using TDirTree::ReadDrives;
};

class TBenchForm : public TForm {
public:
    TBenchForm() : TForm(nullptr) { Field("DirTree1", DirTree1); }
    TBenchTree* DirTree1 = nullptr;
};

// The options window's tree, in a window of that size.
const char* const kLayout = R"(
TBenchForm Form1 {
  ClientWidth = 373
  ClientHeight = 295
  TBenchTree DirTree1 {
    Width = 181
    Height = 295
    Align = alLeft
    InitialDirectory = "C:\\"
    ReadOnly = True
    HideSelection = False
  }
}
)";

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

int Failures = 0;
void Check(bool ok, const char* what)
{
    if (ok) return;
    fprintf(stderr, "FAILED: %s\n", what);
    ++Failures;
}

void Run(const std::string& root)
{
    TBenchForm form;
    form.InitLayoutFromText(kLayout);
    TBenchTree* tree = form.DirTree1;
    // On screen, as in the options window: what a row costs is paid when it is painted.
    form.SetPosition(poScreenCenter);
    form.Show();
    HWND wnd = tree->Handle();
    tree->SetFocus();  // as in the options window: the first key's focus change is no part of an expansion
    Application->ProcessMessages();
    auto paint = [&] { UpdateWindow(wnd); };
    auto node = [&](const std::string& path) { return tree->FindPathNode(root + path); };
    tree->OpenPath(root + "bench");
    node("BENCH")->Expand();
    paint();
    TTreeNode* big = node("BENCH\\BIG");
    TTreeNode* empty = node("BENCH\\EMPTY");
    TTreeNode* small = node("BENCH\\SMALL");
    Check(big && empty && small, "the bench folders are in the tree");
    if (Failures) return;
    // The folder as the top row, so that its children fill the view when it opens.
    auto toTop = [&](TTreeNode* n) {
        int row = 0;
        for (HTREEITEM i = TreeView_GetRoot(wnd); i && i != n->ItemId(); i = TreeView_GetNextVisible(wnd, i)) ++row;
        SendMessageA(wnd, WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, row), 0);
        paint();
        Application->ProcessMessages();
    };
    // A user's opening or closing of the selected folder by a key: like a click on its button, the tree asks
    // at every opening, not only the first; the folder is read, the tree opens and paints.
    auto toggle = [&](TTreeNode* n) {
        SendMessageA(wnd, WM_KEYDOWN, n->Expanded() ? VK_LEFT : VK_RIGHT, 0);
        paint();
    };
    auto expand = [&](TTreeNode* n) {
        tree->SetSelected(n);
        toTop(n);
        return Seconds([&] {
            if (n == empty)
                n->Expand();  // it has no expand button, which the key needs: the request is made directly
            else
                toggle(n);
        });
    };
    double tEmpty = expand(empty);
    double tSmall = expand(small);
    double tBig = expand(big), cBig = LastCpu;
    const int bigCount = big->Count();
    Check(bigCount > 0 && big->Expanded(), "the big folder opens");

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
    Check(pages > 0, "the list pages");

    // Re-opening by the key: closed, then opened again.
    auto reopen = [&](TTreeNode* n) {
        tree->SetSelected(n);
        toTop(n);
        toggle(n);
        return Seconds([&] { toggle(n); });
    };
    double tReopenSmall = reopen(small);
    double tReopen = reopen(big), cReopen = LastCpu;
    Check(big->Expanded() && big->Count() == bigCount, "the big folder opens again with all its folders");

    // The drives read again clear the tree, big folder and all.
    double tClear = Seconds([&] { tree->ReadDrives(); });
    // Opening a path through a folder read for the first time: the tree opens it to show the target.
    auto open = [&](const std::string& path) {
        tree->ReadDrives();
        paint();
        return Seconds([&] {
            tree->OpenPath(root + path);
            paint();
        });
    };
    auto selected = [&](const std::string& path) {
        return lstrcmpiA(tree->SelectedPath().c_str(), (root + path + "\\").c_str()) == 0;
    };
    char middle[32];
    snprintf(middle, sizeof middle, "bench\\big\\d%05d", bigCount / 2);
    double tOpenSmall = open("bench\\small\\only");
    double tOpenBig = open(middle), cOpenBig = LastCpu;
    Check(selected(middle), "OpenPath selects the middle folder");
    std::string deep = "bench\\deep";
    for (int i = 1; i <= 17; ++i) deep += "\\l" + std::to_string(i);
    double tDeep = Seconds([&] { tree->OpenPath(root + deep); });
    Check(selected(deep), "OpenPath selects the deepest folder");
    double tShallow = Seconds([&] { tree->OpenPath(root + "bench\\empty"); });
    // At start-up: the window's load reads the drives and opens the initial folder; ReadDrives again on
    // that fresh tree is its share. The best of five, with the big tree's window out of the way (its pending
    // paint would otherwise run inside the load, which lets messages run).
    form.Hide();
    Application->ProcessMessages();
    double tForm = 1e9, tDrives = 1e9;
    for (int i = 0; i < 5; ++i) {
        TBenchForm fresh;
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

int main()
{
    setvbuf(stdout, nullptr, _IONBF, 0);
    char r[8] = {}, work[1024] = {};
    if (!GetEnvironmentVariableA("DIRTREE_R", r, sizeof r) ||
        !GetEnvironmentVariableA("DIRTREE_WORK_DOS", work, sizeof work)) {
        fprintf(stderr, "run through bench/dirtree.sh\n");
        return 2;
    }
    const std::string root = std::string(1, static_cast<char>(toupper(r[0]))) + ":\\";
    // The Wine server may have started before the link existed: make the letter known, and gone at the end.
    const std::string dev = root.substr(0, 2);
    DefineDosDeviceA(0, dev.c_str(), (std::string(work) + "\\" + static_cast<char>(tolower(r[0]))).c_str());
    SetCurrentDirectoryA(root.c_str());
    SetCursorPos(1020, 760);
    TApplication application;
    TScreen screen;
    RegisterStandardClasses();
    RegisterDirTreeClasses();
    RegisterComponentClass<TBenchTree>("TBenchTree");
    Application->Initialize();
    Run(root);
    DefineDosDeviceA(DDD_REMOVE_DEFINITION, dev.c_str(), nullptr);
    return Failures ? 1 : 0;
}
