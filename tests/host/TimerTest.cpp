#include "host/core/Streaming.h"
#include "host/core/Timer.h"
#include "host/forms/Application.h"

#include <gtest/gtest.h>

#include "Pump.h"

#include <functional>
#include <stdexcept>

using namespace host;
using testing_support::PumpMessagesUntil;

namespace {

// A timer that tells when it is freed.
class TFreeWatchTimer : public TTimer {
 public:
  TFreeWatchTimer(TComponent* owner, bool& freed) : TTimer(owner), freed_(freed) {}
  ~TFreeWatchTimer() override { freed_ = true; }

 private:
  bool& freed_;
};

// The hidden message windows (AllocateHWnd) the calling thread has now.
int HiddenWindowsOfThisThread() {
  int count = 0;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND wnd, LPARAM lp) -> BOOL {
        wchar_t name[32] = {};
        GetClassNameW(wnd, name, 32);
        if (lstrcmpW(name, L"HostUtilWindow") == 0) ++*reinterpret_cast<int*>(lp);
        return TRUE;
      },
      LPARAM(&count));
  // Message-only windows are not among the thread's windows: they are found by their class.
  for (HWND wnd = FindWindowExW(HWND_MESSAGE, nullptr, L"HostUtilWindow", nullptr); wnd;
       wnd = FindWindowExW(HWND_MESSAGE, wnd, L"HostUtilWindow", nullptr))
    if (GetWindowThreadProcessId(wnd, nullptr) == GetCurrentThreadId()) ++count;
  return count;
}

}  // namespace

TEST(Timer, FiresOnTimerWithItselfAsSender) {
  TTimer timer;
  EXPECT_TRUE(timer.Enabled());
  EXPECT_EQ(timer.Interval(), 1000u);
  int fired = 0;
  TObject* sender = nullptr;
  timer.SetInterval(10);
  // A plain assignment right after construction is noticed too.
  timer.OnTimer = [&](TObject* s) {
    ++fired;
    sender = s;
  };
  ASSERT_TRUE(PumpMessagesUntil([&] { return fired >= 3; }));
  EXPECT_EQ(sender, &timer);
}

TEST(Timer, IntervalChangeRearmsTheTimer) {
  TTimer timer;
  int fired = 0;
  timer.SetInterval(600000);
  timer.SetOnTimer([&](TObject*) { ++fired; });
  Application().ProcessMessages();
  timer.SetInterval(10);  // would wait ten minutes if the old timer stayed armed
  ASSERT_TRUE(PumpMessagesUntil([&] { return fired >= 1; }));
}

TEST(Timer, DisabledTimerStaysQuietUntilEnabled) {
  int quiet = 0;
  int reference = 0;
  TTimer disabled;
  disabled.SetEnabled(false);
  disabled.SetInterval(1);
  disabled.SetOnTimer([&](TObject*) { ++quiet; });
  TTimer clock;
  clock.SetInterval(20);
  clock.SetOnTimer([&](TObject*) { ++reference; });
  ASSERT_TRUE(PumpMessagesUntil([&] { return reference >= 5; }));
  EXPECT_EQ(quiet, 0);

  disabled.SetEnabled(true);
  ASSERT_TRUE(PumpMessagesUntil([&] { return quiet >= 1; }));

  // Cleared through the setter, it stops; assigned again, it runs.
  clock.SetOnTimer(nullptr);
  disabled.SetOnTimer(nullptr);
  int again = 0;
  disabled.SetOnTimer([&](TObject*) { ++again; });
  ASSERT_TRUE(PumpMessagesUntil([&] { return again >= 1; }));
}

TEST(Timer, ExceptionInOnTimerGoesToTheApplication) {
  String reported;
  TObject* reportedSender = &Application();
  auto saved = Application().OnException;
  Application().OnException = [&](TObject* sender, const std::exception& e) {
    reported = e.what();
    reportedSender = sender;
  };
  {
    TTimer timer;
    timer.SetInterval(10);
    timer.SetOnTimer([&](TObject*) { throw std::runtime_error("tick failed"); });
    PumpMessagesUntil([&] { return !reported.empty(); });
  }
  Application().OnException = saved;
  EXPECT_EQ(reported, "tick failed");
  EXPECT_EQ(reportedSender, nullptr);
}

TEST(Timer, OwnedTimerIsFreedByItsOwnerAndStops) {
  const int windowsBefore = HiddenWindowsOfThisThread();
  int fired = 0;
  bool freed = false;
  auto* owner = new TComponent(nullptr);
  auto* timer = new TFreeWatchTimer(owner, freed);
  timer->SetInterval(1);
  timer->SetOnTimer([&](TObject*) { ++fired; });
  EXPECT_EQ(HiddenWindowsOfThisThread(), windowsBefore + 1);
  ASSERT_TRUE(PumpMessagesUntil([&] { return fired >= 1; }));
  delete owner;
  EXPECT_TRUE(freed);
  EXPECT_EQ(HiddenWindowsOfThisThread(), windowsBefore);
  // Another timer gives the freed one time to fire, should it still run.
  const int firedAtFree = fired;
  int ticks = 0;
  TTimer clock;
  clock.SetInterval(5);
  clock.SetOnTimer([&](TObject*) { ++ticks; });
  ASSERT_TRUE(PumpMessagesUntil([&] { return ticks >= 10; }));
  EXPECT_EQ(fired, firedAtFree);
}

TEST(Timer, ReadFromAFormWithItsHandlerBoundAfterLoading) {
  TEventHandlers handlers;
  int fired = 0;
  handlers.Register<TNotifyEvent>("TickTimer", [&](TObject*) { ++fired; });
  TTimer timer;
  ReadComponentText("object Tick: TTimer\r\n  Interval = 15\r\n  OnTimer = TickTimer\r\nend\r\n",
                    &timer, handlers);
  EXPECT_EQ(timer.Name(), "Tick");
  EXPECT_EQ(timer.Interval(), 15u);
  // The handler arrives after the properties; Loaded arms the timer.
  ASSERT_TRUE(PumpMessagesUntil([&] { return fired >= 1; }));

  TTimer plain;
  plain.SetName("Plain");
  const String text = WriteComponentText(&plain);
  EXPECT_EQ(text.find("Interval"), String::npos);
  EXPECT_EQ(text.find("Enabled"), String::npos);
  plain.SetEnabled(false);
  EXPECT_NE(WriteComponentText(&plain).find("Enabled = False"), String::npos);
}
