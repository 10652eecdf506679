// The navigator's binding to folders, its current item, the filter and the enumeration.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "FolderWrapper.h"
#include "TempDir.h"
#include "host/core/Streaming.h"
#include "host/forms/Application.h"
#include "host/forms/Forms.h"
#include "shell/ShellRoutines.h"
#include "shell/Zelnor.h"

using namespace zelnor;
using testing_support::TempDir;

namespace {

std::vector<String> Children(TZelnor& nav) {
  std::vector<String> names;
  while (nav.Next()) names.push_back(nav.GetObjectName());
  return names;
}

std::set<String> ChildSet(TZelnor& nav) {
  const std::vector<String> names = Children(nav);
  return {names.begin(), names.end()};
}

String WithBackslash(const String& path) { return path + "\\"; }

}  // namespace

TEST(ZelnorBinding, NewInstanceIsBoundToMyComputer) {
  TZelnor nav;
  EXPECT_EQ(nav.Folder(), "");
  EXPECT_EQ(nav.GetSpecialFolder(), SF_DRIVES);
  EXPECT_EQ(nav.SpecialFolder(), SF_DRIVES);
  EXPECT_EQ(nav.GetFilter(), "*");
  EXPECT_TRUE(nav.ShowErrorMessages());
  EXPECT_FALSE(nav.ShowContextMenuOnTop());
  EXPECT_FALSE(nav.FileSystemOnly());
  EXPECT_EQ(nav.Version(), "TZelnor V4.2");
  nav.SetVersion("other");
  EXPECT_EQ(nav.Version(), "TZelnor V4.2");
  EXPECT_EQ(nav.ItemIdList(), nullptr);
}

TEST(ZelnorBinding, SetDirectoryIgnoresSamePathInOtherCaseButRebindsWithoutBackslash) {
  TempDir dir;
  dir.File("a.txt", "x");
  TZelnor nav;
  nav.SetDirectory(dir.Path());
  EXPECT_EQ(nav.Folder(), WithBackslash(dir.Path()));
  EXPECT_EQ(nav.GetSpecialFolder(), SF_FILESYSTEMFOLDER);

  nav.SetObjectName("a.txt");
  ASSERT_NE(nav.ItemIdList(), nullptr);
  // Same folder in other letter case: no new binding, so the item stays selected.
  nav.SetDirectory(host::UpperCase(nav.Folder()));
  EXPECT_NE(nav.ItemIdList(), nullptr);
  EXPECT_EQ(nav.GetObjectName(), "a.txt");
  // Without the trailing backslash the text differs: binds again and drops the item.
  nav.SetDirectory(dir.Path());
  EXPECT_EQ(nav.ItemIdList(), nullptr);
  EXPECT_EQ(nav.Folder(), WithBackslash(dir.Path()));
}

TEST(ZelnorBinding, ObjectNameOfDriveRootSelectsDriveInMyComputer) {
  TempDir dir;
  TZelnor nav;
  nav.SetDirectory(dir.Path());
  nav.SetObjectName("C:\\");
  EXPECT_EQ(nav.Folder(), "");
  EXPECT_EQ(nav.GetSpecialFolder(), SF_DRIVES);
  EXPECT_EQ(nav.GetObjectName(), "C:\\");
  EXPECT_EQ(nav.ObjectName(), "C:\\");
  EXPECT_TRUE(nav.IsFolder());
}

TEST(ZelnorBinding, ObjectNameByFullPathAndParent) {
  TempDir dir;
  const String sub = dir.Folder("sub");
  dir.File("sub\\b.txt", "b");
  TZelnor nav;
  nav.SetObjectName(sub + "\\b.txt");
  EXPECT_EQ(nav.Folder(), WithBackslash(sub));
  EXPECT_EQ(nav.GetObjectName(), "b.txt");

  // The absolute list round-trips through SetAbsoluteItemIdList.
  UniquePidl absolute = CopyItemIdList(nav.GetAbsoluteItemIdList());
  TZelnor other;
  other.SetAbsoluteItemIdList(absolute.get());
  EXPECT_EQ(other.Folder(), WithBackslash(sub));
  EXPECT_EQ(other.GetObjectName(), "b.txt");

  // SelectParent: the parent becomes the folder and the old folder its item.
  nav.SetDirectory(sub);
  EXPECT_TRUE(nav.SelectParent());
  EXPECT_EQ(nav.Folder(), WithBackslash(dir.Path()));
  EXPECT_EQ(nav.GetObjectName(), "sub");

  // A trailing backslash on a longer name is dropped.
  nav.SetObjectName(sub + "\\");
  EXPECT_EQ(nav.GetObjectName(), "sub");
}

