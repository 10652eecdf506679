// The host tree view over the common controls' tree view.
//   TTreeNode         one node: data, text, images, marks, children, expansion, editing, sorting
//   TTreeNodes        the nodes: add, insert, delete, clear, update brackets
//   TCustomTreeView   the control: lazy texts and images, expansion hooks, delayed change report,
//                     label editing, custom draw, hit tests, begin-drag hook, double buffering
//
// The nodes live here and the native control mirrors them: the window can be re-created at any
// time and gets every node back, expanded where it was. Images are always asked for when the
// control draws (GetImageIndex / GetSelectedIndex), so a node added with ImageIndex -1 is
// completed when it is first painted.
//
// Lazy texts: a node whose text is pending (SetTextPending) has it supplied by GetNodeText
// (OnGetText) the first time anyone reads it: the program through Text(), or the control when it
// draws the node. The control also asks for the texts of nodes it is only measuring (all children
// of a node it opens); those that are not on screen get the text they hold so far, without asking
// GetNodeText, and are measured again when they are drawn.
#pragma once

#include "host/core/TypeInfo.h"
#include "host/forms/Controls.h"
#include "host/graphics/ImageList.h"
#include "host/views/ComCtrls.h"
#include "host/views/NativeView.h"

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <memory>
#include <vector>

namespace host {

class TCustomTreeView;
class TTreeNodes;
class TTreeNode;

// Compares two nodes for CustomSort; `data` is the caller's full-width value.
using TTVCompare = std::function<int(TTreeNode* node1, TTreeNode* node2, LPARAM data)>;

using TTVChangedEvent = std::function<void(TObject* sender, TTreeNode* node)>;
using TTVChangingEvent = std::function<void(TObject* sender, TTreeNode* node, bool& allowChange)>;
using TTVExpandingEvent =
    std::function<void(TObject* sender, TTreeNode* node, bool& allowExpansion)>;
using TTVCollapsingEvent =
    std::function<void(TObject* sender, TTreeNode* node, bool& allowCollapse)>;
using TTVExpandedEvent = std::function<void(TObject* sender, TTreeNode* node)>;
using TTVEditingEvent = std::function<void(TObject* sender, TTreeNode* node, bool& allowEdit)>;
using TTVEditedEvent = std::function<void(TObject* sender, TTreeNode* node, String& s)>;
using TTVCompareEvent = std::function<void(TObject* sender, TTreeNode* node1, TTreeNode* node2,
                                           LPARAM data, int& compare)>;
using TTVCustomDrawEvent =
    std::function<void(TCustomTreeView* sender, const RECT& rect, bool& defaultDraw)>;
using TTVCustomDrawItemEvent = std::function<void(TCustomTreeView* sender, TTreeNode* node,
                                                  TCustomDrawState state, bool& defaultDraw)>;

class TTreeNode : public TPersistent {
 public:
  explicit TTreeNode(TTreeNodes* owner);
  ~TTreeNode() override;
  String ClassName() const override { return "TTreeNode"; }

  TTreeNodes* Owner() const { return owner_; }
  TCustomTreeView* TreeView() const;
  HTREEITEM ItemId() const { return handle_; }

  void* Data() const { return data_; }
  void SetData(void* data) { data_ = data; }
  // The text; a pending one is asked of the tree view's GetNodeText first.
  const String& Text() const;
  void SetText(const String& text);
  // Marks the text as still to be supplied by the tree view (the text held so far stays until
  // then); SetText clears the mark.
  void SetTextPending(bool pending);
  bool TextPending() const { return textPending_; }

  // -1 (or any value) is asked of the tree view's GetImageIndex whenever the node is drawn.
  int ImageIndex() const { return imageIndex_; }
  void SetImageIndex(int index);
  int SelectedIndex() const { return selectedIndex_; }
  void SetSelectedIndex(int index);
  // Index into the state images (0 and -1 draw none: the control never draws image 0).
  int StateIndex() const { return stateIndex_; }
  void SetStateIndex(int index);
  // Overlay number of the image list, from 0; -1 draws none.
  int OverlayIndex() const { return overlayIndex_; }
  void SetOverlayIndex(int index);
  bool Cut() const { return cut_; }
  void SetCut(bool cut);
  bool DropTarget() const { return dropTarget_; }
  void SetDropTarget(bool dropTarget);
  // The node draws an expand button whether or not it has children yet.
  bool HasChildren() const { return hasChildren_; }
  void SetHasChildren(bool hasChildren);

