// The shell combo on the real namespace: what it lists, how it shows a location reached in a
// linked control, the user's choice, typed paths, entries made from paths, drawing and the
// shell's menu.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <memory>
#include <string>
#include <vector>

#include "Modal.h"
#include "Pump.h"
#include "controls/ShellCombo.h"
#include "host/forms/Forms.h"
#include "shell/TempDir.h"

using namespace zelnor;
using testing_support::ModalWatchdog;
using testing_support::PumpMessagesUntil;
using testing_support::TempDir;

namespace {

UniquePidl ParsePath(const String& path) {
  PIDLIST_ABSOLUTE list = nullptr;
  if (FAILED(SHParseDisplayName(host::ToWide(path).c_str(), nullptr, &list, 0, nullptr)))
    return nullptr;
  return UniquePidl{list};
}

// The list of a folder's only subfolder, from an enumeration: the shell's parser stops at
// MAX_PATH, the enumeration does not.
UniquePidl OnlySubfolder(const String& parent) {
  UniquePidl parentList = ParsePath(parent);
  host::ComPtr<IShellFolder> folder;
  if (!parentList ||
      FAILED(Desktop()->BindToObject(parentList.get(), nullptr, IID_PPV_ARGS(&folder))))
    return nullptr;
  host::ComPtr<IEnumIDList> children;
  PITEMID_CHILD child = nullptr;
  if (folder->EnumObjects(nullptr, SHCONTF_FOLDERS, &children) != S_OK ||
      children->Next(1, &child, nullptr) != S_OK)
    return nullptr;
  UniquePidl owned{child};
  return UniquePidl{ConcatItemIdLists(parentList.get(), child)};
}

// Item `index` drawn into a white bitmap as the list (or the face) would draw it.
struct DrawnItem {
  static constexpr int kWidth = 240, kHeight = 20;
  std::vector<COLORREF> pixels;
  COLORREF At(int x, int y) const { return pixels[size_t(y * kWidth + x)]; }
  // The leftmost column with a pixel that is not `background`, or -1.
  int FirstColumnNot(COLORREF background, int from = 0) const {
    for (int x = from; x < kWidth; ++x)
      for (int y = 0; y < kHeight; ++y)
        if (At(x, y) != background) return x;
    return -1;
  }
};

DrawnItem Draw(TKivShellCombo& combo, int index, UINT state) {
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), DrawnItem::kWidth, -DrawnItem::kHeight, 1, 32, BI_RGB};
  void* bits = nullptr;
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(dc, bitmap);
  RECT all{0, 0, DrawnItem::kWidth, DrawnItem::kHeight};
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  DRAWITEMSTRUCT draw{};
  draw.CtlType = ODT_COMBOBOX;
  draw.itemID = UINT(index);
  draw.itemAction = ODA_DRAWENTIRE;
  draw.itemState = state;
  draw.hwndItem = combo.Handle();
  draw.hDC = dc;
  draw.rcItem = all;
  combo.Perform(host::CN_DRAWITEM, 0, LPARAM(&draw));
  GdiFlush();
  DrawnItem drawn;
  const auto* p = static_cast<const DWORD*>(bits);
  for (int i = 0; i < DrawnItem::kWidth * DrawnItem::kHeight; ++i)
    drawn.pixels.push_back(RGB((p[i] >> 16) & 0xFF, (p[i] >> 8) & 0xFF, p[i] & 0xFF));
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
  return drawn;
}

String WithoutSlash(String path) {
  while (path.size() > 3 && path.back() == '\\') path.pop_back();
  return path;
}

// A linked control that records where the link sends it.
class Recorder : public TKivShellControlBase {
 public:
  TKivShellLink* link = nullptr;
  std::vector<String> paths;
  std::vector<String>* log = nullptr;
  void setShellLink(TKivShellLink* l) override { AttachShellControl(this, link, l); }
  TKivShellLink* getShellLink() override { return link; }
  void PathChanged(PCItemIDList idList) override {
    paths.push_back(idList ? GetPathFromPidl(idList) : String("<nil>"));
    if (log) log->push_back("recorder");
  }
  void FileChanged(PCItemIDList, PCItemIDList) override {}
  void SelectAll() override {}
  void Refresh() override {}
  void SmartRefresh() override {}
  bool GoUp() override { return false; }
};

