// The splitter: read from a form, the control it resizes, and a drag within its limits.
#include <gtest/gtest.h>

#include <memory>

#include "host/forms/ExtCtrls.h"
#include "host/forms/Forms.h"
#include "host/forms/Splitter.h"

using namespace host;

namespace {

class DraggedSplitter : public TSplitter {
 public:
  using TSplitter::MouseDown;
  using TSplitter::MouseMove;
  using TSplitter::MouseUp;
};

const char* const kForm = R"(object Split: TForm
  ClientWidth = 400
  ClientHeight = 300
  object Side: TPanel
    Align = alLeft
    Width = 100
  end
  object Bar: TSplitter
    Left = 100
    Width = 4
    MinSize = 40
    OnMoved = BarMoved
  end
  object Rest: TPanel
    Align = alClient
  end
end
)";

}  // namespace

TEST(SplitterTest, ADragResizesTheControlBeforeItWithinItsLimits) {
  int moves = 0;
  TEventHandlers handlers;
  handlers.Register<TNotifyEvent>("BarMoved", [&](TObject*) { ++moves; });
  std::unique_ptr<TForm> form(TForm::CreateFromText(kForm, nullptr, handlers));
  auto* side = dynamic_cast<TControl*>(form->FindComponent("Side"));
  auto* bar = static_cast<DraggedSplitter*>(dynamic_cast<TSplitter*>(form->FindComponent("Bar")));
  auto* rest = dynamic_cast<TControl*>(form->FindComponent("Rest"));
  ASSERT_TRUE(side && bar && rest);
  form->Show();
  EXPECT_EQ(bar->Align(), alLeft);
  EXPECT_EQ(bar->MinSize(), 40);
  EXPECT_EQ(bar->Cursor(), crHSplit);
  EXPECT_EQ(bar->Left(), 100);
  EXPECT_EQ(bar->ResizedControl(), side);

  bar->MouseDown(mbLeft, 0, 1, 10);
  bar->MouseMove(0, 51, 10);
  EXPECT_EQ(side->Width(), 150);
  EXPECT_EQ(bar->Left(), 150);
  EXPECT_EQ(rest->Left(), 154);
  // Never past what leaves MinSize to the rest, nor below MinSize itself.
  bar->MouseMove(0, 1000, 10);
  EXPECT_EQ(side->Width(), 400 - 4 - 40);
  bar->MouseMove(0, -1000, 10);
  EXPECT_EQ(side->Width(), 40);
  EXPECT_EQ(moves, 0);
  bar->MouseUp(mbLeft, 0, -1000, 10);
  EXPECT_EQ(moves, 1);
  // Without a button held nothing moves.
  bar->MouseMove(0, 80, 10);
  EXPECT_EQ(side->Width(), 40);
}
