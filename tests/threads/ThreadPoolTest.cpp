// Tests of the worker thread base and the thread pool: start limit and order, end reports,
// stopping with and without waiting, threads that do not stop, destruction.
#include "threads/ThreadPool.h"

#include "host/core/Raii.h"
#include "shell/ShellGlobals.h"

#include <gtest/gtest.h>

#include <tlhelp32.h>

#include "Pump.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <set>
#include <vector>

using zelnor::TKivThread;
using zelnor::TThreadPool;

using testing_support::PumpSynchronizeUntil;

namespace {

// What the test threads report, shared so that it outlives the threads (they free themselves).
struct Probe {
  std::atomic<int> started{0};
  std::atomic<int> exited{0};    // Execute has returned
  std::atomic<int> destroyed{0};
};

// A worker that runs until its gate opens, or (when it honours the flag) until it is terminated.
class TGateThread : public TKivThread {
 public:
  TGateThread(Probe& probe, bool honourTerminate = true)
      : probe_(probe), honour_(honourTerminate), gate_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
  ~TGateThread() override { ++probe_.destroyed; }

  HANDLE Gate() const { return gate_.get(); }
  bool HasStarted() const { return started_; }

 protected:
  void Execute() override {
    started_ = true;
    ++probe_.started;
    while (WaitForSingleObject(gate_.get(), 1) == WAIT_TIMEOUT) {
      if (honour_ && Terminated()) break;
    }
    ++probe_.exited;
  }

 private:
  Probe& probe_;
  const bool honour_;
  std::atomic<bool> started_{false};
  host::UniqueHandle gate_;
};

// Records the pool's events by thread ID (the threads are gone soon after their report).
struct Recorder {
  std::vector<int> ended;
  int allEnded = 0;
  void Attach(TThreadPool& pool) {
    pool.OnThreadTerminated = [this](TKivThread* t) { ended.push_back(t->ID()); };
    pool.OnAllThreadsTerminated = [this](host::TObject*) { ++allEnded; };
  }
};

}  // namespace

TEST(KivThread, DefaultIdsAreDistinctAndThreadFreesItself) {
  Probe probe;
  auto* a = new TGateThread(probe);
  auto* b = new TGateThread(probe);
  EXPECT_NE(a->ID(), b->ID());
  EXPECT_NE(a->ID(), -1);
  EXPECT_TRUE(a->FreeOnTerminate());
  EXPECT_FALSE(a->IsStarted());
  TThreadPool pool;
  pool.Add(a);
  pool.Add(b);
  EXPECT_TRUE(pool.ThreadExists(a->ID()));
  const int idA = a->ID();
  SetEvent(a->Gate());
  SetEvent(b->Gate());
  ASSERT_TRUE(PumpSynchronizeUntil([&] { return probe.destroyed == 2; }));
  EXPECT_FALSE(pool.ThreadExists(idA));
}

TEST(ThreadPool, SixteenthThreadStartsWhenOneOfTheFirstFifteenEnds) {
  Probe probe;
  Recorder rec;
  TThreadPool pool;
  rec.Attach(pool);
  EXPECT_EQ(pool.MaxRunningThreads(), 15);
  std::vector<TGateThread*> threads;
  for (int i = 0; i < 16; ++i) {
    threads.push_back(new TGateThread(probe));
    EXPECT_EQ(pool.Add(threads.back()), i);
  }
  ASSERT_TRUE(PumpSynchronizeUntil([&] { return probe.started == 15; }));
  TGateThread* last = threads[15];
  EXPECT_EQ(pool.GetFirstSuspendedThread(), last);
  EXPECT_FALSE(last->HasStarted());
  EXPECT_EQ(pool.Count(), 16);

  const int idOfFifth = threads[4]->ID();
  SetEvent(threads[4]->Gate());
  ASSERT_TRUE(PumpSynchronizeUntil([&] { return last->HasStarted(); }));
  ASSERT_EQ(rec.ended.size(), 1u);
  EXPECT_EQ(rec.ended[0], idOfFifth);
  EXPECT_EQ(pool.GetFirstSuspendedThread(), nullptr);
  EXPECT_EQ(rec.allEnded, 0);

  for (auto* t : threads)
    if (t != threads[4]) SetEvent(t->Gate());
  ASSERT_TRUE(PumpSynchronizeUntil([&] { return probe.destroyed == 16; }));
  EXPECT_EQ(rec.ended.size(), 16u);
  EXPECT_EQ(rec.allEnded, 1);
  EXPECT_FALSE(pool.ThreadsActive());
}