struct ShellComboTest : ::testing::Test {
  // One form for the suite: a shown top-level window takes Wine seconds to destroy.
  static inline std::unique_ptr<host::TForm> form;
  TempDir dir;
  TKivShellCombo* combo = nullptr;
  std::unique_ptr<TKivShellLink> link;
  Recorder recorder;

  static void SetUpTestSuite() {
    form = std::make_unique<host::TForm>();
    form->SetBounds(40, 40, 420, 320);
    form->Show();
  }
  static void TearDownTestSuite() { form.reset(); }

  void TearDown() override {
    delete combo;
    recorder.setShellLink(nullptr);
    link.reset();
  }
  // A combo on the form, linked to the recorder when `linked`.
  void Make(bool linked, bool noFill = false) {
    combo = new TKivShellCombo();
    combo->SetUseSystemFont(false);
    if (noFill) combo->SetShowOption(soNoFillOnStartup, true);
    if (linked) {
      link = std::make_unique<TKivShellLink>();
      link->SetEnabled(true);
      recorder.setShellLink(link.get());
      combo->SetShellLink(link.get());
    }
    combo->SetParent(form.get());
    combo->SetBounds(10, 10, 380, 24);
    combo->HandleNeeded();
  }
  int IndexOfName(const String& name) {
    for (int i = 0; i < combo->Items()->Count(); ++i)
      if (combo->Items()->Strings(i) == name) return i;
    return -1;
  }
  TKivComboItem* At(int index) { return combo->ItemData(index); }
  // The non-persistent entries in list order.
  std::vector<String> PathEntries() {
    std::vector<String> names;
    for (int i = 0; i < combo->Items()->Count(); ++i)
      if (!At(i)->persistent) names.push_back(At(i)->name);
    return names;
  }
  // The user picks entry `index` in the list.
  void Choose(int index) {
    combo->SetItemIndex(index);
    combo->Perform(host::CN_COMMAND, MAKEWPARAM(0, CBN_SELCHANGE), 0);
  }
  // Navigates a linked control to `path`: the link tells the combo.
  void LinkedControlGoesTo(const String& path) {
    UniquePidl list = ParsePath(path);
    ASSERT_TRUE(list) << path;
    link->PathChanged(&recorder, list.get());
  }
};

}  // namespace

TEST_F(ShellComboTest, ListsTheDesktopItsFoldersAndMyComputersDrivesButNoFiles) {
  const String desktop = GetPathFromSpecialFolder(SF_DESKTOPDIRECTORY);
  host::ForceDirectories(desktop + "\\Combo folder");
  const String file = desktop + "\\combo file.txt";
  CloseHandle(CreateFileW(host::ToWide(file).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                          nullptr));
  Make(false);
  EXPECT_EQ(combo->Version(), "TKivShellCombo V4.2");
  EXPECT_EQ(combo->Style(), host::csOwnerDrawVariable);
  ASSERT_GT(combo->Items()->Count(), 4);
  EXPECT_EQ(At(0)->indent, 0);
  EXPECT_TRUE(At(0)->idList && At(0)->idList->mkid.cb == 0);
  // My Computer (the desktop's first folder) is followed by its drives, drives first.
  EXPECT_EQ(At(1)->indent, 1);
  EXPECT_EQ(At(2)->name, "C:\\");
  EXPECT_TRUE(At(2)->drive);
  EXPECT_EQ(At(2)->indent, 2);
  // Then the others by letter (the tests have a drive of their own), Z: last.
  int drive = 3;
  while (drive + 1 < combo->Items()->Count() && At(drive + 1)->drive) ++drive;
  EXPECT_EQ(At(drive)->name, "Z:\\");
  bool sawFolder = false;
  int previousIndent = 0;
  for (int i = 0; i < combo->Items()->Count(); ++i) {
    TKivComboItem* entry = At(i);
    ASSERT_NE(entry, nullptr);
    EXPECT_TRUE(entry->persistent);
    EXPECT_GE(entry->iconIndex, 0) << entry->name;
    EXPECT_LE(entry->indent, previousIndent + 1);
    previousIndent = entry->indent;
    EXPECT_EQ(entry->name.find("combo file"), String::npos);
    if (entry->text == "Combo folder") {
      sawFolder = true;
      EXPECT_EQ(entry->indent, 1);
    }
  }
  EXPECT_TRUE(sawFolder);
  // Without a link the combo starts on My Computer.
  EXPECT_EQ(combo->ItemIndex(), 1);
  DeleteFileW(host::ToWide(file).c_str());
  RemoveDirectoryW(host::ToWide(desktop + "\\Combo folder").c_str());
}

