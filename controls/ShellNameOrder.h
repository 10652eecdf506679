// Sort keys that order a file-system folder's children as the folder's own CompareIDs does.
//   TShellNameOrder    how the folder compares names: digits as numbers, names in the ANSI code page
//   ProbeNameOrder     asks the folder once, with two pairs of names that exist nowhere
//   IsSortedAsFolder   whether the shell sorts a child among the folders
//   NameSortKey        folders first, then the name's sort key under those rules
//   TextSortKey        a text's sort key under those rules, ending in a zero byte
//
// Keys make a sort cost one key per item instead of n log n calls into the shell; the caller
// still checks neighbours with CompareIDs (TCustomListView::SortByKeys), so what the keys get
// wrong (names the shell compares by rules of its own) costs a move, never a wrong order.
#pragma once

#include <windows.h>
#include <shobjidl.h>

#include <string>
#include <string_view>

namespace zelnor {

class TZelnor;

struct TShellNameOrder {
  bool digitsAsNumbers = false;  // "file2" before "file10"
  bool ansiNames = false;        // names compared as the ANSI code page spells them
};

// The rules of file-system folders, learnt on first use from `folder` (whose file-system path is
// `path`) and kept for the process: every file-system folder compares alike.
TShellNameOrder ProbeNameOrder(IShellFolder* folder, const std::wstring& path);

// Whether the shell sorts the navigator's current child among the folders: a folder that is not
// also a file (an archive is sorted among the files).
bool IsSortedAsFolder(TZelnor& navigator);

// Group byte (1 folders, 2 other objects; 0 sorts before both) and the name's sort key.
std::string NameSortKey(std::wstring_view name, bool folder, const TShellNameOrder& order);

// The sort key of `text` (without case, digits as the order says) appended to `key`. It ends in a
// zero byte and holds none before, so a key followed by more bytes still orders by its text first.
void AppendTextSortKey(std::string& key, std::wstring_view text, const TShellNameOrder& order);

}  // namespace zelnor
