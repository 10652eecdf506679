// The shell list's order by name on a mixed folder: exactly the order of the folder's own
// comparison, in both directions, with the parent-folder item first. By size, date and type: the
// values' order, folders first, where the folder's comparison does not look at the column; the
// folder's own order where it does.
#include <gtest/gtest.h>

#include <shlobj.h>
#include <shlwapi.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "DetailsFolder.h"
#include "Pump.h"
#include "ShellListSupport.h"
#include "controls/ShellList.h"
#include "controls/ShellNameOrder.h"
#include "host/forms/Forms.h"
#include "shell/TempDir.h"

using namespace zelnor;
using testing_support::CountingList;
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

namespace {

// A moment well in the past, in whole minutes, so every file system keeps it exactly.
FILETIME DaysAgo(int days) {
  ULARGE_INTEGER base{};
  base.QuadPart = 133000000000000000ULL;  // 2022
  base.QuadPart -= uint64_t(days) * 24 * 3600 * 10000000ULL;
  FILETIME time{};
  time.dwLowDateTime = base.LowPart;
  time.dwHighDateTime = base.HighPart;
  return time;
}

void SetWriteTime(const std::string& path, int daysAgo) {
  HANDLE h = CreateFileW(host::ToWide(path).c_str(), FILE_WRITE_ATTRIBUTES,
                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                         FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE) << path;
  const FILETIME time = DaysAgo(daysAgo);
  EXPECT_TRUE(SetFileTime(h, nullptr, nullptr, &time));
  CloseHandle(h);
}

// A file of `size` bytes last written `daysAgo` days before the base moment.
void SizedFile(TempDir& dir, const std::string& name, int64_t size, int daysAgo) {
  const std::string path = dir.File(name);
  HANDLE h = CreateFileW(host::ToWide(path).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                         nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE) << path;
  LARGE_INTEGER end{};
  end.QuadPart = size;
  EXPECT_TRUE(SetFilePointerEx(h, end, nullptr, FILE_BEGIN));
  EXPECT_TRUE(SetEndOfFile(h));
  CloseHandle(h);
  SetWriteTime(path, daysAgo);
}

int ColumnCaptioned(TKivShellList& list, const char* caption) {
  for (int i = 0; i < list.Columns()->Count(); ++i)
    if (list.Columns()->Items(i)->Caption() == caption) return i;
  ADD_FAILURE() << "no column " << caption;
  return 0;
}

std::vector<String> Reversed(std::vector<String> names) {
  std::reverse(names.begin() + (names.front() == ".." ? 1 : 0), names.end());
  return names;
}

// Two folders and five files whose names, sizes and dates all order them differently.
void MakeValueFolder(TempDir& dir) {
  SizedFile(dir, "a.txt", 3000, 2);
  SizedFile(dir, "b.txt", 10, 5);
  SizedFile(dir, "c.txt", 700, 1);
  SizedFile(dir, "d.txt", 50000, 4);
  SizedFile(dir, "e.dat", 1, 3);
  SetWriteTime(dir.Folder("alpha"), 1);
  SetWriteTime(dir.Folder("beta"), 3);
}

const std::vector<String> kBySize{"..", "alpha", "beta", "e.dat", "b.txt", "c.txt", "a.txt", "d.txt"};
const std::vector<String> kByDate{"..", "beta", "alpha", "b.txt", "d.txt", "e.dat", "a.txt", "c.txt"};

}  // namespace

TEST(ShellListOrder, SizeAndDateSortByValueFoldersFirstAndTurnRoundOnASecondClick) {
  TempDir dir;
  MakeValueFolder(dir);
  TKivShellList list;
  list.SetAutomaticRefresh(false);
  list.SetShowParentFolder(true);
  list.SetPath(dir.Path());
  const int size = ColumnCaptioned(list, "Size");
  const int date = ColumnCaptioned(list, "Modified");

  list.SetSortColumn(size);
  EXPECT_FALSE(list.ReverseSortOrder());
  EXPECT_EQ(ListOrder(list), kBySize);
  list.SetSortColumn(size);
  EXPECT_TRUE(list.ReverseSortOrder());
  EXPECT_EQ(ListOrder(list), Reversed(kBySize));

  list.SetSortColumn(date);
  EXPECT_FALSE(list.ReverseSortOrder());
  EXPECT_EQ(ListOrder(list), kByDate);
  list.SetSortColumn(date);
  EXPECT_EQ(ListOrder(list), Reversed(kByDate));

  // A refill keeps the column and direction; a file that grows moves.
  SizedFile(dir, "e.dat", 100000, 3);
  list.SetSortColumn(size);
  list.Refresh();
  EXPECT_EQ(ListOrder(list),
            (std::vector<String>{"..", "alpha", "beta", "b.txt", "c.txt", "a.txt", "d.txt", "e.dat"}));

  // OnCompare still has the last word, given the column's texts.
  int asked = 0;
  list.OnCompare = [&](host::TObject*, host::TListItem*, host::TListItem*, LPARAM column,
                       int&) {
    ++asked;
    EXPECT_EQ(column, size);
  };
  list.SetReverseSortOrder(true);
  EXPECT_GT(asked, 0);
  EXPECT_EQ(ListOrder(list).front(), "..");
}

