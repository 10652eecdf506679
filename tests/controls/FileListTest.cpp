// The file list on real trees: searching, its events, stopping, its rows and columns, sorting,
// and how it follows renames, deletions, creations and folder updates.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>
#include <vector>

#include "Pump.h"
#include "ShellListSupport.h"
#include "controls/FileList.h"
#include "extras/ShellChangeNotifier.h"
#include "host/forms/Forms.h"
#include "shell/TempDir.h"
#include "threads/ThreadPool.h"

using namespace zelnor;
using host::TListItem;
using testing_support::Announce;
using testing_support::PumpFor;
using testing_support::PumpMessagesUntil;
using testing_support::TempDir;

namespace {

class TestFileList : public TKivFileList {
 public:
  using TKivFileList::Notifier;
  using TKivFileList::TKivFileList;
};

struct FileListTest : ::testing::Test {
  TempDir dir;
  String root;
  std::unique_ptr<TestFileList> list = std::make_unique<TestFileList>();
  int ends = 0;

  void SetUp() override {
    root = dir.Path() + "\\";
    list->OnEndSearch = [this] { ++ends; };
    // Only the shell's reports, which the tests announce: Wine's watch of the file system would
    // report the same changes again, later.
    list->Notifier()->SetFileSystemWatch(fwOff);
  }
  void MakeTree() {
    dir.File("a.txt", "0123456789");
    dir.File("b.doc", "x");
    dir.Folder("sub");
    dir.File("sub\\c.txt", "ccc");
    dir.Folder("sub\\deeper");
    dir.File("sub\\deeper\\d.txt", "");
  }
  // Searches and waits until its end has been reported and every walk has gone.
  void SearchAndWait(const String& path) {
    const int before = ends;
    list->Search(path);
    ASSERT_TRUE(PumpMessagesUntil([&] { return ends > before && !list->Searching(); }));
  }
  void WaitForRows(int count) {
    ASSERT_TRUE(PumpMessagesUntil([&] { return list->Items()->Count() == count; }))
        << list->Items()->Count() << " rows";
  }
  std::set<String> Paths() const {
    std::set<String> paths;
    for (int i = 0; i < list->Items()->Count(); ++i) paths.insert(list->GetFullPath(i));
    return paths;
  }
  std::vector<String> Captions() const {
    std::vector<String> captions;
    for (int i = 0; i < list->Items()->Count(); ++i)
      captions.push_back(list->Items()->Item(i)->Caption());
    return captions;
  }
  int ColumnCaptioned(const char* caption) const {
    for (int i = 0; i < list->Columns()->Count(); ++i)
      if (list->Columns()->Items(i)->Caption() == caption) return i;
    return -1;
  }
};

}  // namespace

