// The dialog components as parts of forms: the owner window they use, the palette, and their
// settings read from and written back to a form text.
#include "dialogs/KivDialogs.h"

#include "host/core/Streaming.h"
#include "host/forms/ExtCtrls.h"
#include "host/forms/Forms.h"
#include "host/forms/Frames.h"
#include "shell/ShellRoutines.h"

#include <gtest/gtest.h>

#include <memory>

using namespace zelnor;

TEST(DialogOwner, FormsAndFramesOwnTheDialogsOtherwiseTheApplicationDoes) {
  auto form = std::make_unique<host::TForm>();
  auto* panel = new host::TPanel(form.get());
  panel->SetParent(form.get());
  auto* frame = new host::TFrame(form.get());
  frame->SetParent(form.get());
  auto* inner = new host::TPanel(frame);
  inner->SetParent(frame);

  EXPECT_EQ(GetDialogParentWindow(new TKivFileOperation(form.get())), form->Handle());
  // A windowed control passes the question on to its owner.
  EXPECT_EQ(GetDialogParentWindow(new TKivNetConnectionDialog(panel)), form->Handle());
  EXPECT_EQ(GetDialogParentWindow(new TKivBrowseForFolder(frame)), frame->Handle());
  EXPECT_EQ(GetDialogParentWindow(new TKivNetDisconnectDialog(inner)), frame->Handle());

  host::TComponent holder;
  EXPECT_EQ(GetDialogParentWindow(new TKivFileOperation(&holder)), GetOwningWindowHandle());
  TKivFileOperation alone;
  EXPECT_EQ(GetDialogParentWindow(&alone), GetOwningWindowHandle());
  EXPECT_NE(GetOwningWindowHandle(), nullptr);
}

TEST(DialogComponents, TheFormReaderKnowsThem) {
  RegisterDialogComponents();
  for (const char* name : {"TKivBrowseForFolder", "TKivFileOperation", "TKivNetConnectionDialog",
                           "TKivNetDisconnectDialog"}) {
    const host::TComponentClass* cls = host::GetClass(name);
    ASSERT_NE(cls, nullptr) << name;
    std::unique_ptr<host::TComponent> made(cls->factory(nullptr));
    EXPECT_EQ(made->ClassName(), name);
  }
  EXPECT_TRUE(TKivBrowseForFolder::StaticClassInfo().InheritsFrom(&TKivBaseDialog::StaticClassInfo()));
  EXPECT_TRUE(TKivNetConnectionDialog::StaticClassInfo().InheritsFrom(
      &host::TCommonDialog::StaticClassInfo()));
}