  bool Expanded() const;
  void SetExpanded(bool expanded) { expanded ? Expand(false) : Collapse(false); }
  // Asks the tree's CanExpand, opens the node and calls its Expand; with `recursive`, the
  // children too.
  void Expand(bool recursive);
  void Collapse(bool recursive);
  bool Selected() const;
  void SetSelected(bool selected);
  bool Focused() const { return Selected(); }

  TTreeNode* Parent() const { return parent_; }
  int Level() const;
  int Count() const { return int(children_.size()); }
  TTreeNode* Item(int index) const { return children_.at(size_t(index)); }
  TTreeNode* operator[](int index) const { return Item(index); }
  // Position among its siblings.
  int Index() const { return index_; }
  // Position in the whole tree, counting every node before it (collapsed ones too).
  int AbsoluteIndex() const;
  TTreeNode* getFirstChild() const { return children_.empty() ? nullptr : children_.front(); }
  TTreeNode* GetLastChild() const { return children_.empty() ? nullptr : children_.back(); }
  TTreeNode* getNextSibling() const;
  TTreeNode* getPrevSibling() const;
  // The next node in the whole tree (children first), or nullptr.
  TTreeNode* GetNext() const;
  bool HasAsParent(const TTreeNode* node) const;

  // Its parents are expanded, so it has a place in the control.
  bool IsVisible() const;
  RECT DisplayRect(bool textOnly) const;
  void MakeVisible();
  bool EditText();
  void EndEdit(bool cancel);

  // Removes the node and its children (each told to the tree's Delete, children first).
  void Delete();
  void DeleteChildren();
  // Sorts the children with `compare` (nullptr: OnCompare, else the texts without case); a
  // stable sort. With `recurse`, every level below too.
  bool CustomSort(const TTVCompare& compare, LPARAM data, bool recurse = false);
  bool AlphaSort(bool recurse = false);

 private:
  friend class TTreeNodes;
  friend class TCustomTreeView;
  void UpdateNative(UINT mask);

  TTreeNodes* owner_;
  TTreeNode* parent_ = nullptr;
  std::vector<TTreeNode*> children_;  // owned
  HTREEITEM handle_ = nullptr;
  void* data_ = nullptr;
  String text_;
  int index_ = 0;
  int imageIndex_ = -1;
  int selectedIndex_ = -1;
  int stateIndex_ = -1;
  int overlayIndex_ = -1;
  bool cut_ = false, dropTarget_ = false, hasChildren_ = false, expanded_ = false;
  mutable bool textPending_ = false;
  bool callbackText_ = false;  // the native item asks for its text when it draws
};

class TTreeNodes : public TPersistent {
 public:
  explicit TTreeNodes(TCustomTreeView* owner) : owner_(owner) {}
  ~TTreeNodes() override;
  String ClassName() const override { return "TTreeNodes"; }

  TCustomTreeView* Owner() const { return owner_; }
  // Every node of the tree.
  int Count() const { return count_; }
  // The node at an absolute index (slow: walks the tree).
  TTreeNode* Item(int index) const;
  TTreeNode* operator[](int index) const { return Item(index); }
  int RootCount() const { return int(roots_.size()); }
  TTreeNode* Root(int index) const { return roots_.at(size_t(index)); }
  TTreeNode* GetFirstNode() const { return roots_.empty() ? nullptr : roots_.front(); }

  // A new last sibling of `sibling` (a new last root for nullptr).
  TTreeNode* Add(TTreeNode* sibling, const String& text);
  TTreeNode* AddObject(TTreeNode* sibling, const String& text, void* data);
  TTreeNode* AddFirst(TTreeNode* sibling, const String& text);
  // A new last child of `parent` (a new last root for nullptr).
  TTreeNode* AddChild(TTreeNode* parent, const String& text);
  TTreeNode* AddChildObject(TTreeNode* parent, const String& text, void* data);
  // A new last child whose text is pending (see SetTextPending) from the start.
  TTreeNode* AddChildObjectPending(TTreeNode* parent, void* data);
  TTreeNode* AddChildFirst(TTreeNode* parent, const String& text);
  // A new node just before `sibling` (a new last root for nullptr).
  TTreeNode* Insert(TTreeNode* sibling, const String& text);
  void Delete(TTreeNode* node);
  void Clear();

  void BeginUpdate();
  void EndUpdate();
  int UpdateCount() const { return updateCount_; }

