// The path edit: its parts, validity in both modes, enabling, and both dialogs answered inside
// their modal loops.
#include <gtest/gtest.h>

#include <commctrl.h>
#include <commdlg.h>
#include <shlobj.h>

#include <memory>
#include <vector>

#include "dialogs/ModalDriver.h"
#include "extras/PathEdit.h"
#include "host/forms/Forms.h"
#include "shell/TempDir.h"

using namespace zelnor;
using testing_support::FindThreadDialog;
using testing_support::TempDir;
using testing_support::TimerSteps;

namespace {

struct PathEditTest : ::testing::Test {
  TempDir dir;
  host::TForm form;
  TKivPathEdit* edit = new TKivPathEdit(&form);
  std::vector<host::TObject*> changes;  // the senders of OnChange

  void SetUp() override {
    form.SetBounds(10, 10, 400, 120);
    edit->SetUseSystemFont(false);
    edit->SetParent(&form);
    edit->SetBounds(8, 8, 300, edit->Height());
    edit->HandleNeeded();
    edit->OnChange = [this](host::TObject* sender) { changes.push_back(sender); };
  }

  // Runs `browse` while a timer answers its dialog: `act` on the dialog until it says the dialog
  // is ready (ticks apart), then `button`.
  void Answer(const std::function<void()>& browse, UINT button,
              const std::function<bool(HWND)>& act = nullptr) {
    bool answered = false;
    TimerSteps steps([&] {
      HWND dialog = FindThreadDialog();
      if (!dialog || (act && !act(dialog))) return false;
      PostMessageW(dialog, WM_COMMAND, button, 0);
      answered = true;
      return true;
    });
    browse();
    EXPECT_TRUE(answered);
  }
};

}  // namespace

TEST_F(PathEditTest, IsAnEditWithASquareBrowseButtonAndFollowsEnabled) {
  EXPECT_EQ(edit->Version(), "TKivPathEdit V4.2");
  EXPECT_EQ(edit->Button()->Caption(), "...");
  EXPECT_EQ(edit->BevelOuter(), host::bvNone);
  EXPECT_EQ(edit->Height(), edit->Edit()->Height());
  edit->SetBounds(8, 8, 320, 30);
  const RECT button = edit->Button()->BoundsRect();
  EXPECT_EQ(button.right - button.left, button.bottom - button.top);
  EXPECT_EQ(button.bottom - button.top, edit->Edit()->Height());
  EXPECT_EQ(button.right, edit->ClientWidth());
  EXPECT_EQ(edit->Edit()->Left() + edit->Edit()->Width(), button.left);

  edit->SetEnabled(false);
  EXPECT_FALSE(edit->Edit()->Enabled());
  EXPECT_FALSE(edit->Button()->Enabled());
  EXPECT_FALSE(IsWindowEnabled(edit->Edit()->Handle()));
  edit->SetEnabled(true);
  EXPECT_TRUE(edit->Edit()->Enabled());
  EXPECT_TRUE(edit->Button()->Enabled());

  // Every change of the text is told with the edit as Sender.
  edit->SetPath("C:\\somewhere");
  EXPECT_EQ(edit->Edit()->Text(), "C:\\somewhere");
  ASSERT_EQ(changes.size(), 1u);
  EXPECT_EQ(changes[0], edit->Edit());
}

TEST_F(PathEditTest, ValidPathsAreFilesOrInFolderModeFolders) {
  const String file = dir.File("a.txt", "x");
  const String folder = dir.Folder("sub");
  edit->SetPath(file);
  EXPECT_TRUE(edit->IsValidPath());
  edit->SetPath(folder);
  EXPECT_FALSE(edit->IsValidPath());
  edit->SetFolderMode(true);
  EXPECT_TRUE(edit->IsValidPath());
  edit->SetPath(file);
  EXPECT_FALSE(edit->IsValidPath());
  edit->SetPath(folder + "\\missing");
  EXPECT_FALSE(edit->IsValidPath());
}

TEST_F(PathEditTest, TheFileDialogTakesTheChosenFileAndCancelChangesNothing) {
  const String file = dir.File("picked \xD0\xBE\xD1\x82\xD1\x87\xD1\x91\xD1\x82.txt", "x");
  edit->SetFileFilter("Text files|*.txt|All files|*.*");
  edit->SetDialogTitle("Pick a text");
  edit->SetPath("C:\\before.txt");
  changes.clear();
  String title;
  Answer([&] { edit->BrowseForFile(); }, IDCANCEL, [&](HWND dialog) {
    wchar_t text[64] = {};
    GetWindowTextW(dialog, text, 64);
    title = host::ToUtf8(text);
    return true;
  });
  EXPECT_EQ(title, "Pick a text");
  EXPECT_EQ(edit->Path(), "C:\\before.txt");
  EXPECT_TRUE(changes.empty());

  // The button opens the same dialog; the whole path typed into it is taken.
  Answer([&] { edit->Button()->Click(); }, IDOK, [&](HWND dialog) {
    CommDlg_OpenSave_SetControlText(dialog, cmb13, host::ToWide(file).c_str());
    CommDlg_OpenSave_SetControlText(dialog, edt1, host::ToWide(file).c_str());
    return true;
  });
  EXPECT_TRUE(host::AnsiSameText(edit->Path(), file)) << edit->Path();
  ASSERT_EQ(changes.size(), 1u);
  EXPECT_EQ(changes[0], edit->Edit());
}

TEST_F(PathEditTest, CancellingTheFolderPickerChangesNothing) {
  edit->SetFolderMode(true);
  edit->SetPath("C:\\before");
  changes.clear();
  Answer([&] { edit->Button()->Click(); }, IDCANCEL);
  EXPECT_EQ(edit->Path(), "C:\\before");
  EXPECT_TRUE(changes.empty());
}

TEST_F(PathEditTest, TheFolderPickerTakesTheChosenFolderOnce) {
  const String folder = dir.Folder("chosen \xE5\x86\x99\xE7\x9C\x9F");
  edit->SetFolderMode(true);
  edit->SetPath("C:\\before");
  changes.clear();
  const std::wstring wide = host::ToWide(folder);
  int ticks = 0;
  Answer([&] { edit->Button()->Click(); }, IDOK, [&](HWND dialog) {
    // The selection is moved to the folder, then the next tick confirms it.
    if (ticks++ == 0) SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, LPARAM(wide.c_str()));
    return ticks > 2;
  });
  EXPECT_TRUE(host::AnsiSameText(host::ExcludeTrailingBackslash(edit->Path()), folder)) << edit->Path();
  ASSERT_EQ(changes.size(), 1u);
  EXPECT_EQ(changes[0], edit->Edit());
}
