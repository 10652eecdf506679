// The shell list on real folders: what it shows, its columns, sorting, the link and how it follows
// changes.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <algorithm>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "DetailsFolder.h"
#include "Modal.h"
#include "Outside.h"
#include "Pump.h"
#include "ShellListSupport.h"
#include "controls/ShellList.h"
#include "extras/ShellChangeNotifier.h"
#include "host/core/Streaming.h"
#include "host/forms/Forms.h"
#include "package/ZelnorComponents.h"
#include "shell/TempDir.h"

using namespace zelnor;
using host::TListItem;
using testing_support::PumpMessagesUntil;
using testing_support::TempDir;
using testing_support::Announce;
using testing_support::CountingList;
using testing_support::ItemNamed;
using testing_support::Names;
using testing_support::NameSet;
using testing_support::PumpFor;
using testing_support::Recorder;

namespace {

struct ShellListTest : ::testing::Test {
  TempDir dir;
  std::unique_ptr<CountingList> list = std::make_unique<CountingList>();

  void MakeFixture() {
    dir.File("a.txt", "0123456789");
    dir.File("b.txt", "x");
    dir.Folder("sub");
  }
  // The list in a shown window; take it off the form before the form goes.
  void ShowOn(host::TForm& form) {
    form.SetBounds(20, 20, 500, 300);
    list->SetParent(&form);
    list->SetBounds(0, 0, 480, 260);
    form.Show();
  }
};

}  // namespace

TEST_F(ShellListTest, ShowsFilesAndFoldersByTheirOptions) {
  MakeFixture();
  EXPECT_EQ(list->ViewStyle(), host::vsReport);
  EXPECT_TRUE(list->MultiSelect());
  EXPECT_EQ(list->Version(), "TKivShellList V4.2");
  list->SetPath(dir.Path());
  EXPECT_EQ(list->GetPath(), dir.Path() + "\\");
  EXPECT_EQ(list->GetSpecialFolder(), SF_FILESYSTEMFOLDER);
  EXPECT_EQ(NameSet(*list), (std::set<String>{"a.txt", "b.txt", "sub"}));

  list->SetShowOption(soShowFiles, false);
  EXPECT_EQ(NameSet(*list), (std::set<String>{"sub"}));
  list->SetShowOption(soShowFiles, true);
  list->SetShowFolders(false);
  EXPECT_EQ(NameSet(*list), (std::set<String>{"a.txt", "b.txt"}));
  list->SetShowOption(soShowFiles, false);
  EXPECT_EQ(list->Items()->Count(), 0);
}

TEST_F(ShellListTest, AFolderTooLongForTheShellSaysWhyOnce) {
  // Folders nested until the last one's path passes MAX_PATH characters, with a file in it.
  const std::wstring part = L"\\a-folder-with-a-name-long-enough-to-pass-the-limit";
  std::wstring parent = dir.PathW();
  while (parent.size() + part.size() < 230) {
    parent += part;
    ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + parent).c_str(), nullptr));
  }
  const std::wstring last = L"\\" + std::wstring(MAX_PATH + 10 - parent.size(), L'x');
  const std::wstring deep = parent + last;
  ASSERT_GE(deep.size(), size_t(MAX_PATH));
  ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + deep).c_str(), nullptr));
  const std::wstring file = L"\\\\?\\" + deep + L"\\inside.txt";
  CloseHandle(CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  auto removeDeep = host::ScopeExit([&] {
    DeleteFileW(file.c_str());
    RemoveDirectoryW((L"\\\\?\\" + deep).c_str());
  });
  list->SetShowOption(soShowErrorMessages, true);
  list->SetPath(host::ToUtf8(parent));
  TListItem* item = ItemNamed(*list, host::ToUtf8(last.substr(1)));
  ASSERT_NE(item, nullptr);
  const UniquePidl folder =
      ConcatItemIdLists(list->GetFolderIdList(), TKivShellList::ItemData(item)->idList.get());
  {
    testing_support::ModalWatchdog watchdog(IDOK);
    list->SetFolderIdList(folder.get());
    EXPECT_EQ(watchdog.Answered(), 1);
  }
  EXPECT_GT(list->Columns()->Count(), 0);
  {
    // Filled again, the same folder is not spoken of again.
    testing_support::ModalWatchdog watchdog(IDOK);
    list->Refresh();
    EXPECT_EQ(watchdog.Answered(), 0);
  }
}

