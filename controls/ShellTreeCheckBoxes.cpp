// TKivShellTreeCheckBoxes: the tree's boxes mirroring the link's selection list. A node's state
// index caches its TKivSelectionState; the selection list is the only store, and a click on a box
// changes it and brings the cached states of the node's ancestors and open descendants up to date.
#include "controls/ShellTreeCheckBoxes.h"

#include "controls/ShellTree.h"
#include "selection/KivSelectionList.h"

namespace zelnor {

using host::TTreeNode;

TKivShellTreeCheckBoxes::TKivShellTreeCheckBoxes(TKivShellTree& tree) : tree_(tree) {}

TKivSelectionList* TKivShellTreeCheckBoxes::CheckedPaths() const {
  return tree_.core_.CheckedPaths(on_);
}

void TKivShellTreeCheckBoxes::Set(bool value) {
  tree_.core_.ShowCheckBoxImages(
      value, tree_.StateImages(),
      [this](host::TCustomImageList* images) { tree_.SetStateImages(images); });
  on_ = tree_.core_.CheckBoxesAllowed(value);
  if (!on_)
    for (TTreeNode* n = tree_.Items()->GetFirstNode(); n; n = n->GetNext())
      n->SetStateIndex(ssUnused);
  if (TTreeNode* first = tree_.Items()->GetFirstNode()) tree_.RefreshNode(first, true, true);
}

TKivSelectionState TKivShellTreeCheckBoxes::StateAt(int index) const {
  TTreeNode* node = tree_.Items()->Item(index);
  return node ? NodeState(node) : ssUnused;
}

void TKivShellTreeCheckBoxes::ShowFirstRootState(TTreeNode* first) {
  TKivSelectionList* list = CheckedPaths();
  if (!list) return;
  TKivShellTreeItem* item = tree_.ShellItem(first);
  first->SetStateIndex(!tree_.rootedAtFileSystemFolder_.empty() && item ? StateInList(list, *item)
                                                                        : ssNone);
}

TKivSelectionState TKivShellTreeCheckBoxes::NodeState(const TTreeNode* node) const {
  const int state = node->StateIndex();
  return state > 0 && state <= ssGrayed ? TKivSelectionState(state) : ssUnused;
}

TKivSelectionState TKivShellTreeCheckBoxes::StateInList(TKivSelectionList* list,
                                                        const TKivShellTreeItem& item) {
  return list->IsChildSelected(item.parentFolder.Get(), item.relativeIdList.get(),
                               item.absoluteIdList.get());
}

void TKivShellTreeCheckBoxes::ShowCheckState(TTreeNode* node, TKivSelectionState state) {
  node->SetStateIndex(state);
  if (TKivShellTreeItem* item = tree_.ShellItem(node)) item->checkStamp = stamp_;
}

void TKivShellTreeCheckBoxes::RefreshShownCheckStates() {
  if (!CheckedPaths()) return;
  for (TTreeNode* node : tree_.NodesOnScreen()) RefreshStaleCheckState(node);
}

// A node that was off screen when the list changed reads its box as it comes into view.
void TKivShellTreeCheckBoxes::RefreshStaleCheckState(TTreeNode* node) {
  TKivShellTreeItem* item = tree_.ShellItem(node);
  if (!item || item->checkStamp == stamp_ || node->ImageIndex() < 0 || !CheckedPaths()) return;
  CompleteCheckState(node, true);
}

// The desktop (or another virtual root) cannot be checked; it shows grayed while any local
// path is.
TKivSelectionState TKivShellTreeCheckBoxes::VirtualRootState(TKivSelectionList* list) const {
  return list->GetIsLocalPathSelected() ? ssGrayed : ssNone;
}

bool TKivShellTreeCheckBoxes::IsVirtualFirstRoot(const TTreeNode* node) const {
  return node == tree_.Items()->GetFirstNode() && tree_.rootedAtFileSystemFolder_.empty();
}

void TKivShellTreeCheckBoxes::CompleteCheckState(TTreeNode* node, bool full) {
  TKivSelectionList* list = CheckedPaths();
  TKivShellTreeItem* item = tree_.ShellItem(node);
  if (!list || !item) return;
  if (IsVirtualFirstRoot(node)) {
    ShowCheckState(node, VirtualRootState(list));
    return;
  }
  const TKivSelectionState current = NodeState(node);
  // A light completion keeps what an inactive or grayed box shows.
  if (full || (current != ssNone && current != ssGrayed))
    ShowCheckState(node, StateInList(list, *item));
}

void TKivShellTreeCheckBoxes::SetParentNodeSelectionState(TTreeNode* node) {
  TKivSelectionList* list = CheckedPaths();
  if (!list) return;
  for (; node; node = node->Parent()) {
    TKivShellTreeItem* item = tree_.ShellItem(node);
    if (!item) continue;
    if (!node->Parent()) {
      // Of the roots only a virtual first one follows; the others keep their state.
      if (IsVirtualFirstRoot(node)) ShowCheckState(node, VirtualRootState(list));
      break;
    }
    if (NodeState(node) != ssUnused || !tree_.rootedAtFileSystemFolder_.empty())
      ShowCheckState(node, StateInList(list, *item));
    else
      ShowCheckState(node, VirtualRootState(list));
  }
}

void TKivShellTreeCheckBoxes::SetChildNodeSelectionState(TTreeNode* node) {
  TKivSelectionList* list = CheckedPaths();
  TKivShellTreeItem* item = tree_.ShellItem(node);
  if (!list || !item) return;
  if (NodeState(node) != ssUnused || !tree_.rootedAtFileSystemFolder_.empty())
    ShowCheckState(node, StateInList(list, *item));
  else
    ShowCheckState(node, ssNone);
  // Closed nodes keep their cached states until they are shown again.
  if (!node->Expanded()) return;
  for (int i = 0; i < node->Count(); ++i) SetChildNodeSelectionState(node->Item(i));
}

bool TKivShellTreeCheckBoxes::ClickOnCheckBox(int x, int y) {
  TKivSelectionList* list = CheckedPaths();
  host::TCustomImageList* images = tree_.StateImages();
  TTreeNode* node = tree_.GetNodeAt(x, y);
  TKivShellTreeItem* item = tree_.ShellItem(node);
  if (!list || !images || !item) return false;
  const RECT row = node->DisplayRect(false);
  SCROLLINFO scroll{sizeof scroll, SIF_POS};
  const int scrolled = GetScrollInfo(tree_.Handle(), SB_HORZ, &scroll) ? scroll.nPos : 0;
  const int boxLeft =
      (tree_.ShowRoot() ? node->Level() + 1 : node->Level()) * tree_.Indent() + row.left;
  const bool onBox = boxLeft <= x + scrolled && x + scrolled < boxLeft + images->Width() &&
                     y < row.top + images->Height();
  if (!onBox) return false;

  host::CursorGuard cursor;
  // The refresh that ends the update may replace the node: what the report needs is kept.
  const int index = node->AbsoluteIndex();
  const String path = tree_.GetFullPath(node);
  UniquePidl idList{CopyItemIdList(item->absoluteIdList.get())};
  const TKivSelectionState state = NodeState(node);
  // An inactive box takes no part: the press is dropped whole.
  if (state == ssNone) return true;
  tree_.core_.ToggleChecked(*list, idList.get(), state, [this, node] {
    SetParentNodeSelectionState(node);
    SetChildNodeSelectionState(node);
  });
  if (tree_.OnCheckStateChanged)
    tree_.OnCheckStateChanged(&tree_, index, path, list->IsPIDLSelected(idList.get()));
  return true;
}

}  // namespace zelnor
