// Folder-tree cases under Wine, with real folders and drive letters (run through run_dirtree_tests.sh).
#include "tests/dirtree/DirTreeFixture.h"

using namespace dirtree_fixture;

namespace {

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
    EXPECT_EQ(tree->Model().KnownDrives & (1u << (R - 'A')), 1u << (R - 'A'));

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
    EXPECT_EQ(tree->Model().LastPath(R), Root(R) + "MIXEDCASE\\");
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
    tree->ReadDrives();
    tree->OpenPath(marked);
    ASSERT_EQ(tree->SelectedPath(), Root(R) + "MARKED\\");
    EXPECT_EQ(ItemImages(tree, tree->Selected()), ShellFolderImages(marked + "\\"));
    SetFileAttributesA(marked.c_str(), FILE_ATTRIBUTE_NORMAL);
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
    tree->OpenPath(Root(R) + "beta");
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls[0], std::make_pair(Root(R) + "BETA\\", true));
    EXPECT_FALSE(calls.back().second);
    EXPECT_EQ(Captions(beta), std::vector<std::string>({"Eta", "zeta"}));  // sorted, the file left out
    EXPECT_EQ(TDirTree::EntryOf(Node(Root(R) + "BETA\\ZETA\\"))->Data, &marker[0]);
    EXPECT_EQ(TDirTree::EntryOf(Node(Root(R) + "BETA\\ETA\\"))->Data, nullptr);
    tree->OnFindDir = nullptr;
    tree->OpenPath(Root(R) + "gamma");
    for (TTreeNode* c = Node(Root(R) + "GAMMA\\")->GetFirstChild(); c; c = c->GetNextSibling())
        EXPECT_EQ(TDirTree::EntryOf(c)->Data, nullptr);
    // Probed when its row is shown, a folder keeps the Data the handler gave it.
    form->Show();
    beta->Expand();
    Node(Root(R) + "BETA\\ZETA\\")->MakeVisible();
    Paint(tree->Handle());
    EXPECT_EQ(TDirTree::EntryOf(Node(Root(R) + "BETA\\ZETA\\"))->Data, &marker[0]);
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
    STEP("many");
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
    Paint(wnd);
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

    rows.Remove();
    EXPECT_EQ(rowChangesInCallback, 0);
    EXPECT_GT(rowChanges, 0);

    // A tree without a window has nothing to read the drives into: it stays empty and gets no window.
    TTestTree loose(nullptr);
    loose.ReadDrives();
    EXPECT_EQ(loose.GetFirstNode(), nullptr);
    EXPECT_FALSE(loose.HandleAllocated());
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
    EXPECT_EQ(tree->Model().RecordedSerial(S), -1);
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
    EXPECT_EQ(tree->Model().RecordedSerial(R), 0x1111);

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
    EXPECT_EQ(tree->Model().RecordedSerial(R), 0x2222);
    EXPECT_TRUE(IsPlaceholderOnly(r));
    ASSERT_FALSE(changed.empty());
    EXPECT_EQ(changed.back(), r);
    tree->OpenPath(Root(R) + "beta");
    ClickNode(tree, Node(Root(R) + "BETA\\"));
    EXPECT_EQ(form->Clicks, 2);
    EXPECT_EQ(form->Edit1->Text(), Root(R) + "BETA\\");

    // A device notice with no drive change catches an exchanged medium on a drive that has a node. This
    // medium cannot be read, its folders neither: the drive gets no expand button.
    Fakes[R].serial = 0x3333;
    Fakes[R].readable = false;
    tree->OnFindDir = [](TObject*, const std::string&, TDirRec&, int& result, bool) { result = ERROR_NOT_READY; };
    STEP("device notice");
    SendMessageA(form->Handle(), WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0);
    EXPECT_EQ(tree->Model().RecordedSerial(R), -1);
    EXPECT_EQ(Node(Root(R))->Text(), "(" + std::string(1, R) + ":)");
    EXPECT_FALSE(Node(Root(R))->HasChildren());
    tree->OnFindDir = nullptr;

    // A removable drive: the shell's name, one placeholder, refreshed at its first selection.
    Fakes[S] = TFakeDrive{DRIVE_REMOVABLE, true, true, true, "STICK", 0x4444};
    tree->ReadDrives();
    TTreeNode* s = Node(Root(S));
    ASSERT_NE(s, nullptr);
    EXPECT_TRUE(IsPlaceholderOnly(s));
    EXPECT_EQ(tree->Model().RecordedSerial(S), 0);
    changed.clear();
    STEP("removable selected");
    tree->SetSelected(s);
    EXPECT_EQ(tree->Model().RecordedSerial(S), 0x4444);
    ASSERT_EQ(changed.size(), 1u);
    EXPECT_EQ(changed[0], Node(Root(S)));
    Fakes.clear();
}

TEST_F(DirTreeTest, DroppedFilesAndWindowRecreation)
{
    STEP("show");
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

    STEP("drops");
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
    STEP("recreate");
    tree->RecreateWnd();
    STEP("recreated");
    EXPECT_EQ(DrivePaths(tree), drives);
    EXPECT_EQ(tree->SelectedPath(), Root(R) + "ALPHA\\");
    EXPECT_TRUE(tree->AcceptDropFiles());
    EXPECT_TRUE(GetWindowLongA(tree->Handle(), GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
    SendMessageA(form->Handle(), WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0);
    EXPECT_EQ(form->OwnerDeviceChanges, 0);

    // Share overlay: Wine shares nothing, so every node shows none; the shell folders get bound.
    STEP("overlay");
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

    // The window destroyed on its own frees every node then, one deletion notice each.
    STEP("destroy");
    int nodes = static_cast<int>(tree->AllNodes().size()), deleted = 0;
    tree->OnDeleteItem = [&](TObject*, TTreeNode*) { ++deleted; };
    tree->DestroyHandle();
    EXPECT_EQ(deleted, nodes);
    tree->OnDeleteItem = nullptr;
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
