// Background folder sizes and the stack of open directory searches.
//   TKivFolderSizeThread   pooled job summing the bytes and files of a folder tree or of one file
//   TKivStack              open directory searches of a depth-first walk, with the current path
#pragma once

#include "host/core/Raii.h"
#include "threads/ThreadPool.h"

#include <cstdint>
#include <set>
#include <utility>
#include <vector>

namespace zelnor {

// Sums the sizes and the number of files below Path (or of Path itself when it is a file) on a
// worker thread, at raised priority; the totals are read on the main thread once the pool has
// reported the job's end. Every file counts, whatever its attributes; folders themselves do not.
// Once the walk meets its first junction or link (a reparse-point folder; Wine shows Unix links
// so), it identifies every folder by volume and file ID and walks each at most once, so links
// back into the tree cannot make it loop. Trees without links pay nothing for this.
class TKivFolderSizeThread : public TKivThread {
 public:
  explicit TKivFolderSizeThread(const host::String& path);

  host::String ClassName() const override { return "TKivFolderSizeThread"; }

  // +1 for a job started by an addition, -1 for one started by a removal.
  int Sign() const { return sign_; }
  void SetSign(int sign) { sign_ = sign; }
  // The measured path; a folder gains a trailing backslash when the job starts. Read it before
  // the job is added or after its end.
  const host::String& Path() const { return path_; }
  int64_t ByteTotal() const { return byteTotal_; }
  int FileCount() const { return fileCount_; }

 protected:
  void Execute() override;
  // Adds the files of `folder` (ending in a backslash) and of its subfolders, depth first in
  // directory order; stops at the next entry of every level once the job is terminated.
  virtual void ScanFolder(const host::String& folder);
  // From now on every folder entered is checked against those already walked; the folders being
  // walked are recorded at once. Done by the walk at its first link.
  void WatchForRevisits();

 private:
  void ScanFolderW(const host::WideString& folder);
  // False when `folder` has been walked already in this job (by its identity).
  bool EnterFolder(const host::WideString& folder);

  int sign_ = 1;
  host::String path_;
  int64_t byteTotal_ = 0;
  int fileCount_ = 0;
  bool watching_ = false;
  std::vector<host::WideString> walking_;  // the folders being walked, outermost first
  std::set<std::pair<uint64_t, std::pair<uint64_t, uint64_t>>> visited_;
};

// The open directory searches of a depth-first enumeration, one per folder level, and the folder
// (with a trailing backslash) whose search is on top. Main thread only. Searches still held when
// the stack is cleared or freed are closed.
class TKivStack : public host::TObject {
 public:
  TKivStack() = default;
  ~TKivStack() override;
  TKivStack(const TKivStack&) = delete;
  TKivStack& operator=(const TKivStack&) = delete;

  host::String ClassName() const override { return "TKivStack"; }

  // Takes over a valid search handle and extends the current path by `name` and a backslash.
  // An empty handle is neither pushed nor changes the path.
  void Push(host::FindHandle handle, const host::String& name);
  // Removes the top search and hands it over (empty when the stack is); it closes when the
  // returned owner goes. The current path loses its last folder, and becomes empty with the stack.
  [[nodiscard]] host::FindHandle Pop();
  // The top search (borrowed), nullptr when empty.
  HANDLE Top() const { return handles_.empty() ? nullptr : handles_.back().get(); }
  int Count() const { return int(handles_.size()); }
  // Closes every search still held and empties the current path.
  void Clear();

  const host::String& CurrentPath() const { return currentPath_; }
  void SetCurrentPath(const host::String& path) { currentPath_ = path; }

 private:
  std::vector<host::FindHandle> handles_;
  host::String currentPath_;
};

}  // namespace zelnor
