// Tests of the folder-size jobs (single file, empty and missing folders, files over 4 GiB, links
// back into the tree, termination midway) and of the stack of directory searches.
#include "selection/FolderSizeThread.h"

#include "host/core/Raii.h"

#include <gtest/gtest.h>

#include "Pump.h"

#include <winioctl.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

using zelnor::TKivFolderSizeThread;
using zelnor::TKivStack;
using zelnor::TKivThread;
using zelnor::TThreadPool;

using testing_support::PumpSynchronizeUntil;

namespace {

std::wstring W(const host::String& s) { return host::ToWide(s); }

// A unique folder under the temporary folder, removed with everything in it.
class TempTree {
 public:
  TempTree() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    root_ = host::ToUtf8(temp) + "zelnor-size-" + std::to_string(GetCurrentProcessId()) + "-" +
            std::to_string(GetTickCount64()) + "\\";
    CreateDirectoryW(W(root_).c_str(), nullptr);
  }
  ~TempTree() { RemoveTree(W(root_)); }

  const host::String& Root() const { return root_; }
  host::String Folder(const host::String& rel) const {
    CreateDirectoryW(W(root_ + rel).c_str(), nullptr);
    return root_ + rel + "\\";
  }
  host::String File(const host::String& rel, size_t bytes, DWORD attributes = 0) const {
    host::UniqueFile f{CreateFileW(W(root_ + rel).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr)};
    const std::string data(bytes, 'x');
    DWORD written = 0;
    if (bytes) WriteFile(f.get(), data.data(), DWORD(bytes), &written, nullptr);
    f.reset();
    if (attributes) SetFileAttributesW(W(root_ + rel).c_str(), attributes);
    return root_ + rel;
  }

 private:
  static void RemoveTree(const std::wstring& folder) {
    WIN32_FIND_DATAW data;
    host::FindHandle search{FindFirstFileW((folder + L"*").c_str(), &data)};
    if (search) {
      do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring full = folder + name;
        SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
            !(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
          RemoveTree(full + L"\\");
        } else if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
          RemoveDirectoryW(full.c_str());  // a link: remove the link, not its target
        } else {
          DeleteFileW(full.c_str());
        }
      } while (FindNextFileW(search.get(), &data));
    }
    search.reset();
    RemoveDirectoryW(folder.c_str());
  }

  host::String root_;
};

struct Totals {
  int64_t bytes = -1;
  int files = -1;
  bool terminated = false;
  host::String path;
};

// Runs one job in a pool and returns what the pool reported at its end.
std::optional<Totals> RunJob(TKivFolderSizeThread* job) {
  std::optional<Totals> result;
  TThreadPool pool;
  pool.OnThreadTerminated = [&](TKivThread* t) {
    auto* j = dynamic_cast<TKivFolderSizeThread*>(t);
    result = Totals{j->ByteTotal(), j->FileCount(), j->Terminated(), j->Path()};
  };
  pool.Add(job);
  PumpSynchronizeUntil([&] { return result.has_value(); });
  return result;
}

// A job that stops at a chosen folder depth until the test lets it go on.
class TPausingJob : public TKivFolderSizeThread {
 public:
  TPausingJob(const host::String& path, int pauseAtDepth)
      : TKivFolderSizeThread(path),
        pauseAt_(pauseAtDepth),
        reached_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
        go_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
  HANDLE Reached() const { return reached_.get(); }
  HANDLE Go() const { return go_.get(); }

 protected:
  void ScanFolder(const host::String& folder) override {
    if (++depth_ == pauseAt_) {
      SetEvent(reached_.get());
      WaitForSingleObject(go_.get(), 30000);
    }
    TKivFolderSizeThread::ScanFolder(folder);
    --depth_;
  }

 private:
  int depth_ = 0;
  const int pauseAt_;
  host::UniqueHandle reached_, go_;
};

// A job that, on entering the folder whose path ends in `trigger`, walks `again` as well.
class TRevisitingJob : public TKivFolderSizeThread {
 public:
  TRevisitingJob(const host::String& path, host::String trigger, host::String again)
      : TKivFolderSizeThread(path), trigger_(std::move(trigger)), again_(std::move(again)) {}
  std::atomic<bool> revisited{false};