TEST_F(ShellComboTest, TheListIndentsIconsAndTextsByDepthAndTheFaceDoesNot) {
  Make(false);
  combo->SetColor(host::clWhite);
  const COLORREF white = RGB(255, 255, 255);
  const int drive = IndexOfName("C:\\");
  ASSERT_EQ(At(drive)->indent, 2);
  // In the list: the icon 2 pixels in plus 10 per level, the text after it.
  const DrawnItem inList = Draw(*combo, drive, 0);
  const int icon = inList.FirstColumnNot(white);
  EXPECT_GE(icon, 2 + 20);
  EXPECT_LT(icon, 2 + 20 + 16);
  EXPECT_GE(inList.FirstColumnNot(white, 2 + 20 + 16), 20 + 16 + 6);
  const DrawnItem desktop = Draw(*combo, 0, 0);
  EXPECT_GE(desktop.FirstColumnNot(white), 2);
  EXPECT_LT(desktop.FirstColumnNot(white), 2 + 16);
  // A selected entry has its text on the highlight colour, the indent left in the control's.
  const DrawnItem selected = Draw(*combo, drive, ODS_SELECTED);
  EXPECT_EQ(selected.At(5, 10), white);
  const COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);
  bool highlighted = false;
  for (int x = 22 + 16 + 6; x < DrawnItem::kWidth; ++x) highlighted |= selected.At(x, 10) == highlight;
  EXPECT_TRUE(highlighted);

  // On the face: no indent; with the edit field the text is the field's.
  const DrawnItem face = Draw(*combo, drive, ODS_COMBOBOXEDIT);
  EXPECT_GE(face.FirstColumnNot(white), 2);
  EXPECT_LT(face.FirstColumnNot(white), 2 + 16);
  EXPECT_EQ(face.FirstColumnNot(white, 2 + 16), -1);
  combo->SetEditable(false);
  const DrawnItem plainFace = Draw(*combo, drive, ODS_COMBOBOXEDIT);
  const int text = plainFace.FirstColumnNot(white, 2 + 16);
  EXPECT_GE(text, 16 + 6);
  EXPECT_LT(text, 16 + 6 + 20);
}