TEST_F(FileListTest, ASearchAddsEachHitOnceInTheOrderFoundAndReportsItsEnd) {
  MakeTree();
  list->SearchOptions()->SetFilter("*.txt");
  std::vector<String> byItem, byPath, progress;
  list->OnAddItem = [&](TListItem* item, bool&) { byItem.push_back(list->GetFullPath(item)); };
  list->OnAddPath = [&](const String& path, bool&) { byPath.push_back(path); };
  list->OnSearchProgress = [&](const String& path) { progress.push_back(path); };
  EXPECT_EQ(list->Version(), "TKivFileList V4.2");
  EXPECT_EQ(list->ViewStyle(), host::vsReport);
  EXPECT_TRUE(list->MultiSelect());
  EXPECT_FALSE(list->TabStop());
  // A list without a window makes its columns when told.
  list->InitColumns();
  SearchAndWait(dir.Path());
  const std::set<String> hits{root + "a.txt", root + "sub\\c.txt", root + "sub\\deeper\\d.txt"};
  EXPECT_EQ(Paths(), hits);
  EXPECT_EQ(ends, 1);
  EXPECT_EQ(list->CurrentSearchThread(), nullptr);
  EXPECT_EQ(list->SearchRoot(), dir.Path());
  // The events come per path, in the order found: the start folder's hit first.
  EXPECT_EQ(byItem, byPath);
  ASSERT_EQ(byItem.size(), 3u);
  EXPECT_EQ(byItem[0], root + "a.txt");
  EXPECT_EQ(byItem[2], root + "sub\\deeper\\d.txt");
  // Progress: every examined entry, the dots included, and the hits among them.
  for (const String& path : {root + ".", root + "..", root + "b.doc", root + "a.txt"})
    EXPECT_TRUE(std::count(progress.begin(), progress.end(), path) == 1) << path;

  // Caption, folder and the shell's details of a row.
  TListItem* row = list->ItemOfPath(root + "A.TXT");
  ASSERT_NE(row, nullptr);
  EXPECT_EQ(row->Caption(), "a.txt");
  EXPECT_EQ(row->SubItemText(1), root);
  const int size = ColumnCaptioned("Size");
  ASSERT_GT(size, 1);
  EXPECT_FALSE(row->SubItemText(size).empty());
  ASSERT_TRUE(list->MakeItemIdLists(row));
  EXPECT_EQ(GetPathFromPidl(TKivFileList::ItemData(row)->absoluteIdList.get()), root + "a.txt");

  // A path again, in another case, gives no second row; a new one is added as it is.
  EXPECT_EQ(list->Add(root + "SUB\\C.TXT"), nullptr);
  EXPECT_EQ(list->Items()->Count(), 3);
  const String missing = root + "gone\\never.txt";
  TListItem* added = list->Add(missing);
  ASSERT_NE(added, nullptr);
  EXPECT_EQ(added->Caption(), "never.txt");
  EXPECT_TRUE(added->SubItemText(size).empty());
  EXPECT_TRUE(list->DeleteItem(missing));
  EXPECT_FALSE(list->IsItemInList(missing));

  // A second search of the same tree adds nothing new.
  SearchAndWait(dir.Path());
  EXPECT_EQ(list->Items()->Count(), 3);
  list->Clear();
  EXPECT_EQ(list->Items()->Count(), 0);
  EXPECT_FALSE(list->IsItemInList(root + "a.txt"));
}

TEST_F(FileListTest, RefusedRowsAreNotKept) {
  MakeTree();
  list->OnAddPath = [](const String& path, bool& canAdd) { canAdd = path.find("sub") == String::npos; };
  list->OnAddItem = [](TListItem* item, bool& canAdd) { canAdd = item->Caption() != "b.doc"; };
  SearchAndWait(dir.Path());
  EXPECT_EQ(Paths(), (std::set<String>{root + "a.txt"}));
}

TEST_F(FileListTest, StoppedSearchesAddNothingMoreAndStillEnd) {
  for (int i = 0; i < 20; ++i) dir.File(host::IntToStr(i) + "f.txt");
  list->OnAddItem = [this](TListItem*, bool&) { list->Stop(); };
  SearchAndWait(dir.Path());
  EXPECT_EQ(list->Items()->Count(), 1);
  EXPECT_EQ(ends, 1);
  PumpFor(200);
  EXPECT_EQ(list->Items()->Count(), 1);
}

TEST_F(FileListTest, OnlyTheCurrentSearchsEndIsReported) {
  MakeTree();
  TempDir other;
  other.File("x.txt");
  list->Search(dir.Path());
  list->Search(other.Path());
  ASSERT_TRUE(PumpMessagesUntil([&] { return !list->Searching(); }));
  EXPECT_EQ(ends, 1);
  EXPECT_EQ(list->SearchRoot(), other.Path());
  EXPECT_TRUE(list->IsItemInList(root + "sub\\c.txt"));
  EXPECT_TRUE(list->IsItemInList(other.Path() + "\\x.txt"));
}

