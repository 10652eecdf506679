// Windowed controls: window creation, re-creation, reflection, consumed messages, mouse and keys.
#include "host/forms/Forms.h"

#include "Pump.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <memory>

using namespace host;

namespace {

// A wrapper of a native control class, recording what its WndProc sees.
class TNativeProbe : public TWinControl {
 public:
  TNativeProbe(TComponent* owner, const wchar_t* nativeClass, DWORD style = 0)
      : TWinControl(owner), nativeClass_(nativeClass), style_(style) {
    SetBounds(10, 10, 120, 24);
  }
  std::vector<UINT> reflected;
  UINT consume = 0;  // a message number the control keeps from the native procedure
  int createdWindows = 0;

 protected:
  void CreateParams(TCreateParams& params) override {
    TWinControl::CreateParams(params);
    CreateSubClass(params, nativeClass_);
    params.Style |= style_;
  }
  void CreateWnd() override {
    TWinControl::CreateWnd();
    ++createdWindows;
  }
  void WndProc(TMessage& m) override {
    if (m.Msg >= CN_BASE && m.Msg < CN_BASE + 0x400) reflected.push_back(m.Msg);
    if (consume && m.Msg == consume) return;
    TWinControl::WndProc(m);
  }

 private:
  const wchar_t* nativeClass_;
  DWORD style_;
};

// A self-painting control counting its events.
class TPaintProbe : public TCustomControl {
 public:
  using TCustomControl::TCustomControl;
  int paints = 0, enters = 0, leaves = 0;

 protected:
  void Paint() override {
    ++paints;
    Canvas()->FillRect(ClientRect());
  }
  void WndProc(TMessage& m) override {
    if (m.Msg == CM_MOUSEENTER) ++enters;
    if (m.Msg == CM_MOUSELEAVE) ++leaves;
    TCustomControl::WndProc(m);
  }
};

class TGraphicProbe : public TGraphicControl {
 public:
  using TGraphicControl::TGraphicControl;
  int paints = 0;

 protected:
  void Paint() override { ++paints; }
};

struct ControlsTest : ::testing::Test {
  std::unique_ptr<TForm> form = std::make_unique<TForm>();
  void SetUp() override {
    // Without caption: under an X server without window manager, hiding a captioned window
    // waits two seconds.
    form->SetBorderStyle(bsNone);
    form->SetBounds(50, 50, 420, 320);
    form->Show();
  }
};

}  // namespace

TEST_F(ControlsTest, ChildWindowsAreMadeWithTheParentsAndFoundByHandle) {
  auto* child = new TPaintProbe(form.get());
  child->SetBounds(5, 6, 70, 40);
  child->SetParent(form.get());
  ASSERT_TRUE(child->HandleAllocated());
  EXPECT_EQ(GetParent(child->Handle()), form->Handle());
  EXPECT_EQ(TWinControl::FindControl(child->Handle()), child);
  RECT r;
  GetWindowRect(child->Handle(), &r);
  MapWindowPoints(HWND_DESKTOP, form->Handle(), reinterpret_cast<POINT*>(&r), 2);
  EXPECT_EQ(r.left, 5);
  EXPECT_EQ(r.top, 6);
  EXPECT_EQ(r.right - r.left, 70);

  // A control made before its parent's window gets its window when the parent does.
  TForm later;
  later.SetBorderStyle(bsNone);
  auto* early = new TPaintProbe(&later);
  early->SetParent(&later);
  EXPECT_FALSE(early->HandleAllocated());
  later.HandleNeeded();
  EXPECT_TRUE(early->HandleAllocated());

  HWND wnd = child->Handle();
  delete child;
  EXPECT_FALSE(IsWindow(wnd));
  EXPECT_EQ(TWinControl::FindControl(wnd), nullptr);
  EXPECT_EQ(form->ControlCount(), 0);
}

