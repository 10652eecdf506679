// Threads and locks of the host class library.
//   TThreadPriority    idle ... time-critical
//   TThread            a platform thread with main-thread synchronisation and termination event
//   CheckSynchronize   runs pending synchronised calls and terminations on the main thread
//   MainThreadID       the thread that runs the user interface
//   RunInMainThread / QueueInMainThread   the same synchronisation for code outside a TThread
//   TCriticalSection   a mutual-exclusion lock with a scoped guard
#pragma once

#include "host/core/Classes.h"
#include "host/core/Raii.h"

#include <windows.h>
#include <objbase.h>

#include <atomic>
#include <exception>
#include <functional>

namespace host {

class EThread : public Exception {
  using Exception::Exception;
};

enum TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

// A worker thread. The platform thread is made when the thread starts (Start or Resume), so a
// thread object that waits its turn costs no platform thread; Handle and ThreadID are 0 until
// then. When Execute returns, the termination step
// (DoTerminate, which fires OnTerminate) runs on the main thread while the worker waits; then the
// object deletes itself if FreeOnTerminate is set. Destroying a thread object that still runs
// sets Terminated and waits for it; a derived class whose Execute uses its own members should
// stop the thread in its own destructor (Terminate, then WaitFor). A thread made with
// createSuspended false starts when the main thread next runs its synchronised calls (so after
// every constructor has finished), or at Start or WaitFor if that comes first; make such threads
// on the main thread.
class TThread : public TObject {
 public:
  explicit TThread(bool createSuspended = true);
  ~TThread() override;
  TThread(const TThread&) = delete;
  TThread& operator=(const TThread&) = delete;

  String ClassName() const override { return "TThread"; }

  // Makes the platform thread and runs it, for a thread that has never run; raises EThread
  // otherwise, or when the platform cannot make the thread.
  void Start();
  // Starts a thread that has never run, or undoes one Suspend.
  void Resume();
  // Suspends the thread wherever it is. Dangerous: it may hold a lock the main thread needs.
  void Suspend();
  bool Suspended() const { return suspended_; }
  // Asks Execute to return; Execute must look at Terminated regularly.
  void Terminate() { terminated_ = true; }
  bool Terminated() const { return terminated_; }
  // True once the termination step has run.
  bool Finished() const { return finished_; }

  bool FreeOnTerminate() const { return freeOnTerminate_; }
  void SetFreeOnTerminate(bool value) { freeOnTerminate_ = value; }
  TThreadPriority Priority() const;
  void SetPriority(TThreadPriority priority);

  // The platform thread; 0 before the thread has started.
  HANDLE Handle() const { return handle_.get(); }
  DWORD ThreadID() const { return threadId_; }

  // Waits until the thread has ended and returns its ReturnValue. On the main thread it keeps
  // running synchronised calls (and sent messages) meanwhile, so a worker blocked in Synchronize
  // cannot deadlock it. Raises EThread for a thread that was never started or frees itself.
  DWORD WaitFor();

  // The exception that escaped Execute, if any.
  std::exception_ptr FatalException() const { return fatalException_; }

  // Runs on the main thread after Execute has returned (sender: the thread).
  TNotifyEvent OnTerminate;

 protected:
  virtual void Execute() = 0;
  // The termination step, on the main thread: fires OnTerminate.
  virtual void DoTerminate();

  // Runs `method` on the main thread and waits for it; an exception it raises comes back here.
  // On the main thread itself the method runs at once.
  void Synchronize(std::function<void()> method);
  // Hands `method` to the main thread without waiting (runs at once on the main thread).
  void Queue(std::function<void()> method);

  DWORD ReturnValue() const { return returnValue_; }
  void SetReturnValue(DWORD value) { returnValue_ = value; }

  // Makes the thread join a COM apartment of `model` (COINIT_ flags) before Execute and leave it
  // after Execute, once the objects registered with AtApartmentExit have been released. Call it
  // before the thread starts (in the derived constructor).
  void SetComApartment(DWORD model) {
    apartmentModel_ = model;
    joinsApartment_ = true;
  }

 private:
  friend struct ThreadAccess;
  static DWORD WINAPI ThreadProc(void* param);

  UniqueHandle handle_;
  DWORD threadId_ = 0;
  DWORD returnValue_ = 0;
  bool started_ = false;
  bool startPending_ = false;  // made running; the main thread starts it after construction
  std::atomic<bool> suspended_{true};
  std::atomic<bool> terminated_{false};
  std::atomic<bool> finished_{false};
  std::atomic<bool> freeOnTerminate_{false};
  std::atomic<bool> destroying_{false};
  TThreadPriority priority_ = tpNormal;  // applied when the platform thread is made
  std::exception_ptr fatalException_;
  DWORD apartmentModel_ = COINIT_APARTMENTTHREADED;
  bool joinsApartment_ = false;
};

// Runs the synchronised calls and thread terminations waiting for the main thread; waits up to
// `timeoutMs` for the first one when none is waiting. True when something ran. Raises EThread
// when called from another thread.
bool CheckSynchronize(DWORD timeoutMs = 0);
// True while synchronised calls or terminations wait for the main thread; costs no system call.
bool SynchronizePending();
DWORD MainThreadID();

// Runs `method` on the main thread and waits (at once when already there).
void RunInMainThread(std::function<void()> method);
// Hands `method` to the main thread without waiting (runs at once when already there).
void QueueInMainThread(std::function<void()> method);

class TCriticalSection {
 public:
  TCriticalSection() { InitializeCriticalSection(&section_); }
  ~TCriticalSection() { DeleteCriticalSection(&section_); }
  TCriticalSection(const TCriticalSection&) = delete;
  TCriticalSection& operator=(const TCriticalSection&) = delete;

  void Enter() { EnterCriticalSection(&section_); }
  void Leave() { LeaveCriticalSection(&section_); }
  bool TryEnter() { return TryEnterCriticalSection(&section_) != FALSE; }

  class [[nodiscard]] Guard {
   public:
    explicit Guard(TCriticalSection& section) : section_(&section) { section_->Enter(); }
    ~Guard() {
      if (section_) section_->Leave();
    }
    Guard(Guard&& other) noexcept : section_(other.section_) { other.section_ = nullptr; }
    Guard(const Guard&) = delete;
    Guard& operator=(const Guard&) = delete;
    Guard& operator=(Guard&&) = delete;

   private:
    TCriticalSection* section_;
  };
  // Enters now and leaves when the guard goes out of scope.
  [[nodiscard]] Guard Lock() { return Guard(*this); }

 private:
  CRITICAL_SECTION section_;
};

namespace detail {
// Wakes the main thread so that it runs the pending synchronised calls; callable from any thread.
// Defined by the application object (host/forms/Application.cpp), which owns the main thread's
// window: every program that synchronises has one.
void WakeMainThread();
}  // namespace detail

}  // namespace host
