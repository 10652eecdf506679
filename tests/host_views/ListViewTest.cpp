// List view: lazy texts and images, sorting, selection bookkeeping, editing, hit tests, drawing.
#include "host/core/Lists.h"
#include "host/core/Streaming.h"
#include "host/forms/Forms.h"
#include "host/views/ListView.h"

#include "Pump.h"

#include <gtest/gtest.h>
#include <commctrl.h>

#include <functional>
#include <memory>
#include <set>

using namespace host;

namespace {

// A list view that records what the control asks of it.
class TProbeListView : public TCustomListView {
 public:
  using TCustomListView::PaintLater;
  using TCustomListView::TCustomListView;
  std::set<int> imageAsked, captionAsked, subItemsAsked, askedOutsidePaint;
  int editCalls = 0;
  bool lastEditCancelled = false;
  std::vector<std::pair<TListItem*, int>> changes;
  int dragBegins = 0;
  bool inPaint = false;

 protected:
  void WndProc(TMessage& message) override {
    const bool paint = message.Msg == WM_PAINT;
    if (paint) inPaint = true;
    TCustomListView::WndProc(message);
    if (paint) inPaint = false;
  }
  void GetImageIndex(TListItem* item) override {
    imageAsked.insert(item->Index());
    if (!inPaint) askedOutsidePaint.insert(item->Index());
    if (item->ImageIndex() < 0) item->SetImageIndex(item->Index() % 2);
    TCustomListView::GetImageIndex(item);
  }
  void GetItemText(TListItem* item, unsigned parts) override {
    if (parts & ltCaption) {
      captionAsked.insert(item->Index());
      item->SetCaption("Item " + std::to_string(item->Index()));
    }
    if (parts & ltSubItems) {
      subItemsAsked.insert(item->Index());
      item->SubItems()->Add("size " + std::to_string(item->Index()));
    }
    TCustomListView::GetItemText(item, parts);
  }
  void Edit(const LVITEMW& record) override {
    ++editCalls;
    lastEditCancelled = record.pszText == nullptr;
    TCustomListView::Edit(record);
  }
  void Change(TListItem* item, int change) override {
    changes.emplace_back(item, change);
    TCustomListView::Change(item, change);
  }
  void BeginItemDrag(TListItem*, TMouseButton) override { ++dragBegins; }
};

// Items whose images take 4 ms each to work out.
class TSlowListView : public TProbeListView {
 public:
  using TProbeListView::TProbeListView;

 protected:
  void GetImageIndex(TListItem* item) override {
    if (item->ImageIndex() < 0) Sleep(4);
    TProbeListView::GetImageIndex(item);
  }
};

struct ListViewTest : ::testing::Test {
  // One form for the suite: a shown top-level window takes Wine seconds to destroy.
  static inline std::unique_ptr<TForm> form;
  TProbeListView* list = nullptr;
  TCustomImageList* images = nullptr;

  static void SetUpTestSuite() {
    form = std::make_unique<TForm>();
    form->SetBounds(40, 40, 460, 360);
    form->Show();
  }
  static void TearDownTestSuite() { form.reset(); }

  void TearDown() override {
    delete list;
    delete images;
  }

  void SetUp() override {
    images = new TCustomImageList(16, 16, form.get());
    TBitmap bitmap(16, 16);
    images->Add(&bitmap, nullptr);
    images->Add(&bitmap, nullptr);
    Place(new TProbeListView(form.get()));
  }
  // Makes `view` the list of the test: on the form, in report view with two columns.
  void Place(TProbeListView* view) {
    delete list;
    list = view;
    list->SetParent(form.get());
    list->SetBounds(0, 0, 440, 320);
    list->SetViewStyle(vsReport);
    list->SetSmallImages(images);
    list->Columns()->Add()->SetCaption("Name");
    list->Columns()->Items(0)->SetWidth(150);
    list->Columns()->Add()->SetCaption("Size");
    list->Columns()->Items(1)->SetWidth(100);
  }

  // Fills `count` items whose texts come from the provider and whose images are asked for.
  void FillLazy(int count) {
    list->Items()->BeginUpdate();
    for (int i = 0; i < count; ++i) list->Items()->Add()->SetTextPending(ltCaption | ltSubItems);
    list->Items()->EndUpdate();
  }

  void FillNamed(std::initializer_list<const char*> names) {
    list->Items()->BeginUpdate();
    for (const char* name : names) list->Items()->Add()->SetCaption(name);
    list->Items()->EndUpdate();
  }

  void Paint() {
    InvalidateRect(list->Handle(), nullptr, TRUE);
    UpdateWindow(list->Handle());
  }

