// The shell tree: the namespace as a tree view that fills itself on expansion.
//   TKivShellTreeItem     the data hung on every node (its lists, folders and marks)
//   TOnAddNode, TOnUpdatedFolder, TTVEditCanceled   the tree's own events
//   TKivShellTree         roots, expansion, lazy texts and icons, selection by path or list
//                         (ShellTree.cpp); the link, history and refresh
//                         (ShellTreeNavigation.cpp); keys, mouse and colours (ShellTreeInput.cpp);
//                         verbs, the context menu, new folders and renaming
//                         (ShellTreeCommands.cpp); OLE drag and drop (ShellTreeDragDrop.cpp)
// What the tree, the list and the combo share is their TKivShellViewCore (ShellViewCore.h). The
// tree's own collaborators: its check boxes (TKivShellTreeCheckBoxes, ShellTreeCheckBoxes.h) and
// its watched folders and change reports (TKivShellTreeChanges, ShellTreeChanges.h), its part in
// drag and drop (TKivShellTreeDragDrop, ShellTreeDragDrop.h).
//
// A node's children are enumerated when it is first expanded. A node is added with its lists
// only: its display name is read when someone reads its text or the control draws it on screen,
// its icons, overlay and attributes when it is first drawn (or at once when it is added on screen).
// Children are kept in the shell's own order, so a child is found by a binary search with the
// folder's CompareIDs.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <unordered_set>
#include <vector>

#include "controls/SelectionStateImageList.h"
#include "controls/ShellTreeChanges.h"
#include "controls/ShellTreeCheckBoxes.h"
#include "controls/ShellTreeDragDrop.h"
#include "controls/ShellViewCore.h"
#include "host/core/Raii.h"
#include "host/views/TreeView.h"
#include "link/ShellLink.h"
#include "selection/KivSelectionList.h"
#include "shell/SharedIcons.h"
#include "shell/ShellOperations.h"
#include "shell/ShowOptions.h"
#include "shell/SystemImageList.h"
#include "shell/Zelnor.h"

namespace zelnor {

class TKivShellChangeNotifier;
class TPidlHistory;

// Hung on every node of the tree as its data; the tree owns it.
class TKivShellTreeItem : public host::TObject {
 public:
  host::String ClassName() const override { return "TKivShellTreeItem"; }

  UniquePidl relativeIdList;                // relative to the parent folder; a full list for a root
  UniquePidl absoluteIdList;                // from the desktop
  uint32_t seen = 1;                        // cleared and set again by the incremental refresh
  host::ComPtr<IShellFolder> parentFolder;  // issued the relative list; compares the siblings
  bool isFolder = false;
  host::ComPtr<IShellFolder> ownFolder;  // roots only
  bool compressed = false;
  bool encrypted = false;
  uint32_t checkStamp = 0;  // the tree's check stamp when the box was last read from the list
};

// Asked for every node added by enumeration; canAdd comes in true, false removes the node.
using TOnAddNode = std::function<void(host::TTreeNode* node, const String& path, bool& canAdd)>;
// After a node's details have been (re)computed.
using TOnUpdatedFolder = std::function<void(host::TObject* sender, host::TTreeNode* node)>;
// Label editing ended without a new text.
using TTVEditCanceled = std::function<void(host::TObject* sender, host::TTreeNode* node)>;

class TKivShellTree : public host::TCustomTreeView, public TKivShellView<TKivShellTree> {
  HOST_CLASS(TKivShellTree, host::TCustomTreeView)
  explicit TKivShellTree(host::TComponent* owner = nullptr);
  ~TKivShellTree() override;

  // ---- Published settings (the link, show options, FileSystemOnly, Filter, UseSystemFont,
  // Version and the mouse events come with TKivShellView)
  void SetShellLink(TKivShellLink* link);
  TKivShellFolder RootedAt() const { return rootedAt_; }
  void SetRootedAt(TKivShellFolder folder);
  const String& RootedAtFileSystemFolder() const { return rootedAtFileSystemFolder_; }
  void SetRootedAtFileSystemFolder(const String& path);
  String GetSelectedFolder();
  void SetSelectedFolder(const String& path);
  TKivShellFolder GetSpecialFolder();
  void SetSpecialFolder(TKivShellFolder folder);
  bool OleDragDrop() const { return dragDrop_.OleDragDrop(); }
  void SetOleDragDrop(bool value) { dragDrop_.SetOleDragDrop(value); }
  bool ShellContextMenu() const { return shellContextMenu_; }
  void SetShellContextMenu(bool value) { shellContextMenu_ = value; }
  void SetShowOptions(TKivShellShowOptions options);
  void SetFilter(const String& value);
  bool ExpandOnSelected() const { return expandOnSelected_; }
  void SetExpandOnSelected(bool value) { expandOnSelected_ = value; }
  bool CreateLinkOnDrop() const { return dragDrop_.CreateLinkOnDrop(); }
  void SetCreateLinkOnDrop(bool value) { dragDrop_.SetCreateLinkOnDrop(value); }
  bool AutomaticRefresh() const;
  void SetAutomaticRefresh(bool value);
  TKivCopyMode CopyMode() const { return dragDrop_.CopyMode(); }
  void SetCopyMode(TKivCopyMode mode) { dragDrop_.SetCopyMode(mode); }
  // Boxes that show and change the states of the link's selection list; only with a link.
  bool CheckBoxes() const { return checkBoxes_.On(); }
  void SetCheckBoxes(bool value) { checkBoxes_.Set(value); }

