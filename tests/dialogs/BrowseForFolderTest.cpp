// The folder picker, driven inside its modal loop: selection, chosen path, OK button, position,
// caption, root and events.
#include "dialogs/BrowseForFolder.h"

#include "ModalDriver.h"
#include "host/forms/Forms.h"
#include "shell/ShellGlobals.h"
#include "shell/TempDir.h"

#include <commctrl.h>
#include <shellapi.h>
#include <gtest/gtest.h>

#include <stdexcept>

using namespace zelnor;
using testing_support::TempDir;
using testing_support::TimerSteps;

namespace {

// Selects `list` in the open dialog, as a click in its tree would.
void Select(HWND dialog, PCItemIDList list) {
  SendMessageW(dialog, BFFM_SETSELECTIONW, FALSE, LPARAM(list));
}
void Select(HWND dialog, TKivShellFolder folder) {
  UniquePidl list{GetIdListFromSpecialFolder(folder)};
  Select(dialog, list.get());
}

// The shell's display name of a special folder.
host::String DisplayName(TKivShellFolder folder) {
  UniquePidl list{GetIdListFromSpecialFolder(folder)};
  SHFILEINFOW info{};
  SHGetFileInfoW(reinterpret_cast<LPCWSTR>(list.get()), 0, &info, sizeof info,
                 SHGFI_PIDL | SHGFI_DISPLAYNAME);
  return host::ToUtf8(info.szDisplayName);
}

bool OkEnabled(HWND dialog) { return IsWindowEnabled(GetDlgItem(dialog, IDOK)) != FALSE; }

// Presses `button` once the dialog of `browse` is open, after `act` has run on it.
class PressWhenOpen {
 public:
  PressWhenOpen(TKivBrowseForFolder& browse, UINT button,
                std::function<void(HWND)> act = nullptr)
      : steps_([&browse, button, act] {
          // The dialog shows itself once its initialisation (and the initial selection) is done.
          HWND dialog = browse.Handle();
          if (!dialog || !IsWindowVisible(dialog)) return false;
          if (act) act(dialog);
          PostMessageW(dialog, WM_COMMAND, button, 0);
          return true;
        }) {}

 private:
  TimerSteps steps_;
};

// The dialog's folder tree, which may sit inside a child window.
HWND FolderTree(HWND dialog) {
  HWND tree = FindWindowExW(dialog, nullptr, WC_TREEVIEWW, nullptr);
  for (HWND child = GetWindow(dialog, GW_CHILD); !tree && child;
       child = GetWindow(child, GW_HWNDNEXT))
    tree = FindWindowExW(child, nullptr, WC_TREEVIEWW, nullptr);
  return tree;
}

// The text of the folder tree's item `which` (TVGN_ROOT, TVGN_CARET).
host::String TreeItemText(HWND dialog, WPARAM which) {
  HWND tree = FolderTree(dialog);
  if (!tree) return {};
  wchar_t text[MAX_PATH] = {};
  TVITEMW item{};
  item.mask = TVIF_TEXT;
  item.hItem = HTREEITEM(SendMessageW(tree, TVM_GETNEXTITEM, which, 0));
  item.pszText = text;
  item.cchTextMax = MAX_PATH;
  SendMessageW(tree, TVM_GETITEMW, 0, LPARAM(&item));
  return host::ToUtf8(text);
}

// Tests that open the dialog. Under Wine the first folder picker of a process can lose the
// selection made while it initialises to the tree's own first selection; one picker opened and
// cancelled beforehand keeps that out of the tests.
class BrowseForFolderDialog : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    TKivBrowseForFolder warmUp;
    PressWhenOpen cancel(warmUp, IDCANCEL);
    warmUp.Execute();
  }
};

}  // namespace

TEST(BrowseForFolder, StartsWithItsDeclaredSettingsAndTheEditBoxBringsTheNewStyle) {
  TKivBrowseForFolder browse;
  EXPECT_EQ(browse.Options(), 1u << bfNewDialogStyle);
  EXPECT_EQ(browse.RootedAt(), SF_DESKTOP);
  EXPECT_EQ(browse.DialogLeft(), -1);
  EXPECT_EQ(browse.DialogTop(), -1);
  EXPECT_EQ(browse.Path(), "");
  EXPECT_EQ(browse.Handle(), nullptr);

  browse.SetOptions(1u << bfEditBox);
  EXPECT_EQ(browse.Options(), (1u << bfNewDialogStyle) | (1u << bfEditBox));
  browse.SetOptions(1u << bfFileSystemOnly);
  EXPECT_EQ(browse.Options(), 1u << bfFileSystemOnly);

  TempDir dir;
  browse.SetRootedAt(SF_PERSONAL);
  browse.SetRootedAtFileSystemFolder(dir.Path());
  EXPECT_EQ(browse.RootedAt(), SF_FILESYSTEMFOLDER);
  EXPECT_EQ(browse.RootedAtFileSystemFolder(), dir.Path());
}