TEST_F(ShellComboTest, ALinkedControlsFolderShowsAsTheChainBelowItsDrive) {
  Make(true);
  EXPECT_EQ(combo->ItemIndex(), -1);
  const String deep = dir.Folder("one\\two");
  LinkedControlGoesTo(deep);
  // The chain below C:\ is every folder of the path, one level deeper each, the last selected.
  const int drive = IndexOfName("C:\\");
  std::vector<String> expected;
  String rest = deep.substr(3);
  for (size_t slash; (slash = rest.find('\\')) != String::npos; rest = rest.substr(slash + 1))
    expected.push_back(rest.substr(0, slash));
  expected.push_back(rest);
  EXPECT_EQ(PathEntries(), expected);
  for (size_t i = 0; i < expected.size(); ++i) {
    TKivComboItem* entry = At(drive + 1 + int(i));
    EXPECT_EQ(entry->indent, 3 + int(i));
    EXPECT_EQ(entry->text, expected[i]);
    EXPECT_EQ(WithoutSlash(GetPathFromPidl(entry->idList.get())),
              WithoutSlash(deep.substr(0, deep.find(expected[i], 3) + expected[i].size())));
  }
  const int last = drive + int(expected.size());
  EXPECT_EQ(combo->ItemIndex(), last);
  EXPECT_EQ(combo->GetSelectedFolder(), deep);
  EXPECT_EQ(At(last)->iconIndex, combo->Images()->GetOpenedFolderIconNumber());
  EXPECT_EQ(combo->EditField()->Text(), "two");
  // The combo's answer goes nowhere while the link is broadcasting.
  EXPECT_TRUE(recorder.paths.empty());

  // Another drive's root: the chain goes, the drive is selected.
  LinkedControlGoesTo("Z:\\");
  EXPECT_TRUE(PathEntries().empty());
  EXPECT_EQ(combo->Items()->Strings(combo->ItemIndex()), "Z:\\");
  EXPECT_EQ(IndexOfName("C:\\"), drive);
}

TEST_F(ShellComboTest, ChoosingAnEntryDropsThePathBelowItAndNavigatesTheLinkBeforeOnChange) {
  Make(true);
  std::vector<String> log;
  recorder.log = &log;
  link->OnChange = [&](host::TObject*) { log.push_back("link"); };
  combo->OnChange = [&](host::TObject*) { log.push_back("combo"); };
  LinkedControlGoesTo(dir.Folder("one\\two"));
  log.clear();
  ASSERT_FALSE(PathEntries().empty());

  const int drive = IndexOfName("C:\\");
  const String one = dir.Path() + "\\one";
  Choose(IndexOfName("one"));
  EXPECT_EQ(recorder.paths.back(), one);
  EXPECT_EQ(PathEntries().back(), "one");
  EXPECT_EQ(log, (std::vector<String>{"recorder", "link", "combo"}));

  Choose(drive);
  EXPECT_TRUE(PathEntries().empty());
  EXPECT_EQ(recorder.paths.back(), "C:\\");
  EXPECT_EQ(combo->EditField()->Text(), "C:\\");
  recorder.log = nullptr;
}

TEST_F(ShellComboTest, VirtualFoldersShowAsTheChainOfTheirAncestors) {
  Make(true);
  // A virtual folder below Control Panel (Printers) is not listed; its ancestors are.
  UniquePidl printers{GetIdListFromSpecialFolder(SF_PRINTERS)};
  if (!printers || !GetPathFromPidl(printers.get()).empty())
    GTEST_SKIP() << "no virtual printers folder here";
  const int depth = GetItemIdListDepth(printers.get());
  link->PathChanged(&recorder, printers.get());
  const int selected = combo->ItemIndex();
  ASSERT_GE(selected, 0);
  TKivComboItem* entry = At(selected);
  EXPECT_FALSE(entry->persistent);
  EXPECT_EQ(ILIsEqual(entry->idList.get(), printers.get()), TRUE);
  UniquePidl parent{GetItemIdListStart(printers.get(), depth - 1)};
  ASSERT_GT(selected, 0);
  EXPECT_EQ(ILIsEqual(At(selected - 1)->idList.get(), parent.get()), TRUE);
  EXPECT_EQ(entry->indent, At(selected - 1)->indent + 1);

  // A listed virtual folder is selected as it is, and the chain goes.
  UniquePidl drives{GetIdListFromSpecialFolder(SF_DRIVES)};
  link->PathChanged(&recorder, drives.get());
  EXPECT_EQ(combo->ItemIndex(), 1);
  EXPECT_TRUE(PathEntries().empty());
  // The desktop is entry 0.
  link->PathChanged(&recorder, DesktopIdList());
  EXPECT_EQ(combo->ItemIndex(), 0);
}