TEST(ThreadPool, WaitingThreadsStartInArrivalOrderAndLowerLimitOnlyDelaysStarts) {
  Probe probe;
  TThreadPool pool;
  std::vector<TGateThread*> threads;
  for (int i = 0; i < 3; ++i) pool.Add(threads.emplace_back(new TGateThread(probe)));
  ASSERT_TRUE(PumpSynchronizeUntil([&] { return probe.started == 3; }));

  // The three keep running; the newcomers wait until fewer than one thread runs.
  pool.SetMaxRunningThreads(1);
  auto* fourth = new TGateThread(probe);
  auto* fifth = new TGateThread(probe);
  pool.Add(fourth);
  pool.Add(fifth);
  EXPECT_EQ(pool.GetFirstSuspendedThread(), fourth);
  SetEvent(threads[0]->Gate());
  SetEvent(threads[1]->Gate());
  ASSERT_TRUE(PumpSynchronizeUntil([&] { return probe.destroyed == 2; }));
  EXPECT_FALSE(fourth->HasStarted());
  EXPECT_FALSE(fifth->HasStarted());

  SetEvent(threads[2]->Gate());
  ASSERT_TRUE(PumpSynchronizeUntil([&] { return fourth->HasStarted(); }));
  EXPECT_FALSE(fifth->HasStarted());
  EXPECT_EQ(pool.GetFirstSuspendedThread(), fifth);
  SetEvent(fourth->Gate());
  ASSERT_TRUE(PumpSynchronizeUntil([&] { return fifth->HasStarted(); }));
  SetEvent(fifth->Gate());
  ASSERT_TRUE(PumpSynchronizeUntil([&] { return probe.destroyed == 5; }));
}

TEST(ThreadPool, ThreadIgnoringTerminateIsDroppedAfterTimeOutAndPoolCarriesOn) {
  Probe probe;
  Recorder rec;
  TThreadPool pool;
  rec.Attach(pool);
  pool.SetMaxRunningThreads(1);
  auto* stubborn = new TGateThread(probe, /*honourTerminate=*/false);
  auto* next = new TGateThread(probe);
  pool.Add(stubborn);
  pool.Add(next);
  ASSERT_TRUE(PumpSynchronizeUntil([&] { return stubborn->HasStarted(); }));
  const int stubbornId = stubborn->ID();

  pool.TerminateThreadSecure(stubborn);
  EXPECT_FALSE(pool.ThreadExists(stubbornId));
  EXPECT_EQ(pool.Count(), 1);
  EXPECT_TRUE(rec.ended.empty());
  EXPECT_EQ(probe.exited, 0);  // still running, not killed

  // The queued thread took its place.
  ASSERT_TRUE(PumpSynchronizeUntil([&] { return next->HasStarted(); }));
  SetEvent(next->Gate());
  ASSERT_TRUE(PumpSynchronizeUntil([&] { return rec.allEnded == 1; }));
  ASSERT_EQ(rec.ended.size(), 1u);

  // The dropped thread finishes later, reports to no one and frees itself.
  SetEvent(stubborn->Gate());
  ASSERT_TRUE(PumpSynchronizeUntil([&] { return probe.destroyed == 2; }));
  EXPECT_EQ(rec.ended.size(), 1u);
  EXPECT_EQ(rec.allEnded, 1);
}

TEST(ThreadPool, AllThreadsTerminatedFiresOnceWhenTheLastIsRemoved) {
  Probe probe;
  Recorder rec;
  TThreadPool pool;
  rec.Attach(pool);
  pool.TerminateThreads(true);  // an empty pool reports nothing
  EXPECT_EQ(rec.allEnded, 0);

  std::vector<TGateThread*> threads;
  for (int i = 0; i < 3; ++i) pool.Add(threads.emplace_back(new TGateThread(probe)));
  SetEvent(threads[0]->Gate());
  SetEvent(threads[1]->Gate());
  ASSERT_TRUE(PumpSynchronizeUntil([&] { return rec.ended.size() == 2; }));
  EXPECT_EQ(rec.allEnded, 0);
  SetEvent(threads[2]->Gate());
  ASSERT_TRUE(PumpSynchronizeUntil([&] { return rec.allEnded == 1 && probe.destroyed == 3; }));
  host::CheckSynchronize(0);
  EXPECT_EQ(rec.allEnded, 1);
}