TEST(BrowseForFolder, AMissingRootFolderIsReportedAtDesignTimeAndStoredAnyway) {
  TempDir dir;
  TKivBrowseForFolder browse;
  browse.SetRootedAtFileSystemFolder(dir.Path() + "\\missing");  // no message at run time
  EXPECT_EQ(browse.RootedAtFileSystemFolder(), dir.Path() + "\\missing");

  browse.SetDesigning(true);
  {
    testing_support::AnswerNextDialog answer(IDOK);
    browse.SetRootedAtFileSystemFolder(dir.Path() + "\\gone");
    EXPECT_EQ(answer.Answered(), 1);
    EXPECT_NE(answer.Texts().find("File not exists!"), host::String::npos) << answer.Texts();
  }
  EXPECT_EQ(browse.RootedAtFileSystemFolder(), dir.Path() + "\\gone");
  EXPECT_EQ(browse.RootedAt(), SF_FILESYSTEMFOLDER);
}

TEST_F(BrowseForFolderDialog, ChoosingTheInitialPathReturnsItAndCancelLeavesPathEmpty) {
  TempDir dir;
  const host::String folder = dir.Folder("Fotos \xE6\x97\xA5\xE8\xA8\x98");
  TKivBrowseForFolder browse;
  browse.SetPath(folder);
  int shows = 0, closes = 0, changes = 0;
  bool openAtShow = true;
  host::String seenInChange;
  browse.OnShow = [&](host::TObject*) {
    ++shows;
    openAtShow = browse.Handle() != nullptr;
  };
  browse.OnClose = [&](host::TObject*) { ++closes; };
  browse.OnChange = [&](host::TObject*) {
    ++changes;
    seenInChange = browse.Path();
  };
  {
    PressWhenOpen ok(browse, IDOK);
    EXPECT_TRUE(browse.Execute());
  }
  EXPECT_TRUE(host::SameText(browse.Path(), folder)) << browse.Path();
  EXPECT_EQ(browse.SelectedSpecialFolder(), SF_FILESYSTEMFOLDER);
  EXPECT_EQ(shows, 1);
  EXPECT_EQ(closes, 1);
  EXPECT_FALSE(openAtShow);  // OnShow comes before the dialog
  EXPECT_GE(changes, 1);
  EXPECT_TRUE(host::SameText(seenInChange, folder)) << seenInChange;
  EXPECT_EQ(browse.Handle(), nullptr);

  {
    PressWhenOpen cancel(browse, IDCANCEL);
    EXPECT_FALSE(browse.Execute());
  }
  EXPECT_EQ(browse.Path(), "");
  EXPECT_EQ(shows, 2);
  EXPECT_EQ(closes, 2);
}

TEST_F(BrowseForFolderDialog, SelectionChangesUpdatePathAndSpecialFolderWhileOpen) {
  TempDir dir;
  TKivBrowseForFolder browse;
  browse.SetPath(dir.Path());
  const host::String appData = GetPathFromSpecialFolder(SF_APPDATA);
  ASSERT_FALSE(appData.empty());
  host::String seenPath, seenTemp;
  TKivShellFolder seenFolder = SF_FILESYSTEMFOLDER;
  int changes = 0;
  browse.OnChange = [&](host::TObject*) { ++changes; };
  {
    PressWhenOpen ok(browse, IDOK, [&](HWND dialog) {
      seenTemp = browse.Path();
      changes = 0;
      Select(dialog, SF_APPDATA);
      seenPath = browse.Path();
      seenFolder = browse.SelectedSpecialFolder();
    });
    EXPECT_TRUE(browse.Execute());
  }
  EXPECT_TRUE(host::SameText(seenTemp, dir.Path())) << seenTemp;
  EXPECT_TRUE(host::SameText(seenPath, appData)) << seenPath;
  EXPECT_EQ(seenFolder, SF_APPDATA);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(browse.SelectedSpecialFolder(), SF_APPDATA);
  EXPECT_TRUE(host::SameText(browse.Path(), appData));
}

TEST_F(BrowseForFolderDialog, ObjectsWithoutAPathAreReturnedByName) {
  TKivBrowseForFolder browse;
  {
    PressWhenOpen ok(browse, IDOK, [](HWND dialog) { Select(dialog, SF_DRIVES); });
    EXPECT_TRUE(browse.Execute());
  }
  EXPECT_EQ(browse.SelectedSpecialFolder(), SF_DRIVES);
  EXPECT_EQ(browse.Path(), DisplayName(SF_DRIVES));
  EXPECT_FALSE(browse.Path().empty());
}