  POINT Center(const RECT& r) { return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }
};

TEST_F(ListViewTest, LazyTextsAndImagesAreAskedOnlyForDrawnItems) {
  FillLazy(10000);
  EXPECT_EQ(list->Items()->Count(), 10000);
  EXPECT_TRUE(list->captionAsked.empty());
  list->changes.clear();
  Paint();
  EXPECT_TRUE(list->changes.empty());  // completing items for the control is no change

  // Only the rows on screen were asked; each of them once for its texts.
  ASSERT_FALSE(list->captionAsked.empty());
  EXPECT_LT(list->captionAsked.size(), 40u);
  EXPECT_LT(*list->captionAsked.rbegin(), 40);
  EXPECT_LT(*list->imageAsked.rbegin(), 40);
  EXPECT_EQ(list->subItemsAsked, list->captionAsked);
  EXPECT_EQ(list->Items()->Item(0)->ImageIndex(), 0);
  EXPECT_EQ(list->Items()->Item(1)->ImageIndex(), 1);
  EXPECT_EQ(list->Items()->Item(5000)->ImageIndex(), -1);

  // The program reading an undrawn item's texts runs the provider for that item, once.
  TListItem* distant = list->Items()->Item(5000);
  EXPECT_EQ(distant->Caption(), "Item 5000");
  EXPECT_EQ(distant->SubItems()->Strings(0), "size 5000");
  EXPECT_EQ(distant->Caption(), "Item 5000");
  EXPECT_EQ(list->captionAsked.count(5000), 1u);
  const size_t asked = list->captionAsked.size();
  Paint();
  EXPECT_EQ(list->captionAsked.size(), asked);  // drawn again: texts are kept

  // The control draws what the provider gave.
  wchar_t text[64] = {};
  LVITEMW it{};
  it.iSubItem = 1;
  it.pszText = text;
  it.cchTextMax = 64;
  SendMessageW(list->Handle(), LVM_GETITEMTEXTW, 3, LPARAM(&it));
  EXPECT_STREQ(text, L"size 3");
}

// Items slow to complete: a paint completes what fits its budget, draws the rest blank and
// draws them on a later tick, so the window is not held for a whole screenful.
TEST_F(ListViewTest, SlowItemsAreCompletedOverSeveralPaintsAndAllEndUpDrawn) {
  Place(new TSlowListView(form.get()));
  FillLazy(100);
  Paint();
  // The first rows were completed in the paint, the others left for later.
  ASSERT_FALSE(list->imageAsked.empty());
  EXPECT_EQ(*list->imageAsked.begin(), 0);
  const size_t firstPaint = list->imageAsked.size();
  EXPECT_LT(firstPaint, 10u);
  EXPECT_EQ(list->captionAsked, list->imageAsked);  // a row left blank is not asked its texts

  // Later ticks draw the rest of the screen, each row completed once.
  ASSERT_TRUE(testing_support::PumpMessagesUntil([&] { return list->imageAsked.size() >= 12; }));
  for (int i = 0; i < 12; ++i) EXPECT_EQ(list->Items()->Item(i)->ImageIndex(), i % 2) << i;
  EXPECT_EQ(list->subItemsAsked, list->captionAsked);
  wchar_t text[64] = {};
  LVITEMW it{};
  it.pszText = text;
  it.cchTextMax = 64;
  SendMessageW(list->Handle(), LVM_GETITEMTEXTW, 11, LPARAM(&it));
  EXPECT_STREQ(text, L"Item 11");
}

// A list that completes an item when it is drawn, whichever comes first: the control's request
// for its image or its custom drawing (Wine asks the image first, Windows draws first).
TEST_F(ListViewTest, CustomDrawingThatCompletesItemsKeepsToThePaintsBudget) {
  class TDrawCompletingListView : public TSlowListView {
   public:
    using TSlowListView::TSlowListView;

   protected:
    bool IsCustomDrawn(TCustomDrawTarget target, TCustomDrawStage stage) override {
      return (target == dtItem && stage == cdPrePaint) ||
             TSlowListView::IsCustomDrawn(target, stage);
    }
    bool CustomDrawItem(TListItem* item, TCustomDrawState state, TCustomDrawStage stage) override {
      if (stage == cdPrePaint && item->ImageIndex() < 0 && !DrawnBlankInPaint(item)) {
        Sleep(4);
        item->SetImageIndex(item->Index() % 2);
      }
      return TSlowListView::CustomDrawItem(item, state, stage);
    }
  };
  Place(new TDrawCompletingListView(form.get()));
  FillLazy(100);
  const auto completed = [&] {
    int count = 0;
    for (int i = 0; i < list->Items()->Count(); ++i)
      count += list->Items()->Item(i)->ImageIndex() >= 0 ? 1 : 0;
    return count;
  };
  Paint();
  // The first rows were completed in the paint; the rows drawn blank wait for later ticks.
  EXPECT_GE(list->Items()->Item(0)->ImageIndex(), 0);
  EXPECT_LT(completed(), 10);
  ASSERT_TRUE(testing_support::PumpMessagesUntil([&] { return completed() >= 12; }));
  for (int i = 0; i < 12; ++i) EXPECT_GE(list->Items()->Item(i)->ImageIndex(), 0) << i;
}

// Work that filled a tick puts the drawing off to the next one: nothing is left to paint now,
// and the whole list is drawn a tick later.
// Counts the header's paints, and the rows drawn before each.
struct HeaderPaints {
  static LRESULT CALLBACK Proc(HWND window, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR,
                               DWORD_PTR self) {
    if (msg == WM_PAINT) {
      auto* paints = reinterpret_cast<HeaderPaints*>(self);
      paints->rowsBefore.push_back(paints->list->imageAsked.size());
      paints->insideListsPaint = paints->insideListsPaint || paints->list->inPaint;
    }
    return DefSubclassProc(window, msg, wp, lp);
  }
  explicit HeaderPaints(TProbeListView* l) : list(l), header(l->HeaderHandle()) {
    SetWindowSubclass(header, Proc, 1, DWORD_PTR(this));
  }
  ~HeaderPaints() { RemoveWindowSubclass(header, Proc, 1); }
  TProbeListView* list;
  HWND header;
  std::vector<size_t> rowsBefore;
  bool insideListsPaint = false;
};

TEST_F(ListViewTest, PaintLaterDrawsTheHeaderAndThenTheRowsOnLaterTicks) {
  FillLazy(50);
  Paint();
  list->imageAsked.clear();
  InvalidateRect(list->Handle(), nullptr, TRUE);
  const HWND header = list->HeaderHandle();
  ASSERT_NE(header, nullptr);
  InvalidateRect(header, nullptr, TRUE);
  HeaderPaints paints(list);
  list->PaintLater();
  RECT pending{};
  EXPECT_FALSE(GetUpdateRect(list->Handle(), &pending, FALSE));
  EXPECT_FALSE(GetUpdateRect(header, &pending, FALSE));
  UpdateWindow(list->Handle());
  EXPECT_TRUE(list->imageAsked.empty());
  EXPECT_TRUE(paints.rowsBefore.empty());
  ASSERT_TRUE(testing_support::PumpMessagesUntil([&] { return !list->imageAsked.empty(); }));
  EXPECT_EQ(*list->imageAsked.begin(), 0);
  EXPECT_GT(list->imageAsked.size(), 10u);
  // The header alone first; the rows' paint found it drawn.
  testing_support::PumpMessagesUntil([] { return false; }, 100);
  ASSERT_EQ(paints.rowsBefore.size(), 1u);
  EXPECT_EQ(paints.rowsBefore[0], 0u);
  EXPECT_FALSE(paints.insideListsPaint);
}

TEST_F(ListViewTest, WhatAScrollUncoversIsDrawnOnTheNextTick) {
  FillLazy(500);
  Paint();
  list->imageAsked.clear();
  RECT client{};
  GetClientRect(list->Handle(), &client);
  SendMessageW(list->Handle(), LVM_SCROLL, 0, client.bottom / 2);
  EXPECT_TRUE(list->imageAsked.empty()) << "drawn inside the scroll";
  const int top = int(SendMessageW(list->Handle(), LVM_GETTOPINDEX, 0, 0));
  ASSERT_GT(top, 0);
  // A second scroll before the drawing takes what the first left along with it.
  SendMessageW(list->Handle(), LVM_SCROLL, 0, client.bottom / 2);
  const int second = int(SendMessageW(list->Handle(), LVM_GETTOPINDEX, 0, 0));
  ASSERT_GT(second, top);
  EXPECT_TRUE(list->imageAsked.empty());
  ASSERT_TRUE(testing_support::PumpMessagesUntil([&] { return !list->imageAsked.empty(); }));
  testing_support::PumpMessagesUntil([] { return false; }, 100);
  // Every row on the screen, and only those: the half uncovered by each scroll.
  const int perPage = int(SendMessageW(list->Handle(), LVM_GETCOUNTPERPAGE, 0, 0));
  for (int i = second; i < second + perPage; ++i) EXPECT_TRUE(list->imageAsked.count(i)) << i;
  EXPECT_GE(*list->imageAsked.begin(), second);
  RECT pending{};
  EXPECT_FALSE(GetUpdateRect(list->Handle(), &pending, FALSE));
}

// Items a scroll uncovered are completed on a tick of their own, as the paint would ask for
// them, and drawn on a later one.
TEST_F(ListViewTest, WhatAScrollUncoversIsCompletedBeforeItIsDrawn) {
  FillLazy(500);
  Paint();
  list->imageAsked.clear();
  list->askedOutsidePaint.clear();
  RECT client{};
  GetClientRect(list->Handle(), &client);
  SendMessageW(list->Handle(), LVM_SCROLL, 0, client.bottom / 2);
  const int top = int(SendMessageW(list->Handle(), LVM_GETTOPINDEX, 0, 0));
  const int perPage = int(SendMessageW(list->Handle(), LVM_GETCOUNTPERPAGE, 0, 0));
  ASSERT_GT(top, 0);
  ASSERT_TRUE(testing_support::PumpMessagesUntil([&] { return !list->imageAsked.empty(); }));
  testing_support::PumpMessagesUntil([] { return false; }, 100);
  // The rows that came into view, and only rows on the screen, were completed outside a paint.
  EXPECT_TRUE(list->askedOutsidePaint.count(top + perPage - 1));
  EXPECT_GE(*list->askedOutsidePaint.begin(), top);
  EXPECT_LE(*list->askedOutsidePaint.rbegin(), top + perPage);
  // Completed, they are no change to report.
  EXPECT_TRUE(list->changes.empty());
  RECT pending{};
  EXPECT_FALSE(GetUpdateRect(list->Handle(), &pending, FALSE));
  EXPECT_TRUE(list->captionAsked.count(top + perPage - 1));
}

TEST_F(ListViewTest, AScrollInIconViewCompletesTheIconsThatCameIntoView) {
  list->SetLargeImages(images);
  list->SetViewStyle(vsIcon);
  FillLazy(400);
  Paint();
  list->imageAsked.clear();
  list->askedOutsidePaint.clear();
  RECT client{};
  GetClientRect(list->Handle(), &client);
  SendMessageW(list->Handle(), LVM_SCROLL, 0, client.bottom);
  ASSERT_TRUE(testing_support::PumpMessagesUntil([&] { return !list->imageAsked.empty(); }));
  testing_support::PumpMessagesUntil([] { return false; }, 100);
  ASSERT_FALSE(list->askedOutsidePaint.empty());
  const auto meetsClient = [&](int index) {
    RECT icon{};
    icon.left = LVIR_ICON;
    SendMessageW(list->Handle(), LVM_GETITEMRECT, WPARAM(index), LPARAM(&icon));
    RECT meet{};
    return IntersectRect(&meet, &icon, &client) != FALSE;
  };
  for (int index : list->askedOutsidePaint) EXPECT_TRUE(meetsClient(index)) << index;
  for (int i = 0; i < list->Items()->Count(); ++i) {
    if (meetsClient(i)) {
      EXPECT_TRUE(list->imageAsked.count(i)) << i;
    }
  }
}

// An update that ends with a put-off paint turns drawing back on a tick later; the rows follow.
TEST_F(ListViewTest, PaintLaterInsideAnUpdateDrawsOnlyOnLaterTicks) {
  FillLazy(50);
  Paint();
  list->imageAsked.clear();
  HeaderPaints paints(list);
  list->Items()->BeginUpdate();
  list->Items()->Clear();
  for (int i = 0; i < 300; ++i) list->Items()->Add()->SetTextPending(ltCaption | ltSubItems);
  list->PaintLater();
  list->Items()->EndUpdate();
  RECT pending{};
  EXPECT_FALSE(GetUpdateRect(list->Handle(), &pending, FALSE));
  UpdateWindow(list->Handle());
  EXPECT_TRUE(list->imageAsked.empty());
  EXPECT_TRUE(paints.rowsBefore.empty());
  EXPECT_EQ(SendMessageW(list->Handle(), LVM_GETITEMCOUNT, 0, 0), 300);
  ASSERT_TRUE(testing_support::PumpMessagesUntil([&] { return list->imageAsked.count(0) > 0; }));
  testing_support::PumpMessagesUntil([] { return false; }, 100);
  const int perPage = int(SendMessageW(list->Handle(), LVM_GETCOUNTPERPAGE, 0, 0));
  for (int i = 0; i < perPage; ++i) EXPECT_TRUE(list->imageAsked.count(i)) << i;
  ASSERT_FALSE(paints.rowsBefore.empty());
  EXPECT_EQ(paints.rowsBefore[0], 0u);  // the header before the rows
  EXPECT_FALSE(GetUpdateRect(list->Handle(), &pending, FALSE));
  // An update without a put-off paint draws with its end again.
  list->imageAsked.clear();
  list->Items()->BeginUpdate();
  list->Items()->Item(0)->SetCaption("first");
  list->Items()->EndUpdate();
  UpdateWindow(list->Handle());
  EXPECT_TRUE(list->imageAsked.count(0));
}

// The end of an update draws the scroll bar that the new items need with the next paint.
TEST_F(ListViewTest, TheEndOfAnUpdateDrawsTheNewScrollBar) {
  FillLazy(5);
  Paint();
  ASSERT_FALSE(GetWindowLongPtrW(list->Handle(), GWL_STYLE) & WS_VSCROLL);
  list->Items()->BeginUpdate();
  for (int i = 0; i < 500; ++i) list->Items()->Add()->SetTextPending(ltCaption | ltSubItems);
  list->Items()->EndUpdate();
  ASSERT_TRUE(GetWindowLongPtrW(list->Handle(), GWL_STYLE) & WS_VSCROLL);
  EXPECT_TRUE(IsWindowVisible(list->Handle()));
  UpdateWindow(list->Handle());
  RECT pending{};
  EXPECT_FALSE(GetUpdateRect(list->Handle(), &pending, FALSE));
  // The bar's down arrow, in the window's bottom right corner, is drawn, not left blank.
  SCROLLBARINFO bar{sizeof bar};
  ASSERT_TRUE(GetScrollBarInfo(list->Handle(), OBJID_VSCROLL, &bar));
  RECT window{};
  GetWindowRect(list->Handle(), &window);
  const int width = bar.rcScrollBar.right - bar.rcScrollBar.left;
  const int x = bar.rcScrollBar.left - window.left + width / 2;
  const int y = bar.rcScrollBar.bottom - window.top - width / 2;
  HDC dc = GetWindowDC(list->Handle());
  const COLORREF arrow = GetPixel(dc, x, y);
  int unlike = 0;
  for (int dy = -width / 3; dy <= width / 3; ++dy)
    unlike += GetPixel(dc, x, y + dy) != GetSysColor(COLOR_WINDOW) ? 1 : 0;
  ReleaseDC(list->Handle(), dc);
  EXPECT_NE(arrow, CLR_INVALID);
  EXPECT_GT(unlike, 0);
}

// A new list filled inside an update: the update's end draws nothing and lays out the rows,
// and the paint it leaves pending draws them from the top, under the header.
TEST_F(ListViewTest, TheEndOfAnUpdateOnANewListLeavesItsRowsToThePendingPaint) {
  list->HandleNeeded();
  UpdateWindow(list->Handle());
  FillLazy(300);
  EXPECT_TRUE(list->captionAsked.empty());
  SCROLLINFO bar{sizeof bar, SIF_RANGE | SIF_PAGE};
  ASSERT_TRUE(GetScrollInfo(list->Handle(), SB_VERT, &bar));
  EXPECT_EQ(bar.nMax, 299);
  EXPECT_GT(bar.nPage, 0u);
  UpdateWindow(list->Handle());
  ASSERT_FALSE(list->captionAsked.empty());
  EXPECT_EQ(*list->captionAsked.begin(), 0);
  EXPECT_LT(*list->captionAsked.rbegin(), 40);
  RECT header{}, row{};
  GetWindowRect(list->HeaderHandle(), &header);
  MapWindowPoints(nullptr, list->Handle(), reinterpret_cast<POINT*>(&header), 2);
  row = list->Items()->Item(0)->DisplayRect(drBounds);
  EXPECT_EQ(row.top, header.bottom);
  EXPECT_GT(row.bottom, row.top);
}

// A header waiting to be drawn still waits after the end of an update.
TEST_F(ListViewTest, TheEndOfAnUpdateKeepsTheHeaderToDraw) {
  FillLazy(5);
  Paint();
  const HWND header = list->HeaderHandle();
  UpdateWindow(header);
  RECT pending{};
  list->Items()->BeginUpdate();
  list->Items()->Add()->SetTextPending(ltCaption | ltSubItems);
  list->Columns()->Items(1)->SetCaption("Bytes");
  ASSERT_TRUE(GetUpdateRect(header, &pending, FALSE));
  list->Items()->EndUpdate();
  EXPECT_TRUE(GetUpdateRect(header, &pending, FALSE));
}

TEST_F(ListViewTest, PaintLaterWithNothingToDrawDrawsNothingLater) {
  FillLazy(50);
  Paint();
  list->imageAsked.clear();
  list->PaintLater();
  // A row changed after it was put off is drawn by its own paint alone.
  RECT row = list->Items()->Item(3)->DisplayRect(drBounds);
  InvalidateRect(list->Handle(), &row, TRUE);
  ASSERT_TRUE(testing_support::PumpMessagesUntil([&] { return !list->imageAsked.empty(); }));
  testing_support::PumpMessagesUntil([] { return false; }, 100);
  EXPECT_TRUE(list->imageAsked.count(3));
  EXPECT_LT(list->imageAsked.size(), 4u);  // not the whole screen of rows
}

TEST_F(ListViewTest, CustomSortPassesFullWidthDataAndKeepsSelectionWithItems) {
  FillNamed({"c", "a", "d", "b"});
  for (int i = 0; i < 4; ++i)
    list->Items()->Item(i)->SetData(reinterpret_cast<void*>(intptr_t(10 - i)));
  TListItem* d = list->Items()->Item(2);
  d->SetSelected(true);
  d->SetFocused(true);

  const LPARAM wide = LPARAM(0x123456789ABCDEF0LL);
  LPARAM seen = 0;
  list->CustomSort(
      [&](TListItem* a, TListItem* b, LPARAM data) {
        seen = data;
        return int(reinterpret_cast<intptr_t>(a->Data()) - reinterpret_cast<intptr_t>(b->Data()));
      },
      wide);
  EXPECT_EQ(seen, wide);
  // Data 7, 8, 9, 10: b, d, a, c.
  EXPECT_EQ(list->Items()->Item(0)->Caption(), "b");
  EXPECT_EQ(list->Items()->Item(1)->Caption(), "d");
  EXPECT_EQ(list->Items()->Item(3)->Caption(), "c");
  EXPECT_EQ(d->Index(), 1);
  EXPECT_EQ(list->Selected(), d);
  EXPECT_EQ(list->ItemFocused(), d);
  EXPECT_EQ(list->SelCount(), 1);

  list->AlphaSort();
  EXPECT_EQ(list->Items()->Item(0)->Caption(), "a");
  EXPECT_EQ(list->Items()->Item(3)->Caption(), "d");
  EXPECT_EQ(list->Selected(), d);

  // OnCompare decides when no compare function is given.
  list->OnCompare = [](TObject*, TListItem* a, TListItem* b, LPARAM, int& compare) {
    compare = -AnsiCompareText(a->Caption(), b->Caption());
  };
  list->AlphaSort();
  EXPECT_EQ(list->Items()->Item(0)->Caption(), "d");
}

// The numbers held in the items' Data, in list order.
std::vector<int> Numbers(TCustomListView& view) {
  std::vector<int> numbers;
  for (int i = 0; i < view.Items()->Count(); ++i)
    numbers.push_back(int(reinterpret_cast<intptr_t>(view.Items()->Item(i)->Data())));
  return numbers;
}

TEST_F(ListViewTest, SortByKeysOrdersByKeyAndTheExactCompareRepairsWhatTheKeysGotWrong) {
  const std::vector<int> start{5, 3, 9, 1, 7, 3, 0, 8};
  list->Items()->BeginUpdate();
  for (int n : start) list->Items()->Add()->SetData(reinterpret_cast<void*>(intptr_t(n)));
  list->Items()->EndUpdate();
  auto number = [](TListItem* item) { return int(reinterpret_cast<intptr_t>(item->Data())); };
  auto keysOf = [&](auto key) {
    std::vector<std::string> keys;
    for (int i = 0; i < list->Items()->Count(); ++i)
      keys.push_back(key(number(list->Items()->Item(i))));
    return keys;
  };
  TListItem* seven = list->Items()->Item(4);
  seven->SetSelected(true);
  seven->SetFocused(true);

  // Keys alone: byte order, equal keys keep their order (the two 3s by their items).
  TListItem* firstThree = list->Items()->Item(1);
  EXPECT_EQ(list->SortByKeys(keysOf([](int n) { return std::string(1, char('0' + n)); }), false,
                             nullptr, 0),
            0);
  EXPECT_EQ(Numbers(*list), (std::vector<int>{0, 1, 3, 3, 5, 7, 8, 9}));
  EXPECT_EQ(list->Items()->Item(2), firstThree);
  EXPECT_EQ(list->Selected(), seven);
  EXPECT_EQ(list->ItemFocused(), seven);
  EXPECT_EQ(list->SelCount(), 1);

  // Keys that misplace two items (8 and 0 look like 4): the exact compare puts them right, and
  // the data reaches it.
  LPARAM seen = 0;
  const auto exact = [&](TListItem* a, TListItem* b, LPARAM data) {
    seen = data;
    return number(b) - number(a);  // descending
  };
  const int moved = list->SortByKeys(
      keysOf([](int n) { return std::string(1, char('0' + (n == 8 || n == 0 ? 4 : n))); }), true,
      exact, 77);
  EXPECT_GT(moved, 0);
  EXPECT_EQ(seen, 77);
  EXPECT_EQ(Numbers(*list), (std::vector<int>{9, 8, 7, 5, 3, 3, 1, 0}));
  EXPECT_EQ(list->Selected(), seven);

  // Keys that have it all backwards: the exact compare still decides.
  EXPECT_NE(list->SortByKeys(
                keysOf([](int n) { return std::string(1, char('9' - n)); }), false,
                [&](TListItem* a, TListItem* b, LPARAM) { return number(a) - number(b); }, 0),
            0);
  EXPECT_EQ(Numbers(*list), (std::vector<int>{0, 1, 3, 3, 5, 7, 8, 9}));
  EXPECT_EQ(list->Selected(), seven);
  EXPECT_THROW(list->SortByKeys({"a"}, false, nullptr, 0), EListError);
}

TEST_F(ListViewTest, EndUpdateWithNothingSelectedLeavesNothingSelected) {
  FillNamed({"c", "a", "b"});
  list->Items()->BeginUpdate();
  list->Items()->Insert(0)->SetCaption("d");
  list->AlphaSort();
  list->Items()->EndUpdate();
  EXPECT_EQ(list->SelCount(), 0);
  EXPECT_EQ(list->ItemFocused(), nullptr);
  TListItem* b = list->Items()->Item(1);
  b->SetSelected(true);
  b->SetFocused(true);
  list->Items()->BeginUpdate();
  list->Items()->Insert(0)->SetCaption("e");
  list->Items()->EndUpdate();
  EXPECT_EQ(list->Selected(), b);
  EXPECT_EQ(list->ItemFocused(), b);
  EXPECT_EQ(list->SelCount(), 1);
}

TEST_F(ListViewTest, BatchRedrawsOnlyWhereAppendedItemsComeIntoView) {
  FillNamed({"a", "b", "c"});
  list->Items()->Item(1)->SetSelected(true);
  UpdateWindow(list->Handle());
  RECT second{};
  ASSERT_TRUE(ListView_GetItemRect(list->Handle(), 2, &second, LVIR_BOUNDS));
  list->Items()->BeginBatch();
  for (int i = 0; i < 50; ++i) list->Items()->Add()->SetCaption("z" + std::to_string(i));
  list->Items()->EndBatch();
  EXPECT_EQ(ListView_GetItemCount(list->Handle()), 53);
  RECT dirty{};
  ASSERT_TRUE(GetUpdateRect(list->Handle(), &dirty, FALSE));
  EXPECT_GE(dirty.top, second.bottom) << "the rows already shown are not drawn again";
  EXPECT_EQ(list->Selected(), list->Items()->Item(1));

  // A reorder inside the bracket redraws everything and keeps the selection with its item.
  UpdateWindow(list->Handle());
  TListItem* b = list->Items()->Item(1);
  list->Items()->BeginBatch();
  list->Items()->Add()->SetCaption("0");
  list->AlphaSort();
  list->Items()->EndBatch();
  ASSERT_TRUE(GetUpdateRect(list->Handle(), &dirty, FALSE));
  EXPECT_LE(dirty.top, second.top);
  EXPECT_EQ(list->Items()->Item(0)->Caption(), "0");
  EXPECT_EQ(list->Selected(), b);
  EXPECT_EQ(list->SelCount(), 1);
}

TEST_F(ListViewTest, InsertAndDeleteKeepSelectionAndReportDeletion) {
  FillNamed({"a", "b", "c"});
  TListItem* c = list->Items()->Item(2);
  c->SetSelected(true);
  std::vector<String> deleted;
  list->OnDeletion = [&](TObject*, TListItem* item) { deleted.push_back(item->Caption()); };

  TListItem* first = list->Items()->Insert(0);
  first->SetCaption("new");
  EXPECT_EQ(c->Index(), 3);
  EXPECT_TRUE(c->Selected());
  EXPECT_FALSE(list->Items()->Item(2)->Selected());

  list->Items()->Delete(1);  // "a"
  EXPECT_EQ(deleted, std::vector<String>{"a"});
  EXPECT_EQ(c->Index(), 2);
  EXPECT_TRUE(c->Selected());
  EXPECT_EQ(list->SelCount(), 1);
  EXPECT_EQ(list->GetNextItem(nullptr, sdAll, ItemStateBit(isSelected)), c);

  list->Items()->Item(0)->SetCut(true);
  EXPECT_EQ(list->GetNextItem(nullptr, sdAll, ItemStateBit(isCut)), list->Items()->Item(0));

  list->Items()->Clear();
  EXPECT_EQ(deleted.size(), 4u);
  EXPECT_EQ(list->Items()->Count(), 0);
  EXPECT_EQ(list->Selected(), nullptr);
}

TEST_F(ListViewTest, SelectionChangesReachChangeAndOnSelectItem) {
  FillNamed({"a", "b", "c"});
  std::vector<std::pair<TListItem*, bool>> selections;
  list->OnSelectItem = [&](TObject*, TListItem* item, bool selected) {
    selections.emplace_back(item, selected);
  };
  list->changes.clear();
  list->Items()->Item(1)->SetSelected(true);
  ASSERT_FALSE(list->changes.empty());
  EXPECT_EQ(list->changes.back().first, list->Items()->Item(1));
  EXPECT_TRUE(list->changes.back().second & LVIF_STATE);
  ASSERT_EQ(selections.size(), 1u);
  EXPECT_TRUE(selections[0].second);

  // A caption set by the program is a text change.
  list->changes.clear();
  list->Items()->Item(0)->SetCaption("renamed");
  ASSERT_EQ(list->changes.size(), 1u);
  EXPECT_EQ(list->changes[0].second, LVIF_TEXT);

  // Refusing in OnChanging keeps the selection the program asked for.
  int asked = 0;
  list->OnChanging = [&](TObject*, TListItem*, TItemChange change, bool& allow) {
    ++asked;
    EXPECT_EQ(change, ctState);
    allow = false;
  };
  list->Items()->Item(2)->SetSelected(true);
  EXPECT_FALSE(list->Items()->Item(2)->Selected());
  EXPECT_EQ(asked, 1);
  list->OnChanging = nullptr;
  list->Items()->Item(2)->SetSelected(true);
  EXPECT_TRUE(list->Items()->Item(2)->Selected());
}

TEST_F(ListViewTest, CancelledEditIsSeenByEditAndKeepsCaption) {
  FillNamed({"alpha", "beta"});
  TListItem* item = list->Items()->Item(0);
  String edited;
  list->OnEdited = [&](TObject*, TListItem*, String& s) { edited = s; };

  ASSERT_TRUE(item->EditCaption());
  EXPECT_TRUE(list->IsEditing());
  HWND edit = HWND(SendMessageW(list->Handle(), LVM_GETEDITCONTROL, 0, 0));
  ASSERT_NE(edit, nullptr);
  SetWindowTextW(edit, L"gamma");
  SendMessageW(edit, WM_KEYDOWN, VK_ESCAPE, 0);
  testing_support::PumpMessagesUntil([&] { return list->editCalls > 0; }, 3000);
  EXPECT_EQ(list->editCalls, 1);
  EXPECT_TRUE(list->lastEditCancelled);
  EXPECT_EQ(item->Caption(), "alpha");
  EXPECT_TRUE(edited.empty());

  // Confirmed: OnEdited may change the text, which becomes the caption.
  list->OnEdited = [&](TObject*, TListItem*, String& s) {
    edited = s;
    s += "!";
  };
  ASSERT_TRUE(item->EditCaption());
  edit = HWND(SendMessageW(list->Handle(), LVM_GETEDITCONTROL, 0, 0));
  ASSERT_NE(edit, nullptr);
  SetWindowTextW(edit, L"gamma");
  SendMessageW(edit, WM_KEYDOWN, VK_RETURN, 0);
  testing_support::PumpMessagesUntil([&] { return list->editCalls > 1; }, 3000);
  EXPECT_FALSE(list->lastEditCancelled);
  EXPECT_EQ(edited, "gamma");
  EXPECT_EQ(item->Caption(), "gamma!");

  // CanEdit refuses for a read-only list.
  list->SetReadOnly(true);
  EXPECT_FALSE(item->EditCaption() && list->IsEditing());
}

TEST_F(ListViewTest, HitTestsFindLabelIconAndStateIcon) {
  auto states = std::make_unique<TCustomImageList>(16, 16);
  TBitmap bitmap(16, 16);
  states->Add(&bitmap, nullptr);
  states->Add(&bitmap, nullptr);
  list->SetStateImages(states.get());
  FillNamed({"one", "two", "three"});
  list->Items()->Item(1)->SetStateIndex(1);
  Paint();

  TListItem* two = list->Items()->Item(1);
  const RECT label = two->DisplayRect(drLabel);
  const POINT p = Center(label);
  EXPECT_EQ(list->GetItemAt(p.x, p.y), two);
  THitTests hit = list->GetHitTestInfoAt(p.x, p.y);
  EXPECT_TRUE(hit & HitBit(htOnLabel));
  EXPECT_TRUE(hit & HitBit(htOnItem));

  const RECT icon = two->DisplayRect(drIcon);
  const POINT i = Center(icon);
  EXPECT_TRUE(list->GetHitTestInfoAt(i.x, i.y) & HitBit(htOnIcon));

  // The state icon sits left of the icon.
  const POINT s{icon.left - 8, i.y};
  EXPECT_TRUE(list->GetHitTestInfoAt(s.x, s.y) & HitBit(htOnStateIcon));

  // Below the last item: nowhere.
  const RECT last = list->Items()->Item(2)->DisplayRect(drBounds);
  EXPECT_EQ(list->GetItemAt(p.x, last.bottom + 40), nullptr);
  EXPECT_TRUE(list->GetHitTestInfoAt(p.x, last.bottom + 40) & HitBit(htNowhere));
}

TEST_F(ListViewTest, CustomDrawItemSeesDrawnItemsAndItsColourIsUsed) {
  FillLazy(500);
  std::set<int> drawn;
  list->OnCustomDrawItem = [&](TCustomListView* sender, TListItem* item, TCustomDrawState,
                               bool& defaultDraw) {
    drawn.insert(item->Index());
    sender->Canvas()->Font()->SetColor(clBlue);
    defaultDraw = true;
  };
  Paint();
  ASSERT_FALSE(drawn.empty());
  EXPECT_LT(*drawn.rbegin(), 40);
  EXPECT_EQ(list->imageAsked, drawn);

  // The first item's label was drawn in blue.
  const RECT label = list->Items()->Item(0)->DisplayRect(drLabel);
  HDC dc = GetDC(list->Handle());
  bool blue = false;
  for (int y = label.top; y < label.bottom && !blue; ++y)
    for (int x = label.left; x < label.right && !blue; ++x) {
      const COLORREF c = GetPixel(dc, x, y);
      blue = GetBValue(c) > 150 && GetRValue(c) < 90 && GetGValue(c) < 90;
    }
  ReleaseDC(list->Handle(), dc);
  EXPECT_TRUE(blue);
}

// Whether a pixel of `rect` in the list's window matches `match`.
bool AnyPixel(HWND wnd, const RECT& rect, const std::function<bool(COLORREF)>& match) {
  HDC dc = GetDC(wnd);
  bool found = false;
  for (int y = rect.top; y < rect.bottom && !found; ++y)
    for (int x = rect.left; x < rect.right && !found; ++x) found = match(GetPixel(dc, x, y));
  ReleaseDC(wnd, dc);
  return found;
}

TEST_F(ListViewTest, CustomDrawSubItemSeesEachColumnAndItsColourAndSkipAreUsed) {
  FillLazy(50);
  std::set<std::pair<int, int>> drawn;
  list->OnCustomDrawSubItem = [&](TCustomListView* sender, TListItem* item, int subItem,
                                  TCustomDrawState, bool& defaultDraw) {
    drawn.insert({item->Index(), subItem});
    if (subItem == 1 && item->Index() == 0) sender->Canvas()->Font()->SetColor(clRed);
    if (subItem == 1 && item->Index() == 1) defaultDraw = false;
  };
  Paint();
  ASSERT_FALSE(drawn.empty());
  EXPECT_TRUE(drawn.count({0, 0}));
  EXPECT_TRUE(drawn.count({0, 1}));
  EXPECT_TRUE(drawn.count({5, 1}));
  EXPECT_LT(drawn.rbegin()->first, 40);  // only what is shown

  const auto red = [](COLORREF c) {
    return GetRValue(c) > 150 && GetGValue(c) < 90 && GetBValue(c) < 90;
  };
  const auto ink = [](COLORREF c) { return GetRValue(c) + GetGValue(c) + GetBValue(c) < 300; };
  RECT size0{}, size1{}, size2{};
  ASSERT_TRUE(ListView_GetSubItemRect(list->Handle(), 0, 1, LVIR_LABEL, &size0));
  ASSERT_TRUE(ListView_GetSubItemRect(list->Handle(), 1, 1, LVIR_LABEL, &size1));
  ASSERT_TRUE(ListView_GetSubItemRect(list->Handle(), 2, 1, LVIR_LABEL, &size2));
  EXPECT_TRUE(AnyPixel(list->Handle(), size0, red));
  EXPECT_FALSE(AnyPixel(list->Handle(), list->Items()->Item(0)->DisplayRect(drLabel), red));
  EXPECT_FALSE(AnyPixel(list->Handle(), size1, ink));  // skipped: nothing drawn there
  EXPECT_TRUE(AnyPixel(list->Handle(), size2, ink));

  // Without the handler the control no longer asks about sub-items.
  list->OnCustomDrawSubItem = nullptr;
  drawn.clear();
  Paint();
  EXPECT_TRUE(drawn.empty());
  EXPECT_TRUE(AnyPixel(list->Handle(), size1, ink));
}

TEST_F(ListViewTest, InfoTipRequestReachesOnInfoTipAndItsTextGoesBack) {
  FillNamed({"first", "second"});
  list->HandleNeeded();
  TListItem* asked = nullptr;
  String given;
  list->OnInfoTip = [&](TObject* sender, TListItem* item, String& tip) {
    EXPECT_EQ(sender, list);
    asked = item;
    given = tip;
    tip = "Tip of " + item->Caption() + " \xF0\x9F\x98\x80";  // ends in a pair of surrogates
  };
  // The request as the control sends it to its parent, which reflects it to the control.
  const auto request = [&](int index, const wchar_t* shown, int size) {
    std::vector<wchar_t> buffer(size_t(size) + 4, L'#');
    wcscpy(buffer.data(), shown);
    NMLVGETINFOTIPW tip{};
    tip.hdr.hwndFrom = list->Handle();
    tip.hdr.idFrom = UINT_PTR(GetDlgCtrlID(list->Handle()));
    tip.hdr.code = LVN_GETINFOTIPW;
    tip.pszText = buffer.data();
    tip.cchTextMax = size;
    tip.iItem = index;
    SendMessageW(form->Handle(), WM_NOTIFY, tip.hdr.idFrom, LPARAM(&tip));
    return std::wstring(buffer.data());
  };
  EXPECT_EQ(request(1, L"sec\x2026", 80), L"Tip of second \xD83D\xDE00");
  EXPECT_EQ(asked, list->Items()->Item(1));
  EXPECT_EQ(given, "sec\xE2\x80\xA6");  // the control's own text comes in
  // A short buffer takes what fits, never half a pair.
  EXPECT_EQ(request(0, L"", 14), L"Tip of first ");
  EXPECT_EQ(request(0, L"", 15), L"Tip of first ");
  EXPECT_EQ(request(0, L"", 16), L"Tip of first \xD83D\xDE00");
  // No item: nothing asked.
  asked = nullptr;
  request(7, L"", 80);
  EXPECT_EQ(asked, nullptr);
}

TEST_F(ListViewTest, ColumnsHeaderAndViewStyles) {
  HWND header = list->HeaderHandle();
  ASSERT_NE(header, nullptr);
  EXPECT_EQ(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0), 2);
  list->Columns()->Items(1)->SetAlignment(taRightJustify);
  HDITEMW hd{};
  hd.mask = HDI_FORMAT;
  SendMessageW(header, HDM_GETITEMW, 1, LPARAM(&hd));
  EXPECT_TRUE(hd.fmt & HDF_RIGHT);
  EXPECT_EQ(list->Columns()->Items(0)->Width(), 150);

