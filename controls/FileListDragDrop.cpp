// TKivFileListDragDrop: the file list's hooks of drag and drop, its begin-drag notifications and
// the shell's drop targets of its rows.
#include "controls/FileListDragDrop.h"

#include "controls/FileList.h"
#include "shell/ShellRoutines.h"

namespace zelnor {

using host::TListItem;

namespace {

TListItem* ItemOf(TKivShellDragDrop::TSpot spot) { return static_cast<TListItem*>(spot); }

}  // namespace

// ---- The list

void TKivFileList::BeginItemDrag(TListItem* item, host::TMouseButton button) {
  if (OleDragDrop() && item && SelCount() > 0) dragDrop_.BeginOleDrag(button);
}

host::ComPtr<IDropTarget> TKivFileList::GetDropTarget(TListItem* item) {
  const HWND owner = HandleIfAllocated();
  if (!item) {
    UniquePidl folder = Navigator()->GetFolderIdList();
    return ShellDropTargetOf(owner, folder.get());
  }
  TKivFileListItem* data = ItemData(item);
  if (!data || !MakeItemIdLists(item) || !data->absoluteIdList) return nullptr;
  return ShellDropTargetOf(owner, data->absoluteIdList.get());
}

// ---- The hooks

TKivFileListDragDrop::TKivFileListDragDrop(TKivFileList& list)
    : TKivShellDragDrop(list), list_(list) {}

TKivShellDragDrop::TSpot TKivFileListDragDrop::SpotAt(POINT client) {
  TListItem* item = list_.GetItemAt(client.x, client.y);
  return TKivFileList::ItemData(item) ? item : nullptr;
}

void TKivFileListDragDrop::Highlight(TSpot spot, bool on) { ItemOf(spot)->SetDropTarget(on); }

void TKivFileListDragDrop::BeforeDrop(host::TObject* target, host::TStrings* files,
                                      bool& execute) {
  if (list_.OnBeforeShellDrop) list_.OnBeforeShellDrop(&list_, target, files, execute);
}

void TKivFileListDragDrop::TakeDrop(host::TStrings& files) {
  for (int i = 0; i < files.Count(); ++i) list_.Add(files.Strings(i));
}

void TKivFileListDragDrop::Report(TKivShellOperations operations,
                                  std::unique_ptr<host::TStrings> files,
                                  const String& destination) {
  list_.Operation(operations, files.get(), destination);
}

bool TKivFileListDragDrop::DragItems(TDragItems& items) {
  items.absolute = true;
  const host::TItemStates selected = host::ItemStateBit(host::isSelected);
  for (TListItem* item = list_.GetNextItem(nullptr, host::sdAll, selected); item;
       item = list_.GetNextItem(item, host::sdAll, selected)) {
    TKivFileListItem* data = TKivFileList::ItemData(item);
    // A row whose file the shell no longer finds is left out of the drag.
    if (data && list_.MakeItemIdLists(item) && data->absoluteIdList)
      items.lists.push_back(CopyItemIdList(data->absoluteIdList.get()));
  }
  return !items.lists.empty();
}

}  // namespace zelnor
