// The shell list's following of changes in its folder.
//   TKivShellListChanges   takes the change notifier's reports (a deleted item goes at once, the
//                          rest restart a 200 ms timer, so a burst ends in one refresh), and
//                          refreshes incrementally: a walk of the folder marks the items it finds
//                          and gathers the objects that are new, then the findings are applied
//                          (new items in their place, unmarked items out, boxes read again)
//
// The timer's refresh walks on a worker, so a big folder's walk costs the window no ticks, and a
// walk that finds very many new objects leaves adding them to the next tick. A refill, a
// navigation or a newer refresh makes a walk's findings void.
#pragma once

#include <windows.h>

#include <memory>
#include <vector>

#include "controls/ShellListFill.h"
#include "host/core/Timer.h"

namespace zelnor {

class TKivShellList;

class TKivShellListChanges {
 public:
  explicit TKivShellListChanges(TKivShellList& list);
  ~TKivShellListChanges();
  TKivShellListChanges(const TKivShellListChanges&) = delete;
  TKivShellListChanges& operator=(const TKivShellListChanges&) = delete;

  // Change reports are gathered this long before the list refreshes.
  static constexpr unsigned kRefreshDelayMs = 200;

  // Restarts the timer: the refresh runs kRefreshDelayMs after the last call.
  void FileChange();
  // A report of the list's change notifier (event, and the absolute list it names).
  void Report(int event, PItemIDList pidl1);
  // The timer's tick: adds what a walk left for it, follows a vanished folder, else refreshes.
  void Tick();
  // Brings the items up to date with the folder, keeping what is unchanged.
  void Refresh();
  // A walk under way is dropped (the list refills); Stop also stops the timer (the list goes).
  void StopWalk();
  void Stop();

 private:
  // Forgets a walk waiting to be applied; the timer goes back to its delay.
  void DropPending();
  // The two steps of an incremental refresh: the walk marks the items it finds and gathers the
  // objects that are new; applying adds those, drops the unmarked items and reads the states.
  void Walk(std::vector<TKivShellListFill::Record>& fresh);
  void Apply(std::vector<TKivShellListFill::Record> fresh);
  // The timer's walk on a worker: start, match what it found, stop.
  void StartWalk();
  void WalkReady();
  bool IsShownFolderOrAncestor(PCItemIDList idList);

  TKivShellList& list_;
  std::unique_ptr<host::TTimer> timer_;
  // A walk of the timer that found many new objects leaves adding them to the next tick.
  struct PendingChanges {
    std::vector<TKivShellListFill::Record> fresh;
    unsigned stamp = 0;
    bool pending = false;
    bool reported = false;  // a change report came meanwhile: walk again after applying
  } pending_;
  bool fromTimer_ = false;
  std::unique_ptr<TKivShellListFill> walk_;  // the timer's walk for changes
  bool walkReported_ = false;  // a change report came during the walk: walk again after it
};

}  // namespace zelnor
