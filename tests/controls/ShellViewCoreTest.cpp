// The shell views' shared core: reports that come while a view is busy, and the check-box images
// a view makes and frees.
#include "controls/ShellViewCore.h"

#include <gtest/gtest.h>

#include <vector>

#include "shell/ShellRoutines.h"

using namespace zelnor;

namespace {

// The smallest view the core can serve: a component that is a linkable shell control.
class TBareView : public host::TComponent, public TKivShellControlBase {
 public:
  TBareView() : core(*this, *this, KivListShowOptions) {}
  host::String ClassName() const override { return "TBareView"; }
  void setShellLink(TKivShellLink* link) override { core.SetShellLink(link); }
  TKivShellLink* getShellLink() override { return core.ShellLink(); }
  void PathChanged(PCItemIDList) override {}
  void FileChanged(PCItemIDList, PCItemIDList) override {}
  void SelectAll() override {}
  void Refresh() override {}
  void SmartRefresh() override {}
  bool GoUp() override { return false; }

  TKivShellViewCore core;
};

}  // namespace

TEST(ShellViewCore, ReportsWhileBusyAreReplayedOnceOrDroppedByPolicy) {
  UniquePidl desktop = CopyItemIdList(DesktopIdList());
  for (auto policy : {TKivShellViewCore::TReportPolicy::Replay,
                      TKivShellViewCore::TReportPolicy::Drop}) {
    TBareView view;
    std::vector<int> handled;
    view.core.WatchChanges(policy, [&](int event, PItemIDList first, PItemIDList) {
      if (view.core.HoldReport(event, first, nullptr)) return;
      handled.push_back(event);
    });
    EXPECT_FALSE(view.core.HoldReport(1, desktop.get(), nullptr)) << "not busy: acted on";
    {
      auto outer = view.core.Busy();
      {
        auto inner = view.core.Busy();
        EXPECT_TRUE(view.core.HoldReport(5, desktop.get(), nullptr));
      }
      EXPECT_TRUE(view.core.IsBusy());
      EXPECT_TRUE(handled.empty()) << "nothing is handed back before the outermost guard ends";
    }
    EXPECT_FALSE(view.core.IsBusy());
    const bool replay = policy == TKivShellViewCore::TReportPolicy::Replay;
    EXPECT_EQ(handled, replay ? std::vector<int>{5} : std::vector<int>{});
  }
}

TEST(ShellViewCore, CheckBoxImagesFreedOnlyWhenTheViewMadeThem) {
  TBareView view;
  host::TCustomImageList* shown = nullptr;
  auto set = [&](host::TCustomImageList* images) { shown = images; };
  view.core.ShowCheckBoxImages(true, shown, set);
  ASSERT_NE(shown, nullptr);
  EXPECT_EQ(shown->Owner(), &view);
  view.core.ShowCheckBoxImages(false, shown, set);
  EXPECT_EQ(shown, nullptr);

  // Boxes the application gave the view, even of the view's own kind, stay with their owner.
  host::TComponent form;
  auto* given = new TKivSelectionStateImageList(&form);
  shown = given;
  view.core.ShowCheckBoxImages(false, shown, set);
  EXPECT_EQ(shown, given);
  EXPECT_EQ(form.ComponentCount(), 1);
}
