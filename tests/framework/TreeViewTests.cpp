#include <gtest/gtest.h>

#include "FrameworkTestSupport.h"
#include "framework/ComCtrls.h"
#include "framework/Forms.h"

namespace {

// A notice from the tree control as its parent receives it (the platform's own notices depend on its version:
// Wine's, for one, tells nothing of a collapse asked for by the program once a node has been opened).
LRESULT Notify(TCustomTreeView* tree, UINT code, UINT action, TTreeNode* node, char* text = nullptr)
{
    union {
        NMTREEVIEWA tv;
        NMTVDISPINFOA disp;
    } n{};
    n.tv.hdr.hwndFrom = tree->Handle();
    n.tv.hdr.idFrom = tree->ControlId();
    n.tv.hdr.code = code;
    if (code == TVN_BEGINLABELEDITA || code == TVN_ENDLABELEDITA) {
        n.disp.item.lParam = reinterpret_cast<LPARAM>(node);
        n.disp.item.pszText = text;
    } else {
        n.tv.action = action;
        n.tv.itemNew.hItem = node ? node->ItemId() : nullptr;
        n.tv.itemNew.lParam = reinterpret_cast<LPARAM>(node);
    }
    return SendMessageA(GetParent(tree->Handle()), WM_NOTIFY, n.tv.hdr.idFrom, reinterpret_cast<LPARAM>(&n));
}

class TreeViewTest : public testing::Test {
protected:
    void SetUp() override
    {
        Form = new TForm(Application);
        Form->SetClientSize(200, 150);
        Form->InitLayout();
        Tree = new TCustomTreeView(Form);
        Tree->SetParent(Form);
        Tree->SetBounds(0, 0, 200, 150);
        Tree->OnExpanding = [this](TObject*, TTreeNode* n, bool& allow) {
            Log.push_back("expanding " + Name(n));
            allow = n->Text() != "locked";
        };
        Tree->OnExpanded = [this](TObject*, TTreeNode* n) { Log.push_back("expanded " + Name(n)); };
        Tree->OnCollapsing = [this](TObject*, TTreeNode* n, bool& allow) {
            Log.push_back("collapsing " + Name(n));
            allow = !KeepOpen;
        };
        Tree->OnCollapsed = [this](TObject*, TTreeNode* n) { Log.push_back("collapsed " + Name(n)); };
        Tree->OnChanging = [this](TObject*, TTreeNode* n, bool& allow) {
            Log.push_back("changing " + Name(n));
            allow = n == nullptr || n->Text() != "stuck";
        };
        Tree->OnChange = [this](TObject*, TTreeNode* n) { Log.push_back("change " + Name(n)); };
        Tree->OnDeletion = [this](TObject*, TTreeNode* n) { Log.push_back("delete " + Name(n)); };
    }
    void TearDown() override { delete Form; }