TEST_F(ShellComboTest, EnterInTheEditFieldNavigatesTheLinkAndTellsOnKeyUp) {
  Make(true);
  std::vector<WORD> keys;
  combo->OnKeyUp = [&](host::TObject* sender, WORD& key, host::TShiftState) {
    EXPECT_EQ(sender, static_cast<host::TObject*>(combo));
    keys.push_back(key);
  };
  const String target = dir.Folder("typed");
  HWND edit = combo->EditField()->Handle();
  combo->EditField()->SetText(target);
  SendMessageW(edit, WM_KEYDOWN, VK_RETURN, 1);
  SendMessageW(edit, WM_CHAR, L'\r', 1);
  ASSERT_FALSE(recorder.paths.empty());
  EXPECT_EQ(recorder.paths.back(), target);
  EXPECT_EQ(combo->GetSelectedFolder(), target);
  EXPECT_EQ(keys, std::vector<WORD>{VK_RETURN});
  // Enter does not end up as a character in the field.
  EXPECT_EQ(combo->EditField()->Text(), "typed");
  // Other characters pass the combo's OnKeyPress, which may change them.
  std::vector<wchar_t> pressed;
  combo->OnKeyPress = [&](host::TObject*, wchar_t& key) {
    pressed.push_back(key);
    if (key == L'x') key = L'y';
  };
  SendMessageW(edit, WM_CHAR, L'x', 1);
  EXPECT_EQ(pressed, std::vector<wchar_t>{L'x'});
  const String typed = combo->EditField()->Text();
  EXPECT_EQ(typed.size(), 6u);
  EXPECT_NE(typed.find('y'), String::npos);
  EXPECT_EQ(typed.find('x'), String::npos);
}

TEST_F(ShellComboTest, ATypedPathThatDoesNotExistLeavesEverythingWhereItWas) {
  Make(true);
  const String here = dir.Folder("here");
  LinkedControlGoesTo(here);
  const int selected = combo->ItemIndex();
  const size_t told = recorder.paths.size();
  {
    ModalWatchdog watchdog(IDOK);
    combo->SetSelectedFolder(dir.Path() + "\\missing\\folder");
    PumpMessagesUntil([] { return false; }, 300);
    EXPECT_EQ(watchdog.Answered(), 0);
  }
  EXPECT_EQ(combo->ItemIndex(), selected);
  EXPECT_EQ(recorder.paths.size(), told);

  // With ShowErrorMessages the reason is shown.
  combo->SetShowOption(soShowErrorMessages, true);
  EXPECT_TRUE(combo->Navigator()->ShowErrorMessages());
  const int count = combo->Items()->Count();
  {
    ModalWatchdog watchdog(IDOK);
    combo->SetSelectedFolder(dir.Path() + "\\missing\\folder");
    EXPECT_EQ(watchdog.Answered(), 1);
  }
  EXPECT_EQ(recorder.paths.size(), told);
  EXPECT_EQ(combo->Items()->Count(), count);
}

TEST_F(ShellComboTest, AFailedEnterOrEscapeShowsTheCurrentLocationAgain) {
  Make(true);
  LinkedControlGoesTo(dir.Folder("here"));
  const String shown = combo->EditField()->Text();
  ASSERT_FALSE(shown.empty());
  HWND edit = combo->EditField()->Handle();
  combo->EditField()->SetText("C:\\does\\not\\exist");
  SendMessageW(edit, WM_KEYDOWN, VK_RETURN, 1);
  EXPECT_EQ(combo->EditField()->Text(), shown);
  combo->EditField()->SetText("half typed");
  SendMessageW(edit, WM_KEYDOWN, VK_ESCAPE, 1);
  EXPECT_EQ(combo->EditField()->Text(), shown);
}

TEST_F(ShellComboTest, RefreshKeepsTheLocationWithoutNavigatingTheLink) {
  Make(true);
  const String here = dir.Folder("kept");
  LinkedControlGoesTo(here);
  const size_t told = recorder.paths.size();
  combo->Refresh();
  EXPECT_EQ(combo->GetSelectedFolder(), here);
  EXPECT_EQ(recorder.paths.size(), told);
  EXPECT_TRUE(link->Enabled());
}