TEST_F(ShellListTest, HiddenRecyclFoldersNeedTheRecycleBinOption) {
  const String hidden = dir.Folder("ReCyClEr");
  SetFileAttributesW(host::ToWide(hidden).c_str(), FILE_ATTRIBUTE_HIDDEN);
  dir.Folder("recycled-visible");
  const String hiddenFile = dir.File("h.txt");
  SetFileAttributesW(host::ToWide(hiddenFile).c_str(), FILE_ATTRIBUTE_HIDDEN);
  list->SetPath(dir.Path());
  EXPECT_EQ(NameSet(*list), (std::set<String>{"recycled-visible"}));

  list->SetShowOption(soShowHidden, true);
  list->SetShowOption(soShowRecycleBin, false);
  EXPECT_EQ(NameSet(*list), (std::set<String>{"recycled-visible", "h.txt"}));
  // Hidden objects are shown dimmed once completed.
  TListItem* h = ItemNamed(*list, "h.txt");
  list->CompleteItemDetails(h);
  EXPECT_TRUE(h->Cut());

  list->SetShowOption(soShowRecycleBin, true);
  EXPECT_EQ(NameSet(*list), (std::set<String>{"ReCyClEr", "recycled-visible", "h.txt"}));
}

TEST_F(ShellListTest, ParentFolderItemComesFirstExceptOnTheDesktopOrWhenTheLinkSaysNo) {
  MakeFixture();
  list->SetPath(dir.Path());
  list->SetShowParentFolder(true);
  ASSERT_EQ(list->Items()->Count(), 4);
  EXPECT_EQ(list->Items()->Item(0)->Caption(), " .. ");
  EXPECT_EQ(list->GetFullPath(0), "");

  list->SetSpecialFolder(SF_DESKTOP);
  for (const auto& name : Names(*list)) EXPECT_NE(name, "..");

  TKivShellLink link;
  list->SetShellLink(&link);
  link.SetShowParentFolderItem(false);
  list->SetPath(dir.Path());
  EXPECT_EQ(list->Items()->Count(), 3);
  list->SetShellLink(nullptr);
}

TEST_F(ShellListTest, CaptionsAndDetailsAreReadLazily) {
  MakeFixture();
  list->SetPath(dir.Path());
  TListItem* a = ItemNamed(*list, "a.txt");
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->TextPending(), host::ltCaption | host::ltSubItems);
  EXPECT_EQ(a->ImageIndex(), -1);
  EXPECT_EQ(a->Caption(), "a.txt");
  EXPECT_EQ(a->TextPending(), unsigned(host::ltSubItems));
  // File, Size, Type, Modified...: the texts of the navigator's columns after the name.
  ASSERT_GE(list->Columns()->Count(), 4);
  EXPECT_EQ(list->Columns()->Items(0)->Caption(), list->Navigator()->GetColumnText(0, true));
  ASSERT_GE(a->SubItems()->Count(), 3);
  EXPECT_NE(a->SubItems()->Strings(0), "");
  EXPECT_EQ(a->SubItems()->Count(), list->ShellColumnCount() - 1);
  list->CompleteItemDetails(a);
  EXPECT_GE(a->ImageIndex(), 0);
  const String fullA = list->GetFullPath(a);
  EXPECT_TRUE(host::SameText(fullA, dir.Path() + "\\a.txt"));
}

TEST_F(ShellListTest, DetailsOffShowsOnlyTheNameColumn) {
  MakeFixture();
  list->SetDetails(false);
  list->SetPath(dir.Path());
  ASSERT_EQ(list->Columns()->Count(), 1);
  TListItem* a = ItemNamed(*list, "a.txt");
  list->CompleteItemDetails(a);
  EXPECT_EQ(a->SubItems()->Count(), 0);
  EXPECT_EQ(a->Caption(), "a.txt");
}

