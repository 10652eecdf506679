// The host list view: columns, items with lazy texts and images, and the owner-data control.
#include "host/views/ListView.h"

#include <algorithm>
#include <utility>

#include "host/core/KeySort.h"
#include "host/core/Lists.h"
#include "host/core/Streaming.h"

namespace host {

namespace {

// What one paint may spend completing items before it leaves the rest for the next tick.
constexpr int64_t kPaintBudgetMs = 10;
// What the tick after a scroll may spend completing the items it uncovered, before their paint.
constexpr int64_t kScrolledBudgetMs = 15;
constexpr UINT_PTR kRedrawDeferredTimer = 0x5A4C;

int64_t Counter() {
  LARGE_INTEGER now{};
  QueryPerformanceCounter(&now);
  return now.QuadPart;
}

int64_t CounterPerMs() {
  static const int64_t perMs = [] {
    LARGE_INTEGER frequency{};
    QueryPerformanceFrequency(&frequency);
    return std::max<int64_t>(frequency.QuadPart / 1000, 1);
  }();
  return perMs;
}

// Item states the control asks of us rather than keeping them itself.
constexpr UINT kCallbackStates =
    LVIS_CUT | LVIS_DROPHILITED | LVIS_OVERLAYMASK | LVIS_STATEIMAGEMASK;
constexpr DWORD kManagedStyles = LVS_TYPEMASK | LVS_SINGLESEL | LVS_EDITLABELS |
                                 LVS_NOCOLUMNHEADER | LVS_SHOWSELALWAYS | LVS_ALIGNMASK |
                                 LVS_AUTOARRANGE | LVS_NOLABELWRAP;
constexpr DWORD kManagedExStyles =
    LVS_EX_FULLROWSELECT | LVS_EX_TRACKSELECT | LVS_EX_GRIDLINES | LVS_EX_INFOTIP;

int ColumnFormat(TAlignment alignment) {
  switch (alignment) {
    case taRightJustify:
      return LVCFMT_RIGHT;
    case taCenter:
      return LVCFMT_CENTER;
    default:
      return LVCFMT_LEFT;
  }
}

// Copies `text` into a control's buffer of `size` characters, cutting it when needed.
void CopyToBuffer(const String& text, wchar_t* buffer, int size) {
  if (!buffer || size <= 0) return;
  const WideString wide = ToWide(text);
  size_t n = std::min(wide.size(), size_t(size - 1));
  // A cut never splits a surrogate pair.
  if (n > 0 && n < wide.size() && IS_HIGH_SURROGATE(wide[n - 1])) --n;
  wide.copy(buffer, n);
  buffer[n] = L'\0';
}

TItemChange ItemChangeOf(int change) {
  if (change & LVIF_TEXT) return ctText;
  if (change & LVIF_IMAGE) return ctImage;
  return ctState;
}

}  // namespace

// ---- Columns

const TClassInfo& TListColumn::StaticClassInfo() {
  static const TClassInfo info("TListColumn", &TPersistent::StaticClassInfo(), [](TClassInfo& i) {
    TPropertyTable<TListColumn> p(i);
    p.Enum("Alignment", AlignmentInfo, &TListColumn::Alignment, &TListColumn::SetAlignment,
           taLeftJustify);
    p.Str("Caption", &TListColumn::Caption, &TListColumn::SetCaption);
    p.Int("Width", &TListColumn::Width, &TListColumn::SetWidth, 50);
  });
  return info;
}

int TListColumn::Index() const { return owner_->IndexOf(this); }

void TListColumn::SetCaption(const String& caption) {
  if (caption_ == caption) return;
  caption_ = caption;
  owner_->Changed(Index());
}

int TListColumn::Width() const {
  TCustomListView* view = owner_->Owner();
  if (view && view->HandleAllocated() && owner_->updateCount_ == 0 && !owner_->rebuild_) {
    const int width = int(view->Send(LVM_GETCOLUMNWIDTH, WPARAM(Index())));
    if (width > 0) return width;
  }
  return width_;
}

void TListColumn::SetWidth(int width) {
  width_ = width;
  owner_->Changed(Index());
}

void TListColumn::SetAlignment(TAlignment alignment) {
  if (alignment_ == alignment) return;
  alignment_ = alignment;
  owner_->Changed(Index());
}

TListColumns::~TListColumns() = default;

TListColumn* TListColumns::Add() {
  columns_.push_back(std::make_unique<TListColumn>(this));
  TListColumn* column = columns_.back().get();
  if (updateCount_ > 0 || !owner_ || !owner_->HandleAllocated()) {
    rebuild_ = rebuild_ || updateCount_ > 0;
    return column;
  }
  LVCOLUMNW col{};
  col.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
  col.fmt = ColumnFormat(column->alignment_);
  col.cx = column->width_;
  col.pszText = const_cast<wchar_t*>(L"");
  col.iSubItem = Count() - 1;
  owner_->Send(LVM_INSERTCOLUMNW, WPARAM(Count() - 1), LPARAM(&col));
  return column;
}

void TListColumns::Delete(int index) {
  if (index < 0 || index >= Count()) return;
  columns_.erase(columns_.begin() + index);
  if (updateCount_ > 0) {
    rebuild_ = true;
  } else if (owner_ && owner_->HandleAllocated()) {
    owner_->Send(LVM_DELETECOLUMN, WPARAM(index));
  }
}

void TListColumns::Clear() {
  if (updateCount_ == 0 && owner_ && owner_->HandleAllocated()) {
    for (int i = Count() - 1; i >= 0; --i) owner_->Send(LVM_DELETECOLUMN, WPARAM(i));
  } else {
    rebuild_ = true;
  }
  columns_.clear();
}

int TListColumns::IndexOf(const TListColumn* column) const {
  for (size_t i = 0; i < columns_.size(); ++i)
    if (columns_[i].get() == column) return int(i);
  return -1;
}

void TListColumns::EndUpdate() {
  if (updateCount_ == 0 || --updateCount_ > 0) return;
  if (rebuild_) Rebuild();
}

void TListColumns::Changed(int index) {
  if (index < 0) return;
  if (updateCount_ > 0) {
    rebuild_ = true;
    return;
  }
  if (!owner_ || !owner_->HandleAllocated()) return;
  const TListColumn* column = Items(index);
  const WideString caption = ToWide(column->caption_);
  LVCOLUMNW col{};
  col.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
  col.fmt = ColumnFormat(column->alignment_);
  col.cx = column->width_;
  col.pszText = const_cast<wchar_t*>(caption.c_str());
  owner_->Send(LVM_SETCOLUMNW, WPARAM(index), LPARAM(&col));
}

void TListColumns::Rebuild() {
  rebuild_ = false;
  if (!owner_ || !owner_->HandleAllocated()) return;
  // The control's columns that are already as they should be stay: every column the header
  // makes or changes costs it milliseconds, and a list often gets the columns it had. Columns
  // the user put in another order are all made anew, in their own order.
  const HWND header = owner_->HeaderHandle();
  const int present = header ? int(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
  std::vector<int> order(size_t(std::max(present, 0)));
  const bool inOrder =
      present > 0 &&
      owner_->Send(LVM_GETCOLUMNORDERARRAY, WPARAM(present), LPARAM(order.data())) &&
      std::is_sorted(order.begin(), order.end()) && order.front() == 0;
  const int keep = inOrder ? std::min(present, Count()) : 0;
  for (int i = present - 1; i >= keep; --i) owner_->Send(LVM_DELETECOLUMN, WPARAM(i));
  for (int i = 0; i < Count(); ++i) {
    const TListColumn* column = Items(i);
    const WideString caption = ToWide(column->caption_);
    LVCOLUMNW col{};
    col.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    col.fmt = ColumnFormat(column->alignment_);
    col.cx = column->width_;
    col.pszText = const_cast<wchar_t*>(caption.c_str());
    col.iSubItem = i;
    if (i >= keep) {
      owner_->Send(LVM_INSERTCOLUMNW, WPARAM(i), LPARAM(&col));
      continue;
    }
    wchar_t text[260] = {};
    LVCOLUMNW now{};
    now.mask = col.mask;
    now.pszText = text;
    now.cchTextMax = int(std::size(text));
    if (owner_->Send(LVM_GETCOLUMNW, WPARAM(i), LPARAM(&now)) &&
        (now.fmt & LVCFMT_JUSTIFYMASK) == col.fmt && now.cx == col.cx && now.iSubItem == i &&
        caption == text)
      continue;
    owner_->Send(LVM_SETCOLUMNW, WPARAM(i), LPARAM(&col));
  }
}

// ---- Items

// Sub-item texts; a change made by the program redraws the item.
class TListItem::TSubItems : public TStringList {
 public:
  explicit TSubItems(TListItem* item) : item_(item) {}

 protected:
  void Changed() override {
    TStringList::Changed();
    item_->Changed(LVIF_TEXT);
  }

 private:
  TListItem* item_;
};

TListItem::TListItem(TListItems* owner) : owner_(owner) {}

TListItem::~TListItem() = default;

TCustomListView* TListItem::ListView() const { return owner_ ? owner_->owner_ : nullptr; }

const String& TListItem::Caption() const {
  if (pending_ & ltCaption) {
    if (TCustomListView* view = ListView()) view->FetchText(this, ltCaption);
    pending_ &= uint8_t(~ltCaption);
  }
  return caption_;
}

void TListItem::SetCaption(const String& caption) {
  pending_ &= uint8_t(~ltCaption);
  if (caption_ == caption) return;
  caption_ = caption;
  Changed(LVIF_TEXT);
}

TStrings* TListItem::SubItems() {
  if (pending_ & ltSubItems) {
    if (TCustomListView* view = ListView()) view->FetchText(this, ltSubItems);
    pending_ &= uint8_t(~ltSubItems);
  }
  if (!subItems_) subItems_ = std::make_unique<TSubItems>(this);
  return subItems_.get();
}

String TListItem::SubItemText(int column) const {
  if (pending_ & ltSubItems) {
    if (TCustomListView* view = ListView()) view->FetchText(this, ltSubItems);
    pending_ &= uint8_t(~ltSubItems);
  }
  if (!subItems_ || column < 1 || column > subItems_->Count()) return {};
  return subItems_->Strings(column - 1);
}

void TListItem::SetImageIndex(int index) {
  if (imageIndex_ == index) return;
  imageIndex_ = index;
  Changed(LVIF_IMAGE);
}

void TListItem::SetStateIndex(int index) {
  if (stateIndex_ == index) return;
  stateIndex_ = int16_t(index);
  Changed(LVIF_STATE);
}

void TListItem::SetOverlayIndex(int index) {
  if (overlayIndex_ == index) return;
  overlayIndex_ = int16_t(index);
  Changed(LVIF_STATE);
}

void TListItem::SetCut(bool cut) {
  if (Cut() == cut) return;
  marks_ = uint8_t(cut ? marks_ | kCut : marks_ & ~kCut);
  Changed(LVIF_STATE);
}

void TListItem::SetDropTarget(bool dropTarget) {
  if (DropTarget() == dropTarget) return;
  marks_ = uint8_t(dropTarget ? marks_ | kDropTarget : marks_ & ~kDropTarget);
  Changed(LVIF_STATE);
}

bool TListItem::Selected() const {
  TCustomListView* view = ListView();
  return view && index_ >= 0 &&
         (view->Send(LVM_GETITEMSTATE, WPARAM(index_), LVIS_SELECTED) & LVIS_SELECTED) != 0;
}

void TListItem::SetSelected(bool selected) {
  TCustomListView* view = ListView();
  if (!view || index_ < 0 || !view->HandleAllocated()) return;
  view->SetItemState(this, LVIS_SELECTED, selected ? LVIS_SELECTED : 0);
}

bool TListItem::Focused() const {
  TCustomListView* view = ListView();
  return view && index_ >= 0 &&
         (view->Send(LVM_GETITEMSTATE, WPARAM(index_), LVIS_FOCUSED) & LVIS_FOCUSED) != 0;
}

void TListItem::SetFocused(bool focused) {
  TCustomListView* view = ListView();
  if (!view || index_ < 0 || !view->HandleAllocated()) return;
  view->SetItemState(this, LVIS_FOCUSED, focused ? LVIS_FOCUSED : 0);
}

RECT TListItem::DisplayRect(TDisplayCode code) const {
  RECT rect{};
  TCustomListView* view = ListView();
  if (!view || index_ < 0) return rect;
  static constexpr int kCodes[] = {LVIR_BOUNDS, LVIR_ICON, LVIR_LABEL, LVIR_SELECTBOUNDS};
  rect.left = kCodes[code];
  if (!view->Send(LVM_GETITEMRECT, WPARAM(index_), LPARAM(&rect))) rect = RECT{};
  return rect;
}

void TListItem::MakeVisible(bool partialOK) {
  if (TCustomListView* view = ListView(); view && index_ >= 0)
    view->Send(LVM_ENSUREVISIBLE, WPARAM(index_), partialOK ? TRUE : FALSE);
}

bool TListItem::EditCaption() {
  TCustomListView* view = ListView();
  if (!view || index_ < 0 || !view->HandleAllocated()) return false;
  SetFocus(view->Handle());
  return view->Send(LVM_EDITLABELW, WPARAM(index_)) != 0;
}

void TListItem::CancelEdit() {
  if (TCustomListView* view = ListView()) view->Send(LVM_CANCELEDITLABEL);
}

void TListItem::Update() {
  if (TCustomListView* view = ListView(); view && index_ >= 0 && owner_->updateCount_ == 0)
    view->Send(LVM_REDRAWITEMS, WPARAM(index_), LPARAM(index_));
}

void TListItem::Delete() {
  if (owner_ && index_ >= 0) owner_->Delete(index_);
}

void TListItem::Changed(int change) {
  TCustomListView* view = ListView();
  if (!view || index_ < 0 || view->fetching_ > 0 || owner_->updateCount_ > 0) return;
  // Completing an item for the control is no change to report: the answer carries it.
  if (view->requesting_ == this) {
    if (change & LVIF_STATE) view->marksChanged_ = true;
    return;
  }
  Update();
  view->Change(this, change);
}

TListItems::~TListItems() = default;

void TListItems::Reserve(size_t count) {
  if (items_.capacity() >= count) return;
  // The allocation step is the least growth; the store at least doubles, so filling n items
  // moves each item a bounded number of times.
  const size_t step = owner_ && owner_->allocBy_ > 0 ? size_t(owner_->allocBy_) : 1;
  const size_t rounded = (count + step - 1) / step * step;
  items_.reserve(std::max(rounded, items_.capacity() * 2));
}

TListItem* TListItems::Add() {
  Reserve(items_.size() + 1);
  items_.push_back(std::make_unique<TListItem>(this));
  TListItem* item = items_.back().get();
  item->index_ = int(items_.size() - 1);
  if (owner_) {
    owner_->ItemsChanged(true);
    owner_->InsertItem(item);
  }
  return item;
}

TListItem* TListItems::Insert(int index) {
  if (index < 0 || index >= Count()) return Add();
  if (owner_) owner_->TakeSnapshot();
  Reserve(items_.size() + 1);
  items_.insert(items_.begin() + index, std::make_unique<TListItem>(this));
  Renumber(size_t(index));
  TListItem* item = items_[size_t(index)].get();
  if (owner_) {
    owner_->ItemsChanged(false);
    owner_->InsertItem(item);
  }
  return item;
}

void TListItems::Delete(int index) {
  if (index < 0 || index >= Count()) return;
  TListItem* item = items_[size_t(index)].get();
  if (owner_) {
    owner_->Delete(item);
    // The deletion handler may have changed the list.
    index = item->index_;
    if (index < 0 || index >= Count() || items_[size_t(index)].get() != item) return;
    owner_->TakeSnapshot();
    auto& snap = owner_->snapshot_;
    snap.selected.erase(std::remove(snap.selected.begin(), snap.selected.end(), item),
                        snap.selected.end());
    if (snap.focused == item) snap.focused = nullptr;
  }
  std::unique_ptr<TListItem> gone = std::move(items_[size_t(index)]);
  items_.erase(items_.begin() + index);
  gone->index_ = -1;
  Renumber(size_t(index));
  if (owner_) owner_->ItemsChanged(false);
}

void TListItems::Clear() {
  if (items_.empty()) return;
  UpdateGuard update(*this);
  // Every item is told first, then all go at once.
  for (size_t i = 0; i < items_.size(); ++i)
    if (owner_) owner_->Delete(items_[i].get());
  std::vector<std::unique_ptr<TListItem>> gone;
  gone.swap(items_);
  if (owner_) {
    owner_->snapshot_ = {};
    owner_->SyncCount(true);
  }
  for (auto& item : gone) item->index_ = -1;
  gone.clear();
}

void TListItems::Renumber(size_t from) {
  for (size_t i = from; i < items_.size(); ++i) items_[i]->index_ = int(i);
}

void TListItems::BeginUpdate() {
  if (updateCount_++ == 0 && owner_ && owner_->HandleAllocated()) owner_->Send(WM_SETREDRAW, FALSE);
}

void TListItems::EndUpdate() {
  if (updateCount_ == 0 || --updateCount_ > 0 || !owner_) return;
  owner_->layoutDirty_ = false;
  if (owner_->countDirty_) owner_->SyncCount(true);
  owner_->RestoreSnapshot();
  if (owner_->HandleAllocated()) owner_->DrawAgain(std::exchange(owner_->drawLater_, false));
}

void TListItems::EndBatch(bool deferCount) {
  if (updateCount_ == 0 || --updateCount_ > 0 || !owner_) return;
  const bool all = std::exchange(owner_->layoutDirty_, false);
  // Items only appended may wait for the count: the control never asks for what it does not
  // know of.
  if (all || (owner_->countDirty_ && !deferCount)) owner_->SyncCount(all);
  owner_->RestoreSnapshot();
}

// ---- Icon options

void TIconOptions::SetArrangement(TIconArrangement arrangement) {
  arrangement_ = arrangement;
  owner_->UpdateStyle();
}

void TIconOptions::SetAutoArrange(bool autoArrange) {
  autoArrange_ = autoArrange;
  owner_->UpdateStyle();
}

void TIconOptions::SetWrapText(bool wrapText) {
  wrapText_ = wrapText;
  owner_->UpdateStyle();
}

// ---- The control

HOST_PROPERTIES(TCustomListView) {
  p.Collection("Columns", &TCustomListView::Columns).StoredIf(&TCustomListView::ColumnsStored);
  p.Enum(
      "ViewStyle", ViewStyleInfo, &TCustomListView::ViewStyle,
      [](TCustomListView* v, TViewStyle s) { v->SetViewStyle(s); }, vsIcon);
  p.Bool("MultiSelect", &TCustomListView::MultiSelect, &TCustomListView::SetMultiSelect, false);
  p.Bool("ReadOnly", &TCustomListView::ReadOnly, &TCustomListView::SetReadOnly, false);
  p.Bool("RowSelect", &TCustomListView::RowSelect, &TCustomListView::SetRowSelect, false);
  p.Bool("ShowColumnHeaders", &TCustomListView::ShowColumnHeaders,
         &TCustomListView::SetShowColumnHeaders, true);
  p.Bool("HotTrack", &TCustomListView::HotTrack, &TCustomListView::SetHotTrack, false);
  p.Bool("HideSelection", &TCustomListView::HideSelection, &TCustomListView::SetHideSelection,
         true);
  p.Bool("GridLines", &TCustomListView::GridLines, &TCustomListView::SetGridLines, false);
  p.Int("AllocBy", &TCustomListView::AllocBy, &TCustomListView::SetAllocBy, 0);
  p.Component("SmallImages", &TCustomListView::SmallImages, &TCustomListView::SetSmallImages);
  p.Component("LargeImages", &TCustomListView::LargeImages, &TCustomListView::SetLargeImages);
  p.Component("StateImages", &TCustomListView::StateImages, &TCustomListView::SetStateImages);
}

TCustomListView::TCustomListView(TComponent* owner)
    : TCustomNativeView(owner, 250, 150),
      items_(std::make_unique<TListItems>(this)),
      columns_(std::make_unique<TListColumns>(this)),
      iconOptions_(std::make_unique<TIconOptions>(this)) {
  AddImageSlot(smallImages_);
  AddImageSlot(largeImages_);
  AddImageSlot(stateImages_);
}

TCustomListView::~TCustomListView() {
  Destroying();
  // The window goes while the items it asks about still exist.
  if (HandleAllocated()) DestroyHandle();
  // Owners of item data free it in Delete; a descendant clears the items in its own destructor
  // to be told. Here the items only go.
  items_->owner_ = nullptr;
  SetSmallImages(nullptr);
  SetLargeImages(nullptr);
  SetStateImages(nullptr);
}

DWORD TCustomListView::ManagedStyles() const { return kManagedStyles; }

DWORD TCustomListView::StyleBits() const {
  static constexpr DWORD kViews[] = {LVS_ICON, LVS_SMALLICON, LVS_LIST, LVS_REPORT};
  DWORD style = kViews[viewStyle_];
  if (!multiSelect_) style |= LVS_SINGLESEL;
  if (!readOnly_) style |= LVS_EDITLABELS;
  if (!showColumnHeaders_) style |= LVS_NOCOLUMNHEADER;
  if (!hideSelection_) style |= LVS_SHOWSELALWAYS;
  style |= iconOptions_->Arrangement() == iaLeft ? LVS_ALIGNLEFT : LVS_ALIGNTOP;
  if (iconOptions_->AutoArrange()) style |= LVS_AUTOARRANGE;
  if (!iconOptions_->WrapText()) style |= LVS_NOLABELWRAP;
  return style;
}

void TCustomListView::CreateParams(TCreateParams& params) {
  TCustomNativeView::CreateParams(params);
  params.Style |= LVS_OWNERDATA | LVS_SHAREIMAGELISTS;
}

void TCustomListView::CreateWnd() {
  TCustomNativeView::CreateWnd();
  Send(LVM_SETCALLBACKMASK, kCallbackStates);
  UpdateExStyle();
  columns_->Rebuild();
  SyncCount(true);
  RestoreSnapshot();
  if (items_->updateCount_ > 0) Send(WM_SETREDRAW, FALSE);
}

void TCustomListView::DestroyWnd() {
  // Selection and focus live in the window; they are put back on the new one.
  TakeSnapshot();
  deferredFirst_ = deferredLast_ = -1;  // the new window draws every row
  paintLater_ = TPaintLater::none;
  drawLater_ = false;
  laidOut_ = false;
  scrolledToDraw_.reset();
  scrolledCompleted_ = false;
  TCustomNativeView::DestroyWnd();
}

void TCustomListView::UpdateExStyle() {
  DWORD ex = LVS_EX_INFOTIP;
  if (rowSelect_) ex |= LVS_EX_FULLROWSELECT;
  if (hotTrack_) ex |= LVS_EX_TRACKSELECT;
  if (gridLines_) ex |= LVS_EX_GRIDLINES;
  Send(LVM_SETEXTENDEDLISTVIEWSTYLE, kManagedExStyles, ex);
}

void TCustomListView::SetViewStyle(TViewStyle style) {
  if (viewStyle_ == style) return;
  viewStyle_ = style;
  UpdateStyle();
}

void TCustomListView::SetMultiSelect(bool multiSelect) {
  multiSelect_ = multiSelect;
  UpdateStyle();
}

void TCustomListView::SetReadOnly(bool readOnly) {
  readOnly_ = readOnly;
  UpdateStyle();
}

void TCustomListView::SetShowColumnHeaders(bool show) {
  showColumnHeaders_ = show;
  UpdateStyle();
}

void TCustomListView::SetHideSelection(bool hide) {
  hideSelection_ = hide;
  UpdateStyle();
}

void TCustomListView::SetRowSelect(bool rowSelect) {
  rowSelect_ = rowSelect;
  UpdateExStyle();
}

void TCustomListView::SetHotTrack(bool hotTrack) {
  hotTrack_ = hotTrack;
  UpdateExStyle();
}

void TCustomListView::SetGridLines(bool gridLines) {
  gridLines_ = gridLines;
  UpdateExStyle();
}

void TCustomListView::SetAllocBy(int allocBy) {
  allocBy_ = std::max(allocBy, 0);
  items_->Reserve(items_->items_.size() + size_t(allocBy_));
}

// ---- Image lists

void TCustomListView::SetSmallImages(TCustomImageList* images) { smallImages_.Set(images); }
void TCustomListView::SetLargeImages(TCustomImageList* images) { largeImages_.Set(images); }
void TCustomListView::SetStateImages(TCustomImageList* images) { stateImages_.Set(images); }

// ---- Item count and selection bookkeeping

TListItem* TCustomListView::ItemAt(int index) const {
  if (index < 0 || index >= items_->Count()) return nullptr;
  return items_->items_[size_t(index)].get();
}

void TCustomListView::SyncCount(bool invalidate) {
  countDirty_ = false;
  if (!HandleAllocated()) return;
  // Setting the count makes the control update its scroll bars and header, which costs
  // milliseconds even when the count stays: a list whose count did not change is only redrawn.
  if (Send(LVM_GETITEMCOUNT) != items_->Count()) {
    ++quietState_;
    Send(LVM_SETITEMCOUNT, WPARAM(items_->Count()),
         LVSICF_NOSCROLL | (invalidate ? 0 : LVSICF_NOINVALIDATEALL));
    // A virtual list lays out its icons by index; Wine's leaves the new ones on top of each
    // other at the origin until it is told to arrange.
    if (viewStyle_ == vsIcon || viewStyle_ == vsSmallIcon) Send(LVM_ARRANGE, LVA_DEFAULT);
    --quietState_;
  }
  if (invalidate && items_->updateCount_ == 0) InvalidateRect(HandleIfAllocated(), nullptr, TRUE);
}

void TCustomListView::ItemsChanged(bool appendOnly) {
  if (items_->updateCount_ > 0) {
    countDirty_ = true;
    layoutDirty_ = layoutDirty_ || !appendOnly;
    return;
  }
  SyncCount(!appendOnly);
  RestoreSnapshot();
}

void TCustomListView::TakeSnapshot() {
  if (snapshot_.taken) return;
  snapshot_.taken = true;
  if (!HandleAllocated()) return;
  // Walking the selection asks the control about every item: only when there is one.
  if (Send(LVM_GETSELECTEDCOUNT) > 0) {
    int i = -1;
    while ((i = int(Send(LVM_GETNEXTITEM, WPARAM(i), LVNI_SELECTED))) >= 0) {
      if (TListItem* item = ItemAt(i)) snapshot_.selected.push_back(item);
      if (i >= items_->Count()) break;
    }
  }
  snapshot_.focused = ItemAt(int(Send(LVM_GETNEXTITEM, WPARAM(-1), LVNI_FOCUSED)));
}

void TCustomListView::RestoreSnapshot() {
  if (!snapshot_.taken) return;
  Snapshot snap = std::move(snapshot_);
  snapshot_ = {};
  if (!HandleAllocated()) {
    snapshot_ = std::move(snap);  // kept for the window still to come
    return;
  }
  ++quietState_;
  LVITEMW it{};
  // The control clears a state of all items one item at a time: only when some item has it.
  if (Send(LVM_GETSELECTEDCOUNT) > 0) {
    it.stateMask = LVIS_SELECTED;
    it.state = 0;
    Send(LVM_SETITEMSTATE, WPARAM(-1), LPARAM(&it));
  }
  if (const int focused = int(Send(LVM_GETNEXTITEM, WPARAM(-1), LVNI_FOCUSED)); focused >= 0) {
    it.stateMask = LVIS_FOCUSED;
    it.state = 0;
    Send(LVM_SETITEMSTATE, WPARAM(focused), LPARAM(&it));
  }
  it.stateMask = LVIS_SELECTED;
  it.state = LVIS_SELECTED;
  for (TListItem* item : snap.selected)
    if (item->index_ >= 0) Send(LVM_SETITEMSTATE, WPARAM(item->index_), LPARAM(&it));
  if (snap.focused && snap.focused->index_ >= 0) {
    it.stateMask = it.state = LVIS_FOCUSED;
    Send(LVM_SETITEMSTATE, WPARAM(snap.focused->index_), LPARAM(&it));
  }
  --quietState_;
}

// ---- Selection and queries

void TCustomListView::SetItemState(TListItem* item, UINT mask, UINT state) {
  if ((Send(LVM_GETITEMSTATE, WPARAM(item->index_), mask) & mask) == state) return;
  // The program's change is asked here once: an owner-data control may not ask itself.
  if (quietState_ == 0 && !CanChange(item, LVIF_STATE)) return;
  ++askedChanging_;
  LVITEMW it{};
  it.stateMask = mask;
  it.state = state;
  Send(LVM_SETITEMSTATE, WPARAM(item->index_), LPARAM(&it));
  --askedChanging_;
}

int TCustomListView::SelCount() const { return int(Send(LVM_GETSELECTEDCOUNT)); }

TListItem* TCustomListView::Selected() const {
  if (!HandleAllocated()) return nullptr;
  return ItemAt(int(Send(LVM_GETNEXTITEM, WPARAM(-1), LVNI_SELECTED)));
}

void TCustomListView::SetSelected(TListItem* item) {
  ClearSelection();
  if (item && item->ListView() == this) item->SetSelected(true);
}

TListItem* TCustomListView::ItemFocused() const {
  if (!HandleAllocated()) return nullptr;
  return ItemAt(int(Send(LVM_GETNEXTITEM, WPARAM(-1), LVNI_FOCUSED)));
}

void TCustomListView::SetItemFocused(TListItem* item) {
  if (item && item->ListView() == this) {
    item->SetFocused(true);
  } else if (TListItem* focused = ItemFocused()) {
    focused->SetFocused(false);
  }
}

void TCustomListView::SelectAll() {
  if (!multiSelect_) return;
  LVITEMW it{};
  it.stateMask = it.state = LVIS_SELECTED;
  Send(LVM_SETITEMSTATE, WPARAM(-1), LPARAM(&it));
}

void TCustomListView::ClearSelection() {
  LVITEMW it{};
  it.stateMask = LVIS_SELECTED;
  Send(LVM_SETITEMSTATE, WPARAM(-1), LPARAM(&it));
}

TListItem* TCustomListView::GetNextItem(TListItem* start, TSearchDirection direction,
                                        TItemStates states) const {
  if (!HandleAllocated()) return nullptr;
  const int from = start && start->ListView() == this ? start->index_ : -1;
  // Cut and drop-target marks are kept here, not in the control: those searches walk the items.
  if (states & (ItemStateBit(isCut) | ItemStateBit(isDropHilited))) {
    for (int i = from + 1; i < items_->Count(); ++i) {
      TListItem* item = ItemAt(i);
      if ((states & ItemStateBit(isCut)) && !item->Cut()) continue;
      if ((states & ItemStateBit(isDropHilited)) && !item->DropTarget()) continue;
      if ((states & ItemStateBit(isSelected)) && !item->Selected()) continue;
      if ((states & ItemStateBit(isFocused)) && !item->Focused()) continue;
      return item;
    }
    return nullptr;
  }
  static constexpr UINT kDirections[] = {LVNI_TOLEFT, LVNI_TORIGHT, LVNI_ABOVE, LVNI_BELOW,
                                         LVNI_ALL};
  UINT flags = kDirections[direction];
  if (states & ItemStateBit(isSelected)) flags |= LVNI_SELECTED;
  if (states & ItemStateBit(isFocused)) flags |= LVNI_FOCUSED;
  return ItemAt(int(Send(LVM_GETNEXTITEM, WPARAM(from), flags)));
}

TListItem* TCustomListView::GetItemAt(int x, int y) const {
  LVHITTESTINFO info{};
  info.pt = POINT{x, y};
  int index = int(Send(LVM_HITTEST, 0, LPARAM(&info)));
  if (index < 0 && viewStyle_ == vsReport) {
    // Beyond the first column the report view answers through the sub-item hit test.
    info = LVHITTESTINFO{};
    info.pt = POINT{x, y};
    index = int(Send(LVM_SUBITEMHITTEST, 0, LPARAM(&info)));
    if (!(info.flags & LVHT_ONITEM)) index = -1;
  }
  return index >= 0 && (info.flags & LVHT_ONITEM) ? ItemAt(index) : nullptr;
}

THitTests TCustomListView::GetHitTestInfoAt(int x, int y) const {
  LVHITTESTINFO info{};
  info.pt = POINT{x, y};
  Send(LVM_HITTEST, 0, LPARAM(&info));
  return HitTestsOf(info.flags, {{LVHT_ABOVE, htAbove},
                                 {LVHT_BELOW, htBelow},
                                 {LVHT_NOWHERE, htNowhere},
                                 {LVHT_ONITEMICON, htOnIcon},
                                 {LVHT_ONITEMLABEL, htOnLabel},
                                 {LVHT_ONITEMSTATEICON, htOnStateIcon},
                                 {LVHT_ONITEM, htOnItem},
                                 {LVHT_TOLEFT, htToLeft},
                                 {LVHT_TORIGHT, htToRight}});
}

TListItem* TCustomListView::TopItem() const {
  if (viewStyle_ != vsReport && viewStyle_ != vsList) return GetItemAt(2, 2);
  return ItemAt(int(Send(LVM_GETTOPINDEX)));
}

HWND TCustomListView::HeaderHandle() const { return HWND(Send(LVM_GETHEADER)); }

bool TCustomListView::IsEditing() const { return Send(LVM_GETEDITCONTROL) != 0; }

void TCustomListView::UpdateItems(int first, int last) {
  Send(LVM_REDRAWITEMS, WPARAM(first), LPARAM(last));
}

// ---- Sorting

bool TCustomListView::CustomSort(const TLVCompare& compare, LPARAM data) {
  auto& items = items_->items_;
  if (items.size() < 2) return true;
  TakeSnapshot();
  auto less = [&](const std::unique_ptr<TListItem>& a, const std::unique_ptr<TListItem>& b) {
    if (compare) return compare(a.get(), b.get(), data) < 0;
    int result = AnsiCompareText(a->Caption(), b->Caption());
    if (OnCompare) OnCompare(this, a.get(), b.get(), data, result);
    return result < 0;
  };
  // A merge sort: a comparison that is not a strict order gives some order, never a fault.
  std::stable_sort(items.begin(), items.end(), less);
  ItemsReordered();
  return true;
}

int TCustomListView::SortByKeys(const std::vector<std::string>& keys, bool descending,
                                const TLVCompare& exact, LPARAM data) {
  auto& items = items_->items_;
  if (keys.size() != items.size()) throw EListError("SortByKeys: one key per item is needed");
  if (items.size() < 2) return 0;
  TakeSnapshot();
  std::function<bool(const std::unique_ptr<TListItem>&, const std::unique_ptr<TListItem>&)> before;
  if (exact) {
    before = [&](const std::unique_ptr<TListItem>& a, const std::unique_ptr<TListItem>& b) {
      return exact(a.get(), b.get(), data) < 0;
    };
  }
  const int moved = host::SortByKeys(items, keys, descending, before);
  ItemsReordered();
  return moved;
}

void TCustomListView::ArrangeItems(const std::vector<TListItem*>& order) {
  auto& items = items_->items_;
  if (order.size() != items.size()) throw EListError("ArrangeItems: every item once is needed");
  TakeSnapshot();
  std::vector<std::unique_ptr<TListItem>> arranged(items.size());
  for (size_t i = 0; i < order.size(); ++i) {
    TListItem* item = order[i];
    if (!item || item->owner_ != items_.get() || !items[size_t(item->index_)]) {
      // Undo the moves made so far: the items stay as they were.
      for (size_t j = 0; j < i; ++j) items[size_t(order[j]->index_)] = std::move(arranged[j]);
      throw EListError("ArrangeItems: every item once is needed");
    }
    arranged[i] = std::move(items[size_t(item->index_)]);
  }
  items.swap(arranged);
  ItemsReordered();
}

void TCustomListView::ItemsReordered() {
  items_->Renumber(0);
  if (items_->updateCount_ > 0) {
    countDirty_ = true;
    layoutDirty_ = true;
  } else {
    RestoreSnapshot();
    InvalidateRect(HandleIfAllocated(), nullptr, TRUE);
  }
}

bool TCustomListView::AlphaSort() { return CustomSort(nullptr, 0); }

// ---- Overridables

bool TCustomListView::CanChange(TListItem* item, int change) {
  bool allow = true;
  if (OnChanging) OnChanging(this, item, ItemChangeOf(change), allow);
  return allow;
}

void TCustomListView::Change(TListItem* item, int change) {
  if (OnChange) OnChange(this, item, ItemChangeOf(change));
}

void TCustomListView::DoSelectItem(TListItem* item, bool selected) {
  if (OnSelectItem) OnSelectItem(this, item, selected);
}

void TCustomListView::ColClick(TListColumn* column) {
  if (OnColumnClick) OnColumnClick(this, column);
}

bool TCustomListView::CanEdit(TListItem* item) {
  bool allow = !readOnly_;
  if (OnEditing) OnEditing(this, item, allow);
  return allow;
}

void TCustomListView::Edit(const LVITEMW& record) {
  TListItem* item = ItemAt(record.iItem);
  if (!item || !record.pszText) return;
  String text = ToUtf8(record.pszText);
  if (OnEdited) OnEdited(this, item, text);
  if (item->index_ >= 0) item->SetCaption(text);
}

void TCustomListView::Delete(TListItem* item) {
  if (OnDeletion) OnDeletion(this, item);
}

void TCustomListView::InsertItem(TListItem* item) {
  if (OnInsert) OnInsert(this, item);
}

void TCustomListView::GetImageIndex(TListItem* item) {
  if (OnGetImageIndex) OnGetImageIndex(this, item);
}

void TCustomListView::GetItemText(TListItem* item, unsigned parts) {
  if (OnGetItemText) OnGetItemText(this, item, parts);
}

bool TCustomListView::IsCustomDrawn(TCustomDrawTarget target, TCustomDrawStage stage) {
  if (stage != cdPrePaint) return false;
  if (target == dtControl) return bool(OnCustomDraw);
  if (target == dtItem) return bool(OnCustomDrawItem);
  if (target == dtSubItem) return bool(OnCustomDrawSubItem);
  return false;
}

bool TCustomListView::CustomDraw(const RECT& rect, TCustomDrawStage stage) {
  bool defaultDraw = true;
  if (stage == cdPrePaint && OnCustomDraw) OnCustomDraw(this, rect, defaultDraw);
  return defaultDraw;
}

bool TCustomListView::CustomDrawItem(TListItem* item, TCustomDrawState state,
                                     TCustomDrawStage stage) {
  bool defaultDraw = true;
  if (stage == cdPrePaint && OnCustomDrawItem) OnCustomDrawItem(this, item, state, defaultDraw);
  return defaultDraw;
}

bool TCustomListView::CustomDrawSubItem(TListItem* item, int subItem, TCustomDrawState state,
                                        TCustomDrawStage stage) {
  bool defaultDraw = true;
  if (stage == cdPrePaint && OnCustomDrawSubItem)
    OnCustomDrawSubItem(this, item, subItem, state, defaultDraw);
  return defaultDraw;
}

LRESULT TCustomListView::CustomDrawNotify(CustomDrawInfo& draw) {
  NMCUSTOMDRAW& cd = draw.nmcd;
  const bool subItems = IsCustomDrawn(dtSubItem, cdPrePaint);
  if (cd.dwDrawStage != (CDDS_ITEMPREPAINT | CDDS_SUBITEM)) {
    LRESULT result = TCustomNativeView::CustomDrawNotify(draw);
    // The control reports sub-items only to an item answer that asks, and items only to a
    // paint answer that asks.
    if (subItems && !(result & CDRF_SKIPDEFAULT)) {
      if (cd.dwDrawStage == CDDS_PREPAINT) result |= CDRF_NOTIFYITEMDRAW;
      if (cd.dwDrawStage == CDDS_ITEMPREPAINT) result |= CDRF_NOTIFYSUBITEMDRAW;
    }
    return result;
  }
  TListItem* item = ItemAt(int(cd.dwItemSpec));
  if (!subItems || !item) return CDRF_DODEFAULT;
  auto& record = reinterpret_cast<NMLVCUSTOMDRAW&>(draw);
  // The colours the item stage chose, else the view's.
  const auto orDefault = [](COLORREF color, COLORREF fallback) {
    return color == CLR_DEFAULT || color == CLR_NONE ? fallback : color;
  };
  const COLORREF text = orDefault(record.clrText, ColorToRGB(Font()->Color()));
  const COLORREF back = orDefault(record.clrTextBk, ColorToRGB(Color()));
  CustomDrawCanvas loan(Canvas(), cd.hdc, Font(), text, back);
  const bool defaultDraw =
      CustomDrawSubItem(item, record.iSubItem, cd.uItemState & 0x1FF, cdPrePaint);
  if (loan.TextColor() != text) record.clrText = loan.TextColor();
  if (loan.BackColor() != back) record.clrTextBk = loan.BackColor();
  const LRESULT result = loan.Release() ? CDRF_NEWFONT : CDRF_DODEFAULT;
  return defaultDraw ? result : CDRF_SKIPDEFAULT;
}

bool TCustomListView::CustomDrawItemOf(const NMCUSTOMDRAW& draw, TCustomDrawState state,
                                       TCustomDrawStage stage, bool&, bool& found) {
  TListItem* item = ItemAt(int(draw.dwItemSpec));
  found = item != nullptr;
  if (!item) return true;
  // What an item's drawing works out counts against the paint's budget as its completion does.
  const int64_t began = painting_ ? Counter() : 0;
  const auto spend = ScopeExit([&] {
    if (began) paintSpent_ += Counter() - began;
  });
  return CustomDrawItem(item, state, stage);
}

bool TCustomListView::DrawnBlankInPaint(TListItem* item) {
  return item && item->index_ >= 0 && DeferredInPaint(*item, item->index_, true);
}

void TCustomListView::DoInfoTip(TListItem* item, String& infoTip) {
  if (OnInfoTip) OnInfoTip(this, item, infoTip);
}

void TCustomListView::BeginItemDrag(TListItem*, TMouseButton) {}

void TCustomListView::FetchText(const TListItem* item, unsigned parts) const {
  auto* self = const_cast<TCustomListView*>(this);
  auto* target = const_cast<TListItem*>(item);
  parts &= item->pending_;
  if (!parts) return;
  target->pending_ &= uint8_t(~parts);
  ScopedValue fetching{self->fetching_, self->fetching_ + 1};
  self->GetItemText(target, parts);
}

// ---- Notifications of the control

void TCustomListView::CNNotify(TMessage& message) {
  auto* header = reinterpret_cast<NMHDR*>(message.LParam);
  message.Result = 0;
  switch (header->code) {
    case LVN_GETDISPINFOW:
      GetDispInfo(*reinterpret_cast<NMLVDISPINFOW*>(header));
      return;
    case LVN_ODFINDITEMW:
      message.Result = FindItem(*reinterpret_cast<NMLVFINDITEMW*>(header));
      return;
    case LVN_ODCACHEHINT:
      return;
    case LVN_ITEMCHANGING: {
      const auto& info = *reinterpret_cast<NMLISTVIEW*>(header);
      if (quietState_ > 0 || askedChanging_ > 0) return;
      TListItem* item = ItemAt(info.iItem);
      if (item && !CanChange(item, int(info.uChanged))) message.Result = TRUE;
      return;
    }
    case LVN_ITEMCHANGED:
      ItemChanged(*reinterpret_cast<NMLISTVIEW*>(header));
      return;
    case LVN_ODSTATECHANGED:
      StateRangeChanged(*reinterpret_cast<NMLVODSTATECHANGE*>(header));
      return;
    case LVN_COLUMNCLICK: {
      const int column = reinterpret_cast<NMLISTVIEW*>(header)->iSubItem;
      if (column >= 0 && column < columns_->Count()) ColClick(columns_->Items(column));
      return;
    }
    case LVN_BEGINLABELEDITW: {
      TListItem* item = ItemAt(reinterpret_cast<NMLVDISPINFOW*>(header)->item.iItem);
      message.Result = item && CanEdit(item) ? FALSE : TRUE;
      return;
    }
    case LVN_ENDLABELEDITW:
      Edit(reinterpret_cast<NMLVDISPINFOW*>(header)->item);
      message.Result = FALSE;  // the caption is ours, set in Edit
      return;
    case LVN_GETINFOTIPW: {
      auto& tip = *reinterpret_cast<NMLVGETINFOTIPW*>(header);
      TListItem* item = ItemAt(tip.iItem);
      if (!item || !tip.pszText || tip.cchTextMax <= 0) return;
      String text = ToUtf8(tip.pszText);
      DoInfoTip(item, text);
      CopyToBuffer(text, tip.pszText, tip.cchTextMax);
      return;
    }
    case LVN_BEGINDRAG:
    case LVN_BEGINRDRAG:
      if (TListItem* item = ItemAt(reinterpret_cast<NMLISTVIEW*>(header)->iItem))
        BeginItemDrag(item, header->code == LVN_BEGINDRAG ? mbLeft : mbRight);
      return;
    default:
      TCustomNativeView::CNNotify(message);
  }
}

namespace {

bool IsScrollMessage(UINT msg) {
  return msg == LVM_SCROLL || msg == WM_VSCROLL || msg == WM_HSCROLL || msg == WM_MOUSEWHEEL ||
         msg == WM_MOUSEHWHEEL;
}

}  // namespace

void TCustomListView::WndProc(TMessage& message) {
  if (IsScrollMessage(message.Msg)) {
    // What a scroll left to draw is pending again, so that this scroll moves it along.
    InvalidateScrolledRegion();
    ScopedValue scrolling{scrolling_, true};
    TCustomNativeView::WndProc(message);
    return;
  }
  if (message.Msg == WM_PAINT && scrolling_ && message.WParam == 0) {
    // The control draws what a scroll uncovered inside the scroll, whose moving of the window's
    // contents costs a good part of a tick already: the drawing waits for the next tick.
    UniqueGdiObject pending{CreateRectRgn(0, 0, 0, 0)};
    const HRGN region = HRGN(pending.get());
    if (GetUpdateRgn(HandleIfAllocated(), region, FALSE) > NULLREGION) {
      ValidateRgn(HandleIfAllocated(), region);
      if (scrolledToDraw_)
        CombineRgn(region, region, HRGN(scrolledToDraw_.get()), RGN_OR);
      scrolledToDraw_ = std::move(pending);
      DrawOnNextTick();
    }
    message.Result = 0;
    return;
  }
  if (message.Msg == WM_PAINT) {
    ScopedValue painting{painting_, true};
    ScopedValue spent{paintSpent_, int64_t(0)};
    TCustomNativeView::WndProc(message);
    // A timer, not a posted message: input and other timers waiting go first.
    if (deferredFirst_ >= 0)
      DrawOnNextTick();
    return;
  }
  if (message.Msg == WM_TIMER && message.WParam == kRedrawDeferredTimer) {
    KillTimer(HandleIfAllocated(), kRedrawDeferredTimer);
    if (paintLater_ == TPaintLater::drawing) {
      // Turning drawing back on lays out the scroll bars and draws them, a good part of a tick
      // under Wine: the header and the rows follow on ticks of their own.
      Send(WM_SETREDRAW, TRUE);
      DropPendingPaint();
      paintLater_ = TPaintLater::layout;
      DrawOnNextTick();
      return;
    }
    if (paintLater_ == TPaintLater::layout) {
      // The control works out its items' layout and scroll bars in its first paint after
      // drawing came back on, before any item: a paint of one corner pixel does that alone.
      RECT client{};
      GetClientRect(HandleIfAllocated(), &client);
      const RECT corner{client.right - 1, client.bottom - 1, client.right, client.bottom};
      InvalidateRect(HandleIfAllocated(), &corner, FALSE);
      UpdateWindow(HandleIfAllocated());
      DropPendingPaint();
      DrawOnNextTick();
      return;
    }
    if (scrolledToDraw_ && !scrolledCompleted_ && CompleteScrolledItems()) {
      // What the scroll uncovered is worked out on this tick and maybe the next; it is drawn
      // on the one after.
      DrawOnNextTick();
      return;
    }
    InvalidateScrolledRegion();
    const HWND header = HeaderHandle();
    if (paintLater_ == TPaintLater::header && header) {
      // The control draws its header inside its own paint, before the rows: drawn first alone,
      // it is up to date then.
      paintLater_ = TPaintLater::rows;
      RedrawWindow(header, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE);
      DrawOnNextTick();
      return;
    }
    if (std::exchange(paintLater_, TPaintLater::none) != TPaintLater::none) {
      deferredFirst_ = deferredLast_ = -1;
      RedrawWindow(HandleIfAllocated(), nullptr, nullptr,
                   RDW_INVALIDATE | RDW_ERASE | RDW_NOCHILDREN);
      return;
    }
    RedrawDeferred();
    return;
  }
  TCustomNativeView::WndProc(message);
}

void TCustomListView::InvalidateScrolledRegion() {
  scrolledCompleted_ = false;
  scrolledNext_ = 0;
  if (!scrolledToDraw_) return;
  InvalidateRgn(HandleIfAllocated(), HRGN(scrolledToDraw_.get()), TRUE);
  scrolledToDraw_.reset();
}

std::pair<int, int> TCustomListView::ItemsMeeting(const RECT& box) const {
  const int count = items_->Count();
  const HWND wnd = HandleIfAllocated();
  if (!wnd || count == 0 || IsRectEmpty(&box)) return {0, -1};
  if (viewStyle_ == vsReport || viewStyle_ == vsList) {
    const int top = int(Send(LVM_GETTOPINDEX));
    const int perPage = int(Send(LVM_GETCOUNTPERPAGE));
    return {std::clamp(top, 0, count - 1), std::clamp(top + perPage + 1, 0, count - 1)};
  }
  // Icon views lay the items out in their order, row by row from the top or column by column
  // from the left: the first item whose cell reaches into the box is found by halving.
  const bool byRows = iconOptions_->Arrangement() != iaLeft;
  const DWORD spacing = DWORD(Send(LVM_GETITEMSPACING, viewStyle_ == vsSmallIcon));
  const int extent = byRows ? HIWORD(spacing) : LOWORD(spacing);
  const auto start = [&](int index) {
    POINT at{};
    Send(LVM_GETITEMPOSITION, WPARAM(index), LPARAM(&at));
    return byRows ? at.y : at.x;
  };
  const int from = byRows ? box.top : box.left, to = byRows ? box.bottom : box.right;
  int low = 0, high = count;
  while (low < high) {
    const int middle = low + (high - low) / 2;
    if (start(middle) + extent <= from) {
      low = middle + 1;
    } else {
      high = middle;
    }
  }
  int last = low - 1;
  while (last + 1 < count && start(last + 1) < to) ++last;
  return {low, last};
}

bool TCustomListView::CompleteScrolledItems() {
  const HRGN region = HRGN(scrolledToDraw_.get());
  RECT box{};
  scrolledCompleted_ = true;
  if (GetRgnBox(region, &box) == NULLREGION) return false;
  const auto [first, last] = ItemsMeeting(box);
  const int64_t began = Counter(), budget = kScrolledBudgetMs * CounterPerMs();
  bool worked = false;
  int i = std::max(first, scrolledNext_);
  for (; i <= last && Counter() - began < budget; ++i) {
    TListItem* item = ItemAt(i);
    if (!item || (item->pending_ == 0 && item->imageIndex_ >= 0)) continue;
    RECT bounds{};
    bounds.left = LVIR_ICON;
    if (!Send(LVM_GETITEMRECT, WPARAM(i), LPARAM(&bounds)) || !RectInRegion(region, &bounds))
      continue;
    // As the control's requests in the paint would: the answers are no change to report.
    worked = true;
    if (item->pending_ & ltCaption) FetchText(item, ltCaption);
    if (item->index_ < 0) continue;
    ScopedValue requesting{requesting_, item};
    GetImageIndex(item);
  }
  scrolledNext_ = i;
  scrolledCompleted_ = i > last;
  return worked;
}

bool TCustomListView::DeferredInPaint(const TListItem& item, int index, bool wholeItem) {
  if (!painting_) return false;
  if (deferredFirst_ >= 0 && index >= deferredFirst_ && index <= deferredLast_) return true;
  // A sub-item follows its row; a row with nothing to work out is drawn as it is.
  if (!wholeItem || (item.pending_ == 0 && item.imageIndex_ >= 0)) return false;
  if (paintSpent_ < kPaintBudgetMs * CounterPerMs()) return false;
  deferredFirst_ = deferredFirst_ < 0 ? index : std::min(deferredFirst_, index);
  deferredLast_ = std::max(deferredLast_, index);
  return true;
}

void TCustomListView::PaintLater() {
  if (!HandleAllocated() || !IsWindowVisible(Handle())) return;
  if (items_->updateCount_ > 0) {
    drawLater_ = true;  // the end of the update turns drawing on a tick later
    return;
  }
  if (paintLater_ == TPaintLater::drawing) return;  // everything is drawn after that anyway
  // The header too: its drawing can cost as much as a screen of rows. With nothing waiting to
  // be drawn, there is nothing to put off.
  const HWND header = HeaderHandle();
  if (!GetUpdateRect(Handle(), nullptr, FALSE) &&
      !(header && GetUpdateRect(header, nullptr, FALSE)))
    return;
  DropPendingPaint();
  DrawOnNextTick();
}

void TCustomListView::DrawOnNextTick() {
  SetTimer(HandleIfAllocated(), kRedrawDeferredTimer, USER_TIMER_MINIMUM, nullptr);
}

void TCustomListView::DropPendingPaint() {
  RedrawWindow(Handle(), nullptr, nullptr, RDW_VALIDATE | RDW_NOERASE | RDW_ALLCHILDREN);
  const HWND header = HeaderHandle();
  paintLater_ = header && IsWindowVisible(header) ? TPaintLater::header : TPaintLater::rows;
}

void TCustomListView::DrawAgain(bool later) {
  if (later && IsWindowVisible(Handle())) {
    // Nothing is drawn before drawing is on: what the update left pending is dropped.
    RedrawWindow(Handle(), nullptr, nullptr, RDW_VALIDATE | RDW_NOERASE | RDW_ALLCHILDREN);
    paintLater_ = TPaintLater::drawing;
    DrawOnNextTick();
    return;
  }
  if (paintLater_ == TPaintLater::drawing) paintLater_ = TPaintLater::none;
  // Turning drawing on lays out the scroll bars, and Wine draws each at once, twice over. With
  // the window's visible flag off for that moment, they are drawn once, with the next paint.
  // The header is drawn again only when it waited to be or the scroll bars moved it: its
  // drawing costs as much as a screen of rows.
  const HWND wnd = Handle(), header = HeaderHandle();
  const bool shown = (GetWindowLongPtrW(wnd, GWL_STYLE) & WS_VISIBLE) != 0;
  RECT was{}, is{};
  bool headerToo = header && GetUpdateRect(header, nullptr, FALSE);
  if (header) GetWindowRect(header, &was);
  if (shown) DefWindowProcW(wnd, WM_SETREDRAW, FALSE, 0);
  if (shown) LayOutUnseen();
  Send(WM_SETREDRAW, TRUE);
  if (shown) DefWindowProcW(wnd, WM_SETREDRAW, TRUE, 0);
  if (header) GetWindowRect(header, &is);
  headerToo = headerToo || !EqualRect(&was, &is);
  RedrawWindow(wnd, nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_FRAME |
                   (headerToo ? RDW_ALLCHILDREN : RDW_NOCHILDREN));
}

void TCustomListView::LayOutUnseen() {
  if (laidOut_ || items_->Count() == 0) return;
  // In its first paint with items the control works out their size and lays out its scroll
  // bars, which Wine draws at once, twice over: a quarter of that paint. Printed while drawing
  // is off, clipped to nothing, the paint works out the size alone and draws nothing; turning
  // drawing on then lays out the scroll bars once, unseen, and the paint only draws.
  UniqueDC dc{CreateCompatibleDC(nullptr)};
  UniqueGdiObject nothing{CreateRectRgn(0, 0, 0, 0)};
  if (!dc || !nothing) return;
  SelectClipRgn(dc.get(), HRGN(nothing.get()));
  Send(WM_PRINTCLIENT, WPARAM(dc.get()), PRF_CLIENT);
  laidOut_ = true;
}

void TCustomListView::RedrawDeferred() {
  const int first = std::exchange(deferredFirst_, -1), last = std::exchange(deferredLast_, -1);
  if (first < 0 || !HandleAllocated()) return;
  const int count = items_->Count();
  if (first >= count) return;
  Send(LVM_REDRAWITEMS, WPARAM(first), LPARAM(std::min(last, count - 1)));
}

void TCustomListView::GetDispInfo(NMLVDISPINFOW& info) {
  LVITEMW& it = info.item;
  TListItem* item = ItemAt(it.iItem);
  const bool blank = item && DeferredInPaint(*item, it.iItem, it.iSubItem == 0);
  // Only the items' own work counts against a paint's budget, not the control's drawing.
  const int64_t began = painting_ && !blank ? Counter() : 0;
  const auto spend = ScopeExit([&] {
    if (began) paintSpent_ += Counter() - began;
  });
  if (!item || blank) {
    if ((it.mask & LVIF_TEXT) && it.pszText && it.cchTextMax > 0) it.pszText[0] = L'\0';
    if (it.mask & LVIF_IMAGE) it.iImage = I_IMAGENONE;
    if (!item) return;
  }
  // The image first: completing an item may set its overlay and marks asked for below.
  if ((it.mask & LVIF_IMAGE) && !blank) {
    if (it.iSubItem == 0) {
      marksChanged_ = false;
      {
        ScopedValue requesting{requesting_, item};
        GetImageIndex(item);
      }
      if (item->index_ < 0) return;  // the handler deleted it
      it.iImage = item->imageIndex_;
      // Marks asked for in an earlier request are drawn with the next paint.
      if (marksChanged_ && !(it.mask & LVIF_STATE))
        Send(LVM_REDRAWITEMS, WPARAM(it.iItem), LPARAM(it.iItem));
    } else {
      it.iImage = I_IMAGENONE;
    }
  }
  if ((it.mask & LVIF_TEXT) && it.pszText && it.cchTextMax > 0 && !blank) {
    if (it.iSubItem == 0)
      CopyToBuffer(item->Caption(), it.pszText, it.cchTextMax);
    else
      CopyToBuffer(item->SubItemText(it.iSubItem), it.pszText, it.cchTextMax);
  }
  if ((it.mask & LVIF_STATE) && it.iSubItem == 0) {
    UINT state = 0;
    if (item->Cut()) state |= LVIS_CUT;
    if (item->DropTarget()) state |= LVIS_DROPHILITED;
    if (item->overlayIndex_ >= 0) state |= INDEXTOOVERLAYMASK(unsigned(item->overlayIndex_) + 1);
    if (item->stateIndex_ >= 0) state |= INDEXTOSTATEIMAGEMASK(unsigned(item->stateIndex_) + 1);
    it.state = (it.state & ~kCallbackStates) | (state & kCallbackStates);
  }
  if (it.mask & LVIF_INDENT) it.iIndent = 0;
}

LRESULT TCustomListView::FindItem(const NMLVFINDITEMW& find) {
  const LVFINDINFOW& info = find.lvfi;
  if (!(info.flags & (LVFI_STRING | LVFI_PARTIAL)) || !info.psz) return -1;
  const int count = items_->Count();
  if (count == 0) return -1;
  const int keyLength = int(wcslen(info.psz));
  const bool partial = (info.flags & LVFI_PARTIAL) != 0;
  int index = find.iStart < 0 || find.iStart >= count ? 0 : find.iStart;
  for (int n = 0; n < count; ++n, ++index) {
    if (index >= count) {
      if (!(info.flags & LVFI_WRAP)) break;
      index = 0;
    }
    const WideString caption = ToWide(ItemAt(index)->Caption());
    const int length = partial ? keyLength : int(caption.size());
    if (int(caption.size()) < keyLength || (!partial && int(caption.size()) != keyLength)) continue;
    if (CompareStringOrdinal(caption.c_str(), length, info.psz, keyLength, TRUE) == CSTR_EQUAL)
      return index;
  }
  return -1;
}

void TCustomListView::ItemChanged(const NMLISTVIEW& info) {
  if (quietState_ > 0) return;
  TListItem* item = ItemAt(info.iItem);
  if (info.iItem >= 0 && !item) return;
  Change(item, int(info.uChanged));
  if ((info.uChanged & LVIF_STATE) && item && ((info.uOldState ^ info.uNewState) & LVIS_SELECTED))
    DoSelectItem(item, (info.uNewState & LVIS_SELECTED) != 0);
}

void TCustomListView::StateRangeChanged(const NMLVODSTATECHANGE& info) {
  if (quietState_ > 0) return;
  const bool selection = ((info.uOldState ^ info.uNewState) & LVIS_SELECTED) != 0;
  for (int i = std::max(info.iFrom, 0); i <= info.iTo && i < items_->Count(); ++i) {
    TListItem* item = ItemAt(i);
    Change(item, LVIF_STATE);
    if (selection && item->index_ >= 0) DoSelectItem(item, (info.uNewState & LVIS_SELECTED) != 0);
  }
}

// ---- Registration

HOST_PROPERTIES(TListView) {}

void RegisterListViewClasses() { RegisterComponentClass<TListView>(); }

}  // namespace host
