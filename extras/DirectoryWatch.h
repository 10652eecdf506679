// Watching file-system directories for the change notifier.
//   TKivDirectoryWatch   a worker that reads the changes of up to 63 directories and hands them,
//                        as shell event codes with paths, to a window's message queue
#pragma once

#include <windows.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "host/core/Raii.h"
#include "host/core/Threads.h"

namespace zelnor {

// True when `directory` no longer exists or is waiting to be deleted (it cannot be opened for
// listing any more); a deleted folder lingers while handles to it are open.
bool DirectoryGoneOrPending(const std::wstring& directory);

class TKivDirectoryWatch : public host::TThread {
 public:
  // One change as the shell would report it: SHCNE_* code and the absolute paths it concerns.
  struct Change {
    LONG code;
    std::wstring path1;
    std::wstring path2;  // the new name of a rename
  };

  // Starts watching; returns once every directory that could be opened is being read, so any
  // change made after this call is seen. `message` is posted to `window` when changes wait.
  // A removed object is reported as a folder when it was known as one: objects reported while
  // the watch runs are learnt as they come; with `learnFolders` the folders present at the start
  // are listed too (for a watch below, the folders opened for it are known anyway). Without it
  // a folder that was there before and is deleted is reported as a deleted file.
  // Where the platform extends a subtree watch to an existing folder only once that folder is
  // opened (Wine), a recursive watch opens every folder below before it returns; without
  // `openSubfolders` it leaves that to its owner, who opens each folder it needs (a walk does).
  TKivDirectoryWatch(std::vector<std::wstring> directories, bool recursive, HWND window,
                     UINT message, bool learnFolders = true, bool openSubfolders = true);
  ~TKivDirectoryWatch() override;

  host::String ClassName() const override { return "TKivDirectoryWatch"; }

  // The changes waiting since the last call, in the order they happened (main thread).
  std::vector<Change> Take();
  // How many directories are being read.
  int WatchedCount() const { return watched_; }

 protected:
  void Execute() override;

 private:
  struct Slot;
  void Read(Slot& slot);
  void Parse(Slot& slot, DWORD bytes);
  void Push(Change change);
  // Reports the directory of a slot as deleted and closes its handle, so the deletion can end.
  void Drop(Slot& slot);
  // The topmost watched directory that holds `directory`; empty for none.
  std::wstring TopWatchedAbove(const std::wstring& directory) const;
  // Whether a change to `path` read by `slot` lies in a watched directory.
  bool Kept(const Slot& slot, const std::wstring& path) const;
  bool IsKnownFolder(const std::wstring& path) const;
  void RememberFolder(const std::wstring& path, bool folder);
  // Lists the directory's folders; false when the watch was told to stop meanwhile.
  bool LearnSubfolders(const std::wstring& directory);
  bool Stopping() const;
  void OpenSubfolders(const std::wstring& directory, int& budget);

  std::vector<std::wstring> directories_;
  std::set<std::wstring> wanted_;  // the same, lower case
  bool recursive_;
  bool learnFolders_;
  bool openSubfolders_;
  HWND window_;
  UINT message_;
  host::UniqueHandle stop_;
  host::UniqueHandle armed_;
  std::atomic<int> watched_{0};

  std::mutex lock_;
  std::vector<Change> changes_;
  bool posted_ = false;

  // Folders seen below the watched directories (lower case), so that a deleted folder is told
  // apart from a deleted file once it is gone. Worker thread only.
  std::set<std::wstring> folders_;
};

}  // namespace zelnor
