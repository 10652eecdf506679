// TKivShellList: the window procedure, the link, change reports and the incremental refresh.
#include "controls/ShellList.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <iterator>
#include <unordered_map>

#include "controls/ShellListFill.h"
#include "controls/ShellNameOrder.h"
#include "controls/ShellValueOrder.h"
#include "extras/DirectoryWatch.h"
#include "extras/ShellChangeNotifier.h"
#include "host/core/HResult.h"
#include "host/forms/Application.h"

namespace zelnor {

using host::TListItem;

// ---- Sorting (the sorter does it)

void TKivShellList::SetSortColumn(int column) { sorter_.SetColumn(column); }

void TKivShellList::SetReverseSortOrder(bool reverse) { sorter_.SetReverse(reverse); }

void TKivShellList::ColClick(host::TListColumn* column) {
  SetSortColumn(column->Index());
  host::TCustomListView::ColClick(column);
}

void TKivShellList::Resort() {
  sorter_.Resort();
  // A running background fill merges its batches by name keys only while the list is in that
  // order; otherwise they are appended and the end of the fill sorts.
  if (fill_) {
    const auto& settings = fill_->GetSettings();
    fillMerges_ =
        fillMerges_ && sorter_.SortsByNameKeys() && settings.descending == ReverseSortOrder();
  }
}

void TKivShellList::UpdateColumnBitmap() { sorter_.UpdateColumnBitmap(); }

// Decoders started in the middle of a paint would take the processor from the rest of it.
void TKivShellList::PaintEnded() { thumbnails_.PaintEnded(); }

void TKivShellList::SetColumnBitmap(int index, bool reverse) {
  sorter_.SetColumnBitmap(index, reverse);
}

void TKivShellList::WndProc(host::TMessage& message) {
  if (ViewMessage(message) || ListBoxPress(message)) return;
  switch (message.Msg) {
    case host::CM_HINTSHOW:
      CMHintShow(message);
      return;
    case WM_CL_SYNCHRONIZE:
      // Its arrival has woken the message loop; that was all.
      message.Result = 0;
      return;
    default:
      break;
  }
  host::TCustomListView::WndProc(message);
  if (message.Msg == WM_CAPTURECHANGED) UpdateColumnBitmap();
}

// ---- Link and navigation

void TKivShellList::InformPathChanged() {
  if (!ShellLink() || Loading()) return;
  UniquePidl list = Navigator()->GetFolderIdList();
  ShellLink()->PathChanged(this, list.get());
}

void TKivShellList::PathChanged(PCItemIDList idList) {
  if (!idList) return;
  // A place that cannot be bound leaves the list empty.
  if (!Navigator()->TrySetFolderIdList(idList)) {
    Items()->Clear();
    return;
  }
  Refresh();
}

void TKivShellList::FileChanged(PCItemIDList folder, PCItemIDList item) {
  PathChanged(folder);
  SelectPIDL(item);
}

bool TKivShellList::GoUp() {
  Navigator()->SelectParent();
  InformPathChanged();
  Refresh();
  return true;
}

void TKivShellList::SelectAll() {
  {
    host::UpdateGuard update(*Items());
    auto busy = core_.Busy();
    for (int i = 0; i < Items()->Count(); ++i) {
      TListItem* item = Items()->Item(i);
      TKivShellListItem* data = ItemData(item);
      item->SetSelected(!(data && data->parentFolder));
    }
  }
  if (HandleAllocated() && CanFocus()) SetFocus();
}

void TKivShellList::SelectPIDL(PCItemIDList idList) {
  if (fill_ && idList) {
    // The object may not have arrived yet: it is selected when the fill ends.
    Navigator()->SetItemIdList(idList);
    pendingSelection_ = Navigator()->GetObjectName();
    return;
  }
  TListItem* item = ItemOfPIDL(idList);
  if (!item) return;
  item->SetSelected(true);
  item->SetFocused(true);
  item->MakeVisible(false);
  if (HandleAllocated() && CanFocus()) SetFocus();
}

void TKivShellList::Change(TListItem* item, int change) {
  // The selected names are read again when next asked for, also after a change the list made
  // itself.
  if (change & (LVIF_TEXT | LVIF_STATE)) InvalidateSelectedFiles();
  if (!core_.IsBusy() && (change & (LVIF_TEXT | LVIF_STATE)) && ShellLink() && item && !Loading() &&
      change != LVIF_TEXT && item->Selected() && SelCount() == 1) {
    TKivShellListItem* data = ItemData(item);
    if (data && !data->parentFolder && data->idList) {
      UniquePidl folder = Navigator()->GetFolderIdList();
      ShellLink()->FileChanged(this, folder.get(), data->idList.get());
    }
  }
  host::TCustomListView::Change(item, change);
}

// ---- Change reports (the changes collaborator follows them)

void TKivShellList::FileChange(host::TObject*) { changes_.FileChange(); }

void TKivShellList::ChangeNotification(host::TObject*, int event, PItemIDList pidl1,
                                       PItemIDList pidl2) {
  if (core_.HoldReport(event, pidl1, pidl2)) return;
  changes_.Report(event, pidl1);
}

void TKivShellList::TimerChange(host::TObject*) { changes_.Tick(); }

void TKivShellList::SmartRefresh() { changes_.Refresh(); }

void TKivShellList::DeleteGoneItem(TListItem* item) {
  // The edit would end on whatever item takes the index.
  if (item == editingItem_) {
    if (IsEditing()) item->CancelEdit();
    editingItem_ = nullptr;
  }
  item->Delete();
}

TListItem* TKivShellList::FindItemByParsingName(const String& name, uint32_t seen) {
  if (name.empty()) return nullptr;
  for (int i = Items()->Count() - 1; i >= 0; --i) {
    TListItem* item = Items()->Item(i);
    TKivShellListItem* data = ItemData(item);
    if (data && data->seen == seen && host::AnsiSameText(data->parsingName, name)) return item;
  }
  return nullptr;
}

bool TKivShellList::SelectByParsingName(const String& name) {
  TListItem* item = FindItemByParsingName(name, 1);
  if (!item) return false;
  ShowSelected(item);
  return true;
}

}  // namespace zelnor
