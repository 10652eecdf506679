// TKivFileList: construction, settings, columns, rows and the lazy completion of their details.
#include "controls/FileList.h"

#include <algorithm>

#include "extras/ShellChangeNotifier.h"
#include "host/core/HResult.h"
#include "host/core/Streaming.h"
#include "shell/ShellRoutines.h"
#include "threads/ThreadPool.h"

namespace zelnor {

using host::TListItem;

const host::TEnumInfo ScrollStyleInfo{"ssNone", "ssHorizontal", "ssVertical", "ssBoth"};

namespace {

// Files and folders coming, going and being renamed, folders changing, drives.
constexpr TNotificationEvents kFileListEvents =
    NotificationEventBit(neFileChange) | NotificationEventBit(neFileCreate) |
    NotificationEventBit(neFileDelete) | NotificationEventBit(neFileRename) |
    NotificationEventBit(neDriveAdd) | NotificationEventBit(neDriveRemove) |
    NotificationEventBit(neShellDriveAdd) | NotificationEventBit(neFolderCreate) |
    NotificationEventBit(neFolderDelete) | NotificationEventBit(neFolderRename) |
    NotificationEventBit(neFolderUpdate);
constexpr int kAllocationBlock = 64;
constexpr int kInFolderWidth = 150;
// A folder that never answers an empty column caption stops adding columns here.
constexpr int kMaxNavigatorColumns = 1024;

}  // namespace

// ---- Construction

TKivFileList::TKivFileList(host::TComponent* owner)
    : host::TCustomListView(owner),
      TKivShellView(*this, KivListShowOptions),
      options_(std::make_unique<TKivSearchOptions>()),
      smallImages_(std::make_unique<TKivSystemImageList>()),
      largeImages_(std::make_unique<TKivSystemImageList>()),
      results_(std::make_shared<TKivSearchResults>()),
      pool_(std::make_unique<TThreadPool>()),
      thumbnails_(*this) {
  Navigator()->Initialize();
  largeImages_->SetSize(si_large);
  SetSmallImages(smallImages_.get());
  SetLargeImages(largeImages_.get());
  host::TCustomListView::SetViewStyle(host::vsReport);
  SetMultiSelect(true);
  SetTabStop(false);
  SetAllocBy(kAllocationBlock);
  SetParentFont(false);
  arrowUp_.reset(TKivShellViewCore::MakeSortArrow(true, CurrentPpi()));
  arrowDown_.reset(TKivShellViewCore::MakeSortArrow(false, CurrentPpi()));

  TKivShellChangeNotifier& notifier = core_.WatchChanges(
      TKivShellViewCore::TReportPolicy::Drop,
      [this](int event, PItemIDList first, PItemIDList second) {
        if (core_.HoldReport(event, first, second)) return;
        ChangeNotification(TNotificationEvent(event), GetPathFromPidl(first),
                           GetPathFromPidl(second));
      });
  notifier.SetEnabled(false);
  notifier.SetEventFilter(kFileListEvents);
  notifier.SetRecursive(true);
  // A folder reported gone as a file goes the same way: the watch need not list the tree.
  notifier.SetLearnFolders(false);
  // The walk opens every folder it enters, which reaches the watch to it before the folder is
  // listed: the watch need not open the tree first (it took as long as the walk, beside it).
  notifier.SetOpenSubfolders(false);
  SetAutomaticRefresh(true);

  resultsWindow_.reset(
      host::AllocateMessageHWnd([this](host::TMessage& message) { ResultsMessage(message); }));
  ConnectResults();
  pool_->OnThreadTerminated = [this](TKivThread* thread) { SearchEnded(thread); };
}

TKivFileList::~TKivFileList() {
  Destroying();
  // Picture requests stop first; none reports back from here on.
  thumbnails_.Stop();
  lifetime_.reset();
  // Walks that outlive the list hand over into a queue nobody reads.
  results_->Disconnect();
  pool_->OnThreadTerminated = nullptr;
  pool_.reset();
  SetShellLink(nullptr);
  core_.BusyForGood();
  Notifier()->SetEnabled(false);
  if (HandleAllocated()) DestroyHandle();
  // Clearing here lets Delete free every row's data.
  Items()->Clear();
  SetSmallImages(nullptr);
  SetLargeImages(nullptr);
}

// ---- Settings

void TKivFileList::SetDetails(bool value) {
  if (value == details_) return;
  details_ = value;
  InitColumns();
  // Every row's texts are read again for the new columns.
  for (int i = 0; i < Items()->Count(); ++i) Items()->Item(i)->SetTextPending(host::ltSubItems);
  Invalidate();
}

void TKivFileList::SetSearchOptions(const TKivSearchOptions* options) { options_->Assign(options); }

void TKivFileList::SetAutomaticRefresh(bool value) {
  automaticRefresh_ = value;
  if (!value || !Loading()) Notifier()->SetEnabled(value);
}

void TKivFileList::SetScrollBars(TScrollStyle value) {
  if (value == scrollBars_) return;
  scrollBars_ = value;
  // The frame is worked out again, with the scroll bars WM_NCCALCSIZE leaves.
  if (HandleAllocated())
    SetWindowPos(Handle(), nullptr, 0, 0, 0, 0,
                 SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TKivFileList::SetShellLink(TKivShellLink* link) { core_.SetShellLink(link); }

void TKivFileList::Notification(host::TComponent* component, host::TOperation operation) {
  host::TCustomListView::Notification(component, operation);
  core_.Notification(component, operation);
}

// ---- Window and loading

void TKivFileList::CreateWnd() {
  host::TCustomListView::CreateWnd();
  // A window made again keeps the columns, and the widths the user gave them.
  if (columnCount_ == 0) InitColumns();
  UpdateColumnBitmap();
  dragDrop_.UpdateRegistration();
}

void TKivFileList::Loaded() {
  host::TCustomListView::Loaded();
  dragDrop_.UpdateRegistration();
  // Boxes read before the link was set are asked again: without a link they go.
  if (checkboxes_) SetCheckboxes(true);
  if (automaticRefresh_) Notifier()->SetEnabled(true);
  if (UseSystemFont()) ApplyExplorerFont(*Font());
}

void TKivFileList::WndProc(host::TMessage& message) {
  if (ViewMessage(message) || ListBoxPress(message)) return;
  switch (message.Msg) {
    case WM_CL_SYNCHRONIZE:
      // Its arrival has woken the message loop; that was all.
      message.Result = 0;
      return;
    case WM_NCCALCSIZE:
      if (scrollBars_ != TScrollStyle::ssBoth) {
        LONG_PTR style = GetWindowLongPtrW(Handle(), GWL_STYLE);
        if (scrollBars_ == TScrollStyle::ssNone || scrollBars_ == TScrollStyle::ssHorizontal)
          style &= ~LONG_PTR(WS_VSCROLL);
        if (scrollBars_ == TScrollStyle::ssNone || scrollBars_ == TScrollStyle::ssVertical)
          style &= ~LONG_PTR(WS_HSCROLL);
        SetWindowLongPtrW(Handle(), GWL_STYLE, style);
      }
      break;
    default:
      break;
  }
  host::TCustomListView::WndProc(message);
  // A click, drag or resize of the header sets its items again, without the arrow.
  if (message.Msg == WM_NOTIFY && message.LParam) {
    const int code = int(reinterpret_cast<const NMHDR*>(message.LParam)->code);
    if (code <= int(HDN_FIRST) && code >= int(HDN_LAST)) UpdateColumnBitmap();
  }
}

void TKivFileList::DoWakeMainThread(host::TObject*) {
  if (HandleAllocated()) PostMessageW(Handle(), WM_CL_SYNCHRONIZE, 0, 0);
}

// ---- Columns

void TKivFileList::InitColumns() {
  host::TListColumns* columns = Columns();
  {
    host::UpdateGuard update(*columns);
    columns->Clear();
    columns_.clear();
    // A file-system folder: its columns are those of every file.
    TZelnor& navigator = *Navigator();
    navigator.SetSpecialFolder(SF_PERSONAL);
    IShellFolder* folder = navigator.ShellFolder();
    const auto add = [&](const String& caption, host::TAlignment alignment, int width,
                         TColumn column) {
      host::TListColumn* c = columns->Add();
      c->SetCaption(caption);
      c->SetAlignment(alignment);
      c->SetWidth(width);
      columns_.push_back(column);
    };
    String caption = navigator.GetColumnText(0, true);
    for (int shellColumn = 0;;) {
      int width = 0;
      const host::TAlignment alignment = navigator.GetColumnInfo(shellColumn, width);
      if (width > 0) {
        TColumn column{ckText, shellColumn, FindDataValueOfColumn(folder, shellColumn)};
        if (shellColumn == 0) column.kind = ckName;
        else if (column.value != fdNone) column.kind = ckValue;
        add(caption, alignment, width, column);
      }
      if (!details_) break;
      // A folder's text reads from its start, whatever the shell's columns ask for.
      if (shellColumn == 0) {
        add("In Folder", host::taLeftJustify, kInFolderWidth, TColumn{ckInFolder, -1, fdNone});
      }
      caption = navigator.GetColumnText(++shellColumn, true);
      if (caption.empty() || shellColumn >= kMaxNavigatorColumns) break;
    }
    columnCount_ = columns->Count();
  }
  if (OnCreateColumns) OnCreateColumns(this);
  UpdateColumnBitmap();
}

// ---- Rows

std::wstring TKivFileList::PathKey(const String& path) {
  std::wstring key = host::ToWide(path);
  if (!key.empty()) CharUpperBuffW(key.data(), DWORD(key.size()));
  return key;
}

TListItem* TKivFileList::Add(const String& path) {
  if (path.empty() || rows_.count(PathKey(path))) return nullptr;
  TKivFoundFile file;
  // A name with wildcards would stand for other files.
  if (path.find_first_of("*?") == String::npos) {
    WIN32_FIND_DATAW data;
    host::ErrorModeGuard noErrorBoxes;
    host::FindHandle find{FindFirstFileExW(host::ToWide(path).c_str(), FindExInfoBasic, &data,
                                           FindExSearchNameMatch, nullptr, 0)};
    if (find) file = TKivFoundFile::Of(data);
  }
  return AddFound(path, file);
}

TListItem* TKivFileList::AddFound(const String& path, const TKivFoundFile& file) {
  std::wstring key = PathKey(path);
  if (key.empty() || rows_.count(key)) return nullptr;
  if (Items()->Count() == 0) generation_ = GetTickCount();
  TListItem* item = Items()->Add();
  auto data = std::make_unique<TKivFileListItem>();
  data->fullPath = path;
  data->file = file;
  item->SetData(data.release());
  rows_.emplace(std::move(key), item);
  const String name = host::ExtractFileName(path);
  item->SetCaption(name.empty() ? path : name);
  // The folder and the shell's detail texts are supplied when first read.
  item->SetTextPending(host::ltSubItems);
  item->SetImageIndex(-1);
  const std::weak_ptr<int> alive = lifetime_;
  for (const bool byPath : {false, true}) {
    bool canAdd = true;
    if (!byPath && OnAddItem) OnAddItem(item, canAdd);
    if (byPath && OnAddPath) OnAddPath(path, canAdd);
    if (alive.expired()) return nullptr;
    // The handler may have taken the row away itself.
    if (Items()->IndexOf(item) < 0) return nullptr;
    if (!canAdd) {
      item->Delete();
      return nullptr;
    }
  }
  return item;
}

void TKivFileList::Delete(TListItem* item) {
  std::unique_ptr<TKivFileListItem> data(ItemData(item));
  item->SetData(nullptr);
  if (data) {
    const auto row = rows_.find(PathKey(data->fullPath));
    if (row != rows_.end() && row->second == item) rows_.erase(row);
  }
  dragDrop_.Forget(item);
  host::TCustomListView::Delete(item);
}

void TKivFileList::Clear() {
  Items()->Clear();
  rows_.clear();
  // The pictures go with the rows; those still being made are dropped when they end.
  thumbnails_.Clear();
}

TListItem* TKivFileList::ItemOfPath(const String& path) const {
  const auto row = rows_.find(PathKey(path));
  return row == rows_.end() ? nullptr : row->second;
}

bool TKivFileList::IsItemInList(const String& path) const { return ItemOfPath(path) != nullptr; }

bool TKivFileList::DeleteItem(const String& path) {
  TListItem* item = ItemOfPath(path);
  if (!item) return false;
  item->Delete();
  return true;
}

String TKivFileList::GetFullPath(int index) const {
  if (index < 0 || index >= Items()->Count()) return {};
  return GetFullPath(Items()->Item(index));
}

String TKivFileList::GetFullPath(TListItem* item) const {
  const TKivFileListItem* data = ItemData(item);
  return data ? data->fullPath : String{};
}

bool TKivFileList::MakeItemIdLists(TListItem* item) {
  TKivFileListItem* data = ItemData(item);
  if (!data) return false;
  TZelnor& navigator = *Navigator();
  if (data->listsTried) {
    if (!data->idList) return false;
    // The navigator keeps the folder bound while rows of one folder follow each other.
    const String folder = host::ExtractFilePath(data->fullPath);
    if (!host::SameText(navigator.Folder(), folder) && !navigator.TrySetDirectory(folder))
      return false;
    navigator.SetItemIdList(data->idList.get());
    return true;
  }
  data->listsTried = true;
  const String folder = host::ExtractFilePath(data->fullPath);
  const String name = host::ExtractFileName(data->fullPath);
  if (folder.empty() || name.empty()) return false;
  if (!host::SameText(navigator.Folder(), folder) && !navigator.TrySetDirectory(folder))
    return false;
  IShellFolder* shellFolder = navigator.ShellFolder();
  if (!shellFolder) return false;
  host::ErrorModeGuard noErrorBoxes;
  std::wstring wide = host::ToWide(name);
  PIDLIST_RELATIVE child = nullptr;
  const HRESULT hr =
      shellFolder->ParseDisplayName(nullptr, nullptr, wide.data(), nullptr, &child, nullptr);
  UniquePidl relative{child};
  if (!host::HrOk(hr, "ParseDisplayName") || !relative) return false;
  navigator.SetItemIdList(relative.get());
  PCItemIDList absolute = navigator.GetAbsoluteItemIdList();
  if (!absolute) return false;
  data->absoluteIdList = CopyItemIdList(absolute);
  data->idList = std::move(relative);
  return true;
}

void TKivFileList::FillDetailTexts(TListItem* item) {
  host::TStrings* texts = item->SubItems();
  host::UpdateGuard update(*texts);
  texts->Clear();
  const TKivFileListItem* data = ItemData(item);
  texts->Add(data ? host::ExtractFilePath(data->fullPath) : String{});
  const int columns = std::min(columnCount_, int(columns_.size()));
  if (!details_ || columns <= 2) return;
  // A path the shell cannot find keeps its row, with empty details.
  const bool found = MakeItemIdLists(item);
  for (int i = 2; i < columns; ++i)
    texts->Add(found ? Navigator()->GetColumnText(columns_[size_t(i)].shellColumn, false)
                     : String{});
}

void TKivFileList::GetItemText(TListItem* item, unsigned parts) {
  if (parts & host::ltSubItems) FillDetailTexts(item);
  host::TCustomListView::GetItemText(item, parts);
}

void TKivFileList::SelectAll() {
  {
    host::UpdateGuard update(*Items());
    host::TCustomListView::SelectAll();
  }
  if (HandleAllocated() && CanFocus()) SetFocus();
}

void TKivFileList::ChangeScale(int m, int d) {
  host::TCustomListView::ChangeScale(m, d);
  core_.ScaleImages(m, {smallImages_.get(), largeImages_.get()}, StateImages());
  arrowUp_.reset(TKivShellViewCore::MakeSortArrow(true, m));
  arrowDown_.reset(TKivShellViewCore::MakeSortArrow(false, m));
  UpdateColumnBitmap();
  thumbnails_.SetPixelsPerInch(m);
}

// ---- Published properties

HOST_PROPERTIES(TKivFileList) {
  p.Enum("ViewStyle", host::ViewStyleInfo, &TKivFileList::ViewStyle,
         [](TKivFileList* l, host::TViewStyle s) { l->SetViewStyle(s); }, host::vsReport);
  p.Bool("MultiSelect", &TKivFileList::MultiSelect, &TKivFileList::SetMultiSelect, true);
  p.Bool("TabStop", &TKivFileList::TabStop, &TKivFileList::SetTabStop, false);
  p.Bool("Details", &TKivFileList::Details, &TKivFileList::SetDetails, true);
  p.Object("SearchOptions", &TKivFileList::SearchOptions);
  p.Bool("AutomaticRefresh", &TKivFileList::AutomaticRefresh, &TKivFileList::SetAutomaticRefresh,
         true);
  p.Component("ShellLink", &TKivFileList::ShellLink, &TKivFileList::SetShellLink);
  p.Enum("ScrollBars", ScrollStyleInfo, &TKivFileList::ScrollBars, &TKivFileList::SetScrollBars,
         TScrollStyle::ssBoth);
  p.Bool("ShellContextMenu", &TKivFileList::ShellContextMenu, &TKivFileList::SetShellContextMenu,
         true);
  p.Bool("Thumbnails", &TKivFileList::Thumbnails, &TKivFileList::SetThumbnails, false);
  p.Int("ThumbnailHeight", &TKivFileList::ThumbnailHeight, &TKivFileList::SetThumbnailHeight, 100);
  p.Int("ThumbnailWidth", &TKivFileList::ThumbnailWidth, &TKivFileList::SetThumbnailWidth, 100);
  p.Bool("OleDragDrop", &TKivFileList::OleDragDrop, &TKivFileList::SetOleDragDrop, true);
  p.Event("OnBeforeShellDrop", &TKivFileList::OnBeforeShellDrop);
  p.Bool("Checkboxes", &TKivFileList::Checkboxes, &TKivFileList::SetCheckboxes, false);
  p.Event<TOnCheckStateChanged>("OnCheckStateChanged", &TKivFileList::OnCheckStateChanged);
  PublishCommandEvents(p);
  p.Bool("UseSystemFont", &TKivFileList::UseSystemFont, &TKivFileList::SetUseSystemFont, true);
  p.Enum("CopyMode", KivCopyModeInfo, &TKivFileList::CopyMode, &TKivFileList::SetCopyMode,
         cmDefault);
  p.Str("Version", &TKivFileList::Version, nullptr).NeverStored();
  p.Event("OnAddItem", &TKivFileList::OnAddItem);
  p.Event("OnAddPath", &TKivFileList::OnAddPath);
  p.Event("OnCreateColumns", &TKivFileList::OnCreateColumns);
  p.Event("OnSearchProgress", &TKivFileList::OnSearchProgress);
  p.Event("OnEndSearch", &TKivFileList::OnEndSearch);
  p.Event<host::TLVChangeEvent>("OnChange", &TKivFileList::OnChange);
  p.Event<host::TLVSelectItemEvent>("OnSelectItem", &TKivFileList::OnSelectItem);
  p.Event<host::TLVColumnClickEvent>("OnColumnClick", &TKivFileList::OnColumnClick);
  p.Event<host::TLVCompareEvent>("OnCompare", &TKivFileList::OnCompare);
  p.Event<host::TLVNotifyEvent>("OnInsert", &TKivFileList::OnInsert);
  p.Event<host::TLVNotifyEvent>("OnDeletion", &TKivFileList::OnDeletion);
  p.Event<host::TLVNotifyEvent>("OnGetImageIndex", &TKivFileList::OnGetImageIndex);
  PublishMouseEvents(p);
}

}  // namespace zelnor
