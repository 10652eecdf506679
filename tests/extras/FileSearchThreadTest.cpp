// The search thread on real trees: what it hands over and in which order, hidden folders,
// recursion, progress, big files, stopping, and walks over links and every drive that end.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>
#include <vector>

#include "Pump.h"
#include "extras/FileSearchThread.h"
#include "host/core/Raii.h"
#include "shell/TempDir.h"
#include "threads/ThreadPool.h"

using namespace zelnor;
using testing_support::PumpSynchronizeUntil;
using testing_support::TempDir;

namespace {

struct Walk {
  std::vector<String> matches;   // in the order handed over
  std::vector<String> examined;  // paths handed over for progress only
};

Walk Collect(TKivSearchResults& results) {
  Walk walk;
  std::vector<TKivSearchResults::Record> records;
  while (results.Take(records, 1000)) {
  }
  for (const auto& r : records)
    (r.kind == TKivSearchResults::rkMatch ? walk.matches : walk.examined).push_back(r.path);
  return walk;
}

// Runs a search of `path` to its end on a pool, as the file list does.
Walk RunSearch(const TKivSearchOptions& options, const String& path, bool progress = false) {
  auto results = std::make_shared<TKivSearchResults>();
  results->SetWantsProgress(progress);
  TThreadPool pool;
  bool ended = false;
  pool.OnThreadTerminated = [&](TKivThread*) { ended = true; };
  pool.Add(new TKivFileSearchThread(options, results, path));
  EXPECT_TRUE(PumpSynchronizeUntil([&] { return ended; }));
  return Collect(*results);
}

size_t IndexOf(const std::vector<String>& paths, const String& path) {
  return size_t(std::find(paths.begin(), paths.end(), path) - paths.begin());
}

std::set<String> SetOf(const std::vector<String>& paths) { return {paths.begin(), paths.end()}; }

struct SearchThreadTest : ::testing::Test {
  TempDir dir;
  String root, sub, deeper, notes, hid;

  void SetUp() override {
    root = dir.Path() + "\\";
    dir.File("a.txt", "0123456789");
    dir.File("b.doc", "x");
    sub = dir.Folder("sub") + "\\";
    dir.File("sub\\c.txt", "c");
    deeper = dir.Folder("sub\\deeper") + "\\";
    dir.File("sub\\deeper\\d.txt", "d");
    // A folder whose name matches.
    notes = dir.Folder("notes.txt") + "\\";
    dir.File("notes.txt\\e.txt", "e");
    hid = dir.Folder("hid") + "\\";
    dir.File("hid\\h.txt", "h");
    SetFileAttributesW(host::ToWide(dir.Path() + "\\hid").c_str(), FILE_ATTRIBUTE_HIDDEN);
    const String hiddenFile = dir.File("hidden.txt", "h");
    SetFileAttributesW(host::ToWide(hiddenFile).c_str(), FILE_ATTRIBUTE_HIDDEN);
  }
};

}  // namespace

TEST_F(SearchThreadTest, FolderMatchesComeBeforeTheirSubfoldersAndHiddenOnesWaitForTheOption) {
  TKivSearchOptions options;
  options.SetFilter("*.txt");
  Walk walk = RunSearch(options, dir.Path());  // no trailing backslash: one is added
  EXPECT_EQ(SetOf(walk.matches), (std::set<String>{root + "a.txt", root + "notes.txt",
                                                     sub + "c.txt", deeper + "d.txt",
                                                     notes + "e.txt"}));
  EXPECT_EQ(walk.matches.size(), 5u);
  EXPECT_TRUE(walk.examined.empty());
  // Depth first: a folder's own matches, then each subfolder's tree.
  for (const char* top : {"a.txt", "notes.txt"})
    for (const String& below : {sub + "c.txt", deeper + "d.txt", notes + "e.txt"})
      EXPECT_LT(IndexOf(walk.matches, root + top), IndexOf(walk.matches, below));
  EXPECT_LT(IndexOf(walk.matches, sub + "c.txt"), IndexOf(walk.matches, deeper + "d.txt"));
  const bool subFirst = IndexOf(walk.matches, sub + "c.txt") < IndexOf(walk.matches, notes + "e.txt");
  EXPECT_EQ(subFirst, IndexOf(walk.matches, deeper + "d.txt") < IndexOf(walk.matches, notes + "e.txt"));

  options.SetIncludeHidden(true);
  walk = RunSearch(options, root);
  EXPECT_TRUE(SetOf(walk.matches).count(hid + "h.txt"));
  EXPECT_TRUE(SetOf(walk.matches).count(root + "hidden.txt"));

  // Files only: the matching folder is not reported, and still entered.
  options.SetIncludeHidden(false);
  options.SetFilesOnly(true);
  walk = RunSearch(options, root);
  EXPECT_FALSE(SetOf(walk.matches).count(root + "notes.txt"));
  EXPECT_TRUE(SetOf(walk.matches).count(notes + "e.txt"));
}