TEST_F(ShellListTest, ColumnWidthsCarryOverFileSystemFolders) {
  TempDir other;
  MakeFixture();
  list->SetPath(dir.Path());
  ASSERT_GE(list->Columns()->Count(), 2);
  list->Columns()->Items(1)->SetWidth(123);
  list->SetSpecialFolder(SF_DRIVES);
  list->SetPath(other.Path());
  EXPECT_EQ(list->Columns()->Items(1)->Width(), 123);
  for (int i = 0; i < list->Columns()->Count(); ++i) EXPECT_EQ(list->ColumnMap(i), i);
}

TEST_F(ShellListTest, PathSetWhileLoadingIsAppliedAtLoaded) {
  MakeFixture();
  list->SetLoadingState(true);
  list->SetPath(dir.Path());
  EXPECT_EQ(list->GetPath(), dir.Path());
  EXPECT_EQ(list->Items()->Count(), 0);
  list->SetLoadingState(false);
  list->Loaded();
  EXPECT_EQ(list->Items()->Count(), 3);
  EXPECT_EQ(list->GetPath(), dir.Path() + "\\");
}

TEST_F(ShellListTest, NoFillOnStartupWaitsForANavigation) {
  MakeFixture();
  list->SetLoadingState(true);
  list->SetShowOption(soNoFillOnStartup, true);
  list->SetLoadingState(false);
  list->Loaded();
  EXPECT_EQ(list->Items()->Count(), 0);
  // A show option changed before the window exists does not fill either.
  list->SetShowOption(soShowHidden, true);
  EXPECT_EQ(list->Items()->Count(), 0);
  list->SetPath(dir.Path());
  EXPECT_EQ(list->Items()->Count(), 3);
}

TEST_F(ShellListTest, OnAddItemSeesTheDisplayNameAndCanRefuseEveryItem) {
  MakeFixture();
  std::vector<String> captions;
  int populated = 0;
  list->OnAddItem = [&](TListItem* item, bool& canAdd) {
    EXPECT_TRUE(canAdd);
    captions.push_back(item->Caption());
    canAdd = false;
  };
  list->OnPopulated = [&](host::TObject*) { ++populated; };
  list->SetPath(dir.Path());
  EXPECT_EQ(list->Items()->Count(), 0);
  EXPECT_EQ(populated, 1);
  std::sort(captions.begin(), captions.end());
  EXPECT_EQ(captions, (std::vector<String>{"a.txt", "b.txt", "sub"}));
}

TEST_F(ShellListTest, SortColumnClicksReverseAndTheParentStaysFirst) {
  MakeFixture();
  host::TForm form;
  form.SetBounds(20, 20, 500, 300);
  list->SetParent(&form);
  list->SetBounds(0, 0, 480, 260);
  form.Show();
  list->SetShowParentFolder(true);
  list->SetPath(dir.Path());
  // The folder's own order: folders first, then names.
  EXPECT_EQ(Names(*list), (std::vector<String>{"..", "sub", "a.txt", "b.txt"}));
  HWND header = list->HeaderHandle();
  ASSERT_NE(header, nullptr);
  auto hasArrow = [&](int column) {
    HDITEMW item{};
    item.mask = HDI_FORMAT;
    Header_GetItem(header, column, &item);
    return (item.fmt & HDF_BITMAP) != 0;
  };
  EXPECT_TRUE(hasArrow(0));

  list->SetSortColumn(0);
  EXPECT_TRUE(list->ReverseSortOrder());
  EXPECT_EQ(Names(*list), (std::vector<String>{"..", "b.txt", "a.txt", "sub"}));

  list->SetSortColumn(2);
  EXPECT_FALSE(list->ReverseSortOrder());
  EXPECT_TRUE(hasArrow(2));
  EXPECT_FALSE(hasArrow(0));
  EXPECT_EQ(Names(*list).front(), "..");
  list->SetSortColumn(2);
  EXPECT_TRUE(list->ReverseSortOrder());
  EXPECT_EQ(Names(*list).front(), "..");

  // With OnCompare the texts are compared and the handler has the last word.
  int asked = 0;
  list->OnCompare = [&](host::TObject*, TListItem*, TListItem*, LPARAM column, int& compare) {
    ++asked;
    EXPECT_EQ(column, 0);
    compare = -compare;
  };
  list->SetSortColumn(0);  // another column: ascending, then turned round by the handler
  EXPECT_GT(asked, 0);
  EXPECT_EQ(Names(*list), (std::vector<String>{"..", "sub", "b.txt", "a.txt"}));

  // A sort column beyond the columns falls back to the name.
  list->OnCompare = nullptr;
  list->SetSortColumn(40);
  EXPECT_EQ(list->SortColumn(), 0);
  list->SetParent(nullptr);
}

