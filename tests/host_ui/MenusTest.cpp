// Menus: command identifiers, popping up and choosing from a timer, owner drawing, form files.
#include "host/forms/ExtCtrls.h"
#include "host/forms/Forms.h"
#include "host/forms/Menus.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

using namespace host;

namespace {

// Runs `action` once from a timer while a menu's modal loop is running.
std::function<void()> timerAction;
void CALLBACK RunTimerAction(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  if (timerAction) timerAction();
}
void AfterDelay(UINT ms, std::function<void()> action) {
  timerAction = std::move(action);
  SetTimer(nullptr, 0, ms, RunTimerAction);
}

// Keys as the menu loop reads them from the queue.
void PostKeys(std::initializer_list<WORD> keys) {
  for (WORD key : keys) {
    PostMessageW(PopupListWindow(), WM_KEYDOWN, key, 1);
    PostMessageW(PopupListWindow(), WM_KEYUP, key, 0xC0000001);
  }
}

TMenuItem* AddItem(TMenuItem* parent, const char* caption, TComponent* owner) {
  auto* item = new TMenuItem(owner);
  item->SetCaption(caption);
  parent->Add(item);
  return item;
}

}  // namespace

TEST(MenuItems, CommandsStartAbove0x7FFFAndReuseTheLowestFree) {
  TPopupMenu menu;
  std::vector<TMenuItem*> items;
  for (int i = 0; i < 5; ++i) items.push_back(AddItem(menu.Items(), "x", &menu));
  for (TMenuItem* item : items) {
    EXPECT_GE(item->Command(), 0x8000u);
    EXPECT_LE(item->Command(), 0xFFFFu);
  }
  const UINT freed = items[2]->Command();
  delete items[2];
  auto* again = AddItem(menu.Items(), "y", &menu);
  EXPECT_EQ(again->Command(), freed);
  EXPECT_EQ(menu.FindItem(freed, fkCommand), again);

  // The built menu has no entry in the shell's range.
  HMENU h = menu.Handle();
  for (int i = 0; i < GetMenuItemCount(h); ++i) EXPECT_GE(GetMenuItemID(h, i), 0x8000u);
}

TEST(MenuItems, CopyTakesEveryAttributeAndTheSubitems) {
  TPopupMenu menu;
  TComponent action;
  auto* source = AddItem(menu.Items(), "&Tools", &menu);
  source->SetName("ToolsItem");
  source->SetShortCut(ShortCut('T', scCtrl));
  source->SetHint("Tools|Tools of the program");
  source->SetBreak(mbBarBreak);
  source->SetRadioItem(true);
  source->SetGroupIndex(3);
  source->SetChecked(true);
  source->SetDefault(true);
  source->SetEnabled(false);
  source->SetHelpContext(42);
  source->SetTag(7);
  source->SetVisible(false);
  source->SetImageIndex(5);
  source->SetAction(&action);
  int clicks = 0;
  source->OnClick = [&](TObject*) { ++clicks; };
  auto* sub = AddItem(source, "Sub", &menu);
  AddItem(sub, "Leaf", &menu)->SetHint("leaf");
  AddItem(source, "-", &menu);

  std::unique_ptr<TMenuItem> copy{CopyMenuItem(source)};
  EXPECT_EQ(copy->Caption(), "&Tools");
  EXPECT_EQ(copy->Name(), "ToolsItem");
  EXPECT_EQ(copy->ShortCut(), ShortCut('T', scCtrl));
  EXPECT_EQ(copy->Hint(), "Tools|Tools of the program");
  EXPECT_EQ(copy->Break(), mbBarBreak);
  EXPECT_TRUE(copy->RadioItem());
  EXPECT_EQ(copy->GroupIndex(), 3);
  EXPECT_TRUE(copy->Checked());
  EXPECT_TRUE(copy->Default());
  EXPECT_FALSE(copy->Enabled());
  EXPECT_EQ(copy->HelpContext(), 42);
  EXPECT_EQ(copy->Tag(), 7);
  EXPECT_FALSE(copy->Visible());
  EXPECT_EQ(copy->ImageIndex(), 5);
  EXPECT_EQ(copy->Action(), &action);
  EXPECT_NE(copy->Command(), source->Command());
  ASSERT_TRUE(copy->OnClick);
  copy->OnClick(copy.get());
  EXPECT_EQ(clicks, 1);
  ASSERT_EQ(copy->Count(), 2);
  ASSERT_EQ(copy->Items(0)->Count(), 1);
  EXPECT_EQ(copy->Items(0)->Items(0)->Caption(), "Leaf");
  EXPECT_EQ(copy->Items(0)->Items(0)->Hint(), "leaf");
  EXPECT_TRUE(copy->Items(1)->IsLine());
  EXPECT_EQ(copy->Items(0)->Parent(), copy.get());
}