TEST(ZelnorBinding, ListAccessorsCopyAndCacheLists) {
  TempDir dir;
  dir.File("a.txt");
  TZelnor nav;
  nav.SetDirectory(dir.Path());
  nav.SetObjectName("a.txt");
  UniquePidl folder = nav.GetFolderIdList();
  UniquePidl item = nav.GetItemIdList();
  ASSERT_TRUE(folder && item);
  EXPECT_NE(item.get(), nav.ItemIdList());  // a copy
  EXPECT_EQ(GetItemIdListDepth(item.get()), 1);
  PCItemIDList absolute = nav.GetAbsoluteItemIdList();
  EXPECT_EQ(absolute, nav.GetAbsoluteItemIdList());  // cached
  EXPECT_EQ(GetItemIdListDepth(absolute), GetItemIdListDepth(folder.get()) + 1);
  EXPECT_EQ(GetPathFromPidl(absolute), dir.Path() + "\\a.txt");
  // Without an item the absolute list is the folder's.
  nav.SetItemIdList(nullptr);
  EXPECT_EQ(GetPathFromPidl(nav.GetAbsoluteItemIdList()), dir.Path());
  // A nil folder list leaves no folder list.
  nav.SetFolderIdList(nullptr);
  EXPECT_EQ(nav.GetFolderIdList(), nullptr);
}

TEST(ZelnorBinding, SpecialFolders) {
  TZelnor nav;
  nav.SetSpecialFolder(SF_DESKTOP);
  EXPECT_EQ(nav.GetSpecialFolder(), SF_DESKTOP);
  EXPECT_EQ(GetItemIdListDepth(nav.GetFolderIdList().get()), 0);
  EXPECT_EQ(nav.ShellFolder(), Desktop());
  nav.SetSpecialFolder(SF_PERSONAL);
  EXPECT_EQ(nav.Folder(), host::IncludeTrailingBackslash(GetPathFromSpecialFolder(SF_PERSONAL)));
  nav.SetSpecialFolder(SF_DRIVES);
  EXPECT_EQ(nav.Folder(), "");
  EXPECT_EQ(nav.GetSpecialFolder(), SF_DRIVES);
  // The desktop's absolute list selects the desktop itself.
  nav.SetAbsoluteItemIdList(DesktopIdList());
  EXPECT_EQ(nav.GetSpecialFolder(), SF_DESKTOP);
  EXPECT_EQ(nav.ItemIdList(), nullptr);
}

TEST(ZelnorBinding, BindingErrorsCarryTheirMessages) {
  TempDir dir;
  TZelnor nav;
  nav.SetDirectory(dir.Path());
  const String missing = dir.Path() + "\\no such folder";
  try {
    nav.SetDirectory(missing);
    FAIL() << "no error";
  } catch (const EZelnorError& e) {
    EXPECT_EQ(e.Message(), GetErrorMessageText(3) + "\r\n" + missing);
  }
  EXPECT_EQ(nav.Folder(), WithBackslash(dir.Path()));

  try {
    nav.SetObjectName("missing.txt");
    FAIL() << "no error";
  } catch (const EZelnorError& e) {
    EXPECT_EQ(e.Message(), "Error! Cannot find Object \"missing.txt\" in Folder \"" +
                               WithBackslash(dir.Path()) + "\"");
  }

  // A file's list cannot be bound as a folder.
  const String file = dir.File("f.txt", "x");
  UniquePidl list = GetIdListFromPath(nullptr, file);
  ASSERT_TRUE(list);
  try {
    nav.SetFolderIdList(list.get());
    FAIL() << "no error";
  } catch (const EZelnorError& e) {
    EXPECT_EQ(e.Message(), "Zelnor.SetFolderIDList: Desktop.BindToObject: Could not get Folder");
  }
  // The instance keeps its folder.
  EXPECT_EQ(GetPathFromPidl(nav.GetFolderIdList().get()), dir.Path());
}