TEST_F(ShellListTest, NavigatorColumnsSortByTheFoldersOwnColumnNumber) {
  MakeFixture();
  list->SetPath(dir.Path());
  auto folder = testing_support::MakeDetailsFolder(list->Navigator()->ShellFolder());
  folder->hiddenColumn = 1;  // the size column is left out of the list
  list->Navigator()->SetShellfolder(folder.Get());
  list->Refresh();
  ASSERT_GE(list->ShellColumnCount(), 3);
  ASSERT_EQ(list->ColumnMap(1), 2);

  folder->comparedColumns.clear();
  list->SetSortColumn(1);
  EXPECT_TRUE(folder->comparedColumns.count(2));
  EXPECT_FALSE(folder->comparedColumns.count(1));
}

TEST_F(ShellListTest, LinkHearsTheListsMovesAndMovesIt) {
  MakeFixture();
  TempDir other;
  other.File("z.txt");
  TKivShellLink link;
  Recorder peer;
  peer.setShellLink(&link);
  list->SetShellLink(&link);
  list->SetPath(dir.Path());
  ASSERT_EQ(peer.paths.size(), 1u);
  EXPECT_TRUE(host::SameText(peer.paths[0], dir.Path()));

  UniquePidl target = GetIdListFromPath(Desktop(), other.Path());
  link.PathChanged(&peer, target.get());
  EXPECT_EQ(NameSet(*list), (std::set<String>{"z.txt"}));
  EXPECT_EQ(peer.paths.size(), 1u);  // the list does not report a move it was told of

  EXPECT_TRUE(list->GoUp());
  ASSERT_EQ(peer.paths.size(), 2u);
  EXPECT_TRUE(ItemNamed(*list, host::ExtractFileName(other.Path())) != nullptr);
  peer.setShellLink(nullptr);
  list->SetShellLink(nullptr);
}

TEST_F(ShellListTest, GoingUpSelectsTheFolderLeftAndThumbnailsKeepTheSelection) {
  MakeFixture();
  dir.Folder("sub\\inner");
  host::TForm form;
  for (bool background : {false, true}) {
    list = std::make_unique<CountingList>();
    ShowOn(form);
    list->SetBackgroundFill(background);
    list->SetPath(dir.Path() + "\\sub");
    if (background) {
      ASSERT_TRUE(PumpMessagesUntil([&] { return !list->Filling(); }, 5000));
    }
    ASSERT_TRUE(list->GoUp());
    if (background) {
      ASSERT_TRUE(PumpMessagesUntil([&] { return !list->Filling(); }, 5000));
    }
    host::TListItem* left = ItemNamed(*list, "sub");
    ASSERT_NE(left, nullptr);
    EXPECT_TRUE(left->Selected()) << background;
    EXPECT_EQ(list->ItemFocused(), left) << background;
    EXPECT_EQ(list->SelCount(), 1) << background;
  }

  // The thumbnail view fills the list again: what was selected stays selected.
  ItemNamed(*list, "a.txt")->SetSelected(true);
  list->SetBackgroundFill(false);
  list->SetThumbnails(true);
  EXPECT_TRUE(ItemNamed(*list, "sub")->Selected());
  EXPECT_TRUE(ItemNamed(*list, "a.txt")->Selected());
  EXPECT_EQ(list->ItemFocused(), ItemNamed(*list, "sub"));
  list->SetThumbnails(false);
  EXPECT_EQ(list->SelCount(), 2);
  list.reset();
}