TEST(ThreadPool, TerminateThreadsReturnsAtOnceWithoutWaitAndWhenEmptyWithWait) {
  Probe probe;
  Recorder rec;
  TThreadPool pool;
  rec.Attach(pool);
  pool.SetMaxRunningThreads(2);
  std::vector<TGateThread*> threads;
  for (int i = 0; i < 4; ++i) pool.Add(threads.emplace_back(new TGateThread(probe)));
  ASSERT_TRUE(PumpSynchronizeUntil([&] { return probe.started == 2; }));

  // Without wait nothing has been reported yet: the ends are handled on this thread later.
  pool.TerminateThreads(false);
  EXPECT_EQ(pool.Count(), 4);
  EXPECT_TRUE(rec.ended.empty());
  for (auto* t : threads) EXPECT_TRUE(t->Terminated());

  pool.TerminateThreads(true);
  EXPECT_EQ(pool.Count(), 0);
  EXPECT_EQ(probe.exited, 4);  // the waiting ones were started to see their flag
  EXPECT_EQ(rec.ended.size(), 4u);
  EXPECT_EQ(rec.allEnded, 1);
  ASSERT_TRUE(PumpSynchronizeUntil([&] { return probe.destroyed == 4; }));
}

TEST(ThreadPool, DestroyingThePoolStopsItsThreadsFirstAndFreesTheWaitingOnes) {
  Probe probe;
  Recorder rec;
  auto pool = std::make_unique<TThreadPool>();
  rec.Attach(*pool);
  pool->SetMaxRunningThreads(2);
  for (int i = 0; i < 3; ++i) pool->Add(new TGateThread(probe));
  ASSERT_TRUE(PumpSynchronizeUntil([&] { return probe.started == 2; }));
  pool.reset();
  EXPECT_EQ(probe.exited, 2);
  EXPECT_EQ(probe.started, 2) << "the waiting thread is freed without running";
  ASSERT_TRUE(PumpSynchronizeUntil([&] { return probe.destroyed == 3; }));
  // The destructor reports nothing.
  EXPECT_TRUE(rec.ended.empty());
  EXPECT_EQ(rec.allEnded, 0);
}

TEST(ThreadPool, DestroyingWaitsOnceForAllThreadsThatIgnoreTheirFlag) {
  Probe probe;
  Recorder rec;
  std::vector<TGateThread*> stubborn;
  auto pool = std::make_unique<TThreadPool>();
  rec.Attach(*pool);
  for (int i = 0; i < 4; ++i) pool->Add(stubborn.emplace_back(new TGateThread(probe, false)));
  pool->Add(new TGateThread(probe));
  ASSERT_TRUE(PumpSynchronizeUntil([&] { return probe.started == 5; }));
  const ULONGLONG start = GetTickCount64();
  pool.reset();
  const ULONGLONG took = GetTickCount64() - start;
  // One time-out for all of them, not one after the other.
  EXPECT_GE(took, TThreadPool::THREAD_STOP_TIMEOUT_MS - 100);
  EXPECT_LT(took, 2 * TThreadPool::THREAD_STOP_TIMEOUT_MS);
  EXPECT_EQ(probe.exited, 1);
  EXPECT_TRUE(rec.ended.empty());
  EXPECT_EQ(rec.allEnded, 0);
  for (auto* t : stubborn) SetEvent(t->Gate());
  ASSERT_TRUE(PumpSynchronizeUntil([&] { return probe.destroyed == 5; }));
  EXPECT_TRUE(rec.ended.empty());
}

// The threads of this process, as the system lists them.
int ProcessThreadCount() {
  host::UniqueHandle snapshot{CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0)};
  THREADENTRY32 entry{};
  entry.dwSize = sizeof entry;
  int count = 0;
  for (BOOL more = Thread32First(snapshot.get(), &entry); more;
       more = Thread32Next(snapshot.get(), &entry))
    if (entry.th32OwnerProcessID == GetCurrentProcessId()) ++count;
  return count;
}

TEST(ThreadPool, QueuedThreadsHaveNoPlatformThreadUntilTheyStart) {
  Probe probe;
  Recorder rec;
  TThreadPool pool;
  rec.Attach(pool);
  pool.SetMaxRunningThreads(3);
  const int before = ProcessThreadCount();
  std::vector<TGateThread*> threads;
  for (int i = 0; i < 300; ++i) pool.Add(threads.emplace_back(new TGateThread(probe)));
  ASSERT_TRUE(PumpSynchronizeUntil([&] { return probe.started == 3; }));
  EXPECT_LT(ProcessThreadCount(), before + 20);
  EXPECT_NE(threads[2]->Handle(), nullptr);
  EXPECT_EQ(threads[3]->Handle(), nullptr);
  EXPECT_EQ(threads[299]->Handle(), nullptr);

  // They still run, three at a time, in their order.
  for (auto* t : threads) SetEvent(t->Gate());
  ASSERT_TRUE(PumpSynchronizeUntil([&] { return probe.destroyed == 300; }, 120000));
  ASSERT_EQ(rec.ended.size(), 300u);
  EXPECT_EQ(rec.allEnded, 1);
}

