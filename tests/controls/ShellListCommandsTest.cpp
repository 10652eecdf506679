// The shell list as a folder window: keys and clicks sent as input, the shell's commands and
// what they report, cut marks, renaming in place, new folders, the selected names and the check
// boxes of the link's selection list.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "Modal.h"
#include "Pump.h"
#include "ShellListSupport.h"
#include "controls/ShellList.h"
#include "extras/ShellChangeNotifier.h"
#include "host/forms/Forms.h"
#include "host/forms/Menus.h"
#include "selection/KivSelectionList.h"
#include "shell/ShellRoutines.h"
#include "shell/TempDir.h"

using namespace zelnor;
using host::TListItem;
using namespace testing_support;

namespace {

struct Report {
  TKivShellOperations operations;
  std::vector<String> files;
  String destination;
};

bool Exists(const String& path) {
  return GetFileAttributesW(host::ToWide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

void MakeShortcut(const String& file, const String& target) {
  host::ComPtr<IShellLinkW> link;
  ASSERT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&link)),
            S_OK);
  link->SetPath(host::ToWide(target).c_str());
  host::ComPtr<IPersistFile> persist;
  ASSERT_EQ(link.As(&persist), S_OK);
  ASSERT_EQ(persist->Save(host::ToWide(file).c_str(), TRUE), S_OK);
}

struct ShellListCommandsTest : ::testing::Test {
  TempDir dir;
  host::TForm form;
  std::unique_ptr<CountingList> list = std::make_unique<CountingList>();
  std::vector<Report> reports;

  void SetUp() override {
    dir.File("a.txt", "0123456789");
    dir.File("b.txt", "xy");
    dir.Folder("sub");
    dir.File("sub\\inner.txt");
    form.SetBounds(20, 20, 600, 400);
    list->SetParent(&form);
    list->SetBounds(0, 0, 580, 360);
    form.Show();
    list->OnOperation = [this](host::TObject*, TKivShellOperations operations, host::TStrings* files,
                               const String& destination) {
      Report report{operations, {}, destination};
      for (int i = 0; i < files->Count(); ++i) report.files.push_back(files->Strings(i));
      reports.push_back(report);
    };
  }
  void TearDown() override {
    list->SetParent(nullptr);
    if (OpenClipboard(nullptr)) {
      EmptyClipboard();
      CloseClipboard();
    }
  }
  // The list takes the keyboard: keys sent as input reach it.
  void Focus() {
    SetForegroundWindow(form.Handle());
    SetFocus(list->Handle());
    PumpFor(50);
  }
  void Select(std::initializer_list<const char*> names) {
    list->ClearSelection();
    for (const char* name : names) {
      TListItem* item = ItemNamed(*list, name);
      ASSERT_NE(item, nullptr) << name;
      item->SetSelected(true);
      item->SetFocused(true);
    }
  }
  String Full(const String& name) const { return dir.Path() + "\\" + name; }
  // The centre of an item's label on the screen.
  POINT LabelOf(TListItem* item) const {
    const RECT label = item->DisplayRect(host::drLabel);
    return list->ClientToScreen(POINT{label.left + 6, (label.top + label.bottom) / 2});
  }
};

}  // namespace

