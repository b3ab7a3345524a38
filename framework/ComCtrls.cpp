#include "framework/ComCtrls.h"

namespace {
// Posted to the tree when it reports a click: the platform reports the click before it moves the selection.
constexpr UINT CM_TREECLICK = CM_BASE + 0x40;

HTREEITEM ItemOf(const TTreeNode* node) { return node ? node->ItemId() : nullptr; }
}  // namespace

// --- TTreeNode ---

void TTreeNode::UpdateItem(UINT mask)
{
    TVITEMA item{};
    item.mask = mask | TVIF_HANDLE;
    item.hItem = FItem;
    item.pszText = const_cast<char*>(FText.c_str());
    item.iImage = FImageIndex;
    item.iSelectedImage = FSelectedIndex;
    item.stateMask = TVIS_OVERLAYMASK;
    item.state = FOverlayIndex >= 0 ? INDEXTOOVERLAYMASK(FOverlayIndex + 1) : 0;
    SendMessageA(FOwner->Handle(), TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item));
}

void TTreeNode::SetText(const std::string& value)
{
    FText = value;
    UpdateItem(TVIF_TEXT);
}

void TTreeNode::SetImageIndex(int value)
{
    if (value == FImageIndex) return;
    FImageIndex = value;
    UpdateItem(TVIF_IMAGE);
}

void TTreeNode::SetSelectedIndex(int value)
{
    if (value == FSelectedIndex) return;
    FSelectedIndex = value;
    UpdateItem(TVIF_SELECTEDIMAGE);
}

void TTreeNode::SetOverlayIndex(int value)
{
    if (value == FOverlayIndex) return;
    FOverlayIndex = value;
    UpdateItem(TVIF_STATE);
}

TTreeNode* TTreeNode::Parent() const
{
    return FOwner->NodeFromItem(TreeView_GetParent(FOwner->Handle(), FItem));
}

TTreeNode* TTreeNode::GetFirstChild() const
{
    return FOwner->NodeFromItem(TreeView_GetChild(FOwner->Handle(), FItem));
}

TTreeNode* TTreeNode::GetNextSibling() const
{
    return FOwner->NodeFromItem(TreeView_GetNextSibling(FOwner->Handle(), FItem));
}

bool TTreeNode::HasChildren() const
{
    return TreeView_GetChild(FOwner->Handle(), FItem) != nullptr;
}

int TTreeNode::Count() const
{
    int n = 0;
    for (TTreeNode* c = GetFirstChild(); c; c = c->GetNextSibling()) ++n;
    return n;
}

bool TTreeNode::Expanded() const
{
    return TreeView_GetItemState(FOwner->Handle(), FItem, TVIS_EXPANDED) & TVIS_EXPANDED;
}

void TTreeNode::Expand()
{
    TreeView_Expand(FOwner->Handle(), FItem, TVE_EXPAND);
}

void TTreeNode::Collapse()
{
    TreeView_Expand(FOwner->Handle(), FItem, TVE_COLLAPSE);
}

bool TTreeNode::Selected() const
{
    return FOwner->Selected() == this;
}

void TTreeNode::DeleteChildren()
{
    FOwner->DeleteChildren(this);
}

void TTreeNode::Delete()
{
    FOwner->DeleteNode(this);
}

void TTreeNode::MakeVisible()
{
    TreeView_EnsureVisible(FOwner->Handle(), FItem);
}

// --- TCustomTreeView ---

TCustomTreeView::TCustomTreeView(TComponent* AOwner) : TWinControl(AOwner)
{
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_TREEVIEW_CLASSES};
    InitCommonControlsEx(&icc);
    FWidth = 121;
    FHeight = 97;
    FTabStop = true;
    FColor = clWindow;
    FParentColor = false;
}

TCustomTreeView::~TCustomTreeView()
{
    // A derived class's handler must not run once that class is gone.
    OnDeletion = nullptr;
    if (HandleAllocated()) ClearNodes();
    FreeLeftoverNodes();
}

