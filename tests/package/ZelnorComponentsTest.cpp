// The package's registration: the palette page, the form reader, and a form holding every
// component read and written back.
#include "package/ZelnorComponents.h"

#include "extras/DropFiles.h"
#include "host/core/Streaming.h"
#include "host/forms/Forms.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <memory>
#include <set>

using host::String;
using namespace zelnor;

namespace {

// One object of every palette class, each with settings that differ from its defaults, in the
// form the writer gives them.
const char* const kEveryComponent =
    "object PackageForm: TForm\r\n"
    "  Left = 100\r\n"
    "  Top = 100\r\n"
    "  ParentFont = False\r\n"
    "  ClientWidth = 400\r\n"
    "  ClientHeight = 300\r\n"
    "  object Zelnor1: TZelnor\r\n"
    "    Filter = '*.txt'\r\n"
    "    FileSystemOnly = True\r\n"
    "  end\r\n"
    "  object SmallIcons: TKivSystemImageList\r\n"
    "  end\r\n"
    "  object LargeIcons: TKivSystemImageList\r\n"
    "    Size = si_large\r\n"
    "  end\r\n"
    "  object ShellLink1: TKivShellLink\r\n"
    "    OnChange = PackageLinkChange\r\n"
    "  end\r\n"
    "  object ShellChangeNotifier1: TKivShellChangeNotifier\r\n"
    "    Enabled = False\r\n"
    "    Directories = ( 'C:\\' )\r\n"
    "    Recursive = False\r\n"
    "    EventFilter = [neFileCreate, neFileDelete]\r\n"
    "  end\r\n"
    "  object BrowseForFolder1: TKivBrowseForFolder\r\n"
    "    Title = 'Pick a folder'\r\n"
    "    Options = [bfNewDialogStyle, bfFileSystemOnly]\r\n"
    "  end\r\n"
    "  object FileOperation1: TKivFileOperation\r\n"
    "    SourceFiles = ( 'C:\\a.txt' )\r\n"
    "    Operation = otDelete\r\n"
    "  end\r\n"
    "  object NetConnectionDialog1: TKivNetConnectionDialog\r\n"
    "    Options = [cdPersist]\r\n"
    "  end\r\n"
    "  object NetDisconnectDialog1: TKivNetDisconnectDialog\r\n"
    "    HelpContext = 3\r\n"
    "  end\r\n"
    "  object DropFiles1: TKivDropFiles\r\n"
    "    Control = PathEdit1\r\n"
    "    Enabled = True\r\n"
    "    OnDrop = PackageDrop\r\n"
    "  end\r\n"
    "  object ShellList1: TKivShellList\r\n"
    "    Left = 0\r\n"
    "    Top = 0\r\n"
    "    Width = 400\r\n"
    "    Height = 300\r\n"
    "    Align = alClient\r\n"
    "    Color = clWindow\r\n"
    "    ParentFont = False\r\n"
    "    TabOrder = 0\r\n"
    "    TabStop = True\r\n"
    "    ViewStyle = vsList\r\n"
    "    AllocBy = 32\r\n"
    "    ShellLink = ShellLink1\r\n"
    "    ShowParentFolder = True\r\n"
    "    UseSystemFont = False\r\n"
    "  end\r\n"
    "  object ShellTree1: TKivShellTree\r\n"
    "    Left = 0\r\n"
    "    Top = 0\r\n"
    "    Width = 200\r\n"
    "    Height = 300\r\n"
    "    Color = clWindow\r\n"
    "    TabOrder = 1\r\n"
    "    TabStop = True\r\n"
    "    ShellLink = ShellLink1\r\n"
    "    ShowFiles = True\r\n"
    "    ExpandOnSelected = True\r\n"
    "    UseSystemFont = False\r\n"
    "  end\r\n"
    "  object ShellCombo1: TKivShellCombo\r\n"
    "    Left = 0\r\n"
    "    Top = 0\r\n"
    "    Width = 400\r\n"
    "    Height = 24\r\n"
    "    Color = clWindow\r\n"
    "    ParentFont = False\r\n"
    "    TabOrder = 2\r\n"
    "    TabStop = True\r\n"
    "    ItemIndex = -1\r\n"
    "    ShellLink = ShellLink1\r\n"
    "    ShowRecycleBin = False\r\n"
    "    UseSystemFont = False\r\n"
    "    Text = ''\r\n"
    "    ShowFullPath = True\r\n"
    "  end\r\n"
    "  object ThumbnailImage1: TKivThumbnailImage\r\n"
    "    Left = 8\r\n"
    "    Top = 8\r\n"
    "    Width = 80\r\n"
    "    Height = 80\r\n"
    "    TabOrder = 3\r\n"
    "    ShellLink = ShellLink1\r\n"
    "  end\r\n"
    "  object PathLabel1: TKivPathLabel\r\n"
    "    Left = 8\r\n"
    "    Top = 100\r\n"
    "    Width = 120\r\n"
    "    Height = 17\r\n"
    "    Path = 'C:\\Programs\\Tools\\notes.txt'\r\n"
    "    UseSystemFont = False\r\n"
    "  end\r\n"
    "  object PathEdit1: TKivPathEdit\r\n"
    "    Left = 8\r\n"
    "    Top = 120\r\n"
    "    Width = 200\r\n"
    "    Height = 21\r\n"
    "    TabOrder = 4\r\n"
    "    Path = 'C:\\Data'\r\n"
    "    FolderMode = True\r\n"
    "    DialogTitle = 'Pick one'\r\n"
    "    UseSystemFont = False\r\n"
    "  end\r\n"
    "  object FolderCombo1: TKivFolderCombo\r\n"
    "    Left = 8\r\n"
    "    Top = 150\r\n"
    "    Width = 200\r\n"
    "    Height = 24\r\n"
    "    Color = clWindow\r\n"
    "    TabOrder = 5\r\n"
    "    TabStop = True\r\n"
    "    IncludeDrives = True\r\n"
    "    IncludeMyDocuments = False\r\n"
    "    UseSystemFont = False\r\n"
    "  end\r\n"
    "  object FileList1: TKivFileList\r\n"
    "    Left = 0\r\n"
    "    Top = 0\r\n"
    "    Width = 400\r\n"
    "    Height = 100\r\n"
    "    Color = clWindow\r\n"
    "    ParentFont = False\r\n"
    "    TabOrder = 6\r\n"
    "    AllocBy = 64\r\n"
    "    Details = False\r\n"
    "    SearchOptions.MaxFileSize = 4096\r\n"
    "    SearchOptions.MinFileSize = 0\r\n"
    "    SearchOptions.RecursiveSearch = False\r\n"
    "    SearchOptions.LastWriteDateMin = 45000\r\n"
    "    SearchOptions.Filter = '*.txt;*.doc'\r\n"
    "    ShellLink = ShellLink1\r\n"
    "    ScrollBars = ssVertical\r\n"
    "    UseSystemFont = False\r\n"
    "  end\r\n"
    "end\r\n";

// The order the palette lists the package's components in; the palette holds those that exist.
const char* const kPaletteOrder[] = {"TZelnor",
                                     "TKivSystemImageList",
                                     "TKivShellLink",
                                     "TKivShellTree",
                                     "TKivShellList",
                                     "TKivShellCombo",
                                     "TKivShellChangeNotifier",
                                     "TKivFileList",
                                     "TKivPathLabel",
                                     "TKivPathEdit",
                                     "TKivFolderCombo",
                                     "TKivThumbnailImage",
                                     "TKivDropFiles",
                                     "TKivBrowseForFolder",
                                     "TKivFileOperation",
                                     "TKivNetConnectionDialog",
                                     "TKivNetDisconnectDialog"};

}  // namespace