TEST_F(ShellListCommandsTest, EnterAndDoubleClickOpenFoldersAndShortcutsAndTheParentItemGoesUp) {
  TempDir elsewhere;
  elsewhere.File("far.txt");
  MakeShortcut(Full("tofar.lnk"), elsewhere.Path());
  TKivShellLink link;
  Recorder peer;
  peer.setShellLink(&link);
  list->SetShellLink(&link);
  list->SetShowParentFolder(true);
  list->SetPath(dir.Path());
  Focus();

  // Enter on the " .. " item goes up and tells the link.
  Select({".."});
  peer.paths.clear();
  PressKeys({VK_RETURN});
  ASSERT_NE(ItemNamed(*list, host::ExtractFileName(dir.Path())), nullptr);
  ASSERT_EQ(peer.paths.size(), 1u);
  EXPECT_TRUE(host::SameText(host::ExcludeTrailingBackslash(peer.paths[0]),
                             host::ExtractFileDir(dir.Path())));

  // Enter on a folder goes into it.
  list->SetPath(dir.Path());
  Focus();
  Select({"sub"});
  PressKeys({VK_RETURN});
  EXPECT_EQ(NameSet(*list), (std::set<String>{"..", "inner.txt"}));
  EXPECT_TRUE(host::SameText(list->GetPath(), Full("sub\\")));

  // Enter on a shortcut to a folder goes into its target.
  list->SetPath(dir.Path());
  Focus();
  Select({"tofar.lnk"});
  PressKeys({VK_RETURN});
  EXPECT_EQ(NameSet(*list), (std::set<String>{"..", "far.txt"}));
  EXPECT_TRUE(host::SameText(list->GetPath(), elsewhere.Path() + "\\"));

  // A double click on a folder opens it too.
  list->SetPath(dir.Path());
  Focus();
  ClickAt(LabelOf(ItemNamed(*list, "sub")), false, 2);
  EXPECT_TRUE(PumpMessagesUntil([&] { return ItemNamed(*list, "inner.txt") != nullptr; }, 5000));

  peer.setShellLink(nullptr);
  list->SetShellLink(nullptr);

  // On a form, a list with an OnDblClick handler leaves the double click to the application.
  list->SetParent(nullptr);
  auto* owned = new CountingList(&form);  // the form frees it
  owned->SetParent(&form);
  owned->SetBounds(0, 0, 580, 360);
  owned->SetPath(dir.Path());
  int doubleClicks = 0;
  owned->OnDblClick = [&](host::TObject*) { ++doubleClicks; };
  const RECT label = ItemNamed(*owned, "sub")->DisplayRect(host::drLabel);
  ClickAt(owned->ClientToScreen(POINT{label.left + 6, (label.top + label.bottom) / 2}), false, 2);
  EXPECT_TRUE(PumpMessagesUntil([&] { return doubleClicks > 0; }, 5000));
  PumpFor(200);
  EXPECT_NE(ItemNamed(*owned, "a.txt"), nullptr);
}

TEST_F(ShellListCommandsTest, BackspaceGoesUpUnlessTheLinkHidesTheParentItemAndIsTakenEitherWay) {
  list->SetPath(Full("sub"));
  Focus();
  PressKeys({VK_BACK});
  EXPECT_TRUE(host::SameText(list->GetPath(), dir.Path() + "\\"));

  TKivShellLink link;
  link.SetShowParentFolderItem(false);
  list->SetShellLink(&link);
  list->SetPath(Full("sub"));
  Focus();
  PressKeys({VK_BACK});
  EXPECT_TRUE(host::SameText(list->GetPath(), Full("sub\\")));
  wchar_t key = 8;
  list->KeyPress(key);
  EXPECT_EQ(key, 0) << "the list view would look for an item by the character";
  EXPECT_TRUE(host::SameText(list->GetPath(), Full("sub\\")));
  list->SetShellLink(nullptr);
}

TEST_F(ShellListCommandsTest, AltEnterOpensThePropertiesOfTheSelection) {
  list->SetPath(dir.Path());
  Focus();
  Select({"a.txt"});
  ModalWatchdog close(IDCANCEL);
  PressKeys({VK_MENU, VK_RETURN});
  EXPECT_TRUE(PumpMessagesUntil([&] { return close.Answered() > 0; }, 8000));
  EXPECT_NE(ItemNamed(*list, "a.txt"), nullptr);
}

