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

namespace {

constexpr int kSmartRefreshLimit = 300;
// A timer's refresh that finds this many new objects adds them a tick after its walk.
constexpr size_t kApplyLaterCount = 1000;

}  // namespace

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
    fillMerges_ = fillMerges_ && sorter_.SortsByNameKeys() && settings.descending == ReverseSortOrder();
  }
}

void TKivShellList::UpdateColumnBitmap() { sorter_.UpdateColumnBitmap(); }

void TKivShellList::SetColumnBitmap(int index, bool reverse) {
  sorter_.SetColumnBitmap(index, reverse);
}

void TKivShellList::WndProc(host::TMessage& message) {
  if (ViewMessage(message)) return;
  switch (message.Msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      // A press on a check box is the box's alone: the control does not select for it, and a
      // quick second press is one more click on the box, not a double click that opens.
      if (CheckBoxAt(GET_X_LPARAM(message.LParam), GET_Y_LPARAM(message.LParam))) {
        MouseDown(host::mbLeft, host::KeysToShiftState(message.WParam),
                  GET_X_LPARAM(message.LParam), GET_Y_LPARAM(message.LParam));
        message.Result = 0;
        return;
      }
      break;
    case host::CM_HINTSHOW:
      CMHintShow(message);
      return;
    case WM_CL_SYNCHRONIZE:
      // Its arrival has woken the message loop; that was all.
      message.Result = 0;
      return;
    case WM_PAINT:
      // Decoders started in the middle of a paint would take the processor from the rest of it.
      ++painting_;
      try {
        host::TCustomListView::WndProc(message);
      } catch (...) {
        --painting_;
        throw;
      }
      if (--painting_ == 0) StartPaintRequests();
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

// ---- Change reports

void TKivShellList::FileChange(host::TObject*) {
  if (walk_) {
    // The walk under way may have passed this report's object: another follows it.
    walkReported_ = true;
    return;
  }
  if (pendingChanges_.pending && timer_->Enabled()) {
    // The walk's new objects are added first; this report's walk follows.
    pendingChanges_.reported = true;
    return;
  }
  DropPendingChanges();
  timer_->SetEnabled(false);
  timer_->SetEnabled(true);
}

void TKivShellList::DropPendingChanges() {
  if (std::exchange(pendingChanges_, {}).pending) timer_->SetInterval(kRefreshDelayMs);
}

void TKivShellList::ChangeNotification(host::TObject*, int event, PItemIDList pidl1,
                                       PItemIDList pidl2) {
  if (core_.HoldReport(event, pidl1, pidl2)) return;
  switch (event) {
    case neNetShare:
    case neNetUnShare:
      timer_->SetEnabled(false);
      DropPendingChanges();
      Refresh();
      return;
    case neFileDelete:
    case neFolderDelete: {
      if (IsShownFolderOrAncestor(pidl1)) {
        // The shown folder itself, or a folder above it: the timer finds out where to go.
        FileChange(this);
        return;
      }
      // Only an object of the shown folder can be one of the items.
      UniquePidl parent = GetItemIdListStart(pidl1, GetItemIdListDepth(pidl1) - 1);
      const bool here =
          GetItemIdListDepth(pidl1) > 0 && SameItemIdList(parent.get(), GetFolderIdList());
      // By name first: a report made from a path alone may call a folder a file, and comparing
      // names is cheaper than asking the folder about every item.
      TListItem* item =
          here ? FindItemByParsingName(host::ExtractFileName(GetPathFromPidl(pidl1)), 1) : nullptr;
      UniquePidl relative = here && !item ? GetRelativePIDL(pidl1) : UniquePidl{};
      if (relative) item = ItemOfPIDL(relative.get());
      if (item && ItemData(item)->cutToClipboard) {
        // Objects cut here leave together after a paste: the refresh reports them at once.
        FileChange(this);
      } else if (item) {
        DeleteGoneItem(item);
      } else if (here) {
        // Not found by its list (a report built from a name alone): the refresh settles it.
        FileChange(this);
      }
      return;
    }
    default:
      FileChange(this);
  }
}

bool TKivShellList::IsShownFolderOrAncestor(PCItemIDList idList) {
  PCItemIDList folder = GetFolderIdList();
  if (!idList || !folder) return false;
  if (SameItemIdList(idList, folder)) return true;
  // By path where both have one: a report made from a path names it the shell's way.
  const String path = host::ExcludeTrailingBackslash(GetPathFromPidl(idList));
  const String shown = host::ExcludeTrailingBackslash(GetPathFromPidl(folder));
  if (!path.empty() && !shown.empty())
    return shown.size() > path.size() && host::AnsiSameText(shown.substr(0, path.size()), path) &&
           (shown[path.size()] == '\\' || path.back() == '\\');
  return ILIsParent(idList, folder, FALSE) != FALSE;
}

void TKivShellList::DeleteGoneItem(TListItem* item) {
  // The edit would end on whatever item takes the index.
  if (item == editingItem_) {
    if (IsEditing()) item->CancelEdit();
    editingItem_ = nullptr;
  }
  item->Delete();
}

void TKivShellList::TimerChange(host::TObject*) {
  timer_->SetEnabled(false);
  if (pendingChanges_.pending) {
    PendingChanges pending = std::exchange(pendingChanges_, {});
    timer_->SetInterval(kRefreshDelayMs);
    // A refill, navigation or refresh since the walk has made its findings void.
    if (pending.stamp == refreshStamp_ && !Loading() && Enabled() && !refreshing_) {
      ApplyChanges(std::move(pending.fresh));
      // Adding a burst takes most of a tick, and so does drawing it.
      PaintLater();
    }
    if (pending.reported) FileChange(this);
    return;
  }
  const String path = GetPath();
  // The cheap test first: which special folder is shown may take Wine tens of milliseconds to
  // find out.
  if (!path.empty() && DirectoryGoneOrPending(host::ToWide(path)) &&
      GetSpecialFolder() == SF_FILESYSTEMFOLDER &&
      !host::FileExists(host::ExcludeTrailingBackslash(path))) {
    // The shown folder has vanished.
    SetSpecialFolder(SF_DRIVES);
    return;
  }
  host::ScopedValue fromTimer{refreshFromTimer_, true};
  SmartRefresh();
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
  item->SetSelected(true);
  item->SetFocused(true);
  item->MakeVisible(false);
  return true;
}

void TKivShellList::SmartRefresh() {
  if (Loading() || !Enabled() || refreshing_) return;
  // A walk of the timer, under way or waiting to be applied, is overtaken by this one.
  DropPendingChanges();
  StopWalk();
  if (Items()->Count() > kSmartRefreshLimit) {
    // A full refill is cheaper here; the selected object is selected again.
    if (IsEditing()) return;
    TListItem* selected = Selected();
    TKivShellListItem* data = ItemData(selected);
    const String name = data ? data->parsingName : String{};
    Refresh();
    if (fill_) {
      pendingSelection_ = name;
    } else {
      SelectByParsingName(name);
    }
    return;
  }
  if (refreshFromTimer_ && GetFolderIdList()) {
    // Walking a big folder takes the window many ticks: a worker does it, and the window
    // matches what it found.
    StartWalk();
    return;
  }
  std::vector<TKivShellListFill::Record> fresh;
  WalkForChanges(fresh);
  ApplyChanges(std::move(fresh));
}

namespace {

// The list's items by parsing name, without case: the display names are not read for this.
// A walk finds each item once; those it does not find are left unmarked.
class TItemsByName {
 public:
  explicit TItemsByName(host::TListItems& items) {
    byName_.reserve(size_t(items.Count()));
    for (int i = 0; i < items.Count(); ++i) {
      TListItem* item = items.Item(i);
      TKivShellListItem* data = TKivShellList::ItemData(item);
      if (!data || data->parentFolder) continue;
      data->seen = 0;
      byName_.emplace(Key(data->parsingName), item);
    }
  }
  // The item of the child of that name, marked as found; nullptr for a new child.
  TListItem* Find(const String& name) {
    const auto found = byName_.find(Key(name));
    if (found == byName_.end()) return nullptr;
    TKivShellListItem* data = TKivShellList::ItemData(found->second);
    if (data->seen != 0) return nullptr;
    data->seen = 1;
    return found->second;
  }

 private:
  static std::wstring Key(const String& name) {
    std::wstring key = host::ToWide(name);
    CharLowerBuffW(key.data(), DWORD(key.size()));
    return key;
  }
  std::unordered_map<std::wstring, TListItem*> byName_;
};

}  // namespace

void TKivShellList::WalkForChanges(std::vector<TKivShellListFill::Record>& fresh) {
  host::CursorGuard cursor;
  TItemsByName items(*Items());
  // New children are added after the walk: a refresh that finds nothing new and nothing gone
  // leaves the control alone, whose layout costs more than the walk.
  while (Navigator()->Next()) {
    if (!showFolders_ && Navigator()->IsFolder()) continue;
    if (!IsShownObject(*Navigator(), ShowOptions())) continue;
    if (!items.Find(Navigator()->GetObjectName()))
      fresh.push_back(TKivShellListFill::Child(*Navigator()));
  }
}

void TKivShellList::StartWalk() {
  TKivShellListFill::Settings settings = ShownChildren();
  settings.wholeAtEnd = true;
  // The worker makes the name keys that order the new items among the others.
  if (sorter_.SortsByNameKeys()) {
    settings.order = TKivShellListFill::orKeys;
    settings.nameOrder =
        ProbeNameOrder(Navigator()->ShellFolder(), host::ToWide(Navigator()->Folder()));
  }
  walkReported_ = false;
  walk_ = std::make_unique<TKivShellListFill>(std::move(settings), [this] { WalkReady(); });
}

void TKivShellList::StopWalk() {
  walk_.reset();
  walkReported_ = false;
}

void TKivShellList::WalkReady() {
  if (!walk_) return;
  std::vector<TKivShellListFill::Record> children, batch;
  bool last = false;
  while (walk_->TakeBatch(batch, last)) {
    std::move(batch.begin(), batch.end(), std::back_inserter(children));
    batch.clear();
  }
  if (!last) {
    walk_->ContinueLater();
    return;
  }
  const bool failed = walk_->Failed();
  const bool reported = std::exchange(walkReported_, false);
  walk_.reset();
  // A folder that could not be walked to its end would look as if its objects had gone: the
  // findings are dropped (a folder that vanished is reported itself).
  if (failed || Loading() || !Enabled() || refreshing_) {
    if (reported) FileChange(this);
    return;
  }
  TItemsByName items(*Items());
  std::vector<TKivShellListFill::Record> fresh;
  for (TKivShellListFill::Record& child : children) {
    if (TListItem* item = items.Find(child.parsingName)) {
      ItemData(item)->sortKey = std::move(child.key);
    } else {
      fresh.push_back(std::move(child));
    }
  }
  if (fresh.size() >= kApplyLaterCount) {
    // Many new objects (a burst of new files): the timer adds them on its next tick, so the
    // window takes its input and timers between the matching and the adding.
    pendingChanges_ = {std::move(fresh), refreshStamp_, true, reported};
    timer_->SetInterval(USER_TIMER_MINIMUM);
    timer_->SetEnabled(true);
    return;
  }
  ApplyChanges(std::move(fresh));
  if (reported) FileChange(this);
}

void TKivShellList::ApplyChanges(std::vector<TKivShellListFill::Record> fresh) {
  host::CursorGuard cursor;
  const auto isGone = [](TListItem* item) {
    TKivShellListItem* data = ItemData(item);
    return data && !data->parentFolder && data->seen == 0;
  };
  bool anyGone = false;
  for (int i = 0; i < Items()->Count() && !anyGone; ++i) anyGone = isGone(Items()->Item(i));

  std::unique_ptr<host::TStrings> cutAway;
  if (!fresh.empty() || anyGone) {
    // The control takes the changes at the end and draws them when the loop paints.
    host::TListItems* items = Items();
    items->BeginBatch();
    const auto end = host::ScopeExit([items] { items->EndBatch(); });
    const int before = Items()->Count();
    for (TKivShellListFill::Record& child : fresh) AddChild(std::move(child), details_);
    const bool added = Items()->Count() != before;
    for (int i = 0; i < Items()->Count();) {
      TListItem* item = Items()->Item(i);
      if (!isGone(item)) {
        ++i;
        continue;
      }
      // Objects cut here and now gone were pasted elsewhere.
      if (TKivShellListItem* data = ItemData(item); data->cutToClipboard) {
        if (!cutAway) cutAway = std::make_unique<host::TStringList>();
        cutAway->Add(Navigator()->Folder() + data->parsingName);
      }
      DeleteGoneItem(item);
    }
    // New objects were appended: put them in their place.
    if (added) Resort();
  }
  // The walk's sort keys have served.
  for (int i = 0; i < Items()->Count(); ++i)
    if (TKivShellListItem* data = ItemData(Items()->Item(i))) data->sortKey = std::string();
  // States of items not drawn yet are read when they are.
  if (CheckedPaths()) {
    for (int i = 0; i < Items()->Count(); ++i) {
      TListItem* item = Items()->Item(i);
      TKivShellListItem* data = ItemData(item);
      if (data && !data->parentFolder && item->ImageIndex() >= 0) ReadCheckState(item);
    }
  }
  if (cutAway) Operation(ShellOperations({sopCut, sopRemove}), std::move(cutAway), {});
}

}  // namespace zelnor