TEST_F(FileListTest, ColumnsAreTheShellsWithInFolderSecond) {
  EXPECT_EQ(list->Columns()->Count(), 0);
  list->InitColumns();
  ASSERT_GE(list->Columns()->Count(), 4);
  EXPECT_EQ(list->Columns()->Items(1)->Caption(), "In Folder");
  EXPECT_EQ(list->Columns()->Items(1)->Alignment(), host::taLeftJustify);
  EXPECT_EQ(list->ColumnCount(), list->Columns()->Count());
  int created = 0;
  list->OnCreateColumns = [&](host::TObject*) { ++created; };
  list->SetDetails(false);
  EXPECT_EQ(list->Columns()->Count(), 1);
  EXPECT_EQ(created, 1);
}

TEST_F(FileListTest, SortsByNameSizeAndFolderAndReversesOnTheSameColumn) {
  dir.Folder("one");
  dir.Folder("two");
  dir.File("one\\b.txt", "12345");
  dir.File("one\\a.txt", "123");
  dir.File("two\\c.txt", "1");
  dir.File("two\\a.txt", "1234567");
  list->SearchOptions()->SetFilter("*.txt");
  list->InitColumns();
  SearchAndWait(dir.Path());
  ASSERT_EQ(list->Items()->Count(), 4);
  const std::vector<String> found = Captions();
  // No column chosen: a resort leaves the order found.
  EXPECT_EQ(list->SortColumn(), -1);
  list->Resort();
  EXPECT_EQ(Captions(), found);

  list->SetSortColumn(0);
  EXPECT_EQ(Captions(), (std::vector<String>{"a.txt", "a.txt", "b.txt", "c.txt"}));
  EXPECT_FALSE(list->ReverseSortOrder());
  list->SetSortColumn(0);
  EXPECT_TRUE(list->ReverseSortOrder());
  EXPECT_EQ(Captions(), (std::vector<String>{"c.txt", "b.txt", "a.txt", "a.txt"}));

  const int size = ColumnCaptioned("Size");
  ASSERT_GT(size, 1);
  list->SetSortColumn(size);
  EXPECT_FALSE(list->ReverseSortOrder());
  EXPECT_EQ(Captions(), (std::vector<String>{"c.txt", "a.txt", "b.txt", "a.txt"}));

  // In Folder: by the folder's text, then by name.
  list->SetSortColumn(1);
  std::vector<String> paths;
  for (int i = 0; i < list->Items()->Count(); ++i) paths.push_back(list->GetFullPath(i));
  EXPECT_EQ(paths, (std::vector<String>{root + "one\\a.txt", root + "one\\b.txt",
                                        root + "two\\a.txt", root + "two\\c.txt"}));
  list->SetReverseSortOrder(true);
  EXPECT_EQ(list->GetFullPath(0), root + "two\\c.txt");
}

TEST_F(FileListTest, FollowsRenamesDeletionsAndCreationsWithinTheWalksRules) {
  MakeTree();
  dir.Folder("hid");
  SetFileAttributesW(host::ToWide(root + "hid").c_str(), FILE_ATTRIBUTE_HIDDEN);
  list->SearchOptions()->SetFilter("*.txt");
  SearchAndWait(dir.Path());
  ASSERT_EQ(list->Items()->Count(), 3);

  // A renamed file keeps its row and path and shows the new name.
  ASSERT_TRUE(MoveFileW(host::ToWide(root + "a.txt").c_str(), host::ToWide(root + "z.txt").c_str()));
  SHChangeNotify(SHCNE_RENAMEITEM, SHCNF_PATHW | SHCNF_FLUSH, host::ToWide(root + "a.txt").c_str(),
                 host::ToWide(root + "z.txt").c_str());
  ASSERT_TRUE(PumpMessagesUntil([&] { return list->ItemOfPath(root + "a.txt")->Caption() == "z.txt"; }));
  EXPECT_EQ(list->GetFullPath(list->ItemOfPath(root + "a.txt")), root + "a.txt");

  // A deleted file's row goes (Wine's shell announces only a path that is still there).
  Announce(SHCNE_DELETE, root + "sub\\c.txt");
  DeleteFileW(host::ToWide(root + "sub\\c.txt").c_str());
  WaitForRows(2);

  // A new file inside the tree that passes is added; one that fails the limits, or lies in a
  // hidden folder the walk would not enter, is not.
  const String passes = dir.File("sub\\new.txt", "n");
  const String fails = dir.File("sub\\new.doc", "n");
  const String hidden = dir.File("hid\\new.txt", "n");
  for (const String& path : {fails, hidden, passes}) Announce(SHCNE_CREATE, path);
  ASSERT_TRUE(PumpMessagesUntil([&] { return list->IsItemInList(passes); }));
  PumpFor(300);
  EXPECT_FALSE(list->IsItemInList(fails));
  EXPECT_FALSE(list->IsItemInList(hidden));
}

