// The shell list's order: its sort column and direction, the ways the shown folder's children
// are put in order, what the folder was found to do with its columns, and the header's arrows.
//   TKivShellListSorter   sorts the list's items by the sort column: by name keys the folder's
//                         own comparison checks (file-system folders), by column values where
//                         the folder's comparison ignores the column, by the folder's comparison
//                         otherwise, or by texts and the application's OnCompare for columns of
//                         its own; draws the arrow of the sort column in the header
//
// Keys are built once per item, so sorting a big folder costs about one shell comparison per
// item instead of n log n. Whether a folder honours a column is asked once per folder and kept.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "host/core/Raii.h"
#include "host/forms/Subclass.h"
#include "shell/ShellWin32.h"

namespace host {
class TListItem;
}

namespace zelnor {

class TKivShellList;
enum class TColumnVerdict;

class TKivShellListSorter {
 public:
  explicit TKivShellListSorter(TKivShellList& list);
  ~TKivShellListSorter();
  TKivShellListSorter(const TKivShellListSorter&) = delete;
  TKivShellListSorter& operator=(const TKivShellListSorter&) = delete;

  int Column() const { return column_; }
  bool Reverse() const { return reverse_; }
  // A click on the sort column again reverses the order.
  void SetColumn(int column);
  void SetReverse(bool reverse);
  // Orders the items by the sort column now; a column past the last becomes the first.
  void Resort();
  // Keeps the sort column within the columns and the direction in step, before an order is read.
  void Normalise();

  // Whether the folder's comparison decides the order, and whether it is by name in a
  // file-system folder, where keys stand in for it.
  bool SortsByFolder() const;
  bool SortsByNameKeys() const;
  // Sort keys of the items by name, in the items' order, as the folder orders names.
  std::vector<std::string> NameSortKeys();
  // Whether the folder's own order of the sort column is the list's: by name, or by a column
  // the folder was found to compare by.
  bool FolderOrderTrusted();
  // The order of two items: -1, 0 or 1, the direction applied.
  int Compare(host::TListItem* a, host::TListItem* b, bool byFolder);

  // ---- Header arrows
  void UpdateColumnBitmap();
  // Draws the arrows again for `ppi` and shows them.
  void SetPixelsPerInch(int ppi);
  void SetColumnBitmap(int index, bool reverse);
  // Follows the header's clicks, drags and resizes, which redraw its items without the arrow.
  void HookHeader();
  void UnhookHeader();

 private:
  // What the shown folder was found to do with its columns; forgotten when the folder changes.
  std::map<int, TColumnVerdict>& ColumnVerdicts();
  // By a detail column whose values the folder's comparison was found not to look at: sorts by
  // keys of the values and answers true; false leaves the order to the folder's comparison.
  bool SortByColumnValues();

  TKivShellList& list_;
  int column_ = 0;
  bool reverse_ = false;
  int direction_ = 1;
  UniquePidl verdictFolder_;
  std::map<int, TColumnVerdict> verdicts_;
  host::UniqueGdiObject arrowUp_, arrowDown_;
  host::TSubclass headerHook_;
};

}  // namespace zelnor
