// The file list: the results of file searches in a report view.
//   TKivFileListItem    the data hung on every row: its full path, what the walk found of it,
//                       and its item identifier lists, made when first needed
//   TOnAddPath, TOnSearchProgress, TOnEndSearch   the search's events
//   TScrollStyle        which scroll bars the list may show
//   TKivFileList        construction, settings, columns, rows and their lazy details
//                       (FileList.cpp); searching, the hand-over from the walks and change
//                       reports (FileListSearch.cpp); sorting and the header arrows
//                       (FileListSort.cpp)
//
// A row costs no shell call when it is added: its caption is the found name and its folder the
// text before it. Its item identifier lists and the shell's detail texts are made when the row
// is first drawn or read (parsing the name in its folder, which the list keeps bound while rows
// of one folder follow each other). Hits reach the list in batches from the walk's queue, taken
// in slices of the main thread's time, and are added one by one in the order found.
#pragma once

#include <windows.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "controls/ShellValueOrder.h"
#include "controls/ShellViewCore.h"
#include "extras/FileSearchThread.h"
#include "extras/SearchOptions.h"
#include "extras/ShellChangeNotifier.h"
#include "host/core/Raii.h"
#include "host/views/ListView.h"
#include "shell/SystemImageList.h"

namespace zelnor {

class TKivShellChangeNotifier;
class TThreadPool;

struct TKivFileListItem {
  String fullPath;      // the row's key
  TKivFoundFile file;   // attributes, size and times when the row was added
  UniquePidl absoluteIdList;  // the path's absolute list; owned, made when first needed
  UniquePidl idList;          // the same object relative to its folder, as the navigator holds it
  bool listsTried = false;    // the lists were asked for (and may have failed)
  std::string nameKey;        // the caption's sort key, until the caption changes
};

using TOnAddItem = std::function<void(host::TListItem* item, bool& canAdd)>;
using TOnAddPath = std::function<void(const String& path, bool& canAdd)>;
using TOnSearchProgress = std::function<void(const String& path)>;
using TOnEndSearch = std::function<void()>;

// Scoped: the plain names would meet the selection states' ssNone.
enum class TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };
extern const host::TEnumInfo ScrollStyleInfo;

class TKivFileList : public host::TCustomListView, public TKivShellView<TKivFileList> {
  HOST_CLASS(TKivFileList, host::TCustomListView)
  explicit TKivFileList(host::TComponent* owner = nullptr);
  ~TKivFileList() override;

  // ---- Settings (the link, UseSystemFont, Version and the mouse events come with TKivShellView)
  bool Details() const { return details_; }
  void SetDetails(bool value);
  // The list's own options; setting copies the given ones into them.
  TKivSearchOptions* SearchOptions() const { return options_.get(); }
  void SetSearchOptions(const TKivSearchOptions* options);
  // The change notifier follows the searched folders while on.
  bool AutomaticRefresh() const { return automaticRefresh_; }
  void SetAutomaticRefresh(bool value);
  TScrollStyle ScrollBars() const { return scrollBars_; }
  void SetScrollBars(TScrollStyle value);
  void SetShellLink(TKivShellLink* link);

  // ---- Searching
  // Searches below `path` (every ready drive when empty) on a worker with a copy of
  // SearchOptions; rows already shown stay and earlier searches go on. The change notifier
  // watches `path` from now on.
  void Search(const String& path);
  // Asks every search to stop, without waiting: nothing they found but did not hand over yet is
  // added. Each search's end is still reported.
  void Stop();
  // The thread of the search started last while it runs, else nullptr.
  TKivFileSearchThread* CurrentSearchThread() const { return currentThread_; }
  // Whether any search (the application's or the list's own re-search of a changed folder)
  // still runs or has rows waiting.
  bool Searching() const { return !runs_.empty(); }
  const String& SearchRoot() const { return searchRoot_; }
  TThreadPool* SearchPool() const { return pool_.get(); }

  // ---- Rows
  // Adds a row for `path` unless one has it already (in any letter case), asking OnAddItem and
  // OnAddPath; answers the new row, nullptr when none was added.
  host::TListItem* Add(const String& path);
  void Clear();
  bool IsItemInList(const String& path) const;
  // Deletes the row of `path`; false when there is none.
  bool DeleteItem(const String& path);
  host::TListItem* ItemOfPath(const String& path) const;
  String GetFullPath(int index) const;
  String GetFullPath(host::TListItem* item) const;
  static TKivFileListItem* ItemData(const host::TListItem* item) {
    return item ? static_cast<TKivFileListItem*>(item->Data()) : nullptr;
  }
  // Makes the row's item identifier lists now (they are made when first needed); false when
  // the shell cannot find the path. The navigator is left on the row's object.
  bool MakeItemIdLists(host::TListItem* item);
  // The tick count taken when the first row of an empty list was added.
  DWORD Generation() const { return generation_; }
  void FullRefresh() { Invalidate(); }
  void InitColumns();
  int ColumnCount() const { return columnCount_; }

