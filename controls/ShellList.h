// The shell list: one folder's contents in a list view.
//   TKivShellListItem     the data hung on every item (relative list, marks)
//   TOnAddItem            lets the application refuse an item while the list fills
//   TKivShellList         filling, lazy captions, details and icons, columns, link handling
//                         (ShellList.cpp); the window procedure, selection by list or name and
//                         the wake-up (ShellListRefresh.cpp); shell commands, the context menu,
//                         renaming, new folders and the selected names (ShellListCommands.cpp);
//                         keys, mouse and check boxes (ShellListInput.cpp); the thumbnail view,
//                         background picture, colours and info-tip hints
//                         (ShellListThumbnails.cpp); OLE drag and drop (ShellListDragDrop.cpp)
// What the tree, the list and the combo share is their TKivShellViewCore (ShellViewCore.h). The
// list's own collaborators: its order and header arrows (TKivShellListSorter,
// ShellListSorter.h), its change reports and the timer's walk (TKivShellListChanges,
// ShellListChanges.h), its background fill (TKivShellListFill, ShellListFill.h) and its
// thumbnails (TKivListThumbnails, ListThumbnails.h), its part in drag and drop
// (TKivShellListDragDrop, ShellListDragDrop.h). The put-off painting is the host list
// view's (host/views/DeferredPainter.h).
//
// Filling costs one enumeration: an item is added with its relative list and parsing name only.
// Its display name and detail texts come from the list view's lazy text provider when first read
// (by the control to draw, or by any reader of Caption or SubItems), its icon, overlay and hidden
// state from the lazy image request when it is first drawn.
#pragma once

#include <windows.h>

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "controls/ListThumbnails.h"
#include "controls/SelectionStateImageList.h"
#include "controls/ShellListChanges.h"
#include "controls/ShellListDragDrop.h"
#include "controls/ShellListFill.h"
#include "controls/ShellListSorter.h"
#include "controls/ShellViewCore.h"
#include "host/core/StringList.h"
#include "host/core/Timer.h"
#include "host/forms/Menus.h"
#include "host/graphics/Graphics.h"
#include "host/graphics/ImageList.h"
#include "host/views/ListView.h"
#include "link/ShellLink.h"
#include "shell/ShellOperations.h"
#include "shell/ShowOptions.h"
#include "shell/SystemImageList.h"
#include "shell/Zelnor.h"

namespace zelnor {

class TKivShellChangeNotifier;
class TKivSelectionList;
class TKivThumbnailThread;
class TThreadPool;
enum class TColumnVerdict;

struct TKivShellListItem {
  UniquePidl idList;          // relative to the shown folder; nil for the parent-folder item
  uint32_t seen = 1;          // set again by every incremental refresh that finds the object
  bool parentFolder = false;  // the " .. " item
  bool compressed = false;
  bool encrypted = false;
  bool folder = false;          // a folder the shell sorts before other objects
  bool hidden = false;          // drawn dimmed for that reason alone
  bool cutToClipboard = false;  // cut by this list; reported when the object leaves the folder
  String parsingName;           // the name within the folder, for matching without display names
  uint32_t sequence = 0;        // place among the children a background fill handed over
  std::string sortKey;  // the name's sort key from a worker, until the list is ordered by it
};

using TOnAddItem = std::function<void(host::TListItem* item, bool& canAdd)>;

class TKivShellList : public host::TCustomListView, public TKivShellView<TKivShellList> {
  HOST_CLASS(TKivShellList, host::TCustomListView)
  explicit TKivShellList(host::TComponent* owner = nullptr);
  ~TKivShellList() override;

  // ---- Settings (the link, show options, FileSystemOnly, Filter, UseSystemFont, Version and the
  // mouse events come with TKivShellView)
  bool AutomaticRefresh() const { return automaticRefresh_; }
  void SetAutomaticRefresh(bool value);
  bool Details() const { return details_; }
  void SetDetails(bool value);
  void SetFilter(const String& value);
  String GetPath() const;
  void SetPath(const String& value);
  TKivShellFolder GetSpecialFolder() const;
  void SetSpecialFolder(TKivShellFolder folder);
  void SetShellLink(TKivShellLink* link);
  bool ShowFolders() const { return showFolders_; }
  void SetShowFolders(bool value);
  bool ShowParentFolder() const { return showParentFolder_; }
  void SetShowParentFolder(bool value);
  void SetShowOptions(TKivShellShowOptions options);
  // Fills on a worker thread: the list shows the first children at once, takes the rest in
  // batches and fires OnPopulated when the last is in. Off by default: Refresh then returns
  // with the list filled.
  bool BackgroundFill() const { return backgroundFill_; }
  void SetBackgroundFill(bool value) { backgroundFill_ = value; }
  // True while a background fill is running.
  bool Filling() const { return fill_ != nullptr; }
  void SetViewStyle(host::TViewStyle style) override;