TEST(ThreadPool, ThreadOutlivingItsPoolEndsSafely) {
  Probe probe;
  auto* stubborn = new TGateThread(probe, /*honourTerminate=*/false);
  {
    TThreadPool pool;
    pool.Add(stubborn);
    ASSERT_TRUE(PumpSynchronizeUntil([&] { return stubborn->HasStarted(); }));
  }  // gives up on it after the time-out
  SetEvent(stubborn->Gate());
  ASSERT_TRUE(PumpSynchronizeUntil([&] { return probe.destroyed == 1; }));
}

TEST(ThreadPool, RemoveStopsTheThreadAndReportsItsEnd) {
  Probe probe;
  Recorder rec;
  TThreadPool pool;
  rec.Attach(pool);
  auto* a = new TGateThread(probe);
  auto* b = new TGateThread(probe);
  pool.Add(a);
  pool.Add(b);
  const int idA = a->ID();
  EXPECT_EQ(pool.Remove(a), 0);
  EXPECT_EQ(pool.Count(), 1);
  EXPECT_EQ(pool.Items(0), b);
  ASSERT_EQ(rec.ended.size(), 1u);
  EXPECT_EQ(rec.ended[0], idA);
  EXPECT_EQ(pool.Remove(nullptr), -1);
  SetEvent(b->Gate());
  ASSERT_TRUE(PumpSynchronizeUntil([&] { return probe.destroyed == 2; }));
  EXPECT_EQ(rec.allEnded, 1);
}

namespace {

// What a worker saw of its apartment, filled in on the worker.
struct ApartmentProbe {
  std::atomic<bool> done{false};
  HRESULT typeInExecute = E_FAIL;
  APTTYPE type = APTTYPE_MTA;
  IShellFolder* desktop = nullptr;
  HRESULT typeAtRelease = E_FAIL;  // while the objects of the apartment are released
};

class TApartmentThread : public TKivThread {
 public:
  explicit TApartmentThread(ApartmentProbe& probe) : probe_(probe) {}
  ~TApartmentThread() override { probe_.done = true; }

 protected:
  void Execute() override {
    APTTYPEQUALIFIER qualifier;
    probe_.typeInExecute = CoGetApartmentType(&probe_.type, &qualifier);
    probe_.desktop = zelnor::Desktop();
    ApartmentProbe* probe = &probe_;
    host::AtApartmentExit([probe] {
      APTTYPE type;
      APTTYPEQUALIFIER qualifier;
      probe->typeAtRelease = CoGetApartmentType(&type, &qualifier);
    });
  }
 private:
  ApartmentProbe& probe_;
};

}  // namespace

TEST(KivThread, ExecuteRunsInAnApartmentOfItsOwnThatOutlivesItsShellObjects) {
  zelnor::InitializeShell();
  ApartmentProbe probe;
  auto* thread = new TApartmentThread(probe);
  thread->StartOnce();
  ASSERT_TRUE(PumpSynchronizeUntil([&] { return probe.done.load(); }));
  EXPECT_EQ(probe.typeInExecute, S_OK);
  EXPECT_EQ(probe.type, APTTYPE_STA);
  EXPECT_NE(probe.desktop, nullptr);
  // Its shell objects were released while the apartment still existed.
  EXPECT_EQ(probe.typeAtRelease, S_OK);
}

TEST(KivThread, ThreadsThatHeldShellObjectsEndWithoutHarmingTheHeap) {
  // The per-thread records of the apartment and the desktop folder go with each thread; a
  // destructor run on storage already freed would show in the heap.
  zelnor::InitializeShell();
  std::vector<std::unique_ptr<ApartmentProbe>> probes;
  for (int i = 0; i < 24; ++i) {
    probes.push_back(std::make_unique<ApartmentProbe>());
    (new TApartmentThread(*probes.back()))->StartOnce();
  }
  ASSERT_TRUE(PumpSynchronizeUntil([&] {
    return std::all_of(probes.begin(), probes.end(), [](auto& p) { return p->done.load(); });
  }));
  for (auto& p : probes) EXPECT_EQ(p->typeAtRelease, S_OK);
  EXPECT_TRUE(HeapValidate(GetProcessHeap(), 0, nullptr));
}
