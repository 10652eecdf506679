// TKivShellListDragDrop: the list's hooks of drag and drop; the list's begin-drag notifications
// and the shell's drop targets of its items and of the shown folder.
#include "controls/ShellListDragDrop.h"

#include "controls/ShellList.h"

namespace zelnor {

using host::TListItem;

namespace {

TListItem* ItemOf(TKivShellDragDrop::TSpot spot) { return static_cast<TListItem*>(spot); }

}  // namespace

// ---- The list

void TKivShellList::BeginItemDrag(TListItem* item, host::TMouseButton button) {
  if (OleDragDrop() && item && SelCount() > 0) dragDrop_.BeginOleDrag(button);
}

host::ComPtr<IDropTarget> TKivShellList::GetDropTarget(TListItem* item) {
  const HWND owner = HandleIfAllocated();
  PCItemIDList folder = GetFolderIdList();
  if (!item) return ShellDropTargetOf(owner, folder);
  TKivShellListItem* data = ItemData(item);
  if (!data) return nullptr;
  if (data->parentFolder) {
    // The folder above the shown one (the desktop's directory for a folder on the desktop).
    const int depth = GetItemIdListDepth(folder);
    if (depth == 0) return nullptr;
    const UniquePidl parent = GetItemIdListStart(folder, depth - 1);
    return ShellDropTargetOf(owner, parent.get());
  }
  return ShellDropTarget(owner, Navigator()->ShellFolder(), data->idList.get());
}

// ---- The hooks

TKivShellListDragDrop::TKivShellListDragDrop(TKivShellList& list)
    : TKivShellDragDrop(list), list_(list) {}

TKivShellDragDrop::TSpot TKivShellListDragDrop::SpotAt(POINT client) {
  TListItem* item = list_.GetItemAt(client.x, client.y);
  return TKivShellList::ItemData(item) ? item : nullptr;
}

host::ComPtr<IDropTarget> TKivShellListDragDrop::SpotTarget(TSpot spot) {
  return list_.GetDropTarget(ItemOf(spot));
}

host::ComPtr<IDropTarget> TKivShellListDragDrop::BackgroundTarget() {
  return list_.GetDropTarget(nullptr);
}

void TKivShellListDragDrop::Highlight(TSpot spot, bool on) { ItemOf(spot)->SetDropTarget(on); }

String TKivShellListDragDrop::Destination(TSpot spot) {
  PCItemIDList folder = list_.GetFolderIdList();
  TKivShellListItem* data = TKivShellList::ItemData(ItemOf(spot));
  if (!data) return GetPathFromPidl(folder);
  if (data->parentFolder) {
    const int depth = GetItemIdListDepth(folder);
    if (depth == 0) return GetPathFromPidl(folder);
    const UniquePidl parent = GetItemIdListStart(folder, depth - 1);
    return GetPathFromPidl(parent.get());
  }
  return host::IncludeTrailingBackslash(GetPathFromPidl(folder)) + ItemOf(spot)->Caption();
}

bool TKivShellListDragDrop::ReadOnly() const { return list_.ReadOnly(); }

void TKivShellListDragDrop::BeforeDrop(host::TObject* target, host::TStrings* files,
                                       bool& execute) {
  if (list_.OnBeforeShellDrop) list_.OnBeforeShellDrop(&list_, target, files, execute);
}

void TKivShellListDragDrop::Report(TKivShellOperations operations,
                                   std::unique_ptr<host::TStrings> files,
                                   const String& destination) {
  list_.Operation(operations, std::move(files), destination);
}

bool TKivShellListDragDrop::DragItems(TDragItems& items) {
  items.folder = list_.Navigator()->ShellFolder();
  const host::TItemStates selected = host::ItemStateBit(host::isSelected);
  // As many as are selected: the collection grows as it needs.
  for (TListItem* item = list_.GetNextItem(nullptr, host::sdAll, selected); item;
       item = list_.GetNextItem(item, host::sdAll, selected)) {
    TKivShellListItem* data = TKivShellList::ItemData(item);
    if (data && !data->parentFolder && data->idList)
      items.lists.push_back(CopyItemIdList(data->idList.get()));
  }
  return !items.lists.empty();
}

}  // namespace zelnor
