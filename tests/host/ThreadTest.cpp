#include "host/core/Messages.h"
#include "host/core/Threads.h"
#include "host/forms/Application.h"

#include <gtest/gtest.h>

#include "Pump.h"

#include <atomic>
#include <functional>
#include <stdexcept>
#include <vector>

using namespace host;
using testing_support::PumpMessagesUntil;

namespace {

// A thread whose work is a callable; the test reaches Synchronize and Queue through it.
class TLambdaThread : public TThread {
 public:
  explicit TLambdaThread(std::function<void(TLambdaThread&)> work, bool* destroyed = nullptr)
      : work_(std::move(work)), destroyed_(destroyed) {}
  ~TLambdaThread() override {
    if (destroyed_) *destroyed_ = true;
  }
  using TThread::Queue;
  using TThread::SetReturnValue;
  using TThread::Synchronize;

 protected:
  void Execute() override { work_(*this); }

 private:
  std::function<void(TLambdaThread&)> work_;
  bool* destroyed_;
};

}  // namespace

TEST(Thread, CreatedSuspendedWithoutPlatformThreadWhichStartMakes) {
  std::atomic<bool> ran{false};
  std::atomic<DWORD> runningOn{0};
  TLambdaThread t([&](TLambdaThread&) {
    ran = true;
    runningOn = GetCurrentThreadId();
  });
  // Waiting costs no platform thread.
  EXPECT_EQ(t.Handle(), nullptr);
  EXPECT_EQ(t.ThreadID(), 0u);
  EXPECT_TRUE(t.Suspended());
  EXPECT_FALSE(t.Finished());
  t.SetPriority(tpHigher);
  EXPECT_EQ(t.Priority(), tpHigher);
  EXPECT_THROW(t.WaitFor(), EThread);
  t.Start();
  EXPECT_NE(t.Handle(), nullptr);
  EXPECT_NE(t.ThreadID(), 0u);
  EXPECT_EQ(t.Priority(), tpHigher) << "the priority set before the start holds";
  EXPECT_FALSE(t.Suspended());
  EXPECT_THROW(t.Start(), EThread);
  t.WaitFor();
  EXPECT_TRUE(ran);
  EXPECT_EQ(runningOn, t.ThreadID());
  EXPECT_TRUE(t.Finished());

  // A thread that never started goes without a platform thread to wait for.
  bool destroyed = false;
  delete new TLambdaThread([&](TLambdaThread&) { ran = false; }, &destroyed);
  EXPECT_TRUE(destroyed);
  EXPECT_TRUE(ran);
}

TEST(Thread, SynchronizeRunsOnTheMainThreadWhileItPumps) {
  std::vector<DWORD> callers;
  TLambdaThread t([&](TLambdaThread& self) {
    for (int i = 0; i < 20; ++i) self.Synchronize([&] { callers.push_back(GetCurrentThreadId()); });
  });
  t.Start();
  const ULONGLONG end = GetTickCount64() + 20000;
  while (!t.Finished() && GetTickCount64() < end) CheckSynchronize(100);
  ASSERT_TRUE(t.Finished());
  ASSERT_EQ(callers.size(), 20u);
  for (DWORD id : callers) EXPECT_EQ(id, GetCurrentThreadId());

  // The same through the application's message handling.
  int calls = 0;
  TLambdaThread u([&](TLambdaThread& self) {
    for (int i = 0; i < 20; ++i) self.Synchronize([&] { ++calls; });
  });
  u.Start();
  ASSERT_TRUE(PumpMessagesUntil([&] { return u.Finished(); }));
  EXPECT_EQ(calls, 20);
}

TEST(Thread, SynchronizeRunsInsideAModalMessageBox) {
  bool inBox = false;
  bool ranInBox = false;
  DWORD caller = 0;
  // Closes the box once the call has run (and, as a safety net, after a long bound).
  auto closeBox = [] {
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND wnd, LPARAM) -> BOOL {
          wchar_t cls[16] = {};
          GetClassNameW(wnd, cls, 16);
          if (lstrcmpW(cls, L"#32770") == 0) PostMessageW(wnd, WM_COMMAND, IDOK, 0);
          return TRUE;
        },
        0);
  };
  static std::function<void()> safetyClose;
  safetyClose = closeBox;
  const UINT_PTR safety =
      SetTimer(nullptr, 0, 30000, [](HWND, UINT, UINT_PTR, DWORD) { safetyClose(); });

  TLambdaThread t([&](TLambdaThread& self) {
    self.Synchronize([&] {
      caller = GetCurrentThreadId();
      ranInBox = inBox;
      closeBox();
    });
  });
  t.Start();
  inBox = true;
  const int answer = Application().MessageBox("Waiting for a worker", "Test", MB_OK);
  inBox = false;
  KillTimer(nullptr, safety);
  EXPECT_EQ(answer, IDOK);
  EXPECT_TRUE(ranInBox);
  EXPECT_EQ(caller, GetCurrentThreadId());
  t.WaitFor();
}

