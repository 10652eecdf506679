// The explorer of the demo, read from its form file with its handlers: what it places, links and
// shows, and a search run from its search pane.
#include <gtest/gtest.h>

#include <ole2.h>

#include <memory>

#include "Explorer.h"
#include "FormDemo.h"
#include "Pump.h"
#include "controls/FileList.h"
#include "controls/ShellCombo.h"
#include "controls/ShellList.h"
#include "controls/ShellTree.h"
#include "extras/DropFiles.h"
#include "extras/FolderCombo.h"
#include "extras/PathEdit.h"
#include "extras/PathLabel.h"
#include "extras/ThumbnailImage.h"
#include "host/forms/Forms.h"
#include "host/forms/StdCtrls.h"
#include "link/ShellLink.h"
#include "shell/TempDir.h"

using namespace host;
using namespace zelnor;
using testing_support::PumpMessagesUntil;
using testing_support::TempDir;

namespace {

struct ExplorerTest : ::testing::Test {
  std::unique_ptr<TForm> form;

  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
    RegisterExplorerClasses();
    form.reset(TForm::CreateFromFile(ExamplesFile("Explorer.form")));
    form->Show();
    PumpMessagesUntil([] { return false; }, 300);
  }
  void TearDown() override {
    form.reset();
    OleUninitialize();
  }

  template <class T>
  T* Find(const char* name) {
    auto* found = dynamic_cast<T*>(form->FindComponent(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
  }
  String Status() { return Find<TControl>("StatusBar")->Caption(); }
};

}  // namespace

TEST_F(ExplorerTest, EveryComponentIsMadeLinkedAndShown) {
  auto* link = Find<TKivShellLink>("ShellLink1");
  auto* tree = Find<TKivShellTree>("ShellTree1");
  auto* list = Find<TKivShellList>("ShellList1");
  auto* combo = Find<TKivShellCombo>("AddressCombo");
  auto* files = Find<TKivFileList>("FileList1");
  ASSERT_TRUE(link && tree && list && combo && files);
  EXPECT_EQ(tree->ShellLink(), link);
  EXPECT_EQ(list->ShellLink(), link);
  EXPECT_EQ(combo->ShellLink(), link);
  EXPECT_EQ(files->ShellLink(), link);
  EXPECT_EQ(Find<TKivThumbnailImage>("Preview")->ShellLink(), link);

  for (const char* name : {"ShellTree1", "ShellList1", "AddressCombo", "FileList1", "FolderCombo1",
                           "SearchFolder", "SearchPattern", "BackButton", "ForwardButton", "UpButton"}) {
    auto* control = Find<TWinControl>(name);
    ASSERT_NE(control, nullptr);
    EXPECT_TRUE(control->HandleAllocated() && IsWindowVisible(control->Handle())) << name;
  }
  EXPECT_TRUE(Find<TKivDropFiles>("DropFiles1")->Registered());

  // The list opens on Documents; the path label, the search folder and the folder combo follow.
  const String shown = ExcludeTrailingBackslash(list->GetPath());
  ASSERT_FALSE(shown.empty());
  EXPECT_TRUE(SameText(Find<TKivPathLabel>("PathLabel1")->Path(), list->GetPath()));
  EXPECT_TRUE(SameText(Find<TKivPathEdit>("SearchFolder")->Path(), shown));
  auto* folders = Find<TKivFolderCombo>("FolderCombo1");
  const TKivFolderCombo::TKivComboItem* entry = folders->ItemData(folders->ItemIndex());
  ASSERT_NE(entry, nullptr);
  EXPECT_TRUE(SameText(ExcludeTrailingBackslash(entry->path), shown)) << entry->path;

  // Back returns to the folder shown before and Forward comes back, each enabled as the
  // history allows.
  TempDir dir;
  const String first = dir.Folder("first"), second = dir.Folder("second");
  auto showing = [&](const String& path) {
    return PumpMessagesUntil([&] { return SameText(ExcludeTrailingBackslash(list->GetPath()), path); });
  };
  list->SetPath(first);
  ASSERT_TRUE(showing(first));
  list->SetPath(second);
  ASSERT_TRUE(showing(second));
  EXPECT_TRUE(PumpMessagesUntil([&] { return Find<TControl>("BackButton")->Enabled(); }, 3000));
  EXPECT_FALSE(Find<TControl>("ForwardButton")->Enabled());
  Find<TButton>("BackButton")->Click();
  EXPECT_TRUE(showing(first));
  EXPECT_TRUE(PumpMessagesUntil([&] { return Find<TControl>("ForwardButton")->Enabled(); }, 3000));
  Find<TButton>("ForwardButton")->Click();
  EXPECT_TRUE(showing(second));

  // Alt+Left and Alt+Right do the same from any control of the window.
  auto altKey = [&](WORD key) {
    BYTE keys[256];
    GetKeyboardState(keys);
    const BYTE alt = keys[VK_MENU];
    keys[VK_MENU] = 0x80;
    SetKeyboardState(keys);
    SendMessageW(list->Handle(), WM_SYSKEYDOWN, key, LPARAM(1) | (LPARAM(1) << 29));
    keys[VK_MENU] = alt;
    SetKeyboardState(keys);
  };
  altKey(VK_LEFT);
  EXPECT_TRUE(showing(first));
  altKey(VK_RIGHT);
  EXPECT_TRUE(showing(second));
}

TEST_F(ExplorerTest, ASearchFromThePaneEndsWithItsHitCountInTheStatusLine) {
  TempDir dir;
  dir.File("one.txt", "1");
  dir.Folder("sub");
  dir.File("sub\\two.txt", "2");
  dir.File("sub\\\xE5\x86\x99\xE7\x9C\x9F.txt", "3");
  dir.File("other.bin", "4");
  auto* files = Find<TKivFileList>("FileList1");
  Find<TKivPathEdit>("SearchFolder")->SetPath(dir.Path());
  Find<TEdit>("SearchPattern")->SetText("*.txt");
  Find<TButton>("SearchButton")->Click();
  ASSERT_TRUE(PumpMessagesUntil([&] { return !files->Searching(); }));
  PumpMessagesUntil([] { return false; }, 100);
  EXPECT_EQ(files->Items()->Count(), 3);
  EXPECT_NE(Status().find("3 files found in " + dir.Path()), String::npos) << Status();
}
