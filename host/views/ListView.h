// The host list view over the common controls' list view.
//   TListColumn, TListColumns   header columns: caption, width, alignment, update brackets; a
//                               form file carries them as the view's Columns collection
//   TListItem                   one item: data, caption, sub-items, images, marks, selection
//   TListItems                  the items: add, insert, delete, clear, update brackets
//   TIconOptions                arrangement, auto-arrange and label wrapping of the icon views
//   TCustomListView             the control: view styles, image lists, lazy texts and images,
//                               sorting, label editing, custom draw, hit tests, selection
//   TListView                   the control as form files name it
//
// The native control runs in owner-data mode: the items live here, the control keeps only their
// count, selection and focus, and asks for each text, image and mark when it draws. So adding
// 100,000 items costs 100,000 small objects and one count message, and nothing is computed for
// an item that is never shown.
//
// Lazy texts: an item whose caption or sub-items are marked pending (SetTextPending) has them
// supplied by GetItemText (OnGetItemText) the first time anyone reads them: the control to draw
// or the program through Caption() / SubItems(). Lazy images: every image request of the control
// goes to GetImageIndex (OnGetImageIndex); an item added with ImageIndex -1 is thereby completed
// when it is first drawn. A paint that has spent its budget on completing items draws the rest
// of the items still to complete blank and draws them again a timer tick later, so a screenful of
// slow items (display names, icons) does not hold the window's input and timers: the view's
// TDeferredPainter does that, and the other put-off painting, through the hooks it implements.
#pragma once

#include "host/core/StringList.h"
#include "host/core/TypeInfo.h"
#include "host/forms/Controls.h"
#include "host/graphics/ImageList.h"
#include "host/views/ComCtrls.h"
#include "host/views/DeferredPainter.h"
#include "host/views/NativeView.h"

#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace host {

class TCustomListView;
class TListItems;
class TListItem;
class TListColumns;

enum TViewStyle { vsIcon, vsSmallIcon, vsList, vsReport };
inline const TEnumInfo ViewStyleInfo{"vsIcon", "vsSmallIcon", "vsList", "vsReport"};
enum TItemChange { ctText, ctImage, ctState };
enum TDisplayCode { drBounds, drIcon, drLabel, drSelectBounds };
enum TSearchDirection { sdLeft, sdRight, sdAbove, sdBelow, sdAll };
// Item states asked of GetNextItem; a TItemStates value is a set with bit (1 << TItemState).
enum TItemState { isNone, isCut, isDropHilited, isFocused, isSelected, isActivating };
using TItemStates = unsigned;
constexpr TItemStates ItemStateBit(TItemState state) { return 1u << unsigned(state); }
enum TIconArrangement { iaTop, iaLeft };
inline const TEnumInfo IconArrangementInfo{"iaTop", "iaLeft"};

// Which texts of an item its provider still has to supply.
constexpr unsigned ltCaption = 1, ltSubItems = 2;

// Compares two items for CustomSort; `data` is the caller's full-width value.
using TLVCompare = std::function<int(TListItem* item1, TListItem* item2, LPARAM data)>;

using TLVNotifyEvent = std::function<void(TObject* sender, TListItem* item)>;
using TLVChangeEvent = std::function<void(TObject* sender, TListItem* item, TItemChange change)>;
using TLVChangingEvent =
    std::function<void(TObject* sender, TListItem* item, TItemChange change, bool& allowChange)>;
using TLVColumnClickEvent = std::function<void(TObject* sender, class TListColumn* column)>;
using TLVCompareEvent = std::function<void(TObject* sender, TListItem* item1, TListItem* item2,
                                           LPARAM data, int& compare)>;
using TLVEditedEvent = std::function<void(TObject* sender, TListItem* item, String& s)>;
using TLVEditingEvent = std::function<void(TObject* sender, TListItem* item, bool& allowEdit)>;
using TLVSelectItemEvent = std::function<void(TObject* sender, TListItem* item, bool selected)>;
using TLVCustomDrawEvent =
    std::function<void(TCustomListView* sender, const RECT& rect, bool& defaultDraw)>;
