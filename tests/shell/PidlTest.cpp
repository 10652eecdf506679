// Item identifier list arithmetic, special folders and paths of lists.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "Outside.h"
#include "TempDir.h"
#include "host/core/Raii.h"
#include "shell/ShellGlobals.h"

using namespace zelnor;

namespace {

// A list built from element payload sizes (each element's cb is payload + 2).
UniquePidl MakeList(const std::vector<int>& payloads) {
  int size = 2;
  for (int p : payloads) size += p + 2;
  UniquePidl list{CreatePIDL(unsigned(size))};
  BYTE* out = reinterpret_cast<BYTE*>(list.get());
  BYTE fill = 1;
  for (int p : payloads) {
    const USHORT cb = USHORT(p + 2);
    std::memcpy(out, &cb, 2);
    std::memset(out + 2, fill++, size_t(p));
    out += cb;
  }
  return list;
}

bool SameBytes(PCItemIDList a, PCItemIDList b) {
  return GetPidlSize(a) == GetPidlSize(b) && std::memcmp(a, b, size_t(GetPidlSize(a))) == 0;
}

}  // namespace

TEST(Pidl, SizeAndDepthCountElementsAndTerminator) {
  EXPECT_EQ(GetPidlSize(nullptr), 0);
  EXPECT_EQ(GetPidlSize(DesktopIdList()), 2);
  EXPECT_EQ(GetItemIdListDepth(nullptr), 0);
  EXPECT_EQ(GetItemIdListDepth(DesktopIdList()), 0);
  UniquePidl list = MakeList({18, 12});
  EXPECT_EQ(GetPidlSize(list.get()), 36);
  EXPECT_EQ(GetItemIdListDepth(list.get()), 2);
}

TEST(Pidl, ConcatDropsTheFirstTerminatorAndCopiesALoneOperand) {
  UniquePidl a = MakeList({18, 12});
  UniquePidl b = MakeList({6});
  UniquePidl ab = ConcatItemIdLists(a.get(), b.get());
  EXPECT_EQ(GetPidlSize(ab.get()), GetPidlSize(a.get()) + GetPidlSize(b.get()) - 2);
  EXPECT_EQ(GetItemIdListDepth(ab.get()), 3);
  UniquePidl third = GetItemIdListPart(ab.get(), 2);
  EXPECT_TRUE(SameBytes(third.get(), b.get()));

  UniquePidl aNil = ConcatItemIdLists(a.get(), nullptr);
  UniquePidl nilA = ConcatItemIdLists(nullptr, a.get());
  UniquePidl emptyA = ConcatItemIdLists(DesktopIdList(), a.get());
  EXPECT_TRUE(SameBytes(aNil.get(), a.get()));
  EXPECT_TRUE(SameBytes(nilA.get(), a.get()));
  EXPECT_TRUE(SameBytes(emptyA.get(), a.get()));
  EXPECT_NE(aNil.get(), a.get());
  EXPECT_EQ(ConcatItemIdLists(nullptr, nullptr), nullptr);
}

TEST(Pidl, PartTakesOneElementAndRejectsIndicesOutsideTheList) {
  UniquePidl list = MakeList({18, 12, 4});
  UniquePidl second = GetItemIdListPart(list.get(), 1);
  ASSERT_TRUE(second);
  EXPECT_EQ(GetItemIdListDepth(second.get()), 1);
  EXPECT_EQ(GetPidlSize(second.get()), 16);
  EXPECT_EQ(reinterpret_cast<BYTE*>(second.get())[2], 2);  // payload of the second element

  UniquePidl atDepth = GetItemIdListPart(list.get(), 3);
  ASSERT_TRUE(atDepth);
  EXPECT_EQ(GetPidlSize(atDepth.get()), 2);
  EXPECT_EQ(GetItemIdListPart(list.get(), 4), nullptr);
  EXPECT_EQ(GetItemIdListPart(list.get(), -1), nullptr);
  EXPECT_EQ(GetItemIdListPart(nullptr, 0), nullptr);
}