TEST(DialogComponents, ReadFromAFormTextAndWrittenBackUnchanged) {
  host::RegisterFormClasses();
  RegisterDialogComponents();
  int changes = 0, shows = 0;
  host::TEventHandlers handlers;
  handlers.Register<host::TNotifyEvent>("BrowseChange", [&](host::TObject*) { ++changes; });
  handlers.Register<host::TNotifyEvent>("NetShow", [&](host::TObject*) { ++shows; });

  const host::String text =
      "object DialogsForm: TForm\r\n"
      "  Left = 10\r\n"
      "  Top = 20\r\n"
      "  ParentFont = False\r\n"
      "  ClientWidth = 300\r\n"
      "  ClientHeight = 200\r\n"
      "  object Browse1: TKivBrowseForFolder\r\n"
      "    Title = 'Pick a folder'\r\n"
      "    Options = [bfNewDialogStyle, bfFileSystemOnly, bfEditBox]\r\n"
      "    RootedAtFileSystemFolder = 'C:\\users'\r\n"
      "    RootedAt = SF_PERSONAL\r\n"
      "    Path = 'C:\\windows'\r\n"
      "    DialogLeft = 40\r\n"
      "    DialogTop = 0\r\n"
      "    OnChange = BrowseChange\r\n"
      "    WindowTitle = 'Folders'\r\n"
      "  end\r\n"
      "  object FileOperation1: TKivFileOperation\r\n"
      "    Destination = 'C:\\target'\r\n"
      "    SourceFiles = ( 'C:\\a.txt' 'C:\\b.txt' )\r\n"
      "    Operation = otMove\r\n"
      "    Options = [soAllowUndo, soNoConfirmMkDir, soSimpleProgress]\r\n"
      "    Title = 'Moving'\r\n"
      "  end\r\n"
      "  object NetConnection1: TKivNetConnectionDialog\r\n"
      "    RemotePath = '\\\\server\\share'\r\n"
      "    Options = [cdReadOnlyPath]\r\n"
      "    OnShow = NetShow\r\n"
      "  end\r\n"
      "  object NetDisconnect1: TKivNetDisconnectDialog\r\n"
      "    HelpContext = 7\r\n"
      "  end\r\n"
      "end\r\n";
  std::unique_ptr<host::TForm> form(host::TForm::CreateFromText(text, nullptr, handlers));

  auto* browse = dynamic_cast<TKivBrowseForFolder*>(form->FindComponent("Browse1"));
  auto* op = dynamic_cast<TKivFileOperation*>(form->FindComponent("FileOperation1"));
  auto* connect = dynamic_cast<TKivNetConnectionDialog*>(form->FindComponent("NetConnection1"));
  auto* disconnect = dynamic_cast<TKivNetDisconnectDialog*>(form->FindComponent("NetDisconnect1"));
  ASSERT_TRUE(browse && op && connect && disconnect);

  EXPECT_EQ(browse->Title(), "Pick a folder");
  EXPECT_EQ(browse->Options(),
            (1u << bfNewDialogStyle) | (1u << bfFileSystemOnly) | (1u << bfEditBox));
  EXPECT_EQ(browse->RootedAtFileSystemFolder(), "C:\\users");
  EXPECT_EQ(browse->RootedAt(), SF_PERSONAL);
  EXPECT_EQ(browse->Path(), "C:\\windows");
  EXPECT_EQ(browse->DialogLeft(), 40);
  EXPECT_EQ(browse->DialogTop(), 0);
  EXPECT_EQ(browse->WindowTitle(), "Folders");
  ASSERT_TRUE(browse->OnChange);
  browse->OnChange(browse);
  EXPECT_EQ(changes, 1);

  EXPECT_EQ(op->Destination(), "C:\\target");
  ASSERT_EQ(op->SourceFiles()->Count(), 2);
  EXPECT_EQ(op->SourceFiles()->Strings(1), "C:\\b.txt");
  EXPECT_EQ(op->Operation(), otMove);
  EXPECT_EQ(op->Options(), (1u << soAllowUndo) | (1u << soNoConfirmMkDir) | (1u << soSimpleProgress));
  EXPECT_EQ(op->Title(), "Moving");

  EXPECT_EQ(connect->RemotePath(), "\\\\server\\share");
  EXPECT_EQ(connect->Options(), 1u << cdReadOnlyPath);
  EXPECT_EQ(disconnect->HelpContext(), 7);

  EXPECT_EQ(host::WriteComponentText(form.get()), text);
}

TEST(DialogComponents, DefaultsAreNotWritten) {
  host::TComponent root;
  root.SetName("Root");
  for (host::TComponent* c :
       std::initializer_list<host::TComponent*>{new TKivBrowseForFolder(&root), new TKivFileOperation(&root),
                                                new TKivNetConnectionDialog(&root),
                                                new TKivNetDisconnectDialog(&root)})
    c->SetName(c->ClassName().substr(4) + "1");
  EXPECT_EQ(host::WriteComponentText(&root),
            "object Root: TComponent\r\n"
            "  object BrowseForFolder1: TKivBrowseForFolder\r\n"
            "  end\r\n"
            "  object FileOperation1: TKivFileOperation\r\n"
            "  end\r\n"
            "  object NetConnectionDialog1: TKivNetConnectionDialog\r\n"
            "  end\r\n"
            "  object NetDisconnectDialog1: TKivNetDisconnectDialog\r\n"
            "  end\r\n"
            "end\r\n");
}