TEST(ZelnorBinding, TryFormsAnswerFalseWithTheRaisingSettersMessage) {
  TempDir dir;
  const String file = dir.File("f.txt", "x");
  dir.Folder("sub");
  TZelnor nav;
  ASSERT_TRUE(nav.TrySetDirectory(dir.Path()));
  const String missing = dir.Path() + "\\no such folder";
  String why;
  EXPECT_FALSE(nav.TrySetDirectory(missing, &why));
  EXPECT_EQ(why, GetErrorMessageText(3) + "\r\n" + missing);
  EXPECT_FALSE(nav.TrySetObjectName("missing.txt", &why));
  EXPECT_EQ(why, "Error! Cannot find Object \"missing.txt\" in Folder \"" +
                     WithBackslash(dir.Path()) + "\"");
  UniquePidl list = GetIdListFromPath(nullptr, file);
  EXPECT_FALSE(nav.TrySetFolderIdList(list.get(), &why));
  EXPECT_EQ(why, "Zelnor.SetFolderIDList: Desktop.BindToObject: Could not get Folder");
  EXPECT_EQ(nav.Folder(), WithBackslash(dir.Path()));
  EXPECT_TRUE(nav.TrySetAbsoluteItemIdList(list.get()));
  EXPECT_EQ(nav.GetObjectName(), "f.txt");

  // What is there binds as the raising forms bind it.
  EXPECT_TRUE(nav.TrySetObjectName(file));
  EXPECT_EQ(nav.GetObjectName(), "f.txt");
  EXPECT_TRUE(nav.TrySetObjectName("sub"));
  EXPECT_TRUE(nav.TryBrowseObject());
  EXPECT_EQ(nav.Folder(), WithBackslash(dir.Path() + "\\sub"));
  nav.SetDirectory(dir.Path());
  ASSERT_TRUE(nav.TrySetObjectName("f.txt"));
  EXPECT_FALSE(nav.TryBrowseObject());
}

TEST(ZelnorBinding, FailedBindingLeavesTheInstanceAsItWas) {
  TempDir dir;
  const String file = dir.File("a.txt", "x");
  dir.File("b.txt", "y");
  TZelnor nav;
  nav.SetDirectory(dir.Path());
  nav.SetObjectName("b.txt");
  auto expectUnchanged = [&](const char* what) {
    EXPECT_EQ(nav.Folder(), WithBackslash(dir.Path())) << what;
    EXPECT_EQ(GetPathFromPidl(nav.GetFolderIdList().get()), dir.Path()) << what;
    EXPECT_EQ(nav.GetSpecialFolder(), SF_FILESYSTEMFOLDER) << what;
    EXPECT_EQ(nav.GetObjectName(), "b.txt") << what;
    EXPECT_EQ(ChildSet(nav), (std::set<String>{"a.txt", "b.txt"})) << what;
    nav.SetObjectName("b.txt");
  };

  // A file parses but cannot be bound as a folder; asking twice fails twice.
  for (int attempt = 0; attempt < 2; ++attempt) {
    EXPECT_THROW(nav.SetDirectory(file), EZelnorError);
    expectUnchanged("file");
  }
  EXPECT_THROW(nav.SetDirectory("C:\\con"), EZelnorError);
  expectUnchanged("device name");

  // A drive the system does not have is not found, like a missing folder.
  const DWORD drives = GetLogicalDrives();
  char letter = 'Z';
  while (letter > 'D' && (drives & (1u << (letter - 'A')))) --letter;
  ASSERT_FALSE(drives & (1u << (letter - 'A'))) << "every drive letter is taken";
  const String missingDrive = String(1, letter) + ":\\";
  try {
    nav.SetDirectory(missingDrive);
    FAIL() << "no error";
  } catch (const EZelnorError& e) {
    EXPECT_EQ(e.Message(), GetErrorMessageText(3) + "\r\n" + missingDrive);
  }
  expectUnchanged("missing drive");
  EXPECT_THROW(nav.SetDirectory(String(1, letter) + ":\\folder"), EZelnorError);
  expectUnchanged("folder on a missing drive");
}