  int SortColumn() const { return sorter_.Column(); }
  void SetSortColumn(int column);
  bool ReverseSortOrder() const { return sorter_.Reverse(); }
  void SetReverseSortOrder(bool reverse);

  // ---- Items and folder
  void FullRefresh() { Refresh(); }
  void SetFolderIdList(PCItemIDList idList);
  // The shown folder's absolute list, cached per refresh; owned by the list.
  PCItemIDList GetFolderIdList();
  String GetFullPath(int index);
  String GetFullPath(host::TListItem* item);
  TKivShellFolder IsSpecialObject(int index);
  TKivShellFolder IsSpecialObject(host::TListItem* item);
  int IndexOfPIDL(PCItemIDList idList);
  host::TListItem* ItemOfPIDL(PCItemIDList idList);
  // Reads the detail texts, icon, overlay and marks of an item now.
  void CompleteItemDetails(host::TListItem* item);
  // Adds the navigator's current child; `details` fills its detail texts too.
  void AddShellItem(bool details);
  void AddParentFolderItem(const String& caption = String{});
  virtual void InitShellColumns();
  // The navigator column shown in list column `index`.
  int ColumnMap(int index) const { return columnMap_.at(size_t(index)); }
  int ShellColumnCount() const { return columnCount_; }
  static TKivShellListItem* ItemData(const host::TListItem* item) {
    return item ? static_cast<TKivShellListItem*>(item->Data()) : nullptr;
  }

  // ---- Sorting
  void Resort();
  void UpdateColumnBitmap();
  void SetColumnBitmap(int index, bool reverse);

  // ---- Thumbnails and drawing
  // Thumbnail view: icon view with the thumbnail image list as large images. Setting True
  // switches to vsIcon; choosing a view style at run time leaves it.
  bool Thumbnails() const { return thumbnailsOn_; }
  void SetThumbnails(bool value);
  // A new size drops every thumbnail; items get new placeholders and requests when next drawn.
  int ThumbnailWidth() const { return thumbnails_.Width(); }
  void SetThumbnailWidth(int width);
  int ThumbnailHeight() const { return thumbnails_.Height(); }
  void SetThumbnailHeight(int height);
  host::TCustomImageList* ThumbnailImages() const { return thumbnails_.Images(); }
  // Runs the thumbnail requests; at most its MaxRunningThreads at once.
  TThreadPool* ThreadPool() const { return thumbnails_.Pool(); }
  // The request started last while it runs, else nullptr.
  TKivThumbnailThread* LastThumbnailThread() const { return thumbnails_.LastThread(); }
  // Renewed by every refill, thumbnail size change and thumbnail switch: a thumbnail request
  // of an older stamp is dropped when it ends.
  unsigned RefreshStamp() const { return refreshStamp_; }
  // Tiled behind the items; an empty bitmap removes the picture.
  host::TBitmap* BackgroundImage() const { return backgroundImage_.get(); }
  void SetBackgroundImage(const host::TBitmap* bitmap);
  // Wakes the main thread's message loop (any thread may call it): posts WM_CL_SYNCHRONIZE,
  // whose handler does nothing.
  void DoWakeMainThread(host::TObject* sender = nullptr);
  static constexpr UINT WM_CL_SYNCHRONIZE = WM_USER + 1;

  // ---- Navigation and refresh
  void InformPathChanged();
  void SelectPIDL(PCItemIDList idList);
  // Restarts the refresh timer: the incremental refresh runs 200 ms after the last call.
  void FileChange(host::TObject* sender = nullptr);
  bool Refreshing() const { return refreshing_; }

  // ---- Commands
  // The shell's context menu on items (else the host's PopupMenu handling).
  bool ShellContextMenu() const { return shellContextMenu_; }
  void SetShellContextMenu(bool value) { shellContextMenu_ = value; }
  // Shown on a right click beside the items.
  host::TPopupMenu* BackgroundPopupMenu() const { return backgroundPopupMenu_; }
  void SetBackgroundPopupMenu(host::TPopupMenu* menu);
  // Runs a verb ("default", "open", "delete", "copy", "cut", "paste", "rename", "properties"...)
  // on the selected items; the default verb of a folder or of a shortcut to one goes into it.
  // False when nothing ran.
  bool InvokeCommandOnSelected(const String& command);
  // Runs a verb on the shown folder itself (Ctrl+V pastes into it); a refresh follows.
  bool InvokeCommandOnFolder(const String& command);
  // Hands the selected names to the navigator's MultiObjects; false when there are none.
  bool PrepareMultiObjects();
  // The shell's menu of the selected items at a screen point, merged with PopupMenu; `command`
  // is the verb carried out (empty when none).
  void ShowContextMenu(POINT point, String& command);
  bool ShowBackgroundMenu(POINT point);
  // Removes the selected items for a delete, tells OnOperation (when there are files) and has
  // the linked controls catch up after moves, deletions and renames.
  void Operation(TKivShellOperations operations, std::unique_ptr<host::TStrings> files,
                 const String& destination);
  // Creates a folder in the shown folder ("New Folder" for an empty name); with `edit`, shows
  // it and opens its caption for editing. False when it could not be created.
  bool CreateDir(const String& name, bool edit);