TEST_F(SearchThreadTest, WithoutRecursionOnlyTheStartFolderIsExamined) {
  TKivSearchOptions options;
  options.SetRecursiveSearch(false);
  const Walk walk = RunSearch(options, root, true);
  EXPECT_EQ(SetOf(walk.matches),
            (std::set<String>{root + "a.txt", root + "b.doc", root + "sub", root + "notes.txt"}));
  // Every entry is examined, the dots and the hidden ones included; matches once, as matches.
  EXPECT_EQ(SetOf(walk.examined), (std::set<String>{root + ".", root + "..", root + "hid",
                                                     root + "hidden.txt"}));
}

TEST_F(SearchThreadTest, SizesAboveFourGiBCountBothHalves) {
  // A sparse file: nothing is written.
  const String big = dir.File("big.bin");
  {
    host::UniqueFile file{CreateFileW(host::ToWide(big).c_str(), GENERIC_WRITE, 0, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)};
    LARGE_INTEGER size;
    size.QuadPart = (int64_t(5) << 30) + 7;
    ASSERT_TRUE(SetFilePointerEx(file.get(), size, nullptr, FILE_BEGIN));
    ASSERT_TRUE(SetEndOfFile(file.get()));
  }
  TKivSearchOptions options;
  options.SetMinFileSize((int64_t(5) << 30) + 7);
  EXPECT_EQ(RunSearch(options, root).matches, std::vector<String>{big});
  options.SetMinFileSize(0);
  options.SetMaxFileSize(int64_t(4) << 30);
  EXPECT_FALSE(SetOf(RunSearch(options, root).matches).count(big));
}

namespace {

// Stops in its first subfolder until the test has asked it to terminate.
class HeldSearch : public TKivFileSearchThread {
 public:
  using TKivFileSearchThread::TKivFileSearchThread;
  HANDLE reached = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::atomic<int> folders{0};
  ~HeldSearch() override {
    CloseHandle(reached);
    CloseHandle(go);
  }

 protected:
  void Search(const String& directory) override {
    if (folders++ == 1) {
      SetEvent(reached);
      WaitForSingleObject(go, 10000);
    }
    TKivFileSearchThread::Search(directory);
  }
};

}  // namespace

TEST_F(SearchThreadTest, TerminatedMidWalkItEntersNothingMoreAndHandsNothingMore) {
  for (int i = 0; i < 5; ++i) dir.Folder("many\\f" + host::IntToStr(i));
  TKivSearchOptions options;
  auto results = std::make_shared<TKivSearchResults>();
  TThreadPool pool;
  bool ended = false;
  int folders = 0;
  pool.OnThreadTerminated = [&](TKivThread* t) {
    ended = true;
    folders = static_cast<HeldSearch*>(t)->folders;
  };
  auto* thread = new HeldSearch(options, results, root);
  HANDLE reached = thread->reached, go = thread->go;
  pool.Add(thread);
  ASSERT_EQ(WaitForSingleObject(reached, 10000), WAIT_OBJECT_0);
  // The first match goes over at once; the others wait for their batch.
  EXPECT_FALSE(Collect(*results).matches.empty());
  thread->Terminate();
  SetEvent(go);
  ASSERT_TRUE(PumpSynchronizeUntil([&] { return ended; }));
  EXPECT_EQ(folders, 2);
  EXPECT_TRUE(Collect(*results).matches.empty());
}

