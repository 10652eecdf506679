// Combo box: owner-drawn items measured and drawn, ItemIndex without OnChange, the user's choice,
// items and selection across a re-created window, the drop-down count, edit children.
#include "host/forms/Forms.h"
#include "host/views/ComboBox.h"

#include "Pump.h"

#include <gtest/gtest.h>

#include <memory>

using namespace host;

namespace {

class TTag : public TObject {
 public:
  explicit TTag(int indent) : indent(indent) {}
  int indent;
};

class TProbeCombo : public TCustomComboBox {
 public:
  using TCustomComboBox::TCustomComboBox;
  std::vector<int> measured;
  struct Draw {
    int index;
    RECT rect;
    TOwnerDrawState state;
    int textX;
  };
  std::vector<Draw> draws;
  std::vector<std::pair<int, TObject*>> deleted;

 protected:
  void ItemDeleted(int index, TObject* object) override { deleted.emplace_back(index, object); }
  void MeasureItem(int index, int& height) override {
    measured.push_back(index);
    height = 18 + 2 * index;
    TCustomComboBox::MeasureItem(index, height);
  }
  // Items drawn indented by their tag, as a location box does.
  void DrawItem(int index, const RECT& rect, TOwnerDrawState state) override {
    const auto* tag = dynamic_cast<TTag*>(Items()->Objects(index));
    const int x = rect.left + 2 + (tag && !(state & odComboBoxEdit) ? tag->indent * 10 : 0);
    draws.push_back({index, rect, state, x});
    Canvas()->FillRect(rect);
    Canvas()->TextOut(x, rect.top + 1, Items()->Strings(index));
  }
};

class TEditChild : public TWinControl {
 public:
  using TWinControl::TWinControl;

 protected:
  void CreateParams(TCreateParams& params) override {
    TWinControl::CreateParams(params);
    CreateSubClass(params, L"EDIT");
  }
};

struct ComboBoxTest : ::testing::Test {
  // One form for the suite: a shown top-level window takes Wine seconds to destroy.
  static inline std::unique_ptr<TForm> form;
  TProbeCombo* combo = nullptr;
  std::vector<std::unique_ptr<TTag>> tags;

  static void SetUpTestSuite() {
    form = std::make_unique<TForm>();
    form->SetBounds(80, 80, 320, 300);
    form->Show();
  }
  static void TearDownTestSuite() { form.reset(); }

  void SetUp() override {
    combo = new TProbeCombo(form.get());
    combo->SetParent(form.get());
    combo->SetBounds(10, 10, 220, 24);
  }
  void TearDown() override { delete combo; }

