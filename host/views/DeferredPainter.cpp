// TDeferredPainter: the paint budget, the put-off paint's stages on timer ticks, what a scroll
// uncovered, and the first layout worked out unseen.
#include "host/views/DeferredPainter.h"

#include <commctrl.h>

#include <algorithm>

namespace host {

namespace {

// What one paint may spend on its rows' work before it leaves the rest for the next tick.
constexpr int64_t kPaintBudgetMs = 10;
// What the tick after a scroll may spend completing the rows it uncovered, before their paint.
constexpr int64_t kScrolledBudgetMs = 15;
constexpr UINT_PTR kTimer = 0x5A4C;

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

bool IsScrollMessage(UINT msg) {
  return msg == LVM_SCROLL || msg == WM_VSCROLL || msg == WM_HSCROLL || msg == WM_MOUSEWHEEL ||
         msg == WM_MOUSEHWHEEL;
}

}  // namespace

// ---- Messages

bool TDeferredPainter::WndProc(TMessage& message) {
  if (IsScrollMessage(message.Msg)) {
    // What a scroll left to draw is pending again, so that this scroll moves it along.
    InvalidateScrolledRegion();
    ScopedValue scrolling{scrolling_, true};
    view_.PaintMessage(message);
    return true;
  }
  if (message.Msg == WM_PAINT) {
    {
      ScopedValue depth{paintDepth_, paintDepth_ + 1};
      if (scrolling_ && message.WParam == 0) {
        PaintWhileScrolling(message);
      } else {
        Paint(message);
      }
    }
    if (paintDepth_ == 0) view_.PaintEnded();
    return true;
  }
  if (message.Msg == WM_TIMER && message.WParam == kTimer) {
    Tick();
    return true;
  }
  return false;
}

void TDeferredPainter::WindowDestroyed() {
  deferredFirst_ = deferredLast_ = -1;
  stage_ = TStage::none;
  drawLater_ = false;
  laidOut_ = false;
  scrolledToDraw_.reset();
  scrolledCompleted_ = false;
}

void TDeferredPainter::Paint(TMessage& message) {
  ScopedValue spent{paintSpent_, int64_t(0)};
  view_.PaintMessage(message);
  // A timer, not a posted message: input and other timers waiting go first.
  if (deferredFirst_ >= 0) DrawOnNextTick();
}

void TDeferredPainter::PaintWhileScrolling(TMessage& message) {
  // The control draws what a scroll uncovered inside the scroll, whose moving of the window's
  // contents costs a good part of a tick already: the drawing waits for the next tick.
  const HWND wnd = view_.ViewWindow();
  UniqueGdiObject pending{CreateRectRgn(0, 0, 0, 0)};
  const HRGN region = HRGN(pending.get());
  if (GetUpdateRgn(wnd, region, FALSE) > NULLREGION) {
    ValidateRgn(wnd, region);
    if (scrolledToDraw_) CombineRgn(region, region, HRGN(scrolledToDraw_.get()), RGN_OR);
    scrolledToDraw_ = std::move(pending);
    DrawOnNextTick();
  }
  message.Result = 0;
}

void TDeferredPainter::Tick() {
  const HWND wnd = view_.ViewWindow();
  KillTimer(wnd, kTimer);
  if (stage_ == TStage::drawing) {
    // Turning drawing back on lays out the scroll bars and draws them, a good part of a tick
    // under Wine: the header and the rows follow on ticks of their own.
    SendMessageW(wnd, WM_SETREDRAW, TRUE, 0);
    DropPendingPaint();
    stage_ = TStage::layout;
    DrawOnNextTick();
    return;
  }
  if (stage_ == TStage::layout) {
    // The control works out its rows' layout and scroll bars in its first paint after drawing
    // came back on, before any row: a paint of one corner pixel does that alone.
    RECT client{};
    GetClientRect(wnd, &client);
    const RECT corner{client.right - 1, client.bottom - 1, client.right, client.bottom};
    InvalidateRect(wnd, &corner, FALSE);
    UpdateWindow(wnd);
    DropPendingPaint();
    DrawOnNextTick();
    return;
  }
  if (scrolledToDraw_ && !scrolledCompleted_ && CompleteScrolledRows()) {
    // What the scroll uncovered is worked out on this tick and maybe the next; it is drawn on
    // the one after.
    DrawOnNextTick();
    return;
  }
  InvalidateScrolledRegion();
  const HWND header = view_.HeaderWindow();
  if (stage_ == TStage::header && header) {
    // The control draws its header inside its own paint, before the rows: drawn first alone,
    // it is up to date then.
    stage_ = TStage::rows;
    RedrawWindow(header, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE);
    DrawOnNextTick();
    return;
  }
  if (std::exchange(stage_, TStage::none) != TStage::none) {
    deferredFirst_ = deferredLast_ = -1;
    InvalidateRows(0);
    return;
  }
  RedrawDeferred();
}

// ---- Painting later

void TDeferredPainter::PaintLater(bool updating) {
  const HWND wnd = view_.ViewWindow();
  if (!wnd || !IsWindowVisible(wnd)) return;
  if (updating) {
    drawLater_ = true;  // the end of the update turns drawing on a tick later
    return;
  }
  if (stage_ == TStage::drawing) return;  // everything is drawn after that anyway
  // The header too: its drawing can cost as much as a screen of rows. With nothing waiting to be
  // drawn, there is nothing to put off.
  const HWND header = view_.HeaderWindow();
  if (!GetUpdateRect(wnd, nullptr, FALSE) && !(header && GetUpdateRect(header, nullptr, FALSE)))
    return;
  DropPendingPaint();
  DrawOnNextTick();
}

void TDeferredPainter::DrawOnNextTick() {
  SetTimer(view_.ViewWindow(), kTimer, USER_TIMER_MINIMUM, nullptr);
}

void TDeferredPainter::DropPendingPaint() {
  RedrawWindow(view_.ViewWindow(), nullptr, nullptr,
               RDW_VALIDATE | RDW_NOERASE | RDW_ALLCHILDREN);
  const HWND header = view_.HeaderWindow();
  stage_ = header && IsWindowVisible(header) ? TStage::header : TStage::rows;
}

void TDeferredPainter::UpdateEnded() {
  const HWND wnd = view_.ViewWindow();
  if (!wnd) return;
  if (std::exchange(drawLater_, false) && IsWindowVisible(wnd)) {
    // Nothing is drawn before drawing is on: what the update left pending is dropped.
    RedrawWindow(wnd, nullptr, nullptr, RDW_VALIDATE | RDW_NOERASE | RDW_ALLCHILDREN);
    stage_ = TStage::drawing;
    DrawOnNextTick();
    return;
  }
  if (stage_ == TStage::drawing) stage_ = TStage::none;
  // Turning drawing on lays out the scroll bars, and Wine draws each at once, twice over. With
  // the window's visible flag off for that moment, they are drawn once, with the next paint.
  // The header is drawn again only when it waited to be or the scroll bars moved it: its
  // drawing costs as much as a screen of rows.
  const HWND header = view_.HeaderWindow();
  const bool shown = (GetWindowLongPtrW(wnd, GWL_STYLE) & WS_VISIBLE) != 0;
  RECT was{}, is{};
  bool headerToo = header && GetUpdateRect(header, nullptr, FALSE);
  if (header) GetWindowRect(header, &was);
  if (shown) DefWindowProcW(wnd, WM_SETREDRAW, FALSE, 0);
  if (shown) LayOutUnseen();
  SendMessageW(wnd, WM_SETREDRAW, TRUE, 0);
  if (shown) DefWindowProcW(wnd, WM_SETREDRAW, TRUE, 0);
  if (header) GetWindowRect(header, &is);
  headerToo = headerToo || !EqualRect(&was, &is);
  if (headerToo) {
    RedrawWindow(wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
  } else {
    InvalidateRows(RDW_FRAME);
  }
}

void TDeferredPainter::InvalidateRows(UINT flags) {
  const HWND wnd = view_.ViewWindow(), header = view_.HeaderWindow();
  RedrawWindow(wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_NOCHILDREN | flags);
  // The window does not clip its children: its erasing would blank the header's part of it, and
  // the header, not asked to draw, would stay blank. That part is the header's to draw.
  if (!header || !IsWindowVisible(header)) return;
  RECT box{};
  GetWindowRect(header, &box);
  MapWindowPoints(nullptr, wnd, reinterpret_cast<POINT*>(&box), 2);
  RedrawWindow(wnd, &box, nullptr, RDW_VALIDATE | RDW_NOCHILDREN);
}

void TDeferredPainter::LayOutUnseen() {
  if (laidOut_ || view_.RowCount() == 0) return;
  // In its first paint with rows the control works out their size and lays out its scroll
  // bars, which Wine draws at once, twice over: a quarter of that paint. Printed while drawing
  // is off, clipped to nothing, the paint works out the size alone and draws nothing; turning
  // drawing on then lays out the scroll bars once, unseen, and the paint only draws.
  UniqueDC dc{CreateCompatibleDC(nullptr)};
  UniqueGdiObject nothing{CreateRectRgn(0, 0, 0, 0)};
  if (!dc || !nothing) return;
  SelectClipRgn(dc.get(), HRGN(nothing.get()));
  SendMessageW(view_.ViewWindow(), WM_PRINTCLIENT, WPARAM(dc.get()), PRF_CLIENT);
  laidOut_ = true;
}

// ---- The budget

TDeferredPainter::TWork::~TWork() {
  if (painter_ && began_) painter_->paintSpent_ += Counter() - began_;
}

TDeferredPainter::TWork TDeferredPainter::CountWork(bool counts) {
  return TWork(this, counts && Painting() ? Counter() : 0);
}

bool TDeferredPainter::DrawnBlank(int index, bool wholeRow) {
  if (!Painting()) return false;
  if (deferredFirst_ >= 0 && index >= deferredFirst_ && index <= deferredLast_) return true;
  // A part of a row follows its row; a row with nothing to work out is drawn as it is.
  if (!wholeRow || !view_.RowHasWork(index)) return false;
  if (paintSpent_ < kPaintBudgetMs * CounterPerMs()) return false;
  deferredFirst_ = deferredFirst_ < 0 ? index : std::min(deferredFirst_, index);
  deferredLast_ = std::max(deferredLast_, index);
  return true;
}

void TDeferredPainter::RedrawDeferred() {
  const int first = std::exchange(deferredFirst_, -1), last = std::exchange(deferredLast_, -1);
  if (first < 0 || !view_.ViewWindow()) return;
  const int count = view_.RowCount();
  if (first >= count) return;
  view_.RedrawRows(first, std::min(last, count - 1));
}

// ---- Scrolls

void TDeferredPainter::InvalidateScrolledRegion() {
  scrolledCompleted_ = false;
  scrolledNext_ = 0;
  if (!scrolledToDraw_) return;
  InvalidateRgn(view_.ViewWindow(), HRGN(scrolledToDraw_.get()), TRUE);
  scrolledToDraw_.reset();
}

bool TDeferredPainter::CompleteScrolledRows() {
  const HRGN region = HRGN(scrolledToDraw_.get());
  RECT box{};
  scrolledCompleted_ = true;
  if (GetRgnBox(region, &box) == NULLREGION) return false;
  const auto [first, last] = view_.RowsMeeting(box);
  const int64_t began = Counter(), budget = kScrolledBudgetMs * CounterPerMs();
  bool worked = false;
  int i = std::max(first, scrolledNext_);
  for (; i <= last && Counter() - began < budget; ++i)
    if (view_.CompleteRow(i, region)) worked = true;
  scrolledNext_ = i;
  scrolledCompleted_ = i > last;
  return worked;
}

}  // namespace host
