// Message boxes and the file dialog, answered from a timer as a user would.
#include "host/forms/FileDialogs.h"
#include "host/forms/Forms.h"
#include "host/forms/MessageDialogs.h"

#include "shell/TempDir.h"

#include "Modal.h"

#include <commdlg.h>
#include <gtest/gtest.h>

#include <functional>

using namespace host;
using testing_support::FindThreadDialog;

namespace {

// Presses `button` of the dialog once it is up; the timer runs inside the dialog's modal loop.
UINT pressButton = 0;
void CALLBACK PressWhenUp(HWND, UINT, UINT_PTR id, DWORD) {
  if (HWND dlg = FindThreadDialog()) {
    KillTimer(nullptr, id);
    PostMessageW(dlg, WM_COMMAND, pressButton, 0);
  }
}
void PressSoon(UINT button) {
  pressButton = button;
  SetTimer(nullptr, 0, 100, PressWhenUp);
}

}  // namespace

TEST(MessageDialogs, AnswerTheButtonPressed) {
  PressSoon(IDNO);
  EXPECT_EQ(MessageDlg("Delete it?", mtConfirmation, mbYesNoCancel), mrNo);
  PressSoon(IDOK);
  EXPECT_EQ(MessageDlg("Careful", mtWarning, MsgButtons({mbOK})), mrOk);
  PressSoon(IDOK);
  ShowMessage("Hello");
  EXPECT_EQ(MsgDlgCaption(mtWarning), "Warning");
  EXPECT_EQ(MsgDlgCaption(mtConfirmation), "Confirm");
}

TEST(OpenDialog, CancelAnswersFalseAndAChosenFileIsReturned) {
  testing_support::TempDir dir;
  const String file = dir.File("picked.txt", "x");
  TOpenDialog dialog;
  dialog.SetTitle("Pick a file");
  dialog.SetFilter("Text files|*.txt|All files|*.*");
  dialog.SetInitialDir(dir.Path());
  int shows = 0, closes = 0;
  String title;
  dialog.OnShow = [&](TObject*) {
    ++shows;
    wchar_t text[64] = {};
    GetWindowTextW(dialog.Handle(), text, 64);
    title = ToUtf8(text);
  };
  dialog.OnClose = [&](TObject*) { ++closes; };
  PressSoon(IDCANCEL);
  EXPECT_FALSE(dialog.Execute());
  EXPECT_EQ(shows, 1);
  EXPECT_EQ(closes, 1);
  EXPECT_EQ(title, "Pick a file");

  dialog.OnShow = [&](TObject*) {
    // Type the name into the dialog, then press Open.
    CommDlg_OpenSave_SetControlText(dialog.Handle(), cmb13, ToWide("picked.txt").c_str());
    CommDlg_OpenSave_SetControlText(dialog.Handle(), edt1, ToWide("picked.txt").c_str());
    PostMessageW(dialog.Handle(), WM_COMMAND, IDOK, 0);
  };
  ASSERT_TRUE(dialog.Execute());
  EXPECT_TRUE(SameText(dialog.FileName(), file)) << dialog.FileName();
  EXPECT_EQ(dialog.Files()->Count(), 1);
  EXPECT_EQ(dialog.FilterIndex(), 1);
}