TEST(Pidl, StartKeepsTheLeadingElements) {
  UniquePidl list = MakeList({18, 12, 4});
  UniquePidl none = GetItemIdListStart(list.get(), 0);
  UniquePidl negative = GetItemIdListStart(list.get(), -2);
  UniquePidl two = GetItemIdListStart(list.get(), 2);
  UniquePidl all = GetItemIdListStart(list.get(), 3);
  UniquePidl more = GetItemIdListStart(list.get(), 9);
  EXPECT_EQ(GetPidlSize(none.get()), 2);
  EXPECT_EQ(GetPidlSize(negative.get()), 2);
  EXPECT_EQ(GetItemIdListDepth(two.get()), 2);
  EXPECT_EQ(GetPidlSize(two.get()), 2 + 20 + 14);
  EXPECT_TRUE(SameBytes(all.get(), list.get()));
  EXPECT_TRUE(SameBytes(more.get(), list.get()));
}

TEST(Pidl, RelativePidlIsTheLastElement) {
  EXPECT_EQ(GetRelativePIDL(DesktopIdList()), nullptr);
  EXPECT_EQ(GetRelativePIDL(nullptr), nullptr);
  UniquePidl one = MakeList({10});
  UniquePidl rel = GetRelativePIDL(one.get());
  EXPECT_TRUE(SameBytes(rel.get(), one.get()));
  UniquePidl three = MakeList({18, 12, 4});
  UniquePidl last = GetRelativePIDL(three.get());
  EXPECT_EQ(GetPidlSize(last.get()), 8);
}

TEST(SpecialFolders, DesktopAndFileSystemFolderGiveTheirLists) {
  UniquePidl desktop = GetIdListFromSpecialFolder(SF_DESKTOP);
  ASSERT_TRUE(desktop);
  EXPECT_EQ(GetPidlSize(desktop.get()), 2);
  EXPECT_NE(desktop.get(), DesktopIdList());

  UniquePidl drives = GetIdListFromSpecialFolder(SF_DRIVES);
  UniquePidl fs = GetIdListFromSpecialFolder(SF_FILESYSTEMFOLDER);
  UniquePidl emptyPath = GetIdListFromPath(nullptr, "");
  ASSERT_TRUE(drives && fs && emptyPath);
  EXPECT_EQ(Desktop()->CompareIDs(0, drives.get(), fs.get()), S_OK);
  EXPECT_EQ(Desktop()->CompareIDs(0, drives.get(), emptyPath.get()), S_OK);
  EXPECT_EQ(TestForSpecialFolder(drives.get()), SF_DRIVES);
  EXPECT_EQ(TestForSpecialFolder(DesktopIdList()), SF_DESKTOP);
}

TEST(SpecialFolders, EveryFolderResolvesAndIsRecognised) {
  for (int i = 0; i < SHELL_FOLDER_COUNT; ++i) {
    const auto sf = TKivShellFolder(i);
    UniquePidl list = GetIdListFromSpecialFolder(sf);
    ASSERT_TRUE(list) << "folder " << i;
    const TKivShellFolder found = TestForSpecialFolder(list.get());
    // Folders that share a place report the first in enumeration order.
    UniquePidl foundList = GetIdListFromSpecialFolder(found);
    EXPECT_EQ(Desktop()->CompareIDs(0, list.get(), foundList.get()), S_OK) << "folder " << i;
    EXPECT_LE(int(found), i == SF_FILESYSTEMFOLDER ? int(SF_DRIVES) : i) << "folder " << i;

    const String path = GetPathFromSpecialFolder(sf);
    const bool virtualFolder = sf == SF_FILESYSTEMFOLDER || sf == SF_DRIVES || sf == SF_BITBUCKET ||
                               sf == SF_CONTROLS || sf == SF_PRINTERS || sf == SF_NETWORK;
    if (virtualFolder) {
      // Virtual folders have no path, whatever text the platform makes up for them.
      EXPECT_EQ(path, "") << "folder " << i;
      EXPECT_EQ(GetPathFromPidl(list.get()), "") << "folder " << i;
      EXPECT_EQ(GetPathFromPidlW(list.get()), L"") << "folder " << i;
    } else {
      EXPECT_EQ(path.substr(1, 2), ":\\") << "folder " << i << ": " << path;
      EXPECT_EQ(GetPathFromPidl(list.get()), path);
    }
  }
}

