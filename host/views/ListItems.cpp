// The list view's columns, items and icon options: what the control shows, kept here.
#include "host/views/ListView.h"

#include <algorithm>
#include <utility>

namespace host {

namespace {

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
  if (owner_->HandleAllocated()) owner_->painter_.UpdateEnded();
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

}  // namespace host
