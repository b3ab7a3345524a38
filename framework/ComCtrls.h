// Common controls: the tree view over the platform's tree control.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <unordered_set>
#include <vector>

#include "framework/Controls.h"
#include "framework/ImgList.h"

class TCustomTreeView;

// One item of a tree view. The tree view creates and frees nodes; the platform item's lParam points here.
class TTreeNode {
public:
    TTreeNode(const TTreeNode&) = delete;
    TTreeNode& operator=(const TTreeNode&) = delete;

    TCustomTreeView* TreeView() const { return FOwner; }
    HTREEITEM ItemId() const { return FItem; }
    const std::string& Text() const { return FText; }
    void SetText(const std::string& value);
    int ImageIndex() const { return FImageIndex; }
    void SetImageIndex(int value);
    int SelectedIndex() const { return FSelectedIndex; }
    void SetSelectedIndex(int value);
    // Index of the overlay image (0 = the list's first overlay), -1 for none.
    int OverlayIndex() const { return FOverlayIndex; }
    void SetOverlayIndex(int value);
    void* Data() const { return FData; }
    void SetData(void* value) { FData = value; }

    TTreeNode* Parent() const;
    TTreeNode* GetFirstChild() const;
    TTreeNode* GetNextSibling() const;
    TTreeNode* GetNextChild(TTreeNode* child) const { return child ? child->GetNextSibling() : nullptr; }
    bool HasChildren() const;
    int Count() const;
    bool Expanded() const;
    void Expand();
    void Collapse();
    bool Selected() const;
    void DeleteChildren();
    // Deletes the node and its children; the node object is gone afterwards.
    void Delete();
    // Scrolls the node into view, expanding its ancestors.
    void MakeVisible();

private:
    friend class TCustomTreeView;
    explicit TTreeNode(TCustomTreeView* owner) : FOwner(owner) {}
    void UpdateItem(UINT mask);

    TCustomTreeView* FOwner;
    HTREEITEM FItem = nullptr;
    std::string FText;
    int FImageIndex = -1;
    int FSelectedIndex = -1;
    int FOverlayIndex = -1;
    void* FData = nullptr;
};

using TTVChangedEvent = std::function<void(TObject* Sender, TTreeNode* Node)>;
using TTVExpandedEvent = TTVChangedEvent;
using TTVExpandingEvent = std::function<void(TObject* Sender, TTreeNode* Node, bool& AllowExpansion)>;
using TTVCollapsingEvent = std::function<void(TObject* Sender, TTreeNode* Node, bool& AllowCollapse)>;
using TTVChangingEvent = std::function<void(TObject* Sender, TTreeNode* Node, bool& AllowChange)>;
using TTVEditingEvent = std::function<void(TObject* Sender, TTreeNode* Node, bool& AllowEdit)>;
using TTVEditedEvent = std::function<void(TObject* Sender, TTreeNode* Node, std::string& S)>;

enum TBorderStyle { bsNoBorder, bsSingleBorder };

// Nodes exist only while the window does: node operations create the window when needed.
class TCustomTreeView : public TWinControl {
public:
    explicit TCustomTreeView(TComponent* AOwner);
    ~TCustomTreeView() override;

    // Appends a node as the last child of parent (a top-level node when parent is null).
    TTreeNode* AddChild(TTreeNode* parent, const std::string& text);
    // The same with the node's images given at once (one platform call instead of three). With askChildren
    // the tree view asks NodeHasChildren whether the node shows an expand button whenever it needs to know
    // (when the node is drawn, opened or walked to), instead of looking at the node's children.
    TTreeNode* AddChild(TTreeNode* parent, const std::string& text, int imageIndex, int selectedIndex,
                        bool askChildren);
    // Inserts a node just before sibling, under the same parent.
    TTreeNode* Insert(TTreeNode* sibling, const std::string& text);
    void DeleteNode(TTreeNode* node);
    void DeleteChildren(TTreeNode* node);
    void ClearNodes();
    // Every node in display order (parents before children), for walks by absolute index.
    std::vector<TTreeNode*> AllNodes() const;
    int NodeCount() const;
    TTreeNode* GetFirstNode() const;
    TTreeNode* NodeFromItem(HTREEITEM item) const;

    TTreeNode* Selected() const;
    void SetSelected(TTreeNode* node);
    TTreeNode* DropTarget() const;
    void SetDropTarget(TTreeNode* node);
    TTreeNode* GetNodeAt(int X, int Y) const;

    void BeginUpdate();
    void EndUpdate();
    TImageList* Images() const { return FImages; }
    void SetImages(TImageList* value);
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool value);
    bool HideSelection() const { return FHideSelection; }
    void SetHideSelection(bool value);
    TBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TBorderStyle value);

    TTVExpandingEvent OnExpanding;
    TTVExpandedEvent OnExpanded, OnCollapsed, OnDeletion;
    TTVCollapsingEvent OnCollapsing;
    TTVChangingEvent OnChanging;
    TTVChangedEvent OnChange;
    TTVEditingEvent OnEditing;
    TTVEditedEvent OnEdited;

    bool SetProperty(const std::string& name, const TLayoutValue& value) override;
    void WndProc(TMessage& Message) override;
    // Clicks come from the tree's own notification (after the selection has moved), not from mouse routing.
    void Click() override {}

protected:
    void CreateParams(TCreateParams& Params) override;
    void CreateHandleDone() override;
    bool IsCustomPainted() const override { return false; }
    void Notification(TComponent* AComponent, TOperation Operation) override;

    // Asked before a node opens; false keeps it closed. The base raises OnExpanding.
    virtual bool CanExpand(TTreeNode* node);
    virtual void Expand(TTreeNode* node);
    virtual bool CanCollapse(TTreeNode* node);
    virtual void Collapse(TTreeNode* node);
    virtual bool CanChange(TTreeNode* node);
    // The selection moved to node (which may be null). The base raises OnChange.
    virtual void Change(TTreeNode* node);
    // A click on the control, reported once the selection has followed it. The base raises OnClick.
    virtual void TreeClick();
    // The node is about to be freed. The base raises OnDeletion.
    virtual void Delete(TTreeNode* node);
    // Asked for a node added with askChildren whether it shows an expand button. The base answers from the
    // node's children.
    virtual bool NodeHasChildren(TTreeNode* node);

private:
    friend class TTreeNode;
    TTreeNode* InsertItem(HTREEITEM parent, HTREEITEM after, const std::string& text, int imageIndex = -1,
                          int selectedIndex = -1, bool askChildren = false);
    void CNNotify(TMessage& Message);
    void FreeNode(TTreeNode* node);
    void FreeLeftoverNodes();
    void UpdateStyle();

    std::unordered_set<TTreeNode*> FNodes;
    TTreeNode* FDropTarget = nullptr;
    bool FDropMarkedByState = false;
    TImageList* FImages = nullptr;
    bool FReadOnly = false;
    bool FHideSelection = true;
    TBorderStyle FBorderStyle = bsSingleBorder;
    int FUpdateCount = 0;
};