  TListColumn* clicked = nullptr;
  list->OnColumnClick = [&](TObject*, TListColumn* column) { clicked = column; };
  RECT r{};
  SendMessageW(header, HDM_GETITEMRECT, 1, LPARAM(&r));
  SendMessageW(header, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM((r.left + r.right) / 2, 5));
  SendMessageW(header, WM_LBUTTONUP, 0, MAKELPARAM((r.left + r.right) / 2, 5));
  EXPECT_EQ(clicked, list->Columns()->Items(1));

  list->Columns()->BeginUpdate();
  list->Columns()->Add()->SetCaption("Type");
  list->Columns()->Delete(0);
  list->Columns()->EndUpdate();
  EXPECT_EQ(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0), 2);

  FillNamed({"x", "y"});
  list->Items()->Item(1)->SetSelected(true);
  list->SetViewStyle(vsSmallIcon);
  EXPECT_EQ(GetWindowLongPtrW(list->Handle(), GWL_STYLE) & LVS_TYPEMASK, LVS_SMALLICON);
  list->SetViewStyle(vsList);
  EXPECT_EQ(GetWindowLongPtrW(list->Handle(), GWL_STYLE) & LVS_TYPEMASK, LVS_LIST);
  EXPECT_EQ(list->Selected(), list->Items()->Item(1));
}

