// The shell list filling on a worker thread: the same items and order as a synchronous fill,
// OnPopulated once at the end, navigation during a fill, selection asked for before the object
// has arrived, and refusals through OnAddItem.
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "Pump.h"
#include "ShellListSupport.h"
#include "controls/ShellList.h"
#include "extras/ShellChangeNotifier.h"
#include "host/core/Streaming.h"
#include "host/forms/Forms.h"
#include "shell/TempDir.h"

using namespace zelnor;
using host::TListItem;
using testing_support::PumpMessagesUntil;
using testing_support::CountingList;
using testing_support::Names;
using testing_support::TempDir;

namespace {

struct ShellListBackgroundTest : ::testing::Test {
  TempDir dir;
  std::unique_ptr<host::TForm> form = std::make_unique<host::TForm>();
  std::unique_ptr<CountingList> list;
  int populated = 0;
  int pathChanged = 0;
  std::vector<String> events;

  void SetUp() override {
    form->SetBounds(20, 20, 500, 300);
    list = std::make_unique<CountingList>(form.get());
    list->SetParent(form.get());
    list->SetBounds(0, 0, 480, 260);
    list->OnPopulated = [this](host::TObject*) {
      ++populated;
      events.push_back("populated");
    };
    list->OnPathChanged = [this](host::TObject*) {
      ++pathChanged;
      events.push_back("path");
    };
  }
  void TearDown() override {
    list.reset();
    form.reset();
  }

  // Files and folders enough for several batches and the keyed order.
  void MakeMixedFolder(int files) {
    for (const char* folder : {"Sub", "alpha", "_under", "9dir"}) dir.Folder(folder);
    for (const char* file : {"\xC3\x84pfel.txt", "a-b.txt", "ab.txt", "File1.txt", "file10.txt",
                             "(y).txt", "\xE4\xB8\xAD.txt", "Zoo.txt"})
      dir.File(file);
    for (int i = 0; i < files; ++i) dir.File("n" + std::to_string(i * 7919 % files) + ".dat");
  }

  // The items and order a synchronous fill of the same folder gives.
  std::vector<String> SynchronousNames(bool reverse = false, bool parent = false) {
    TKivShellList plain;
    plain.SetAutomaticRefresh(false);
    plain.SetReverseSortOrder(reverse);
    plain.SetShowParentFolder(parent);
    plain.SetPath(dir.Path());
    return Names(plain);
  }

  bool WaitPopulated(int count = 1) {
    return PumpMessagesUntil([&] { return populated >= count; });
  }
};

}  // namespace

TEST_F(ShellListBackgroundTest, IsOffByDefaultAndStreamsByName) {
  EXPECT_FALSE(list->BackgroundFill());
  list->SetBackgroundFill(true);
  const String written = host::WriteComponentText(list.get());
  EXPECT_NE(written.find("BackgroundFill = True"), String::npos);
  list->SetBackgroundFill(false);
  EXPECT_EQ(host::WriteComponentText(list.get()).find("BackgroundFill"), String::npos);
}

TEST_F(ShellListBackgroundTest, EndsWithTheSynchronousItemsAndOrderAndPopulatesOnce) {
  MakeMixedFolder(400);
  const std::vector<String> expected = SynchronousNames();
  list->SetBackgroundFill(true);
  list->SetPath(dir.Path());
  EXPECT_TRUE(list->Filling());
  EXPECT_EQ(populated, 0) << "OnPopulated waits for the last batch";
  ASSERT_TRUE(WaitPopulated());
  EXPECT_FALSE(list->Filling());
  EXPECT_FALSE(list->Refreshing());
  EXPECT_EQ(Names(*list), expected);
  EXPECT_EQ(events, (std::vector<String>{"populated", "path"}));
  EXPECT_TRUE(list->Notifier()->Active());
  // Items are lazy as ever: the display name is read when asked for.
  TListItem* item = list->Items()->Item(0);
  EXPECT_NE(item->TextPending() & host::ltCaption, 0u);

  // A refresh in reverse order, with the parent-folder item first.
  list->SetShowParentFolder(true);
  ASSERT_TRUE(WaitPopulated(2));
  list->SetReverseSortOrder(true);
  EXPECT_EQ(Names(*list), SynchronousNames(true, true));
  list->Refresh();
  ASSERT_TRUE(WaitPopulated(3));
  EXPECT_EQ(Names(*list), SynchronousNames(true, true));
}

TEST_F(ShellListBackgroundTest, ANavigationDuringTheFillDropsTheRestOfTheOldFolder) {
  MakeMixedFolder(600);
  TempDir other;
  other.File("only.txt");
  list->SetBackgroundFill(true);
  list->SetPath(dir.Path());
  list->SetPath(other.Path());
  ASSERT_TRUE(WaitPopulated());
  // Whatever the first fill had reached, nothing of it arrives any more.
  PumpMessagesUntil([] { return false; }, 300);
  EXPECT_EQ(Names(*list), (std::vector<String>{"only.txt"}));
  EXPECT_EQ(populated, 1);

  // Destroying the list while it fills lets go of the worker.
  list->SetPath(dir.Path());
  EXPECT_TRUE(list->Filling());
  list.reset();
  PumpMessagesUntil([] { return false; }, 200);
}

TEST_F(ShellListBackgroundTest, ASelectionAskedForDuringTheFillIsMadeAtItsEnd) {
  MakeMixedFolder(300);
  form->Show();
  list->SetBackgroundFill(true);
  list->SetPath(dir.Path());
  UniquePidl target{GetIdListFromPath(Desktop(), dir.Path() + "\\n299.dat")};
  UniquePidl relative{GetRelativePIDL(target.get())};
  list->SelectPIDL(relative.get());
  ASSERT_TRUE(WaitPopulated());
  ASSERT_NE(list->Selected(), nullptr);
  EXPECT_EQ(TKivShellList::ItemData(list->Selected())->parsingName, "n299.dat");
  EXPECT_EQ(list->SelCount(), 1);
}

TEST_F(ShellListBackgroundTest, OnAddItemSeesEveryItemAndCanRefuseIt) {
  MakeMixedFolder(200);
  std::set<String> seen;
  list->OnAddItem = [&](TListItem* item, bool& canAdd) {
    seen.insert(TKivShellList::ItemData(item)->parsingName);
    canAdd = TKivShellList::ItemData(item)->parsingName.ends_with(".txt");
  };
  list->SetBackgroundFill(true);
  list->SetPath(dir.Path());
  ASSERT_TRUE(WaitPopulated());
  EXPECT_EQ(seen.size(), 212u);
  std::vector<String> expected;
  for (const String& name : SynchronousNames())
    if (name.ends_with(".txt")) expected.push_back(name);
  EXPECT_EQ(Names(*list), expected);
}

TEST_F(ShellListBackgroundTest, ANavigationFromOnAddItemEndsTheFillThatAskedIt) {
  MakeMixedFolder(300);
  TempDir other;
  other.File("only.txt");
  bool moved = false;
  list->OnAddItem = [&](TListItem*, bool&) {
    if (std::exchange(moved, true)) return;
    list->SetPath(other.Path());
  };
  list->SetBackgroundFill(true);
  list->SetPath(dir.Path());
  ASSERT_TRUE(WaitPopulated());
  PumpMessagesUntil([] { return false; }, 300);
  EXPECT_TRUE(moved);
  EXPECT_EQ(Names(*list), (std::vector<String>{"only.txt"}));
  EXPECT_EQ(populated, 1);
}