void TCustomTreeView::CreateParams(TCreateParams& Params)
{
    TWinControl::CreateParams(Params);
    Params.WinClassName = WC_TREEVIEWA;
    Params.Subclass = true;
    Params.Style |= WS_CHILD | WS_TABSTOP | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT;
    if (!FReadOnly) Params.Style |= TVS_EDITLABELS;
    if (!FHideSelection) Params.Style |= TVS_SHOWSELALWAYS;
    if (FBorderStyle == bsSingleBorder) Params.ExStyle |= WS_EX_CLIENTEDGE;
}

void TCustomTreeView::CreateHandleDone()
{
    TWinControl::CreateHandleDone();
    // Notification structures are read as ANSI whatever the parent answered.
    SendMessageA(FHandle, TVM_SETUNICODEFORMAT, FALSE, 0);
    if (FImages) TreeView_SetImageList(FHandle, FImages->Handle(), TVSIL_NORMAL);
}

void TCustomTreeView::Notification(TComponent* AComponent, TOperation Operation)
{
    TWinControl::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FImages) SetImages(nullptr);
}

void TCustomTreeView::UpdateStyle()
{
    if (!HandleAllocated()) return;
    LONG style = GetWindowLongA(FHandle, GWL_STYLE) & ~(TVS_EDITLABELS | TVS_SHOWSELALWAYS);
    if (!FReadOnly) style |= TVS_EDITLABELS;
    if (!FHideSelection) style |= TVS_SHOWSELALWAYS;
    SetWindowLongA(FHandle, GWL_STYLE, style);
    LONG ex = GetWindowLongA(FHandle, GWL_EXSTYLE) & ~WS_EX_CLIENTEDGE;
    if (FBorderStyle == bsSingleBorder) ex |= WS_EX_CLIENTEDGE;
    SetWindowLongA(FHandle, GWL_EXSTYLE, ex);
    SetWindowPos(FHandle, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
    InvalidateRect(FHandle, nullptr, TRUE);
}

void TCustomTreeView::SetReadOnly(bool value)
{
    if (value == FReadOnly) return;
    FReadOnly = value;
    UpdateStyle();
}

void TCustomTreeView::SetHideSelection(bool value)
{
    if (value == FHideSelection) return;
    FHideSelection = value;
    UpdateStyle();
}

void TCustomTreeView::SetBorderStyle(TBorderStyle value)
{
    if (value == FBorderStyle) return;
    FBorderStyle = value;
    UpdateStyle();
}

void TCustomTreeView::SetImages(TImageList* value)
{
    if (FImages) FImages->RemoveFreeNotification(this);
    FImages = value;
    if (FImages) FImages->FreeNotification(this);
    if (HandleAllocated()) TreeView_SetImageList(FHandle, FImages ? FImages->Handle() : nullptr, TVSIL_NORMAL);
}

TTreeNode* TCustomTreeView::InsertItem(HTREEITEM parent, HTREEITEM after, const std::string& text, int imageIndex,
                                       int selectedIndex, bool askChildren)
{
    HWND wnd = Handle();
    auto node = new TTreeNode(this);
    node->FText = text;
    node->FImageIndex = imageIndex;
    node->FSelectedIndex = selectedIndex;
    TVINSERTSTRUCTA is{};
    is.hParent = parent;
    is.hInsertAfter = after;
    is.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    is.item.pszText = const_cast<char*>(node->FText.c_str());
    is.item.iImage = imageIndex;
    is.item.iSelectedImage = selectedIndex;
    is.item.lParam = reinterpret_cast<LPARAM>(node);
    if (askChildren) {
        is.item.mask |= TVIF_CHILDREN;
        is.item.cChildren = I_CHILDRENCALLBACK;
    }
    auto item = reinterpret_cast<HTREEITEM>(SendMessageA(wnd, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&is)));
    if (!item) {
        delete node;
        throw EOutOfResources("Failed to create tree item");
    }
    node->FItem = item;
    FNodes.insert(node);
    return node;
}

TTreeNode* TCustomTreeView::AddChild(TTreeNode* parent, const std::string& text)
{
    return InsertItem(parent ? parent->FItem : TVI_ROOT, TVI_LAST, text);
}

