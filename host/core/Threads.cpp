// Threads: the synchronisation queue of the main thread, TThread's life cycle.
#include "host/core/Threads.h"

#include "host/core/ErrorSink.h"
#include "host/core/Raii.h"

#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace host {

// Section: the synchronisation queue

namespace {

enum class EntryKind { Call, Start, Terminate };

// One piece of work for the main thread. `done` is set for callers that wait.
struct SyncEntry {
  EntryKind kind = EntryKind::Call;
  TThread* thread = nullptr;  // the thread it belongs to, so a destroyed thread can drop it
  std::function<void()> method;
  UniqueHandle done;  // an event, for callers that wait
  std::exception_ptr error;
};
using SyncEntryPtr = std::shared_ptr<SyncEntry>;

struct SyncQueue {
  std::mutex mutex;
  std::deque<SyncEntryPtr> entries;
  std::atomic<bool> pending{false};  // mirrors !entries.empty() for readers without the mutex
  // Set while entries are waiting; lets WaitFor and CheckSynchronize wait for work.
  UniqueHandle signal{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
};

SyncQueue& Sync() {
  // Never destroyed: workers may still be reaching it while the process ends.
  static SyncQueue* queue = new SyncQueue;
  return *queue;
}

// Record the main thread during start-up.
[[maybe_unused]] const DWORD startupMainThread = MainThreadID();

// With the queue's mutex held and no entry left: nothing waits any more.
void MarkDrained(SyncQueue& q) {
  q.pending.store(false, std::memory_order_release);
  ResetEvent(q.signal.get());
}

void Enqueue(const SyncEntryPtr& entry) {
  SyncQueue& q = Sync();
  {
    std::lock_guard lock(q.mutex);
    q.entries.push_back(entry);
    q.pending.store(true, std::memory_order_release);
    SetEvent(q.signal.get());
  }
  detail::WakeMainThread();
}

SyncEntryPtr PopEntry() {
  SyncQueue& q = Sync();
  std::lock_guard lock(q.mutex);
  if (q.entries.empty()) {
    MarkDrained(q);
    return nullptr;
  }
  SyncEntryPtr entry = std::move(q.entries.front());
  q.entries.pop_front();
  if (q.entries.empty()) MarkDrained(q);
  return entry;
}

// Drops the entries of a thread that is going away; waiters among them are released.
void RemoveEntries(TThread* thread) {
  SyncQueue& q = Sync();
  std::lock_guard lock(q.mutex);
  std::erase_if(q.entries, [thread](const SyncEntryPtr& e) {
    if (e->thread != thread) return false;
    if (e->done) SetEvent(e->done.get());
    return true;
  });
  if (q.entries.empty()) MarkDrained(q);
}

// A call for the main thread; nullptr when the caller is the main thread and `method` has run.
std::shared_ptr<SyncEntry> MakeEntry(TThread* thread, std::function<void()>& method) {
  if (GetCurrentThreadId() == MainThreadID()) {
    method();
    return nullptr;
  }
  auto entry = std::make_shared<SyncEntry>();
  entry->thread = thread;
  entry->method = std::move(method);
  return entry;
}

// Runs `method` on the main thread and waits; an exception it raised is rethrown here.
void SynchronizeCall(TThread* thread, std::function<void()> method) {
  auto entry = MakeEntry(thread, method);
  if (!entry) return;
  entry->done.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!entry->done) throw EThread("Cannot create a synchronisation event");
  Enqueue(entry);
  WaitForSingleObject(entry->done.get(), INFINITE);
  if (entry->error) std::rethrow_exception(entry->error);
}

void QueueCall(TThread* thread, std::function<void()> method) {
  if (auto entry = MakeEntry(thread, method)) Enqueue(entry);
}

}  // namespace

// Gives the queue runner access to the thread's private state.
struct ThreadAccess {
  static void Run(SyncEntry& entry);
};

void ThreadAccess::Run(SyncEntry& entry) {
  TThread* thread = entry.thread;
  switch (entry.kind) {
    case EntryKind::Call:
      // A half-destroyed thread object must not run its calls; the waiter is released.
      if (!thread || !thread->destroying_) {
        try {
          entry.method();
        } catch (...) {
          if (entry.done) {
            entry.error = std::current_exception();
          } else {
            ReportError(std::current_exception(), thread);
          }
        }
      }
      if (entry.done) SetEvent(entry.done.get());
      break;
    case EntryKind::Start:
      if (!thread->started_) thread->Start();
      break;
    case EntryKind::Terminate: {
      const bool destroying = thread->destroying_;
      if (!destroying) {
        try {
          thread->DoTerminate();
        } catch (...) {
          ReportError(std::current_exception(), thread);
        }
      }
      const bool freeIt = thread->freeOnTerminate_ && !destroying;
      thread->finished_ = true;
      // The worker touches nothing of the object after this, so it may be deleted now.
      SetEvent(entry.done.get());
      if (freeIt) delete thread;
      break;
    }
  }
}

bool CheckSynchronize(DWORD timeoutMs) {
  if (GetCurrentThreadId() != MainThreadID()) {
    throw EThread("CheckSynchronize called from thread " + std::to_string(GetCurrentThreadId()) +
                  ", which is not the main thread");
  }
  if (timeoutMs) WaitForSingleObject(Sync().signal.get(), timeoutMs);
  bool ran = false;
  while (SyncEntryPtr entry = PopEntry()) {
    ThreadAccess::Run(*entry);
    ran = true;
  }
  return ran;
}

bool SynchronizePending() { return Sync().pending.load(std::memory_order_acquire); }

DWORD MainThreadID() {
  static const DWORD id = GetCurrentThreadId();
  return id;
}

