// Deferred painter: the paint's budget, rows drawn blank and drawn again later, the end of the
// outermost paint.
#include "host/views/DeferredPainter.h"

#include "Pump.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

using namespace host;

namespace {

// A window of ten rows whose first drawing takes 4 ms each.
class TSlowRows : public TDeferredPainter::THooks {
 public:
  TSlowRows() {
    static const ATOM atom = [] {
      WNDCLASSEXW wc{sizeof wc};
      wc.lpfnWndProc = Proc;
      wc.hInstance = GetModuleHandleW(nullptr);
      wc.lpszClassName = L"DeferredPainterTestRows";
      return RegisterClassExW(&wc);
    }();
    wnd = CreateWindowExW(0, MAKEINTATOM(atom), L"", WS_POPUP | WS_VISIBLE, 30, 30, 200, 200,
                          nullptr, nullptr, GetModuleHandleW(nullptr), this);
  }
  ~TSlowRows() { DestroyWindow(wnd); }
  int Done() const { return int(std::count(done.begin(), done.end(), true)); }

  HWND wnd = nullptr;
  TDeferredPainter painter{*this};
  std::vector<bool> done = std::vector<bool>(10);
  std::vector<std::pair<int, int>> redrawn;
  int paintsEnded = 0;
  bool nestOnce = true;

 private:
  HWND ViewWindow() const override { return wnd; }
  HWND HeaderWindow() const override { return nullptr; }
  void PaintMessage(TMessage& message) override {
    PAINTSTRUCT paint{};
    if (!message.WParam) BeginPaint(wnd, &paint);
    if (std::exchange(nestOnce, false)) {
      // A paint inside the paint is not the outermost one.
      TMessage inner{WM_PAINT, WPARAM(paint.hdc), 0, 0};
      painter.WndProc(inner);
      EXPECT_EQ(paintsEnded, 0);
    }
    for (int i = 0; i < 10; ++i) {
      if (painter.DrawnBlank(i, true)) continue;
      const auto work = painter.CountWork();
      if (!done[size_t(i)]) Sleep(4);
      done[size_t(i)] = true;
    }
    if (!message.WParam) EndPaint(wnd, &paint);
  }
  int RowCount() const override { return 10; }
  bool RowHasWork(int index) const override { return !done[size_t(index)]; }
  std::pair<int, int> RowsMeeting(const RECT&) const override { return {0, -1}; }
  bool CompleteRow(int, HRGN) override { return false; }
  void RedrawRows(int first, int last) override {
    redrawn.emplace_back(first, last);
    InvalidateRect(wnd, nullptr, FALSE);
  }
  void PaintEnded() override { ++paintsEnded; }

  static LRESULT CALLBACK Proc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
      const auto* create = reinterpret_cast<CREATESTRUCTW*>(lp);
      SetWindowLongPtrW(wnd, GWLP_USERDATA, LONG_PTR(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<TSlowRows*>(GetWindowLongPtrW(wnd, GWLP_USERDATA));
    TMessage message{msg, wp, lp, 0};
    if (self && self->painter.WndProc(message)) return message.Result;
    return DefWindowProcW(wnd, msg, wp, lp);
  }
};

}  // namespace

TEST(DeferredPainter, RowsBeyondThePaintsBudgetAreDrawnBlankAndDrawnOnALaterTick) {
  TSlowRows rows;
  InvalidateRect(rows.wnd, nullptr, FALSE);
  UpdateWindow(rows.wnd);
  const int first = rows.Done();
  EXPECT_GE(first, 1);
  EXPECT_LT(first, 10) << "the paint kept to its budget";
  EXPECT_EQ(rows.paintsEnded, 1);
  EXPECT_FALSE(rows.painter.Painting());
  ASSERT_TRUE(testing_support::PumpMessagesUntil([&] { return rows.Done() == 10; }));
  ASSERT_FALSE(rows.redrawn.empty());
  EXPECT_EQ(rows.redrawn.front(), std::make_pair(first, 9));
}
