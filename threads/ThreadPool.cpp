// Worker threads and the thread pool.
//   TKivThread    construction, start, termination step
//   TThreadPool   list, start order and limit, stopping, end reports
#include "threads/ThreadPool.h"

#include <algorithm>

namespace zelnor {

// ---- TKivThread

TKivThread::TKivThread() : TKivThread(-1) {
  // A thread waiting its turn has no platform handle yet: the default IDs are counted instead.
  static std::atomic<int> next{0x100000};
  id_ = next.fetch_add(1);
}

TKivThread::TKivThread(int id) : host::TThread(true), id_(id) {
  SetFreeOnTerminate(true);
  SetComApartment(COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
}

void TKivThread::StartOnce() {
  if (Suspended()) Resume();
}

void TKivThread::DoTerminate() {
  finished_.store(true, std::memory_order_release);
  host::TThread::DoTerminate();
}

// ---- TThreadPool: construction

TThreadPool::TThreadPool() : link_(std::make_shared<Link>(Link{this})) {}

TThreadPool::~TThreadPool() {
  destroying_ = true;  // ends are taken out of the list without events from here on
  std::vector<TKivThread*> unstarted;
  {
    auto lock = lock_.Lock();
    for (auto it = items_.rbegin(); it != items_.rend(); ++it) (*it)->Terminate();
    std::erase_if(items_, [&](TKivThread* t) {
      if (t->IsStarted()) return false;
      unstarted.push_back(t);
      return true;
    });
  }
  // A thread that never started has no platform thread: it is freed here, as it would have freed
  // itself.
  for (TKivThread* t : unstarted) delete t;
  // All were asked at once; one time-out covers them all.
  const ULONGLONG deadline = GetTickCount64() + THREAD_STOP_TIMEOUT_MS;
  while (Count() > 0 && GetTickCount64() < deadline) PumpFor(1);
  link_->pool = nullptr;  // threads left to finish alone report to no one
}

// ---- List

int TThreadPool::Add(TKivThread* thread) {
  if (!thread) return -1;
  int index;
  {
    auto lock = lock_.Lock();
    const auto it = std::find(items_.begin(), items_.end(), thread);
    if (it != items_.end()) return int(it - items_.begin());
    items_.push_back(thread);
    index = int(items_.size()) - 1;
  }
  // Added step: the pool hears of the thread's end; a handler the creator installed runs first.
  std::weak_ptr<Link> weak = link_;
  thread->OnTerminate = [weak, previous = std::move(thread->OnTerminate)](host::TObject* sender) {
    if (previous) previous(sender);
    if (auto link = weak.lock(); link && link->pool) link->pool->ThreadHasTerminated(sender);
  };
  StartWaiting();
  return index;
}

int TThreadPool::Remove(TKivThread* thread) {
  if (!thread) return -1;
  const int index = IndexOf(thread);
  if (index < 0) return -1;
  if (thread->IsFinished()) {
    RemoveFromList(thread);
  } else {
    // Leaves the pool either through its reported end or through the time-out.
    StopAndWait(thread);
  }
  return index;
}

int TThreadPool::Count() const {
  auto lock = lock_.Lock();
  return int(items_.size());
}

TKivThread* TThreadPool::Items(int index) const {
  auto lock = lock_.Lock();
  return index >= 0 && index < int(items_.size()) ? items_[size_t(index)] : nullptr;
}

int TThreadPool::IndexOf(const TKivThread* thread) const {
  auto lock = lock_.Lock();
  const auto it = std::find(items_.begin(), items_.end(), thread);
  return it == items_.end() ? -1 : int(it - items_.begin());
}

bool TThreadPool::Contains(const TKivThread* thread) const { return IndexOf(thread) >= 0; }

bool TThreadPool::ThreadExists(int id) const {
  auto lock = lock_.Lock();
  return std::any_of(items_.rbegin(), items_.rend(), [id](TKivThread* t) { return t->ID() == id; });
}

TKivThread* TThreadPool::GetFirstSuspendedThread() const {
  auto lock = lock_.Lock();
  const auto it =
      std::find_if(items_.begin(), items_.end(), [](TKivThread* t) { return !t->IsStarted(); });
  return it == items_.end() ? nullptr : *it;
}

int TThreadPool::RemoveFromList(TKivThread* thread) {
  int index;
  {
    auto lock = lock_.Lock();
    const auto it = std::find(items_.begin(), items_.end(), thread);
    if (it == items_.end()) return -1;
    index = int(it - items_.begin());
    items_.erase(it);
  }
  Deleted(thread);
  return index;
}

void TThreadPool::Deleted(TKivThread* thread) {
  // The thread is out of the list, so this only sets its flag and lets a waiting one run to its
  // end; it does not wait.
  TerminateThreadSecure(thread);
  if (destroying_) return;
  if (Count() == 0) {
    DoAllThreadsTerminated();
  } else {
    StartWaiting();
  }
}

// ---- Limit

void TThreadPool::SetMaxRunningThreads(int limit) { maxRunning_ = limit; }

void TThreadPool::StartWaiting() {
  auto lock = lock_.Lock();
  int running = 0;
  for (TKivThread* t : items_)
    if (t->IsStarted()) ++running;
  for (TKivThread* t : items_) {
    if (running >= maxRunning_) break;
    if (!t->IsStarted()) {
      t->StartOnce();
      ++running;
    }
  }
}

// ---- Stopping

void TThreadPool::PumpFor(DWORD ms) {
  if (GetCurrentThreadId() == host::MainThreadID()) {
    host::CheckSynchronize(ms);
  } else {
    Sleep(ms ? ms : 1);
  }
}

void TThreadPool::TerminateThreadSecure(TKivThread* thread) {
  if (!thread || thread->IsFinished()) return;
  StopAndWait(thread);
}

void TThreadPool::StopAndWait(TKivThread* thread) {
  thread->Terminate();
  // A thread that has not run yet must start to see its flag, end and free itself.
  thread->StartOnce();
  const ULONGLONG deadline = GetTickCount64() + THREAD_STOP_TIMEOUT_MS;
  while (Contains(thread)) {
    if (GetTickCount64() >= deadline) {
      // It does not stop: leave it to finish alone rather than kill it while it may hold a lock.
      RemoveFromList(thread);
      return;
    }
    PumpFor(1);
  }
}

void TThreadPool::TerminateThreads(bool wait) {
  {
    auto lock = lock_.Lock();
    for (auto it = items_.rbegin(); it != items_.rend(); ++it) (*it)->Terminate();
  }
  if (!wait) return;
  // Every thread has been asked at once, so one time-out covers all that run; waiting ones start
  // in their turn, see their flag and end at once.
  const ULONGLONG deadline = GetTickCount64() + THREAD_STOP_TIMEOUT_MS;
  for (;;) {
    StartWaiting();
    PumpFor(1);
    if (Count() == 0) break;
    if (GetTickCount64() < deadline) continue;
    // Those that run past the time-out are left to finish alone, which makes room for the rest.
    std::vector<TKivThread*> stuck;
    {
      auto lock = lock_.Lock();
      for (TKivThread* t : items_)
        if (t->IsStarted()) stuck.push_back(t);
    }
    for (TKivThread* t : stuck) RemoveFromList(t);
  }
}

// ---- Events

void TThreadPool::ThreadHasTerminated(host::TObject* sender) {
  auto* thread = dynamic_cast<TKivThread*>(sender);
  // A thread taken out of the pool earlier ends unreported.
  if (!thread || !Contains(thread)) return;
  if (!destroying_) DoThreadTerminated(thread);
  Remove(thread);
}

void TThreadPool::DoThreadTerminated(TKivThread* thread) {
  if (OnThreadTerminated) OnThreadTerminated(thread);
}

void TThreadPool::DoAllThreadsTerminated() {
  if (OnAllThreadsTerminated) OnAllThreadsTerminated(this);
}

}  // namespace zelnor