TEST(MenuItems, RebuildKeepsEntriesOthersPutIntoTheHandle) {
  auto ids = [](HMENU h) {
    std::vector<UINT> result;
    for (int i = 0; i < GetMenuItemCount(h); ++i) result.push_back(GetMenuItemID(h, i));
    return result;
  };
  // Foreign entries below ours.
  TPopupMenu below;
  auto* a = AddItem(below.Items(), "A", &below);
  auto* b = AddItem(below.Items(), "B", &below);
  HMENU h = below.Handle();
  AppendMenuW(h, MF_STRING, 6, L"shell six");
  AppendMenuW(h, MF_STRING, 7, L"shell seven");
  a->SetVisible(false);
  EXPECT_EQ(below.Handle(), h);
  EXPECT_EQ(ids(h), (std::vector<UINT>{b->Command(), 6, 7}));
  a->SetVisible(true);
  below.Handle();
  EXPECT_EQ(ids(h), (std::vector<UINT>{a->Command(), b->Command(), 6, 7}));

  // Foreign entries above ours, and a submenu of ours that changes.
  TPopupMenu above;
  auto* c = AddItem(above.Items(), "C", &above);
  auto* sub = AddItem(above.Items(), "Sub", &above);
  AddItem(sub, "Leaf", &above);
  h = above.Handle();
  InsertMenuW(h, 0, MF_BYPOSITION | MF_STRING, 5, L"shell five");
  c->SetCaption("C again");
  AddItem(sub, "Leaf 2", &above);
  above.Handle();
  EXPECT_EQ(ids(h), (std::vector<UINT>{5, c->Command(), UINT(-1)}));
  wchar_t text[32] = {};
  GetMenuStringW(h, 1, text, 32, MF_BYPOSITION);
  EXPECT_STREQ(text, L"C again");
  EXPECT_EQ(GetMenuItemCount(GetSubMenu(h, 2)), 2);
}

TEST(Hints, ShortAndLongPartsOfAHint) {
  EXPECT_EQ(GetShortHint("Open|Opens the file"), "Open");
  EXPECT_EQ(GetLongHint("Open|Opens the file"), "Opens the file");
  EXPECT_EQ(GetShortHint("Open"), "Open");
  EXPECT_EQ(GetLongHint("Open"), "Open");
  EXPECT_EQ(GetLongHint("Open|"), "");
  EXPECT_EQ(GetShortHint(""), "");
}

TEST(PopupMenu, ChoiceMadeFromATimerIsReturnedAndClicked) {
  TPopupMenu menu;
  auto* first = AddItem(menu.Items(), "&First", &menu);
  auto* second = AddItem(menu.Items(), "&Second", &menu);
  second->SetShortCut(ShortCut('S', scCtrl));
  int popups = 0, clicks = 0;
  menu.OnPopup = [&](TObject*) { ++popups; };
  second->OnClick = [&](TObject* sender) {
    EXPECT_EQ(sender, second);
    ++clicks;
  };
  first->OnClick = [&](TObject*) { ADD_FAILURE() << "first item clicked"; };

  AfterDelay(150, [] { PostKeys({VK_DOWN, VK_DOWN, VK_RETURN}); });
  EXPECT_EQ(menu.TrackPopup(100, 100), second);
  EXPECT_EQ(popups, 1);
  EXPECT_EQ(clicks, 1);

  // Closed without a choice.
  AfterDelay(150, [] { EndMenu(); });
  EXPECT_EQ(menu.TrackPopup(100, 100), nullptr);
  EXPECT_EQ(clicks, 1);
}

TEST(PopupMenu, SubmenusAreFoundByHandleAndUpdateBeforeTheyOpen) {
  TPopupMenu menu;
  auto* sub = AddItem(menu.Items(), "Sub", &menu);
  auto* leaf = AddItem(sub, "Leaf", &menu);
  leaf->SetHint("Short|The long hint");
  int opened = 0;
  sub->OnClick = [&](TObject*) {
    ++opened;
    leaf->SetChecked(true);  // changed while the submenu opens
  };
  HMENU root = menu.Handle();
  HMENU submenu = GetSubMenu(root, 0);
  ASSERT_NE(submenu, nullptr);
  EXPECT_EQ(menu.FindItem(reinterpret_cast<UINT_PTR>(submenu), fkHandle), sub);

  TMessage init{WM_INITMENUPOPUP, WPARAM(submenu), 0, 0};
  EXPECT_TRUE(DispatchMenuMessage(init));
  EXPECT_EQ(opened, 1);
  EXPECT_EQ(GetMenuState(submenu, leaf->Command(), MF_BYCOMMAND) & MF_CHECKED, UINT(MF_CHECKED));

  TMessage select{WM_MENUSELECT, MAKEWPARAM(leaf->Command(), MF_HILITE), LPARAM(submenu), 0};
  EXPECT_TRUE(DispatchMenuMessage(select));
  EXPECT_EQ(Application().Hint(), "The long hint");

  // A command the host does not own is left alone.
  TMessage shell{WM_COMMAND, 0x0042, 0, 0};
  EXPECT_FALSE(DispatchMenuMessage(shell));
}