TEST_F(ControlsTest, NestedAlignedControlsShareTheClientArea) {
  // A window that is not shown: resizing an active one makes the X server wait for a window
  // manager when it goes away.
  form = std::make_unique<TForm>();
  form->SetBorderStyle(bsNone);
  form->HandleNeeded();
  form->SetClientSize(400, 300);
  auto make = [&](TWinControl* parent, TAlign align, int w, int h) {
    auto* c = new TPaintProbe(form.get());
    c->SetBounds(0, 0, w, h);
    c->SetAlign(align);
    c->SetParent(parent);
    return c;
  };
  auto* top = make(form.get(), alTop, 10, 40);
  auto* bottom = make(form.get(), alBottom, 10, 30);
  auto* left = make(form.get(), alLeft, 100, 10);
  auto* client = make(form.get(), alClient, 1, 1);
  auto* innerRight = make(client, alRight, 50, 10);
  auto* innerClient = make(client, alClient, 1, 1);

  EXPECT_EQ(form->ClientWidth(), 400);
  EXPECT_EQ(form->ClientHeight(), 300);
  EXPECT_EQ(top->BoundsRect().bottom, 40);
  EXPECT_EQ(top->Width(), 400);
  EXPECT_EQ(bottom->Top(), 270);
  EXPECT_EQ(left->Top(), 40);
  EXPECT_EQ(left->Height(), 230);
  EXPECT_EQ(client->Left(), 100);
  EXPECT_EQ(client->Width(), 300);
  EXPECT_EQ(innerRight->Left(), 250);
  EXPECT_EQ(innerClient->Width(), 250);
  EXPECT_EQ(innerClient->Height(), 230);

  // Resizing the form lays everything out again; hiding a control gives its room away.
  form->SetClientSize(500, 400);
  EXPECT_EQ(bottom->Top(), 370);
  EXPECT_EQ(innerClient->Width(), 350);
  left->SetVisible(false);
  EXPECT_EQ(client->Left(), 0);
  EXPECT_EQ(innerClient->Width(), 450);
  // The windows follow the logical bounds.
  RECT r;
  GetClientRect(innerClient->Handle(), &r);
  EXPECT_EQ(r.right, 450);
}

TEST_F(ControlsTest, RecreatingTheWindowKeepsTextBoundsAndChildren) {
  auto* edit = new TNativeProbe(form.get(), L"EDIT", ES_AUTOHSCROLL);
  edit->SetParent(form.get());
  SetWindowTextW(edit->Handle(), L"typed text");
  auto* inner = new TNativeProbe(form.get(), L"BUTTON");
  auto* panel = new TPaintProbe(form.get());
  panel->SetBounds(0, 100, 200, 100);
  panel->SetParent(form.get());
  inner->SetParent(panel);
  inner->SetText("Push");
  edit->SetEnabled(false);

  HWND before = edit->Handle();
  HWND innerBefore = inner->Handle();
  edit->RecreateWnd();
  panel->RecreateWnd();
  EXPECT_NE(edit->Handle(), before);
  EXPECT_FALSE(IsWindow(before));
  EXPECT_FALSE(IsWindow(innerBefore));
  EXPECT_EQ(edit->createdWindows, 2);
  EXPECT_EQ(edit->Text(), "typed text");
  EXPECT_FALSE(IsWindowEnabled(edit->Handle()));
  EXPECT_EQ(edit->Left(), 10);
  EXPECT_EQ(edit->Width(), 120);
  ASSERT_TRUE(inner->HandleAllocated());
  EXPECT_EQ(GetParent(inner->Handle()), panel->Handle());
  EXPECT_EQ(inner->Text(), "Push");
  EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(edit->Handle(), WM_GETFONT, 0, 0)),
            edit->Font()->Handle());
}

TEST_F(ControlsTest, NotificationsReachTheControlThatSentThem) {
  auto* button = new TNativeProbe(form.get(), L"BUTTON", BS_PUSHBUTTON);
  button->SetParent(form.get());
  SendMessageW(button->Handle(), BM_CLICK, 0, 0);
  EXPECT_NE(std::find(button->reflected.begin(), button->reflected.end(), CN_COMMAND),
            button->reflected.end());

  auto* tree = new TNativeProbe(form.get(), WC_TREEVIEWW, TVS_HASLINES);
  tree->SetBounds(10, 50, 200, 150);
  tree->SetParent(form.get());
  TVINSERTSTRUCTW ins{};
  ins.hInsertAfter = TVI_LAST;
  ins.item.mask = TVIF_TEXT;
  wchar_t text[] = L"node";
  ins.item.pszText = text;
  auto item = reinterpret_cast<HTREEITEM>(
      SendMessageW(tree->Handle(), TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&ins)));
  ASSERT_NE(item, nullptr);
  tree->reflected.clear();
  SendMessageW(tree->Handle(), TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
  EXPECT_NE(std::find(tree->reflected.begin(), tree->reflected.end(), CN_NOTIFY),
            tree->reflected.end());
}

