// TKivShellList: construction, settings, filling, columns and the lazy completion of items.
#include "controls/ShellList.h"

#include <algorithm>
#include <cstring>

#include "controls/ShellListFill.h"
#include "controls/ShellNameOrder.h"
#include "extras/ShellChangeNotifier.h"
#include "extras/ThumbnailThread.h"
#include "host/core/Streaming.h"
#include "host/forms/Application.h"
#include "host/forms/MessageDialogs.h"
#include "shell/ShellRoutines.h"

namespace zelnor {

using host::TListItem;

namespace {

// The events the list follows: files and folders, drives and media, shares.
constexpr TNotificationEvents kListEvents = 0x3FDFC;
// Items are allocated in blocks of this many.
constexpr int kAllocationBlock = 32;
// Saved widths apply to the list columns below this index.
constexpr int kSavedWidthLimit = 255;
// A folder that never answers an empty column caption stops adding columns here.
constexpr int kMaxNavigatorColumns = 1024;

// Extensions whose files may carry an icon of their own: these are asked one by one.
bool HasOwnIcon(const String& extension) {
  static const char* const kOwn[] = {".exe", ".ico", ".lnk", ".url", ".cur", ".ani",
                                     ".scr", ".dll", ".cpl", ".msc", ".pif", ".appref-ms"};
  for (const char* e : kOwn)
    if (host::SameText(extension, e)) return true;
  return false;
}

}  // namespace

// ---- Construction

TKivShellList::TKivShellList(host::TComponent* owner)
    : host::TCustomListView(owner),
      TKivShellView(*this, KivListShowOptions),
      sorter_(*this),
      changes_(*this),
      largeImages_(std::make_unique<TKivSystemImageList>()),
      smallImages_(std::make_unique<TKivSystemImageList>()),
      backgroundImage_(std::make_unique<host::TBitmap>()),
      thumbnails_(*this) {
  backgroundImage_->OnChange = [this](host::TObject* sender) { BackgroundImageChange(sender); };
  Navigator()->Initialize();
  largeImages_->SetSize(si_large);
  SetSmallImages(smallImages_.get());
  SetLargeImages(largeImages_.get());
  host::TCustomListView::SetViewStyle(host::vsReport);
  SetMultiSelect(true);
  SetDragMode(host::dmAutomatic);
  SetAllocBy(kAllocationBlock);
  SetReadOnly(false);
  SetParentFont(false);

  // Reports that come while the list edits its own selection are dropped: the timer's refresh
  // finds what changed.
  TKivShellChangeNotifier& notifier =
      core_.WatchChanges(TKivShellViewCore::TReportPolicy::Drop,
                         [this](int event, PItemIDList first, PItemIDList second) {
                           ChangeNotification(Notifier(), event, first, second);
                         });
  notifier.SetEnabled(false);
  notifier.SetRecursive(false);
  notifier.SetEventFilter(kListEvents);
  // The items say which objects are folders; a big folder is not listed again for the watch.
  notifier.SetLearnFolders(false);
}

TKivShellList::~TKivShellList() {
  Destroying();
  // Thumbnail requests are stopped first; none of them reports back from here on.
  thumbnails_.Stop();
  StopFill();
  changes_.StopWalk();
  SetShellLink(nullptr);
  SetBackgroundPopupMenu(nullptr);
  core_.BusyForGood();
  changes_.Stop();
  Notifier()->SetEnabled(false);
  sorter_.UnhookHeader();
  if (HandleAllocated()) DestroyHandle();
  // Clearing here lets Delete free every item's data.
  Items()->Clear();
  SetSmallImages(nullptr);
  SetLargeImages(nullptr);
}

// ---- Settings

void TKivShellList::SetAutomaticRefresh(bool value) {
  Notifier()->SetEnabled(value);
  automaticRefresh_ = value;
}

void TKivShellList::SetDetails(bool value) {
  if (value == details_) return;
  details_ = value;
  Refresh();
}

void TKivShellList::SetFilter(const String& value) {
  if (!Designing() && Parent()) HandleNeeded();
  Navigator()->SetFilter(value);
  Refresh();
}

String TKivShellList::GetPath() const {
  if (Loading()) return loadingPath_;
  return Navigator()->Folder();
}

void TKivShellList::SetPath(const String& value) {
  if (Loading()) {
    loadingPath_ = value;
    loadingPathSet_ = true;
    return;
  }
  Navigator()->SetDirectory(value);
  InformPathChanged();
  Refresh();
}

TKivShellFolder TKivShellList::GetSpecialFolder() const {
  const TKivShellFolder folder = Navigator()->GetSpecialFolder();
  if (folder == SF_DRIVES && !GetPath().empty()) return SF_FILESYSTEMFOLDER;
  return folder;
}

void TKivShellList::SetSpecialFolder(TKivShellFolder folder) {
  if (folder != SF_FILESYSTEMFOLDER) {
    Navigator()->SetSpecialFolder(folder);
    loadingPath_.clear();
    loadingPathSet_ = false;
  }
  Refresh();
  if (ShellLink() && !Loading()) {
    UniquePidl list = Navigator()->GetFolderIdList();
    ShellLink()->PathChanged(this, list.get());
  }
}

void TKivShellList::SetShellLink(TKivShellLink* link) {
  if (core_.SetShellLink(link) && link && Designing()) core_.IncludeShowOption(soNoFillOnStartup);
}

void TKivShellList::Notification(host::TComponent* component, host::TOperation operation) {
  host::TCustomListView::Notification(component, operation);
  core_.Notification(component, operation);
  if (operation == host::opRemove && component == backgroundPopupMenu_)
    backgroundPopupMenu_ = nullptr;
}

void TKivShellList::SetShowFolders(bool value) {
  if (value == showFolders_) return;
  showFolders_ = value;
  Refresh();
}

void TKivShellList::SetShowParentFolder(bool value) {
  if (value == showParentFolder_) return;
  showParentFolder_ = value;
  Refresh();
}

void TKivShellList::SetShowOptions(TKivShellShowOptions options) {
  if (!core_.StoreShowOptions(options)) return;
  if (options.Contains(soNoFillOnStartup) && !createdOnce_ && !Designing()) return;
  Refresh();
}

void TKivShellList::SetViewStyle(host::TViewStyle style) {
  host::TCustomListView::SetViewStyle(style);
  // Thumbnail view is entered only through Thumbnails; a style chosen at run time leaves it.
  if (!Loading()) {
    UpdateColumnBitmap();
    SetThumbnails(false);
  } else if (style != host::vsIcon) {
    SetThumbnails(false);
  }
}

// ---- Window and loading

void TKivShellList::CreateWnd() {
  host::TCustomListView::CreateWnd();
  sorter_.HookHeader();
  dragDrop_.UpdateRegistration();
  if (!createdOnce_) {
    createdOnce_ = true;
    if (Designing()) Refresh();
  } else {
    // The window came back: the items live on.
    if (ShellLink()) ShellLink()->RegisterShellControl(this);
  }
  // A list filled before its window existed gets its header arrow now, and its background.
  UpdateColumnBitmap();
  if (backgroundImage_->Width() > 0) BackgroundImageChange(this);
}

void TKivShellList::DestroyWnd() {
  sorter_.UnhookHeader();
  host::TCustomListView::DestroyWnd();
}

void TKivShellList::Loaded() {
  host::TCustomListView::Loaded();
  dragDrop_.UpdateRegistration();
  if (Items()->Count() == 0 && (!ShowOption(soNoFillOnStartup) || Designing())) {
    if (loadingPathSet_ && !loadingPath_.empty()) {
      const String path = loadingPath_;
      loadingPath_.clear();
      loadingPathSet_ = false;
      // A path that cannot be opened fails at its line of the form.
      const host::TLoadingProperty applying("Path");
      SetPath(path);
    } else {
      Refresh();
    }
  }
  if (UseSystemFont()) ApplyExplorerFont(*Font());
}

// ---- Filling

void TKivShellList::Refresh() {
  if (Loading() || !Enabled()) return;
  StopFill();
  changes_.StopWalk();
  host::CursorGuard cursor;
  Notifier()->SetEnabled(false);
  // A background fill keeps the list refreshing, and the notifier off, until its last batch.
  auto watchAgain = host::ScopeExit([this] {
    if (!fill_) Notifier()->SetEnabled(automaticRefresh_);
  });
  refreshing_ = true;
  auto refreshed = host::ScopeExit([this] {
    if (!fill_) refreshing_ = false;
  });
  // An edit must not end on whatever item takes its index.
  if (editingItem_ && IsEditing()) editingItem_->CancelEdit();
  editingItem_ = nullptr;
  // Going up shows where the user came from: the folder just left is selected once it is in.
  UniquePidl cameFrom = ChildLeftFor(Navigator()->GetFolderIdList());
  const int released = Items()->Count();
  {
    host::UpdateGuard update(*Items());
    Items()->Clear();
    folderIdList_.reset();
    iconCache_.clear();
    // Thumbnail requests of the old filling are dropped when they end.
    thumbnails_.Clear();
    ++refreshStamp_;
    InitShellColumns();
    if (OnCreateColumns) OnCreateColumns(this);
    // Its arrow changes the header now, so that the header is drawn with the put-off paint.
    UpdateColumnBitmap();
    if (backgroundFill_) {
      if (showParentFolder_) AddParentFolderItem();
      StartFill();
      if (cameFrom) {
        Navigator()->SetItemIdList(cameFrom.get());
        pendingSelection_ = Navigator()->GetObjectName();
      }
    } else {
      while (Navigator()->Next()) AddShellItem(details_);
      if (showParentFolder_) AddParentFolderItem();
      Resort();
    }
    // The first paint of thumbnails starts a decoder for every picture shown, letting go of a
    // big list takes the control a good part of a tick, and so does turning drawing back on
    // with a scroll bar to lay out: the drawing comes on later ticks, after the filling.
    constexpr int kBigRelease = 1000;
    if (fill_ || (thumbnailsOn_ && ViewStyle() == host::vsIcon) || released >= kBigRelease)
      PaintLater();
  }
  if (fill_) return;
  Populated();
  if (TListItem* item = cameFrom ? ItemOfPIDL(cameFrom.get()) : nullptr) ShowSelected(item);
}

UniquePidl TKivShellList::ChildLeftFor(UniquePidl folder) {
  UniquePidl left = std::exchange(shownFolder_, std::move(folder));
  const int depth = GetItemIdListDepth(shownFolder_.get());
  if (!left || !shownFolder_ || GetItemIdListDepth(left.get()) != depth + 1) return nullptr;
  const UniquePidl start = GetItemIdListStart(left.get(), depth);
  const int size = GetPidlSize(start.get());
  if (size != GetPidlSize(shownFolder_.get()) ||
      std::memcmp(start.get(), shownFolder_.get(), size_t(size)) != 0)
    return nullptr;
  return GetItemIdListPart(left.get(), depth);
}

void TKivShellList::ShowSelected(TListItem* item) {
  item->SetSelected(true);
  item->SetFocused(true);
  item->MakeVisible(false);
}

void TKivShellList::Populated() {
  UpdateColumnBitmap();
  SayWhyEmpty();
  if (OnPopulated) OnPopulated(this);
  if (OnPathChanged) OnPathChanged(this);
  if (automaticRefresh_) Notifier()->SetPIDL(GetFolderIdList());
}

void TKivShellList::SayWhyEmpty() {
  const bool empty = Items()->Count() <= (showParentFolder_ ? 1 : 0);
  const String path = empty ? GetPathFromPidl(GetFolderIdList()) : String();
  if (path == toldTooLong_) return;
  toldTooLong_.clear();
  if (path.empty() || !TooLongForTheShell(path)) return;
  toldTooLong_ = path;
  if (ShowOption(soShowErrorMessages))
    host::ShowMessage(GetErrorMessageText(ERROR_FILENAME_EXCED_RANGE) + ": " + path);
}

void TKivShellList::AddShellItem(bool details) {
  if (!showFolders_ && Navigator()->IsFolder()) return;
  if (!IsShownObject(*Navigator(), ShowOptions())) return;
  AddChild(TKivShellListFill::Child(*Navigator()), details);
}

TListItem* TKivShellList::AddChild(TKivShellListFill::Record child, bool details) {
  auto data = std::make_unique<TKivShellListItem>();
  data->idList = std::move(child.idList);
  data->parsingName = std::move(child.parsingName);
  data->folder = child.folder;
  data->sequence = child.sequence;
  data->sortKey = std::move(child.key);
  return AddItem(std::move(data), details);
}

TListItem* TKivShellList::AddItem(std::unique_ptr<TKivShellListItem> data, bool details) {
  TListItem* item = Items()->Add();
  item->SetData(data.release());
  // The display name and the detail texts are read when first needed.
  item->SetTextPending(host::ltCaption | host::ltSubItems);
  item->SetImageIndex(-1);
  if (!OnAddItem) return item;
  bool canAdd = true;
  if (details && details_) item->SubItems();
  OnAddItem(item, canAdd);
  if (canAdd) return item;
  item->Delete();
  return nullptr;
}

void TKivShellList::AddParentFolderItem(const String& caption) {
  if (ShellLink() && !ShellLink()->ShowParentFolderItem()) return;
  if (GetSpecialFolder() == SF_DESKTOP) return;
  auto data = std::make_unique<TKivShellListItem>();
  data->parentFolder = true;
  TListItem* item = Items()->Add();
  item->SetData(data.release());
  item->SetCaption(caption.empty() ? String(" .. ") : caption);
  item->SetImageIndex(-1);
  item->SetStateIndex(1);
  item->SetOverlayIndex(-1);
}

void TKivShellList::Delete(TListItem* item) {
  std::unique_ptr<TKivShellListItem> data(ItemData(item));
  if (data && data->sequence < filled_.size() && filled_[data->sequence] == item)
    filled_[data->sequence] = nullptr;
  item->SetData(nullptr);
  if (item == editingItem_) editingItem_ = nullptr;
  dragDrop_.Forget(item);
  // Asking the control whether the item was selected costs a message per item, which a list of
  // 100,000 being cleared cannot afford: the names are read again when next asked for.
  InvalidateSelectedFiles();
  host::TCustomListView::Delete(item);
}

// ---- Background filling

TKivShellListFill::Settings TKivShellList::ShownChildren() const {
  TKivShellListFill::Settings settings;
  settings.folder = Navigator()->GetFolderIdList();
  settings.filter = Navigator()->GetFilter();
  settings.fileSystemOnly = Navigator()->FileSystemOnly();
  settings.showOptions = ShowOptions();
  settings.showFolders = showFolders_;
  return settings;
}

void TKivShellList::StartFill() {
  TKivShellListFill::Settings settings = ShownChildren();
  sorter_.Normalise();
  const int column = sorter_.Column();
  settings.column = column;
  settings.folderColumn = column < int(columnMap_.size()) ? columnMap_[size_t(column)] : 0;
  settings.descending = sorter_.Reverse();
  // Where the folder decides the order, the worker finds it; by name the batches are merged by
  // their keys as they come, so the first screen is already near its final order.
  if (sorter_.SortsByNameKeys()) {
    settings.order = TKivShellListFill::orNames;
    settings.nameOrder =
        ProbeNameOrder(Navigator()->ShellFolder(), host::ToWide(Navigator()->Folder()));
  } else if (sorter_.FolderOrderTrusted()) {
    settings.order = TKivShellListFill::orFolder;
  }
  fillMerges_ = settings.order == TKivShellListFill::orNames;
  filled_.clear();
  pendingSelection_.clear();
  fillCountShown_ = 0;
  ++fillGeneration_;
  fill_ = std::make_unique<TKivShellListFill>(std::move(settings), [this] { FillReady(); });
}

void TKivShellList::FillReady() {
  if (!fill_) return;
  // OnAddItem may refresh or navigate, which ends this fill: what it handed over is dropped.
  const uint64_t generation = fillGeneration_;
  // A slice at a time: what is left waits for a timer, after input and painting.
  constexpr ULONGLONG kSliceMs = 15;
  // Merging moves every item and redraws the screen: only while the list is small, so the
  // first screens come in name order; a bigger list grows at its end and is ordered when the
  // fill is complete.
  constexpr int kMergeLimit = 10000;
  const ULONGLONG start = GetTickCount64();
  std::vector<TKivShellListFill::Record> batch;
  bool last = false, took = false;
  {
    const bool merge = fillMerges_ && Items()->Count() < kMergeLimit;
    host::TListItems* items = Items();
    items->BeginBatch();
    // The control's count makes it redo its scroll bars: told a few times a second.
    const auto end = host::ScopeExit([this, items, &last] {
      constexpr ULONGLONG kCountMs = 200;
      const ULONGLONG now = GetTickCount64();
      const bool defer = !last && now - fillCountShown_ < kCountMs;
      if (!defer) fillCountShown_ = now;
      items->EndBatch(defer);
    });
    const int from = items->Count();
    while (GetTickCount64() - start < kSliceMs && fill_->TakeBatch(batch, last)) {
      took = true;
      for (auto& record : batch) {
        if (fillGeneration_ != generation) return;
        const uint32_t sequence = record.sequence;
        TListItem* item = AddChild(std::move(record), details_);
        if (fillGeneration_ != generation) return;
        if (item) {
          if (filled_.size() <= sequence) filled_.resize(sequence + 1);
          filled_[sequence] = item;
        }
      }
      if (last) break;
    }
    if (took && merge) MergeFilled(from);
  }
  // With nothing taken, `last` tells whether the end was reported with no batch after it. The
  // final order is made on a tick of its own: the last batch's count and the ordering of a big
  // list are each a good part of a slice.
  if (last && !took) {
    FinishFill();
  } else {
    fill_->ContinueLater();
    // A slice of items and a screen of them drawn would each take most of a tick.
    if (took) PaintLater();
  }
}

void TKivShellList::MergeFilled(int from) {
  const int count = Items()->Count();
  if (from >= count) return;
  const bool descending = fill_->GetSettings().descending;
  const auto before = [descending](TListItem* a, TListItem* b) {
    const TKivShellListItem* da = ItemData(a);
    const TKivShellListItem* db = ItemData(b);
    const int c = da->sortKey.compare(db->sortKey);
    if (c != 0) return descending ? c > 0 : c < 0;
    return da->sequence < db->sequence;
  };
  std::vector<TListItem*> order, fresh;
  order.reserve(size_t(count));
  int start = 0;
  // The parent-folder item stays first.
  while (start < from && ItemData(Items()->Item(start))->parentFolder)
    order.push_back(Items()->Item(start++));
  for (int i = from; i < count; ++i) fresh.push_back(Items()->Item(i));
  std::stable_sort(fresh.begin(), fresh.end(), before);
  std::vector<TListItem*> present;
  present.reserve(size_t(from - start));
  for (int i = start; i < from; ++i) present.push_back(Items()->Item(i));
  std::merge(present.begin(), present.end(), fresh.begin(), fresh.end(), std::back_inserter(order),
             before);
  ArrangeItems(order);
}

void TKivShellList::FinishFill() {
  const TKivShellListFill::Settings& settings = fill_->GetSettings();
  const bool folderOrder = settings.order != TKivShellListFill::orNone &&
                           settings.column == sorter_.Column() &&
                           settings.descending == sorter_.Reverse() && sorter_.FolderOrderTrusted();
  const std::vector<uint32_t> order = fill_->TakeOrder();
  // The worker has handed everything over and ends here.
  fill_.reset();
  {
    host::TListItems* items = Items();
    items->BeginBatch();
    const auto end = host::ScopeExit([items] { items->EndBatch(); });
    std::vector<TListItem*> arranged;
    if (folderOrder) {
      arranged.reserve(size_t(Items()->Count()));
      for (int i = 0; i < Items()->Count(); ++i) {
        TKivShellListItem* data = ItemData(Items()->Item(i));
        if (data && data->parentFolder) arranged.push_back(Items()->Item(i));
      }
      for (const uint32_t sequence : order)
        if (sequence < filled_.size() && filled_[sequence]) arranged.push_back(filled_[sequence]);
    }
    if (folderOrder && arranged.size() == size_t(Items()->Count())) {
      ArrangeItems(arranged);
    } else {
      Resort();
    }
    for (int i = 0; i < Items()->Count(); ++i)
      if (TKivShellListItem* data = ItemData(Items()->Item(i))) data->sortKey = std::string();
  }
  filled_ = {};
  refreshing_ = false;
  Populated();
  // After the header's sort mark: the ordering took most of a tick, and drawing the list and
  // its header takes as much.
  PaintLater();
  Notifier()->SetEnabled(automaticRefresh_);
  if (!pendingSelection_.empty()) SelectByParsingName(std::exchange(pendingSelection_, {}));
}

void TKivShellList::StopFill() {
  if (!fill_) return;
  ++fillGeneration_;
  fill_.reset();
  filled_ = {};
  pendingSelection_.clear();
}

void TKivShellList::InitShellColumns() {
  host::TListColumns* columns = Columns();
  host::UpdateGuard update(*columns);
  if (rememberWidths_) {
    for (int i = 0; i < columns->Count() && i < int(savedWidths_.size()); ++i)
      savedWidths_[size_t(i)] = columns->Items(i)->Width();
  }
  rememberWidths_ = !Navigator()->Folder().empty();
  columns->Clear();
  int column = 0;
  String caption = Navigator()->GetColumnText(0, true);
  for (;;) {
    int width = 0;
    const auto alignment = Navigator()->GetColumnInfo(column, width);
    if (width > 0) {
      const int index = columns->Count();
      host::TListColumn* c = columns->Add();
      c->SetCaption(caption);
      c->SetAlignment(alignment);
      const bool saved =
          rememberWidths_ && index < kSavedWidthLimit && savedWidths_[size_t(index)] > 0;
      c->SetWidth(saved ? savedWidths_[size_t(index)] : width);
      if (index < int(columnMap_.size())) columnMap_[size_t(index)] = column;
    }
    if (!details_) break;
    ++column;
    caption = Navigator()->GetColumnText(column, true);
    if (caption.empty() || column >= kMaxNavigatorColumns) break;
  }
  columnCount_ = columns->Count();
}

// ---- Completion

void TKivShellList::PointNavigatorAt(TListItem* item) {
  TKivShellListItem* data = ItemData(item);
  Navigator()->SetItemIdList(data ? data->idList.get() : nullptr);
}

void TKivShellList::FillDetailTexts(TListItem* item) {
  host::TStrings* texts = item->SubItems();
  if (texts->Count() != 0) return;
  host::UpdateGuard update(*texts);
  for (int i = 1; i < columnCount_ && i < int(columnMap_.size()); ++i)
    texts->Add(Navigator()->GetColumnText(columnMap_[size_t(i)], false));
}

void TKivShellList::GetItemText(TListItem* item, unsigned parts) {
  TKivShellListItem* data = ItemData(item);
  if (data && !data->parentFolder) {
    PointNavigatorAt(item);
    if (parts & host::ltCaption) {
      String name = Navigator()->GetShellObjectName();
      if (name.empty()) name = data->parsingName;
      item->SetCaption(name);
    }
    if ((parts & host::ltSubItems) && details_) FillDetailTexts(item);
  }
  host::TCustomListView::GetItemText(item, parts);
}

int TKivShellList::IconNumberOfCurrent() {
  const ULONG attributes = Navigator()->GetAttributes(SFGAO_FOLDER | SFGAO_LINK | SFGAO_FILESYSTEM);
  if ((attributes & SFGAO_FILESYSTEM) && !(attributes & (SFGAO_FOLDER | SFGAO_LINK))) {
    const String name = Navigator()->GetObjectName();
    const String extension = host::ExtractFileExt(name);
    if (!extension.empty() && !HasOwnIcon(extension)) {
      for (const auto& [ext, icon] : iconCache_)
        if (host::SameText(ext, extension)) return icon;
      // Every plain file of an extension shows the same icon: ask the shell once by name.
      const int icon = smallImages_->GetFileInfo(name, false, FILE_ATTRIBUTE_NORMAL);
      if (icon >= 0) iconCache_.emplace_back(extension, icon);
      if (icon >= 0) return icon;
    }
  }
  return Navigator()->GetIconNumber();
}

void TKivShellList::CompleteItemDetails(TListItem* item) {
  TKivShellListItem* data = ItemData(item);
  if (!data) return;
  if (data->parentFolder) {
    if (ViewStyle() == host::vsIcon && thumbnailsOn_) {
      RequestThumbnail(item);
    } else {
      item->SetImageIndex(smallImages_->GetFolderIconNumber());
    }
    return;
  }
  PointNavigatorAt(item);
  if (details_) FillDetailTexts(item);
  ReadCheckState(item);
  PointNavigatorAt(item);
  if (ViewStyle() == host::vsIcon && thumbnailsOn_) {
    RequestThumbnail(item);
  } else {
    item->SetImageIndex(IconNumberOfCurrent());
  }
  host::ErrorModeGuard mode(SEM_FAILCRITICALERRORS);
  item->SetOverlayIndex(Navigator()->GetOverlayIndex());
  const ULONG attributes =
      Navigator()->GetAttributes(SFGAO_HIDDEN | SFGAO_COMPRESSED | SFGAO_ENCRYPTED);
  data->hidden = (attributes & SFGAO_HIDDEN) != 0;
  if (data->hidden) item->SetCut(true);
  data->compressed = ShowOption(soColorCompressed) && (attributes & SFGAO_COMPRESSED) != 0;
  data->encrypted = ShowOption(soColorEncrypted) && (attributes & SFGAO_ENCRYPTED) != 0;
}

void TKivShellList::GetImageIndex(TListItem* item) {
  if (item->ImageIndex() < 0) CompleteItemDetails(item);
  host::TCustomListView::GetImageIndex(item);
}

// ---- Items and folder

void TKivShellList::SetFolderIdList(PCItemIDList idList) {
  Navigator()->SetFolderIdList(idList);
  if (ShellLink()) {
    UniquePidl copy = Navigator()->GetFolderIdList();
    ShellLink()->PathChanged(this, copy.get());
  }
  Refresh();
}

PCItemIDList TKivShellList::GetFolderIdList() {
  if (!folderIdList_) folderIdList_ = Navigator()->GetFolderIdList();
  return folderIdList_.get();
}

String TKivShellList::GetFullPath(int index) {
  if (index < 0 || index >= Items()->Count()) return {};
  return GetFullPath(Items()->Item(index));
}

String TKivShellList::GetFullPath(TListItem* item) {
  TKivShellListItem* data = ItemData(item);
  if (!data || !data->idList) return {};
  UniquePidl full = ConcatItemIdLists(GetFolderIdList(), data->idList.get());
  return GetPathFromPidl(full.get());
}

TKivShellFolder TKivShellList::IsSpecialObject(int index) {
  if (index < 0 || index >= Items()->Count()) return SF_FILESYSTEMFOLDER;
  return IsSpecialObject(Items()->Item(index));
}

TKivShellFolder TKivShellList::IsSpecialObject(TListItem* item) {
  if (!item) return SF_FILESYSTEMFOLDER;
  PointNavigatorAt(item);
  return Navigator()->IsSpecialObject();
}

int TKivShellList::IndexOfPIDL(PCItemIDList idList) {
  IShellFolder* folder = Navigator()->ShellFolder();
  if (!idList || !folder) return -1;
  for (int i = 0; i < Items()->Count(); ++i) {
    TKivShellListItem* data = ItemData(Items()->Item(i));
    if (!data || !data->idList) continue;
    if (SameItemIdList(idList, data->idList.get(), folder)) return i;
  }
  return -1;
}

TListItem* TKivShellList::ItemOfPIDL(PCItemIDList idList) {
  const int index = IndexOfPIDL(idList);
  return index < 0 ? nullptr : Items()->Item(index);
}

void TKivShellList::ChangeScale(int m, int d) {
  host::TCustomListView::ChangeScale(m, d);
  core_.ScaleImages(m, {largeImages_.get(), smallImages_.get()}, StateImages());
  sorter_.SetPixelsPerInch(m);
  if (thumbnails_.SetPixelsPerInch(m)) ++refreshStamp_;
}

// ---- Published properties

HOST_PROPERTIES(TKivShellList) {
  p.Enum(
       "ViewStyle", host::ViewStyleInfo, &TKivShellList::ViewStyle,
       [](TKivShellList* l, host::TViewStyle s) { l->SetViewStyle(s); }, host::vsReport)
      .NoDefault();
  p.Bool("MultiSelect", &TKivShellList::MultiSelect, &TKivShellList::SetMultiSelect, true);
  p.Enum("DragMode", host::DragModeInfo, &TKivShellList::DragMode, &TKivShellList::SetDragMode,
         host::dmAutomatic);
  p.Bool("AutomaticRefresh", &TKivShellList::AutomaticRefresh, &TKivShellList::SetAutomaticRefresh,
         true);
  p.Bool("Details", &TKivShellList::Details, &TKivShellList::SetDetails, true);
  p.Bool("FileSystemOnly", &TKivShellList::FileSystemOnly, &TKivShellList::SetFileSystemOnly,
         false);
  p.Str("Filter", &TKivShellList::Filter, &TKivShellList::SetFilter, "*");
  p.Component("ShellLink", &TKivShellList::ShellLink, &TKivShellList::SetShellLink);
  p.Bool("ShowFolders", &TKivShellList::ShowFolders, &TKivShellList::SetShowFolders, true);
  p.Bool("ShowParentFolder", &TKivShellList::ShowParentFolder, &TKivShellList::SetShowParentFolder,
         false);
  PublishShowOptions(p, KivListShowOptions);
  p.Enum("SpecialFolder", KivShellFolderInfo, &TKivShellList::GetSpecialFolder,
         &TKivShellList::SetSpecialFolder, SF_DRIVES);
  p.Str("Path", &TKivShellList::GetPath, &TKivShellList::SetPath);
  p.Bool("UseSystemFont", &TKivShellList::UseSystemFont, &TKivShellList::SetUseSystemFont, true);
  p.Bool("Checkboxes", &TKivShellList::Checkboxes, &TKivShellList::SetCheckboxes, false);
  p.Bool("OleDragDrop", &TKivShellList::OleDragDrop, &TKivShellList::SetOleDragDrop, true);
  p.Enum("CopyMode", KivCopyModeInfo, &TKivShellList::CopyMode, &TKivShellList::SetCopyMode,
         cmDefault);
  p.Bool("ShellContextMenu", &TKivShellList::ShellContextMenu, &TKivShellList::SetShellContextMenu,
         true);
  p.Component("BackgroundPopupMenu", &TKivShellList::BackgroundPopupMenu,
              &TKivShellList::SetBackgroundPopupMenu);
  p.Bool("Thumbnails", &TKivShellList::Thumbnails, &TKivShellList::SetThumbnails, false);
  p.Int("ThumbnailWidth", &TKivShellList::ThumbnailWidth, &TKivShellList::SetThumbnailWidth, 100);
  p.Int("ThumbnailHeight", &TKivShellList::ThumbnailHeight, &TKivShellList::SetThumbnailHeight,
        100);
  p.Bool("BackgroundFill", &TKivShellList::BackgroundFill, &TKivShellList::SetBackgroundFill,
         false);
  p.Str("Version", &TKivShellList::Version, nullptr).NeverStored();
  p.Event("OnAddItem", &TKivShellList::OnAddItem);
  p.Event("OnCreateColumns", &TKivShellList::OnCreateColumns);
  p.Event("OnPopulated", &TKivShellList::OnPopulated);
  p.Event("OnPathChanged", &TKivShellList::OnPathChanged);
  p.Event<host::TLVChangeEvent>("OnChange", &TKivShellList::OnChange);
  p.Event<host::TLVSelectItemEvent>("OnSelectItem", &TKivShellList::OnSelectItem);
  p.Event<host::TLVNotifyEvent>("OnInsert", &TKivShellList::OnInsert);
  p.Event<host::TLVNotifyEvent>("OnDeletion", &TKivShellList::OnDeletion);
  p.Event<host::TLVEditingEvent>("OnEditing", &TKivShellList::OnEditing);
  p.Event<host::TLVEditedEvent>("OnEdited", &TKivShellList::OnEdited);
  PublishCommandEvents(p);
  p.Event("OnBeforeShellDrop", &TKivShellList::OnBeforeShellDrop);
  p.Event<TOnCheckStateChanged>("OnCheckStateChanged", &TKivShellList::OnCheckStateChanged);
  p.Event<host::TLVNotifyEvent>("OnGetImageIndex", &TKivShellList::OnGetImageIndex);
  PublishMouseEvents(p);
}

}  // namespace zelnor