 private:
  friend class TTreeNode;
  friend class TCustomTreeView;
  std::vector<TTreeNode*>& SiblingsOf(TTreeNode* parent) {
    return parent ? parent->children_ : roots_;
  }
  TTreeNode* InsertAt(TTreeNode* parent, size_t position, const String& text, void* data,
                      bool textPending = false);
  void Free(TTreeNode* node);  // tells Delete, children first, and frees; not unlinked here
  static void Renumber(std::vector<TTreeNode*>& siblings, size_t from);

  TCustomTreeView* owner_;
  std::vector<TTreeNode*> roots_;  // owned
  int count_ = 0;
  int updateCount_ = 0;
};

class TCustomTreeView : public TCustomNativeView {
  HOST_CLASS(TCustomTreeView, TCustomNativeView)
  explicit TCustomTreeView(TComponent* owner = nullptr);
  ~TCustomTreeView() override;

  TTreeNodes* Items() const { return nodes_.get(); }
  // The selected node. Without a window a selection is remembered and made when it is created.
  TTreeNode* Selected() const;
  void SetSelected(TTreeNode* node);
  TTreeNode* TopItem() const;
  TTreeNode* DropTarget() const;
  TTreeNode* GetNodeAt(int x, int y) const;
  THitTests GetHitTestInfoAt(int x, int y) const;
  // The node has a place in the client area now: on screen, not merely below expanded parents.
  bool IsNodeVisible(const TTreeNode* node) const;
  // The nodes with a place in the client area, from the top.
  std::vector<TTreeNode*> NodesOnScreen() const;
  bool IsEditing() const;
  // The node whose label is being edited, or nullptr.
  TTreeNode* EditingNode() const { return IsEditing() ? editing_ : nullptr; }
  // Sorts the roots (and with `recurse` every level).
  bool CustomSort(const TTVCompare& compare, LPARAM data, bool recurse = false);
  bool AlphaSort(bool recurse = false);
  void FullExpand();
  void FullCollapse();

  // Milliseconds between a selection change and Change; 0 reports at once.
  unsigned ChangeDelay() const { return changeDelay_; }
  void SetChangeDelay(unsigned ms) { changeDelay_ = ms; }
  // A selection change waits for its delay. Stopping the wait holds the report back; starting it
  // again waits the whole delay anew (a long expansion stops and restarts it).
  bool ChangeTimerActive() const { return changePending_; }
  void SetChangeTimerActive(bool active);
  int Indent() const;
  void SetIndent(int indent);
  // Scales a given Indent.
  void ChangeScale(int m, int d) override;
  bool ShowRoot() const { return showRoot_; }
  void SetShowRoot(bool show);
  bool ShowLines() const { return showLines_; }
  void SetShowLines(bool show);
  bool ShowButtons() const { return showButtons_; }
  void SetShowButtons(bool show);
  bool HideSelection() const { return hideSelection_; }
  void SetHideSelection(bool hide);
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool readOnly);
  bool HotTrack() const { return hotTrack_; }
  void SetHotTrack(bool hotTrack);
  bool RowSelect() const { return rowSelect_; }
  void SetRowSelect(bool rowSelect);
  // A right click selects the node under the mouse.
  bool RightClickSelect() const { return rightClickSelect_; }
  void SetRightClickSelect(bool select) { rightClickSelect_ = select; }
  // Paints through an off-screen bitmap, so that redrawing does not flicker: the control's own
  // double buffering where it has one, else a memory device context around its painting.
  bool DoubleBuffered() const { return doubleBuffered_; }
  void SetDoubleBuffered(bool value);
  TCustomImageList* Images() const { return images_.Get(); }
  void SetImages(TCustomImageList* images);
  TCustomImageList* StateImages() const { return stateImages_.Get(); }
  void SetStateImages(TCustomImageList* images);


  TTVChangedEvent OnChange;
  TTVChangingEvent OnChanging;
  TTVExpandingEvent OnExpanding;
  TTVExpandedEvent OnExpanded;
  TTVCollapsingEvent OnCollapsing;
  TTVExpandedEvent OnCollapsed;
  TTVExpandedEvent OnDeletion;
  TTVEditingEvent OnEditing;
  TTVEditedEvent OnEdited;
  TTVExpandedEvent OnGetImageIndex;
  TTVExpandedEvent OnGetSelectedIndex;
  TTVExpandedEvent OnGetText;
  TTVCompareEvent OnCompare;
  TTVCustomDrawEvent OnCustomDraw;
  TTVCustomDrawItemEvent OnCustomDrawItem;