  // ---- Roots and nodes
  // Several roots side by side: each SetRootedAt adds one. Switching it deletes all roots but
  // the first.
  bool MultipleRoots() const { return multipleRoots_; }
  void SetMultipleRoots(bool value);
  // A copy of the selected node's absolute list; nil without a valid selected node. Writing
  // selects the list's node (gaSelect).
  UniquePidl SelectedItemIdList() const;
  void SetSelectedItemIdList(PCItemIDList list);
  // Finds the node of an absolute list (expanding what gaSelect needs) and applies `action`;
  // true when the node was found or added. A list equal to a root answers false.
  bool GotoFolderIdList(PCItemIDList list, TGotoFolderIdAction action);
  String GetFullPath(host::TTreeNode* node);
  String GetFullPath(int index);
  TKivShellFolder IsSpecialObject(host::TTreeNode* node);
  TKivShellFolder IsSpecialObject(int index);
  host::TTreeNode* GetRootNode(host::TTreeNode* node) const;
  // Sorts the children of `node` in the shell's order.
  void Resort(host::TTreeNode* node);
  bool IsValidKivShellTreeItem(const host::TTreeNode* node) const;
  // The node's data when it is a valid shell node, else nullptr.
  TKivShellTreeItem* ShellItem(const host::TTreeNode* node) const;
  // Adds the navigator's current child below `parent`; nil when it is not shown or refused.
  host::TTreeNode* AddShellItem(host::TTreeNode* parent);
  // Reads icons, children flag and (with `full`) overlay and attributes of a node; the navigator
  // must point at the node's item.
  void CompleteItemDetails(host::TTreeNode* node, bool full);

  // ---- Check boxes
  // The cached state of the node at an absolute index (no lookup in the selection list).
  TKivSelectionState GetItemSelectionState(int index) const { return checkBoxes_.StateAt(index); }
  // Recompute the cached states from the selection list: of the node and its ancestors, and of
  // the node and its open descendants.
  void SetParentNodeSelectionState(host::TTreeNode* node) {
    checkBoxes_.SetParentNodeSelectionState(node);
  }
  void SetChildNodeSelectionState(host::TTreeNode* node) {
    checkBoxes_.SetChildNodeSelectionState(node);
  }

  // ---- Navigation and refresh
  void InformPathChanged(host::TTreeNode* node);
  bool MoveInHistory(int steps);
  bool IsMovePossible(int steps) const;
  TPidlHistory* History() const { return history_.get(); }
  // Incremental refresh of a node (and, with `recursive`, of its expanded children).
  void RefreshNode(host::TTreeNode* node, bool recursive, bool full);
  void RefreshNode(int index, bool recursive, bool full);

  // IKivShellControl
  void PathChanged(PCItemIDList idList) override;
  void FileChanged(PCItemIDList folder, PCItemIDList item) override;
  void SelectAll() override {}
  void Refresh() override;
  void SmartRefresh() override;
  bool GoUp() override;

  // ---- Commands on the selected node
  // Runs a shell verb ("delete", "copy", "paste", "rename", "properties", "default"...) on the
  // selected node and reports what it did through OnOperation; false when it did not run.
  bool InvokeCommandOnSelected(const String& verb);
  // The shell's context menu of the selected node at a screen point, merged with PopupMenu;
  // `command` is the verb carried out (empty when none).
  void ShowContextMenu(POINT point, String& command);
  // Creates parentPath\name ("New Folder" for an empty name), selects the parent, shows the new
  // folder and, with `edit`, opens its label for editing.
  void CreateDir(const String& parentPath, const String& name, bool edit);

  // ---- Drag and drop
  // Drags the selected node (a root is not dragged) to any drop target.
  void BeginOleDrag(host::TMouseButton button) { dragDrop_.BeginOleDrag(button); }
  // The shell's drop target of a node; nil when it has none.
  virtual host::ComPtr<IDropTarget> GetDropTarget(host::TTreeNode* node);
  // The tree's own IDropTarget and IDropSource, and their state.
  TKivShellDragDrop& DragDrop() { return dragDrop_; }
  IDropTarget* OleDropTarget() { return &dragDrop_; }
  IDropSource* OleDropSource() { return &dragDrop_; }

  // ---- Operations
  // Tells OnOperation (when there are files), then frees them.
  void Operation(TKivShellOperations operations, std::unique_ptr<host::TStrings> files,
                 const String& destination);

  using TKivShellView::Navigator;
  using TKivShellView::Notifier;
  TKivSystemImageList* SystemImages() const { return images_.get(); }

  TOnAddNode OnAddFolder;
  TOnUpdatedFolder OnUpdatedFolder;
  TTVEditCanceled OnEditCanceled;
  TOnBeforeShellDropEvent OnBeforeShellDrop;

