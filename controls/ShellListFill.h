// Filling the shell list from a worker thread.
//   TKivShellListFill   enumerates one folder on its own thread, with its own COM apartment,
//                       navigator and folder object; hands the shown children to the main thread
//                       in batches, and at the end the folder's order of all of them. The
//                       list's incremental refresh walks the folder with it too, in one batch.
//
// The worker never touches the list: it posts to a hidden window of its own, and the main thread
// takes what waits. Destroying the object stops the worker and drops what it had not handed over.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "controls/ShellNameOrder.h"
#include "host/core/Raii.h"
#include "host/core/Threads.h"
#include "shell/ShowOptions.h"
#include "shell/Zelnor.h"

namespace zelnor {

class TKivShellListFill : public host::TThread {
 public:
  // One shown child.
  struct Record {
    uint32_t sequence = 0;  // its place among the shown children, in enumeration order
    UniquePidl idList;      // relative to the folder
    String parsingName;
    bool folder = false;
    std::string key;        // its name's sort key when the fill orders by name
  };

  // The navigator's current child: its item identifier list, parsing name and place among the
  // folders.
  static Record Child(TZelnor& navigator);

  // How the finished fill is ordered on the worker: not at all (the list sorts), not at all but
  // with each child's name key for the list to sort by, by name keys checked with the folder's
  // comparison, or by the folder's comparison of `column`.
  enum TOrder { orNone, orKeys, orNames, orFolder };

  struct Settings {
    UniquePidl folder;  // absolute
    String filter;
    bool fileSystemOnly = false;
    TKivShellShowOptions showOptions;
    bool showFolders = true;
    TOrder order = orNone;
    TShellNameOrder nameOrder;
    int column = 0;        // the list's sort column
    int folderColumn = 0;  // the folder's number of that column
    bool descending = false;
    bool wholeAtEnd = false;  // every child in one batch, handed over when the walk is done
  };

  // Starts the worker. `ready` runs on the main thread whenever batches or the end wait.
  TKivShellListFill(Settings settings, std::function<void()> ready);
  ~TKivShellListFill() override;

  host::String ClassName() const override { return "TKivShellListFill"; }
  const Settings& GetSettings() const { return settings_; }

  // Takes the oldest batch handed over, sorted by key when the fill orders by name; false when
  // none waits. `last` tells whether every child has now been taken, also when none waited
  // (main thread). The worker wakes the ready handler once, with its first batch; from then on
  // the caller comes back through ContinueLater until the last.
  bool TakeBatch(std::vector<Record>& batch, bool& last);
  // Calls the ready handler again shortly, from a timer, so that input and painting come first.
  void ContinueLater();
  // The sequence numbers of all children in the folder's order (empty with orNone and orKeys).
  std::vector<uint32_t> TakeOrder();
  // Whether the folder could not be bound or walked to its end: what was handed over is then
  // not all of its children (once the last batch was taken).
  bool Failed() const { return failed_; }

 protected:
  void Execute() override;

 private:
  void Enumerate(TZelnor& navigator, std::vector<Record>& batch, std::vector<UniquePidl>& ids,
                 std::vector<std::string>& keys);
  void Hand(std::vector<Record>& batch, bool last);
  std::vector<uint32_t> FinalOrder(IShellFolder* folder, std::vector<UniquePidl>& ids,
                                   std::vector<std::string>& keys);
  bool Stopping() const { return Terminated(); }

  Settings settings_;
  std::function<void()> ready_;
  host::UniqueHiddenWindow window_;

  std::mutex lock_;
  std::vector<std::vector<Record>> batches_;
  std::vector<uint32_t> order_;
  bool complete_ = false;
  std::atomic<bool> failed_{false};
  // The worker posts once; then the main thread comes back from a timer, because a stream of
  // posted messages would keep input, painting and timers out.
  bool posted_ = false;
};

}  // namespace zelnor