TTreeNode* TCustomTreeView::AddChild(TTreeNode* parent, const std::string& text, int imageIndex, int selectedIndex,
                                     bool askChildren)
{
    return InsertItem(parent ? parent->FItem : TVI_ROOT, TVI_LAST, text, imageIndex, selectedIndex, askChildren);
}

TTreeNode* TCustomTreeView::Insert(TTreeNode* sibling, const std::string& text)
{
    if (!sibling) return AddChild(nullptr, text);
    HWND wnd = Handle();
    HTREEITEM parent = TreeView_GetParent(wnd, sibling->FItem);
    HTREEITEM prev = TreeView_GetPrevSibling(wnd, sibling->FItem);
    return InsertItem(parent ? parent : TVI_ROOT, prev ? prev : TVI_FIRST, text);
}

void TCustomTreeView::DeleteNode(TTreeNode* node)
{
    if (node) TreeView_DeleteItem(Handle(), node->FItem);
}

void TCustomTreeView::DeleteChildren(TTreeNode* node)
{
    if (!node) return;
    HWND wnd = Handle();
    while (HTREEITEM child = TreeView_GetChild(wnd, node->FItem)) TreeView_DeleteItem(wnd, child);
    // A node without children is closed, and its next opening is asked for again.
    TVITEMA item{};
    item.mask = TVIF_HANDLE | TVIF_STATE;
    item.hItem = node->FItem;
    item.stateMask = TVIS_EXPANDED | TVIS_EXPANDEDONCE;
    SendMessageA(wnd, TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item));
}

void TCustomTreeView::ClearNodes()
{
    if (HandleAllocated()) TreeView_DeleteAllItems(FHandle);
    FreeLeftoverNodes();
}

void TCustomTreeView::FreeLeftoverNodes()
{
    // Items whose deletion notice never came back (a window torn down with its parent) are released here.
    while (!FNodes.empty()) FreeNode(*FNodes.begin());
}

void TCustomTreeView::FreeNode(TTreeNode* node)
{
    if (!FNodes.erase(node)) return;
    if (node == FDropTarget) FDropTarget = nullptr;
    std::unique_ptr<TTreeNode> owned(node);
    Delete(node);
}

std::vector<TTreeNode*> TCustomTreeView::AllNodes() const
{
    std::vector<TTreeNode*> result;
    if (!HandleAllocated()) return result;
    for (HTREEITEM item = TreeView_GetRoot(FHandle); item;) {
        result.push_back(NodeFromItem(item));
        HTREEITEM next = TreeView_GetChild(FHandle, item);
        while (!next && item) {
            next = TreeView_GetNextSibling(FHandle, item);
            if (!next) item = TreeView_GetParent(FHandle, item);
        }
        item = next;
    }
    return result;
}

int TCustomTreeView::NodeCount() const
{
    return HandleAllocated() ? static_cast<int>(TreeView_GetCount(FHandle)) : 0;
}

TTreeNode* TCustomTreeView::GetFirstNode() const
{
    return HandleAllocated() ? NodeFromItem(TreeView_GetRoot(FHandle)) : nullptr;
}

TTreeNode* TCustomTreeView::NodeFromItem(HTREEITEM item) const
{
    if (!item || !HandleAllocated()) return nullptr;
    TVITEMA tv{};
    tv.mask = TVIF_HANDLE | TVIF_PARAM;
    tv.hItem = item;
    if (!SendMessageA(FHandle, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&tv))) return nullptr;
    return reinterpret_cast<TTreeNode*>(tv.lParam);
}

TTreeNode* TCustomTreeView::Selected() const
{
    return HandleAllocated() ? NodeFromItem(TreeView_GetSelection(FHandle)) : nullptr;
}

void TCustomTreeView::SetSelected(TTreeNode* node)
{
    TreeView_SelectItem(Handle(), ItemOf(node));
}

TTreeNode* TCustomTreeView::DropTarget() const
{
    return HandleAllocated() ? FDropTarget : nullptr;
}