TEST(PopupMenu, RadioItemsOfAGroupExcludeEachOther) {
  TPopupMenu menu;
  auto* a = AddItem(menu.Items(), "A", &menu);
  auto* b = AddItem(menu.Items(), "B", &menu);
  auto* c = AddItem(menu.Items(), "C", &menu);
  for (auto* i : {a, b, c}) {
    i->SetRadioItem(true);
    i->SetGroupIndex(1);
  }
  c->SetGroupIndex(2);
  a->SetChecked(true);
  c->SetChecked(true);
  b->SetChecked(true);
  EXPECT_FALSE(a->Checked());
  EXPECT_TRUE(b->Checked());
  EXPECT_TRUE(c->Checked());
}

TEST(PopupMenu, OwnerDrawnItemsAreMeasuredAndDrawnByThePopupList) {
  TPopupMenu menu;
  menu.SetOwnerDraw(true);
  auto* item = AddItem(menu.Items(), "Drawn", &menu);
  AddItem(menu.Items(), "-", &menu);
  int measured = 0, drawn = 0;
  item->OnMeasureItem = [&](TObject*, TCanvas*, int& w, int& h) {
    ++measured;
    w = 120;
    h = 30;
  };
  item->OnDrawItem = [&](TObject*, TCanvas* canvas, const RECT& r, bool) {
    ++drawn;
    canvas->Brush()->SetColor(clYellow);
    canvas->FillRect(r);
  };
  AfterDelay(400, [] { EndMenu(); });
  EXPECT_EQ(menu.TrackPopup(50, 50), nullptr);
  EXPECT_GE(measured, 1);
  EXPECT_GE(drawn, 1);
}

TEST(PopupMenu, ControlShowsItsPopupMenuOnContextMenu) {
  const char text[] = R"(object MenuForm: TForm
  BorderStyle = bsNone
  ClientWidth = 200
  ClientHeight = 100
  object Menu: TPopupMenu
    object Open: TMenuItem
      Caption = '&Open'
      ShortCut = 16463
    end
    object More: TMenuItem
      Caption = 'More'
      object Deep: TMenuItem
        Caption = 'Deep'
        Checked = True
      end
    end
  end
  object Panel: TPanel
    Align = alClient
    PopupMenu = Menu
  end
end
)";
  std::unique_ptr<TForm> form(TForm::CreateFromText(text));
  auto* menu = dynamic_cast<TPopupMenu*>(form->FindComponent("Menu"));
  auto* panel = dynamic_cast<TPanel*>(form->FindComponent("Panel"));
  ASSERT_TRUE(menu && panel);
  ASSERT_EQ(menu->Items()->Count(), 2);
  EXPECT_EQ(menu->Items()->Items(1)->Items(0)->Caption(), "Deep");
  EXPECT_EQ(ShortCutToText(menu->Items()->Items(0)->ShortCut()), "Ctrl+O");
  EXPECT_EQ(panel->PopupMenu(), menu);

  form->Show();
  TComponent* shownFor = nullptr;
  menu->OnPopup = [&](TObject*) { shownFor = menu->PopupComponent(); };
  AfterDelay(150, [] { EndMenu(); });
  const POINT pt = panel->ClientToScreen(POINT{10, 10});
  SendMessageW(panel->Handle(), WM_CONTEXTMENU, WPARAM(panel->Handle()), MAKELPARAM(pt.x, pt.y));
  EXPECT_EQ(shownFor, panel);

  // Written back, the items stay nested in their menu.
  const String written = WriteComponentText(form.get());
  EXPECT_NE(written.find("\r\n      object Deep: TMenuItem\r\n"), String::npos) << written;
  std::unique_ptr<TForm> again(TForm::CreateFromText(written));
  EXPECT_EQ(WriteComponentText(again.get()), written);
  menu->Items()->Items(1)->Items(0)->SetChecked(false);
  delete menu;
  EXPECT_EQ(panel->PopupMenu(), nullptr);
}