TEST_F(ShellComboTest, EntriesSurviveARecreatedWindow) {
  Make(true);
  const String here = dir.Folder("stays");
  LinkedControlGoesTo(here);
  const int count = combo->Items()->Count();
  const int selected = combo->ItemIndex();
  combo->SetStyle(host::csOwnerDrawFixed);
  combo->SetStyle(host::csOwnerDrawVariable);
  EXPECT_EQ(combo->Items()->Count(), count);
  EXPECT_EQ(combo->ItemIndex(), selected);
  EXPECT_EQ(combo->GetSelectedFolder(), here);
  // Dropping the list down and closing it again navigates nothing.
  const size_t told = recorder.paths.size();
  combo->SetDroppedDown(true);
  PumpMessagesUntil([] { return false; }, 300);
  EXPECT_TRUE(combo->DroppedDown());
  combo->SetDroppedDown(false);
  PumpMessagesUntil([] { return false; }, 100);
  EXPECT_EQ(recorder.paths.size(), told);
  EXPECT_EQ(combo->ItemIndex(), selected);
}

TEST_F(ShellComboTest, InsertItemKeepsNameTextAndPlace) {
  Make(false);
  const int count = combo->Items()->Count();
  EXPECT_EQ(combo->InsertItem(0, "", "", 3, 0, UniquePidl{CopyItemIdList(DesktopIdList())}, true),
            -1);
  EXPECT_EQ(combo->Items()->Count(), count);
  EXPECT_EQ(combo->InsertItem(1000, "", "Only text", 3, 1, nullptr, false), count);
  EXPECT_EQ(combo->Items()->Strings(count), "Only text");
  EXPECT_EQ(combo->AddShellItem("D:", "Drive", 3, 2, nullptr, true), count + 1);
  EXPECT_TRUE(At(count + 1)->drive);
  EXPECT_FALSE(At(count)->drive);
  // Deleting the non-persistent entries after the first keeps the persistent ones.
  combo->DeleteNonPersistentFolders(0);
  EXPECT_EQ(combo->Items()->Count(), count + 1);
  combo->Delete(count);
  combo->Delete(-1);
  combo->Delete(count + 10);
  EXPECT_EQ(combo->Items()->Count(), count);
}

TEST_F(ShellComboTest, EntriesMadeFromPathsNavigateWhenChosen) {
  Make(true);
  const String folder = dir.Folder("added");
  combo->AddFolder(folder, 1, true);
  combo->AddFolder(folder, 1, true);
  const int added = IndexOfName(folder);
  ASSERT_GE(added, 0);
  EXPECT_EQ(combo->Items()->Count(), added + 1);
  EXPECT_EQ(At(added)->text, "added");
  EXPECT_FALSE(At(added)->idList);
  Choose(added);
  ASSERT_FALSE(recorder.paths.empty());
  EXPECT_EQ(recorder.paths.back(), folder);
  // A path that cannot be opened sends nothing.
  const size_t told = recorder.paths.size();
  combo->AddFolder(dir.Path() + "\\gone", 1, true);
  Choose(combo->Items()->Count() - 1);
  EXPECT_EQ(recorder.paths.size(), told);
  // Entries without a list are skipped when a location is looked up.
  LinkedControlGoesTo("C:\\");
  EXPECT_EQ(combo->Items()->Strings(combo->ItemIndex()), "C:\\");

  // A plain string becomes an entry once, in place, when it is drawn.
  const int count = combo->Items()->Count();
  combo->Items()->Add(folder + "\\plain");
  combo->SetItemIndex(count);
  combo->Invalidate();
  PumpMessagesUntil([&] { return combo->ItemData(count) != nullptr; }, 3000);
  PumpMessagesUntil([] { return false; }, 200);
  EXPECT_EQ(combo->Items()->Count(), count + 1);
  ASSERT_NE(combo->ItemData(count), nullptr);
  EXPECT_EQ(combo->ItemData(count)->name, folder + "\\plain");
}