void TCustomTreeView::SetDropTarget(TTreeNode* node)
{
    HWND wnd = Handle();
    if (FDropTarget && FDropMarkedByState)
        TreeView_SetItemState(wnd, ItemOf(FDropTarget), 0, TVIS_DROPHILITED);
    FDropMarkedByState = false;
    FDropTarget = node;
    TreeView_SelectDropTarget(wnd, ItemOf(node));
    // Some tree views refuse the highlight for the selected item; the item is then marked directly, and the
    // control's own record stays the answer to DropTarget either way.
    if (node && TreeView_GetDropHilight(wnd) != ItemOf(node)) {
        TreeView_SetItemState(wnd, ItemOf(node), TVIS_DROPHILITED, TVIS_DROPHILITED);
        FDropMarkedByState = true;
    }
}

TTreeNode* TCustomTreeView::GetNodeAt(int X, int Y) const
{
    if (!HandleAllocated()) return nullptr;
    TVHITTESTINFO hit{};
    hit.pt = {X, Y};
    HTREEITEM item = TreeView_HitTest(FHandle, &hit);
    return (hit.flags & (TVHT_ONITEM | TVHT_ONITEMBUTTON)) ? NodeFromItem(item) : nullptr;
}

void TCustomTreeView::BeginUpdate()
{
    if (FUpdateCount++ == 0 && HandleAllocated()) SendMessageA(FHandle, WM_SETREDRAW, FALSE, 0);
}

