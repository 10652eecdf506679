// TKivShellTree: shell commands on the selected node (verbs, the context menu, new folders) and
// in-place renaming.
//
// The shell announces what a command changed while the command is still running (the rename in
// SetNameOf, a delete, a new folder). A refresh at that moment could delete the node the command
// is using, or drop a renamed node that still holds its old list as unseen. So each command holds
// the reports (the core replays them once the command is done with its node).
#include "controls/ShellTree.h"

#include <windowsx.h>
#include <shlobj.h>

#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "host/core/StringList.h"
#include "host/forms/Application.h"
#include "shell/ShellRoutines.h"

namespace zelnor {

using host::TTreeNode;

namespace {

constexpr char kNewFolderName[] = "New Folder";

std::unique_ptr<host::TStrings> OneFile(const String& path) {
  auto files = std::make_unique<host::TStringList>();
  files->Add(path);
  return files;
}

bool SameBytes(PCItemIDList a, PCItemIDList b) {
  const int size = GetPidlSize(a);
  return a && b && size == GetPidlSize(b) && std::memcmp(a, b, size_t(size)) == 0;
}

}  // namespace

// ---- Verbs

void TKivShellTree::PrepareNavigatorForCommand() {
  core_.PrepareNavigatorForCommand(
      ReadOnly(), [this] { HandleRenameEvent(); }, OnContextMenuSelect);
}

void TKivShellTree::HandleRenameEvent() {
  if (TTreeNode* node = Selected()) node->EditText();
}

bool TKivShellTree::InvokeCommandOnSelected(const String& verb) {
  TTreeNode* node = Selected();
  // A node that is not one of the shell's has nothing to run a verb on.
  if (!IsValidKivShellTreeItem(node)) return false;
  PrepareNavigatorForCommand();
  const bool paste = host::SameText(verb, "paste");
  std::unique_ptr<host::TStrings> files =
      paste ? std::unique_ptr<host::TStrings>(GetFilenamesFromClipboard())
            : OneFile(GetSelectedFolder());
  bool done = false;
  const bool deleting = host::SameText(verb, "delete");
  {
    // The folder's own watch would keep it on disk: it goes first, and comes back when the
    // folder is still there afterwards.
    UniquePidl kept;
    if (deleting && node->Expanded()) {
      if (TKivShellTreeItem* item = ShellItem(node))
        kept = UniquePidl{CopyItemIdList(item->absoluteIdList.get())};
      changes_.Unwatch(node);
    }
    auto rewatch = host::ScopeExit([this, &kept] {
      if (!kept || GetPathFromPidl(kept.get()).empty()) return;
      if (!host::DirectoryExists(GetPathFromPidl(kept.get()))) return;
      if (TTreeNode* again = FindNodeOfList(kept.get()); again && again->Expanded())
        changes_.WatchOpen(again);
    });
    auto busy = core_.Busy();
    PointNavigatorAt(node);
    done = Navigator()->InvokeContextMenuCommand(verb);
  }
  if (!done) return false;
  if (deleting) {
    SetChangeDelay(0);
    Operation(ShellOperations({sopDelete, sopRemove}), std::move(files), {});
  } else if (paste) {
    host::Application().ProcessMessages();
    SmartRefresh();
    const TKivShellOperations operations = PasteOperations(files.get());
    Operation(operations, std::move(files), GetSelectedFolder());
  } else if (host::SameText(verb, "cut")) {
    // The node may have gone with a report replayed above.
    if (TTreeNode* selected = Selected()) selected->SetCut(true);
  }
  return true;
}

void TKivShellTree::ShowContextMenu(POINT point, String& command) {
  command.clear();
  TTreeNode* node = Selected();
  if (!IsValidKivShellTreeItem(node)) return;
  PrepareNavigatorForCommand();
  std::unique_ptr<host::TStrings> clipboard(GetFilenamesFromClipboard());
  std::unique_ptr<host::TStrings> selected = OneFile(GetSelectedFolder());
  {
    auto busy = core_.Busy();
    PointNavigatorAt(node);
    command = Navigator()->ShowContextMenu(point, PopupMenu());
  }
  if (host::SameText(command, "delete")) {
    SetChangeDelay(0);
    Operation(ShellOperations({sopDelete, sopRemove}), std::move(selected), {});
  } else if (host::SameText(command, "cut")) {
    if (TTreeNode* now = Selected()) now->SetCut(true);
  } else if (host::SameText(command, "paste")) {
    host::Application().ProcessMessages();
    SmartRefresh();
    const TKivShellOperations operations = PasteOperations(clipboard.get());
    Operation(operations, std::move(clipboard), GetSelectedFolder());
  }
}

void TKivShellTree::WMContextMenu(host::TMessage& message) {
  TTreeNode* node = Selected();
  if (!shellContextMenu_ || !IsValidKivShellTreeItem(node)) {
    host::TCustomTreeView::WndProc(message);
    return;
  }
  POINT point{GET_X_LPARAM(message.LParam), GET_Y_LPARAM(message.LParam)};
  // From the keyboard: below the selected node's text.
  if (point.x <= 0) point = ClientToScreen(BottomRightOfText(node));
  String command;
  ShowContextMenu(point, command);
  message.Result = 1;
}

void TKivShellTree::CNNotify(host::TMessage& message) {
  host::TCustomTreeView::CNNotify(message);
  // A right click has selected the node under the mouse: its menu is shown here, and the
  // control, told the click was handled, sends no WM_CONTEXTMENU of its own.
  if (reinterpret_cast<NMHDR*>(message.LParam)->code != NM_RCLICK) return;
  if (!shellContextMenu_ || !IsValidKivShellTreeItem(Selected())) return;
  const DWORD position = GetMessagePos();
  String command;
  ShowContextMenu(POINT{GET_X_LPARAM(position), GET_Y_LPARAM(position)}, command);
  message.Result = 1;
}

POINT TKivShellTree::BottomRightOfText(TTreeNode* node) const {
  const RECT rect = node->DisplayRect(true);
  return POINT{rect.right, rect.bottom};
}

// ---- New folders

void TKivShellTree::CreateDir(const String& parentPath, const String& name, bool edit) {
  if (parentPath.empty()) return;
  const String parent = host::IncludeTrailingBackslash(parentPath);
  const String leaf = name.empty() ? String(kNewFolderName) : name;
  {
    auto busy = core_.Busy();
    host::ForceDirectories(parent + leaf);
    const WideString created = host::ToWide(parent + leaf);
    SHChangeNotify(SHCNE_MKDIR, SHCNF_PATHW, created.c_str(), nullptr);
  }
  SetSelectedFolder(parent);
  TTreeNode* node = Selected();
  if (!node) return;
  node->SetHasChildren(true);
  node->Expand(false);
  RefreshNode(node, false, true);
  for (int i = 0; i < node->Count(); ++i) {
    if (!host::SameText(node->Item(i)->Text(), leaf)) continue;
    if (edit) node->Item(i)->EditText();
    break;
  }
}

// ---- Renaming in place

bool TKivShellTree::CanEdit(TTreeNode* node) {
  bool allow = host::TCustomTreeView::CanEdit(node);
  if (allow && IsValidKivShellTreeItem(node)) {
    PointNavigatorAt(node);
    allow = Navigator()->CanRename();
    if (allow && HandleAllocated())
      TKivShellViewCore::SelectNameOnly(HWND(SendMessageW(Handle(), TVM_GETEDITCONTROL, 0, 0)),
                                        ShellItem(node)->isFolder);
  }
  return allow;
}

void TKivShellTree::Edit(const TVITEMW& item) {
  auto* node = reinterpret_cast<TTreeNode*>(item.lParam);
  if (!item.pszText) {
    if (OnEditCanceled) OnEditCanceled(this, node);
    return;
  }
  host::TCustomTreeView::Edit(item);
  TKivShellTreeItem* data = ShellItem(node);
  if (!data) return;
  String name = node->Text();
  const String oldPath = GetFullPath(node);
  bool renamed = false;
  bool wasExpanded = false;
  UniquePidl newList;
  {
    // The shell's report of the rename waits until the node holds its new lists.
    auto busy = core_.Busy();
    PointNavigatorAt(node);
    UniquePidl before = Navigator()->GetItemIdList();
    const String typed = name;
    String why;
    const bool accepted = Navigator()->TryRenameObject(name, &why);
    // The shell's name, which may differ from the typed one (a hidden extension).
    node->SetText(name);
    if (!accepted) {
      std::shared_ptr<ITEMIDLIST> again(CopyItemIdList(data->absoluteIdList.get()).release(),
                                        CoTaskMemFree);
      core_.RenameRefused(Handle(), why, [this, again, typed] {
        TTreeNode* node = FindNodeOfList(again.get());
        if (!node || !node->EditText()) return;
        TKivShellViewCore::RestoreEditText(HWND(SendMessageW(Handle(), TVM_GETEDITCONTROL, 0, 0)),
                                           typed);
      });
      return;
    }
    UniquePidl after = Navigator()->GetItemIdList();
    renamed = before && after && !SameBytes(before.get(), after.get());
    if (renamed) {
      data->absoluteIdList = CopyItemIdList(Navigator()->GetAbsoluteItemIdList());
      newList = CopyItemIdList(data->absoluteIdList.get());
      data->relativeIdList = node->Parent()
                                 ? std::move(after)
                                 : UniquePidl{CopyItemIdList(data->absoluteIdList.get())};
      // The children's lists name the old folder: they are read again.
      wasExpanded = node->Expanded();
      if (wasExpanded) node->Collapse(false);
      node->DeleteChildren();
      node->SetHasChildren(true);
    }
  }
  if (!renamed) return;
  // A replayed report may have taken the node: it is looked for by its new list.
  if (FindNodeOfList(newList.get()) != node) return;
  if (!AutomaticRefresh()) RefreshNode(node, true, true);
  if (node->Parent()) {
    PointNavigatorAt(node);
    Resort(node->Parent());
  }
  Operation(ShellOperations({sopRename}), OneFile(oldPath), GetFullPath(node));
  if (wasExpanded) node->Expand(false);
  if (ShellLink()) ShellLink()->PathChanged(this, newList.get());
}

// ---- Double click

void TKivShellTree::MouseDown(host::TMouseButton button, host::TShiftState shift, int x, int y) {
  host::TCustomTreeView::MouseDown(button, shift, x, y);
  if (button != host::mbLeft || !(shift & host::ssDouble) || OnDblClick) return;
  TTreeNode* node = GetNodeAt(x, y);
  TKivShellTreeItem* item = ShellItem(node);
  if (!item || !ShowOption(soShowFiles) || item->isFolder) return;
  InvokeCommandOnSelected("default");
}

}  // namespace zelnor
