// The file search on a worker thread and what it hands to the main thread.
//   TKivFoundFile          the attributes, size and times of a found entry
//   TKivSearchResults      the records of the running searches, in the order their walks
//                          found them: filled by the workers, drained by the main thread
//   TKivFileSearchThread   walks a folder tree, or every ready drive, tests each entry against
//                          its copy of the search options and hands on matches and examined paths
//
// A walk hands its records over in batches, never waiting for the main thread; the receiver is
// woken by a message when records arrive in an empty queue and drains them in slices of its own
// time. Folders are identified by volume and file once the walk meets a junction or link (from
// the start when every drive is searched, as drives show up again below other drives), so a walk
// enters no folder twice and always ends.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <set>
#include <utility>
#include <vector>

#include "extras/SearchOptions.h"
#include "threads/ThreadPool.h"

namespace zelnor {

struct TKivFoundFile {
  DWORD attributes = 0;
  uint64_t size = 0;
  FILETIME creation{}, access{}, write{};

  static TKivFoundFile Of(const WIN32_FIND_DATAW& data);
  bool IsFolder() const { return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
};

class TKivSearchResults {
 public:
  enum TKind : uint8_t {
    rkMatch,     // a path that passed the limits
    rkExamined,  // a path the walk looked at, for progress
    rkEnd,       // the search has ended (put in by the receiver once its thread has gone)
  };
  struct Record {
    int search = 0;  // the ID of the search thread
    TKind kind = rkMatch;
    String path;
    TKivFoundFile file;  // matches only
  };

  TKivSearchResults() = default;
  TKivSearchResults(const TKivSearchResults&) = delete;
  TKivSearchResults& operator=(const TKivSearchResults&) = delete;

  // ---- Receiver (main thread)
  // Records arriving in an empty queue post `message` to `window`; Disconnect stops that, for a
  // receiver that goes while searches may still hand over.
  void Connect(HWND window, UINT message);
  void Disconnect();
  // Whether walks hand over examined paths too; read by the walks as they go.
  void SetWantsProgress(bool value) { wantsProgress_.store(value, std::memory_order_relaxed); }
  // Moves up to `most` of the oldest records to the end of `out`; answers whether more wait.
  // No arrival posts again until the receiver rests: while it drains, it goes on by itself.
  bool Take(std::vector<Record>& out, size_t most);
  // The receiver has added everything it took: when the queue is empty too, the next arrival
  // posts again and this answers true; else the receiver goes on draining.
  bool Rest();
  // Forgets the waiting records of a search, all but its end.
  void Drop(int search);
  // Appends a record from the main thread (the end of a search).
  void Append(Record record);

  // ---- Walks (any thread)
  bool WantsProgress() const { return wantsProgress_.load(std::memory_order_relaxed); }
  // Appends the batch in its order and empties it.
  void Hand(std::vector<Record>& batch);

 private:
  void PostIfIdle(std::unique_lock<std::mutex>& lock);

  std::mutex lock_;
  std::deque<Record> records_;
  HWND window_ = nullptr;
  UINT message_ = 0;
  bool posted_ = false;  // a wake-up is on its way, or the receiver is still draining
  std::atomic<bool> wantsProgress_{false};
};

class TKivFileSearchThread : public TKivThread {
 public:
  // Copies `options` (later changes of the caller's options do not reach the walk) and starts
  // suspended: the pool that takes the thread starts it. An empty `path` searches the root of
  // every ready drive in My Computer's order.
  TKivFileSearchThread(const TKivSearchOptions& options, std::shared_ptr<TKivSearchResults> results,
                       const String& path);

  host::String ClassName() const override { return "TKivFileSearchThread"; }
  const TKivSearchOptions& Options() const { return *options_; }
  const String& StartPath() const { return path_; }

 protected:
  void Execute() override;
  // Searches one folder (ending in a backslash): its entries in the platform's order, then,
  // when the search is recursive, each subfolder in that order that is not hidden (unless
  // hidden entries are included). Stops at the next entry once the thread is terminated.
  virtual void Search(const String& directory);
  // Hands on a match; with progress wanted, its path as examined as well.
  void Add(const String& path, const WIN32_FIND_DATAW& data);
  // Hands on an examined path, when progress is wanted.
  void Progress(const String& path);

 private:
  void SearchW(const host::WideString& directory, const String& utf8);
  // Hands what waits to the receiver, at once or when the batch is due.
  void Flush(bool now);
  // From now on every folder entered is checked against those already entered.
  void WatchForRevisits();
  // False when `folder` has been entered already in this search (by its identity).
  bool EnterFolder(const host::WideString& folder);

  std::unique_ptr<TKivSearchOptions> options_;
  std::shared_ptr<TKivSearchResults> results_;
  String path_;
  bool progress_ = false;
  std::vector<TKivSearchResults::Record> batch_;
  ULONGLONG batchStarted_ = 0;
  bool firstBatch_ = true;
  bool watching_ = false;
  std::vector<host::WideString> walking_;  // the folders being searched, outermost first
  std::set<std::pair<uint64_t, std::pair<uint64_t, uint64_t>>> visited_;
};

}  // namespace zelnor