  // ---- Drag and drop
  bool OleDragDrop() const { return dragDrop_.OleDragDrop(); }
  void SetOleDragDrop(bool value) { dragDrop_.SetOleDragDrop(value); }
  TKivCopyMode CopyMode() const { return dragDrop_.CopyMode(); }
  void SetCopyMode(TKivCopyMode mode) { dragDrop_.SetCopyMode(mode); }
  // Drags the selected objects (not the parent-folder item) to any drop target.
  void BeginOleDrag(host::TMouseButton button) { dragDrop_.BeginOleDrag(button); }
  // The shell's drop target of an item; for nullptr, the shown folder's; nil when there is none.
  virtual host::ComPtr<IDropTarget> GetDropTarget(host::TListItem* item);
  // The list's own IDropTarget and IDropSource, and their state.
  TKivShellDragDrop& DragDrop() { return dragDrop_; }
  IDropTarget* OleDropTarget() { return &dragDrop_; }
  IDropSource* OleDropSource() { return &dragDrop_; }
  TOnBeforeShellDropEvent OnBeforeShellDrop;

  // ---- Selection
  // The names of the selected items (parsing names, else display names), without the
  // parent-folder item. Owned by the list and rebuilt after each change of the selection; an
  // application that edits it selects the items it names.
  host::TStrings* SelectedFiles();
  host::TStrings* GetSelectedFiles() { return SelectedFiles(); }
  int64_t SelectedFilesSize();

  // ---- Check boxes of the link's selection list
  bool Checkboxes() const { return checkboxes_; }
  void SetCheckboxes(bool value);
  TKivSelectionState GetItemSelectionState(int index) const;

  // IKivShellControl
  void PathChanged(PCItemIDList idList) override;
  void FileChanged(PCItemIDList folder, PCItemIDList item) override;
  void SelectAll() override;
  void Refresh() override;
  void SmartRefresh() override;
  bool GoUp() override;

  TOnAddItem OnAddItem;
  host::TNotifyEvent OnCreateColumns;
  host::TNotifyEvent OnPopulated;
  host::TNotifyEvent OnPathChanged;

  void Loaded() override;
  // Icons and check boxes of the new DPI.
  void ChangeScale(int m, int d) override;

 protected:
  void CreateWnd() override;
  void DestroyWnd() override;
  void WndProc(host::TMessage& message) override;
  void Notification(host::TComponent* component, host::TOperation operation) override;
  void Delete(host::TListItem* item) override;
  void GetImageIndex(host::TListItem* item) override;
  void GetItemText(host::TListItem* item, unsigned parts) override;
  void ColClick(host::TListColumn* column) override;
  void Change(host::TListItem* item, int change) override;
  void KeyDown(WORD& key, host::TShiftState shift) override;
  void KeyPress(wchar_t& key) override;
  void MouseDown(host::TMouseButton button, host::TShiftState shift, int x, int y) override;
  bool CanEdit(host::TListItem* item) override;
  void Edit(const LVITEMW& item) override;
  void BeginItemDrag(host::TListItem* item, host::TMouseButton button) override;

  // The change notifier's reports and the refresh timer's ticks (the changes collaborator
  // follows them).
  void ChangeNotification(host::TObject* sender, int event, PItemIDList pidl1, PItemIDList pidl2);
  void TimerChange(host::TObject* sender);

  // Every item passes through CustomDrawItem, which colours compressed and encrypted objects.
  // The columns come from the shown folder, not from form files.
  bool ColumnsStored() const override { return false; }
  bool IsCustomDrawn(host::TCustomDrawTarget target, host::TCustomDrawStage stage) override;
  bool CustomDrawItem(host::TListItem* item, host::TCustomDrawState state,
                      host::TCustomDrawStage stage) override;
  // The outermost paint has ended: the thumbnail requests it made start.
  void PaintEnded() override;

 private:
  // The list's collaborators, each with its own state, reach the items and columns directly.
  friend class TKivShellListChanges;
  friend class TKivShellListSorter;
  friend class TKivShellListDragDrop;
  friend class TKivShellView<TKivShellList>;

