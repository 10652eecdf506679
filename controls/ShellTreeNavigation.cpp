// TKivShellTree: selection reports to the link and the history, following the link, the full
// and incremental refresh, change reports and the operation report.
#include "controls/ShellTree.h"

#include <cstring>
#include <vector>

#include "extras/ShellChangeNotifier.h"
#include "host/forms/Application.h"
#include "shell/PidlHistory.h"
#include "shell/ShellRoutines.h"

namespace zelnor {

using host::TTreeNode;

namespace {

// Byte equality of two lists: the same object as this tree recorded it.
bool SameList(PCItemIDList a, PCItemIDList b) {
  const int size = GetPidlSize(a);
  return a && b && size == GetPidlSize(b) && std::memcmp(a, b, size_t(size)) == 0;
}

bool IsDesktopList(PCItemIDList list) { return SameItemIdList(list, DesktopIdList()); }

}  // namespace

// ---- Selection and the link

bool TKivShellTree::CanChange(TTreeNode* node) {
  bool allow = host::TCustomTreeView::CanChange(node);
  TKivShellTreeItem* item = ShellItem(node);
  if (!allow || !item || !ShowOption(soShowErrorMessages) || !node->Parent()) return allow;
  // A folder that cannot be opened cannot be selected.
  if (ShowOption(soShowFiles) && !item->isFolder) return allow;
  return TryPointNavigatorAt(node) && EnterNode(node);
}

bool TKivShellTree::EnterNode(TTreeNode* node) {
  TKivShellTreeItem* item = ShellItem(node);
  if (!item) return false;
  return Navigator()->TrySetFolderIdList(item->absoluteIdList.get()) &&
         Navigator()->ShellFolder() != nullptr;
}

void TKivShellTree::Change(TTreeNode* node) {
  if (!movingInHistory_) {
    if (UniquePidl selected = SelectedItemIdList()) history_->Add(selected.release());
  }
  host::TCustomTreeView::Change(node);
  InformPathChanged(Selected());
  if (expandOnSelected_ && Selected()) Selected()->Expand(false);
  SetChangeDelay(100);
}

void TKivShellTree::InformPathChanged(TTreeNode* node) {
  TKivShellTreeItem* item = ShellItem(node);
  if (!item || !ShellLink()) return;
  ShellLink()->SetShowParentFolderItem(node->Level() > 0);
  if (Loading()) return;
  TKivShellTreeItem* parent = ShellItem(node->Parent());
  if (ShowOption(soShowFiles) && !item->isFolder && parent) {
    ShellLink()->FileChanged(this, parent->absoluteIdList.get(), item->relativeIdList.get());
  } else {
    ShellLink()->PathChanged(this, item->absoluteIdList.get());
  }
}

void TKivShellTree::PathChanged(PCItemIDList idList) {
  if (!idList) return;
  if (IsDesktopList(idList))
    SetSpecialFolder(SF_DESKTOP);
  else
    GotoFolderIdList(idList, gaSelect);
}

void TKivShellTree::FileChanged(PCItemIDList folder, PCItemIDList) {
  if (ShowOption(soShowFiles)) PathChanged(folder);
}

bool TKivShellTree::GoUp() {
  TTreeNode* node = Selected();
  if (!node || !node->Parent()) return false;
  TTreeNode* parent = node->Parent();
  SetSelected(parent);
  InformPathChanged(parent);
  return true;
}

// ---- History

bool TKivShellTree::MoveInHistory(int steps) {
  // An empty history has nowhere to go.
  if (history_->Count() == 0) return false;
  host::ScopedValue moving{movingInHistory_, true};
  SetChangeDelay(0);
  if (steps <= 0)
    history_->MoveBack(-steps);
  else
    history_->MoveForward(steps);
  return GotoFolderIdList(history_->GetCurrentItemIDList(), gaSelect);
}

bool TKivShellTree::IsMovePossible(int steps) const {
  if (steps < 1) return history_->Position() >= -steps;
  return history_->Count() - history_->Position() - 1 >= steps;
}

// ---- Refresh

void TKivShellTree::Refresh() {
  host::CursorGuard cursor;
  host::Application().ProcessMessages();
  host::UpdateGuard<host::TTreeNodes> update(*Items());
  if (TTreeNode* first = Items()->GetFirstNode())
    RefreshNode(first, true, true);
  else
    SetRootedAt(rootedAt_);
}

void TKivShellTree::SmartRefresh() {
  // The checked paths may have changed: every box read before now is stale.
  checkBoxes_.Invalidate();
  if (!Selected()) return;
  host::Application().ProcessMessages();
  TTreeNode* node = Selected();
  if (!node) return;
  host::UpdateGuard<host::TTreeNodes> update(*Items());
  if (node->Text().empty() && node->Parent()) node = node->Parent();
  RefreshNode(node, true, false);
  // A change made through another control reaches the ancestors' boxes, and every box on
  // screen (My Computer, say, beside the changed branch).
  SetParentNodeSelectionState(node);
  checkBoxes_.RefreshShownCheckStates();
  if (!AutomaticRefresh()) {
    // Refreshing a parent deletes nodes: the cut nodes are noted first and found again after.
    std::vector<UniquePidl> cut;
    for (TTreeNode* n = Items()->GetFirstNode(); n; n = n->GetNext()) {
      TKivShellTreeItem* item = ShellItem(n);
      if (item && n->Cut()) cut.emplace_back(CopyItemIdList(item->absoluteIdList.get()));
    }
    for (const UniquePidl& list : cut) {
      TTreeNode* again = FindNodeOfList(list.get());
      if (again && again->Parent()) RefreshNode(again->Parent(), false, false);
    }
  }
}

TTreeNode* TKivShellTree::FindNodeOfList(PCItemIDList list) {
  for (TTreeNode* n = Items()->GetFirstNode(); n; n = n->GetNext()) {
    TKivShellTreeItem* item = ShellItem(n);
    if (item && SameList(item->absoluteIdList.get(), list)) return n;
  }
  return nullptr;
}

void TKivShellTree::RefreshNode(int index, bool recursive, bool full) {
  RefreshNode(Items()->Item(index), recursive, full);
}

void TKivShellTree::RefreshNode(TTreeNode* node, bool recursive, bool full) {
  TKivShellTreeItem* item = ShellItem(node);
  if (Loading() || !item || node->ImageIndex() < 0) return;
  for (int i = 0; i < node->Count(); ++i)
    if (TKivShellTreeItem* child = ShellItem(node->Item(i))) child->seen = 0;
  // The object itself is gone; its parent's refresh (or a deletion report) removes it.
  if (!TryPointNavigatorAt(node)) return;
  CompleteItemDetails(node, full);
  // An open folder that showed nothing may have something now.
  if (!node->HasChildren() && node->Count() == 0 && !node->Expanded()) return;
  if (!node->Expanded()) {
    // Read again on the next expansion.
    host::UpdateGuard<host::TTreeNodes> update(*Items());
    for (int i = node->Count() - 1; i >= 0; --i) DeleteNode(node->Item(i));
    node->SetHasChildren(true);
    return;
  }
  // A folder that cannot be entered is left as it is rather than filled with something else.
  if (!EnterNode(node)) return;
  host::UpdateGuard<host::TTreeNodes> update(*Items());
  bool added = false;
  const bool files = ShowOption(soShowFiles);
  while (Navigator()->Next()) {
    if (!IsShownObject(*Navigator(), ShowOptions())) continue;
    PCItemIDList current = Navigator()->ItemIdList();
    // The same object by the folder's own comparison; each child matches once.
    TTreeNode* match = FindChild(node, current);
    TKivShellTreeItem* matched = ShellItem(match);
    if (matched && matched->seen != 0) {
      match = nullptr;
      for (int i = 0; i < node->Count() && !match; ++i) {
        TKivShellTreeItem* other = ShellItem(node->Item(i));
        if (other && other->seen == 0 && other->parentFolder &&
            SameItemIdList(current, other->relativeIdList.get(), other->parentFolder.Get()))
          match = node->Item(i);
      }
    }
    if (!match) {
      // Then by the name shown: the node takes over the object's new list.
      const String name = Navigator()->GetShellObjectName();
      for (int i = 0; i < node->Count() && !match; ++i) {
        TKivShellTreeItem* other = ShellItem(node->Item(i));
        if (other && other->seen == 0 && node->Item(i)->Text() == name) {
          match = node->Item(i);
          other->relativeIdList = Navigator()->GetItemIdList();
          other->absoluteIdList = CopyItemIdList(Navigator()->GetAbsoluteItemIdList());
          other->parentFolder = Navigator()->ShellFolder();
          other->isFolder = Navigator()->IsFolder();
        }
      }
    }
    if (TKivShellTreeItem* kept = ShellItem(match)) {
      kept->seen = 1;
      const bool flag = files ? Navigator()->IsFolder() : Navigator()->HasSubFolders();
      match->SetHasChildren(flag || match->Count() > 0);
    } else if (!IsEditing()) {
      added = AddShellItem(node) != nullptr || added;
    }
  }
  for (int i = 0; i < node->Count();) {
    TTreeNode* child = node->Item(i);
    TKivShellTreeItem* childItem = ShellItem(child);
    if (childItem && childItem->seen == 0) {
      DeleteNode(child);
      continue;
    }
    if (childItem && recursive) RefreshNode(child, recursive, full);
    ++i;
  }
  if (added) Resort(node);
  node->SetHasChildren(node->Count() > 0);
}

// ---- Change reports

void TKivShellTree::ChangeNotification(host::TObject*, int event, PItemIDList pidl1,
                                       PItemIDList pidl2) {
  if (Loading()) return;
  if (core_.HoldReport(event, pidl1, pidl2)) return;
  changes_.Report(event, pidl1, pidl2);
}

// ---- Operations

void TKivShellTree::Operation(TKivShellOperations operations, std::unique_ptr<host::TStrings> files,
                              const String& destination) {
  if (OnOperation && files && files->Count() > 0)
    OnOperation(this, operations, files.get(), destination);
}

}  // namespace zelnor
