// TKivFileList: sorting and the header arrows.
//
// The rows come from many folders, whose order the desktop's comparison of their absolute lists
// does not give by column (it gives path order). So every column is ordered by keys of its
// values: the name as file-system folders order names (folders first), sizes and times from
// what the walk found, "In Folder" by the folder's text and then the name, other columns by
// their texts.
#include "controls/FileList.h"

#include <unordered_map>

#include "controls/ShellNameOrder.h"
#include "controls/ShellValueOrder.h"

namespace zelnor {

using host::TListItem;

namespace {

// Texts in the locale's order without case, as the list compares texts.
constexpr TShellNameOrder kTextOrder{};

WIN32_FIND_DATAW FindDataOf(const TKivFoundFile& file) {
  WIN32_FIND_DATAW data{};
  data.dwFileAttributes = file.attributes;
  data.nFileSizeHigh = DWORD(file.size >> 32);
  data.nFileSizeLow = DWORD(file.size);
  data.ftCreationTime = file.creation;
  data.ftLastAccessTime = file.access;
  data.ftLastWriteTime = file.write;
  return data;
}

}  // namespace

void TKivFileList::SetSortColumn(int column) {
  reverse_ = column == sortColumn_ && !reverse_;
  sortColumn_ = column;
  Resort();
  UpdateColumnBitmap();
}

void TKivFileList::SetReverseSortOrder(bool reverse) {
  if (reverse == reverse_) return;
  reverse_ = reverse;
  Resort();
  UpdateColumnBitmap();
}

void TKivFileList::ColClick(host::TListColumn* column) {
  SetSortColumn(column->Index());
  host::TCustomListView::ColClick(column);
}

const std::string& TKivFileList::NameKey(TListItem* item) {
  TKivFileListItem* data = ItemData(item);
  if (data->nameKey.empty()) {
    TZelnor& navigator = *Navigator();
    const TShellNameOrder order =
        ProbeNameOrder(navigator.ShellFolder(), host::ToWide(navigator.Folder()));
    data->nameKey = NameSortKey(host::ToWide(item->Caption()), data->file.IsFolder(), order);
  }
  return data->nameKey;
}

void TKivFileList::Resort() {
  // No column chosen yet: the rows stay in the order they were found.
  if (sortColumn_ < 0) return;
  if (sortColumn_ > Columns()->Count() - 1) sortColumn_ = 0;
  if (Items()->Count() < 2) return;
  const bool ours = sortColumn_ < columnCount_ && sortColumn_ < int(columns_.size());
  const TColumnKind kind = ours ? columns_[size_t(sortColumn_)].kind : ckText;
  if ((!ours || kind == ckInFolder) && OnCompare) {
    CustomSort(nullptr, LPARAM(sortColumn_));
    return;
  }
  const int direction = reverse_ ? -1 : 1;
  const int subItem = sortColumn_;
  // Texts have the last word where keys stand in for a comparison of texts.
  host::TLVCompare exact;
  if (kind == ckInFolder || kind == ckText) {
    exact = [this, direction, subItem, kind](TListItem* a, TListItem* b, LPARAM) {
      const String first = kind == ckInFolder ? host::ExtractFilePath(ItemData(a)->fullPath)
                                              : a->SubItemText(subItem);
      const String second = kind == ckInFolder ? host::ExtractFilePath(ItemData(b)->fullPath)
                                               : b->SubItemText(subItem);
      int result = host::AnsiCompareText(first, second);
      if (result == 0) result = host::AnsiCompareText(a->Caption(), b->Caption());
      return result * direction;
    };
  }
  TColumn column = ours ? columns_[size_t(sortColumn_)] : TColumn{};
  SortByKeys(SortKeys(column), reverse_, exact, LPARAM(sortColumn_));
}

std::vector<std::string> TKivFileList::SortKeys(const TColumn& column) {
  const int count = Items()->Count();
  std::vector<std::string> keys;
  keys.reserve(size_t(count));
  // Rows of one folder share its key.
  std::unordered_map<String, std::string> folderKeys;
  for (int i = 0; i < count; ++i) {
    TListItem* item = Items()->Item(i);
    const TKivFileListItem* data = ItemData(item);
    if (!data) {
      keys.emplace_back();
      continue;
    }
    switch (column.kind) {
      case ckName:
        keys.push_back(NameKey(item));
        break;
      case ckValue: {
        const std::string& name = NameKey(item);
        TValueSortItem value;
        value.folder = data->file.IsFolder();
        value.value = FindDataValueKey(FindDataOf(data->file), column.value);
        value.name = name.substr(1);  // the name's key without its group
        keys.push_back(ValueSortKey(value));
        break;
      }
      case ckInFolder: {
        const String folder = host::ExtractFilePath(data->fullPath);
        auto known = folderKeys.find(folder);
        if (known == folderKeys.end()) {
          std::string key;
          AppendTextSortKey(key, host::ToWide(folder), kTextOrder);
          known = folderKeys.emplace(folder, std::move(key)).first;
        }
        std::string key = known->second;
        AppendTextSortKey(key, host::ToWide(item->Caption()), kTextOrder);
        keys.push_back(std::move(key));
        break;
      }
      case ckText: {
        std::string key;
        AppendTextSortKey(key, host::ToWide(item->SubItemText(sortColumn_)), kTextOrder);
        AppendTextSortKey(key, host::ToWide(item->Caption()), kTextOrder);
        keys.push_back(std::move(key));
        break;
      }
    }
  }
  return keys;
}

// ---- Header arrows

void TKivFileList::UpdateColumnBitmap() {
  for (int i = 0; i < Columns()->Count(); ++i) SetColumnBitmap(i);
}

void TKivFileList::SetColumnBitmap(int index) {
  HWND header = HandleAllocated() ? HeaderHandle() : nullptr;
  if (!header) return;
  HDITEMW item{};
  item.mask = HDI_FORMAT | HDI_BITMAP;
  if (!Header_GetItem(header, index, &item)) return;
  const HDITEMW was = item;
  if (index == sortColumn_) {
    item.fmt |= HDF_BITMAP | HDF_BITMAP_ON_RIGHT;
    item.hbm = HBITMAP(reverse_ ? arrowDown_.get() : arrowUp_.get());
  } else {
    item.fmt &= ~(HDF_BITMAP | HDF_BITMAP_ON_RIGHT);
    item.mask = HDI_FORMAT;
  }
  // The header draws itself anew for every item set: one already as it should be is left.
  if (item.fmt == was.fmt && (item.mask == HDI_FORMAT || item.hbm == was.hbm)) return;
  Header_SetItem(header, index, &item);
}

}  // namespace zelnor