TEST(ZelnorComponents, PaletteListsEveryComponentOnceInPaletteOrder) {
  RegisterZelnorComponents();
  RegisterZelnorComponents();
  const std::vector<String> expected = ZelnorPaletteClasses();
  EXPECT_EQ(host::PaletteClasses("KIV Software"), expected);
  const auto* next = std::begin(kPaletteOrder);
  for (const String& name : expected) {
    next = std::find(next, std::end(kPaletteOrder), name);
    ASSERT_NE(next, std::end(kPaletteOrder)) << name << " is out of order or unknown";
  }
  for (const String& name : expected) {
    const host::TComponentClass* cls = host::GetClass(name);
    ASSERT_NE(cls, nullptr) << name;
    ASSERT_TRUE(cls->factory) << name;
    std::unique_ptr<host::TComponent> made(cls->factory(nullptr));
    EXPECT_EQ(made->ClassName(), name);
  }
}

TEST(ZelnorComponents, AFormOfEveryComponentIsWrittenBackUnchanged) {
  RegisterZelnorComponents();
  host::EventHandlers().Register<host::TNotifyEvent>("PackageLinkChange", [](host::TObject*) {});
  host::EventHandlers().Register<TKivDragDropEvent>(
      "PackageDrop", [](host::TObject*, host::TShiftState, POINT, TKivDropEffect&) {});
  std::unique_ptr<host::TForm> form(host::TForm::CreateFromText(kEveryComponent));
  std::set<String> present;
  for (int i = 0; i < form->ComponentCount(); ++i) present.insert(form->Components(i)->ClassName());
  for (const String& name : ZelnorPaletteClasses())
    EXPECT_TRUE(present.count(name)) << "the form text in this test holds no " << name;
  EXPECT_EQ(host::WriteComponentText(form.get()), kEveryComponent);
  host::EventHandlers().Unregister("PackageLinkChange");
  host::EventHandlers().Unregister("PackageDrop");
}