TEST(SpecialFolders, PlainFolderIsNoSpecialFolderAndNoNetworkObject) {
  testing_support::TempDir dir;
  UniquePidl list = GetIdListFromPath(nullptr, dir.Path());
  ASSERT_TRUE(list);
  EXPECT_EQ(TestForSpecialFolder(list.get()), SF_FILESYSTEMFOLDER);
  EXPECT_FALSE(IsNetworkPidl(list.get()));
  EXPECT_FALSE(IsNetworkPidl(DesktopIdList()));
  UniquePidl network = GetIdListFromSpecialFolder(SF_NETWORK);
  EXPECT_TRUE(IsNetworkPidl(network.get()));
}

TEST(PathsOfLists, NamesOutsideTheAnsiCodePageRoundTrip) {
  testing_support::TempDir dir;
  const String folder = dir.Folder("Ωμέγα ж 日本");
  const String file = dir.File("Ωμέγα ж 日本\\файл ✓.txt", "x");
  for (const String& path : {folder, file}) {
    UniquePidl list = GetIdListFromPath(nullptr, path);
    ASSERT_TRUE(list) << path;
    EXPECT_EQ(GetPathFromPidl(list.get()), path);
    EXPECT_EQ(GetPathFromPidlW(list.get()), host::ToWide(path));
  }
}

TEST(PathsOfLists, RelativeParseAndFailureLeaveTheirMarks) {
  testing_support::TempDir dir;
  dir.File("child.txt");
  UniquePidl folderList = GetIdListFromPath(nullptr, dir.Path());
  host::ComPtr<IShellFolder> folder;
  ASSERT_EQ(Desktop()->BindToObject(folderList.get(), nullptr, IID_PPV_ARGS(&folder)), S_OK);
  UniquePidl child = GetIdListFromPath(folder.Get(), "child.txt");
  ASSERT_TRUE(child);
  EXPECT_EQ(GetItemIdListDepth(child.get()), 1);
  UniquePidl full = ConcatItemIdLists(folderList.get(), child.get());
  EXPECT_EQ(GetPathFromPidl(full.get()), dir.Path() + "\\child.txt");

  SetLastError(0);
  EXPECT_EQ(GetIdListFromPath(nullptr, dir.Path() + "\\missing"), nullptr);
  EXPECT_EQ(GetLastError(), DWORD(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)));
  EXPECT_EQ(GetPathFromPidl(nullptr), "");
  EXPECT_EQ(GetPathFromPidl(DesktopIdList()), GetPathFromSpecialFolder(SF_DESKTOPDIRECTORY));
}

TEST(PathsOfLists, PathLongerThanMaxPathComesBackWhole) {
  testing_support::TempDir dir;
  // Folders of 40 letters until the path passes 270 characters.
  std::wstring path = dir.PathW(), parent;
  while (path.size() < 271) {
    parent = path;
    path += L"\\" + std::wstring(40, L'd');
    ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + path).c_str(), nullptr));
  }
  // The deep folder's list, from an enumeration of its parent (which is shorter than MAX_PATH).
  UniquePidl parentList = GetIdListFromPath(nullptr, host::ToUtf8(parent));
  ASSERT_TRUE(parentList);
  host::ComPtr<IShellFolder> folder;
  ASSERT_EQ(Desktop()->BindToObject(parentList.get(), nullptr, IID_PPV_ARGS(&folder)), S_OK);
  host::ComPtr<IEnumIDList> children;
  ASSERT_EQ(folder->EnumObjects(nullptr, SHCONTF_FOLDERS, &children), S_OK);
  PITEMID_CHILD child = nullptr;
  ASSERT_EQ(children->Next(1, &child, nullptr), S_OK);
  UniquePidl ownedChild{child};
  UniquePidl full = ConcatItemIdLists(parentList.get(), child);
  EXPECT_EQ(GetPathFromPidlW(full.get()), path);
  EXPECT_EQ(GetPathFromPidl(full.get()), host::ToUtf8(path));
  ASSERT_TRUE(RemoveDirectoryW((L"\\\\?\\" + path).c_str()));
}