TEST_F(ShellListCommandsTest, ReadOnlyKeepsDeleteCutAndPasteFromTheKeysButCopyStillCopies) {
  list->SetPath(dir.Path());
  list->SetReadOnly(true);
  Focus();
  Select({"a.txt"});
  {
    ModalWatchdog yes(IDYES);
    PressKeys({VK_DELETE});
    PumpFor(300);
    EXPECT_EQ(yes.Answered(), 0);
  }
  EXPECT_TRUE(Exists(Full("a.txt")));
  PressKeys({VK_CONTROL, 'X'});
  EXPECT_FALSE(ItemNamed(*list, "a.txt")->Cut());
  list->smartRefreshes = 0;
  PressKeys({VK_CONTROL, 'V'});
  PumpFor(400);
  EXPECT_EQ(list->smartRefreshes, 0) << "no paste ran, so nothing to look at again";
  PressKeys({VK_CONTROL, 'C'});
  std::unique_ptr<host::TStringList> clipboard = GetFilenamesFromClipboard();
  ASSERT_NE(clipboard, nullptr);
  ASSERT_EQ(clipboard->Count(), 1);
  EXPECT_TRUE(host::SameText(clipboard->Strings(0), Full("a.txt")));
  EXPECT_TRUE(reports.empty());

  // Writable again: Delete goes through the shell's confirmation and is reported.
  list->SetReadOnly(false);
  Focus();
  Select({"a.txt", "b.txt"});
  {
    ModalWatchdog yes(IDYES);
    PressKeys({VK_DELETE});
    EXPECT_TRUE(PumpMessagesUntil([&] { return !reports.empty(); }, 8000));
  }
  EXPECT_FALSE(Exists(Full("a.txt")));
  EXPECT_FALSE(Exists(Full("b.txt")));
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0].operations, ShellOperations({sopDelete, sopRemove}));
  EXPECT_EQ(reports[0].files, (std::vector<String>{Full("a.txt"), Full("b.txt")}));
  EXPECT_EQ(NameSet(*list), (std::set<String>{"sub"}));

  // Ctrl+A selects every item but the parent folder's.
  list->SetShowParentFolder(true);
  Focus();
  PressKeys({VK_CONTROL, 'A'});
  EXPECT_FALSE(ItemNamed(*list, "..")->Selected());
  EXPECT_TRUE(ItemNamed(*list, "sub")->Selected());
}

TEST_F(ShellListCommandsTest, F5RefreshesTheListAloneOrWithItsLink) {
  list->SetPath(dir.Path());
  list->SetAutomaticRefresh(false);
  Focus();
  dir.File("new.txt");
  PressKeys({VK_F5});
  EXPECT_NE(ItemNamed(*list, "new.txt"), nullptr);

  TKivShellLink link;
  Recorder peer;
  peer.setShellLink(&link);
  list->SetShellLink(&link);
  dir.File("newer.txt");
  Focus();
  PressKeys({VK_F5});
  EXPECT_NE(ItemNamed(*list, "newer.txt"), nullptr);
  EXPECT_EQ(peer.refreshes, 1);
  peer.setShellLink(nullptr);
  list->SetShellLink(nullptr);
}

TEST_F(ShellListCommandsTest, CutItemsShowDimmedAndLeavingTogetherAreReportedByTheirFileNames) {
  // A shortcut shows without its extension; a hidden file shows dimmed for that reason alone.
  MakeShortcut(Full("go.lnk"), dir.Path());
  const String hidden = dir.File("hidden.txt");
  SetFileAttributesW(host::ToWide(hidden).c_str(), FILE_ATTRIBUTE_HIDDEN);
  list->SetShowOption(soShowHidden, true);
  list->SetPath(dir.Path());
  for (int i = 0; i < list->Items()->Count(); ++i)
    list->CompleteItemDetails(list->Items()->Item(i));
  ASSERT_TRUE(ItemNamed(*list, "hidden.txt")->Cut());
  Focus();
  Select({"a.txt", "go.lnk"});
  PressKeys({VK_CONTROL, 'X'});
  EXPECT_TRUE(ItemNamed(*list, "a.txt")->Cut());
  EXPECT_TRUE(ItemNamed(*list, "go.lnk")->Cut());
  EXPECT_FALSE(ItemNamed(*list, "b.txt")->Cut());

  // A hidden file deleted from outside leaves without a report.
  DeleteFileW(host::ToWide(hidden).c_str());
  Announce(SHCNE_DELETE, hidden);
  EXPECT_TRUE(PumpMessagesUntil([&] { return ItemNamed(*list, "hidden.txt") == nullptr; }));
  PumpFor(400);
  EXPECT_TRUE(reports.empty());

  // The cut objects pasted elsewhere: one report after the refresh, with the files' own names.
  TempDir target;
  list->smartRefreshes = 0;
  for (const char* name : {"a.txt", "go.lnk"}) {
    ASSERT_TRUE(MoveFileW(host::ToWide(Full(name)).c_str(),
                          host::ToWide(target.Path() + "\\" + name).c_str()));
    Announce(SHCNE_DELETE, Full(name));
  }
  EXPECT_TRUE(PumpMessagesUntil([&] { return !reports.empty(); }));
  PumpFor(400);
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0].operations, ShellOperations({sopCut, sopRemove}));
  EXPECT_EQ(std::set<String>(reports[0].files.begin(), reports[0].files.end()),
            (std::set<String>{Full("a.txt"), Full("go.lnk")}));
  EXPECT_EQ(NameSet(*list), (std::set<String>{"b.txt", "sub"}));

  // A copy takes the place of the cut: the marks go.
  Select({"b.txt"});
  PressKeys({VK_CONTROL, 'X'});
  EXPECT_TRUE(ItemNamed(*list, "b.txt")->Cut());
  Select({"sub"});
  PressKeys({VK_CONTROL, 'C'});
  EXPECT_FALSE(ItemNamed(*list, "b.txt")->Cut());
}