  // ---- Sorting
  // -1 (no sort) until a column is chosen. Choosing the sort column again reverses the order;
  // another column sorts ascending.
  int SortColumn() const { return sortColumn_; }
  void SetSortColumn(int column);
  bool ReverseSortOrder() const { return reverse_; }
  void SetReverseSortOrder(bool reverse);
  void Resort();
  void UpdateColumnBitmap();

  // Wakes the main thread's message loop (any thread may call it): posts WM_CL_SYNCHRONIZE,
  // whose handler does nothing.
  void DoWakeMainThread(host::TObject* sender = nullptr);
  static constexpr UINT WM_CL_SYNCHRONIZE = WM_USER + 1;

  // IKivShellControl: the list follows no folder of its link.
  void PathChanged(PCItemIDList) override {}
  void FileChanged(PCItemIDList, PCItemIDList) override {}
  void SelectAll() override;
  void Refresh() override { Invalidate(); }
  void SmartRefresh() override { Invalidate(); }
  bool GoUp() override { return false; }

  TOnAddItem OnAddItem;
  TOnAddPath OnAddPath;
  host::TNotifyEvent OnCreateColumns;
  TOnSearchProgress OnSearchProgress;
  TOnEndSearch OnEndSearch;

  void Loaded() override;
  // Icons and check boxes of the new DPI.
  void ChangeScale(int m, int d) override;

 protected:
  void CreateWnd() override;
  void WndProc(host::TMessage& message) override;
  void Notification(host::TComponent* component, host::TOperation operation) override;
  void Delete(host::TListItem* item) override;
  void GetItemText(host::TListItem* item, unsigned parts) override;
  void ColClick(host::TListColumn* column) override;
  void WMContextMenu(host::TMessage& message) override;
  bool ColumnsStored() const override { return false; }

  // A change report of the notifier, with the paths of its lists.
  void ChangeNotification(TNotificationEvent event, const String& path1, const String& path2);

 private:
  bool Loading() const { return Has(host::TComponentStateFlag::csLoading); }

  // What a list column shows, for its texts and its order.
  enum TColumnKind { ckName, ckInFolder, ckValue, ckText };
  struct TColumn {
    TColumnKind kind = ckText;
    int shellColumn = -1;  // the navigator's column, -1 for "In Folder"
    TFindDataValue value = fdNone;
  };
  // A search the list started, from its start until its end has been handed on.
  struct TSearchRun {
    bool dropped = false;  // stopped: what it still hands over is not added
  };

  // Rows (FileList.cpp)
  host::TListItem* AddFound(const String& path, const TKivFoundFile& file);
  void FillDetailTexts(host::TListItem* item);
  static std::wstring PathKey(const String& path);

  // Searching and change reports (FileListSearch.cpp)
  // Starts a walk of `path` with `options`; the current search only when `current`.
  void StartSearch(const TKivSearchOptions& options, const String& path, bool current);
  void ConnectResults();
  void SearchEnded(TKivThread* thread);
  void ResultsMessage(host::TMessage& message);
  // Takes what the walks handed over for one slice; what is left waits for the next.
  void DrainResults();
  void ScheduleDrain();
  // Whether a walk of the search root with the list's options enters `folder`.
  bool WalkReaches(const String& folder) const;
  void FolderUpdated(const String& folder);

  // Sorting (FileListSort.cpp)
  std::vector<std::string> SortKeys(const TColumn& column);
  const std::string& NameKey(host::TListItem* item);
  void SetColumnBitmap(int index);

  bool details_ = true;
  bool automaticRefresh_ = true;
  TScrollStyle scrollBars_ = TScrollStyle::ssBoth;
  std::unique_ptr<TKivSearchOptions> options_;
  std::unique_ptr<TKivSystemImageList> smallImages_, largeImages_;
  std::vector<TColumn> columns_;
  int columnCount_ = 0;
  int sortColumn_ = -1;
  bool reverse_ = false;
  host::UniqueGdiObject arrowUp_, arrowDown_;
  std::unordered_map<std::wstring, host::TListItem*> rows_;  // by PathKey
  DWORD generation_ = 0;

  bool notSearched_ = true;
  String searchRoot_;
  String lastSearchPath_;
  DWORD lastSearchTick_ = 0;
  TKivFileSearchThread* currentThread_ = nullptr;
  int currentRun_ = 0;  // the ID of the current search's thread, 0 when none
  std::unordered_map<int, TSearchRun> runs_;
  std::shared_ptr<TKivSearchResults> results_;
  std::deque<TKivSearchResults::Record> taken_;  // handed over, not yet added
  host::UniqueHiddenWindow resultsWindow_;
  bool drainTimer_ = false;
  ULONGLONG countShown_ = 0;  // when a drain last told the control its count
  // Expires with the list: a handler called while the list drains may destroy it.
  std::shared_ptr<int> lifetime_ = std::make_shared<int>(0);
  // Last: its searches stop before anything they hand over to goes.
  std::unique_ptr<TThreadPool> pool_;
};

}  // namespace zelnor