TEST(ShellState, GlobalsAreSetUp) {
  EXPECT_NE(CF_IDLIST(), 0u);
  EXPECT_EQ(CF_IDLIST(), RegisterClipboardFormatW(L"Shell IDList Array"));
  EXPECT_TRUE(IsNT());
  EXPECT_FALSE(IsOldWindows());
  EXPECT_NE(KivSHChangeNotifyRegister(), nullptr);
  EXPECT_NE(KivSHChangeNotifyDeregister(), nullptr);
  EXPECT_NE(KivSHILCreateFromPath(), nullptr);
  EXPECT_NE(KivSHEmptyRecycleBin(), nullptr);
  EXPECT_NE(KivSHAutoComplete(), nullptr);
}

TEST(ShellState, WorkerThreadGetsItsOwnDesktop) {
  IShellFolder* mainDesktop = Desktop();
  struct Result {
    IShellFolder* desktop = nullptr;
    bool parsed = false;
  } result;
  HANDLE thread = CreateThread(
      nullptr, 0,
      [](void* p) -> DWORD {
        auto* r = static_cast<Result*>(p);
        host::CoInitializeGuard com;
        r->desktop = Desktop();
        UniquePidl list = GetIdListFromPath(nullptr, "C:\\");
        r->parsed = list != nullptr;
        return 0;
      },
      &result, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  EXPECT_NE(result.desktop, nullptr);
  EXPECT_TRUE(result.parsed);
  EXPECT_EQ(Desktop(), mainDesktop);
}

// Wine's CompareIDs answers 0 for different names of one length outside the ANSI code page, and
// for names that differ only in case: equality is confirmed by the names and the file system.
TEST(PathsOfLists, EqualityIsConfirmedBeyondTheFoldersComparison) {
  testing_support::TempDir dir;
  const String reports = dir.Folder("Отчёты");
  const String album = dir.Folder("写真アルバム");
  const String x = dir.File("x.txt", "x");
  UniquePidl a = GetIdListFromPath(nullptr, reports);
  UniquePidl b = GetIdListFromPath(nullptr, album);
  UniquePidl again = GetIdListFromPath(nullptr, reports);
  ASSERT_TRUE(a && b && again);
  EXPECT_FALSE(SameItemIdList(a.get(), b.get()));
  EXPECT_TRUE(SameItemIdList(a.get(), again.get()));

  UniquePidl folderList = GetIdListFromPath(nullptr, dir.Path());
  host::ComPtr<IShellFolder> folder;
  ASSERT_EQ(Desktop()->BindToObject(folderList.get(), nullptr, IID_PPV_ARGS(&folder)), S_OK);
  UniquePidl childA = GetIdListFromPath(folder.Get(), "Отчёты");
  UniquePidl childB = GetIdListFromPath(folder.Get(), "写真アルバム");
  ASSERT_TRUE(childA && childB);
  EXPECT_FALSE(SameItemIdList(childA.get(), childB.get(), folder.Get()));

  // One file under two spellings is one object.
  UniquePidl lower = GetIdListFromPath(nullptr, x);
  UniquePidl upper = GetIdListFromPath(nullptr, dir.Path() + "\\X.TXT");
  ASSERT_TRUE(lower && upper);
  EXPECT_TRUE(SameItemIdList(lower.get(), upper.get()));

  // Two files whose names differ only in case, as a case-sensitive folder holds them.
  const String cases = dir.Folder("cases");
  if (!testing_support::FilesFromOutside(host::ToWide(cases), {{"Case.txt", "a"}, {"case.txt", "b"}}))
    return;
  host::ComPtr<IShellFolder> casesFolder;
  UniquePidl casesList = GetIdListFromPath(nullptr, cases);
  ASSERT_EQ(Desktop()->BindToObject(casesList.get(), nullptr, IID_PPV_ARGS(&casesFolder)), S_OK);
  std::vector<UniquePidl> children;
  host::ComPtr<IEnumIDList> items;
  ASSERT_EQ(casesFolder->EnumObjects(nullptr, SHCONTF_NONFOLDERS, &items), S_OK);
  LPITEMIDLIST child = nullptr;
  while (items->Next(1, &child, nullptr) == S_OK) children.emplace_back(child);
  ASSERT_EQ(children.size(), 2u);
  EXPECT_FALSE(SameItemIdList(children[0].get(), children[1].get(), casesFolder.Get()));
  EXPECT_TRUE(SameItemIdList(children[0].get(), children[0].get(), casesFolder.Get()));
}