  void AddTagged(std::initializer_list<const char*> names) {
    int indent = 0;
    for (const char* name : names) {
      tags.push_back(std::make_unique<TTag>(indent++));
      combo->Items()->AddObject(name, tags.back().get());
    }
  }
};

TEST_F(ComboBoxTest, OwnerDrawnVariableComboMeasuresAndDrawsItems) {
  combo->SetStyle(csOwnerDrawVariable);
  AddTagged({"Desktop", "Computer", "C:\\", "Users"});
  combo->HandleNeeded();
  EXPECT_EQ(combo->measured, (std::vector<int>{0, 1, 2, 3}));
  EXPECT_EQ(SendMessageW(combo->Handle(), CB_GETITEMHEIGHT, 3, 0), 24);
  EXPECT_EQ(combo->Items()->Objects(2), tags[2].get());
  EXPECT_EQ(SendMessageW(combo->Handle(), CB_GETITEMDATA, 2, 0), LRESULT(tags[2].get()));

  combo->SetItemIndex(2);
  InvalidateRect(combo->Handle(), nullptr, TRUE);
  UpdateWindow(combo->Handle());
  ASSERT_FALSE(combo->draws.empty());
  const auto face = combo->draws.back();
  EXPECT_EQ(face.index, 2);
  EXPECT_TRUE(face.state & odComboBoxEdit);
  EXPECT_EQ(face.textX, face.rect.left + 2);  // the face is not indented

  // The open list draws every item, indented by depth.
  combo->draws.clear();
  combo->SetDroppedDown(true);
  ASSERT_TRUE(combo->DroppedDown());
  UpdateWindow(combo->ListHandle());
  testing_support::PumpMessagesUntil([&] { return combo->draws.size() >= 4; }, 3000);
  bool sawIndented = false, sawSelected = false;
  for (const auto& d : combo->draws) {
    if (d.state & odComboBoxEdit) continue;
    if (d.index == 3) sawIndented = d.textX == d.rect.left + 2 + 30;
    if (d.index == 2 && (d.state & odSelected)) sawSelected = true;
  }
  EXPECT_TRUE(sawIndented);
  EXPECT_TRUE(sawSelected);
  combo->SetDroppedDown(false);
}

TEST_F(ComboBoxTest, ItemIndexSetByProgramFiresNoChangeButTheUsersChoiceDoes) {
  combo->SetStyle(csDropDownList);
  AddTagged({"one", "two", "three"});
  int changes = 0;
  combo->OnChange = [&](TObject*) { ++changes; };
  combo->SetItemIndex(1);  // before the window
  combo->HandleNeeded();
  EXPECT_EQ(combo->ItemIndex(), 1);
  combo->SetItemIndex(0);
  EXPECT_EQ(combo->ItemIndex(), 0);
  EXPECT_EQ(changes, 0);

  // The user moves down with the keyboard.
  combo->SetFocus();
  SendMessageW(combo->Handle(), WM_KEYDOWN, VK_DOWN, 0);
  EXPECT_EQ(combo->ItemIndex(), 1);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(combo->Text(), "two");
}

TEST_F(ComboBoxTest, StyleChangeKeepsItemsObjectsAndSelection) {
  AddTagged({"a", "b", "c"});
  combo->HandleNeeded();
  combo->SetItemIndex(2);
  combo->Items()->SetStrings(2, "c2");
  EXPECT_EQ(combo->ItemIndex(), 2);
  HWND before = combo->Handle();
  combo->SetStyle(csOwnerDrawFixed);
  combo->HandleNeeded();
  EXPECT_NE(combo->Handle(), before);
  EXPECT_EQ(SendMessageW(combo->Handle(), CB_GETCOUNT, 0, 0), 3);
  EXPECT_EQ(combo->ItemIndex(), 2);
  EXPECT_EQ(SendMessageW(combo->Handle(), CB_GETITEMDATA, 2, 0), LRESULT(tags[2].get()));
  combo->Items()->Delete(0);
  EXPECT_EQ(combo->ItemIndex(), 1);
  EXPECT_EQ(combo->Items()->Strings(1), "c2");
}

TEST_F(ComboBoxTest, DropDownCountAndItemHeightShapeTheList) {
  combo->SetStyle(csOwnerDrawFixed);
  combo->SetItemHeight(20);
  combo->SetDropDownCount(5);
  for (int i = 0; i < 20; ++i) combo->Items()->Add("item " + std::to_string(i));
  combo->HandleNeeded();
  EXPECT_EQ(combo->ItemHeight(), 20);
  EXPECT_EQ(SendMessageW(combo->Handle(), CB_GETITEMHEIGHT, 0, 0), 20);
  combo->SetDroppedDown(true);
  RECT list{};
  GetClientRect(combo->ListHandle(), &list);
  const int rows = (list.bottom - list.top + 10) / 20;
  EXPECT_GE(rows, 4);
  EXPECT_LE(rows, 6);
  combo->SetDroppedDown(false);
}

TEST_F(ComboBoxTest, EditChildren) {
  combo->SetStyle(csDropDown);
  combo->HandleNeeded();
  HWND edit = combo->EditHandle();
  ASSERT_NE(edit, nullptr);
  EXPECT_EQ(GetParent(edit), combo->Handle());
  combo->SetText("typed");
  EXPECT_EQ(combo->Text(), "typed");

  // An owner-drawn combo has no edit of its own; one laid over its face is its child.
  combo->SetStyle(csOwnerDrawVariable);
  combo->HandleNeeded();
  EXPECT_EQ(combo->EditHandle(), nullptr);
  auto* field = new TEditChild(combo);
  field->SetParent(combo);
  field->SetBounds(24, 3, 150, 16);
  field->HandleNeeded();
  EXPECT_EQ(GetParent(field->Handle()), combo->Handle());
  EXPECT_TRUE(IsWindowVisible(field->Handle()));
  EXPECT_TRUE(GetWindowLongPtrW(combo->Handle(), GWL_STYLE) & WS_CLIPCHILDREN);
}

}  // namespace