  void Loaded() override;
  // Icons and check boxes of the new DPI.
  void ChangeScale(int m, int d) override;

 protected:
  void WndProc(host::TMessage& message) override;
  void CNNotify(host::TMessage& message) override;
  void Notification(host::TComponent* component, host::TOperation operation) override;
  void CreateWnd() override;
  void DestroyWnd() override;

  bool CanExpand(host::TTreeNode* node) override;
  void Expand(host::TTreeNode* node) override;
  void Collapse(host::TTreeNode* node) override;
  bool CanCollapse(host::TTreeNode* node) override;
  void Delete(host::TTreeNode* node) override;
  void GetImageIndex(host::TTreeNode* node) override;
  void GetSelectedIndex(host::TTreeNode* node) override;
  void GetNodeText(host::TTreeNode* node) override;
  bool CanChange(host::TTreeNode* node) override;
  void Change(host::TTreeNode* node) override;
  bool CanEdit(host::TTreeNode* node) override;
  void Edit(const TVITEMW& item) override;
  bool IsCustomDrawn(host::TCustomDrawTarget target, host::TCustomDrawStage stage) override;
  bool CustomDrawItem(host::TTreeNode* node, host::TCustomDrawState state,
                      host::TCustomDrawStage stage, bool& paintImages) override;
  void KeyDown(WORD& key, host::TShiftState shift) override;
  void KeyPress(wchar_t& key) override;
  void MouseDown(host::TMouseButton button, host::TShiftState shift, int x, int y) override;
  void BeginNodeDrag(host::TTreeNode* node, host::TMouseButton button) override;

  // The change notifier's OnChangePIDL.
  void ChangeNotification(host::TObject* sender, int event, PItemIDList pidl1, PItemIDList pidl2);

 private:
  bool Loading() const { return Has(host::TComponentStateFlag::csLoading); }
  bool Designing() const { return Has(host::TComponentStateFlag::csDesigning); }
  // Points the navigator at a node's item: a root becomes the item of its parent folder. A node
  // whose folder cannot be bound (its object went away) raises EZelnorError; the Try form answers
  // false instead (and false for a node that is not a shell node).
  void PointNavigatorAt(host::TTreeNode* node);
  bool TryPointNavigatorAt(host::TTreeNode* node, String* why = nullptr);
  // Fills a node's children from the navigator (the body of Expand).
  void FillNode(host::TTreeNode* node);
  // Builds the root when there is none yet (a tree used before its window exists).
  void EnsureRoots();
  // Deletes a node, ending the editing of its label (or a descendant's) first.
  void DeleteNode(host::TTreeNode* node);
  // Completes a node the control is about to draw for the first time.
  void CompleteOnFirstPaint(host::TTreeNode* node);
  // The navigator enters a node's folder; false when it cannot be opened.
  bool EnterNode(host::TTreeNode* node);
  host::TTreeNode* NewNode(host::TTreeNode* parent, std::unique_ptr<TKivShellTreeItem> item);
  // The children flag a completion gives: folders with files shown, else sub-folders.
  bool ChildrenFlagOfCurrent();
  int IconOfCurrent(bool open);
  host::TTreeNode* FindChild(host::TTreeNode* parent, PCItemIDList part);
  void ApplyAction(host::TTreeNode* target, TGotoFolderIdAction action);
  host::TTreeNode* FindNodeOfList(PCItemIDList list);
  // The shell's rename verb becomes editing of the selected node's label.
  void HandleRenameEvent();
  void PrepareNavigatorForCommand();
  void WMContextMenu(host::TMessage& message) override;
  POINT BottomRightOfText(host::TTreeNode* node) const;

  friend class TKivShellTreeCheckBoxes;
  TKivShellTreeCheckBoxes checkBoxes_{*this};

  std::unique_ptr<TKivSystemImageList> images_;
  std::unique_ptr<TPidlHistory> history_;
  TKivSharedIcons sharedIcons_;
  std::unordered_set<const TKivShellTreeItem*> items_;  // the data of every shell node
  TKivShellFolder rootedAt_ = SF_DESKTOP;
  String rootedAtFileSystemFolder_;
  TKivShellFolder pendingSpecialFolder_ = SF_DRIVES;
  String pendingSelectedFolder_;
  bool initialized_ = false;
  // Whether nodes below the roots may expand: while GotoFolderIdList runs its own answer,
  // otherwise everywhere but in the form designer.
  std::optional<bool> expandAllowed_;
  bool expanding_ = false;
  host::TTreeNode* expandingNode_ = nullptr;  // filled by CanExpand, opened next
  bool shellContextMenu_ = true;
  bool multipleRoots_ = false;
  bool expandOnSelected_ = false;
  bool movingInHistory_ = false;
  bool selectionBelowCollapsing_ = false;  // between CanCollapse and Collapse
  friend class TKivShellTreeDragDrop;
  TKivShellTreeDragDrop dragDrop_{*this};
  friend class TKivShellTreeChanges;
  // Last: its timer and queue go before anything a step would reach.
  TKivShellTreeChanges changes_{*this};
};

}  // namespace zelnor