// Columns given anew in an update: those the control already has as they should be stay, the
// rest are changed, added or taken away, and a user's order of the columns is dropped.
TEST_F(ListViewTest, ColumnsGivenAgainKeepWhatTheControlAlreadyHas) {
  struct HeaderInserts {
    static LRESULT CALLBACK Proc(HWND window, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR,
                                 DWORD_PTR self) {
      if (msg == HDM_INSERTITEMW) ++*reinterpret_cast<int*>(self);
      return DefSubclassProc(window, msg, wp, lp);
    }
  };
  const HWND header = list->HeaderHandle();
  int inserts = 0;
  SetWindowSubclass(header, HeaderInserts::Proc, 1, DWORD_PTR(&inserts));
  const auto give = [&](std::vector<std::pair<const char*, int>> columns) {
    TListColumns* all = list->Columns();
    all->BeginUpdate();
    all->Clear();
    for (const auto& [caption, width] : columns) {
      TListColumn* column = all->Add();
      column->SetCaption(caption);
      column->SetWidth(width);
    }
    all->EndUpdate();
  };
  const auto caption = [&](int index) {
    wchar_t text[64] = {};
    HDITEMW item{};
    item.mask = HDI_TEXT;
    item.pszText = text;
    item.cchTextMax = 64;
    SendMessageW(header, HDM_GETITEMW, WPARAM(index), LPARAM(&item));
    return ToUtf8(text);
  };
  give({{"Name", 150}, {"Size", 100}});
  EXPECT_EQ(inserts, 0);
  give({{"Name", 150}, {"Type", 120}, {"Modified", 90}});
  EXPECT_EQ(inserts, 1);
  ASSERT_EQ(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0), 3);
  EXPECT_EQ(caption(1), "Type");
  EXPECT_EQ(SendMessageW(list->Handle(), LVM_GETCOLUMNWIDTH, 1, 0), 120);
  EXPECT_EQ(caption(2), "Modified");
  give({{"Name", 150}});
  EXPECT_EQ(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0), 1);
  give({{"Name", 150}, {"Size", 100}});
  int order[2] = {1, 0};
  SendMessageW(list->Handle(), LVM_SETCOLUMNORDERARRAY, 2, LPARAM(order));
  inserts = 0;
  give({{"Name", 150}, {"Size", 100}});
  EXPECT_EQ(inserts, 2);
  SendMessageW(list->Handle(), LVM_GETCOLUMNORDERARRAY, 2, LPARAM(order));
  EXPECT_EQ(order[0], 0);
  EXPECT_EQ(order[1], 1);
  RemoveWindowSubclass(header, HeaderInserts::Proc, 1);
}

