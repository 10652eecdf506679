// What the shell tree does with changes on disk.
//   TGotoFolderIdAction    what GotoFolderIdList does with the node it finds
//   TKivShellTreeChanges   the folders the tree's notifier watches (each folder shown open, no
//                          more: a collapsed or deleted node's folder is let go) and the change
//                          reports, worked off as they come while they are few, merged and worked
//                          off in slices on a timer during a burst
//
// A report costs the tree a walk to the node and often an enumeration of its folder. A burst of
// them (a worker making thousands of files, one announcement each) would keep the window's thread
// from its other messages: once the reports of a burst have taken kSlice, the rest wait in a queue
// that keeps one step per node and is worked off kSlice at a time.
#pragma once

#include <windows.h>

#include <chrono>
#include <deque>
#include <functional>
#include <vector>

#include "host/core/Raii.h"
#include "host/core/Timer.h"
#include "shell/Zelnor.h"

namespace host {
class TTreeNode;
}

namespace zelnor {

class TKivShellTree;

enum TGotoFolderIdAction { gaSelect, gaRefresh, gaRefreshParent, gaDelete };

class TKivShellTreeChanges {
 public:
  static constexpr std::chrono::milliseconds kSlice{50};

  explicit TKivShellTreeChanges(TKivShellTree& tree);
  ~TKivShellTreeChanges();
  TKivShellTreeChanges(const TKivShellTreeChanges&) = delete;
  TKivShellTreeChanges& operator=(const TKivShellTreeChanges&) = delete;

  // ---- Watches
  // Has the notifier watch a folder the tree shows open (and the roots with it); while a Hold
  // guard lives, the folders wait and are watched together when the outermost ends (each change
  // of the notifier's folders registers all of them again).
  void Watch(const String& folder);
  host::ScopeExitGuard<std::function<void()>> Hold();
  // Watches the folder of an opened node and of its open descendants again.
  void WatchOpen(host::TTreeNode* node);
  // Lets go of a node's folder and every folder below it, but the roots'.
  void Unwatch(host::TTreeNode* node);

  // ---- Reports
  // One report of the notifier; applied at once unless a burst has used its slice.
  void Report(int event, PCItemIDList first, PCItemIDList second);
  // Steps waiting for the timer.
  size_t Pending() const { return queue_.size(); }
  void Stop();

 private:
  struct TStep {
    TGotoFolderIdAction action;
    UniquePidl list;
  };
  using TClock = std::chrono::steady_clock;

  void Add(TGotoFolderIdAction action, PCItemIDList list);
  void Run(TGotoFolderIdAction action, PCItemIDList list);
  void RunOnAliases(TGotoFolderIdAction action, PCItemIDList list);
  void Tick();
  void WatchFolders(const std::vector<String>& folders);

  TKivShellTree& tree_;
  std::vector<String> held_;
  int holdDepth_ = 0;
  std::deque<TStep> queue_;
  TClock::duration spent_{};      // by the reports of the running burst
  TClock::time_point lastEnd_{};  // when the last report was done with
  host::TTimer timer_;
};

}  // namespace zelnor