TEST(Thread, OnTerminateRunsOnTheMainThreadAndFreeOnTerminateFrees) {
  bool destroyed = false;
  DWORD terminateThread = 0;
  TObject* sender = nullptr;
  auto* t = new TLambdaThread([](TLambdaThread&) {}, &destroyed);
  t->SetFreeOnTerminate(true);
  t->OnTerminate = [&](TObject* s) {
    terminateThread = GetCurrentThreadId();
    sender = s;
    EXPECT_FALSE(destroyed);
  };
  EXPECT_THROW(t->WaitFor(), EThread);
  t->Start();
  ASSERT_TRUE(PumpMessagesUntil([&] { return destroyed; }));
  EXPECT_EQ(terminateThread, GetCurrentThreadId());
  EXPECT_EQ(sender, t);
}

TEST(Thread, ExceptionEscapingExecuteIsKept) {
  bool terminated = false;
  TLambdaThread t([](TLambdaThread&) { throw std::runtime_error("worker failed"); });
  t.OnTerminate = [&](TObject*) { terminated = true; };
  t.Start();
  t.WaitFor();
  EXPECT_TRUE(terminated);
  ASSERT_TRUE(t.FatalException());
  try {
    std::rethrow_exception(t.FatalException());
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "worker failed");
  }
}

TEST(Thread, ExceptionInASynchronizedCallReturnsToTheWorker) {
  String caught;
  TLambdaThread t([&](TLambdaThread& self) {
    try {
      self.Synchronize([] { throw Exception("main thread refused"); });
    } catch (const Exception& e) {
      caught = e.Message();
    }
  });
  t.Start();
  t.WaitFor();
  EXPECT_EQ(caught, "main thread refused");
  EXPECT_FALSE(t.FatalException());
}

TEST(Thread, WaitForRunsSynchronizedCallsAndTheTerminationStep) {
  int calls = 0;
  bool terminatedBeforeReturn = false;
  TLambdaThread t([&](TLambdaThread& self) {
    for (int i = 0; i < 5; ++i) self.Synchronize([&] { ++calls; });
    self.SetReturnValue(42);
  });
  t.OnTerminate = [&](TObject*) { terminatedBeforeReturn = true; };
  t.Start();
  EXPECT_EQ(t.WaitFor(), 42u);
  EXPECT_EQ(calls, 5);
  EXPECT_TRUE(terminatedBeforeReturn);
}

TEST(Thread, QueueHandsWorkOverWithoutWaiting) {
  std::atomic<bool> queued{false};
  bool ran = false;
  DWORD caller = 0;
  TLambdaThread t([&](TLambdaThread& self) {
    self.Queue([&] {
      ran = true;
      caller = GetCurrentThreadId();
    });
    queued = true;  // reached without the main thread having pumped
  });
  t.Start();
  const ULONGLONG end = GetTickCount64() + 20000;
  while (!queued && GetTickCount64() < end) Sleep(1);
  EXPECT_TRUE(queued);
  EXPECT_FALSE(ran);
  ASSERT_TRUE(PumpMessagesUntil([&] { return ran; }));
  EXPECT_EQ(caller, GetCurrentThreadId());
  t.WaitFor();
}

TEST(Thread, QueuedCallRunsRightAfterTheMessageBeingHandled) {
  // A worker's call must not wait for the wake-up message or its timer behind other messages.
  Application().ProcessMessages();
  bool handled = false;
  HWND wnd = AllocateHWnd([&](TMessage& m) {
    if (m.Msg == WM_APP) {
      handled = true;
    } else {
      DefaultHandler(m);
    }
  });
  PostMessageW(wnd, WM_APP, 0, 0);
  std::atomic<bool> queued{false};
  bool ran = false;
  TLambdaThread t([&](TLambdaThread& self) {
    self.Queue([&] { ran = true; });
    queued = true;
  });
  EXPECT_FALSE(SynchronizePending());
  t.Start();
  const ULONGLONG end = GetTickCount64() + 20000;
  while (!queued && GetTickCount64() < end) Sleep(1);
  EXPECT_TRUE(SynchronizePending());
  Application().HandleMessage();  // the message posted before the call
  EXPECT_TRUE(handled);
  EXPECT_TRUE(ran);
  EXPECT_FALSE(SynchronizePending());
  t.WaitFor();
  DeallocateHWnd(wnd);
}