TEST_F(ListViewTest, RecreatedWindowKeepsItemsSelectionAndColumns) {
  FillNamed({"a", "b", "c"});
  list->Items()->Item(2)->SetSelected(true);
  list->SetMultiSelect(true);
  HWND before = list->Handle();
  list->RecreateWnd();
  list->HandleNeeded();
  EXPECT_NE(list->Handle(), before);
  EXPECT_EQ(SendMessageW(list->Handle(), LVM_GETITEMCOUNT, 0, 0), 3);
  EXPECT_EQ(list->Selected(), list->Items()->Item(2));
  EXPECT_EQ(SendMessageW(list->HeaderHandle(), HDM_GETITEMCOUNT, 0, 0), 2);
}

TEST_F(ListViewTest, TypedPrefixFindsItemThroughProvider) {
  FillNamed({"apple", "banana", "cherry"});
  LVFINDINFOW find{};
  find.flags = LVFI_PARTIAL | LVFI_STRING | LVFI_WRAP;
  find.psz = L"CH";
  EXPECT_EQ(SendMessageW(list->Handle(), LVM_FINDITEMW, WPARAM(-1), LPARAM(&find)), 2);
}

}  // namespace

namespace {

// An image list that makes a new handle (re-created for a new mask flag, or given one) is
// followed by the view; one that goes away is let go of.
TEST_F(ListViewTest, ViewFollowsTheImageListsNewHandle) {
  list->SetLargeImages(images);
  list->HandleNeeded();
  auto shown = [&](int which) {
    return HIMAGELIST(SendMessageW(list->Handle(), LVM_GETIMAGELIST, WPARAM(which), 0));
  };
  EXPECT_EQ(shown(LVSIL_SMALL), images->Handle());
  HIMAGELIST before = images->Handle();
  images->SetMasked(false);
  ASSERT_NE(images->Handle(), before);
  EXPECT_EQ(shown(LVSIL_SMALL), images->Handle());
  EXPECT_EQ(shown(LVSIL_NORMAL), images->Handle());

  HIMAGELIST given = ImageList_Create(32, 32, ILC_COLOR32, 1, 1);
  images->SetHandle(given);
  EXPECT_EQ(shown(LVSIL_SMALL), given);

  // Changes held back by BeginUpdate arrive at EndUpdate.
  images->BeginUpdate();
  images->SetMasked(true);
  EXPECT_NE(shown(LVSIL_SMALL), images->Handle());
  images->EndUpdate();
  EXPECT_EQ(shown(LVSIL_SMALL), images->Handle());

  delete images;
  images = nullptr;
  EXPECT_EQ(list->SmallImages(), nullptr);
  EXPECT_EQ(shown(LVSIL_SMALL), nullptr);
}

}  // namespace