TEST(ZelnorBinding, ObjectNameFoundByDisplayNameWhenNotParseable) {
  TempDir dir;
  const String target = dir.File("plain.txt", "x");
  TZelnor nav;
  nav.SetDirectory(dir.Path());
  // Parsed relative to the folder, in any letter case.
  nav.SetObjectName("PLAIN.TXT");
  EXPECT_EQ(nav.GetObjectName(), "plain.txt");

  // A shortcut's display name drops ".lnk": not parseable, so found by enumerating.
  host::ComPtr<IShellLinkW> link;
  ASSERT_TRUE(SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                         IID_PPV_ARGS(&link))));
  link->SetPath(host::ToWide(target).c_str());
  host::ComPtr<IPersistFile> file;
  ASSERT_TRUE(SUCCEEDED(link.As(&file)));
  ASSERT_TRUE(SUCCEEDED(file->Save((dir.PathW() + L"\\shortcut.lnk").c_str(), TRUE)));
  nav.SetObjectName("shortcut.lnk");
  const String display = nav.GetShellObjectName();
  nav.SetItemIdList(nullptr);
  if (host::SameText(display, "shortcut.lnk")) GTEST_SKIP() << "the shell shows the extension";
  nav.SetObjectName(host::UpperCase(display));
  EXPECT_EQ(nav.GetObjectName(), "shortcut.lnk");
}

TEST(ZelnorBinding, FilterSplitsOnSemicolonsKeepingEmptyAndBlankPatterns) {
  TempDir dir;
  dir.File("a.txt");
  dir.File("b.DOC");
  dir.File("c.bin");
  dir.Folder("folder");
  TZelnor nav;
  nav.SetDirectory(dir.Path());

  nav.SetFilter("");
  EXPECT_EQ(nav.GetFilter(), "*");
  EXPECT_EQ(ChildSet(nav), (std::set<String>{"a.txt", "b.DOC", "c.bin", "folder"}));

  // Two empty patterns match no object; folders still pass.
  nav.SetFilter(";;");
  EXPECT_EQ(nav.GetFilter(), ";");
  EXPECT_EQ(ChildSet(nav), (std::set<String>{"folder"}));

  // No trimming: the second pattern keeps its leading blank and matches nothing here.
  nav.SetFilter("*.TXT; *.doc");
  EXPECT_EQ(nav.GetFilter(), "*.TXT; *.doc");
  EXPECT_EQ(ChildSet(nav), (std::set<String>{"a.txt", "folder"}));

  nav.SetFilter("*.doc;*.bin;");
  EXPECT_EQ(nav.GetFilter(), "*.doc;*.bin");
  EXPECT_EQ(ChildSet(nav), (std::set<String>{"b.DOC", "c.bin", "folder"}));
}

TEST(ZelnorBinding, NextStartsAFreshEnumerationAfterTheEnd) {
  TempDir dir;
  for (const char* name : {"one.txt", "two.txt", "three.txt"}) dir.File(name);
  TZelnor nav;
  nav.SetDirectory(dir.Path());
  const std::vector<String> first = Children(nav);  // runs until Next returns false
  EXPECT_EQ(first.size(), 3u);
  // The call after the end begins again with the first child.
  ASSERT_TRUE(nav.Next());
  EXPECT_EQ(nav.GetObjectName(), first.front());
  // Binding again ends a running enumeration too.
  nav.SetDirectory(dir.Path());
  EXPECT_EQ(Children(nav), first);
}

TEST(ZelnorBinding, NextSkipsAChildWhoseTestsFail) {
  TempDir dir;
  for (const char* name : {"a.txt", "b.txt", "c.doc", "d.doc", "e.txt"}) dir.File(name);
  TZelnor nav;
  nav.SetDirectory(dir.Path());
  auto plain = testing_support::MakePlainFolder(nav.ShellFolder());
  plain->throwFor = L"b.txt";
  nav.SetShellfolder(plain.Get());
  nav.SetFilter("*.txt");
  // The failing child is dropped and the rest still go through the filter.
  EXPECT_EQ(ChildSet(nav), (std::set<String>{"a.txt", "e.txt"}));
}

