// TKivShellListSorter: the shell list's order and the header's arrows.
#include "controls/ShellListSorter.h"

#include <commctrl.h>

#include "controls/ShellList.h"
#include "controls/ShellNameOrder.h"
#include "controls/ShellValueOrder.h"
#include "host/core/HResult.h"

namespace zelnor {

using host::TListItem;

namespace {

// Below this many items the folder's comparison alone sorts as fast as keys.
constexpr int kKeySortMinimum = 32;

}  // namespace

TKivShellListSorter::TKivShellListSorter(TKivShellList& list)
    : list_(list),
      arrowUp_(TKivShellViewCore::MakeSortArrow(true, list.CurrentPpi())),
      arrowDown_(TKivShellViewCore::MakeSortArrow(false, list.CurrentPpi())),
      headerHook_(&list) {}

TKivShellListSorter::~TKivShellListSorter() { UnhookHeader(); }

void TKivShellListSorter::SetPixelsPerInch(int ppi) {
  arrowUp_.reset(TKivShellViewCore::MakeSortArrow(true, ppi));
  arrowDown_.reset(TKivShellViewCore::MakeSortArrow(false, ppi));
  UpdateColumnBitmap();
}

void TKivShellListSorter::SetColumn(int column) {
  reverse_ = column == column_ && !reverse_;
  column_ = column;
  Resort();
  UpdateColumnBitmap();
}

void TKivShellListSorter::SetReverse(bool reverse) {
  if (reverse == reverse_) return;
  reverse_ = reverse;
  Resort();
  UpdateColumnBitmap();
}

void TKivShellListSorter::Normalise() {
  if (column_ > list_.Columns()->Count() - 1) column_ = 0;
  direction_ = reverse_ ? -1 : 1;
}

void TKivShellListSorter::Resort() {
  Normalise();
  // Columns of the navigator are ordered by the folder itself, unless the application compares.
  const bool byFolder = SortsByFolder();
  const auto compare = [this, byFolder](TListItem* a, TListItem* b, LPARAM) {
    return Compare(a, b, byFolder);
  };
  // By name in a file-system folder, keys built once per item do the sorting and the folder's
  // own comparison checks each neighbour, so the order is the folder's at about n calls.
  if (SortsByNameKeys() && list_.Items()->Count() >= kKeySortMinimum) {
    list_.SortByKeys(NameSortKeys(), reverse_, compare, column_);
  } else if (!(byFolder && list_.columnMap_[size_t(column_)] != 0 && SortByColumnValues())) {
    list_.CustomSort(compare, column_);
  }
}

bool TKivShellListSorter::SortsByFolder() const {
  return column_ < list_.columnCount_ && column_ < int(list_.columnMap_.size()) && !list_.OnCompare &&
         list_.Navigator()->ShellFolder();
}

bool TKivShellListSorter::SortsByNameKeys() const {
  return SortsByFolder() && column_ == 0 && list_.columnMap_[0] == 0 && !list_.Navigator()->Folder().empty();
}

std::vector<std::string> TKivShellListSorter::NameSortKeys() {
  const TShellNameOrder order =
      ProbeNameOrder(list_.Navigator()->ShellFolder(), host::ToWide(list_.Navigator()->Folder()));
  std::vector<std::string> keys;
  keys.reserve(size_t(list_.Items()->Count()));
  for (int i = 0; i < list_.Items()->Count(); ++i) {
    const TKivShellListItem* data = TKivShellList::ItemData(list_.Items()->Item(i));
    if (!data || data->parentFolder) {
      keys.emplace_back();  // first; the check puts it first in reverse order too
      continue;
    }
    // A worker may have made the key already.
    keys.push_back(data->sortKey.empty()
                       ? NameSortKey(host::ToWide(data->parsingName), data->folder, order)
                       : data->sortKey);
  }
  return keys;
}

std::map<int, TColumnVerdict>& TKivShellListSorter::ColumnVerdicts() {
  PCItemIDList folder = list_.GetFolderIdList();
  if (!folder || !verdictFolder_ || !ILIsEqual(verdictFolder_.get(), folder)) {
    verdicts_.clear();
    verdictFolder_.reset(folder ? ILClone(folder) : nullptr);
  }
  return verdicts_;
}

bool TKivShellListSorter::FolderOrderTrusted() {
  if (!SortsByFolder()) return false;
  const int column = list_.columnMap_[size_t(column_)];
  if (column == 0) return true;
  const auto& verdicts = ColumnVerdicts();
  const auto known = verdicts.find(column);
  return known != verdicts.end() && known->second == TColumnVerdict::honoured;
}

bool TKivShellListSorter::SortByColumnValues() {
  const int column = list_.columnMap_[size_t(column_)];
  auto& verdicts = ColumnVerdicts();
  const auto known = verdicts.find(column);
  if (known != verdicts.end() && known->second == TColumnVerdict::honoured) return false;
  IShellFolder* folder = list_.Navigator()->ShellFolder();
  const TShellNameOrder order = ProbeNameOrder(folder, host::ToWide(list_.Navigator()->Folder()));
  // Each value is read once; the keys do the comparing.
  TShellColumnValues values(folder, column, order);
  const int count = list_.Items()->Count();
  std::vector<TValueSortItem> items(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    const TKivShellListItem* data = TKivShellList::ItemData(list_.Items()->Item(i));
    if (!data || data->parentFolder || !data->idList) continue;
    TValueSortItem& item = items[size_t(i)];
    item.child = data->idList.get();
    item.folder = data->folder;
    item.value = values.Key(item.child);
    AppendTextSortKey(item.name, host::ToWide(data->parsingName), order);
  }
  const TColumnVerdict verdict =
      known != verdicts.end() ? known->second : ProbeColumnOrder(folder, column, items);
  if (verdict != TColumnVerdict::unknown) verdicts[column] = verdict;
  if (verdict != TColumnVerdict::ignored) return false;
  std::vector<std::string> keys;
  keys.reserve(size_t(count));
  for (const TValueSortItem& item : items) {
    // The parent-folder item (and any item without a list of its own) comes first either way.
    if (!item.child) {
      keys.emplace_back(reverse_ ? "\xFF" : "");
      continue;
    }
    keys.push_back(ValueSortKey(item));
  }
  list_.SortByKeys(keys, reverse_, nullptr, column_);
  return true;
}

int TKivShellListSorter::Compare(TListItem* a, TListItem* b, bool byFolder) {
  TKivShellListItem* da = TKivShellList::ItemData(a);
  TKivShellListItem* db = TKivShellList::ItemData(b);
  if (da && da->parentFolder) return -1;
  if (db && db->parentFolder) return 1;
  if (byFolder) {
    if (!da || !db || !da->idList || !db->idList) return 0;
    // The folder numbers its columns its own way: list column n shows its column map[n].
    const HRESULT hr = list_.Navigator()->ShellFolder()->CompareIDs(
        LPARAM(list_.columnMap_[size_t(column_)]), da->idList.get(), db->idList.get());
    if (!host::HrOk(hr, "CompareIDs")) return 0;  // a failed comparison makes them equal
    return int(short(HRESULT_CODE(hr))) * direction_;
  }
  int result = 0;
  if (column_ == 0) {
    result = host::AnsiCompareText(a->Caption(), b->Caption());
  } else {
    if (a->SubItems()->Count() == 0) list_.CompleteItemDetails(a);
    if (b->SubItems()->Count() == 0) list_.CompleteItemDetails(b);
    result = host::AnsiCompareText(a->SubItemText(column_), b->SubItemText(column_));
  }
  result *= direction_;
  if (list_.OnCompare) list_.OnCompare(&list_, a, b, LPARAM(column_), result);
  return result;
}

void TKivShellListSorter::UpdateColumnBitmap() {
  for (int i = 0; i < list_.Columns()->Count(); ++i) SetColumnBitmap(i, reverse_);
}

void TKivShellListSorter::SetColumnBitmap(int index, bool reverse) {
  HWND header = list_.HandleAllocated() ? list_.HeaderHandle() : nullptr;
  if (!header) return;
  HDITEMW item{};
  item.mask = HDI_FORMAT | HDI_BITMAP;
  if (!Header_GetItem(header, index, &item)) return;
  const HDITEMW was = item;
  if (index == column_) {
    item.fmt |= HDF_BITMAP | HDF_BITMAP_ON_RIGHT;
    item.hbm = HBITMAP(reverse ? arrowDown_.get() : arrowUp_.get());
  } else {
    item.fmt &= ~(HDF_BITMAP | HDF_BITMAP_ON_RIGHT);
    item.mask = HDI_FORMAT;
  }
  // The header draws itself anew for every item set: one already as it should be is left.
  if (item.fmt == was.fmt && (item.mask == HDI_FORMAT || item.hbm == was.hbm)) return;
  Header_SetItem(header, index, &item);
}

void TKivShellListSorter::HookHeader() {
  HWND header = list_.HeaderHandle();
  if (!header || header == headerHook_.Window()) return;
  headerHook_.Hook(header, [this](host::TMessage& message) {
    headerHook_.CallDefault(message);
    // A click, drag or resize redraws the header items without the arrow.
    if (message.Msg == WM_CAPTURECHANGED) UpdateColumnBitmap();
  });
}

void TKivShellListSorter::UnhookHeader() { headerHook_.Unhook(); }

}  // namespace zelnor
