// Which window owns the shell's user interface: the navigator's owning control, the main form.
#include <gtest/gtest.h>

#include "host/forms/Application.h"
#include "host/forms/ExtCtrls.h"
#include "host/forms/Forms.h"
#include "shell/ShellRoutines.h"
#include "shell/Zelnor.h"

using namespace zelnor;

TEST(ZelnorOwnerWindow, LoadedNavigatorOfAWindowedControlUsesItsWindow) {
  host::TForm form;
  host::TPanel panel(&form);
  panel.SetParent(&form);
  auto* nav = new TZelnor(&panel);
  // Not loaded yet: the application's window.
  EXPECT_EQ(nav->GetWinHandle(), host::Application().Handle());
  nav->Initialize();
  EXPECT_EQ(nav->GetWinHandle(), panel.Handle());
  nav->SetShowErrorMessages(false);
  EXPECT_EQ(nav->GetWinHandle(), nullptr) << "no shell user interface at all";

  // Owned by the form itself.
  TZelnor onForm(&form);
  onForm.Initialize();
  EXPECT_EQ(onForm.GetWinHandle(), form.Handle());

  // An owner without a window leaves the application's.
  host::TComponent plain;
  TZelnor onPlain(&plain);
  onPlain.Initialize();
  EXPECT_EQ(onPlain.GetWinHandle(), host::Application().Handle());
  TZelnor alone;
  alone.Initialize();
  EXPECT_EQ(alone.GetWinHandle(), host::Application().Handle());
}

TEST(ZelnorOwnerWindow, OwningWindowIsTheMainFormWhenThereIsOne) {
  ASSERT_EQ(host::Application().MainForm(), nullptr);
  EXPECT_EQ(GetOwningWindowHandle(), host::Application().Handle());
  {
    host::TForm form;
    host::Application().SetMainForm(&form);
    EXPECT_EQ(GetOwningWindowHandle(), form.Handle());
  }
  // The main form has gone: back to the application's window.
  EXPECT_EQ(host::Application().MainForm(), nullptr);
  EXPECT_EQ(GetOwningWindowHandle(), host::Application().Handle());
}
