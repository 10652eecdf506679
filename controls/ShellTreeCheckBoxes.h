// The shell tree's check boxes.
//   TKivShellTreeCheckBoxes   shows the states of the link's selection list in the nodes' boxes,
//                             reads them again when the list changes (the nodes on screen at once,
//                             the others when they are drawn), and turns a click on a box into a
//                             change of the list
#pragma once

#include "selection/KivSelectionList.h"

namespace host {
class TTreeNode;
}

namespace zelnor {

class TKivShellTree;
class TKivShellTreeItem;

class TKivShellTreeCheckBoxes {
 public:
  explicit TKivShellTreeCheckBoxes(TKivShellTree& tree);

  bool On() const { return on_; }
  // Boxes only with a link; switching off clears every node's box.
  void Set(bool value);
  // The link's selection list while the boxes are on, else nullptr.
  TKivSelectionList* CheckedPaths() const;
  // The cached state of a node (no lookup in the selection list).
  TKivSelectionState NodeState(const host::TTreeNode* node) const;
  TKivSelectionState StateAt(int index) const;
  // What `list` holds of the item's object.
  static TKivSelectionState StateInList(TKivSelectionList* list, const TKivShellTreeItem& item);

  // Every box read before now is stale: the checked paths may have changed.
  void Invalidate() { ++stamp_; }
  // The boxes read before the last change of the list are read again: those on screen now,
  // the others when they are drawn (RefreshStaleCheckState).
  void RefreshShownCheckStates();
  void RefreshStaleCheckState(host::TTreeNode* node);
  // The check-box step of a node's completion.
  void CompleteCheckState(host::TTreeNode* node, bool full);
  void ShowFirstRootState(host::TTreeNode* first);
  // Recompute the cached states from the selection list: of the node and its ancestors, and of
  // the node and its open descendants.
  void SetParentNodeSelectionState(host::TTreeNode* node);
  void SetChildNodeSelectionState(host::TTreeNode* node);
  // A left press on a node's box changes the selection; true when the press was on a box.
  bool ClickOnCheckBox(int x, int y);

 private:
  // Shows `state`, read from the list now, in the node's box.
  void ShowCheckState(host::TTreeNode* node, TKivSelectionState state);
  TKivSelectionState VirtualRootState(TKivSelectionList* list) const;
  bool IsVirtualFirstRoot(const host::TTreeNode* node) const;

  TKivShellTree& tree_;
  bool on_ = false;
  uint32_t stamp_ = 1;  // moves on with every change of the checked paths
};

}  // namespace zelnor
