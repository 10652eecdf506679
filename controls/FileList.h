// The file list: the results of file searches in a report view.
//   TKivFileListItem    the data hung on every row: its full path, what the walk found of it,
//                       and its item identifier lists, made when first needed
//   TOnAddPath, TOnSearchProgress, TOnEndSearch   the search's events
//   TScrollStyle        which scroll bars the list may show
//   TKivFileList        construction, settings, columns, rows and their lazy details
//                       (FileList.cpp); searching, the hand-over from the walks and change
//                       reports (FileListSearch.cpp); sorting and the header arrows
//                       (FileListSort.cpp); icons, thumbnails and check boxes
//                       (FileListImages.cpp); the context menu, verbs and the reports of what
//                       they did (FileListCommands.cpp); drag and drop (FileListDragDrop.cpp)
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

#include "controls/FileListDragDrop.h"
#include "controls/ListThumbnails.h"
#include "controls/ShellValueOrder.h"
#include "controls/ShellViewCore.h"
#include "extras/FileSearchThread.h"
#include "extras/SearchOptions.h"
#include "extras/ShellChangeNotifier.h"
#include "host/core/Raii.h"
#include "host/views/ListView.h"
#include "shell/SharedIcons.h"
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

  // ---- Icons, thumbnails and check boxes
  // Thumbnails on: the icon view with the thumbnail images, each row's picture made on a
  // worker; off: the view style of before and the system's icons.
  bool Thumbnails() const { return thumbnailsOn_; }
  void SetThumbnails(bool value);
  int ThumbnailWidth() const { return thumbnails_.Width(); }
  void SetThumbnailWidth(int width) { thumbnails_.SetWidth(width); }
  int ThumbnailHeight() const { return thumbnails_.Height(); }
  void SetThumbnailHeight(int height) { thumbnails_.SetHeight(height); }
  host::TCustomImageList* ThumbnailImages() const { return thumbnails_.Images(); }
  TKivListThumbnails& ThumbnailRequests() { return thumbnails_; }
  // Boxes bound to the link's selection list; only with a link.
  bool Checkboxes() const { return checkboxes_; }
  void SetCheckboxes(bool value);
  // The state a row's box shows (ssUnused for none, or outside the rows).
  TKivSelectionState GetItemSelectionState(int index) const;

  // ---- Commands
  // The right-click menu is the shell's (else PopupMenu).
  bool ShellContextMenu() const { return shellContextMenu_; }
  void SetShellContextMenu(bool value) { shellContextMenu_ = value; }
  // The shell's menu for the selected rows at a screen point; answers the verb carried out.
  String ShowContextMenu(POINT point);
  // Carries out `verb` on the selected rows; false without a selection or when it fails.
  bool InvokeContextMenuCommand(const String& verb);
  // Reports what a command did: deleted rows go, OnOperation hears of it, and the linked views
  // refresh where files moved, went or were renamed.
  void Operation(TKivShellOperations operations, host::TStrings* files, const String& destination);

  // ---- Drag and drop
  // The window takes drops (files dropped are only listed) and the rows can be dragged out.
  bool OleDragDrop() const { return dragDrop_.OleDragDrop(); }
  void SetOleDragDrop(bool value) { dragDrop_.SetOleDragDrop(value); }
  // The effects a drag out of the list offers, before the shell's own limits.
  TKivCopyMode CopyMode() const { return dragDrop_.CopyMode(); }
  void SetCopyMode(TKivCopyMode mode) { dragDrop_.SetCopyMode(mode); }
  // The shell's drop target of a row's object (nullptr: of the navigator's folder); nil when it
  // has none.
  host::ComPtr<IDropTarget> GetDropTarget(host::TListItem* item);
  TKivShellDragDrop& DragDrop() { return dragDrop_; }
  IDropTarget* OleDropTarget() { return &dragDrop_; }
  IDropSource* OleDropSource() { return &dragDrop_; }
  // Asked before dropped files are listed: the row under the mouse (nullptr for none).
  TOnBeforeShellDropEvent OnBeforeShellDrop;

  // Wakes the main thread's message loop (any thread may call it): posts WM_CL_SYNCHRONIZE,
  // whose handler does nothing.
  void DoWakeMainThread(host::TObject* sender = nullptr);
  static constexpr UINT WM_CL_SYNCHRONIZE = WM_USER + 1;

  // IKivShellControl: the list follows no folder of its link.
  void PathChanged(PCItemIDList) override {}
  void FileChanged(PCItemIDList, PCItemIDList) override {}
  void SelectAll() override;
  void Refresh() override { Invalidate(); }
  // Up to 300 rows read their boxes again; more are repainted, the selected row kept in view.
  void SmartRefresh() override;
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
  void GetImageIndex(host::TListItem* item) override;
  void PaintEnded() override { thumbnails_.PaintEnded(); }
  void BeginItemDrag(host::TListItem* item, host::TMouseButton button) override;
  void MouseDown(host::TMouseButton button, host::TShiftState shift, int x, int y) override;
  void ColClick(host::TListColumn* column) override;
  void WMContextMenu(host::TMessage& message) override;
  bool ColumnsStored() const override { return false; }

  // A change report of the notifier, with the paths of its lists.
  void ChangeNotification(TNotificationEvent event, const String& path1, const String& path2);

 private:
  friend class TKivShellView<TKivFileList>;
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
  // Tells the control the rows' count now.
  void ShowCount();
  // Whether a walk of the search root with the list's options enters `folder`.
  bool WalkReaches(const String& folder) const;
  void FolderUpdated(const String& folder);

  // Icons, thumbnails and check boxes (FileListImages.cpp)
  int IconOfRow(host::TListItem* item);
  void ReadCheckState(host::TListItem* item);
  host::TListItem* CheckBoxAt(int x, int y);
  void ClickOnCheckBox(host::TListItem* item);
  TKivSelectionList* CheckedPaths() const { return core_.CheckedPaths(checkboxes_); }
  // Every row asks for its image again.
  void ResetImages();

  // Commands (FileListCommands.cpp)
  std::unique_ptr<host::TStrings> SelectedPaths() const;
  // The navigator on the focused selected row, with every selected row as its objects.
  bool PrepareSelection();

  // Sorting (FileListSort.cpp)
  std::vector<std::string> SortKeys(const TColumn& column);
  const std::string& NameKey(host::TListItem* item);
  void SetColumnBitmap(int index);

  bool details_ = true;
  bool thumbnailsOn_ = false;
  host::TViewStyle savedViewStyle_ = host::vsReport;
  bool checkboxes_ = false;
  bool shellContextMenu_ = true;
  TKivSharedIcons sharedIcons_;
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
  bool yieldNext_ = false;  // the next slice waits for a timer tick
  bool countTimer_ = false;  // the count is put off until its timer
  ULONGLONG countShown_ = 0;  // when a drain last told the control its count
  // Expires with the list: a handler called while the list drains may destroy it.
  std::shared_ptr<int> lifetime_ = std::make_shared<int>(0);
  TKivFileListDragDrop dragDrop_{*this};
  // Last: its searches and picture requests stop before anything they hand over to goes.
  std::unique_ptr<TThreadPool> pool_;
  TKivListThumbnails thumbnails_;
};

}  // namespace zelnor