TEST_F(ShellListCommandsTest, F2RenamesInPlaceAndReportsOnlyARealChange) {
  list->SetPath(dir.Path());
  Focus();
  Select({"a.txt"});
  auto rename = [&](const wchar_t* text) {
    PressKeys({VK_F2});
    ASSERT_TRUE(list->IsEditing());
    HWND edit = HWND(SendMessageW(list->Handle(), LVM_GETEDITCONTROL, 0, 0));
    SetWindowTextW(edit, text);
    PressKeys({VK_RETURN});
    ASSERT_FALSE(list->IsEditing());
  };
  rename(L"c.txt");
  EXPECT_FALSE(Exists(Full("a.txt")));
  EXPECT_TRUE(Exists(Full("c.txt")));
  TListItem* c = ItemNamed(*list, "c.txt");
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->Caption(), "c.txt");
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0].operations, ShellOperations({sopRename}));
  EXPECT_EQ(reports[0].files, (std::vector<String>{Full("a.txt")}));
  EXPECT_EQ(reports[0].destination, Full("c.txt"));
  // The renamed item is the same object to the refresh.
  list->SmartRefresh();
  EXPECT_EQ(ItemNamed(*list, "c.txt"), c);

  // The same name again, or one the shell refuses: nothing changed, nothing reported.
  Select({"c.txt"});
  rename(L"c.txt");
  Select({"c.txt"});
  rename(L"b.txt");  // taken
  EXPECT_TRUE(Exists(Full("c.txt")));
  EXPECT_EQ(ItemNamed(*list, "c.txt")->Caption(), "c.txt");
  EXPECT_EQ(reports.size(), 1u);

  // Read-only: F2 opens nothing.
  list->SetReadOnly(true);
  Focus();
  Select({"c.txt"});
  PressKeys({VK_F2});
  EXPECT_FALSE(list->IsEditing());
}

TEST_F(ShellListCommandsTest, ARefusedNameSaysWhyAndIsOfferedAgainForCorrection) {
  list->SetPath(dir.Path());
  list->SetShowOption(soShowErrorMessages, true);
  Focus();
  for (const wchar_t* refused : {L"bad:name.txt", L"bad\\name.txt", L"b.txt"}) {
    Select({"a.txt"});
    PressKeys({VK_F2});
    ASSERT_TRUE(list->IsEditing());
    HWND edit = HWND(SendMessageW(list->Handle(), LVM_GETEDITCONTROL, 0, 0));
    // The name is selected without its extension.
    DWORD from = 0, to = 0;
    SendMessageW(edit, EM_GETSEL, WPARAM(&from), LPARAM(&to));
    EXPECT_EQ(from, 0u);
    EXPECT_EQ(to, 1u);
    SetWindowTextW(edit, refused);
    {
      ModalWatchdog ok(IDOK);
      PressKeys({VK_RETURN});
      EXPECT_EQ(ok.Answered(), 1) << host::ToUtf8(refused);
    }
    EXPECT_EQ(ItemNamed(*list, "a.txt")->Caption(), "a.txt");
    // The label opens again with what was typed.
    ASSERT_TRUE(PumpMessagesUntil([&] { return list->IsEditing(); }, 3000));
    edit = HWND(SendMessageW(list->Handle(), LVM_GETEDITCONTROL, 0, 0));
    wchar_t text[64] = {};
    GetWindowTextW(edit, text, 64);
    EXPECT_STREQ(text, refused);
    PressKeys({VK_ESCAPE});
    ASSERT_TRUE(PumpMessagesUntil([&] { return !list->IsEditing(); }, 3000));
  }
  EXPECT_TRUE(Exists(Full("a.txt")));
  EXPECT_TRUE(reports.empty());
}