void TCustomTreeView::EndUpdate()
{
    if (FUpdateCount == 0) return;
    if (--FUpdateCount == 0 && HandleAllocated()) {
        SendMessageA(FHandle, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(FHandle, nullptr, TRUE);
    }
}

bool TCustomTreeView::CanExpand(TTreeNode* node)
{
    bool allow = true;
    if (OnExpanding) OnExpanding(this, node, allow);
    return allow;
}

void TCustomTreeView::Expand(TTreeNode* node)
{
    if (OnExpanded) OnExpanded(this, node);
}

bool TCustomTreeView::CanCollapse(TTreeNode* node)
{
    bool allow = true;
    if (OnCollapsing) OnCollapsing(this, node, allow);
    return allow;
}

void TCustomTreeView::Collapse(TTreeNode* node)
{
    if (OnCollapsed) OnCollapsed(this, node);
}

bool TCustomTreeView::CanChange(TTreeNode* node)
{
    bool allow = true;
    if (OnChanging) OnChanging(this, node, allow);
    return allow;
}

void TCustomTreeView::Change(TTreeNode* node)
{
    if (OnChange) OnChange(this, node);
}

void TCustomTreeView::TreeClick()
{
    if (OnClick) OnClick(this);
}

void TCustomTreeView::Delete(TTreeNode* node)
{
    if (OnDeletion) OnDeletion(this, node);
}

bool TCustomTreeView::NodeHasChildren(TTreeNode* node)
{
    return node->HasChildren();
}

void TCustomTreeView::CNNotify(TMessage& Message)
{
    auto hdr = reinterpret_cast<NMHDR*>(Message.LParam);
    Message.Result = 0;
    // The item parts of the A and W structures are laid out alike; texts are read only from the A form.
    auto tv = reinterpret_cast<NMTREEVIEWA*>(hdr);
    // Only nodes still alive are handed on: items being torn down may carry freed nodes.
    auto nodeOf = [this](const TVITEMA& item) {
        auto node = reinterpret_cast<TTreeNode*>(item.lParam);
        return FNodes.count(node) ? node : nullptr;
    };
    switch (hdr->code) {
    case TVN_ITEMEXPANDINGA:
    case TVN_ITEMEXPANDINGW:
        if (tv->action & TVE_EXPAND)
            Message.Result = CanExpand(nodeOf(tv->itemNew)) ? FALSE : TRUE;
        else if (tv->action & TVE_COLLAPSE)
            Message.Result = CanCollapse(nodeOf(tv->itemNew)) ? FALSE : TRUE;
        break;
    case TVN_ITEMEXPANDEDA:
    case TVN_ITEMEXPANDEDW:
        if (tv->action & TVE_EXPAND)
            Expand(nodeOf(tv->itemNew));
        else if (tv->action & TVE_COLLAPSE)
            Collapse(nodeOf(tv->itemNew));
        break;
    case TVN_SELCHANGINGA:
    case TVN_SELCHANGINGW:
        Message.Result = CanChange(nodeOf(tv->itemNew)) ? FALSE : TRUE;
        break;
    case TVN_SELCHANGEDA:
    case TVN_SELCHANGEDW:
        Change(nodeOf(tv->itemNew));
        break;
    case TVN_GETDISPINFOA:
    case TVN_GETDISPINFOW: {
        // The answer is not stored in the item (no TVIF_DI_SETITEM): the node's children may change later.
        TVITEMA& item = reinterpret_cast<NMTVDISPINFOA*>(hdr)->item;
        if (item.mask & TVIF_CHILDREN) {
            TTreeNode* node = nodeOf(item);
            item.cChildren = node && NodeHasChildren(node) ? 1 : 0;
        }
        break;
    }
    case TVN_DELETEITEMA:
    case TVN_DELETEITEMW:
        FreeNode(reinterpret_cast<TTreeNode*>(tv->itemOld.lParam));
        break;
    case TVN_BEGINLABELEDITA: {
        bool allow = !FReadOnly;
        TTreeNode* node = nodeOf(reinterpret_cast<NMTVDISPINFOA*>(hdr)->item);
        if (allow && OnEditing) OnEditing(this, node, allow);
        Message.Result = allow ? FALSE : TRUE;
        break;
    }
    case TVN_ENDLABELEDITA: {
        auto info = reinterpret_cast<NMTVDISPINFOA*>(hdr);
        if (!info->item.pszText) break;  // editing cancelled
        std::string text = info->item.pszText;
        TTreeNode* node = nodeOf(info->item);
        if (OnEdited) OnEdited(this, node, text);
        if (node) node->SetText(text);
        break;
    }
    case NM_CLICK:
        PostMessageA(FHandle, CM_TREECLICK, 0, 0);
        break;
    default:
        break;
    }
}

void TCustomTreeView::WndProc(TMessage& Message)
{
    switch (Message.Msg) {
    case CN_NOTIFY:
        CNNotify(Message);
        return;
    case WM_NOTIFYFORMAT:
        Message.Result = NFR_ANSI;
        return;
    case CM_TREECLICK:
        TreeClick();
        return;
    case WM_DESTROY:
        // Free the nodes while the parent still relays the deletion notices.
        TreeView_DeleteAllItems(FHandle);
        FreeLeftoverNodes();
        break;
    default:
        break;
    }
    TWinControl::WndProc(Message);
}

bool TCustomTreeView::SetProperty(const std::string& name, const TLayoutValue& value)
{
    if (name == "ReadOnly") SetReadOnly(value.AsBool());
    else if (name == "HideSelection") SetHideSelection(value.AsBool());
    else if (name == "BorderStyle") SetBorderStyle(value.AsEnum<TBorderStyle>({"bsNone", "bsSingle"}));
    else if (name == "OnChange") OnChange = value.AsEvent<TTVChangedEvent>();
    else if (name == "OnChanging") OnChanging = value.AsEvent<TTVChangingEvent>();
    else if (name == "OnExpanding") OnExpanding = value.AsEvent<TTVExpandingEvent>();
    else if (name == "OnExpanded") OnExpanded = value.AsEvent<TTVExpandedEvent>();
    else if (name == "OnCollapsing") OnCollapsing = value.AsEvent<TTVCollapsingEvent>();
    else if (name == "OnCollapsed") OnCollapsed = value.AsEvent<TTVExpandedEvent>();
    else if (name == "OnEditing") OnEditing = value.AsEvent<TTVEditingEvent>();
    else if (name == "OnEdited") OnEdited = value.AsEvent<TTVEditedEvent>();
    else return TWinControl::SetProperty(name, value);
    return true;
}