TEST(ShellListOrder, TypeSortsByTheShownTextFoldersFirst) {
  TempDir dir;
  for (const char* file : {"a.txt", "b.doc", "c.txt", "d.doc", "e.bmp", "f.txt"}) dir.File(file);
  dir.Folder("zz");
  TKivShellList list;
  list.SetAutomaticRefresh(false);
  list.SetPath(dir.Path());
  const int type = ColumnCaptioned(list, "Type");
  list.SetSortColumn(type);
  const std::vector<String> names = ListOrder(list);
  ASSERT_EQ(names.size(), 7u);
  EXPECT_EQ(names.front(), "zz");
  for (int i = 2; i < list.Items()->Count(); ++i) {
    host::TListItem* before = list.Items()->Item(i - 1);
    host::TListItem* item = list.Items()->Item(i);
    list.CompleteItemDetails(before);
    list.CompleteItemDetails(item);
    const std::wstring a = host::ToWide(before->SubItemText(type));
    const std::wstring b = host::ToWide(item->SubItemText(type));
    const int c = CompareStringEx(LOCALE_NAME_USER_DEFAULT, NORM_IGNORECASE, a.c_str(), -1,
                                  b.c_str(), -1, nullptr, nullptr, 0);
    EXPECT_NE(c, CSTR_GREATER_THAN) << names[size_t(i - 1)] << " before " << names[size_t(i)];
    // Within one type, by name.
    if (c == CSTR_EQUAL) {
      EXPECT_LT(names[size_t(i - 1)], names[size_t(i)]);
    }
  }
}

TEST(ShellListOrder, AHiddenShellColumnSortsByTheMappedColumnAskingTheFolderOncePerFolder) {
  TempDir dir;
  MakeValueFolder(dir);
  CountingList list;
  list.SetAutomaticRefresh(false);
  list.SetShowParentFolder(true);
  list.SetPath(dir.Path());
  auto folder = testing_support::MakeDetailsFolder(list.Navigator()->ShellFolder());
  folder->hiddenColumn = 1;  // no size column
  list.Navigator()->SetShellfolder(folder.Get());
  list.Refresh();
  const int date = ColumnCaptioned(list, "Modified");
  ASSERT_EQ(list.ColumnMap(date), 3);
  ASSERT_EQ(date, 2);

  list.SetSortColumn(date);
  EXPECT_EQ(ListOrder(list), kByDate);
  EXPECT_FALSE(folder->comparedColumns.count(2));  // not the list's column number
  // What the folder does with the column is known now: turning round and refilling ask no more.
  folder->comparedColumns.clear();
  list.SetSortColumn(date);
  EXPECT_EQ(ListOrder(list), Reversed(kByDate));
  list.Refresh();
  EXPECT_EQ(ListOrder(list), Reversed(kByDate));
  EXPECT_FALSE(folder->comparedColumns.count(3));
}

TEST(ShellListOrder, AFolderThatComparesByTheColumnKeepsItsOwnOrder) {
  TempDir dir;
  SizedFile(dir, "a.txt", 10, 1);
  SizedFile(dir, "b.txt", 20, 1);
  SizedFile(dir, "c.txt", 10, 1);
  SizedFile(dir, "d.txt", 5, 1);
  CountingList list;
  list.SetAutomaticRefresh(false);
  list.SetPath(dir.Path());
  host::ComPtr<IShellFolder> inner{list.Navigator()->ShellFolder()};
  auto folder = testing_support::MakeDetailsFolder(inner.Get());
  // By size, and equal sizes by name the other way round: an order of the folder's own.
  folder->compare = [&](LPARAM column, PCUIDLIST_RELATIVE a, PCUIDLIST_RELATIVE b) -> HRESULT {
    if ((column & SHCIDS_COLUMNMASK) != 1) return inner->CompareIDs(column, a, b);
    WIN32_FIND_DATAW first{}, second{};
    SHGetDataFromIDListW(inner.Get(), PCUITEMID_CHILD(a), SHGDFIL_FINDDATA, &first, sizeof first);
    SHGetDataFromIDListW(inner.Get(), PCUITEMID_CHILD(b), SHGDFIL_FINDDATA, &second,
                         sizeof second);
    int c = first.nFileSizeLow < second.nFileSizeLow ? -1
            : first.nFileSizeLow > second.nFileSizeLow ? 1
                                                      : -lstrcmpiW(first.cFileName, second.cFileName);
    return MAKE_HRESULT(SEVERITY_SUCCESS, 0, USHORT(short(c)));
  };
  list.Navigator()->SetShellfolder(folder.Get());
  list.Refresh();
  list.SetSortColumn(ColumnCaptioned(list, "Size"));
  EXPECT_EQ(ListOrder(list), (std::vector<String>{"d.txt", "c.txt", "a.txt", "b.txt"}));
  list.SetReverseSortOrder(true);
  EXPECT_EQ(ListOrder(list), (std::vector<String>{"b.txt", "a.txt", "c.txt", "d.txt"}));
}

TEST(ShellListOrder, ABackgroundFillEndsInTheValuesOrder) {
  TempDir first, dir;
  first.File("x.txt");
  MakeValueFolder(dir);
  host::TForm form;
  TKivShellList* list = new TKivShellList(&form);
  list->SetParent(&form);
  list->SetAutomaticRefresh(false);
  list->SetShowParentFolder(true);
  list->SetPath(first.Path());
  list->SetSortColumn(ColumnCaptioned(*list, "Size"));
  list->SetBackgroundFill(true);
  int populated = 0;
  list->OnPopulated = [&](host::TObject*) { ++populated; };
  list->SetPath(dir.Path());
  ASSERT_TRUE(testing_support::PumpMessagesUntil([&] { return populated > 0 && !list->Filling(); }));
  EXPECT_EQ(ListOrder(*list), kBySize);
  list->SetReverseSortOrder(true);
  populated = 0;
  list->Refresh();
  ASSERT_TRUE(testing_support::PumpMessagesUntil([&] { return populated > 0 && !list->Filling(); }));
  EXPECT_EQ(ListOrder(*list), Reversed(kBySize));
  list->SetParent(nullptr);
}
