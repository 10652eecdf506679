// The data object of objects in several folders: the file names and the shell's list array a
// drop target reads, and what a target sets on it.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include "TempDir.h"
#include "shell/ItemsDataObject.h"
#include "shell/ShellGlobals.h"
#include "shell/ShellRoutines.h"

using namespace zelnor;
using testing_support::TempDir;

namespace {

std::vector<String> Names(IDataObject* data) {
  std::vector<String> names;
  if (std::unique_ptr<host::TStringList> files = GetFilenamesFromDataObject(data))
    for (int i = 0; i < files->Count(); ++i) names.push_back(files->Strings(i));
  return names;
}

}  // namespace

TEST(ItemsDataObjectTest, ObjectsOfTwoFoldersGiveTheirPathsAndTheirAbsoluteLists) {
  InitializeShell();
  TempDir dir;
  dir.Folder("one");
  dir.Folder("two");
  const String a = dir.File("one\\a.txt", "a");
  const String b = dir.File("two\\b.txt", "b");
  std::vector<UniquePidl> lists;
  lists.push_back(GetIdListFromPath(nullptr, a));
  lists.push_back(GetIdListFromPath(nullptr, b));
  ASSERT_TRUE(lists[0] && lists[1]);
  host::ComPtr<IDataObject> data = ItemsDataObject(nullptr, lists);
  ASSERT_TRUE(data);
  EXPECT_EQ(Names(data.Get()), (std::vector<String>{a, b}));

  // The list array: the folder above both as parent, then each object's list below it.
  FORMATETC format{CLIPFORMAT(RegisterClipboardFormatW(CFSTR_SHELLIDLIST)), nullptr,
                   DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  STGMEDIUM medium{};
  ASSERT_EQ(data->GetData(&format, &medium), S_OK);
  const auto* cida = static_cast<const CIDA*>(GlobalLock(medium.hGlobal));
  ASSERT_TRUE(cida);
  ASSERT_EQ(cida->cidl, 2u);
  const auto at = [cida](UINT i) {
    return reinterpret_cast<PCItemIDList>(reinterpret_cast<const BYTE*>(cida) + cida->aoffset[i]);
  };
  EXPECT_TRUE(host::SameText(GetPathFromPidl(at(0)), dir.Path()));
  EXPECT_EQ(GetItemIdListDepth(at(2)), 2);
  UniquePidl second = ConcatItemIdLists(at(0), at(2));
  EXPECT_TRUE(host::SameText(GetPathFromPidl(second.get()), b));
  GlobalUnlock(medium.hGlobal);
  ReleaseStgMedium(&medium);

  // A target's preferred effect is kept and handed back.
  FORMATETC preferred{CLIPFORMAT(RegisterClipboardFormatW(CFSTR_PREFERREDDROPEFFECT)), nullptr,
                      DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  STGMEDIUM set{TYMED_HGLOBAL, {}, nullptr};
  set.hGlobal = GlobalAlloc(GMEM_MOVEABLE, sizeof(DWORD));
  *static_cast<DWORD*>(GlobalLock(set.hGlobal)) = DROPEFFECT_MOVE;
  GlobalUnlock(set.hGlobal);
  ASSERT_EQ(data->SetData(&preferred, &set, TRUE), S_OK);
  STGMEDIUM got{};
  ASSERT_EQ(data->GetData(&preferred, &got), S_OK);
  EXPECT_EQ(*static_cast<DWORD*>(GlobalLock(got.hGlobal)), DWORD(DROPEFFECT_MOVE));
  GlobalUnlock(got.hGlobal);
  ReleaseStgMedium(&got);

  // Objects of one folder: the shell's own object names them all.
  const String c = dir.File("one\\c.txt", "c");
  std::vector<UniquePidl> same;
  same.push_back(GetIdListFromPath(nullptr, a));
  same.push_back(GetIdListFromPath(nullptr, c));
  host::ComPtr<IDataObject> shells = ItemsDataObject(nullptr, same);
  ASSERT_TRUE(shells);
  EXPECT_EQ(Names(shells.Get()), (std::vector<String>{a, c}));
  EXPECT_FALSE(ItemsDataObject(nullptr, {}));
}