TEST_F(FileListTest, TheWatchSeesFilesMadeInFoldersTheWalkEntered) {
  if (ShellReportsFileSystemChanges()) GTEST_SKIP() << "the shell reports these itself";
  // No report from anyone: only the file-system watch, which reaches the folders the walk opens.
  list->Notifier()->SetFileSystemWatch(fwAutomatic);
  MakeTree();
  list->SearchOptions()->SetFilter("*.txt");
  SearchAndWait(dir.Path());
  ASSERT_EQ(list->Items()->Count(), 3);
  const String made = dir.File("sub\\deeper\\made.txt", "m");
  EXPECT_TRUE(PumpMessagesUntil([&] { return list->IsItemInList(made); }, 5000));
}

TEST_F(FileListTest, AFolderUpdateSearchesThatFolderAgainWithoutMovingTheSearch) {
  MakeTree();
  list->SearchOptions()->SetFilter("*.txt");
  SearchAndWait(dir.Path());
  ASSERT_EQ(list->Items()->Count(), 3);
  const int endsBefore = ends;
  // Files that came without a report each, then the folder's update: the vanished one goes, the
  // new ones come, and the re-search ends without a word.
  DeleteFileW(host::ToWide(root + "sub\\c.txt").c_str());
  const String fresh = dir.File("sub\\fresh.txt", "f");
  dir.File("sub\\deeper\\below.txt", "b");
  Announce(SHCNE_UPDATEDIR, root + "sub");
  ASSERT_TRUE(PumpMessagesUntil([&] { return list->IsItemInList(fresh) && !list->Searching(); }));
  EXPECT_FALSE(list->IsItemInList(root + "sub\\c.txt"));
  // Not recursive: the subfolder below is not searched again.
  EXPECT_FALSE(list->IsItemInList(root + "sub\\deeper\\below.txt"));
  EXPECT_EQ(ends, endsBefore);
  EXPECT_EQ(list->SearchRoot(), dir.Path());
  ASSERT_EQ(list->Notifier()->Directories()->Count(), 1);
  EXPECT_EQ(list->Notifier()->Directories()->Strings(0), dir.Path());
}

TEST_F(FileListTest, CreationsBelowANonRecursiveSearchAreNotAdded) {
  MakeTree();
  list->SearchOptions()->SetRecursiveSearch(false);
  list->SearchOptions()->SetFilter("*.txt");
  SearchAndWait(dir.Path());
  EXPECT_EQ(Paths(), (std::set<String>{root + "a.txt"}));
  const String below = dir.File("sub\\later.txt", "l");
  const String beside = dir.File("later.txt", "l");
  Announce(SHCNE_CREATE, below);
  Announce(SHCNE_CREATE, beside);
  ASSERT_TRUE(PumpMessagesUntil([&] { return list->IsItemInList(beside); }));
  PumpFor(200);
  EXPECT_FALSE(list->IsItemInList(below));
}