TEST(Thread, DestroyingARunningThreadTerminatesAndWaits) {
  std::atomic<bool> returned{false};
  std::atomic<bool> running{false};
  bool terminateFired = false;
  {
    TLambdaThread t([&](TLambdaThread& self) {
      running = true;
      while (!self.Terminated()) self.Synchronize([] {});
      returned = true;
    });
    t.OnTerminate = [&](TObject*) { terminateFired = true; };
    t.Start();
    ASSERT_TRUE(PumpMessagesUntil([&] { return running.load(); }));
  }
  EXPECT_TRUE(returned);
  // The object was half destroyed by then, so its termination step is skipped.
  EXPECT_FALSE(terminateFired);

  // A thread that never started is let go without running Execute.
  std::atomic<bool> ran{false};
  { TLambdaThread never([&](TLambdaThread&) { ran = true; }); }
  EXPECT_FALSE(ran);
}

TEST(Thread, CreatedRunningStartsAfterItsConstructorFinished) {
  // The member is set in the derived constructor body, after the base constructor made the thread.
  class TCounting : public TThread {
   public:
    TCounting() : TThread(false) { expected_ = 7; }
    int seen = 0;

   protected:
    void Execute() override { seen = expected_; }

   private:
    int expected_ = 0;
  };
  TCounting t;
  ASSERT_TRUE(PumpMessagesUntil([&] { return t.Finished(); }));
  EXPECT_EQ(t.seen, 7);

  // Waiting for one before the main thread has started it starts it.
  TCounting u;
  u.WaitFor();
  EXPECT_EQ(u.seen, 7);
}

TEST(CriticalSection, LockGuardExcludesOtherThreads) {
  TCriticalSection cs;
  long counter = 0;
  auto work = [&](TLambdaThread&) {
    for (int i = 0; i < 20000; ++i) {
      auto lock = cs.Lock();
      const long v = counter;
      if ((i & 1023) == 0) SwitchToThread();
      counter = v + 1;
    }
  };
  TLambdaThread a(work), b(work);
  a.Start();
  b.Start();
  a.WaitFor();
  b.WaitFor();
  EXPECT_EQ(counter, 40000);
  EXPECT_TRUE(cs.TryEnter());
  cs.Leave();
}

TEST(Thread, SuspendedThreadResumesAndCanBeStopped) {
  std::atomic<int> rounds{0};
  TLambdaThread t([&](TLambdaThread& self) {
    while (!self.Terminated()) {
      ++rounds;
      Sleep(1);
    }
  });
  t.Start();
  ASSERT_TRUE(PumpMessagesUntil([&] { return rounds > 0; }));
  t.Suspend();
  EXPECT_TRUE(t.Suspended());
  t.Suspend();
  t.Resume();
  EXPECT_TRUE(t.Suspended());  // suspended twice, resumed once
  t.Resume();
  EXPECT_FALSE(t.Suspended());
  const int seen = rounds;
  ASSERT_TRUE(PumpMessagesUntil([&] { return rounds > seen; }));
  t.Terminate();
  t.WaitFor();
  EXPECT_TRUE(t.Finished());
}

TEST(Thread, SynchronizeRunsInsideAPopupMenu) {
  HMENU menu = CreatePopupMenu();
  AppendMenuW(menu, MF_STRING, 1, L"Open");
  HWND owner = Application().Handle();
  bool inMenu = false;
  bool ranInMenu = false;
  const UINT_PTR safety = SetTimer(nullptr, 0, 30000, [](HWND, UINT, UINT_PTR, DWORD) { EndMenu(); });
  TLambdaThread t([&](TLambdaThread& self) {
    self.Synchronize([&] {
      ranInMenu = inMenu;
      EndMenu();
    });
  });
  t.Start();
  inMenu = true;
  SetForegroundWindow(owner);
  TrackPopupMenu(menu, TPM_RETURNCMD | TPM_NONOTIFY, 10, 10, 0, owner, nullptr);
  inMenu = false;
  KillTimer(nullptr, safety);
  DestroyMenu(menu);
  t.WaitFor();
  EXPECT_TRUE(ranInMenu);
}