TEST_F(ShellListTest, DeletionLeavesAtOnceCreationFollowsAfterTheTimer) {
  MakeFixture();
  list->SetPath(dir.Path());
  ASSERT_TRUE(list->Notifier()->Active());
  TListItem* a = ItemNamed(*list, "a.txt");
  list->CompleteItemDetails(a);
  const int icon = a->ImageIndex();
  const String size = a->SubItemText(1);

  const String b = dir.Path() + "\\b.txt";
  DeleteFileW(host::ToWide(b).c_str());
  // Wine's shell does not announce a path that is gone; its file-system watch reports it.
  Announce(SHCNE_DELETE, b);
  EXPECT_TRUE(PumpMessagesUntil([&] { return ItemNamed(*list, "b.txt") == nullptr; }));
  EXPECT_EQ(list->smartRefreshes, 0) << "a deletion is applied at once, not by a refresh";

  int populated = 0;
  list->OnPopulated = [&](host::TObject*) { ++populated; };
  const String c = dir.File("c.txt");
  EXPECT_EQ(ItemNamed(*list, "c.txt"), nullptr);
  Announce(SHCNE_CREATE, c);
  EXPECT_EQ(populated, 0);
  EXPECT_EQ(list->smartRefreshes, 0);
  EXPECT_EQ(ItemNamed(*list, "c.txt"), nullptr);
  EXPECT_TRUE(PumpMessagesUntil([&] { return ItemNamed(*list, "c.txt") != nullptr; }));
  // What was completed stays.
  EXPECT_EQ(ItemNamed(*list, "a.txt"), a);
  EXPECT_EQ(a->ImageIndex(), icon);
  EXPECT_EQ(a->SubItemText(1), size);
}

TEST_F(ShellListTest, TenReportsInABurstGiveOneRefresh) {
  MakeFixture();
  list->SetPath(dir.Path());
  std::vector<String> files;
  for (int i = 0; i < 10; ++i) files.push_back(dir.File("n" + host::IntToStr(i) + ".txt"));
  list->smartRefreshes = 0;
  for (const auto& f : files) Announce(SHCNE_UPDATEITEM, f);
  EXPECT_TRUE(PumpMessagesUntil([&] { return list->smartRefreshes > 0; }));
  PumpFor(500);
  EXPECT_EQ(list->smartRefreshes, 1);
  EXPECT_EQ(list->Items()->Count(), 13);
}

