// Filling the shell list from a worker thread.
//   TKivShellListFill   enumerates one folder on its own thread, with its own COM apartment,
//                       navigator and folder object; hands the shown children to the main thread
//                       in batches, and at the end the folder's order of all of them
//
// The worker never touches the list: it posts to a hidden window of its own, and the main thread
// takes what waits. Destroying the object stops the worker and drops what it had not handed over.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "controls/ShellNameOrder.h"
#include "host/Threads.h"
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

  // How the finished fill is ordered on the worker: by name keys checked with the folder's
  // comparison, by the folder's comparison of `column`, or not at all (the list sorts).
  enum TOrder { orNone, orNames, orFolder };

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
  // The sequence numbers of all children in the folder's order (empty with orNone).
  std::vector<uint32_t> TakeOrder();

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
  HWND window_ = nullptr;

  std::mutex lock_;
  std::vector<std::vector<Record>> batches_;
  std::vector<uint32_t> order_;
  bool complete_ = false;
  // The worker posts once; then the main thread comes back from a timer, because a stream of
  // posted messages would keep input, painting and timers out.
  bool posted_ = false;
};

}  // namespace zelnor
