// Painting put off to later timer ticks, for a view over a common control whose rows take work
// to draw (texts and images completed when first drawn).
//   TDeferredPainter          the paint budget and the rows drawn blank beyond it, the paint put
//                             off in stages, the region a scroll uncovered, the first layout
//   TDeferredPainter::THooks  what the painter asks of its view
//   TDeferredPainter::TWork   a guard that counts work done in a paint against its budget
//
// A paint spends at most a budget of time on the work of its rows; rows beyond it are drawn
// blank and drawn again a tick later, so a screen of slow rows does not hold the window's input
// and timers. A paint put off (PaintLater) drops what waits to be drawn and draws it on later
// ticks: the header on one, the rows on the next; after an update of the items, drawing is
// turned back on and the layout worked out on two ticks before. What a scroll uncovers is
// completed on a tick of its own and drawn on the next. The view's window does not clip its
// children: when the painter has the rows drawn again, it leaves the header's part of the window
// to the header.
#pragma once

#include "host/core/Messages.h"
#include "host/core/Raii.h"

#include <windows.h>

#include <cstdint>
#include <utility>

namespace host {

class TDeferredPainter {
 public:
  class THooks {
   public:
    // The view's window, nullptr while it has none; its header window, nullptr when none.
    virtual HWND ViewWindow() const = 0;
    virtual HWND HeaderWindow() const = 0;
    // The view's own handling of a message the painter takes part in (paints, scrolls).
    virtual void PaintMessage(TMessage& message) = 0;
    virtual int RowCount() const = 0;
    // Whether drawing row `index` has work to do.
    virtual bool RowHasWork(int index) const = 0;
    // The first and last row that may meet `box` (client coordinates); last < first for none.
    virtual std::pair<int, int> RowsMeeting(const RECT& box) const = 0;
    // Does the work of row `index`, as drawing it would, when the row meets `region`; whether
    // there was any.
    virtual bool CompleteRow(int index, HRGN region) = 0;
    // Has rows first..last drawn again.
    virtual void RedrawRows(int first, int last) = 0;
    // The outermost paint of the window has ended.
    virtual void PaintEnded() = 0;

   protected:
    ~THooks() = default;
  };

  // Counts the time from its making to its end against the budget of the paint under way.
  class [[nodiscard]] TWork {
   public:
    TWork(TWork&& other) noexcept
        : painter_(std::exchange(other.painter_, nullptr)), began_(other.began_) {}
    TWork(const TWork&) = delete;
    TWork& operator=(const TWork&) = delete;
    TWork& operator=(TWork&&) = delete;
    ~TWork();

   private:
    friend class TDeferredPainter;
    TWork(TDeferredPainter* painter, int64_t began) : painter_(painter), began_(began) {}
    TDeferredPainter* painter_;
    int64_t began_;
  };

  explicit TDeferredPainter(THooks& view) : view_(view) {}
  TDeferredPainter(const TDeferredPainter&) = delete;
  TDeferredPainter& operator=(const TDeferredPainter&) = delete;

  // Takes the view's paints, scrolls and the painter's timer, handing the view's own part of
  // them to PaintMessage; false for any other message, which the view handles itself.
  bool WndProc(TMessage& message);
  // Forgets what it knew of the window, which goes: a new one draws every row.
  void WindowDestroyed();

  // Whether a paint of the window is under way.
  bool Painting() const { return paintDepth_ > 0; }
  // Whether the paint under way draws row `index` blank, its budget spent; the row is drawn
  // again on a later tick. A part of a row (`wholeRow` false) follows its row.
  bool DrawnBlank(int index, bool wholeRow);
  // Counts work from now to the guard's end against the paint's budget; nothing outside a paint
  // or when `counts` is false.
  TWork CountWork(bool counts = true);

  // Drops the paint pending now and paints everything later, the header on the next tick and
  // the rows on the one after; nothing when nothing waits to be drawn. `updating`: the items are
  // inside an update, whose end (UpdateEnded) then turns drawing back on a tick later.
  void PaintLater(bool updating);
  // At the end of an update of the items: drawing back on, and everything drawn anew, now or, when
  // a put-off paint was asked for inside the update, on later ticks.
  void UpdateEnded();

 private:
  // A paint put off: after an update, drawing is turned back on and the layout worked out on
  // ticks of their own; then the header is drawn on one tick and the rows on the next.
  enum class TStage { none, drawing, layout, header, rows };

  void Tick();
  void PaintWhileScrolling(TMessage& message);
  void Paint(TMessage& message);
  // Arms the timer: the next stage runs on the next tick.
  void DrawOnNextTick();
  // Validates what waits to be drawn, to draw the header and then the rows on later ticks.
  void DropPendingPaint();
  // Has the rows drawn again with their background, never the header's part of the window.
  void InvalidateRows(UINT flags);
  // Makes the region a scroll left undrawn pending again.
  void InvalidateScrolledRegion();
  // Completes the rows that meet the region a scroll uncovered, from where the last call
  // stopped and within a budget; whether it completed any.
  bool CompleteScrolledRows();
  // Has the control work out its rows' size, which it does in its first paint with rows, without
  // drawing: called with drawing and the window's visible flag off.
  void LayOutUnseen();
  void RedrawDeferred();

  THooks& view_;
  int paintDepth_ = 0;
  int64_t paintSpent_ = 0;  // performance-counter ticks this paint spent on its rows' work
  int deferredFirst_ = -1, deferredLast_ = -1;  // rows drawn blank, to draw again
  TStage stage_ = TStage::none;
  bool drawLater_ = false;  // the update under way ends with a put-off paint
  bool laidOut_ = false;    // this window's rows have their size: its paints only draw
  bool scrolling_ = false;
  UniqueGdiObject scrolledToDraw_;  // the region a scroll uncovered, drawn on the next tick
  bool scrolledCompleted_ = false;  // ... whose rows were completed on ticks of their own
  int scrolledNext_ = 0;            // ... up to this index
};

}  // namespace host