TEST_F(ShellListCommandsTest, AReportThatRemovesTheEditedItemEndsTheEditWithoutRenamingAnother) {
  list->SetPath(dir.Path());
  list->SetSortColumn(0);  // reversed: b.txt before a.txt
  Focus();
  TListItem* b = ItemNamed(*list, "b.txt");
  ASSERT_TRUE(b->EditCaption());
  HWND edit = HWND(SendMessageW(list->Handle(), LVM_GETEDITCONTROL, 0, 0));
  SetWindowTextW(edit, L"typed.txt");
  DeleteFileW(host::ToWide(Full("b.txt")).c_str());
  Announce(SHCNE_DELETE, Full("b.txt"));
  EXPECT_TRUE(PumpMessagesUntil([&] { return ItemNamed(*list, "b.txt") == nullptr; }));
  EXPECT_FALSE(list->IsEditing());
  PressKeys({VK_RETURN});
  EXPECT_TRUE(Exists(Full("a.txt")));
  EXPECT_FALSE(Exists(Full("typed.txt")));
  EXPECT_TRUE(reports.empty());
}

TEST_F(ShellListCommandsTest, CreateDirMakesTheFolderShowsItAndOpensItsCaption) {
  list->SetPath(dir.Path());
  EXPECT_TRUE(list->CreateDir("", true));
  EXPECT_TRUE(host::DirectoryExists(Full("New Folder")));
  TListItem* made = ItemNamed(*list, "New Folder");
  ASSERT_NE(made, nullptr);
  EXPECT_TRUE(made->Selected());
  EXPECT_TRUE(list->IsEditing());
  HWND edit = HWND(SendMessageW(list->Handle(), LVM_GETEDITCONTROL, 0, 0));
  SetWindowTextW(edit, L"Projects");
  SendMessageW(edit, WM_KEYDOWN, VK_RETURN, 0);
  EXPECT_TRUE(PumpMessagesUntil([&] { return !list->IsEditing(); }, 3000));
  EXPECT_TRUE(host::DirectoryExists(Full("Projects")));

  // Without editing; a name that exists already; a folder without a file-system path.
  EXPECT_TRUE(list->CreateDir("plain", false));
  EXPECT_TRUE(host::DirectoryExists(Full("plain")));
  EXPECT_FALSE(list->CreateDir("plain", false));
  list->SetSpecialFolder(SF_DRIVES);
  EXPECT_FALSE(list->CreateDir("nowhere", false));
}

TEST_F(ShellListCommandsTest, SelectedFilesFollowTheSelectionAndSelectWhatTheApplicationWrites) {
  list->SetShowParentFolder(true);
  list->SetPath(dir.Path());
  Select({"a.txt"});
  host::TStrings* selected = list->SelectedFiles();
  ASSERT_EQ(selected->Count(), 1);
  EXPECT_EQ(selected->Strings(0), "a.txt");
  list->SelectAll();
  EXPECT_EQ(std::set<String>({list->SelectedFiles()->Strings(0), list->SelectedFiles()->Strings(1),
                              list->SelectedFiles()->Strings(2)}),
            (std::set<String>{"a.txt", "b.txt", "sub"}));
  EXPECT_EQ(list->SelectedFiles()->Count(), 3);
  EXPECT_EQ(list->SelectedFilesSize(), 12);

  // Writing the list selects the items it names.
  selected = list->SelectedFiles();
  selected->BeginUpdate();
  selected->Clear();
  selected->Add("b.txt");
  selected->Add("sub");
  selected->EndUpdate();
  EXPECT_FALSE(ItemNamed(*list, "a.txt")->Selected());
  EXPECT_TRUE(ItemNamed(*list, "b.txt")->Selected());
  EXPECT_TRUE(ItemNamed(*list, "sub")->Selected());
  EXPECT_EQ(list->SelectedFilesSize(), 2);
  // A path of another folder selects nothing and leaves the list on its folder.
  TempDir other;
  const String stranger = other.File("stranger.txt");
  list->SelectedFiles()->Add(stranger);
  EXPECT_EQ(list->SelCount(), 2);
  EXPECT_TRUE(host::SameText(list->GetPath(), dir.Path() + "\\"));
  Select({"a.txt"});
  EXPECT_EQ(list->SelectedFilesSize(), 10);
  list->SelectedFiles()->Clear();
  EXPECT_EQ(list->SelCount(), 0);
}

