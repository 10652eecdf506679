// Tests of the link between shell controls: registration, the broadcast rules, the re-entrance
// guard, GoUp's first taker, destruction, the owned selection list and the published form.
#include "link/ShellLink.h"

#include "host/core/Streaming.h"
#include "package/ZelnorComponents.h"
#include "selection/KivSelectionList.h"
#include "shell/ShellGlobals.h"

#include <gtest/gtest.h>

#include "shell/TempDir.h"

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

using zelnor::IKivShellControl;
using zelnor::TKivShellLink;

namespace {

// A linkable control that writes down every call it gets into a log shared by the test.
class TFakeControl : public host::TComponent, public zelnor::TKivShellControlBase {
 public:
  TFakeControl(std::string name, std::vector<std::string>& log) : name_(std::move(name)), log_(log) {}
  ~TFakeControl() override { setShellLink(nullptr); }

  void setShellLink(TKivShellLink* link) override {
    zelnor::AttachShellControl(this, link_, link);
  }
  TKivShellLink* getShellLink() override { return link_; }
  void PathChanged(zelnor::PCItemIDList idList) override {
    log_.push_back(name_ + ".PathChanged");
    lastList = idList;
    if (onPath) onPath();
  }
  void FileChanged(zelnor::PCItemIDList folder, zelnor::PCItemIDList item) override {
    log_.push_back(name_ + ".FileChanged");
    lastList = folder;
    lastItem = item;
  }
  void SelectAll() override { log_.push_back(name_ + ".SelectAll"); }
  void Refresh() override { log_.push_back(name_ + ".Refresh"); }
  void SmartRefresh() override { log_.push_back(name_ + ".SmartRefresh"); }
  bool GoUp() override {
    log_.push_back(name_ + ".GoUp");
    return canGoUp;
  }

  bool canGoUp = false;
  std::function<void()> onPath;
  zelnor::PCItemIDList lastList = nullptr;
  zelnor::PCItemIDList lastItem = nullptr;

 private:
  std::string name_;
  std::vector<std::string>& log_;
  TKivShellLink* link_ = nullptr;
};

class ShellLinkTest : public ::testing::Test {
 protected:
  ShellLinkTest()
      : link(std::make_unique<TKivShellLink>()),
        tree("tree", log),
        list("list", log),
        combo("combo", log) {
    tree.setShellLink(link.get());
    list.setShellLink(link.get());
    combo.setShellLink(link.get());
    link->OnChange = [this](host::TObject* sender) {
      log.push_back("OnChange");
      EXPECT_EQ(sender, link.get());
    };
  }