TEST(ZelnorBinding, FileSystemOnlyKeepsDrivesAndMyComputer) {
  TZelnor nav;  // My Computer
  const std::set<String> all = ChildSet(nav);
  nav.SetFileSystemOnly(true);
  const std::set<String> fileSystem = ChildSet(nav);
  EXPECT_TRUE(fileSystem.count("C:\\"));
  EXPECT_LT(fileSystem.size(), all.size());  // the control panel is gone
  for (const String& name : fileSystem) EXPECT_TRUE(all.count(name)) << name;

  // Among the desktop's children My Computer stays although it has no file-system attributes.
  nav.SetSpecialFolder(SF_DESKTOP);
  bool sawMyComputer = false;
  while (nav.Next()) sawMyComputer |= nav.IsSpecialObject() == SF_DRIVES;
  EXPECT_TRUE(sawMyComputer);

  // Folders outside the file system do not count as folders in this mode.
  nav.SetSpecialFolder(SF_DRIVES);
  nav.SetFileSystemOnly(false);
  bool sawVirtualFolder = false;
  while (nav.Next()) {
    if (nav.GetAttributes(SFGAO_FILESYSTEM | SFGAO_FILESYSANCESTOR) == 0 && nav.IsFolder()) {
      nav.SetFileSystemOnly(true);
      sawVirtualFolder = true;
      EXPECT_FALSE(nav.IsFolder()) << nav.GetShellObjectName();
      nav.SetFileSystemOnly(false);
    }
  }
  EXPECT_TRUE(sawVirtualFolder);
}

TEST(ZelnorBinding, NamesOutsideTheAnsiCodePage) {
  TempDir dir;
  const String folderName = "\xD0\x9F\xD0\xB0\xD0\xBF\xD0\xBA\xD0\xB0";       // Папка
  const String fileName = "\xE6\x97\xA5\xE6\x9C\xAC-\xC3\xBC\xCE\xB1.txt";  // 日本-üα.txt
  const String sub = dir.Folder(folderName);
  dir.File(folderName + "\\" + fileName, "abc");
  TZelnor nav;
  nav.SetDirectory(sub);
  EXPECT_EQ(nav.Folder(), WithBackslash(sub));
  EXPECT_EQ(Children(nav), std::vector<String>{fileName});
  nav.SetObjectName(fileName);
  EXPECT_EQ(nav.GetObjectName(), fileName);
  EXPECT_EQ(nav.GetFileSize(), 3);
  nav.SelectParent();
  EXPECT_EQ(nav.GetObjectName(), folderName);
  EXPECT_EQ(nav.GetShellObjectName(), folderName);
}

TEST(ZelnorBinding, PublishedPropertiesRoundTripThroughAForm) {
  host::RegisterComponentClass<TZelnor>();
  TempDir dir;
  dir.File("a.txt");
  {
    // Construction values are the declared defaults: nothing but the object is written.
    TZelnor fresh;
    const String text = host::WriteComponentText(&fresh);
    EXPECT_EQ(text.find("ShowErrorMessages"), String::npos) << text;
    EXPECT_EQ(text.find("ShowContextMenuOnTop"), String::npos) << text;
    EXPECT_EQ(text.find("Version"), String::npos) << text;
    EXPECT_EQ(text.find("Filter"), String::npos) << text;
  }
  TZelnor nav;
  nav.SetName("Nav");
  nav.SetDirectory(dir.Path());
  nav.SetObjectName("a.txt");
  nav.SetFilter("*.txt;*.doc");
  nav.SetShowErrorMessages(false);
  nav.SetShowContextMenuOnTop(true);
  nav.SetFileSystemOnly(true);
  const String text = host::WriteComponentText(&nav);
  // A path folder is carried by Folder alone.
  EXPECT_EQ(text.find("SpecialFolder"), String::npos) << text;

  TZelnor back;
  host::ReadComponentText(text, &back);
  EXPECT_EQ(back.Folder(), nav.Folder());
  EXPECT_EQ(back.GetObjectName(), "a.txt");
  EXPECT_EQ(back.GetFilter(), "*.txt;*.doc");
  EXPECT_FALSE(back.ShowErrorMessages());
  EXPECT_TRUE(back.ShowContextMenuOnTop());
  EXPECT_TRUE(back.FileSystemOnly());
  EXPECT_TRUE(back.IsLoaded());

  // A virtual folder is carried by SpecialFolder.
  TZelnor desktop;
  desktop.SetName("Desk");
  desktop.SetSpecialFolder(SF_DESKTOP);
  TZelnor desktopBack;
  host::ReadComponentText(host::WriteComponentText(&desktop), &desktopBack);
  EXPECT_EQ(desktopBack.GetSpecialFolder(), SF_DESKTOP);
}