TEST_F(ShellListCommandsTest, ContextMenusOnRightClickAndFromTheKeyboard) {
  list->SetPath(dir.Path());
  Focus();
  TListItem* sub = ItemNamed(*list, "sub");
  const POINT click = LabelOf(sub);
  std::vector<MenuEntry> entries;
  RECT menuRect{};
  auto readAndClose = [&] {
    HWND window = nullptr;
    entries = MenuEntries(OpenMenu(&window));
    if (window) GetWindowRect(window, &menuRect);
    EndMenu();
  };
  auto hasOpen = [&] {
    for (const auto& entry : entries)
      if (entry.text == L"&Open") return true;
    return false;
  };
  int mouseUps = 0;
  list->OnMouseUp = [&](host::TObject*, host::TMouseButton button, host::TShiftState, int, int) {
    if (button == host::mbRight) ++mouseUps;
  };

  // A right click on an item: the shell's menu of that item at the mouse.
  AfterDelay(300, readAndClose);
  ClickAt(click, true);
  EXPECT_TRUE(PumpMessagesUntil([&] { return !entries.empty(); }, 8000));
  PumpFor(100);
  EXPECT_TRUE(sub->Selected());
  EXPECT_TRUE(hasOpen());
  EXPECT_NEAR(menuRect.left, click.x, 2);
  EXPECT_NEAR(menuRect.top, click.y, 2);
  EXPECT_EQ(mouseUps, 1);

  // Shift+F10: the same menu at the bottom right of the selected item.
  entries.clear();
  const RECT bounds = sub->DisplayRect(host::drSelectBounds);
  const POINT corner = list->ClientToScreen(POINT{bounds.right, bounds.bottom});
  AfterDelay(300, readAndClose);
  PressKeys({VK_SHIFT, VK_F10});
  EXPECT_TRUE(PumpMessagesUntil([&] { return !entries.empty(); }, 8000));
  EXPECT_TRUE(hasOpen());
  EXPECT_NEAR(menuRect.left, corner.x, 2);
  EXPECT_NEAR(menuRect.top, corner.y, 2);
  // The key opens one menu, not a second one after the first.
  bool second = false;
  AfterDelay(300, [&] {
    if (OpenMenu()) {
      second = true;
      EndMenu();
    }
  });
  PumpFor(600);
  EXPECT_FALSE(second);

  // Beside the items: the background menu.
  host::TPopupMenu background;
  host::TMenuItem* entry = new host::TMenuItem(&background);
  entry->SetCaption("Arrange");
  background.Items()->Add(entry);
  list->SetBackgroundPopupMenu(&background);
  entries.clear();
  AfterDelay(300, readAndClose);
  ClickAt(list->ClientToScreen(POINT{400, 300}), true);
  EXPECT_TRUE(PumpMessagesUntil([&] { return !entries.empty(); }, 8000));
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].text, L"Arrange");
  list->SetBackgroundPopupMenu(nullptr);

  // Without the shell's menu the application's handler has the click.
  list->SetShellContextMenu(false);
  bool asked = false;
  list->OnContextPopup = [&](host::TObject*, POINT, bool& handled) {
    asked = true;
    handled = true;
  };
  ClickAt(click, true);
  EXPECT_TRUE(PumpMessagesUntil([&] { return asked; }, 5000));
  PendingTimerAction() = nullptr;
}