TEST_F(ListViewTest, IconsAddedToAShownIconViewAreLaidOutApart) {
  list->SetViewStyle(vsIcon);
  list->HandleNeeded();
  FillNamed({"one", "two", "three"});
  list->Items()->Add()->SetCaption("four");  // one more, outside an update
  std::vector<POINT> origins;
  for (int i = 0; i < 4; ++i) {
    RECT r{};
    r.left = LVIR_ICON;
    ASSERT_TRUE(SendMessageW(list->Handle(), LVM_GETITEMRECT, WPARAM(i), LPARAM(&r)));
    origins.push_back(POINT{r.left, r.top});
  }
  for (size_t i = 1; i < origins.size(); ++i)
    EXPECT_FALSE(origins[i].x == origins[0].x && origins[i].y == origins[0].y) << i;
}

TEST(ListViewForm, ColumnsComeFromTheFormFileAndAreWrittenBack) {
  const char* text =
      "object Files: TForm\r\n"
      "  Left = 40\r\n"
      "  Top = 40\r\n"
      "  object List: TListView\r\n"
      "    Columns = <\r\n"
      "      item\r\n"
      "        Caption = 'Name'\r\n"
      "        Width = 150\r\n"
      "      end\r\n"
      "      item\r\n"
      "        Alignment = taRightJustify\r\n"
      "        Caption = 'Size'\r\n"
      "      end>\r\n"
      "    ViewStyle = vsReport\r\n"
      "  end\r\n"
      "end\r\n";
  std::unique_ptr<TForm> form(TForm::CreateFromText(text));
  auto* list = dynamic_cast<TListView*>(form->FindComponent("List"));
  ASSERT_NE(list, nullptr);
  ASSERT_EQ(list->Columns()->Count(), 2);
  EXPECT_EQ(list->Columns()->Items(0)->Caption(), "Name");
  EXPECT_EQ(list->Columns()->Items(0)->Width(), 150);
  EXPECT_EQ(list->Columns()->Items(0)->Alignment(), taLeftJustify);
  EXPECT_EQ(list->Columns()->Items(1)->Caption(), "Size");
  EXPECT_EQ(list->Columns()->Items(1)->Width(), 50);
  EXPECT_EQ(list->Columns()->Items(1)->Alignment(), taRightJustify);
  // The control shows them.
  list->HandleNeeded();
  HWND header = list->HeaderHandle();
  ASSERT_NE(header, nullptr);
  EXPECT_EQ(Header_GetItemCount(header), 2);

  const String written = WriteComponentText(form.get());
  EXPECT_NE(written.find("    Columns = <\r\n      item\r\n        Caption = 'Name'\r\n"
                         "        Width = 150\r\n      end\r\n      item\r\n"
                         "        Alignment = taRightJustify\r\n        Caption = 'Size'\r\n"
                         "      end>\r\n"),
            String::npos)
      << written;
  std::unique_ptr<TForm> again(TForm::CreateFromText(written));
  auto* list2 = dynamic_cast<TListView*>(again->FindComponent("List"));
  ASSERT_NE(list2, nullptr);
  ASSERT_EQ(list2->Columns()->Count(), 2);
  EXPECT_EQ(list2->Columns()->Items(1)->Alignment(), taRightJustify);
  EXPECT_EQ(WriteComponentText(again.get()), written);

  // No columns, nothing written; an empty collection reads as none; a bad item names its line.
  list2->Columns()->Clear();
  EXPECT_EQ(WriteComponentText(again.get()).find("Columns"), String::npos);
  std::unique_ptr<TForm> empty(TForm::CreateFromText(
      "object E: TForm\r\n  object L: TListView\r\n    Columns = <>\r\n  end\r\nend\r\n"));
  EXPECT_EQ(dynamic_cast<TListView*>(empty->FindComponent("L"))->Columns()->Count(), 0);
  try {
    std::unique_ptr<TForm> bad(TForm::CreateFromText(
        "object B: TForm\r\n  object L: TListView\r\n    Columns = <\r\n      item\r\n"
        "        Colour = 3\r\n      end>\r\n  end\r\nend\r\n"));
    ADD_FAILURE() << "read";
  } catch (const EReadError& e) {
    EXPECT_EQ(e.Line(), 5);
    EXPECT_NE(String(e.Message()).find("TListColumn"), String::npos) << e.Message();
  }
}