void RunInMainThread(std::function<void()> method) { SynchronizeCall(nullptr, std::move(method)); }

void QueueInMainThread(std::function<void()> method) { QueueCall(nullptr, std::move(method)); }

// Section: TThread

TThread::TThread(bool createSuspended) {
  if (!createSuspended) {
    // Execute must not run before the derived constructors have finished: the main thread starts
    // the thread the next time it runs its synchronised calls.
    auto entry = std::make_shared<SyncEntry>();
    startPending_ = true;
    entry->kind = EntryKind::Start;
    entry->thread = this;
    Enqueue(entry);
  }
}

TThread::~TThread() {
  destroying_ = true;
  // A thread that never started has no platform thread to wait for; one whose end has been
  // handled touches nothing of this object any more, and is not waited for either: a thread
  // takes milliseconds to leave the process, and a main thread waiting for each in turn stalls.
  if (handle_ && !finished_) {
    terminated_ = true;
    while (suspended_) Resume();
    if (GetCurrentThreadId() == MainThreadID()) {
      HANDLE handles[] = {handle_.get(), Sync().signal.get()};
      while (WaitForMultipleObjects(2, handles, FALSE, INFINITE) == WAIT_OBJECT_0 + 1) {
        CheckSynchronize();
      }
    } else {
      WaitForSingleObject(handle_.get(), INFINITE);
    }
  }
  handle_.reset();
  RemoveEntries(this);
}

DWORD WINAPI TThread::ThreadProc(void* param) {
  auto* self = static_cast<TThread*>(param);
  try {
    std::optional<CoInitializeGuard> apartment;
    if (self->joinsApartment_) apartment.emplace(self->apartmentModel_);
    self->Execute();
  } catch (...) {
    // Kept for the program to read in FatalException, never lost.
    self->fatalException_ = std::current_exception();
  }
  const DWORD result = self->returnValue_;
  auto entry = std::make_shared<SyncEntry>();
  entry->kind = EntryKind::Terminate;
  entry->thread = self;
  entry->done.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  Enqueue(entry);
  // After this the object may be gone (FreeOnTerminate): touch nothing of it.
  WaitForSingleObject(entry->done.get(), INFINITE);
  return result;
}

void TThread::DoTerminate() {
  if (OnTerminate) OnTerminate(this);
}

void TThread::Start() {
  if (started_) throw EThread("Cannot call Start on a running or suspended thread");
  handle_.reset(
      CreateThread(nullptr, 0, &TThread::ThreadProc, this, CREATE_SUSPENDED, &threadId_));
  if (!handle_) throw EThread("Thread creation error: error " + std::to_string(GetLastError()));
  if (priority_ != tpNormal) SetPriority(priority_);
  started_ = true;
  suspended_ = false;
  ResumeThread(handle_.get());
}

void TThread::Resume() {
  if (!started_) {
    Start();
    return;
  }
  const DWORD previous = ResumeThread(handle_.get());
  if (previous == 1) suspended_ = false;
}

void TThread::Suspend() {
  if (!started_) return;  // not running yet: it stays suspended anyway
  const bool wasSuspended = suspended_.exchange(true);
  if (SuspendThread(handle_.get()) == DWORD(-1)) suspended_ = wasSuspended;
}

TThreadPriority TThread::Priority() const {
  if (!handle_) return priority_;
  switch (GetThreadPriority(handle_.get())) {
    case THREAD_PRIORITY_IDLE: return tpIdle;
    case THREAD_PRIORITY_LOWEST: return tpLowest;
    case THREAD_PRIORITY_BELOW_NORMAL: return tpLower;
    case THREAD_PRIORITY_ABOVE_NORMAL: return tpHigher;
    case THREAD_PRIORITY_HIGHEST: return tpHighest;
    case THREAD_PRIORITY_TIME_CRITICAL: return tpTimeCritical;
    default: return tpNormal;
  }
}

void TThread::SetPriority(TThreadPriority priority) {
  static const int levels[] = {THREAD_PRIORITY_IDLE,         THREAD_PRIORITY_LOWEST,
                               THREAD_PRIORITY_BELOW_NORMAL, THREAD_PRIORITY_NORMAL,
                               THREAD_PRIORITY_ABOVE_NORMAL, THREAD_PRIORITY_HIGHEST,
                               THREAD_PRIORITY_TIME_CRITICAL};
  priority_ = priority;
  if (handle_) SetThreadPriority(handle_.get(), levels[priority]);
}

DWORD TThread::WaitFor() {
  // A thread made running whose start the main thread has not reached yet starts now.
  if (!started_ && startPending_) Start();
  if (!started_) throw EThread("Cannot wait for a thread that has not been started");
  if (freeOnTerminate_) throw EThread("Cannot wait for a thread that frees itself");
  if (GetCurrentThreadId() == MainThreadID()) {
    HANDLE handles[] = {handle_.get(), Sync().signal.get()};
    for (;;) {
      const DWORD r = MsgWaitForMultipleObjects(2, handles, FALSE, INFINITE, QS_SENDMESSAGE);
      if (r == WAIT_OBJECT_0) break;
      if (r == WAIT_OBJECT_0 + 1) {
        CheckSynchronize();
      } else if (r == WAIT_OBJECT_0 + 2) {
        // Deliver messages sent from other threads without touching the posted ones.
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
      } else {
        break;
      }
    }
  } else {
    WaitForSingleObject(handle_.get(), INFINITE);
  }
  DWORD code = 0;
  GetExitCodeThread(handle_.get(), &code);
  return code;
}

void TThread::Synchronize(std::function<void()> method) { SynchronizeCall(this, std::move(method)); }

void TThread::Queue(std::function<void()> method) { QueueCall(this, std::move(method)); }

}  // namespace host