 protected:
  void ScanFolder(const host::String& folder) override {
    TKivFolderSizeThread::ScanFolder(folder);
    if (folder.size() >= trigger_.size() &&
        folder.compare(folder.size() - trigger_.size(), trigger_.size(), trigger_) == 0) {
      revisited = true;
      WatchForRevisits();  // as the walk does when it meets a link
      TKivFolderSizeThread::ScanFolder(again_);
    }
  }

 private:
  const host::String trigger_, again_;
};

// A junction at `link` to `target`, else a folder symbolic link; false when neither can be made
// (Wine reports success for the symbolic link but makes nothing).
bool MakeFolderLink(const std::wstring& link, const std::wstring& target) {
  if (CreateDirectoryW(link.c_str(), nullptr)) {
    host::UniqueFile dir{CreateFileW(link.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                     FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                     nullptr)};
    const std::wstring substitute = L"\\??\\" + target;
    std::vector<BYTE> buffer(sizeof(DWORD) * 2 + 8 + (substitute.size() + 2) * sizeof(wchar_t));
    auto* words = reinterpret_cast<WORD*>(buffer.data());
    *reinterpret_cast<DWORD*>(buffer.data()) = IO_REPARSE_TAG_MOUNT_POINT;
    words[2] = WORD(buffer.size() - 8);                    // data length
    words[4] = 0;                                          // substitute name offset
    words[5] = WORD(substitute.size() * sizeof(wchar_t));  // substitute name length
    words[6] = WORD(words[5] + sizeof(wchar_t));           // print name offset
    words[7] = 0;                                          // print name length
    std::memcpy(buffer.data() + 16, substitute.data(), words[5]);
    DWORD bytes = 0;
    const bool made = dir && DeviceIoControl(dir.get(), FSCTL_SET_REPARSE_POINT, buffer.data(),
                                             DWORD(buffer.size()), nullptr, 0, &bytes, nullptr);
    dir.reset();
    if (!made) RemoveDirectoryW(link.c_str());
  }
  if (GetFileAttributesW(link.c_str()) == INVALID_FILE_ATTRIBUTES)
    CreateSymbolicLinkW(link.c_str(), target.c_str(),
                        SYMBOLIC_LINK_FLAG_DIRECTORY | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE);
  const DWORD attributes = GetFileAttributesW(link.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
         (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

}  // namespace

TEST(FolderSizeThread, IsFreeOnTerminateAtHigherPriorityWithPositiveSign) {
  auto* job = new TKivFolderSizeThread("C:\\nowhere-at-all");
  EXPECT_TRUE(job->FreeOnTerminate());
  EXPECT_EQ(job->Priority(), host::tpHigher);
  EXPECT_EQ(job->Sign(), 1);
  EXPECT_EQ(job->ByteTotal(), 0);
  EXPECT_EQ(job->FileCount(), 0);
  const auto totals = RunJob(job);
  ASSERT_TRUE(totals);
  EXPECT_EQ(totals->bytes, 0);  // a path that does not exist counts nothing
  EXPECT_EQ(totals->files, 0);
}

TEST(FolderSizeThread, CountsSingleFileEmptyFolderAndVanishedPath) {
  TempTree tree;
  const host::String file = tree.File("one.bin", 1234);
  auto single = RunJob(new TKivFolderSizeThread(file));
  ASSERT_TRUE(single);
  EXPECT_EQ(single->bytes, 1234);
  EXPECT_EQ(single->files, 1);
  EXPECT_EQ(single->path, file);

  const host::String empty = tree.Folder("empty");
  auto none = RunJob(new TKivFolderSizeThread(empty.substr(0, empty.size() - 1)));
  ASSERT_TRUE(none);
  EXPECT_EQ(none->bytes, 0);
  EXPECT_EQ(none->files, 0);
  EXPECT_EQ(none->path, empty);  // gained its trailing backslash

  const host::String gone = tree.Folder("gone");
  RemoveDirectoryW(W(gone).c_str());
  auto vanished = RunJob(new TKivFolderSizeThread(gone));
  ASSERT_TRUE(vanished);
  EXPECT_EQ(vanished->bytes, 0);
  EXPECT_EQ(vanished->files, 0);
}

TEST(FolderSizeThread, SumsEveryFileOfTheTreeWhateverItsAttributes) {
  TempTree tree;
  tree.Folder("a");
  tree.Folder("a\\b");
  tree.Folder("a\\b\\c");
  tree.Folder("a\\empty");
  tree.File("top.txt", 10);
  tree.File("a\\one.txt", 100);
  tree.File("a\\hidden.sys", 7, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  tree.File("a\\b\\two.txt", 1000);
  tree.File("a\\b\\c\\readonly.txt", 3, FILE_ATTRIBUTE_READONLY);
  tree.File("a\\b\\c\\zero.txt", 0);
  auto* job = new TKivFolderSizeThread(tree.Root());
  job->SetSign(-1);
  std::optional<Totals> totals = RunJob(job);
  ASSERT_TRUE(totals);
  EXPECT_EQ(totals->files, 6);
  EXPECT_EQ(totals->bytes, 1120);
  EXPECT_FALSE(totals->terminated);
}

TEST(FolderSizeThread, AddsTheFull64BitSizeOfAFileOver4GiB) {
  TempTree tree;
  tree.Folder("big");
  const std::wstring path = W(tree.Root() + "big\\sparse.bin");
  const LONGLONG size = (5LL << 30) + 17;  // 5 GiB and a bit
  {
    host::UniqueFile f{CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                   CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)};
    ASSERT_TRUE(f);
    DWORD bytes = 0;
    // Sparse where the platform can mark it so; a plain extension is sparse on Wine's hosts.
    DeviceIoControl(f.get(), FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &bytes, nullptr);
    LARGE_INTEGER end;
    end.QuadPart = size;
    ASSERT_TRUE(SetFilePointerEx(f.get(), end, nullptr, FILE_BEGIN));
    ASSERT_TRUE(SetEndOfFile(f.get()));
  }
  tree.File("big\\small.txt", 5);
  auto totals = RunJob(new TKivFolderSizeThread(tree.Root() + "big"));
  ASSERT_TRUE(totals);
  EXPECT_EQ(totals->files, 2);
  EXPECT_EQ(totals->bytes, size + 5);
  auto single = RunJob(new TKivFolderSizeThread(host::ToUtf8(path)));
  ASSERT_TRUE(single);
  EXPECT_EQ(single->bytes, size);
}

TEST(FolderSizeThread, LinkBackIntoTheTreeIsNotWalkedAgain) {
  TempTree tree;
  tree.Folder("a");
  tree.Folder("a\\b");
  tree.File("a\\one.txt", 1);
  tree.File("a\\b\\two.txt", 2);
  if (!MakeFolderLink(W(tree.Root() + "a\\b\\loop"), W(tree.Root() + "a")))
    GTEST_SKIP() << "folder links cannot be made here";
  auto totals = RunJob(new TKivFolderSizeThread(tree.Root()));
  ASSERT_TRUE(totals);
  EXPECT_EQ(totals->files, 2);
  EXPECT_EQ(totals->bytes, 3);
}

TEST(FolderSizeThread, FolderReachedAgainUnderAnotherSpellingIsNotWalkedAgain) {
  TempTree tree;
  tree.Folder("a");
  tree.Folder("a\\b");
  tree.File("a\\one.txt", 1);
  tree.File("a\\b\\two.txt", 2);
  // What a link from a\b back to the root does: the walk meets the root again.
  std::wstring upper = W(tree.Root());
  CharUpperBuffW(upper.data(), DWORD(upper.size()));
  const host::String again = host::ToUtf8(upper);
  auto* job = new TRevisitingJob(tree.Root(), "\\b\\", again);
  auto totals = RunJob(job);
  ASSERT_TRUE(totals);
  EXPECT_TRUE(job->revisited);
  EXPECT_EQ(totals->files, 2);
  EXPECT_EQ(totals->bytes, 3);
}

TEST(FolderSizeThread, TerminatedDuringADeepWalkStopsAtTheNextEntry) {
  TempTree tree;
  host::String rel;
  int total = 0;
  for (int depth = 0; depth < 12; ++depth) {
    rel += (depth ? "\\d" : "d") + std::to_string(depth);
    tree.Folder(rel);
    for (int i = 0; i < 3; ++i) {
      tree.File(rel + "\\f" + std::to_string(i), 1);
      ++total;
    }
  }
  auto* job = new TPausingJob(tree.Root(), 5);
  const HANDLE reached = job->Reached(), go = job->Go();
  std::optional<Totals> totals;
  TThreadPool pool;
  pool.OnThreadTerminated = [&](TKivThread* t) {
    auto* j = dynamic_cast<TKivFolderSizeThread*>(t);
    totals = Totals{j->ByteTotal(), j->FileCount(), j->Terminated(), j->Path()};
  };
  pool.Add(job);
  ASSERT_EQ(WaitForSingleObject(reached, 30000), WAIT_OBJECT_0);
  pool.TerminateThreads(false);
  SetEvent(go);
  ASSERT_TRUE(PumpSynchronizeUntil([&] { return totals.has_value(); }));
  EXPECT_TRUE(totals->terminated);
  EXPECT_LT(totals->files, total);
  EXPECT_FALSE(pool.ThreadsActive());
}

TEST(KivStack, PushAndPopFollowTheCurrentPath) {
  TempTree tree;
  const host::String data = tree.Folder("Data");
  tree.Folder("Data\\Sub");
  WIN32_FIND_DATAW fd;
  const HANDLE top = FindFirstFileW(W(data + "*").c_str(), &fd);
  const HANDLE sub = FindFirstFileW(W(data + "Sub\\*").c_str(), &fd);
  ASSERT_NE(top, INVALID_HANDLE_VALUE);
  ASSERT_NE(sub, INVALID_HANDLE_VALUE);

  TKivStack stack;
  EXPECT_EQ(stack.Top(), nullptr);
  EXPECT_FALSE(stack.Pop());
  stack.Push(host::FindHandle{top}, data.substr(0, data.size() - 1));
  EXPECT_EQ(stack.CurrentPath(), data);
  stack.Push(host::FindHandle{}, "Nothing");
  EXPECT_EQ(stack.CurrentPath(), data);
  EXPECT_EQ(stack.Count(), 1);
  stack.Push(host::FindHandle{sub}, "Sub");
  EXPECT_EQ(stack.CurrentPath(), data + "Sub\\");
  EXPECT_EQ(stack.Top(), sub);

  {
    host::FindHandle popped = stack.Pop();
    EXPECT_EQ(popped.get(), sub);
    EXPECT_EQ(stack.CurrentPath(), data);
    // Handed over, not closed: the search still answers.
    EXPECT_TRUE(FindNextFileW(sub, &fd) || GetLastError() == ERROR_NO_MORE_FILES);
  }
  // Closed with its owner.
  SetLastError(0);
  EXPECT_FALSE(FindNextFileW(sub, &fd));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
  EXPECT_EQ(stack.Pop().get(), top);
  EXPECT_EQ(stack.CurrentPath(), "");
  EXPECT_EQ(stack.Count(), 0);
}

TEST(KivStack, ClearClosesSearchesStillOpen) {
  TempTree tree;
  const host::String data = tree.Folder("Data");
  WIN32_FIND_DATAW fd;
  const HANDLE search = FindFirstFileW(W(data + "*").c_str(), &fd);
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  TKivStack stack;
  stack.Push(host::FindHandle{search}, data);
  EXPECT_EQ(stack.CurrentPath(), data);
  stack.Clear();
  EXPECT_EQ(stack.Count(), 0);
  EXPECT_EQ(stack.CurrentPath(), "");
  SetLastError(0);
  EXPECT_FALSE(FindNextFileW(search, &fd));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
}