TEST_F(ShellListTest, PlainFileChangesAreFollowedThroughTheFileSystemWatch) {
  if (ShellReportsFileSystemChanges()) GTEST_SKIP() << "the shell reports these itself";
  MakeFixture();
  list->SetPath(dir.Path());
  const std::wstring made = dir.PathW() + L"\\made.txt";
  HANDLE h = CreateFileW(made.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  CloseHandle(h);
  EXPECT_TRUE(PumpMessagesUntil([&] { return ItemNamed(*list, "made.txt") != nullptr; }));
  DeleteFileW(made.c_str());
  RemoveDirectoryW((dir.PathW() + L"\\sub").c_str());
  EXPECT_TRUE(PumpMessagesUntil([&] {
    return ItemNamed(*list, "made.txt") == nullptr && ItemNamed(*list, "sub") == nullptr;
  }));
}

TEST_F(ShellListTest, AboveThreeHundredItemsARefillKeepsTheSelection) {
  for (int i = 0; i < 301; ++i) dir.File("f" + host::IntToStr(1000 + i) + ".txt");
  // The selection lives in the window.
  host::TForm form;
  form.SetBounds(20, 20, 500, 300);
  list->SetParent(&form);
  list->SetBounds(0, 0, 480, 260);
  form.Show();
  list->SetAutomaticRefresh(false);
  list->SetPath(dir.Path());
  ASSERT_EQ(list->Items()->Count(), 301);
  TListItem* chosen = ItemNamed(*list, "f1150.txt");
  ASSERT_NE(chosen, nullptr);
  list->SetSelected(chosen);
  dir.File("new.txt");
  int deleted = 0;
  list->OnDeletion = [&](host::TObject*, TListItem*) { ++deleted; };
  list->SmartRefresh();
  list->OnDeletion = nullptr;
  EXPECT_EQ(list->Items()->Count(), 302);
  ASSERT_NE(list->Selected(), nullptr);
  EXPECT_EQ(TKivShellList::ItemData(list->Selected())->parsingName, "f1150.txt");
  EXPECT_EQ(deleted, 301);  // the list was filled again
  list->SetParent(nullptr);
}

TEST_F(ShellListTest, NamesThatDifferOnlyInCaseStayTwoSelectedItemsThroughARefresh) {
  if (!testing_support::FilesFromOutside(host::ToWide(dir.Path()),
                                         {{"Case.txt", "a"}, {"case.txt", "bb"}}))
    GTEST_SKIP() << "needs files made from the Unix side";
  host::TForm form;
  ShowOn(form);
  list->SetAutomaticRefresh(false);
  list->SetPath(dir.Path());
  auto exactly = [&](const String& name) -> TListItem* {
    for (int i = 0; i < list->Items()->Count(); ++i)
      if (TKivShellList::ItemData(list->Items()->Item(i))->parsingName == name)
        return list->Items()->Item(i);
    return nullptr;
  };
  TListItem* upper = exactly("Case.txt");
  TListItem* lower = exactly("case.txt");
  ASSERT_TRUE(upper && lower && upper != lower);
  upper->SetSelected(true);
  lower->SetSelected(true);
  dir.File("new.txt");
  list->SmartRefresh();
  EXPECT_EQ(list->Items()->Count(), 3);
  EXPECT_EQ(exactly("Case.txt"), upper);
  EXPECT_EQ(exactly("case.txt"), lower);
  EXPECT_EQ(list->SelCount(), 2);
  EXPECT_TRUE(upper->Selected() && lower->Selected());
  list->SetParent(nullptr);
}

TEST_F(ShellListTest, NavigatingAwayFromABigListDrawsTheNewFolderOnALaterTick) {
  TempDir big;
  for (int i = 0; i < 1000; ++i) big.File("f" + host::IntToStr(10000 + i) + ".txt");
  dir.File("small.txt");
  host::TForm form;
  form.SetBounds(20, 20, 500, 300);
  list->SetParent(&form);
  list->SetBounds(0, 0, 480, 260);
  form.Show();
  list->SetPath(big.Path());
  ASSERT_EQ(list->Items()->Count(), 1000);
  UpdateWindow(list->Handle());
  list->SetPath(dir.Path());
  RECT pending{};
  EXPECT_FALSE(GetUpdateRect(list->Handle(), &pending, FALSE)) << "drawn with the navigation";
  TListItem* small = ItemNamed(*list, "small.txt");
  ASSERT_NE(small, nullptr);
  EXPECT_LT(small->ImageIndex(), 0);
  EXPECT_TRUE(PumpMessagesUntil([&] { return small->ImageIndex() >= 0; }));
  list->SetParent(nullptr);
}

TEST_F(ShellListTest, ABurstOfNewFilesIsAddedATickAfterTheTimersWalkAndOnlyOnce) {
  list->SetAutomaticRefresh(false);
  list->SetPath(dir.Path());
  ASSERT_EQ(list->Items()->Count(), 0);
  const auto makeFiles = [&](const std::wstring& prefix, int count) {
    for (int i = 0; i < count; ++i) {
      const std::wstring file = dir.PathW() + L"\\" + prefix + std::to_wstring(10000 + i) + L".txt";
      CloseHandle(CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
    }
  };
  makeFiles(L"burst ", 1200);
  list->TimerChange(nullptr);
  EXPECT_EQ(list->Items()->Count(), 0) << "the walk's objects wait for the next tick";
  // A report meanwhile is walked once they are in.
  dir.File("late.txt");
  list->FileChange();
  EXPECT_TRUE(PumpMessagesUntil([&] { return ItemNamed(*list, "late.txt") != nullptr; }));
  PumpFor(300);
  EXPECT_EQ(list->Items()->Count(), 1201);
  EXPECT_EQ(NameSet(*list).size(), 1201u) << "an object added twice";
  EXPECT_EQ(Names(*list).front(), "burst 10000.txt");

  // A refill between the walk and the adding makes the walk's findings void.
  for (int i = 0; i < 1200; ++i)
    DeleteFileW((dir.PathW() + L"\\burst " + std::to_wstring(10000 + i) + L".txt").c_str());
  list->Refresh();
  ASSERT_EQ(list->Items()->Count(), 1);
  makeFiles(L"again ", 1100);
  list->TimerChange(nullptr);
  list->Refresh();
  ASSERT_EQ(list->Items()->Count(), 1101);
  PumpFor(300);
  EXPECT_EQ(list->Items()->Count(), 1101);
  EXPECT_EQ(NameSet(*list).size(), 1101u) << "the walk's objects added to the refill";

  // A refill that stops the timer while the walk's findings wait leaves later reports heard.
  for (int i = 0; i < 1100; ++i)
    DeleteFileW((dir.PathW() + L"\\again " + std::to_wstring(10000 + i) + L".txt").c_str());
  list->Refresh();
  makeFiles(L"third ", 1050);
  list->TimerChange(nullptr);
  list->ChangeNotification(nullptr, neNetShare, nullptr, nullptr);
  ASSERT_EQ(list->Items()->Count(), 1051);
  dir.File("after.txt");
  list->FileChange();
  EXPECT_TRUE(PumpMessagesUntil([&] { return ItemNamed(*list, "after.txt") != nullptr; }));
}

TEST_F(ShellListTest, TheTimersWalkRunsOnAWorkerAndOrdersWhatItFoundAsARefillWould) {
  for (int i = 1; i <= 20; ++i) {
    dir.File("file" + host::IntToStr(i) + ".txt");
    dir.Folder("dir" + host::IntToStr(i));
  }
  list->SetAutomaticRefresh(false);
  list->SetPath(dir.Path());
  ASSERT_EQ(list->Items()->Count(), 40);
  // New names of every kind among the old ones, and some of the old ones gone.
  for (int i = 21; i <= 40; ++i) {
    const String n = host::IntToStr(i);
    dir.File((i % 2 ? "File" : "file") + n + (i % 3 ? ".TXT" : ".txt"));
    dir.File((i % 2 ? "\u00c9clair" : "eclair") + n + ".txt");
    dir.File("_under " + n);
    dir.Folder((i % 2 ? "Dir" : "dir") + n);
  }
  dir.File("\u00e5ngstr\u00f6m.txt");
  for (int i = 1; i <= 5; ++i)
    DeleteFileW((dir.PathW() + L"\\file" + std::to_wstring(i) + L".txt").c_str());
  list->TimerChange(nullptr);
  EXPECT_EQ(list->Items()->Count(), 40) << "the walk is the worker's";
  ASSERT_TRUE(PumpMessagesUntil([&] { return list->Items()->Count() == 40 - 5 + 81; }));
  for (int i = 0; i < list->Items()->Count(); ++i)
    EXPECT_TRUE(TKivShellList::ItemData(list->Items()->Item(i))->sortKey.empty());
  const std::vector<String> walked = Names(*list);
  EXPECT_EQ(ItemNamed(*list, "file1.txt"), nullptr);
  list->Refresh();
  EXPECT_EQ(walked, Names(*list));
}

TEST_F(ShellListTest, VanishedFolderShowsMyComputer) {
  TempDir outer;
  const String inner = outer.Folder("inner");
  // Under Wine a folder someone holds open stays until the handle is closed, and the list's own
  // file-system watch holds it: without the watch it goes at once.
  list->Notifier()->SetFileSystemWatch(fwOff);
  list->SetPath(inner);
  ASSERT_TRUE(RemoveDirectoryW(host::ToWide(inner).c_str())) << GetLastError();
  list->FileChange();
  EXPECT_TRUE(PumpMessagesUntil([&] { return list->GetSpecialFolder() == SF_DRIVES; }));
}

TEST_F(ShellListTest, FolderRemovedByAnotherProgramShowsMyComputer) {
  TempDir outer;
  const String inner = outer.Folder("inner");
  list->SetPath(inner);
  // Nobody tells the list: its own watch has to notice.
  ASSERT_TRUE(testing_support::RemoveFolderFromOutside(host::ToWide(inner)));
  EXPECT_TRUE(PumpMessagesUntil([&] { return list->GetSpecialFolder() == SF_DRIVES; }));
}

TEST_F(ShellListTest, AFormPathThatCannotBeOpenedFailsAtItsLine) {
  RegisterZelnorComponents();
  for (const String& path : {String("Q:\\nope"), String("NUL"), "C:\\" + String(33000, 'a')}) {
    const String text =
        "object ListForm: TForm\n"
        "  object Files: TKivShellList\n"
        "    Align = alClient\n"
        "    Path = '" + path + "'\n"
        "  end\n"
        "end\n";
    try {
      std::unique_ptr<host::TForm> form(host::TForm::CreateFromText(text));
      ADD_FAILURE() << "read without an error: " << path.substr(0, 20);
    } catch (const host::EReadError& e) {
      EXPECT_EQ(e.Line(), 4) << e.what();
    } catch (const std::exception& e) {
      ADD_FAILURE() << "not a read error: " << e.what();
    }
  }
}

TEST_F(ShellListTest, LoadedFromAFormFileItFillsAtLoadedAndFollowsItsLink) {
  MakeFixture();
  RegisterZelnorComponents();
  String path = dir.Path();
  String quoted;
  for (char c : path) quoted += c == '\'' ? String("''") : String(1, c);
  const String text =
      "object ListForm: TForm\n"
      "  ClientWidth = 500\n"
      "  ClientHeight = 300\n"
      "  object Link: TKivShellLink\n"
      "  end\n"
      "  object Files: TKivShellList\n"
      "    Align = alClient\n"
      "    ShellLink = Link\n"
      "    ShowParentFolder = True\n"
      "    Path = '" + quoted + "'\n"
      "  end\n"
      "end\n";
  std::unique_ptr<host::TForm> form(host::TForm::CreateFromText(text));
  auto* files = dynamic_cast<TKivShellList*>(form->FindComponent("Files"));
  auto* link = dynamic_cast<TKivShellLink*>(form->FindComponent("Link"));
  ASSERT_NE(files, nullptr);
  ASSERT_NE(link, nullptr);
  EXPECT_EQ(files->ShellLink(), link);
  EXPECT_EQ(files->ViewStyle(), host::vsReport);
  EXPECT_EQ(NameSet(*files), (std::set<String>{"..", "a.txt", "b.txt", "sub"}));
  // The form text the list writes names what differs from the defaults.
  const String written = host::WriteComponentText(form.get());
  EXPECT_NE(written.find("ShowParentFolder = True"), String::npos);
  EXPECT_NE(written.find("ViewStyle = vsReport"), String::npos);
  EXPECT_EQ(written.find("Version"), String::npos);
  EXPECT_EQ(written.find("Columns"), String::npos);  // they come from the folder

  TempDir other;
  other.File("z.txt");
  Recorder peer;
  peer.setShellLink(link);
  UniquePidl target = GetIdListFromPath(Desktop(), other.Path());
  link->PathChanged(&peer, target.get());
  EXPECT_EQ(NameSet(*files), (std::set<String>{"..", "z.txt"}));
  peer.setShellLink(nullptr);
}

TEST_F(ShellListTest, ListsTheRecycleBinAndKeepsWorking) {
  auto showBin = [&] {
    list->SetSpecialFolder(SF_BITBUCKET);
    EXPECT_EQ(list->GetSpecialFolder(), SF_BITBUCKET);
    EXPECT_EQ(list->GetPath(), "");
    for (int i = 0; i < list->Items()->Count(); ++i) list->CompleteItemDetails(list->Items()->Item(i));
    EXPECT_TRUE(HeapValidate(GetProcessHeap(), 0, nullptr));
  };
  auto binHolds = [&](const String& part) {
    for (int i = 0; i < list->Items()->Count(); ++i)
      if (list->Items()->Item(i)->Caption().find(part) != String::npos) return true;
    return false;
  };
  // The bin as it is (empty in a new prefix), then with a file deleted with undo.
  showBin();
  const std::wstring binned = host::ToWide(dir.File("binned.txt", "x")) + L'\0';
  SHFILEOPSTRUCTW op{};
  op.wFunc = FO_DELETE;
  op.pFrom = binned.c_str();
  op.fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
  ASSERT_EQ(SHFileOperationW(&op), 0);
  showBin();
  EXPECT_TRUE(binHolds("binned"));

  // The program goes on: another folder, the bin again, the heap still sound.
  MakeFixture();
  list->SetPath(dir.Path());
  EXPECT_EQ(NameSet(*list), (std::set<String>{"a.txt", "b.txt", "sub"}));
  showBin();
  list->SetPath(dir.Path());
  EXPECT_EQ(list->Items()->Count(), 3);
  EXPECT_TRUE(HeapValidate(GetProcessHeap(), 0, nullptr));
  SHEmptyRecycleBinW(nullptr, nullptr, SHERB_NOCONFIRMATION | SHERB_NOPROGRESSUI | SHERB_NOSOUND);
}
