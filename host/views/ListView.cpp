// The host list view's control: styles, image lists, the count and selection bookkeeping,
// sorting, the overridables, the control's notifications and requests, and its painter's hooks.
// The columns, items and icon options are in ListItems.cpp, the put-off painting in
// DeferredPainter.cpp.
#include "host/views/ListView.h"

#include <algorithm>
#include <utility>

#include "host/core/KeySort.h"
#include "host/core/Lists.h"
#include "host/core/Streaming.h"

namespace host {

namespace {

// Item states the control asks of us rather than keeping them itself.
constexpr UINT kCallbackStates =
    LVIS_CUT | LVIS_DROPHILITED | LVIS_OVERLAYMASK | LVIS_STATEIMAGEMASK;
constexpr DWORD kManagedStyles = LVS_TYPEMASK | LVS_SINGLESEL | LVS_EDITLABELS |
                                 LVS_NOCOLUMNHEADER | LVS_SHOWSELALWAYS | LVS_ALIGNMASK |
                                 LVS_AUTOARRANGE | LVS_NOLABELWRAP;
constexpr DWORD kManagedExStyles =
    LVS_EX_FULLROWSELECT | LVS_EX_TRACKSELECT | LVS_EX_GRIDLINES | LVS_EX_INFOTIP;

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
  painter_.WindowDestroyed();
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
  const auto work = painter_.CountWork();
  return CustomDrawItem(item, state, stage);
}

bool TCustomListView::DrawnBlankInPaint(TListItem* item) {
  return item && item->index_ >= 0 && painter_.DrawnBlank(item->index_, true);
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

void TCustomListView::WndProc(TMessage& message) {
  if (!painter_.WndProc(message)) TCustomNativeView::WndProc(message);
}

void TCustomListView::PaintLater() { painter_.PaintLater(items_->updateCount_ > 0); }

// ---- The painter's hooks

bool TCustomListView::RowHasWork(int index) const {
  const TListItem* item = ItemAt(index);
  return item && (item->pending_ != 0 || item->imageIndex_ < 0);
}

std::pair<int, int> TCustomListView::RowsMeeting(const RECT& box) const {
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

bool TCustomListView::CompleteRow(int index, HRGN region) {
  TListItem* item = ItemAt(index);
  if (!item || (item->pending_ == 0 && item->imageIndex_ >= 0)) return false;
  RECT bounds{};
  bounds.left = LVIR_ICON;
  if (!Send(LVM_GETITEMRECT, WPARAM(index), LPARAM(&bounds)) || !RectInRegion(region, &bounds))
    return false;
  if (item->pending_ & ltCaption) FetchText(item, ltCaption);
  if (item->index_ >= 0) {
    ScopedValue requesting{requesting_, item};
    GetImageIndex(item);
  }
  return true;
}

void TCustomListView::GetDispInfo(NMLVDISPINFOW& info) {
  LVITEMW& it = info.item;
  TListItem* item = ItemAt(it.iItem);
  const bool blank = item && painter_.DrawnBlank(it.iItem, it.iSubItem == 0);
  // Only the items' own work counts against a paint's budget, not the control's drawing.
  const auto work = painter_.CountWork(!blank);
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

void TCustomListView::ChangeScale(int m, int d) {
  TWinControl::ChangeScale(m, d);
  columns_->BeginUpdate();
  for (int i = 0; i < columns_->Count(); ++i)
    columns_->Items(i)->SetWidth(ScaleBy(columns_->Items(i)->Width(), m, d));
  columns_->EndUpdate();
}

void RegisterListViewClasses() { RegisterComponentClass<TListView>(); }

}  // namespace host