// ---- Links and every drive

namespace {

// S: is the tests' own drive (./run test makes it before the session starts); its "loop" leads
// back to its root.
const wchar_t kTestDrive[] = L"S:\\";

bool TestDriveThere() {
  return (GetLogicalDrives() & (1u << ('S' - 'A'))) && GetDriveTypeW(kTestDrive) > DRIVE_NO_ROOT_DIR;
}

// Hides a drive from the drive list and My Computer (its files still open) while it lives.
class HiddenDrive {
 public:
  explicit HiddenDrive(const wchar_t* drive) : drive_(drive) {
    if (QueryDosDeviceW(drive_, target_, DWORD(std::size(target_))) == 0) return;
    hidden_ = DefineDosDeviceW(DDD_REMOVE_DEFINITION, drive_, nullptr) != FALSE;
  }
  ~HiddenDrive() {
    if (hidden_) DefineDosDeviceW(DDD_RAW_TARGET_PATH, drive_, target_);
  }
  HiddenDrive(const HiddenDrive&) = delete;
  HiddenDrive& operator=(const HiddenDrive&) = delete;
  bool Hidden() const { return hidden_; }

 private:
  const wchar_t* drive_;
  wchar_t target_[1024] = {};
  bool hidden_ = false;
};

struct TestDriveTree {
  String folder;
  std::vector<String> files;
  explicit TestDriveTree(const String& tag) {
    folder = "S:\\zt-" + tag + "\\";
    CreateDirectoryW(host::ToWide(folder).c_str(), nullptr);
    CreateDirectoryW(host::ToWide(folder + "inner").c_str(), nullptr);
    for (const String& name : {folder + tag + "-one.txt", folder + "inner\\" + tag + "-two.txt"}) {
      host::UniqueFile f{CreateFileW(host::ToWide(name).c_str(), GENERIC_WRITE, 0, nullptr,
                                     CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)};
      files.push_back(name);
    }
  }
  ~TestDriveTree() {
    for (const String& f : files) DeleteFileW(host::ToWide(f).c_str());
    RemoveDirectoryW(host::ToWide(folder + "inner").c_str());
    RemoveDirectoryW(host::ToWide(folder).c_str());
  }
};

}  // namespace

TEST(FileSearchThread, WalksOverALinkBackToTheRootEndWithEachFileOnce) {
  if (!TestDriveThere()) GTEST_SKIP() << "the tests' drive S: is missing (./run test makes it)";
  const String tag = String("walk").append(host::IntToStr(int(GetCurrentProcessId())));
  TestDriveTree tree(tag);
  TKivSearchOptions options;
  options.SetFilter(tag + "-*");
  const Walk walk = RunSearch(options, "S:\\");
  EXPECT_EQ(walk.matches, tree.files);
}

TEST(FileSearchThread, EveryDriveIsSearchedOnceEachWithoutTheDrivesLinksLeadBackTo) {
  if (!TestDriveThere()) GTEST_SKIP() << "the tests' drive S: is missing (./run test makes it)";
  const String tag = String("drives").append(host::IntToStr(int(GetCurrentProcessId())));
  TestDriveTree tree(tag);
  TKivSearchOptions options;
  options.SetFilter(tag + "-*");
  Walk walk;
  {
    // Only S: is left: C: would take long, Z: (the Unix root) for ever.
    HiddenDrive c(L"C:"), z(L"Z:");
    ASSERT_TRUE(c.Hidden() && z.Hidden());
    walk = RunSearch(options, "");
  }
  EXPECT_EQ(walk.matches, tree.files);
  EXPECT_TRUE(GetLogicalDrives() & (1u << ('C' - 'A')));
  EXPECT_TRUE(GetLogicalDrives() & (1u << ('Z' - 'A')));
}