using TLVCustomDrawItemEvent = std::function<void(TCustomListView* sender, TListItem* item,
                                                  TCustomDrawState state, bool& defaultDraw)>;
using TLVCustomDrawSubItemEvent =
    std::function<void(TCustomListView* sender, TListItem* item, int subItem,
                       TCustomDrawState state, bool& defaultDraw)>;
using TLVInfoTipEvent = std::function<void(TObject* sender, TListItem* item, String& infoTip)>;
using TLVGetItemTextEvent = std::function<void(TObject* sender, TListItem* item, unsigned parts)>;

// ---- Columns

class TListColumn : public TPersistent {
 public:
  explicit TListColumn(TListColumns* owner) : owner_(owner) {}
  String ClassName() const override { return "TListColumn"; }
  // Publishes Alignment, Caption and Width for form files.
  static const TClassInfo& StaticClassInfo();
  const TClassInfo* ClassInfo() const override { return &StaticClassInfo(); }

  TListColumns* Owner() const { return owner_; }
  int Index() const;
  const String& Caption() const { return caption_; }
  void SetCaption(const String& caption);
  // The width as the control shows it (the user may have dragged it).
  int Width() const;
  void SetWidth(int width);
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment alignment);

 private:
  friend class TListColumns;
  TListColumns* owner_;
  String caption_;
  int width_ = 50;
  TAlignment alignment_ = taLeftJustify;
};

class TListColumns : public TPersistent {
 public:
  explicit TListColumns(TCustomListView* owner) : owner_(owner) {}
  ~TListColumns() override;
  String ClassName() const override { return "TListColumns"; }

  TCustomListView* Owner() const { return owner_; }
  int Count() const { return int(columns_.size()); }
  TListColumn* Items(int index) const { return columns_.at(size_t(index)).get(); }
  TListColumn* operator[](int index) const { return Items(index); }
  TListColumn* Add();
  void Delete(int index);
  void Clear();
  int IndexOf(const TListColumn* column) const;
  // Changes between the brackets reach the control once, at the outermost EndUpdate.
  void BeginUpdate() { ++updateCount_; }
  void EndUpdate();

 private:
  friend class TListColumn;
  friend class TCustomListView;
  void Changed(int index);  // one column's caption, width or alignment changed
  void Rebuild();           // the control's columns from scratch

  TCustomListView* owner_;
  std::vector<std::unique_ptr<TListColumn>> columns_;
  int updateCount_ = 0;
  bool rebuild_ = false;
};

// ---- Items

class TListItem : public TPersistent {
 public:
  explicit TListItem(TListItems* owner);
  ~TListItem() override;
  String ClassName() const override { return "TListItem"; }

  TListItems* Owner() const { return owner_; }
  TCustomListView* ListView() const;
  int Index() const { return index_; }

  void* Data() const { return data_; }
  void SetData(void* data) { data_ = data; }

  // Runs the text provider first when the caption is pending.
  const String& Caption() const;
  void SetCaption(const String& caption);
  // Runs the text provider first when the sub-items are pending.
  TStrings* SubItems();
  // The sub-item text for column `column` (1 = first sub-item), empty when there is none.
  String SubItemText(int column) const;
  // Marks texts (ltCaption, ltSubItems) as still to be supplied by the provider.
  void SetTextPending(unsigned parts) { pending_ = uint8_t(parts & (ltCaption | ltSubItems)); }
  unsigned TextPending() const { return pending_; }

  // -1 asks the list view's GetImageIndex when the item is first drawn.
  int ImageIndex() const { return imageIndex_; }
  void SetImageIndex(int index);
  // Index into the state images; -1 draws none.
  int StateIndex() const { return stateIndex_; }
  void SetStateIndex(int index);
  // Overlay number of the image list, from 0; -1 draws none.
  int OverlayIndex() const { return overlayIndex_; }
  void SetOverlayIndex(int index);
  bool Cut() const { return (marks_ & kCut) != 0; }
  void SetCut(bool cut);
  bool DropTarget() const { return (marks_ & kDropTarget) != 0; }
  void SetDropTarget(bool dropTarget);