TEST_F(BrowseForFolderDialog, FileSystemOnlyEnablesOkOnlyForObjectsWithAPath) {
  TempDir dir;
  TKivBrowseForFolder browse;
  browse.SetOptions(1u << bfFileSystemOnly);
  bool atStart = true, onComputer = true, onDrive = false, onFolder = false;
  {
    UniquePidl folder{GetIdListFromPath(nullptr, dir.Path())};
    bool acted = false;
    TimerSteps steps([&] {
      HWND dialog = browse.Handle();
      if (!dialog || !IsWindowVisible(dialog)) return false;
      if (!acted) {
        acted = true;
        atStart = OkEnabled(dialog);
        Select(dialog, SF_DRIVES);
        onComputer = OkEnabled(dialog) || browse.OKButtonEnabled();
        UniquePidl drive{GetIdListFromPath(nullptr, "C:\\")};
        Select(dialog, drive.get());
        onDrive = OkEnabled(dialog) && browse.OKButtonEnabled();
        Select(dialog, folder.get());
        onFolder = OkEnabled(dialog);
        return false;
      }
      // OK on a later tick, with the folder still selected: a busy picker may still be moving
      // to its start selection when it first shows.
      if (!host::SameText(TreeItemText(dialog, TVGN_CARET), host::ExtractFileName(dir.Path()))) {
        Select(dialog, folder.get());
        return false;
      }
      PostMessageW(dialog, WM_COMMAND, IDOK, 0);
      return true;
    });
    EXPECT_TRUE(browse.Execute());
  }
  EXPECT_FALSE(atStart);  // an empty Path selects My Computer
  EXPECT_FALSE(onComputer);
  EXPECT_TRUE(onDrive);
  EXPECT_TRUE(onFolder);
  EXPECT_TRUE(host::SameText(browse.Path(), dir.Path()));

  // Without the option OK stays enabled on My Computer.
  browse.SetOptions(0);
  bool plain = false;
  {
    PressWhenOpen cancel(browse, IDCANCEL, [&](HWND dialog) {
      Select(dialog, SF_DRIVES);
      plain = OkEnabled(dialog);
    });
    browse.Execute();
  }
  EXPECT_TRUE(plain);
}

TEST_F(BrowseForFolderDialog, PositionAndCaptionFollowTheSettingsWhileOpen) {
  TKivBrowseForFolder browse;
  browse.SetWindowTitle("Choose a place");
  browse.SetDialogLeft(50);
  browse.SetDialogTop(60);
  RECT placed{}, moved{}, centred{};
  int readLeft = 0, readTop = 0;
  wchar_t caption[64] = {}, changed[64] = {};
  {
    PressWhenOpen ok(browse, IDCANCEL, [&](HWND dialog) {
      GetWindowRect(dialog, &placed);
      GetWindowTextW(dialog, caption, 64);
      browse.SetDialogLeft(120);
      GetWindowRect(dialog, &moved);
      readLeft = browse.DialogLeft();
      readTop = browse.DialogTop();
      browse.SetWindowTitle("Another place");
      GetWindowTextW(dialog, changed, 64);
      browse.SetDialogLeft(0);  // centres, whatever the top
      GetWindowRect(dialog, &centred);
    });
    browse.Execute();
  }
  EXPECT_EQ(placed.left, 50);
  EXPECT_EQ(placed.top, 60);
  EXPECT_EQ(host::ToUtf8(caption), "Choose a place");
  EXPECT_EQ(moved.left, 120);
  EXPECT_EQ(moved.top, 60);
  EXPECT_EQ(readLeft, 120);
  EXPECT_EQ(readTop, 60);
  EXPECT_EQ(host::ToUtf8(changed), "Another place");
  EXPECT_EQ(centred.left, host::ScreenWidth() / 2 - (centred.right - centred.left) / 2);
  EXPECT_EQ(centred.top, host::ScreenHeight() / 2 - (centred.bottom - centred.top) / 2);
  // Closed, the stored values answer again.
  EXPECT_EQ(browse.DialogLeft(), 0);
  EXPECT_EQ(browse.DialogTop(), 60);
}

TEST_F(BrowseForFolderDialog, AnExistingFileSystemRootIsTheTreesRoot) {
  TempDir dir;
  dir.Folder("inner");
  TKivBrowseForFolder browse;
  browse.SetRootedAtFileSystemFolder(dir.Path());
  host::String rootText;
  {
    PressWhenOpen cancel(browse, IDCANCEL, [&](HWND dialog) { rootText = TreeItemText(dialog, TVGN_ROOT); });
    browse.Execute();
  }
  EXPECT_EQ(rootText, host::ExtractFileName(dir.Path()));

  // A root folder that does not exist falls back to RootedAt.
  browse.SetRootedAtFileSystemFolder(dir.Path() + "\\missing");
  browse.SetRootedAt(SF_DRIVES);
  {
    PressWhenOpen cancel(browse, IDCANCEL, [&](HWND dialog) { rootText = TreeItemText(dialog, TVGN_ROOT); });
    browse.Execute();
  }
  EXPECT_EQ(rootText, DisplayName(SF_DRIVES));
}

TEST_F(BrowseForFolderDialog, AnEventThatRaisesClosesTheDialogAndReachesTheCaller) {
  TempDir dir;
  TKivBrowseForFolder browse;
  browse.SetPath(dir.Path());
  int closes = 0;
  browse.OnChange = [](host::TObject*) { throw std::runtime_error("handler failed"); };
  browse.OnClose = [&](host::TObject*) { ++closes; };
  PressWhenOpen cancelIfStillOpen(browse, IDCANCEL);
  EXPECT_THROW(browse.Execute(), std::runtime_error);
  EXPECT_EQ(closes, 1);
  EXPECT_EQ(browse.Path(), "");
  EXPECT_EQ(browse.Handle(), nullptr);
}