    static std::string Name(TTreeNode* n) { return n ? n->Text() : "-"; }
    std::vector<std::string> Texts(const std::vector<TTreeNode*>& nodes)
    {
        std::vector<std::string> out;
        for (TTreeNode* n : nodes) out.push_back(Name(n));
        return out;
    }
    TVITEMA Item(TTreeNode* n, UINT mask)
    {
        static char text[64];
        TVITEMA item{};
        item.mask = mask | TVIF_HANDLE;
        item.hItem = n->ItemId();
        item.stateMask = 0xFFFF;
        item.pszText = text;
        item.cchTextMax = sizeof text;
        SendMessageA(Tree->Handle(), TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
        return item;
    }

    TForm* Form = nullptr;
    TCustomTreeView* Tree = nullptr;
    std::vector<std::string> Log;
    bool KeepOpen = false;
};

}  // namespace

TEST_F(TreeViewTest, NodesKeepTheirPlacesParentsAndTexts)
{
    EXPECT_EQ(Tree->GetFirstNode(), nullptr);
    TTreeNode* b = Tree->AddChild(nullptr, "b");
    TTreeNode* b1 = Tree->AddChild(b, "b1");
    TTreeNode* a = Tree->Insert(b, "a");  // before b
    TTreeNode* a2 = Tree->AddChild(a, "a2");
    TTreeNode* a1 = Tree->Insert(a2, "a1");
    TTreeNode* b0 = Tree->Insert(b1, "b0");
    TTreeNode* c = Tree->Insert(nullptr, "c");  // no sibling: last at the top
    EXPECT_EQ(Texts(Tree->AllNodes()), (std::vector<std::string>{"a", "a1", "a2", "b", "b0", "b1", "c"}));
    EXPECT_EQ(Tree->NodeCount(), 7);
    EXPECT_EQ(Tree->GetFirstNode(), a);
    EXPECT_EQ(a->GetNextSibling(), b);
    EXPECT_EQ(c->GetNextSibling(), nullptr);
    EXPECT_EQ(a->GetFirstChild(), a1);
    EXPECT_EQ(a->GetNextChild(a1), a2);
    EXPECT_EQ(a->GetNextChild(nullptr), nullptr);
    EXPECT_EQ(a2->Parent(), a);
    EXPECT_EQ(b0->Parent(), b);
    EXPECT_EQ(a->Parent(), nullptr);
    EXPECT_EQ(a->Count(), 2);
    EXPECT_EQ(c->Count(), 0);
    EXPECT_TRUE(b->HasChildren());
    EXPECT_FALSE(b1->HasChildren());
    EXPECT_EQ(b1->TreeView(), Tree);
    EXPECT_EQ(Tree->NodeFromItem(nullptr), nullptr);
    EXPECT_EQ(Tree->NodeFromItem(b0->ItemId()), b0);

    b1->SetText("bee one");
    EXPECT_EQ(b1->Text(), "bee one");
    EXPECT_STREQ(Item(b1, TVIF_TEXT).pszText, "bee one");
    int data = 5;
    b1->SetData(&data);
    EXPECT_EQ(b1->Data(), &data);
}

TEST_F(TreeViewTest, ImagesAndOverlaysReachTheItems)
{
    TTreeNode* n = Tree->AddChild(nullptr, "n");
    EXPECT_EQ(n->ImageIndex(), -1);
    n->SetImageIndex(3);
    n->SetSelectedIndex(4);
    n->SetOverlayIndex(0);
    TVITEMA item = Item(n, TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_STATE);
    EXPECT_EQ(item.iImage, 3);
    EXPECT_EQ(item.iSelectedImage, 4);
    EXPECT_EQ(item.state & TVIS_OVERLAYMASK, INDEXTOOVERLAYMASK(1));
    EXPECT_EQ(n->OverlayIndex(), 0);
    n->SetOverlayIndex(-1);
    EXPECT_EQ(Item(n, TVIF_STATE).state & TVIS_OVERLAYMASK, 0u);
    EXPECT_EQ(Item(n, TVIF_IMAGE).iImage, 3);

    auto* list = new TImageList(Form);
    Tree->SetImages(list);
    EXPECT_EQ(Tree->Images(), list);
    EXPECT_EQ(TreeView_GetImageList(Tree->Handle(), TVSIL_NORMAL), list->Handle());
    // A new window gets the list too; a freed list is let go.
    Tree->RecreateWnd();
    EXPECT_EQ(TreeView_GetImageList(Tree->Handle(), TVSIL_NORMAL), list->Handle());
    delete list;
    EXPECT_EQ(Tree->Images(), nullptr);
    EXPECT_EQ(TreeView_GetImageList(Tree->Handle(), TVSIL_NORMAL), nullptr);
}

TEST_F(TreeViewTest, OpeningAndClosingAreAskedForThenAnnounced)
{
    TTreeNode* a = Tree->AddChild(nullptr, "a");
    Tree->AddChild(a, "a1");
    TTreeNode* locked = Tree->AddChild(nullptr, "locked");
    Tree->AddChild(locked, "x");
    a->Expand();
    EXPECT_TRUE(a->Expanded());
    locked->Expand();
    EXPECT_FALSE(locked->Expanded());
    EXPECT_EQ(Log, (std::vector<std::string>{"expanding a", "expanded a", "expanding locked"}));
    a->Collapse();
    EXPECT_FALSE(a->Expanded());

    Log.clear();
    KeepOpen = true;
    EXPECT_EQ(Notify(Tree, TVN_ITEMEXPANDINGA, TVE_COLLAPSE, a), TRUE) << "refused";
    KeepOpen = false;
    EXPECT_EQ(Notify(Tree, TVN_ITEMEXPANDINGW, TVE_COLLAPSE, a), FALSE);
    Notify(Tree, TVN_ITEMEXPANDEDA, TVE_COLLAPSE, a);
    EXPECT_EQ(Notify(Tree, TVN_ITEMEXPANDINGA, TVE_EXPAND | TVE_EXPANDPARTIAL, locked), TRUE);
    Notify(Tree, TVN_ITEMEXPANDEDW, TVE_EXPAND, a);
    Notify(Tree, TVN_ITEMEXPANDINGA, 0, a);
    Notify(Tree, TVN_ITEMEXPANDEDA, 0, a);
    EXPECT_EQ(Log, (std::vector<std::string>{"collapsing a", "collapsing a", "collapsed a", "expanding locked",
                                             "expanded a"}));
    Tree->OnCollapsing = nullptr;
    Tree->OnExpanding = nullptr;
    EXPECT_EQ(Notify(Tree, TVN_ITEMEXPANDINGA, TVE_COLLAPSE, a), FALSE);
    EXPECT_EQ(Notify(Tree, TVN_ITEMEXPANDINGA, TVE_EXPAND, locked), FALSE);

    // Without its children a node is closed, and opening it is asked for again.
    Log.clear();
    a->DeleteChildren();
    EXPECT_FALSE(a->HasChildren());
    EXPECT_FALSE(a->Expanded());
    EXPECT_EQ(Log, std::vector<std::string>{"delete a1"});
    Tree->AddChild(a, "again");
    Log.clear();
    Tree->OnExpanding = [this](TObject*, TTreeNode* n, bool&) { Log.push_back("expanding " + Name(n)); };
    a->Expand();
    EXPECT_EQ(Log, (std::vector<std::string>{"expanding a", "expanded a"}));
    Tree->DeleteChildren(nullptr);
}

TEST_F(TreeViewTest, TheSelectionAsksBeforeItMovesAndTellsAfter)
{
    TTreeNode* a = Tree->AddChild(nullptr, "a");
    TTreeNode* stuck = Tree->AddChild(nullptr, "stuck");
    TTreeNode* c = Tree->AddChild(nullptr, "c");
    Tree->SetSelected(a);
    EXPECT_EQ(Tree->Selected(), a);
    EXPECT_TRUE(a->Selected());
    EXPECT_FALSE(c->Selected());
    Tree->SetSelected(stuck);
    EXPECT_EQ(Tree->Selected(), a) << "refused";
    Tree->SetSelected(c);
    EXPECT_EQ(Tree->Selected(), c);
    EXPECT_EQ(Log, (std::vector<std::string>{"changing a", "change a", "changing stuck", "changing c", "change c"}));
}

TEST_F(TreeViewTest, DeletingTellsOfEveryNodeAndClearingEmptiesTheTree)
{
    TTreeNode* a = Tree->AddChild(nullptr, "a");
    Tree->AddChild(a, "a1");
    TTreeNode* b = Tree->AddChild(nullptr, "b");
    Tree->AddChild(nullptr, "c");
    a->Delete();
    EXPECT_EQ(Tree->NodeCount(), 2);
    EXPECT_EQ(Tree->GetFirstNode(), b);
    Tree->DeleteNode(nullptr);
    EXPECT_EQ(Tree->NodeCount(), 2);
    Tree->ClearNodes();
    EXPECT_EQ(Tree->NodeCount(), 0);
    EXPECT_EQ(Tree->GetFirstNode(), nullptr);
    EXPECT_EQ(Log, (std::vector<std::string>{"delete a1", "delete a", "delete b", "delete c"}));
    // A tree that goes frees its nodes without calling back.
    Tree->AddChild(nullptr, "d");
    Log.clear();
    delete Tree;
    Tree = nullptr;
    EXPECT_TRUE(Log.empty());
}

TEST_F(TreeViewTest, StylesFollowTheProperties)
{
    auto style = [&] { return GetWindowLongA(Tree->Handle(), GWL_STYLE); };
    auto exStyle = [&] { return GetWindowLongA(Tree->Handle(), GWL_EXSTYLE); };
    EXPECT_TRUE(style() & TVS_EDITLABELS);
    EXPECT_FALSE(style() & TVS_SHOWSELALWAYS);
    EXPECT_TRUE(style() & TVS_HASBUTTONS);
    EXPECT_TRUE(exStyle() & WS_EX_CLIENTEDGE);
    Tree->SetReadOnly(true);
    Tree->SetHideSelection(false);
    Tree->SetBorderStyle(bsNoBorder);
    EXPECT_TRUE(Tree->ReadOnly());
    EXPECT_FALSE(Tree->HideSelection());
    EXPECT_EQ(Tree->BorderStyle(), bsNoBorder);
    EXPECT_FALSE(style() & TVS_EDITLABELS);
    EXPECT_TRUE(style() & TVS_SHOWSELALWAYS);
    EXPECT_FALSE(exStyle() & WS_EX_CLIENTEDGE);
    Tree->RecreateWnd();
    EXPECT_FALSE(style() & TVS_EDITLABELS);
    EXPECT_TRUE(style() & TVS_SHOWSELALWAYS);
    EXPECT_FALSE(exStyle() & WS_EX_CLIENTEDGE);
    Tree->SetBorderStyle(bsSingleBorder);
    Tree->SetReadOnly(false);
    EXPECT_TRUE(exStyle() & WS_EX_CLIENTEDGE);
    EXPECT_TRUE(style() & TVS_EDITLABELS);
    EXPECT_EQ(SendMessageA(Tree->Handle(), WM_NOTIFYFORMAT, reinterpret_cast<WPARAM>(Form->Handle()), NF_QUERY),
              NFR_ANSI);
}

TEST_F(TreeViewTest, LabelEditingAsksAndTheEditedTextBecomesTheNodes)
{
    TTreeNode* n = Tree->AddChild(nullptr, "old");
    TTreeNode* fixed = Tree->AddChild(nullptr, "fixed");
    EXPECT_EQ(Notify(Tree, TVN_BEGINLABELEDITA, 0, n), FALSE) << "no handler: allowed";
    Tree->OnEditing = [&](TObject*, TTreeNode* node, bool& allow) {
        Log.push_back("editing " + Name(node));
        allow = node != fixed;
    };
    Tree->OnEdited = [&](TObject*, TTreeNode* node, std::string& s) {
        Log.push_back("edited " + Name(node) + " " + s);
        s += "!";
    };
    EXPECT_EQ(Notify(Tree, TVN_BEGINLABELEDITA, 0, n), FALSE);
    EXPECT_EQ(Notify(Tree, TVN_BEGINLABELEDITA, 0, fixed), TRUE);
    char text[] = "new";
    Notify(Tree, TVN_ENDLABELEDITA, 0, n, text);
    EXPECT_EQ(n->Text(), "new!");
    EXPECT_STREQ(Item(n, TVIF_TEXT).pszText, "new!");
    Notify(Tree, TVN_ENDLABELEDITA, 0, n, nullptr);  // cancelled
    EXPECT_EQ(n->Text(), "new!");
    Tree->SetReadOnly(true);
    EXPECT_EQ(Notify(Tree, TVN_BEGINLABELEDITA, 0, n), TRUE) << "a read-only tree edits nothing";
    EXPECT_EQ(Log, (std::vector<std::string>{"editing old", "editing fixed", "edited old new"}));

    // The platform's own editing comes the same way.
    Tree->SetReadOnly(false);
    Log.clear();
    HWND edit = TreeView_EditLabel(Tree->Handle(), n->ItemId());
    ASSERT_NE(edit, nullptr);
    SetWindowTextA(edit, "typed");
    TreeView_EndEditLabelNow(Tree->Handle(), FALSE);
    EXPECT_EQ(n->Text(), "typed!");
    ASSERT_GE(Log.size(), 2u);
    EXPECT_EQ(Log[1], "edited new! typed");
}

TEST_F(TreeViewTest, AClickIsReportedOnceTheTreeHasHandledItAndPointsFindTheirNodes)
{
    TTreeNode* a = Tree->AddChild(nullptr, "a");
    TTreeNode* b = Tree->AddChild(nullptr, "b");
    int clicks = 0;
    Tree->OnClick = [&](TObject*) { ++clicks; };
    NMHDR hdr{Tree->Handle(), Tree->ControlId(), static_cast<UINT>(NM_CLICK)};
    SendMessageA(Form->Handle(), WM_NOTIFY, hdr.idFrom, reinterpret_cast<LPARAM>(&hdr));
    EXPECT_EQ(clicks, 0) << "not yet: the selection has still to follow";
    PumpMessages();
    EXPECT_EQ(clicks, 1);
    Tree->Click();  // mouse routing does not click a tree
    EXPECT_EQ(clicks, 1);

    RECT r{};
    TreeView_GetItemRect(Tree->Handle(), b->ItemId(), &r, TRUE);
    EXPECT_EQ(Tree->GetNodeAt((r.left + r.right) / 2, (r.top + r.bottom) / 2), b);
    TreeView_GetItemRect(Tree->Handle(), a->ItemId(), &r, TRUE);
    EXPECT_EQ(Tree->GetNodeAt(r.left + 1, r.top + 1), a);
    EXPECT_EQ(Tree->GetNodeAt(190, 140), nullptr);
}

TEST(TreeViewLayout, PropertiesAndEventsLoadFromALayout)
{
    class TTreeForm : public TForm {
    public:
        explicit TTreeForm(TComponent* owner) : TForm(owner)
        {
            Field("Tree", Tree);
            Publish<TTVChangedEvent>("Changed", [this](TObject*, TTreeNode*) { Log.push_back("change"); });
            Publish<TTVChangingEvent>("Changing", [this](TObject*, TTreeNode*, bool&) { Log.push_back("changing"); });
            Publish<TTVExpandingEvent>("Expanding", [this](TObject*, TTreeNode*, bool&) { Log.push_back("expanding"); });
            Publish<TTVExpandedEvent>("Expanded", [this](TObject*, TTreeNode*) { Log.push_back("expanded"); });
            Publish<TTVCollapsingEvent>("Collapsing", [this](TObject*, TTreeNode*, bool&) { Log.push_back("collapsing"); });
            Publish<TTVExpandedEvent>("Collapsed", [this](TObject*, TTreeNode*) { Log.push_back("collapsed"); });
            Publish<TTVEditingEvent>("Editing", [this](TObject*, TTreeNode*, bool&) { Log.push_back("editing"); });
            Publish<TTVEditedEvent>("Edited", [this](TObject*, TTreeNode*, std::string&) { Log.push_back("edited"); });
        }
        TCustomTreeView* Tree = nullptr;
        std::vector<std::string> Log;
    };
    RegisterComponentClass<TCustomTreeView>("TCustomTreeView");
    TOwnedForm<TTreeForm> form(new TTreeForm(Application));
    form->InitLayoutFromText(R"(TTreeForm F {
  ClientWidth = 200
  ClientHeight = 100
  TCustomTreeView Tree {
    Width = 200 Height = 100 ReadOnly = False HideSelection = False BorderStyle = bsNone
    OnChange = Changed OnChanging = Changing OnExpanding = Expanding OnExpanded = Expanded
    OnCollapsing = Collapsing OnCollapsed = Collapsed OnEditing = Editing OnEdited = Edited
  }
})");
    TCustomTreeView* tree = form->Tree;
    ASSERT_NE(tree, nullptr);
    EXPECT_FALSE(tree->HideSelection());
    EXPECT_EQ(tree->BorderStyle(), bsNoBorder);
    TTreeNode* a = tree->AddChild(nullptr, "a");
    tree->AddChild(a, "a1");
    a->Expand();
    Notify(tree, TVN_ITEMEXPANDINGA, TVE_COLLAPSE, a);
    Notify(tree, TVN_ITEMEXPANDEDA, TVE_COLLAPSE, a);
    tree->SetSelected(a);
    char text[] = "b";
    Notify(tree, TVN_BEGINLABELEDITA, 0, a);
    Notify(tree, TVN_ENDLABELEDITA, 0, a, text);
    EXPECT_EQ(form->Log, (std::vector<std::string>{"expanding", "expanded", "collapsing", "collapsed", "changing",
                                                   "change", "editing", "edited"}));
}