  bool Selected() const;
  void SetSelected(bool selected);
  bool Focused() const;
  void SetFocused(bool focused);

  RECT DisplayRect(TDisplayCode code) const;
  void MakeVisible(bool partialOK);
  // Starts editing the caption; false when the control refuses.
  bool EditCaption();
  void CancelEdit();
  // Redraws the item.
  void Update();
  // Removes the item from its list and frees it.
  void Delete();

 private:
  friend class TListItems;
  friend class TCustomListView;
  class TSubItems;
  enum : uint8_t { kCut = 1, kDropTarget = 2 };
  void Changed(int change);  // LVIF_ flags

  TListItems* owner_;
  void* data_ = nullptr;
  mutable String caption_;
  mutable std::unique_ptr<TSubItems> subItems_;
  int index_ = -1;
  int imageIndex_ = -1;
  int16_t stateIndex_ = -1;
  int16_t overlayIndex_ = -1;
  mutable uint8_t pending_ = 0;
  uint8_t marks_ = 0;
};

class TListItems : public TPersistent {
 public:
  explicit TListItems(TCustomListView* owner) : owner_(owner) {}
  ~TListItems() override;
  String ClassName() const override { return "TListItems"; }

  TCustomListView* Owner() const { return owner_; }
  int Count() const { return int(items_.size()); }
  TListItem* Item(int index) const { return items_.at(size_t(index)).get(); }
  TListItem* operator[](int index) const { return Item(index); }

  TListItem* Add();
  TListItem* Insert(int index);
  void Delete(int index);
  void Clear();
  int IndexOf(const TListItem* item) const {
    return item && item->owner_ == this ? item->index_ : -1;
  }

  // Changes between the brackets are drawn once, at the outermost EndUpdate.
  void BeginUpdate();
  void EndUpdate();
  // Changes between these brackets reach the control at once, at the outermost end, while it
  // keeps drawing: items added at the end redraw only where they come into view, any other
  // change redraws the list when the loop next paints. Cheaper than holding the drawing, which
  // the control answers with a whole new layout. With `deferCount`, items that were only
  // appended stay unknown to the control until the next change reaches it (a list growing in
  // many steps tells the control its count less often).
  void BeginBatch() { ++updateCount_; }
  void EndBatch(bool deferCount = false);
  int UpdateCount() const { return updateCount_; }

 private:
  friend class TCustomListView;
  friend class TListItem;
  void Renumber(size_t from);
  void Reserve(size_t count);

  TCustomListView* owner_;
  std::vector<std::unique_ptr<TListItem>> items_;
  int updateCount_ = 0;
};

// ---- Icon options

class TIconOptions : public TPersistent {
 public:
  explicit TIconOptions(TCustomListView* owner) : owner_(owner) {}
  String ClassName() const override { return "TIconOptions"; }
  TIconArrangement Arrangement() const { return arrangement_; }
  void SetArrangement(TIconArrangement arrangement);
  bool AutoArrange() const { return autoArrange_; }
  void SetAutoArrange(bool autoArrange);
  bool WrapText() const { return wrapText_; }
  void SetWrapText(bool wrapText);

 private:
  TCustomListView* owner_;
  TIconArrangement arrangement_ = iaTop;
  bool autoArrange_ = false;
  bool wrapText_ = true;
};

// ---- The control

class TCustomListView : public TCustomNativeView, private TDeferredPainter::THooks {
  HOST_CLASS(TCustomListView, TCustomNativeView)
  explicit TCustomListView(TComponent* owner = nullptr);
  ~TCustomListView() override;

  TListItems* Items() const { return items_.get(); }
  // Scales the columns' widths.
  void ChangeScale(int m, int d) override;
  TListColumns* Columns() const { return columns_.get(); }
  TIconOptions* IconOptions() const { return iconOptions_.get(); }

