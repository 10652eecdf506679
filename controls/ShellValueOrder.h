// Ordering a folder's children by the value of a detail column, where the folder's own CompareIDs
// does not look at that column.
//   TShellColumnValues   reads one column's value of each child as a byte key: sizes and times
//                        from the child's find data, other values from GetDetailsEx, else the
//                        column's text under the folder's name rules
//   TValueSortItem       what the order of one child rests on: its group, value and name keys
//   TColumnVerdict       whether the folder's comparison honours a column
//   ProbeColumnOrder     asks the folder about two children that its names and their values put
//                        the other way round
//   ValueSortKey         group, value, then name: the key of a sort by value
//   TFindDataValue, FindDataValueOfColumn, FindDataValueKey
//                        the column values that find data holds, keyed as TShellColumnValues
//                        keys them, for objects whose find data is at hand
//
// Values are read once per child and sort; keys then do all the comparing.
#pragma once

#include <windows.h>
#include <shobjidl.h>

#include <string>
#include <vector>

#include "controls/ShellNameOrder.h"
#include "host/core/Raii.h"

namespace zelnor {

// The values of find data a detail column may show, known by the column's property.
enum TFindDataValue { fdNone, fdSize, fdWriteTime, fdCreationTime, fdAccessTime };

// Which find-data value column `column` of `folder` shows; fdNone for any other column.
TFindDataValue FindDataValueOfColumn(IShellFolder* folder, int column);
// The key of that value of `data` (folders have no size), as TShellColumnValues::Key gives it.
std::string FindDataValueKey(const WIN32_FIND_DATAW& data, TFindDataValue value);

class TShellColumnValues {
 public:
  // Column `column` of `folder`, in the folder's own numbering; `order` compares its texts.
  TShellColumnValues(IShellFolder* folder, int column, const TShellNameOrder& order);

  // The key of `child`'s value in the column: a kind byte (nothing, whole number, real number,
  // text) and the value, compared as unsigned bytes; whole numbers and reals in their order.
  std::string Key(PCUITEMID_CHILD child);

 private:
  // Size or a time from the child's find data; false when the child has none.
  bool FindDataKey(PCUITEMID_CHILD child, std::string& key) const;
  bool DetailsExKey(PCUITEMID_CHILD child, std::string& key);
  bool TextKey(PCUITEMID_CHILD child, std::string& key) const;

  host::ComPtr<IShellFolder> folder_;
  host::ComPtr<IShellFolder2> details_;
  int column_;
  TShellNameOrder order_;
  TFindDataValue source_ = fdNone;
  SHCOLUMNID id_{};
  bool hasId_ = false;
  bool detailsEx_ = true;  // until the folder answers that it has no GetDetailsEx
};

struct TValueSortItem {
  PCUITEMID_CHILD child = nullptr;  // owned by the caller
  bool folder = false;              // sorted among the folders, which come first
  std::string value;                // TShellColumnValues::Key
  std::string name;                 // AppendTextSortKey of the name
};

// Group byte, value and name: ascending keys give the order the shell gives by value.
std::string ValueSortKey(const TValueSortItem& item);

enum class TColumnVerdict { unknown, honoured, ignored };

// Whether `folder`'s CompareIDs honours `column`: two children of one group whose values and
// names (by their keys, and confirmed by the folder's comparison by name) order them apart are
// compared by the column. Unknown when no such pair was found: then the values order the
// children as their names do, and either comparison gives the same order.
TColumnVerdict ProbeColumnOrder(IShellFolder* folder, int column,
                                const std::vector<TValueSortItem>& items);

}  // namespace zelnor
