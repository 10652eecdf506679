// TKivShellTree: construction, settings, the window and loading, roots, expansion, lazy texts
// and details of nodes, and finding a node by its list (GotoFolderIdList, SelectedFolder,
// SpecialFolder).
#include "controls/ShellTree.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "extras/ShellChangeNotifier.h"
#include "host/core/HResult.h"
#include "host/core/Streaming.h"
#include "host/forms/Application.h"
#include "host/forms/MessageDialogs.h"
#include "shell/PidlHistory.h"
#include "shell/ShellRoutines.h"

namespace zelnor {

using host::TTreeNode;

namespace {

// The events the tree follows: deletions, drives and media, folders, shares.
constexpr TNotificationEvents kTreeEvents =
    NotificationEventBit(neFileDelete) |
    NotificationEventBit(neDriveAdd) | NotificationEventBit(neDriveRemove) |
    NotificationEventBit(neShellDriveAdd) | NotificationEventBit(neMediaInsert) |
    NotificationEventBit(neMediaRemove) | NotificationEventBit(neFolderCreate) |
    NotificationEventBit(neFolderDelete) | NotificationEventBit(neFolderRename) |
    NotificationEventBit(neFolderUpdate) | NotificationEventBit(neNetShare) |
    NotificationEventBit(neNetUnShare);
// With files shown, their creation, deletion and renaming too.
constexpr TNotificationEvents kFileEvents = NotificationEventBit(neFileCreate) |
                                            NotificationEventBit(neFileDelete) |
                                            NotificationEventBit(neFileRename);

// Signed order of two relative lists in `folder` (0 when the folder cannot tell).
int CompareInFolder(IShellFolder* folder, PCItemIDList a, PCItemIDList b) {
  if (!folder || !a || !b) return 0;
  const HRESULT hr = folder->CompareIDs(0, a, b);
  if (!host::HrOk(hr, "CompareIDs")) return 0;
  return short(HRESULT_CODE(hr));
}

// The name `folder` shows for its child `item`; its parsing name when the shell gives none.
String DisplayNameOf(IShellFolder* folder, PCItemIDList item) {
  if (!folder || !item) return {};
  for (SHGDNF flags : {SHGDNF(SHGDN_NORMAL), SHGDNF(SHGDN_INFOLDER | SHGDN_FORPARSING)}) {
    STRRET name{};
    if (!host::HrOk(folder->GetDisplayNameOf(item, flags, &name), "GetDisplayNameOf")) continue;
    String text = GetStringFromStrRet(item, name);
    FreeStrRet(name);
    if (!text.empty()) return text;
  }
  return {};
}

// The name of `item` within `folder` ("a.txt"); empty when the folder cannot tell.
String ParsingNameOf(IShellFolder* folder, PCItemIDList item) {
  if (!folder || !item) return {};
  STRRET name{};
  if (!host::HrOk(folder->GetDisplayNameOf(item, SHGDN_INFOLDER | SHGDN_FORPARSING, &name),
                  "GetDisplayNameOf"))
    return {};
  String text = GetStringFromStrRet(item, name);
  FreeStrRet(name);
  return text;
}

}  // namespace

// ---- Construction

TKivShellTree::TKivShellTree(host::TComponent* owner)
    : host::TCustomTreeView(owner),
      TKivShellView(*this, {soShowNethood, soShowRecycleBin}),
      images_(std::make_unique<TKivSystemImageList>()),
      history_(std::make_unique<TPidlHistory>()) {
  images_->SetBkColor(host::clNone);
  SetImages(images_.get());
  SetDoubleBuffered(true);
  SetDragMode(host::dmAutomatic);
  SetHideSelection(false);
  SetRightClickSelect(true);
  SetShowRoot(false);
  SetBounds(Left(), Top(), 200, 300);
  SetChangeDelay(100);

  // Reports that come while a command of the tree runs are replayed once it is done with its
  // node.
  TKivShellChangeNotifier& notifier =
      core_.WatchChanges(TKivShellViewCore::TReportPolicy::Replay,
                         [this](int event, PItemIDList first, PItemIDList second) {
                           ChangeNotification(nullptr, event, first, second);
                         });
  notifier.SetEventFilter(kTreeEvents);
  notifier.SetRecursive(true);
  // Every folder the tree shows open is watched by itself: a file-system watch need not open
  // the folders below it (a whole drive, where the shell reports nothing by itself).
  notifier.SetWatchSubfolders(false);
  notifier.SetEnabled(true);
}

TKivShellTree::~TKivShellTree() {
  Destroying();
  changes_.Stop();
  SetShellLink(nullptr);
  Notifier()->SetEnabled(false);
  core_.BusyForGood();
  if (HandleAllocated()) DestroyHandle();
  // Clearing here lets Delete free every node's data.
  Items()->Clear();
  SetImages(nullptr);
}

// ---- Settings

void TKivShellTree::SetShellLink(TKivShellLink* link) { core_.SetShellLink(link); }

void TKivShellTree::Notification(host::TComponent* component, host::TOperation operation) {
  host::TCustomTreeView::Notification(component, operation);
  core_.Notification(component, operation);
}

void TKivShellTree::SetRootedAtFileSystemFolder(const String& path) {
  rootedAtFileSystemFolder_ = path;
  if (!path.empty() && host::DirectoryExists(path)) SetRootedAt(SF_FILESYSTEMFOLDER);
}

void TKivShellTree::SetShowOptions(TKivShellShowOptions options) {
  if (!core_.StoreShowOptions(options)) return;
  if (options.Contains(soShowFiles))
    Notifier()->SetEventFilter(Notifier()->EventFilter() | kFileEvents);
  Refresh();
}

void TKivShellTree::SetFilter(const String& value) {
  Navigator()->SetFilter(value);
  Refresh();
}

bool TKivShellTree::AutomaticRefresh() const { return Notifier()->GetEnabled(); }

void TKivShellTree::SetAutomaticRefresh(bool value) { Notifier()->SetEnabled(value); }

void TKivShellTree::SetMultipleRoots(bool value) {
  multipleRoots_ = value;
  host::UpdateGuard<host::TTreeNodes> update(*Items());
  while (Items()->RootCount() > 1) DeleteNode(Items()->Root(Items()->RootCount() - 1));
}

// ---- Window and loading

void TKivShellTree::CreateWnd() {
  host::TCustomTreeView::CreateWnd();
  TTreeNode* first = Items()->GetFirstNode();
  if (!first || !first->HasChildren()) SetRootedAt(rootedAt_);
  dragDrop_.UpdateRegistration();
  if (initialized_) {
    // The window came back: the nodes live on and are brought up to date.
    if (ShellLink()) ShellLink()->RegisterShellControl(this);
    if (TTreeNode* root = Items()->GetFirstNode()) {
      root->Expand(false);
      RefreshNode(root, true, true);
    }
  } else {
    Navigator()->Initialize();
    initialized_ = true;
    if (Designing()) Refresh();
  }
}

// The drop target's registration is taken back before the window goes (it watches the window).
void TKivShellTree::DestroyWnd() { host::TCustomTreeView::DestroyWnd(); }

void TKivShellTree::Loaded() {
  host::TCustomTreeView::Loaded();
  dragDrop_.UpdateRegistration();
  const bool fill = !ShowOption(soNoFillOnStartup) || Designing();
  if (fill) {
    if (!pendingSelectedFolder_.empty()) {
      SetSelectedFolder(std::exchange(pendingSelectedFolder_, String{}));
    } else if (pendingSpecialFolder_ != SF_FILESYSTEMFOLDER) {
      SetSpecialFolder(pendingSpecialFolder_);
    }
    InformPathChanged(Selected());
  }
  if (TTreeNode* first = Items()->GetFirstNode()) {
    if (fill) first->Expand(false);
    checkBoxes_.ShowFirstRootState(first);
  }
  if (UseSystemFont()) ApplyExplorerFont(*Font());
}

void TKivShellTree::EnsureRoots() {
  if (Items()->Count() == 0 && !Loading()) SetRootedAt(rootedAt_);
}

// ---- Roots

void TKivShellTree::SetRootedAt(TKivShellFolder folder) {
  host::CursorGuard cursor;
  host::UpdateGuard<host::TTreeNodes> update(*Items());
  rootedAt_ = folder;
  SetSelected(nullptr);
  if (!multipleRoots_) {
    if (TTreeNode* editing = EditingNode()) editing->EndEdit(true);
    Items()->Clear();
  }
  auto item = std::make_unique<TKivShellTreeItem>();
  item->isFolder = true;
  String text;
  int image = -1, selectedImage = -1;
  bool children = true;
  if (folder == SF_DESKTOP) {
    item->relativeIdList = CopyItemIdList(DesktopIdList());
    item->absoluteIdList = CopyItemIdList(DesktopIdList());
    item->ownFolder = Desktop();
    item->parentFolder = Desktop();
    image = selectedImage = Navigator()->GetDesktopIconIndex();
    text = Navigator()->GetDesktopName();
  } else {
    if (folder == SF_FILESYSTEMFOLDER)
      Navigator()->SetDirectory(rootedAtFileSystemFolder_);
    else
      Navigator()->SetSpecialFolder(folder);
    item->relativeIdList = Navigator()->GetFolderIdList();
    item->absoluteIdList = Navigator()->GetFolderIdList();
    item->ownFolder = Navigator()->ShellFolder();
    Navigator()->SelectParent();
    item->parentFolder = Navigator()->ShellFolder();
    image = IconOfCurrent(false);
    selectedImage = IconOfCurrent(true);
    text = Navigator()->GetShellObjectName();
    children = Navigator()->HasSubFolders() || ShowOption(soShowFiles) || ShowOption(soShowHidden);
  }
  UniquePidl watched{CopyItemIdList(item->absoluteIdList.get())};
  TTreeNode* root = NewNode(nullptr, std::move(item));
  root->SetText(text);
  root->SetImageIndex(image);
  root->SetSelectedIndex(selectedImage);
  root->SetHasChildren(children);
  if (!Loading()) {
    root->Expand(false);
    SetSelected(root);
  }
  Notifier()->SetPIDL(watched.get());
  if (folder != SF_FILESYSTEMFOLDER) rootedAtFileSystemFolder_.clear();
}

TTreeNode* TKivShellTree::NewNode(TTreeNode* parent, std::unique_ptr<TKivShellTreeItem> item) {
  TKivShellTreeItem* data = item.get();
  items_.insert(data);
  TTreeNode* node = parent ? Items()->AddChildObjectPending(parent, item.release())
                           : Items()->AddChildObject(nullptr, String{}, item.release());
  (void)data;
  return node;
}

TTreeNode* TKivShellTree::GetRootNode(TTreeNode* node) const {
  while (node && node->Parent()) node = node->Parent();
  return node;
}

bool TKivShellTree::IsValidKivShellTreeItem(const TTreeNode* node) const {
  return ShellItem(node) != nullptr;
}

TKivShellTreeItem* TKivShellTree::ShellItem(const TTreeNode* node) const {
  if (!node || node->TreeView() != this) return nullptr;
  auto* item = static_cast<const TKivShellTreeItem*>(node->Data());
  return items_.count(item) ? const_cast<TKivShellTreeItem*>(item) : nullptr;
}

void TKivShellTree::Delete(TTreeNode* node) {
  std::unique_ptr<TKivShellTreeItem> item(ShellItem(node));
  if (item) {
    items_.erase(item.get());
    node->SetData(nullptr);
  }
  if (expandingNode_ == node) expandingNode_ = nullptr;
  dragDrop_.NodeDeleted(node);
  host::TCustomTreeView::Delete(node);
}

void TKivShellTree::DeleteNode(TTreeNode* node) {
  if (!node) return;
  // A label being edited goes first, so the end of its editing finds its node.
  if (TTreeNode* editing = EditingNode())
    if (editing == node || editing->HasAsParent(node)) editing->EndEdit(true);
  // A watch of the folder would keep it from going on disk (a deleted directory stays while a
  // handle to it is open).
  if (node->Expanded()) changes_.Unwatch(node);
  node->Delete();
}

// ---- Paths and special objects

String TKivShellTree::GetFullPath(TTreeNode* node) {
  TKivShellTreeItem* item = ShellItem(node);
  if (!item) return {};
  if (Designing() && GetItemIdListDepth(item->absoluteIdList.get()) == 0) return {};
  return GetPathFromPidl(item->absoluteIdList.get());
}

String TKivShellTree::GetFullPath(int index) { return GetFullPath(Items()->Item(index)); }

TKivShellFolder TKivShellTree::IsSpecialObject(TTreeNode* node) {
  TKivShellTreeItem* item = ShellItem(node);
  if (!item) return SF_FILESYSTEMFOLDER;
  return TestForSpecialFolder(item->absoluteIdList.get());
}

TKivShellFolder TKivShellTree::IsSpecialObject(int index) {
  return IsSpecialObject(Items()->Item(index));
}

// ---- Expansion

bool TKivShellTree::CanExpand(TTreeNode* node) {
  bool allow = host::TCustomTreeView::CanExpand(node);
  const bool expandAllowed = expandAllowed_ ? *expandAllowed_ : !Designing();
  if (!expandAllowed && !(node->Level() == 0 && !Loading())) allow = false;
  expanding_ = true;
  if (allow && node->Count() == 0) {
    // The children exist before the control opens the node.
    FillNode(node);
    expandingNode_ = node;
  }
  return allow;
}

void TKivShellTree::Expand(TTreeNode* node) {
  if (node->Count() == 0 && node != expandingNode_) {
    FillNode(node);
  } else {
    expanding_ = false;
    // Opened again: its folders were let go when it closed, and what changed meanwhile is read.
    if (node != expandingNode_ && node->Level() > 0 && !Loading()) {
      changes_.WatchOpen(node);
      CompleteOnFirstPaint(node);
      RefreshNode(node, true, false);
    }
  }
  expandingNode_ = nullptr;
  host::TCustomTreeView::Expand(node);
}

// A closed node's folder, and the folders open below it, are watched no more: a tree watches
// what it shows, not every folder it ever opened.
void TKivShellTree::Collapse(TTreeNode* node) {
  changes_.Unwatch(node);
  host::TCustomTreeView::Collapse(node);
  // A collapse that took the selection from below the node to the node tells the linked views,
  // as a selection by the user does (the control does not report its own move).
  if (std::exchange(selectionBelowCollapsing_, false) && Selected() == node) Change(node);
}

bool TKivShellTree::CanCollapse(TTreeNode* node) {
  const bool allow = host::TCustomTreeView::CanCollapse(node);
  TTreeNode* selected = Selected();
  selectionBelowCollapsing_ = allow && selected && selected != node && selected->HasAsParent(node);
  return allow;
}

void TKivShellTree::FillNode(TTreeNode* node) {
  TKivShellTreeItem* item = ShellItem(node);
  if (!item) return;
  const bool timer = ChangeTimerActive();
  SetChangeTimerActive(false);
  auto restoreTimer = host::ScopeExit([this, timer] { SetChangeTimerActive(timer); });
  host::CursorGuard cursor;
  host::UpdateGuard<host::TTreeNodes> update(*Items());
  if (!Navigator()->TrySetFolderIdList(item->absoluteIdList.get())) {
    // A folder that cannot be opened any more has nothing to show.
    node->SetHasChildren(false);
    return;
  }
  const bool files = ShowOption(soShowFiles);
  while (Navigator()->Next())
    if (files || Navigator()->IsFolder()) AddShellItem(node);
  Resort(node);
  node->SetHasChildren(node->Count() > 0);
  if (node->Level() > 0) changes_.Watch(Navigator()->Folder());
}

TTreeNode* TKivShellTree::AddShellItem(TTreeNode* parent) {
  if (!IsShownObject(*Navigator(), ShowOptions())) return nullptr;
  auto item = std::make_unique<TKivShellTreeItem>();
  item->relativeIdList = Navigator()->GetItemIdList();
  if (!item->relativeIdList) return nullptr;
  item->absoluteIdList = CopyItemIdList(Navigator()->GetAbsoluteItemIdList());
  item->parentFolder = Navigator()->ShellFolder();
  item->isFolder = Navigator()->IsFolder();
  TKivShellTreeItem* data = item.get();
  TTreeNode* node = NewNode(parent, std::move(item));
  // Until it is completed a folder offers to open.
  node->SetHasChildren(data->isFolder);
  bool completed = false;
  auto complete = [&] {
    if (completed) return;
    completed = true;
    // The control may have asked about other nodes meanwhile: point at this one again.
    Navigator()->SetItemIdList(data->relativeIdList.get());
    CompleteItemDetails(node, true);
  };
  if (IsNodeVisible(node)) complete();
  if (OnAddFolder) {
    complete();
    bool canAdd = true;
    OnAddFolder(node, GetFullPath(node), canAdd);
    if (!canAdd) {
      DeleteNode(node);
      return nullptr;
    }
  }
  return node;
}

void TKivShellTree::Resort(TTreeNode* node) {
  if (!node) return;
  node->CustomSort(
      [this](TTreeNode* a, TTreeNode* b, LPARAM) {
        TKivShellTreeItem* first = ShellItem(a);
        TKivShellTreeItem* second = ShellItem(b);
        if (!first || !second) return 0;
        return CompareInFolder(first->parentFolder.Get(), first->relativeIdList.get(),
                               second->relativeIdList.get());
      },
      0);
}

// ---- Node details

void TKivShellTree::PointNavigatorAt(TTreeNode* node) {
  String why;
  if (ShellItem(node) && !TryPointNavigatorAt(node, &why)) throw EZelnorError(why);
}

bool TKivShellTree::TryPointNavigatorAt(TTreeNode* node, String* why) {
  TKivShellTreeItem* item = ShellItem(node);
  if (!item) return false;
  if (!node->Parent()) {
    // A root is the item of its parent folder (the desktop root is the desktop itself).
    if (!Navigator()->TrySetFolderIdList(item->absoluteIdList.get(), why)) return false;
    Navigator()->SelectParent();
    return true;
  }
  if (item->parentFolder && Navigator()->ShellFolder() == item->parentFolder.Get()) {
    Navigator()->SetItemIdList(item->relativeIdList.get());
    return true;
  }
  if (!Navigator()->TrySetAbsoluteItemIdList(item->absoluteIdList.get(), why)) return false;
  // The siblings' folder object serves as well and spares the next sibling a new binding.
  if (item->parentFolder) Navigator()->SetShellfolder(item->parentFolder.Get());
  return true;
}

int TKivShellTree::IconOfCurrent(bool open) {
  const int shared = sharedIcons_.IconOf(*Navigator(), open);
  if (shared >= 0) return shared;
  return open ? Navigator()->GetSelectedIconNumber() : Navigator()->GetIconNumber();
}

bool TKivShellTree::ChildrenFlagOfCurrent() {
  return ShowOption(soShowFiles) ? Navigator()->IsFolder() : Navigator()->HasSubFolders();
}

void TKivShellTree::CompleteItemDetails(TTreeNode* node, bool full) {
  TKivShellTreeItem* item = ShellItem(node);
  if (!item) return;
  node->SetImageIndex(IconOfCurrent(false));
  node->SetSelectedIndex(IconOfCurrent(true));
  // A node with children keeps its button; a root keeps it too (the desktop cannot tell).
  node->SetHasChildren(ChildrenFlagOfCurrent() || node->Count() > 0 ||
                       (!node->Parent() && node->HasChildren()));
  if (full) {
    host::ErrorModeGuard mode(SEM_FAILCRITICALERRORS);
    node->SetOverlayIndex(Navigator()->GetOverlayIndex());
    const ULONG attributes =
        Navigator()->GetAttributes(SFGAO_GHOSTED | SFGAO_COMPRESSED | SFGAO_ENCRYPTED);
    if (attributes & SFGAO_GHOSTED) node->SetCut(true);
    item->compressed = (attributes & SFGAO_COMPRESSED) != 0;
    item->encrypted = (attributes & SFGAO_ENCRYPTED) != 0;
  }
  checkBoxes_.CompleteCheckState(node, full);
  if (OnUpdatedFolder) OnUpdatedFolder(this, node);
}

void TKivShellTree::CompleteOnFirstPaint(TTreeNode* node) {
  TKivShellTreeItem* item = ShellItem(node);
  if (!item || node->ImageIndex() >= 0) return;
  if (TryPointNavigatorAt(node)) {
    CompleteItemDetails(node, true);
  } else {
    // An object that went away shows a plain icon until the next refresh removes it.
    const int icon = item->isFolder ? images_->GetFolderIconNumber() : 0;
    node->SetImageIndex(icon);
    node->SetSelectedIndex(icon);
  }
  if (HandleAllocated() && node->ItemId()) {
    const RECT rect = node->DisplayRect(false);
    InvalidateRect(Handle(), &rect, TRUE);
  }
}

void TKivShellTree::GetImageIndex(TTreeNode* node) {
  CompleteOnFirstPaint(node);
  checkBoxes_.RefreshStaleCheckState(node);
  host::TCustomTreeView::GetImageIndex(node);
}

void TKivShellTree::GetSelectedIndex(TTreeNode* node) {
  CompleteOnFirstPaint(node);
  host::TCustomTreeView::GetSelectedIndex(node);
}

void TKivShellTree::GetNodeText(TTreeNode* node) {
  if (TKivShellTreeItem* item = ShellItem(node))
    node->SetText(DisplayNameOf(item->parentFolder.Get(), item->relativeIdList.get()));
  host::TCustomTreeView::GetNodeText(node);
}

// ---- Finding nodes by their lists

TTreeNode* TKivShellTree::FindChild(TTreeNode* parent, PCItemIDList part) {
  const int count = parent->Count();
  auto order = [&](TTreeNode* child) {
    TKivShellTreeItem* item = ShellItem(child);
    if (!item) return 1;
    const HRESULT hr = item->parentFolder
                           ? item->parentFolder->CompareIDs(0, part, item->relativeIdList.get())
                           : E_FAIL;
    return int(short(HRESULT_CODE(hr)));
  };
  // The children are in the shell's order: a binary search first.
  int low = 0, high = count - 1;
  while (low <= high) {
    const int mid = (low + high) / 2;
    const int c = order(parent->Item(mid));
    if (c == 0) {
      // The folder may call two objects equal that are not (names it cannot tell apart).
      TKivShellTreeItem* item = ShellItem(parent->Item(mid));
      if (SameItemIdList(part, item->relativeIdList.get(), item->parentFolder.Get()))
        return parent->Item(mid);
      break;
    }
    if (low == high) break;
    if (c > 0)
      low = mid + 1;
    else
      high = mid;
  }
  // An order the folder does not keep (names changed meanwhile): look at every child.
  for (int i = 0; i < count; ++i) {
    TKivShellTreeItem* item = ShellItem(parent->Item(i));
    if (item && item->parentFolder &&
        SameItemIdList(part, item->relativeIdList.get(), item->parentFolder.Get()))
      return parent->Item(i);
  }
  // A report about an object that is gone carries a list built from its path alone, which the
  // folder may not compare equal to the object's own: its name still tells.
  TKivShellTreeItem* first = count > 0 ? ShellItem(parent->Item(0)) : nullptr;
  const String name = first ? ParsingNameOf(first->parentFolder.Get(), part) : String{};
  if (name.empty()) return nullptr;
  for (int i = 0; i < count; ++i) {
    TKivShellTreeItem* item = ShellItem(parent->Item(i));
    if (item &&
        host::SameText(ParsingNameOf(item->parentFolder.Get(), item->relativeIdList.get()), name))
      return parent->Item(i);
  }
  return nullptr;
}

bool TKivShellTree::GotoFolderIdList(PCItemIDList list, TGotoFolderIdAction action) {
  if (!list) return false;
  std::optional<host::CursorGuard> cursor;
  if (action == gaSelect) cursor.emplace();
  host::ScopedValue<std::optional<bool>> allowed{expandAllowed_, action != gaRefresh};
  EnsureRoots();

  const int targetDepth = GetItemIdListDepth(list);
  TTreeNode* target = nullptr;
  bool result = false, rootItself = false;
  {
    // The folders opened on the way are watched together, and the control lays itself out once.
    auto watches = changes_.Hold();
    host::UpdateGuard<host::TTreeNodes> update(*Items());
    const int roots = Items()->RootCount();
    for (int r = 0; r < roots && r < Items()->RootCount(); ++r) {
      TTreeNode* root = Items()->Root(r);
      TKivShellTreeItem* rootItem = ShellItem(root);
      if (!rootItem) continue;
      if (SameItemIdList(list, rootItem->absoluteIdList.get())) {
        target = root;
        rootItself = true;
        break;
      }
      const int rootDepth = GetItemIdListDepth(rootItem->absoluteIdList.get());
      // Only a list below the root can be found in it.
      UniquePidl start{GetItemIdListStart(list, rootDepth)};
      const bool below =
          rootDepth < targetDepth &&
          (rootDepth == 0 || SameItemIdList(start.get(), rootItem->absoluteIdList.get()));
      TTreeNode* current = root;
      bool found = false;
      while (below && current && rootDepth + current->Level() < targetDepth) {
        UniquePidl part{GetItemIdListPart(list, rootDepth + current->Level())};
        if (action == gaSelect) {
          current->SetHasChildren(true);
          current->Expand(false);
        } else if (!current->Expanded() && current->HasChildren() && current->Count() > 0) {
          // A closed node's children are read again when it is opened.
          current->DeleteChildren();
          current->SetHasChildren(true);
        }
        TTreeNode* child = FindChild(current, part.get());
        found = child != nullptr;
        if (!found) break;
        current = child;
      }
      if (found) {
        target = current;
        result = true;
        break;
      }
      if (action == gaRefreshParent || action == gaDelete) action = gaRefresh;
      if (below && IsNetworkPidl(list)) {
        // Network places are not listed by their parents: the object is added where it belongs.
        Navigator()->SetAbsoluteItemIdList(list);
        if (TTreeNode* added = AddShellItem(current)) {
          Resort(added->Parent());
          target = added;
          result = true;
        } else {
          target = current;
        }
        break;
      }
      // Not in this root: its deepest node is what a refresh can look at.
      target = below ? current : nullptr;
    }
  }
  // A selection moves only to the node of the list itself; what is not found leaves it.
  if (action == gaSelect && !result && !rootItself) return false;
  if (target) ApplyAction(target, action);
  return result;
}

void TKivShellTree::ApplyAction(TTreeNode* target, TGotoFolderIdAction action) {
  switch (action) {
    case gaSelect:
      SetChangeDelay(0);
      SetSelected(target);
      target->MakeVisible();
      break;
    case gaRefresh:
      RefreshNode(target, false, true);
      break;
    case gaRefreshParent:
      if (target->Parent()) RefreshNode(target->Parent(), false, true);
      break;
    case gaDelete:
      if (target->Selected()) SetChangeDelay(0);
      DeleteNode(target);
      break;
  }
}

UniquePidl TKivShellTree::SelectedItemIdList() const {
  TKivShellTreeItem* item = ShellItem(Selected());
  if (!item) return nullptr;
  return UniquePidl{CopyItemIdList(item->absoluteIdList.get())};
}

void TKivShellTree::SetSelectedItemIdList(PCItemIDList list) { GotoFolderIdList(list, gaSelect); }

// ---- Selected folder and special folder

void TKivShellTree::SetSelectedFolder(const String& path) {
  if (Loading()) {
    if (pendingSpecialFolder_ == SF_FILESYSTEMFOLDER || pendingSpecialFolder_ == SF_DRIVES) {
      pendingSelectedFolder_ = path;
      pendingSpecialFolder_ = SF_FILESYSTEMFOLDER;
    }
    return;
  }
  if (path.empty()) {
    if (rootedAt_ == SF_DESKTOP)
      SetSpecialFolder(SF_DRIVES);
    else if (TTreeNode* first = Items()->GetFirstNode())
      SetSelected(first);
    return;
  }
  EnsureRoots();
  WideString wide = host::ToWide(path);
  PIDLIST_RELATIVE parsed = nullptr;
  const HRESULT hr = Desktop()->ParseDisplayName(HandleIfAllocated(), nullptr, wide.data(), nullptr,
                                                 &parsed, nullptr);
  UniquePidl list{parsed};
  if (!host::HrOk(hr, "ParseDisplayName")) list.reset();
  if (list) {
    GotoFolderIdList(list.get(), gaSelect);
    return;
  }
  if (ShowOption(soShowErrorMessages)) host::ShowMessage(GetErrorMessageText(hr) + ": " + path);
}

String TKivShellTree::GetSelectedFolder() {
  if (Loading()) return pendingSelectedFolder_;
  TTreeNode* node = Selected();
  if (!IsValidKivShellTreeItem(node)) return {};
  String path = GetFullPath(node);
  if (path.empty() && !Designing()) {
    const TKivShellFolder special = GetSpecialFolder();
    if (special != SF_FILESYSTEMFOLDER) path = GetPathFromSpecialFolder(special);
  }
  return path;
}

void TKivShellTree::SetSpecialFolder(TKivShellFolder folder) {
  if (Loading()) {
    pendingSpecialFolder_ = folder;
    if (folder != SF_FILESYSTEMFOLDER) pendingSelectedFolder_.clear();
    return;
  }
  if (folder == SF_FILESYSTEMFOLDER) return;
  UniquePidl list{GetIdListFromSpecialFolder(folder)};
  if (list) GotoFolderIdList(list.get(), gaSelect);
}

TKivShellFolder TKivShellTree::GetSpecialFolder() {
  if (Loading()) return pendingSpecialFolder_;
  TKivShellTreeItem* item = ShellItem(Selected());
  if (!item) return SF_FILESYSTEMFOLDER;
  return TestForSpecialFolder(item->absoluteIdList.get());
}

void TKivShellTree::ChangeScale(int m, int d) {
  host::TCustomTreeView::ChangeScale(m, d);
  core_.ScaleImages(m, {images_.get()}, StateImages());
}

// ---- Published properties

HOST_PROPERTIES(TKivShellTree) {
  p.Bool("DoubleBuffered", &TKivShellTree::DoubleBuffered, &TKivShellTree::SetDoubleBuffered, true);
  p.Enum("DragMode", host::DragModeInfo, &TKivShellTree::DragMode, &TKivShellTree::SetDragMode,
         host::dmAutomatic);
  p.Bool("HideSelection", &TKivShellTree::HideSelection, &TKivShellTree::SetHideSelection, false);
  p.Bool("RightClickSelect", &TKivShellTree::RightClickSelect, &TKivShellTree::SetRightClickSelect,
         true);
  p.Bool("ShowRoot", &TKivShellTree::ShowRoot, &TKivShellTree::SetShowRoot, false);
  // The tree sets its own delays as it goes.
  p.Int("ChangeDelay", &TKivShellTree::ChangeDelay, &TKivShellTree::SetChangeDelay, 100)
      .NeverStored();
  p.Component("ShellLink", &TKivShellTree::ShellLink, &TKivShellTree::SetShellLink);
  p.Enum("RootedAt", KivShellFolderInfo, &TKivShellTree::RootedAt, &TKivShellTree::SetRootedAt,
         SF_DESKTOP);
  p.Str("RootedAtFileSystemFolder", &TKivShellTree::RootedAtFileSystemFolder,
        &TKivShellTree::SetRootedAtFileSystemFolder);
  // The default is the value a form without the property starts with (My Computer), so a stored
  // desktop reloads as the desktop.
  p.Enum(
      "SpecialFolder", KivShellFolderInfo,
      [](const TKivShellTree* t) { return const_cast<TKivShellTree*>(t)->GetSpecialFolder(); },
      &TKivShellTree::SetSpecialFolder, SF_DRIVES);
  p.Str(
      "SelectedFolder",
      [](const TKivShellTree* t) { return const_cast<TKivShellTree*>(t)->GetSelectedFolder(); },
      &TKivShellTree::SetSelectedFolder);
  p.Bool("OleDragDrop", &TKivShellTree::OleDragDrop, &TKivShellTree::SetOleDragDrop, true);
  p.Bool("ShellContextMenu", &TKivShellTree::ShellContextMenu, &TKivShellTree::SetShellContextMenu,
         true);
  PublishShowOptions(p, {soShowNethood, soShowRecycleBin});
  p.Bool("FileSystemOnly", &TKivShellTree::FileSystemOnly, &TKivShellTree::SetFileSystemOnly,
         false);
  p.Bool("ExpandOnSelected", &TKivShellTree::ExpandOnSelected, &TKivShellTree::SetExpandOnSelected,
         false);
  p.Str("Filter", &TKivShellTree::Filter, &TKivShellTree::SetFilter, "*");
  p.Bool("CreateLinkOnDrop", &TKivShellTree::CreateLinkOnDrop, &TKivShellTree::SetCreateLinkOnDrop,
         false);
  p.Str("Version", &TKivShellTree::Version, nullptr).NeverStored();
  p.Bool("CheckBoxes", &TKivShellTree::CheckBoxes, &TKivShellTree::SetCheckBoxes, false);
  p.Event<TOnCheckStateChanged>("OnCheckStateChanged", &TKivShellTree::OnCheckStateChanged);
  p.Bool("AutomaticRefresh", &TKivShellTree::AutomaticRefresh, &TKivShellTree::SetAutomaticRefresh,
         true);
  p.Bool("UseSystemFont", &TKivShellTree::UseSystemFont, &TKivShellTree::SetUseSystemFont, true);
  p.Enum("CopyMode", KivCopyModeInfo, &TKivShellTree::CopyMode, &TKivShellTree::SetCopyMode,
         cmDefault);
  p.Event("OnAddFolder", &TKivShellTree::OnAddFolder);
  p.Event("OnUpdatedFolder", &TKivShellTree::OnUpdatedFolder);
  PublishCommandEvents(p);
  p.Event("OnEditCanceled", &TKivShellTree::OnEditCanceled);
  PublishMouseEvents(p);
  p.Event("OnBeforeShellDrop", &TKivShellTree::OnBeforeShellDrop);
}

}  // namespace zelnor