TEST(ZelnorBinding, ShellOwnerWindowIsTheOwningControlsOnceLoadedAndNoneWithoutMessages) {
  host::TForm form;
  HWND formWindow = form.Handle();
  ASSERT_NE(formWindow, nullptr);
  auto* nav = new TZelnor(&form);  // freed by the form
  nav->SetShowErrorMessages(true);
  EXPECT_EQ(nav->GetWinHandle(), host::Application().Handle());  // not loaded yet
  nav->Initialize();
  EXPECT_EQ(nav->GetWinHandle(), formWindow);
  nav->SetShowErrorMessages(false);
  EXPECT_EQ(nav->GetWinHandle(), nullptr);

  TZelnor alone;
  alone.Initialize();
  alone.SetShowErrorMessages(true);
  EXPECT_EQ(alone.GetWinHandle(), host::Application().Handle());
}

// A plain directory is made a file-system folder directly, without the desktop's look for a
// desktop.ini: it must answer as the desktop's binding does, and so must the folders that go
// the desktop's way (read-only ones, which a desktop.ini may customise, and the desktop itself).
TEST(ZelnorBinding, FoldersBoundDirectlyAnswerAsTheDesktopsBinding) {
  TempDir dir;
  dir.File("b.txt", "x");
  dir.Folder("sub");
  const String readOnly = dir.Folder("kept");
  dir.File("kept\\inner.txt", "y");
  SetFileAttributesW(host::ToWide(readOnly).c_str(), FILE_ATTRIBUTE_READONLY);
  const auto namesOf = [](IShellFolder* folder) {
    std::set<String> names;
    host::ComPtr<IEnumIDList> children;
    if (FAILED(folder->EnumObjects(nullptr, SHCONTF_FOLDERS | SHCONTF_NONFOLDERS, &children)) ||
        !children)
      return names;
    PITEMID_CHILD child = nullptr;
    while (children->Next(1, &child, nullptr) == S_OK) {
      names.insert(GetFileSystemPathOf(folder, child));
      CoTaskMemFree(child);
    }
    return names;
  };
  for (const String& path : {dir.Path(), readOnly}) {
    SCOPED_TRACE(path);
    UniquePidl list = GetIdListFromPath(nullptr, path);
    ASSERT_TRUE(list);
    host::ComPtr<IShellFolder> direct, desktops;
    ASSERT_EQ(BindFolderIdList(list.get(), direct), S_OK);
    ASSERT_TRUE(direct);
    ASSERT_TRUE(SUCCEEDED(Desktop()->BindToObject(list.get(), nullptr, IID_PPV_ARGS(&desktops))));
    const std::set<String> names = namesOf(direct.Get());
    EXPECT_EQ(names, namesOf(desktops.Get()));
    EXPECT_EQ(names.size(), path == readOnly ? 1u : 3u);
  }
  SetFileAttributesW(host::ToWide(readOnly).c_str(), FILE_ATTRIBUTE_NORMAL);

  host::ComPtr<IShellFolder> desktop;
  EXPECT_EQ(BindFolderIdList(DesktopIdList(), desktop), S_OK);
  EXPECT_EQ(desktop.Get(), Desktop());
  host::ComPtr<IShellFolder> none;
  EXPECT_TRUE(FAILED(BindFolderIdList(nullptr, none)));
  EXPECT_FALSE(none);
}
