// The navigator's commands on real files: UI objects of groups of objects, verbs without a menu,
// the context menu merged with an application menu, rename, browsing, the platform's dialogs.
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "Modal.h"
#include "TempDir.h"
#include "host/forms/Application.h"
#include "host/forms/Menus.h"
#include "shell/ShellRoutines.h"
#include "shell/Zelnor.h"

using namespace zelnor;
using testing_support::AfterDelay;
using testing_support::MenuEntries;
using testing_support::ModalWatchdog;
using testing_support::OpenMenu;
using testing_support::TempDir;
using testing_support::TypeIntoMenu;

namespace {

bool Exists(const String& path) {
  return GetFileAttributesW(host::ToWide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

void EmptyClipboard_() {
  if (OpenClipboard(nullptr)) {
    EmptyClipboard();
    CloseClipboard();
  }
}

// The files of the clipboard's CF_HDROP, sorted; empty when it has none.
std::set<String> ClipboardFiles() {
  std::unique_ptr<host::TStringList> files = GetFilenamesFromClipboard();
  std::set<String> result;
  if (files)
    for (int i = 0; i < files->Count(); ++i) result.insert(files->Strings(i));
  return result;
}

// A second temporary folder on the other drive (Z: is the Unix root under Wine).
struct OtherDriveDir {
  String path;
  OtherDriveDir() {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    // C:\users\x\Temp reached through Z: is the same folder: use /tmp instead.
    path = "Z:\\tmp\\zelnor-commands-" + host::IntToStr(int(GetCurrentProcessId()));
    CreateDirectoryW(host::ToWide(path).c_str(), nullptr);
  }
  String File(const String& name) const {
    const String full = path + "\\" + name;
    HANDLE h = CreateFileW(host::ToWide(full).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    CloseHandle(h);
    return full;
  }
  ~OtherDriveDir() {
    WIN32_FIND_DATAW data;
    HANDLE h = FindFirstFileW(host::ToWide(path + "\\*").c_str(), &data);
    if (h != INVALID_HANDLE_VALUE) {
      do DeleteFileW((host::ToWide(path + "\\") + data.cFileName).c_str());
      while (FindNextFileW(h, &data));
      FindClose(h);
    }
    RemoveDirectoryW(host::ToWide(path).c_str());
  }
};

struct ZelnorCommands : ::testing::Test {
  TempDir dir;
  TZelnor nav;
  void SetUp() override { nav.Initialize(); }
  void Select(const String& name) {
    nav.SetDirectory(dir.Path());
    nav.SetObjectName(name);
  }
};

}  // namespace

TEST(ZelnorSharedTypes, CopyModesOperationsAndTheirValues) {
  EXPECT_EQ(KivCopyMode2dwEffect[cmDefault], DWORD(DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK));
  EXPECT_EQ(KivCopyMode2dwEffect[cmCopy], DWORD(DROPEFFECT_COPY));
  EXPECT_EQ(KivCopyMode2dwEffect[cmMove], DWORD(DROPEFFECT_MOVE));
  EXPECT_EQ(KivCopyMode2dwEffect[cmLink], DWORD(DROPEFFECT_LINK));
  EXPECT_EQ(KivCopyMode2DragFlags, KivCopyMode2dwEffect);
  EXPECT_EQ(KivCopyModeInfo.FindValue(cmMove)->name, "cmMove");
  const TKivShellOperations ops = ShellOperations({sopCopy, sopDelete});
  EXPECT_EQ(ops, (1u << 0) | (1u << 6));
  EXPECT_TRUE(HasShellOperation(ops, sopDelete));
  EXPECT_FALSE(HasShellOperation(ops, sopRename));
  EXPECT_EQ(KivShellOperationInfo.FindValue(sopRename)->name, "sopRename");
}

// ---- UI objects of groups

TEST_F(ZelnorCommands, ObjectsOfAnotherFolderAreFoundThereAndTheBindingStays) {
  dir.Folder("A");
  dir.File("A\\a.txt", "a");
  dir.File("A\\c.txt", "c");
  dir.Folder("B");
  dir.File("B\\a.txt", "decoy");
  nav.SetDirectory(dir.Path() + "\\B");
  nav.SetObjectName("a.txt");
  EmptyClipboard_();
  // Full paths of folder A while the navigator shows B, which has an a.txt of its own.
  nav.MultiObjects()->Add(dir.Path() + "\\A\\a.txt");
  nav.MultiObjects()->Add(dir.Path() + "\\A\\c.txt");
  EXPECT_TRUE(nav.InvokeContextMenuCommand("copy"));
  EXPECT_EQ(ClipboardFiles(),
            (std::set<String>{dir.Path() + "\\A\\a.txt", dir.Path() + "\\A\\c.txt"}));
  EXPECT_EQ(nav.MultiObjects()->Count(), 0);
  EXPECT_EQ(nav.Folder(), dir.Path() + "\\B\\");
  EXPECT_EQ(nav.GetObjectName(), "a.txt");

  // Names relative to the bound folder, one of them in a subfolder of it.
  nav.SetDirectory(dir.Path());
  nav.MultiObjects()->Add("A\\a.txt");
  nav.MultiObjects()->Add("A\\c.txt");
  EXPECT_TRUE(nav.InvokeContextMenuCommand("copy"));
  EXPECT_EQ(ClipboardFiles(),
            (std::set<String>{dir.Path() + "\\A\\a.txt", dir.Path() + "\\A\\c.txt"}));
  EXPECT_EQ(nav.Folder(), dir.Path() + "\\");
}

TEST_F(ZelnorCommands, ObjectsOfTwoFoldersFailWithoutTouchingAny) {
  OtherDriveDir other;
  const String here = dir.File("here.txt", "x");
  const String there = other.File("there.txt");
  dir.Folder("sub");
  dir.File("sub\\x.txt", "x");
  nav.SetDirectory(dir.Path());
  nav.SetObjectName("here.txt");
  EmptyClipboard_();
  ModalWatchdog yes(IDYES);

  for (const char* verb : {"copy", "delete"}) {
    nav.MultiObjects()->Add(here);
    nav.MultiObjects()->Add(there);
    SetLastError(0);
    EXPECT_FALSE(nav.InvokeContextMenuCommand(verb)) << verb;
    EXPECT_EQ(GetLastError(), DWORD(E_INVALIDARG)) << verb;
    EXPECT_EQ(nav.MultiObjects()->Count(), 0) << verb;
  }
  // Two folders of one drive, one of them the bound folder.
  nav.MultiObjects()->Add("here.txt");
  nav.MultiObjects()->Add(dir.Path() + "\\sub\\x.txt");
  EXPECT_FALSE(nav.InvokeContextMenuCommand("delete"));
  EXPECT_TRUE(Exists(here));
  EXPECT_TRUE(Exists(there));
  EXPECT_TRUE(Exists(dir.Path() + "\\sub\\x.txt"));
  EXPECT_EQ(yes.Answered(), 0);
  EXPECT_TRUE(ClipboardFiles().empty());
  EXPECT_EQ(nav.GetObjectName(), "here.txt");
}

TEST_F(ZelnorCommands, MultiObjectsIsEmptyAfterEveryPathOfGetUIObject) {
  dir.File("a.txt", "a");
  Select("a.txt");
  host::ComPtr<IDataObject> data;

  nav.MultiObjects()->Add("a.txt");
  nav.GetUIObject(data);
  EXPECT_TRUE(data);
  EXPECT_EQ(nav.MultiObjects()->Count(), 0);

  // A name that is not there raises, and the item comes back.
  nav.MultiObjects()->Add("missing.txt");
  EXPECT_THROW(nav.GetUIObject(data), EZelnorError);
  EXPECT_FALSE(data);
  EXPECT_EQ(nav.MultiObjects()->Count(), 0);
  EXPECT_EQ(nav.GetObjectName(), "a.txt");
  EXPECT_EQ(nav.Folder(), dir.Path() + "\\");

  // A missing name in another folder raises too; this binding stays.
  nav.MultiObjects()->Add("C:\\no-such-folder-here\\x.txt");
  EXPECT_THROW(nav.GetUIObject(data), EZelnorError);
  EXPECT_EQ(nav.MultiObjects()->Count(), 0);
  EXPECT_EQ(nav.Folder(), dir.Path() + "\\");

  // An interface the objects do not offer: nil and the HRESULT as last error.
  nav.MultiObjects()->Add("a.txt");
  host::ComPtr<IShellFolder> notOffered;
  nav.GetUIObject(notOffered);
  EXPECT_FALSE(notOffered);
  EXPECT_TRUE(FAILED(HRESULT(GetLastError())));
  EXPECT_EQ(nav.MultiObjects()->Count(), 0);

  // Without an item nothing is there to act on.
  nav.SetObjectName("");
  nav.GetUIObject(data);
  EXPECT_FALSE(data);
}

// ---- Verbs without a menu

TEST_F(ZelnorCommands, CopyPutsTheItemsPathOnTheClipboard) {
  const String file = dir.File("\xD1\x84\xD0\xB0\xD0\xB9\xD0\xBB.txt", "x");
  Select("\xD1\x84\xD0\xB0\xD0\xB9\xD0\xBB.txt");
  EmptyClipboard_();
  EXPECT_TRUE(nav.InvokeContextMenuCommand("copy"));
  EXPECT_EQ(ClipboardFiles(), (std::set<String>{file}));
  EXPECT_TRUE(IsClipboardFormatAvailable(CF_HDROP));
}

TEST_F(ZelnorCommands, VetoesAndMissingObjectsStopAVerbAndClearMultiObjects) {
  const String file = dir.File("a.txt", "x");
  Select("a.txt");
  std::vector<String> asked;
  nav.OnContextMenuSelect = [&](const String& verb, bool& execute) {
    asked.push_back(verb);
    execute = verb != "copy";
  };
  EmptyClipboard_();
  nav.MultiObjects()->Add("a.txt");
  EXPECT_FALSE(nav.InvokeContextMenuCommand("copy"));
  EXPECT_EQ(asked, (std::vector<String>{"copy"}));
  EXPECT_EQ(nav.MultiObjects()->Count(), 0);
  EXPECT_TRUE(ClipboardFiles().empty());
  nav.OnContextMenuSelect = nullptr;

  // No item and no names.
  nav.SetObjectName("");
  EXPECT_FALSE(nav.InvokeContextMenuCommand("copy"));

  // Delete of an object the shell does not let go: false, without asking the shell.
  ModalWatchdog yes(IDYES);
  TZelnor computer;
  computer.Initialize();
  computer.SetObjectName("C:\\");
  ASSERT_NE(computer.ItemIdList(), nullptr);
  ASSERT_EQ(computer.GetAttributes(SFGAO_CANDELETE) & SFGAO_CANDELETE, 0u);
  EXPECT_FALSE(computer.InvokeContextMenuCommand("delete"));
  EXPECT_EQ(yes.Answered(), 0);
  EXPECT_TRUE(Exists(file));
}

TEST_F(ZelnorCommands, DeleteAnswersWhetherTheObjectIsGone) {
  const String kept = dir.File("\xD1\x84\xD0\xB0\xD0\xB9\xD0\xBB.txt", "x");
  const String gone = dir.File("gone.txt", "x");
  dir.Folder("elsewhere");
  {
    // The user says no: the file stays and the answer is false (also when the name is a full
    // path and lies outside the code page).
    ModalWatchdog no(IDNO);
    Select("\xD1\x84\xD0\xB0\xD0\xB9\xD0\xBB.txt");
    EXPECT_FALSE(nav.InvokeContextMenuCommand("delete"));
    nav.SetDirectory(dir.Path() + "\\elsewhere");
    nav.MultiObjects()->Add(kept);
    EXPECT_FALSE(nav.InvokeContextMenuCommand("DELETE"));
    EXPECT_TRUE(Exists(kept));
  }
  ModalWatchdog yes(IDYES);
  Select("gone.txt");
  EXPECT_TRUE(nav.InvokeContextMenuCommand("delete"));
  EXPECT_FALSE(Exists(gone));
  EXPECT_TRUE(Exists(kept));
}

TEST_F(ZelnorCommands, EmptyVerbRunsTheDefaultVerb) {
  dir.Folder("folder");
  Select("folder");
  ModalWatchdog ok(IDOK);
  std::vector<String> asked;
  nav.OnContextMenuSelect = [&](const String& verb, bool&) { asked.push_back(verb); };
  const bool result = nav.InvokeContextMenuCommand("");
  EXPECT_EQ(asked, (std::vector<String>{""}));
  // Under Wine the folder's "open" finds no program to show it and says so in a box of its own
  // (the default item comes from the whole menu: Wine adds nothing for CMF_DEFAULTONLY).
  EXPECT_TRUE(result);
  EXPECT_EQ(ok.Answered(), 1);
}

TEST_F(ZelnorCommands, ADefaultVerbThatCannotRunSaysSoWhenErrorsAreShown) {
  dir.File("letter.zzqq", "x");
  Select("letter.zzqq");
  {
    // Nothing is associated with the type: the shell's own run fails too (Wine offers its
    // "open with" box even when asked for no boxes; elsewhere nothing is shown).
    ModalWatchdog cancel(IDCANCEL);
    EXPECT_FALSE(nav.InvokeContextMenuCommand("default"));
  }
  nav.SetShowErrorMessages(true);
  ModalWatchdog ok(IDOK);
  EXPECT_FALSE(nav.InvokeContextMenuCommand("default"));
  EXPECT_GE(ok.Answered(), 1);
}

TEST_F(ZelnorCommands, RenameVerbGoesToOnRename) {
  dir.File("a.txt", "x");
  Select("a.txt");
  host::TObject* renamed = nullptr;
  nav.OnRename = [&](host::TObject* sender) { renamed = sender; };
  EXPECT_TRUE(nav.InvokeContextMenuCommand("Rename"));
  EXPECT_EQ(renamed, &nav);
}

// ---- Rename and browse

TEST_F(ZelnorCommands, RenameObjectAnswersTheResultingName) {
  const String a = dir.File("a.txt", "x");
  dir.File("taken.txt", "y");
  Select("a.txt");
  EXPECT_TRUE(nav.CanRename());
  String name = "b.txt";
  nav.RenameObject(name);
  EXPECT_EQ(name, "b.txt");
  EXPECT_EQ(nav.GetObjectName(), "b.txt");
  EXPECT_TRUE(Exists(dir.Path() + "\\b.txt"));
  EXPECT_FALSE(Exists(a));

  // Refused: the old display name comes back and nothing moves.
  ModalWatchdog ok(IDOK);
  name = "taken.txt";
  nav.SetShowErrorMessages(false);
  nav.RenameObject(name);
  EXPECT_EQ(name, "b.txt");
  EXPECT_TRUE(Exists(dir.Path() + "\\b.txt"));

  nav.SetObjectName("");
  EXPECT_FALSE(nav.CanRename());
}

TEST_F(ZelnorCommands, BrowseObjectEntersFoldersOnly) {
  dir.Folder("inner");
  dir.File("a.txt", "x");
  Select("a.txt");
  EXPECT_FALSE(nav.BrowseObject());
  EXPECT_EQ(nav.Folder(), dir.Path() + "\\");
  nav.SetObjectName("inner");
  EXPECT_TRUE(nav.BrowseObject());
  EXPECT_EQ(nav.Folder(), dir.Path() + "\\inner\\");
  EXPECT_EQ(nav.ItemIdList(), nullptr);
}

TEST_F(ZelnorCommands, PlatformDialogsBindOnlyWhenAFolderIsChosen) {
  nav.SetDirectory(dir.Path());
  {
    ModalWatchdog cancel(IDCANCEL);
    EXPECT_FALSE(nav.BrowseForFolder("Pick one"));
    EXPECT_EQ(cancel.Answered(), 1);
    EXPECT_EQ(nav.Folder(), dir.Path() + "\\");
  }
  {
    ModalWatchdog ok(IDOK);
    EXPECT_TRUE(nav.BrowseForFolder("Pick one"));
    EXPECT_EQ(ok.Answered(), 1);
    const auto texts = ok.Texts();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_NE(texts[0].find(L"Pick one"), std::wstring::npos);
  }
  ModalWatchdog cancel(IDCANCEL);
  // Under Wine the network dialogs answer at once that there is no network.
  EXPECT_FALSE(nav.ShowNetConnectionDialog());
}

// ---- The context menu

struct ZelnorContextMenu : ZelnorCommands {
  host::TPopupMenu menu;
  host::TMenuItem* zap = nullptr;
  host::TMenuItem* sub = nullptr;
  host::TMenuItem* leaf = nullptr;
  int zapClicks = 0, subOpened = 0, popups = 0;
  host::TObject* zapSender = nullptr;

  void SetUp() override {
    ZelnorCommands::SetUp();
    zap = AddItem(menu.Items(), "&Zap");
    zap->SetHint("Zap|Zaps the object");
    zap->OnClick = [this](host::TObject* sender) {
      ++zapClicks;
      zapSender = sender;
    };
    sub = AddItem(menu.Items(), "&More");
    sub->OnClick = [this](host::TObject*) { ++subOpened; };
    leaf = AddItem(sub, "Leaf");
    menu.OnPopup = [this](host::TObject*) { ++popups; };
  }
  host::TMenuItem* AddItem(host::TMenuItem* parent, const char* caption) {
    auto* item = new host::TMenuItem(&menu);
    item->SetCaption(caption);
    parent->Add(item);
    return item;
  }
  // Shows the menu, runs `during` once it is open, then closes it.
  String Show(std::function<void()> during) {
    AfterDelay(200, [during] {
      during();
      if (OpenMenu()) EndMenu();
    });
    return nav.ShowContextMenu(POINT{200, 200}, &menu);
  }
  // Shows the menu and chooses the entry with this mnemonic.
  String Choose(wchar_t key) {
    AfterDelay(200, [key] { TypeIntoMenu(key); });
    // Should the key go astray, the menu still closes.
    const UINT_PTR fallback = SetTimer(nullptr, 0, 5000, [](HWND, UINT, UINT_PTR id, DWORD) {
      KillTimer(nullptr, id);
      EndMenu();
    });
    String verb = nav.ShowContextMenu(POINT{200, 200}, &menu);
    KillTimer(nullptr, fallback);
    return verb;
  }
};

TEST_F(ZelnorContextMenu, MergesTheApplicationItemsBelowOrAboveTheShells) {
  dir.Folder("folder");
  Select("folder");
  std::vector<testing_support::MenuEntry> entries;
  EXPECT_EQ(Show([&] { entries = MenuEntries(OpenMenu()); }), "");
  EXPECT_EQ(popups, 1);
  ASSERT_GE(entries.size(), 4u);
  EXPECT_EQ(entries[0].text, L"&Zap");
  EXPECT_EQ(entries[0].id >= 0x8000, true);
  EXPECT_NE(entries[1].submenu, nullptr);
  bool open = false;
  for (const auto& e : entries)
    if (e.text == L"&Open") {
      open = true;
      EXPECT_GE(e.id, 1u);
      EXPECT_LE(e.id, 0x7FFFu);
    }
  EXPECT_TRUE(open);
  EXPECT_EQ(nav.MultiObjects()->Count(), 0);

  nav.SetShowContextMenuOnTop(true);
  entries.clear();
  Show([&] { entries = MenuEntries(OpenMenu()); });
  ASSERT_GE(entries.size(), 4u);
  EXPECT_LT(entries[0].id, 0x8000u);
  EXPECT_EQ(entries[entries.size() - 2].text, L"&Zap");
}

TEST_F(ZelnorContextMenu, ApplicationItemRunsItsOwnHandlerAndNoVerb) {
  const String file = dir.File("a.txt", "x");
  Select("a.txt");
  EXPECT_EQ(Choose(L'z'), "");
  EXPECT_EQ(zapClicks, 1);
  EXPECT_EQ(zapSender, zap);
  EXPECT_TRUE(Exists(file));
}

TEST_F(ZelnorContextMenu, ChosenVerbIsCarriedOutAndAnswered) {
  const String file = dir.File("a.txt", "x");
  Select("a.txt");
  EmptyClipboard_();
  EXPECT_EQ(Choose(L'c'), "copy");
  EXPECT_EQ(ClipboardFiles(), (std::set<String>{file}));

  // A vetoed verb is neither carried out nor answered.
  EmptyClipboard_();
  std::vector<String> asked;
  nav.OnContextMenuSelect = [&](const String& verb, bool& execute) {
    asked.push_back(verb);
    execute = false;
  };
  EXPECT_EQ(Choose(L'c'), "");
  EXPECT_EQ(asked, (std::vector<String>{"copy"}));
  EXPECT_TRUE(ClipboardFiles().empty());
}

TEST_F(ZelnorContextMenu, RestrictedVerbsLeaveDeleteUndone) {
  const String file = dir.File("a.txt", "x");
  Select("a.txt");
  nav.SetRestrictedVerbs(true);
  ModalWatchdog yes(IDYES);
  EXPECT_EQ(Choose(L'd'), "");
  EXPECT_TRUE(Exists(file));
  EXPECT_EQ(yes.Answered(), 0);
}

TEST_F(ZelnorContextMenu, DeleteIsAnsweredOnlyWhenTheObjectWentAway) {
  const String file = dir.File("a.txt", "x");
  Select("a.txt");
  {
    ModalWatchdog no(IDNO);
    EXPECT_EQ(Choose(L'd'), "");
    EXPECT_TRUE(Exists(file));
  }
  ModalWatchdog yes(IDYES);
  EXPECT_EQ(Choose(L'd'), "delete");
  EXPECT_FALSE(Exists(file));
}

TEST_F(ZelnorContextMenu, PopupMessagesReachTheirOwners) {
  dir.File("a.txt", "x");
  Select("a.txt");
  String zapHint, shellHint = "unset", closedHint = "unset";
  int subBefore = -1;
  Show([&] {
    HMENU root = OpenMenu();
    const auto entries = MenuEntries(root);
    // The application's submenu opens through the host; its item's hint is the long part.
    subBefore = subOpened;
    host::TMessage init{WM_INITMENUPOPUP, WPARAM(entries[1].submenu), 1, 0};
    nav.HandlePopupMessages(init);
    host::TMessage select{WM_MENUSELECT, MAKEWPARAM(entries[0].id, MF_HILITE), LPARAM(root), 0};
    nav.HandlePopupMessages(select);
    zapHint = host::Application().Hint();
    // A shell item: its help text (none under Wine).
    for (const auto& e : entries)
      if (e.id >= 1 && e.id <= 0x7FFF && !e.submenu) {
        host::TMessage shellSelect{WM_MENUSELECT, MAKEWPARAM(e.id, MF_HILITE), LPARAM(root), 0};
        nav.HandlePopupMessages(shellSelect);
        shellHint = host::Application().Hint();
        break;
      }
    host::TMessage closed{WM_MENUSELECT, MAKEWPARAM(0, 0xFFFF), 0, 0};
    nav.HandlePopupMessages(closed);
    closedHint = host::Application().Hint();
  });
  EXPECT_EQ(subOpened, subBefore + 1);
  EXPECT_EQ(zapHint, "Zaps the object");
  EXPECT_NE(shellHint, "unset");
  EXPECT_EQ(closedHint, "");

  // Once the menu is gone the procedure only answers by default.
  host::TMessage late{WM_MENUSELECT, MAKEWPARAM(1, MF_HILITE), 0, 0};
  host::Application().SetHint("kept");
  nav.HandlePopupMessages(late);
  EXPECT_EQ(host::Application().Hint(), "kept");
}

TEST_F(ZelnorContextMenu, NothingToActOnShowsNoMenu) {
  nav.SetDirectory(dir.Path());
  bool shown = false;
  AfterDelay(300, [&] {
    shown = OpenMenu() != nullptr;
    if (shown) EndMenu();
  });
  EXPECT_EQ(nav.ShowContextMenu(POINT{100, 100}, &menu), "");
  testing_support::PendingTimerAction() = nullptr;
  EXPECT_FALSE(shown);
  EXPECT_EQ(popups, 0);
}