TEST_F(ShellComboTest, ShowFullPathPutsThePathOrTheNameIntoTheEditField) {
  Make(true);
  combo->SetShowFullPath(true);
  const String folder = dir.Folder("full");
  LinkedControlGoesTo(folder);
  EXPECT_EQ(combo->EditField()->Text(), folder);
  EXPECT_EQ(combo->GetText2(), folder);
  // A virtual folder has no path: its name shows.
  Choose(1);
  EXPECT_EQ(combo->EditField()->Text(), At(1)->name);
  combo->SetEditable(false);
  EXPECT_FALSE(combo->EditField()->Visible());
  EXPECT_EQ(combo->GetText2(), At(1)->name);
}

TEST_F(ShellComboTest, NoFillOnStartupWaitsForTheFirstNavigation) {
  Make(true, true);
  EXPECT_EQ(combo->Items()->Count(), 0);
  LinkedControlGoesTo("C:\\");
  EXPECT_GT(combo->Items()->Count(), 3);
  EXPECT_EQ(combo->Items()->Strings(combo->ItemIndex()), "C:\\");
}

TEST_F(ShellComboTest, PathsLongerThanMaxPathAreNotCut) {
  Make(true);
  // Folders of 40 letters until the path passes MAX_PATH.
  String path = dir.Path(), parent;
  std::vector<String> names;
  for (char c = 'a'; path.size() <= MAX_PATH; ++c) {
    parent = path;
    names.emplace_back(40, c);
    path += "\\";
    path += names.back();
    ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + host::ToWide(path)).c_str(), nullptr));
  }
  UniquePidl list = OnlySubfolder(parent);
  ASSERT_TRUE(list);
  ASSERT_EQ(GetPathFromPidl(list.get()), path);
  link->PathChanged(&recorder, list.get());
  // Every folder shows whole, the one beyond MAX_PATH too, and that one is selected.
  const std::vector<String> entries = PathEntries();
  ASSERT_GE(entries.size(), names.size());
  EXPECT_EQ(std::vector<String>(entries.end() - ptrdiff_t(names.size()), entries.end()), names);
  EXPECT_EQ(combo->Items()->Strings(combo->ItemIndex()), names.back());
  RemoveDirectoryW((L"\\\\?\\" + host::ToWide(path)).c_str());
}

TEST_F(ShellComboTest, TheContextMenuIsTheShellsMenuOfTheSelectedEntry) {
  Make(true);
  const String folder = dir.Folder("menu");
  LinkedControlGoesTo(folder);
  std::vector<testing_support::MenuEntry> entries;
  testing_support::AfterDelay(400, [&] {
    if (HMENU menu = testing_support::OpenMenu()) entries = testing_support::MenuEntries(menu);
    EndMenu();
  });
  const POINT at = combo->ClientToScreen(POINT{40, 8});
  SendMessageW(combo->Handle(), WM_CONTEXTMENU, WPARAM(combo->Handle()), MAKELPARAM(at.x, at.y));
  EXPECT_FALSE(entries.empty());
  // The navigator was pointed at the entry as an item of its parent.
  EXPECT_EQ(WithoutSlash(combo->Navigator()->Folder()), dir.Path());
  EXPECT_EQ(combo->Navigator()->GetObjectName(), "menu");

  // Without ShowContextMenu nothing opens.
  combo->SetShowContextMenu(false);
  bool opened = false;
  testing_support::AfterDelay(300, [&] {
    opened = testing_support::OpenMenu() != nullptr;
    EndMenu();
  });
  SendMessageW(combo->Handle(), WM_CONTEXTMENU, WPARAM(combo->Handle()), MAKELPARAM(at.x, at.y));
  PumpMessagesUntil([] { return false; }, 500);
  EXPECT_FALSE(opened);
}