  bool Loading() const { return Has(host::TComponentStateFlag::csLoading); }
  bool Designing() const { return Has(host::TComponentStateFlag::csDesigning); }
  void PointNavigatorAt(host::TListItem* item);
  void FillDetailTexts(host::TListItem* item);
  host::TListItem* FindItemByParsingName(const String& name, uint32_t seen);
  // Adds an item for `data` and lets OnAddItem refuse it; nullptr when it was refused.
  host::TListItem* AddItem(std::unique_ptr<TKivShellListItem> data, bool details);
  host::TListItem* AddChild(TKivShellListFill::Record child, bool details);
  // Selects, focuses and shows the item of that parsing name; false when there is none.
  bool SelectByParsingName(const String& name);
  // What a worker enumerates to find the children this list shows.
  TKivShellListFill::Settings ShownChildren() const;
  // Background filling: start, take what the worker handed over, finish, stop.
  void StartFill();
  void FillReady();
  void MergeFilled(int from);
  void FinishFill();
  void StopFill();
  // Items the refresh has completed: arrows, events, the change notifier.
  void Populated();
  // Says why a folder the shell cannot list shows empty, once per visit.
  void SayWhyEmpty();
  // The icon of the navigator's current child, shared by all plain files of one extension.
  int IconNumberOfCurrent();
  // Deletes an item that left the folder; an edit of its caption is cancelled first.
  void DeleteGoneItem(host::TListItem* item);

  // Commands (ShellListCommands.cpp)
  void PrepareNavigatorForCommand();
  void HandleRenameEvent();
  // Folder path + name of each selected object.
  std::unique_ptr<host::TStrings> SelectedPaths();
  void MarkSelectedCut();
  void ClearCutMarks();
  void InvalidateSelectedFiles();
  void SelectedListChange();
  void WMContextMenu(host::TMessage& message) override;
  POINT BottomRightOfSelection();

  // Check boxes (ShellListInput.cpp)
  TKivSelectionList* CheckedPaths() const;
  // The item whose check box lies under a client point, else nullptr.
  host::TListItem* CheckBoxAt(int x, int y);
  void ClickOnCheckBox(host::TListItem* item);
  void ReadCheckState(host::TListItem* item);
  // Thumbnail view: a placeholder image for `item` now and a request for its picture.
  void RequestThumbnail(host::TListItem* item);
  // Notes `folder` as the one shown; the child of it that was shown before, when there was one
  // (the list went up), else nil.
  UniquePidl ChildLeftFor(UniquePidl folder);
  // Selects and focuses an item and scrolls it into view.
  void ShowSelected(host::TListItem* item);
  void BackgroundImageChange(host::TObject* sender);
  void CMHintShow(host::TMessage& message);

  TKivShellListSorter sorter_;
  TKivShellListChanges changes_;
  std::unique_ptr<TKivSystemImageList> largeImages_;
  std::unique_ptr<TKivSystemImageList> smallImages_;
  bool automaticRefresh_ = true;
  bool createdOnce_ = false;
  bool details_ = true;
  bool showFolders_ = true;
  bool showParentFolder_ = false;
  int columnCount_ = 0;
  std::array<int, 256> savedWidths_{};
  std::array<int, 256> columnMap_{};
  bool rememberWidths_ = false;
  bool refreshing_ = false;
  String loadingPath_;
  bool loadingPathSet_ = false;
  UniquePidl folderIdList_;
  UniquePidl shownFolder_;  // the folder of the last filling
  String toldTooLong_;      // the folder SayWhyEmpty last spoke of
  unsigned refreshStamp_ = 0;
  std::vector<std::pair<String, int>> iconCache_;  // extension -> icon of plain files
  bool shellContextMenu_ = true;
  host::TPopupMenu* backgroundPopupMenu_ = nullptr;
  bool checkboxes_ = false;
  std::unique_ptr<host::TStringList> selectedFiles_;
  bool selectedFilesValid_ = false;
  host::TListItem* editingItem_ = nullptr;  // the item whose caption is being edited
  bool backgroundFill_ = false;
  std::unique_ptr<TKivShellListFill> fill_;
  uint64_t fillGeneration_ = 0;           // changes whenever a fill starts or is stopped
  std::vector<host::TListItem*> filled_;  // by sequence: the items of the running fill
  bool fillMerges_ = false;               // batches are merged into the order as they come
  ULONGLONG fillCountShown_ = 0;          // when the fill last told the control its count
  String pendingSelection_;               // parsing name to select when the running fill ends
  bool thumbnailsOn_ = false;
  std::unique_ptr<host::TBitmap> backgroundImage_;
  TKivShellListDragDrop dragDrop_{*this};
  // Last: it stops its requests before anything they report to goes.
  TKivListThumbnails thumbnails_;
};

}  // namespace zelnor
