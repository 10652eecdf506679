// Worker threads and the pool that limits how many of them run at once.
//   TKivThread          worker base: created suspended, frees itself, carries a pool ID
//   TKivThreadEvent     event with the ending thread as argument
//   TThreadPool         runs at most MaxRunningThreads workers, starts the others in arrival
//                       order, reports each end on the main thread, stops workers on request
#pragma once

#include "host/core/Classes.h"
#include "host/core/Threads.h"

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

namespace zelnor {

// Base of the package's worker threads. The platform thread is created suspended and frees itself
// when it ends; its termination step runs on the main thread. Execute runs inside a
// single-threaded COM apartment of the thread's own, so a worker may use the shell: it gets its
// own desktop folder (Desktop), never the main thread's, and that folder is released before the
// thread leaves the apartment.
class TKivThread : public host::TThread {
 public:
  // The default ID is a number no other thread made this way has.
  TKivThread();
  explicit TKivThread(int id);

  host::String ClassName() const override { return "TKivThread"; }

  int ID() const { return id_; }
  void SetID(int id) { id_ = id; }
  // True once the termination step has begun: Execute has returned and the end is being reported.
  bool IsFinished() const { return finished_.load(std::memory_order_acquire); }
  // True once the thread has been started (by the pool or by its creator).
  bool IsStarted() const { return !Suspended(); }
  // Starts the thread if it waits suspended; does nothing for one that runs.
  void StartOnce();

 protected:
  // Derived classes put their work here and return promptly once Terminated() is set.
  void Execute() override {}
  void DoTerminate() override;

 private:
  std::atomic<bool> finished_{false};
  int id_ = -1;
};

using TKivThreadEvent = std::function<void(TKivThread* thread)>;

// A list of worker threads of one owner. The pool never frees its threads (they free themselves);
// a thread leaves the pool when its end has been reported on the main thread, when it is removed,
// or when it does not stop within THREAD_STOP_TIMEOUT_MS of a stop request (it is then left to
// finish alone; its end is reported to no one and it still frees itself). A queued thread is only
// an object: its platform thread is made when the pool starts it.
// Every operation and every event runs on the main thread. Destroying the pool asks every thread
// to stop at once and waits at most THREAD_STOP_TIMEOUT_MS for all of them together; threads that
// never started are freed without running, and no event fires from the destructor.
class TThreadPool : public host::TObject {
 public:
  static constexpr int DEFAULT_MAX_RUNNING_THREADS = 15;
  static constexpr DWORD THREAD_STOP_TIMEOUT_MS = 2000;

  TThreadPool();
  ~TThreadPool() override;
  TThreadPool(const TThreadPool&) = delete;
  TThreadPool& operator=(const TThreadPool&) = delete;

  host::String ClassName() const override { return "TThreadPool"; }

  // ---- List
  // Appends a thread created suspended; it starts at once unless MaxRunningThreads are running,
  // else it waits for its turn. Returns its index (-1 for nil; the old index when already held).
  int Add(TKivThread* thread);
  // Stops the thread (waiting up to THREAD_STOP_TIMEOUT_MS) and takes it out of the pool.
  // Returns the index it had, -1 when it was not in the pool.
  int Remove(TKivThread* thread);
  int Count() const;
  TKivThread* Items(int index) const;  // nil outside the list
  int IndexOf(const TKivThread* thread) const;
  bool ThreadsActive() const { return Count() > 0; }
  // Whether a thread with this ID is still in the pool (searched from the last to the first).
  bool ThreadExists(int id) const;
  // The first thread in list order that has not been started yet, nil when none waits.
  TKivThread* GetFirstSuspendedThread() const;

  // ---- Limit
  int MaxRunningThreads() const { return maxRunning_; }
  // Lowering the limit never stops a running thread; it only delays the start of waiting ones.
  // Raising it starts no waiting thread by itself: they start at the next add or end.
  void SetMaxRunningThreads(int limit);

  // ---- Stopping
  // Asks one thread to stop and waits until its end has been reported, at most
  // THREAD_STOP_TIMEOUT_MS; then it is taken out of the pool. Returns at once for nil and for a
  // thread that is already finishing.
  void TerminateThreadSecure(TKivThread* thread);
  // Asks every thread to stop; with `wait`, returns only when the pool is empty: the running
  // threads share one THREAD_STOP_TIMEOUT_MS, the waiting ones start and end in their turn.
  void TerminateThreads(bool wait);

  // ---- Events
  TKivThreadEvent OnThreadTerminated;       // a thread of the pool has ended by itself
  host::TNotifyEvent OnAllThreadsTerminated;  // the pool has become empty through a removal

 protected:
  // The end of `sender` as reported on the main thread.
  virtual void ThreadHasTerminated(host::TObject* sender);
  virtual void DoThreadTerminated(TKivThread* thread);
  virtual void DoAllThreadsTerminated();

 private:
  // Shared with the end handlers installed in the threads, so that a thread that outlives the
  // pool finds it gone instead of calling into freed memory.
  struct Link {
    TThreadPool* pool;
  };

  // Takes `thread` out of the list and runs the deleted step; -1 when it was not there.
  int RemoveFromList(TKivThread* thread);
  // Deleted step: ask the removed thread to stop, then report the empty pool or start the next.
  void Deleted(TKivThread* thread);
  // Starts waiting threads in list order while fewer than MaxRunningThreads run.
  void StartWaiting();
  // Asks `thread` to stop and waits until it has left the pool, at most the stop time-out.
  void StopAndWait(TKivThread* thread);
  bool Contains(const TKivThread* thread) const;
  // Runs the main thread's pending synchronised calls and thread ends for up to `ms`.
  static void PumpFor(DWORD ms);

  std::vector<TKivThread*> items_;
  int maxRunning_ = DEFAULT_MAX_RUNNING_THREADS;
  mutable host::TCriticalSection lock_;
  std::shared_ptr<Link> link_;
  bool destroying_ = false;
};

}  // namespace zelnor