TEST_F(ControlsTest, AConsumedMessageNeverReachesTheNativeControl) {
  auto* check = new TNativeProbe(form.get(), L"BUTTON", BS_AUTOCHECKBOX);
  check->SetParent(form.get());
  check->consume = WM_LBUTTONDOWN;
  SendMessageW(check->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  SendMessageW(check->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  EXPECT_EQ(SendMessageW(check->Handle(), BM_GETCHECK, 0, 0), BST_UNCHECKED);
  check->consume = 0;
  SendMessageW(check->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  SendMessageW(check->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  EXPECT_EQ(SendMessageW(check->Handle(), BM_GETCHECK, 0, 0), BST_CHECKED);

  // A key handler that zeroes the key keeps it from the edit.
  auto* edit = new TNativeProbe(form.get(), L"EDIT");
  edit->SetParent(form.get());
  edit->OnKeyPress = [](TObject*, wchar_t& key) {
    if (key == L'x') key = 0;
  };
  for (wchar_t ch : std::wstring(L"axb")) SendMessageW(edit->Handle(), WM_CHAR, ch, 1);
  EXPECT_EQ(edit->Text(), "ab");
}

TEST_F(ControlsTest, PerformDispatchesWithoutAWindow) {
  TNativeProbe probe(nullptr, L"EDIT");
  EXPECT_EQ(probe.Perform(CN_NOTIFY, 0, 0), 0);
  EXPECT_FALSE(probe.HandleAllocated());
  EXPECT_EQ(probe.reflected.size(), 1u);
}

TEST_F(ControlsTest, MouseEventsCarryButtonsShiftAndDoubleClicks) {
  auto* c = new TPaintProbe(form.get());
  c->SetBounds(20, 20, 100, 80);
  c->SetParent(form.get());
  std::vector<std::string> seen;
  c->OnMouseDown = [&](TObject*, TMouseButton b, TShiftState s, int x, int y) {
    seen.push_back("down" + std::to_string(b) + ((s & ssDouble) ? "d" : "") +
                   ((s & ssShift) ? "s" : "") + "@" + std::to_string(x) + "," + std::to_string(y));
  };
  c->OnClick = [&](TObject*) { seen.push_back("click"); };
  c->OnDblClick = [&](TObject*) { seen.push_back("dbl"); };
  HWND w = c->Handle();
  SendMessageW(w, WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, MAKELPARAM(3, 4));
  SendMessageW(w, WM_LBUTTONUP, 0, MAKELPARAM(3, 4));
  SendMessageW(w, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(3, 4));
  SendMessageW(w, WM_LBUTTONUP, 0, MAKELPARAM(3, 4));
  SendMessageW(w, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(7, 8));
  // A release outside the control is no click.
  SendMessageW(w, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 4));
  SendMessageW(w, WM_LBUTTONUP, 0, MAKELPARAM(300, 4));
  const std::vector<std::string> expected{"down0s@3,4", "click", "dbl", "down0d@3,4",
                                          "click", "down1@7,8", "down0@3,4"};
  EXPECT_EQ(seen, expected);

  // Graphic controls get their parent's mouse messages in their own coordinates.
  auto* g = new TGraphicProbe(form.get());
  g->SetBounds(200, 100, 50, 50);
  g->SetParent(form.get());
  POINT got{-1, -1};
  g->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int x, int y) { got = {x, y}; };
  bool clicked = false;
  g->OnClick = [&](TObject*) { clicked = true; };
  SendMessageW(form->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(210, 120));
  SendMessageW(form->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(210, 120));
  EXPECT_EQ(got.x, 10);
  EXPECT_EQ(got.y, 20);
  EXPECT_TRUE(clicked);
}

TEST_F(ControlsTest, MouseEnterAndLeaveFollowTheMouse) {
  auto* a = new TPaintProbe(form.get());
  a->SetBounds(0, 0, 100, 100);
  a->SetParent(form.get());
  auto* b = new TPaintProbe(form.get());
  b->SetBounds(100, 0, 100, 100);
  b->SetParent(form.get());
  SendMessageW(a->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
  SendMessageW(a->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(6, 5));
  EXPECT_EQ(a->enters, 1);
  SendMessageW(b->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
  EXPECT_EQ(a->leaves, 1);
  EXPECT_EQ(b->enters, 1);
  SendMessageW(b->Handle(), WM_MOUSELEAVE, 0, 0);
  EXPECT_EQ(b->leaves, 1);
}

TEST_F(ControlsTest, ContextPopupEventGetsClientPointAndCanHandleIt) {
  auto* c = new TPaintProbe(form.get());
  c->SetBounds(30, 40, 100, 100);
  c->SetParent(form.get());
  POINT got{};
  c->OnContextPopup = [&](TObject*, POINT pt, bool& handled) {
    got = pt;
    handled = true;
  };
  POINT screen = c->ClientToScreen(POINT{12, 13});
  const LRESULT r = SendMessageW(c->Handle(), WM_CONTEXTMENU, WPARAM(c->Handle()),
                                 MAKELPARAM(screen.x, screen.y));
  EXPECT_EQ(r, 1);
  EXPECT_EQ(got.x, 12);
  EXPECT_EQ(got.y, 13);
}

TEST_F(ControlsTest, HintShowHandsTheHintInfoToTheControl) {
  struct THintProbe : TPaintProbe {
    using TPaintProbe::TPaintProbe;
    void WndProc(TMessage& m) override {
      if (m.Msg == CM_HINTSHOW) {
        auto* info = reinterpret_cast<THintInfo*>(m.LParam);
        info->HintStr = "item tip";
        m.Result = 0;
        return;
      }
      TPaintProbe::WndProc(m);
    }
  };
  auto* c = new THintProbe(form.get());
  c->SetParent(form.get());
  THintInfo info;
  info.HintControl = c;
  EXPECT_EQ(c->Perform(CM_HINTSHOW, 0, reinterpret_cast<LPARAM>(&info)), 0);
  EXPECT_EQ(info.HintStr, "item tip");
}

TEST_F(ControlsTest, ParentFontAndColorFlowToChildren) {
  auto* panel = new TPaintProbe(form.get());
  panel->SetParent(form.get());
  auto* edit = new TNativeProbe(form.get(), L"EDIT");
  edit->SetParent(panel);
  form->Font()->SetSize(14);
  EXPECT_EQ(panel->Font()->Size(), 14);
  EXPECT_EQ(edit->Font()->Size(), 14);
  EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(edit->Handle(), WM_GETFONT, 0, 0)),
            edit->Font()->Handle());
  edit->Font()->SetSize(9);
  EXPECT_FALSE(edit->ParentFont());
  form->Font()->SetSize(11);
  EXPECT_EQ(edit->Font()->Size(), 9);
  EXPECT_EQ(panel->Font()->Size(), 11);

  panel->SetParentColor(true);
  form->SetColor(clRed);
  EXPECT_EQ(panel->Color(), clRed);
}

TEST_F(ControlsTest, TabMovesTheFocusInTabOrder) {
  auto* a = new TNativeProbe(form.get(), L"EDIT");
  auto* b = new TNativeProbe(form.get(), L"EDIT");
  auto* c = new TNativeProbe(form.get(), L"EDIT");
  for (auto* e : {a, b, c}) {
    e->SetTabStop(true);
    e->SetParent(form.get());
  }
  c->SetTabOrder(0);
  EXPECT_EQ(a->TabOrder(), 1);
  a->SetFocus();
  ASSERT_TRUE(a->Focused());
  SendMessageW(a->Handle(), WM_KEYDOWN, VK_TAB, 1);
  EXPECT_TRUE(b->Focused());
  SendMessageW(b->Handle(), WM_KEYDOWN, VK_TAB, 1);
  EXPECT_TRUE(c->Focused());
}

TEST_F(ControlsTest, GraphicControlsPaintOnTheirParent) {
  auto* g = new TGraphicProbe(form.get());
  g->SetBounds(10, 10, 30, 30);
  g->SetParent(form.get());
  UpdateWindow(form->Handle());
  g->paints = 0;
  g->Invalidate();
  UpdateWindow(form->Handle());
  EXPECT_EQ(g->paints, 1);
}