TEST_F(ShellListCommandsTest, CheckBoxClicksTickFilesIntoTheLinksSelectionAndClicksBesideDoNot) {
  // Without a link the boxes stay off.
  list->SetCheckboxes(true);
  EXPECT_FALSE(list->Checkboxes());

  TKivShellLink link;
  list->SetShellLink(&link);
  list->SetCheckboxes(true);
  ASSERT_TRUE(list->Checkboxes());
  list->SetPath(dir.Path());
  PumpFor(200);  // drawn, so the states are read
  TListItem* a = ItemNamed(*list, "a.txt");
  EXPECT_EQ(list->GetItemSelectionState(a->Index()), ssUnChecked);
  std::vector<std::pair<String, TKivSelectionState>> changes;
  list->OnCheckStateChanged = [&](host::TObject*, int index, const String& path,
                                  TKivSelectionState state) {
    EXPECT_EQ(index, a->Index());
    changes.emplace_back(path, state);
  };
  const RECT icon = a->DisplayRect(host::drIcon);
  const POINT box = list->ClientToScreen(POINT{icon.left - 8, (icon.top + icon.bottom) / 2});

  ClickAt(LabelOf(a));
  PumpFor(200);
  EXPECT_TRUE(changes.empty());
  EXPECT_EQ(list->GetItemSelectionState(a->Index()), ssUnChecked);

  Select({"b.txt"});
  ClickAt(box);
  EXPECT_TRUE(PumpMessagesUntil([&] { return !changes.empty(); }, 5000));
  ASSERT_EQ(changes.size(), 1u);
  EXPECT_TRUE(host::SameText(changes[0].first, Full("a.txt")));
  EXPECT_EQ(changes[0].second, ssChecked);
  EXPECT_EQ(list->GetItemSelectionState(a->Index()), ssChecked);
  EXPECT_EQ(link.SelectionList()->IsPathSelected(Full("a.txt")), ssChecked);
  EXPECT_FALSE(a->Selected()) << "a press on the box selects nothing";
  EXPECT_TRUE(ItemNamed(*list, "b.txt")->Selected());

  PumpFor(100);
  ClickAt(box);  // a double click on the box is a second click on it
  EXPECT_TRUE(PumpMessagesUntil([&] { return changes.size() > 1; }, 5000));
  EXPECT_EQ(changes[1].second, ssUnChecked);
  EXPECT_EQ(link.SelectionList()->IsPathSelected(Full("a.txt")), ssUnChecked);

  // A path checked elsewhere shows after the link's refresh.
  link.SelectionList()->AddPathToSelection(Full("b.txt"));
  link.SmartRefresh(nullptr);
  EXPECT_EQ(list->GetItemSelectionState(ItemNamed(*list, "b.txt")->Index()), ssChecked);

  list->SetCheckboxes(false);
  EXPECT_EQ(list->StateImages(), nullptr);
  list->SetShellLink(nullptr);
}

TEST_F(ShellListCommandsTest, ADeleteReportOfAFolderAboveTheShownOneShowsMyComputer) {
  TempDir outer;
  const String inner = outer.Folder("middle\\inner");
  TKivShellLink link;
  Recorder peer;
  peer.setShellLink(&link);
  list->SetShellLink(&link);
  // A folder someone holds open stays until the handle is closed; the watch would hold it.
  list->Notifier()->SetFileSystemWatch(fwOff);
  list->SetPath(inner);
  const String middle = outer.Path() + "\\middle";
  UniquePidl above = GetIdListFromPath(Desktop(), middle);
  ASSERT_TRUE(RemoveDirectoryW(host::ToWide(inner).c_str()));
  ASSERT_TRUE(RemoveDirectoryW(host::ToWide(middle).c_str()));
  peer.paths.clear();
  // What the notifier hands on for the folder above (the shell reports it to watches of that
  // folder).
  list->ChangeNotification(list->Notifier(), neFolderDelete, above.get(), nullptr);
  EXPECT_TRUE(PumpMessagesUntil([&] { return list->GetSpecialFolder() == SF_DRIVES; }, 5000));
  EXPECT_EQ(peer.paths.size(), 1u);
  peer.setShellLink(nullptr);
  list->SetShellLink(nullptr);
}