 protected:
  const wchar_t* NativeClassName() const override { return WC_TREEVIEWW; }
  DWORD ManagedStyles() const override;
  DWORD StyleBits() const override;
  void CreateWnd() override;
  void DestroyWnd() override;
  void WndProc(TMessage& message) override;
  void CNNotify(TMessage& message) override;
  COLORREF BufferBackground() const override;

  // Asked before a node opens (user or program); fires OnExpanding.
  virtual bool CanExpand(TTreeNode* node);
  // After a node opened; fires OnExpanded.
  virtual void Expand(TTreeNode* node);
  virtual bool CanCollapse(TTreeNode* node);
  virtual void Collapse(TTreeNode* node);
  // A node is about to be freed; fires OnDeletion.
  virtual void Delete(TTreeNode* node);
  // Asked whenever the control draws a node's image; fires OnGetImageIndex.
  virtual void GetImageIndex(TTreeNode* node);
  virtual void GetSelectedIndex(TTreeNode* node);
  // Supplies the pending text of a node (SetText); fires OnGetText. The node is no longer
  // pending while it runs.
  virtual void GetNodeText(TTreeNode* node);
  // Asked before the selection moves to `node`; fires OnChanging.
  virtual bool CanChange(TTreeNode* node);
  // The selection changed (after ChangeDelay); fires OnChange.
  virtual void Change(TTreeNode* node);
  virtual bool CanEdit(TTreeNode* node);
  // End of label editing with the control's record: pszText is nullptr when editing was
  // cancelled. The base fires OnEdited and sets the text when there is a new one.
  virtual void Edit(const TVITEMW& item);
  bool IsCustomDrawn(TCustomDrawTarget target, TCustomDrawStage stage) override;
  bool CustomDraw(const RECT& rect, TCustomDrawStage stage) override;
  // Custom drawing of one node: the canvas holds the context, the font with the text colour and
  // the brush with the background; changes to them are used for the node. Clearing
  // `paintImages` draws the node without its images.
  virtual bool CustomDrawItem(TTreeNode* node, TCustomDrawState state, TCustomDrawStage stage,
                              bool& paintImages);
  // The user started dragging `node` with `button`; nothing by default.
  virtual void BeginNodeDrag(TTreeNode* node, TMouseButton button);

 private:
  friend class TTreeNode;
  friend class TTreeNodes;
  void SendImages(int which, HIMAGELIST list) const {
    Send(TVM_SETIMAGELIST, WPARAM(which), LPARAM(list));
  }
  void InsertNative(TTreeNode* node, HTREEITEM after);
  void ForgetNative(TTreeNode* node);
  TTreeNode* NodeOf(HTREEITEM item) const;
  void SortNative(TTreeNode* parent);
  void StartChangeTimer();
  void FetchText(const TTreeNode* node) const;
  void ApplyDoubleBuffered();

  bool CustomDrawItemOf(const NMCUSTOMDRAW& draw, TCustomDrawState state, TCustomDrawStage stage,
                        bool& paintImages, bool& found) override;
  void GetDispInfo(NMTVDISPINFOW& info);

  std::unique_ptr<TTreeNodes> nodes_;
  TViewImages images_{this, [this](HIMAGELIST h) { SendImages(TVSIL_NORMAL, h); }};
  TViewImages stateImages_{this, [this](HIMAGELIST h) { SendImages(TVSIL_STATE, h); }};
  unsigned changeDelay_ = 0;
  int indent_ = -1;  // -1: the control's own
  int givenIndent_ = 0, givenIndentPpi_ = 0;  // Indent as given, once scaled
  bool showRoot_ = true, showLines_ = true, showButtons_ = true, hideSelection_ = true,
       readOnly_ = false, hotTrack_ = false, rowSelect_ = false, rightClickSelect_ = false;
  bool doubleBuffered_ = false;
  bool nativeBuffer_ = false;  // the control buffers its painting itself
  TTreeNode* editing_ = nullptr;          // the node whose label is being edited
  TTreeNode* programExpand_ = nullptr;    // a node the program is expanding or collapsing
  TTreeNode* savedSelection_ = nullptr;  // selected while there is no window
  int quiet_ = 0;                         // selection changes made here, not reported
  bool changePending_ = false;
};

}  // namespace host