  TViewStyle ViewStyle() const { return viewStyle_; }
  virtual void SetViewStyle(TViewStyle style);
  TCustomImageList* SmallImages() const { return smallImages_.Get(); }
  void SetSmallImages(TCustomImageList* images);
  TCustomImageList* LargeImages() const { return largeImages_.Get(); }
  void SetLargeImages(TCustomImageList* images);
  TCustomImageList* StateImages() const { return stateImages_.Get(); }
  void SetStateImages(TCustomImageList* images);

  bool MultiSelect() const { return multiSelect_; }
  void SetMultiSelect(bool multiSelect);
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool readOnly);
  bool RowSelect() const { return rowSelect_; }
  void SetRowSelect(bool rowSelect);
  bool ShowColumnHeaders() const { return showColumnHeaders_; }
  void SetShowColumnHeaders(bool show);
  bool HotTrack() const { return hotTrack_; }
  void SetHotTrack(bool hotTrack);
  bool HideSelection() const { return hideSelection_; }
  void SetHideSelection(bool hide);
  bool GridLines() const { return gridLines_; }
  void SetGridLines(bool gridLines);
  // Least growth step of the item store (it grows at least by doubling); also the count the
  // control is told to expect.
  int AllocBy() const { return allocBy_; }
  void SetAllocBy(int allocBy);

  int SelCount() const;
  // The first selected item, or nullptr; setting selects only that item (nullptr clears).
  TListItem* Selected() const;
  void SetSelected(TListItem* item);
  TListItem* ItemFocused() const;
  void SetItemFocused(TListItem* item);
  void SelectAll();
  void ClearSelection();
  // The next item from `start` (nullptr: from the start) in `direction` that has every state of
  // `states` (isCut, isDropHilited, isFocused, isSelected; isNone: any item).
  TListItem* GetNextItem(TListItem* start, TSearchDirection direction, TItemStates states) const;
  TListItem* GetItemAt(int x, int y) const;
  THitTests GetHitTestInfoAt(int x, int y) const;
  TListItem* TopItem() const;
  // The header window of the report view, or nullptr.
  HWND HeaderHandle() const;
  bool IsEditing() const;
  // Redraws the items with indexes first..last.
  void UpdateItems(int first, int last);
  // Whether a paint of the window is under way (the items it draws are being completed).
  bool Painting() const { return painter_.Painting(); }

  // Sorts the items with `compare` (nullptr: OnCompare, else the captions without case) and the
  // full-width `data`; a stable sort, so equal items keep their order. Selection and focus stay
  // with their items.
  bool CustomSort(const TLVCompare& compare, LPARAM data);
  bool AlphaSort();
  // Sorts the items by `keys`, one per item in the items' present order, compared as unsigned
  // byte strings (descending when `descending`); items with equal keys keep their order. Keys
  // built once per item make a sort of n items cost about n log n byte compares. When `exact` is
  // given it has the last word: one pass over neighbours moves each item the keys misplaced to
  // its place by `exact` (found by a binary search), so the result is `exact`'s order at about
  // n calls; when the keys misplace many items, the items are sorted by `exact` alone.
  // Selection and focus stay with their items. Returns how many items the pass moved, or -1
  // when the keys were given up.
  int SortByKeys(const std::vector<std::string>& keys, bool descending, const TLVCompare& exact,
                 LPARAM data);
  // Puts the items in the order of `order`, which holds every item of the list exactly once
  // (EListError otherwise). Selection and focus stay with their items.
  void ArrangeItems(const std::vector<TListItem*>& order);

  TLVChangeEvent OnChange;
  TLVChangingEvent OnChanging;
  TLVColumnClickEvent OnColumnClick;
  TLVCompareEvent OnCompare;
  TLVNotifyEvent OnDeletion;
  TLVNotifyEvent OnInsert;
  TLVEditedEvent OnEdited;
  TLVEditingEvent OnEditing;
  TLVSelectItemEvent OnSelectItem;
  TLVNotifyEvent OnGetImageIndex;
  TLVGetItemTextEvent OnGetItemText;
  TLVCustomDrawEvent OnCustomDraw;
  TLVCustomDrawItemEvent OnCustomDrawItem;
  // Each column of each item in the report view (subItem 0 is the caption's column); assigning
  // it makes the control ask about the sub-items of every item it draws.
  TLVCustomDrawSubItemEvent OnCustomDrawSubItem;
  TLVInfoTipEvent OnInfoTip;

 protected:
  const wchar_t* NativeClassName() const override { return WC_LISTVIEWW; }
  DWORD ManagedStyles() const override;
  DWORD StyleBits() const override;
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void DestroyWnd() override;
  void CNNotify(TMessage& message) override;
  void WndProc(TMessage& message) override;
  // Drops the paint pending now and paints the whole list later, the header on the next timer
  // tick and the rows on the one after: after work that filled a good part of a tick, the
  // window's timers and input come before the drawing, and the header's drawing (as costly as a
  // screen of rows) does not share a tick with the rows'. Nothing when nothing waits to be drawn.
  // Asked for inside an update of the items: the update's end turns drawing back on a tick
  // later, the control lays out its items on the next, and the header and the rows follow.
  void PaintLater();
  // Whether the paint under way draws the item blank, its budget for completing items spent; the
  // item is drawn again on a later tick. Custom drawing that would complete it leaves it then.
  bool DrawnBlankInPaint(TListItem* item);
  // The outermost paint of the window has ended: work held back while it drew (requests it
  // would have slowed down) may start. Nothing by default.
  void PaintEnded() override {}

  // Asked before an item's state changes (LVIF_ flags); false refuses. Always asked for changes
  // the program makes; for the user's, only where the control asks (Wine's owner-data list
  // view does not).
  virtual bool CanChange(TListItem* item, int change);
  // After an item changed (LVIF_TEXT, LVIF_IMAGE, LVIF_STATE); fires OnChange. `item` is nullptr
  // when the control changed every item at once (for example cleared the selection).
  virtual void Change(TListItem* item, int change);
  // After the selection of `item` changed; fires OnSelectItem.
  virtual void DoSelectItem(TListItem* item, bool selected);
  virtual void ColClick(TListColumn* column);
  virtual bool CanEdit(TListItem* item);
  // End of label editing with the control's record: pszText is nullptr when editing was
  // cancelled. The base fires OnEdited and sets the caption when there is a new text.
  virtual void Edit(const LVITEMW& item);
  // An item is about to be freed; fires OnDeletion.
  virtual void Delete(TListItem* item);
  // An item was added; fires OnInsert.
  virtual void InsertItem(TListItem* item);
  // Asked whenever the control needs an item's image; fires OnGetImageIndex.
  virtual void GetImageIndex(TListItem* item);
  // Supplies the pending texts `parts` of `item` (set its caption, fill its sub-items); fires
  // OnGetItemText. The parts are no longer pending while it runs.
  virtual void GetItemText(TListItem* item, unsigned parts);
  bool IsCustomDrawn(TCustomDrawTarget target, TCustomDrawStage stage) override;
  // Custom drawing of the whole control; answers whether the control draws as usual.
  bool CustomDraw(const RECT& rect, TCustomDrawStage stage) override;
  // Custom drawing of one item: the canvas holds the context, the font with the text colour
  // and the brush with the background; changes to them are used for the item.
  virtual bool CustomDrawItem(TListItem* item, TCustomDrawState state, TCustomDrawStage stage);
  // Custom drawing of column `subItem` of one item, with the canvas lent as for the item.
  virtual bool CustomDrawSubItem(TListItem* item, int subItem, TCustomDrawState state,
                                 TCustomDrawStage stage);
  // Adds the sub-item stage to the views' custom draw.
  LRESULT CustomDrawNotify(CustomDrawInfo& draw) override;
  virtual void DoInfoTip(TListItem* item, String& infoTip);
  // Whether form files carry the columns; false for a view that makes its own.
  virtual bool ColumnsStored() const { return true; }
  // The user started dragging `item` with `button`; nothing by default.
  virtual void BeginItemDrag(TListItem* item, TMouseButton button);

 private:
  friend class TListItem;
  friend class TListItems;
  friend class TListColumns;
  friend class TListColumn;
  friend class TIconOptions;
  struct Snapshot {
    bool taken = false;
    std::vector<TListItem*> selected;
    TListItem* focused = nullptr;
  };

  void UpdateExStyle();
  void SendImages(int which, HIMAGELIST list) const {
    Send(LVM_SETIMAGELIST, WPARAM(which), LPARAM(list));
  }
  void SyncCount(bool invalidate);
  // The painter's hooks: the rows are the items.
  HWND ViewWindow() const override { return HandleIfAllocated(); }
  HWND HeaderWindow() const override { return HeaderHandle(); }
  void PaintMessage(TMessage& message) override { TCustomNativeView::WndProc(message); }
  int RowCount() const override { return items_->Count(); }
  bool RowHasWork(int index) const override;
  // Icon views find the first item by halving, as they lay the items out in their order.
  std::pair<int, int> RowsMeeting(const RECT& box) const override;
  // As the control's requests in the paint would: the answers are no change to report.
  bool CompleteRow(int index, HRGN region) override;
  void RedrawRows(int first, int last) override { UpdateItems(first, last); }
  void ItemsChanged(bool appendOnly);  // count or order changed outside update brackets
  void SetItemState(TListItem* item, UINT mask, UINT state);
  void TakeSnapshot();
  void RestoreSnapshot();
  void ItemsReordered();  // after a sort: renumber, put the selection back, redraw
  void FetchText(const TListItem* item, unsigned parts) const;
  TListItem* ItemAt(int index) const;

  bool CustomDrawItemOf(const NMCUSTOMDRAW& draw, TCustomDrawState state, TCustomDrawStage stage,
                        bool& paintImages, bool& found) override;
  void GetDispInfo(NMLVDISPINFOW& info);
  LRESULT FindItem(const NMLVFINDITEMW& find);
  void ItemChanged(const NMLISTVIEW& info);
  void StateRangeChanged(const NMLVODSTATECHANGE& info);

  std::unique_ptr<TListItems> items_;
  std::unique_ptr<TListColumns> columns_;
  std::unique_ptr<TIconOptions> iconOptions_;
  TViewStyle viewStyle_ = vsIcon;
  TViewImages smallImages_{this, [this](HIMAGELIST h) { SendImages(LVSIL_SMALL, h); }};
  TViewImages largeImages_{this, [this](HIMAGELIST h) { SendImages(LVSIL_NORMAL, h); }};
  TViewImages stateImages_{this, [this](HIMAGELIST h) { SendImages(LVSIL_STATE, h); }};
  bool multiSelect_ = false, readOnly_ = false, rowSelect_ = false, showColumnHeaders_ = true,
       hotTrack_ = false, hideSelection_ = true, gridLines_ = false;
  int allocBy_ = 0;
  Snapshot snapshot_;
  int quietState_ = 0;     // selection changes made here, not reported as the user's
  int askedChanging_ = 0;  // a state change the program asked for, already allowed
  int fetching_ = 0;       // a text provider is running: its changes are not reported
  const TListItem* requesting_ = nullptr;  // the item whose image is being asked for
  bool marksChanged_ = false;              // ... and whose marks changed meanwhile
  bool countDirty_ = false;                // the control's count lags behind the items
  bool layoutDirty_ = false;               // ... and items moved or went, not only came at the end
  TDeferredPainter painter_{*this};
  std::wstring textBuffer_;                     // answer of the last text request
  std::wstring tipBuffer_;
};

// The list view as form files name it.
class TListView : public TCustomListView {
  HOST_CLASS(TListView, TCustomListView)
  explicit TListView(TComponent* owner = nullptr) : TCustomListView(owner) {}
};

// Makes TListView known to the form reader.
void RegisterListViewClasses();

}  // namespace host