namespace {

// Keys typed into the edit of a drop-down combo reach the combo's key handlers, which can
// consume or change them; the routing survives a re-created window.
TEST_F(ComboBoxTest, KeysTypedIntoTheEditReachTheCombo) {
  combo->SetStyle(csDropDown);
  combo->HandleNeeded();
  std::vector<WORD> downs, ups;
  std::wstring presses;
  combo->OnKeyDown = [&](TObject* sender, WORD& key, TShiftState) {
    EXPECT_EQ(sender, combo);
    downs.push_back(key);
    if (key == VK_DELETE) key = 0;
  };
  combo->OnKeyUp = [&](TObject*, WORD& key, TShiftState) { ups.push_back(key); };
  combo->OnKeyPress = [&](TObject*, wchar_t& key) {
    presses += key;
    if (key == L'x') key = 0;
    if (key == L'a') key = L'b';
  };
  auto type = [&](HWND edit, wchar_t ch) {
    SendMessageW(edit, WM_KEYDOWN, WPARAM(VkKeyScanW(ch) & 0xFF), 1);
    SendMessageW(edit, WM_CHAR, WPARAM(ch), 1);
    SendMessageW(edit, WM_KEYUP, WPARAM(VkKeyScanW(ch) & 0xFF), LPARAM(0xC0000001));
  };
  HWND edit = combo->EditHandle();
  ASSERT_NE(edit, nullptr);
  type(edit, L'a');
  type(edit, L'x');
  type(edit, L'c');
  EXPECT_EQ(presses, L"axc");
  EXPECT_EQ(downs.size(), 3u);
  EXPECT_EQ(ups.size(), 3u);
  EXPECT_EQ(combo->Text(), "bc");

  // A consumed Delete leaves the text alone.
  SendMessageW(edit, EM_SETSEL, 0, 0);
  SendMessageW(edit, WM_KEYDOWN, VK_DELETE, 1);
  EXPECT_EQ(combo->Text(), "bc");
  EXPECT_EQ(downs.back(), VK_DELETE);

  // A simple combo's new window routes its edit too.
  combo->SetStyle(csSimple);
  combo->HandleNeeded();
  HWND edit2 = combo->EditHandle();
  ASSERT_NE(edit2, nullptr);
  presses.clear();
  type(edit2, L'q');
  EXPECT_EQ(presses, L"q");
  EXPECT_EQ(combo->Text().back(), 'q');
}

}  // namespace

TEST_F(ComboBoxTest, EveryItemThatLeavesTheListIsReportedWithItsObject) {
  for (int i = 0; i < 4; ++i) tags.push_back(std::make_unique<TTag>(i));
  for (int i = 0; i < 4; ++i) combo->Items()->AddObject("item " + IntToStr(i), tags[size_t(i)].get());
  combo->Items()->Delete(1);
  ASSERT_EQ(combo->deleted.size(), 1u);
  EXPECT_EQ(combo->deleted[0], std::make_pair(1, static_cast<TObject*>(tags[1].get())));
  EXPECT_EQ(SendMessageW(combo->Handle(), CB_GETCOUNT, 0, 0), 3);
  combo->deleted.clear();
  // Clear reports the last item first, after the window has let go of them all.
  combo->Items()->Clear();
  const std::vector<std::pair<int, TObject*>> expected{
      {2, tags[3].get()}, {1, tags[2].get()}, {0, tags[0].get()}};
  EXPECT_EQ(combo->deleted, expected);
  EXPECT_EQ(SendMessageW(combo->Handle(), CB_GETCOUNT, 0, 0), 0);
}
