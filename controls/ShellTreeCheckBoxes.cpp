// TKivShellTree: check boxes mirroring the link's selection list. A node's state index caches
// its TKivSelectionState; the selection list is the only store, and a click on a box changes it
// and brings the cached states of the node's ancestors and open descendants up to date.
#include "controls/ShellTree.h"

#include "selection/KivSelectionList.h"

namespace zelnor {

using host::TTreeNode;

TKivSelectionList* TKivShellTree::CheckedPaths() const { return core_.CheckedPaths(checkBoxes_); }

void TKivShellTree::SetCheckBoxes(bool value) {
  core_.ShowCheckBoxImages(value, StateImages(),
                           [this](host::TCustomImageList* images) { SetStateImages(images); });
  checkBoxes_ = core_.CheckBoxesAllowed(value);
  if (!checkBoxes_)
    for (TTreeNode* n = Items()->GetFirstNode(); n; n = n->GetNext()) n->SetStateIndex(ssUnused);
  if (TTreeNode* first = Items()->GetFirstNode()) RefreshNode(first, true, true);
}

TKivSelectionState TKivShellTree::GetItemSelectionState(int index) const {
  TTreeNode* node = Items()->Item(index);
  return node ? NodeState(node) : ssUnused;
}

TKivSelectionState TKivShellTree::NodeState(const TTreeNode* node) const {
  const int state = node->StateIndex();
  return state > 0 && state <= ssGrayed ? TKivSelectionState(state) : ssUnused;
}

TKivSelectionState TKivShellTree::StateInList(TKivSelectionList* list,
                                              const TKivShellTreeItem& item) {
  return list->IsChildSelected(item.parentFolder.Get(), item.relativeIdList.get(),
                               item.absoluteIdList.get());
}

void TKivShellTree::ShowCheckState(TTreeNode* node, TKivSelectionState state) {
  node->SetStateIndex(state);
  if (TKivShellTreeItem* item = ShellItem(node)) item->checkStamp = checkStamp_;
}

void TKivShellTree::RefreshShownCheckStates() {
  if (!CheckedPaths()) return;
  for (TTreeNode* node : NodesOnScreen()) RefreshStaleCheckState(node);
}

// A node that was off screen when the list changed reads its box as it comes into view.
void TKivShellTree::RefreshStaleCheckState(TTreeNode* node) {
  TKivShellTreeItem* item = ShellItem(node);
  if (!item || item->checkStamp == checkStamp_ || node->ImageIndex() < 0 || !CheckedPaths())
    return;
  CompleteCheckState(node, true);
}

// The desktop (or another virtual root) cannot be checked; it shows grayed while any local
// path is.
TKivSelectionState TKivShellTree::VirtualRootState(TKivSelectionList* list) const {
  return list->GetIsLocalPathSelected() ? ssGrayed : ssNone;
}

bool TKivShellTree::IsVirtualFirstRoot(const TTreeNode* node) const {
  return node == Items()->GetFirstNode() && rootedAtFileSystemFolder_.empty();
}

void TKivShellTree::CompleteCheckState(TTreeNode* node, bool full) {
  TKivSelectionList* list = CheckedPaths();
  TKivShellTreeItem* item = ShellItem(node);
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

void TKivShellTree::SetParentNodeSelectionState(TTreeNode* node) {
  TKivSelectionList* list = CheckedPaths();
  if (!list) return;
  for (; node; node = node->Parent()) {
    TKivShellTreeItem* item = ShellItem(node);
    if (!item) continue;
    if (!node->Parent()) {
      // Of the roots only a virtual first one follows; the others keep their state.
      if (IsVirtualFirstRoot(node)) ShowCheckState(node, VirtualRootState(list));
      break;
    }
    if (NodeState(node) != ssUnused || !rootedAtFileSystemFolder_.empty())
      ShowCheckState(node, StateInList(list, *item));
    else
      ShowCheckState(node, VirtualRootState(list));
  }
}

void TKivShellTree::SetChildNodeSelectionState(TTreeNode* node) {
  TKivSelectionList* list = CheckedPaths();
  TKivShellTreeItem* item = ShellItem(node);
  if (!list || !item) return;
  if (NodeState(node) != ssUnused || !rootedAtFileSystemFolder_.empty())
    ShowCheckState(node, StateInList(list, *item));
  else
    ShowCheckState(node, ssNone);
  // Closed nodes keep their cached states until they are shown again.
  if (!node->Expanded()) return;
  for (int i = 0; i < node->Count(); ++i) SetChildNodeSelectionState(node->Item(i));
}

bool TKivShellTree::ClickOnCheckBox(int x, int y) {
  TKivSelectionList* list = CheckedPaths();
  host::TCustomImageList* images = StateImages();
  TTreeNode* node = GetNodeAt(x, y);
  TKivShellTreeItem* item = ShellItem(node);
  if (!list || !images || !item) return false;
  const RECT row = node->DisplayRect(false);
  SCROLLINFO scroll{sizeof scroll, SIF_POS};
  const int scrolled = GetScrollInfo(Handle(), SB_HORZ, &scroll) ? scroll.nPos : 0;
  const int boxLeft = (ShowRoot() ? node->Level() + 1 : node->Level()) * Indent() + row.left;
  const bool onBox = boxLeft <= x + scrolled && x + scrolled < boxLeft + images->Width() &&
                     y < row.top + images->Height();
  if (!onBox) return false;

  host::CursorGuard cursor;
  // The refresh that ends the update may replace the node: what the report needs is kept.
  const int index = node->AbsoluteIndex();
  const String path = GetFullPath(node);
  UniquePidl idList{CopyItemIdList(item->absoluteIdList.get())};
  const TKivSelectionState state = NodeState(node);
  // An inactive box takes no part: the press is dropped whole.
  if (state == ssNone) return true;
  core_.ToggleChecked(*list, idList.get(), state, [this, node] {
    SetParentNodeSelectionState(node);
    SetChildNodeSelectionState(node);
  });
  if (OnCheckStateChanged)
    OnCheckStateChanged(this, index, path, list->IsPIDLSelected(idList.get()));
  return true;
}

}  // namespace zelnor