namespace {

// Whether the header shows its captions: some of its pixels are as dark as text.
bool HeaderDrawn(HWND header) {
  RECT client{};
  GetClientRect(header, &client);
  return AnyPixel(header, client, [](COLORREF c) {
    return c != CLR_INVALID && GetRValue(c) < 100 && GetGValue(c) < 100 && GetBValue(c) < 100;
  });
}

}  // namespace

// A list of many items refilled with its paint put off, as a navigation does, to many items, to
// none, and again before the last put-off paint is through: its header ends up drawn each time.
TEST_F(ListViewTest, APutOffPaintAfterARefillLeavesTheHeaderDrawn) {
  FillLazy(10000);
  Paint();
  const HWND header = list->HeaderHandle();
  ASSERT_TRUE(HeaderDrawn(header));
  const auto refill = [&](int count) {
    list->Items()->BeginUpdate();
    list->Items()->Clear();
    list->PaintLater();
    for (int i = 0; i < count; ++i) list->Items()->Add()->SetTextPending(ltCaption | ltSubItems);
    list->Items()->EndUpdate();
  };
  const auto settle = [](DWORD ms) { testing_support::PumpMessagesUntil([] { return false; }, ms); };
  for (int count : {10000, 0, 10000}) {
    refill(count);
    settle(300);
    EXPECT_TRUE(HeaderDrawn(header)) << count << " items";
  }
  refill(0);
  settle(20);
  refill(10000);
  settle(300);
  EXPECT_TRUE(HeaderDrawn(header)) << "refilled between the stages";
  // An update that ends with no paint put off draws at once, its header kept.
  list->Items()->BeginUpdate();
  list->Items()->Item(0)->SetCaption("first");
  list->Items()->EndUpdate();
  UpdateWindow(list->Handle());
  EXPECT_TRUE(HeaderDrawn(header)) << "after an update";
}
