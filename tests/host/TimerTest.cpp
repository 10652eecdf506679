#include "host/Application.h"
#include "host/Streaming.h"
#include "host/Timer.h"

#include <gtest/gtest.h>

#include "Pump.h"

#include <functional>
#include <stdexcept>

using namespace host;
using testing_support::PumpMessagesUntil;

namespace {

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
  int fired = 0;
  auto* owner = new TComponent(nullptr);
  auto* timer = new TTimer(owner);
  timer->SetInterval(1);
  timer->SetOnTimer([&](TObject*) { ++fired; });
  ASSERT_TRUE(PumpMessagesUntil([&] { return fired >= 1; }));
  delete owner;
  // Pending WM_TIMER messages of the destroyed window must not reach the freed timer.
  Application().ProcessMessages();
  SUCCEED();
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
