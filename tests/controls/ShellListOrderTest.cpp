// The shell list's order by name on a mixed folder: exactly the order of the folder's own
// comparison, in both directions, with the parent-folder item first.
#include <gtest/gtest.h>

#include <shlobj.h>
#include <shlwapi.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "controls/ShellList.h"
#include "controls/ShellNameOrder.h"
#include "shell/TempDir.h"

using namespace zelnor;
using testing_support::TempDir;

namespace {

struct Child {
  UniquePidl id;
  String name;
};

// The folder's children sorted by its own CompareIDs, from the enumeration order, as a stable
// sort leaves them; `reverse` turns each comparison round.
std::vector<String> ShellOrder(const std::string& path, bool reverse) {
  UniquePidl folderList{GetIdListFromPath(Desktop(), path)};
  host::ComPtr<IShellFolder> folder;
  EXPECT_EQ(Desktop()->BindToObject(folderList.get(), nullptr, IID_PPV_ARGS(&folder)), S_OK);
  host::ComPtr<IEnumIDList> items;
  EXPECT_EQ(folder->EnumObjects(nullptr, SHCONTF_FOLDERS | SHCONTF_NONFOLDERS, &items), S_OK);
  std::vector<Child> children;
  PITEMID_CHILD child = nullptr;
  while (items->Next(1, &child, nullptr) == S_OK) {
    STRRET name{};
    folder->GetDisplayNameOf(child, SHGDN_INFOLDER | SHGDN_FORPARSING, &name);
    wchar_t* text = nullptr;
    StrRetToStrW(&name, child, &text);
    children.push_back({UniquePidl{child}, host::ToUtf8(text)});
    CoTaskMemFree(text);
  }
  std::stable_sort(children.begin(), children.end(), [&](const Child& a, const Child& b) {
    const int c = short(HRESULT_CODE(folder->CompareIDs(0, a.id.get(), b.id.get())));
    return reverse ? c > 0 : c < 0;
  });
  std::vector<String> names;
  for (const Child& c : children) names.push_back(c.name);
  return names;
}

std::vector<String> ListOrder(TKivShellList& list) {
  std::vector<String> names;
  for (int i = 0; i < list.Items()->Count(); ++i) {
    const TKivShellListItem* data = TKivShellList::ItemData(list.Items()->Item(i));
    names.push_back(data->parentFolder ? String("..") : data->parsingName);
  }
  return names;
}

}  // namespace

TEST(ShellListOrder, ByNameTheOrderIsTheFoldersOwnInBothDirections) {
  TempDir dir;
  for (const char* folder : {"Sub", "alpha", "Zed", "9dir", "_under", "Ärger"}) dir.Folder(folder);
  // Accented, punctuated, numbered, differently cased and non-ANSI names, and an archive, which
  // the shell sorts among the files.
  for (const char* file :
       {"file2.txt", "file10.txt", "File1.txt", "a-b.txt", "ab.txt", "a_c.txt", "\xC3\x84pfel.txt",
        "apfel.txt", "zebra.txt", "Zoo.txt", "\xC4\x81rt.txt", "\xE4\xB8\xAD.txt", "[x].txt",
        "(y).txt", "#1.txt", "~tmp.txt", "\xC3\x9F.txt", "ss.txt", "e\xCC\x81.txt",
        "\xC3\xA9.txt", "Case.txt", "cASE2.TXT", "1.txt", "10.txt", "9.txt", "x y.txt", "x.y.txt",
        "x'y.txt", "a.b.c", "B.txt", "b2.txt", "pack.zip", "\xCE\xA9.txt", "noext"})
    dir.File(file);
  const std::vector<String> expected = ShellOrder(dir.Path(), false);
  ASSERT_GE(expected.size(), 32u);  // enough to take the keyed path

  TKivShellList list;
  list.SetAutomaticRefresh(false);
  list.SetPath(dir.Path());
  EXPECT_EQ(ListOrder(list), expected);

  list.SetReverseSortOrder(true);
  EXPECT_EQ(ListOrder(list), ShellOrder(dir.Path(), true));

  list.SetShowParentFolder(true);
  std::vector<String> withParent{".."};
  const std::vector<String> reversed = ShellOrder(dir.Path(), true);
  withParent.insert(withParent.end(), reversed.begin(), reversed.end());
  EXPECT_EQ(ListOrder(list), withParent);
  list.SetReverseSortOrder(false);
  withParent.resize(1);
  withParent.insert(withParent.end(), expected.begin(), expected.end());
  EXPECT_EQ(ListOrder(list), withParent);
}

TEST(ShellListOrder, KeysPutFoldersFirstAndFollowTheFoldersRulesForNames) {
  TempDir dir;
  UniquePidl folderList{GetIdListFromPath(Desktop(), dir.Path())};
  host::ComPtr<IShellFolder> folder;
  ASSERT_EQ(Desktop()->BindToObject(folderList.get(), nullptr, IID_PPV_ARGS(&folder)), S_OK);
  const TShellNameOrder order = ProbeNameOrder(folder.Get(), dir.PathW());
  EXPECT_LT(NameSortKey(L"zzz", true, order), NameSortKey(L"aaa", false, order));
  EXPECT_EQ(NameSortKey(L"Readme.TXT", false, order), NameSortKey(L"readme.txt", false, order));
  EXPECT_LT(NameSortKey(L"apple", false, order), NameSortKey(L"Banana", false, order));
  // Numbers inside names follow the rule the folder was found to use.
  EXPECT_EQ(NameSortKey(L"file2", false, order) < NameSortKey(L"file10", false, order),
            order.digitsAsNumbers);
}