  std::vector<std::string> log;
  std::unique_ptr<TKivShellLink> link;
  TFakeControl tree, list, combo;
};

using Log = std::vector<std::string>;

TEST_F(ShellLinkTest, RegistrationKeepsOrderAndHoldsEachControlOnce) {
  link->RegisterShellControl(&list);
  EXPECT_EQ(link->Controls().Count(), 3);
  EXPECT_EQ(link->Controls().Items(0), static_cast<IKivShellControl*>(&tree));
  EXPECT_EQ(link->Controls().Items(2), static_cast<IKivShellControl*>(&combo));
  list.setShellLink(nullptr);
  link->UnregisterShellControl(&list);  // absent: no effect
  EXPECT_EQ(link->Controls().Count(), 2);
  EXPECT_EQ(list.getShellLink(), nullptr);
  EXPECT_EQ(tree.getShellLink(), link.get());
}

TEST_F(ShellLinkTest, PathChangedReachesEveryOtherControlOnceThenOnChange) {
  ITEMIDLIST empty{};
  link->PathChanged(&list, &empty);
  EXPECT_EQ(log, (Log{"tree.PathChanged", "combo.PathChanged", "OnChange"}));
  EXPECT_EQ(tree.lastList, &empty);  // handed on unchanged
  EXPECT_TRUE(link->Enabled());

  log.clear();
  SHITEMID item[2] = {};
  link->FileChanged(&tree, &empty, reinterpret_cast<zelnor::PCItemIDList>(item));
  EXPECT_EQ(log, (Log{"list.FileChanged", "combo.FileChanged", "OnChange"}));
  EXPECT_EQ(combo.lastItem, reinterpret_cast<zelnor::PCItemIDList>(item));
}

TEST_F(ShellLinkTest, ControlReportingItsOwnMoveStartsNoSecondBroadcast) {
  ITEMIDLIST empty{};
  tree.onPath = [&] { link->PathChanged(&tree, &empty); };
  link->PathChanged(&list, &empty);
  EXPECT_EQ(log, (Log{"tree.PathChanged", "combo.PathChanged", "OnChange"}));
}

TEST_F(ShellLinkTest, ErrorFromControlReenablesLinkAndSkipsOnChange) {
  ITEMIDLIST empty{};
  tree.onPath = [] { throw std::runtime_error("no"); };
  EXPECT_THROW(link->PathChanged(&list, &empty), std::runtime_error);
  EXPECT_TRUE(link->Enabled());
  EXPECT_EQ(log, (Log{"tree.PathChanged"}));
}

TEST_F(ShellLinkTest, DisabledLinkPassesNothingOn) {
  link->SetEnabled(false);
  ITEMIDLIST empty{};
  link->PathChanged(&list, &empty);
  link->FileChanged(&list, &empty, &empty);
  link->SelectAll();
  link->Refresh();
  link->FullRefresh();
  link->SmartRefresh();
  tree.canGoUp = true;
  link->GoUp(&list);
  EXPECT_TRUE(log.empty());
}

TEST_F(ShellLinkTest, PlainBroadcastsSkipOnlyTheSender) {
  link->SelectAll(&tree);
  link->Refresh(&combo);
  link->SmartRefresh();
  EXPECT_EQ(log, (Log{"list.SelectAll", "combo.SelectAll", "tree.Refresh", "list.Refresh",
                      "tree.SmartRefresh", "list.SmartRefresh", "combo.SmartRefresh"}));
}

TEST_F(ShellLinkTest, GoUpGoesToTheFirstTakerAndFallsBackToTheSender) {
  list.canGoUp = true;
  combo.canGoUp = true;
  link->GoUp(&tree);
  EXPECT_EQ(log, (Log{"list.GoUp"}));

  log.clear();
  list.canGoUp = false;
  combo.canGoUp = false;
  tree.canGoUp = true;
  link->GoUp(&tree);
  EXPECT_EQ(log, (Log{"list.GoUp", "combo.GoUp", "tree.GoUp"}));

  log.clear();
  tree.canGoUp = false;
  link->GoUp();
  EXPECT_EQ(log, (Log{"tree.GoUp", "list.GoUp", "combo.GoUp"}));
}

TEST_F(ShellLinkTest, ControlThatLeavesDuringBroadcastIsNotCalledAfterwards) {
  ITEMIDLIST empty{};
  tree.onPath = [&] { combo.setShellLink(nullptr); };
  link->PathChanged(&list, &empty);
  EXPECT_EQ(log, (Log{"tree.PathChanged", "OnChange"}));
}

TEST_F(ShellLinkTest, DestroyingTheLinkLeavesEveryControlWithoutLink) {
  {
    TFakeControl gone("gone", log);
    gone.setShellLink(link.get());
    EXPECT_EQ(link->Controls().Count(), 4);
  }
  EXPECT_EQ(link->Controls().Count(), 3);
  link.reset();
  EXPECT_EQ(tree.getShellLink(), nullptr);
  EXPECT_EQ(list.getShellLink(), nullptr);
  EXPECT_EQ(combo.getShellLink(), nullptr);
}

TEST_F(ShellLinkTest, SelectionChangesRefreshTheControlsUnlessUpdating) {
  testing_support::TempDir dir;
  const std::string file = dir.File("a.txt", "abc");
  zelnor::TKivSelectionList* selection = link->SelectionList();
  ASSERT_NE(selection, nullptr);
  EXPECT_EQ(selection->Owner(), link.get());
  selection->AddPathToSelection(file);
  EXPECT_EQ(log, (Log{"tree.SmartRefresh", "list.SmartRefresh", "combo.SmartRefresh"}));

  log.clear();
  selection->BeginUpdate();
  selection->RemovePathFromSelection(file);
  EXPECT_TRUE(log.empty());
  selection->EndUpdate();
  EXPECT_EQ(log, (Log{"tree.SmartRefresh", "list.SmartRefresh", "combo.SmartRefresh"}));
}

TEST_F(ShellLinkTest, SettingTheSelectionListTakesItOverAndIgnoresItself) {
  zelnor::TKivSelectionList* own = link->SelectionList();
  link->SetSelectionList(own);
  EXPECT_EQ(link->SelectionList(), own);
  EXPECT_EQ(own->Owner(), link.get());

  auto* other = new zelnor::TKivSelectionList();
  bool ownGone = false;
  // A watcher told when the first list is freed.
  struct Watcher : host::TComponent {
    bool* gone;
    void Notification(host::TComponent*, host::TOperation op) override {
      if (op == host::opRemove) *gone = true;
    }
  } watcher;
  watcher.gone = &ownGone;
  own->FreeNotification(&watcher);
  link->SetSelectionList(other);
  EXPECT_TRUE(ownGone);
  EXPECT_EQ(link->SelectionList(), other);
  EXPECT_EQ(other->Owner(), link.get());
  // The new list's changes refresh the linked controls as the first one's did.
  testing_support::TempDir dir;
  log.clear();
  other->AddPathToSelection(dir.File("b.txt", "b"));
  EXPECT_EQ(log, (Log{"tree.SmartRefresh", "list.SmartRefresh", "combo.SmartRefresh"}));
  link.reset();  // frees `other` once
}

TEST(ShellLinkComponent, PublishedOnThePaletteWithItsDefaults) {
  zelnor::RegisterZelnorComponents();
  const auto classes = host::PaletteClasses("KIV Software");
  EXPECT_NE(std::find(classes.begin(), classes.end(), "TKivShellLink"), classes.end());
  ASSERT_NE(host::GetClass("TKivShellLink"), nullptr);

  TKivShellLink link;
  link.SetName("ShellLink1");
  EXPECT_TRUE(link.Enabled());
  EXPECT_TRUE(link.ShowParentFolderItem());
  EXPECT_EQ(link.Version(), "TKivShellLink V4.2");
  const host::String stored = host::WriteComponentText(&link);
  EXPECT_EQ(stored.find("Version"), host::String::npos);
  EXPECT_EQ(stored.find("Enabled"), host::String::npos);

  link.SetEnabled(false);
  const host::String disabled = host::WriteComponentText(&link);
  EXPECT_NE(disabled.find("Enabled = False"), host::String::npos);
  std::unique_ptr<host::TComponent> read(host::CreateComponentFromText(disabled));
  auto* copy = dynamic_cast<TKivShellLink*>(read.get());
  ASSERT_NE(copy, nullptr);
  EXPECT_FALSE(copy->Enabled());
}

TEST(ShellLinkComponent, BasesStartDisabledAndDialogsPublishTheirEvents) {
  zelnor::TKivBaseComponent base;
  EXPECT_FALSE(base.Enabled());
  base.SetBounds(1, 2, 3, 4);  // harmless

  const host::TClassInfo& dialog = zelnor::TKivBaseDialog::StaticClassInfo();
  EXPECT_NE(dialog.FindProperty("OnShow"), nullptr);
  EXPECT_NE(dialog.FindProperty("OnClose"), nullptr);
  EXPECT_EQ(host::TCommonDialog::StaticClassInfo().FindProperty("OnShow"), nullptr);

  IKivShellControl* none = nullptr;
  struct Probe : zelnor::TKivShellControlBase {
    void setShellLink(TKivShellLink*) override {}
    TKivShellLink* getShellLink() override { return nullptr; }
    void PathChanged(zelnor::PCItemIDList) override {}
    void FileChanged(zelnor::PCItemIDList, zelnor::PCItemIDList) override {}
    void SelectAll() override {}
    void Refresh() override {}
    void SmartRefresh() override {}
    bool GoUp() override { return false; }
  } probe;
  EXPECT_EQ(probe.QueryInterface(IID_PPV_ARGS(&none)), S_OK);
  EXPECT_EQ(none, static_cast<IKivShellControl*>(&probe));
  IUnknown* unknown = nullptr;
  EXPECT_EQ(probe.QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&unknown)),
            E_NOINTERFACE);
}

}  // namespace
