// Tests of the selection list on real folder trees: entry forms, states, merging on add,
// splitting on remove, shortcut folders, drives, totals, enumeration and the ini form.
#include "selection/KivSelectionList.h"

#include "host/core/IniFiles.h"
#include "host/core/Raii.h"
#include "host/core/Streaming.h"
#include "shell/ShellGlobals.h"

#include <gtest/gtest.h>

#include "Outside.h"
#include "Pump.h"
#include "shell/TempDir.h"

#include <shlobj.h>
#include <winioctl.h>

#include <cstring>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

using host::String;
using zelnor::TKivSelectionList;
using zelnor::TKivSelectionState;

namespace {

std::vector<String> Entries(const TKivSelectionList& list) {
  std::vector<String> out;
  for (int i = 0; i < list.Count(); ++i) out.push_back(list.GetListItem(i));
  return out;
}

std::set<String> EntrySet(const TKivSelectionList& list) {
  const std::vector<String> entries = Entries(list);
  return {entries.begin(), entries.end()};
}

// Saves a shortcut to `target` as `linkFile`.
bool MakeShortcut(const String& linkFile, const String& target) {
  host::ComPtr<IShellLinkW> link;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&link))))
    return false;
  link->SetPath(host::ToWide(target).c_str());
  host::ComPtr<IPersistFile> file;
  return SUCCEEDED(link.As(&file)) && SUCCEEDED(file->Save(host::ToWide(linkFile).c_str(), TRUE));
}

// A small tree:  Data\x.txt (3 bytes)  Data\Sub\y.txt (5)  Data\Sub\z.txt (7)
//                Data\Sub\Deep\d.txt (2)  Data\Other\w.txt (11)  Data\Empty\ ;  28 bytes, 5 files.
class SelectionListTest : public ::testing::Test {
 protected:
  SelectionListTest() {
    data = dir.Folder("Data");
    sub = dir.Folder("Data\\Sub");
    deep = dir.Folder("Data\\Sub\\Deep");
    other = dir.Folder("Data\\Other");
    empty = dir.Folder("Data\\Empty");
    x = dir.File("Data\\x.txt", "abc");
    y = dir.File("Data\\Sub\\y.txt", "hello");
    z = dir.File("Data\\Sub\\z.txt", "1234567");
    d = dir.File("Data\\Sub\\Deep\\d.txt", "dd");
    w = dir.File("Data\\Other\\w.txt", "eleven char");
  }

  // Waits until every size job has reported its end on this thread.
  void WaitForTotals(TKivSelectionList& l) {
    ASSERT_TRUE(testing_support::PumpSynchronizeUntil([&] { return !l.Pool().ThreadsActive(); }));
  }

  TKivSelectionState State(const String& path, bool* full = nullptr) {
    bool f = false;
    const TKivSelectionState s = list.PathSelected(path, f);
    if (full) *full = f;
    return s;
  }

  host::CoInitializeGuard com;
  testing_support::TempDir dir;
  String data, sub, deep, other, empty, x, y, z, d, w;
  TKivSelectionList list;
};

TEST_F(SelectionListTest, FolderIsStoredOnceInFolderForm) {
  list.AddPathToSelection(data);
  list.AddPathToSelection(data + "\\");
  list.AddPathToSelection(data + "\\*");
  EXPECT_EQ(Entries(list), std::vector<String>{data + "\\*"});
  list.AddPathToSelection(x);  // covered already
  EXPECT_EQ(list.Count(), 1);
}

TEST_F(SelectionListTest, StatesOfFilesFoldersAndMissingPaths) {
  list.AddPathToSelection(sub);
  list.AddPathToSelection(x);
  bool full = true;
  EXPECT_EQ(State(data, &full), zelnor::ssGrayed);
  EXPECT_FALSE(full);
  EXPECT_EQ(State(sub, &full), zelnor::ssChecked);
  EXPECT_FALSE(full);
  EXPECT_EQ(State(x), zelnor::ssChecked);
  EXPECT_EQ(State(d, &full), zelnor::ssChecked);
  EXPECT_TRUE(full);
  EXPECT_EQ(State(other), zelnor::ssUnChecked);
  EXPECT_EQ(State(w), zelnor::ssUnChecked);
  // Case does not matter.
  EXPECT_EQ(State(host::AnsiUpperCase(y), &full), zelnor::ssChecked);
  for (const String& bad : {String{}, String{"."}, String{".."}, data + "\\missing.txt"}) {
    EXPECT_EQ(State(bad), zelnor::ssNone) << bad;
    list.AddPathToSelection(bad);
  }
  EXPECT_EQ(list.Count(), 2);
}

TEST_F(SelectionListTest, SiblingWithALongerNameIsNotInsideTheFolder) {
  dir.Folder("DataX");
  const String q = dir.File("DataX\\q.txt", "q");
  list.AddPathToSelection(q);
  EXPECT_EQ(State(data), zelnor::ssUnChecked);
  list.AddPathToSelection(data);
  EXPECT_EQ(Entries(list), (std::vector<String>{q, data + "\\*"}));
  EXPECT_EQ(State(dir.Path() + "\\DataX"), zelnor::ssGrayed);
  bool full = true;
  EXPECT_EQ(State(q, &full), zelnor::ssChecked);
  EXPECT_FALSE(full);
}

TEST_F(SelectionListTest, AddingAGrayedFolderReplacesTheEntriesBelowIt) {
  list.AddPathToSelection(sub);
  list.AddPathToSelection(x);
  int changes = 0;
  list.OnChange = [&](host::TObject* sender) {
    ++changes;
    EXPECT_EQ(sender, &list);
  };
  list.AddPathToSelection(data);
  EXPECT_EQ(Entries(list), std::vector<String>{data + "\\*"});
  EXPECT_EQ(changes, 1);
  bool full = false;
  EXPECT_EQ(State(y, &full), zelnor::ssChecked);
  EXPECT_TRUE(full);
}

TEST_F(SelectionListTest, RemovingAnItemOfASelectedFolderSplitsItsEntry) {
  list.AddPathToSelection(data);
  list.RemovePathFromSelection(y);
  EXPECT_EQ(EntrySet(list), (std::set<String>{z, deep + "\\*", x, other + "\\*", empty + "\\*"}));
  EXPECT_EQ(State(y), zelnor::ssUnChecked);
  EXPECT_EQ(State(sub), zelnor::ssGrayed);
  EXPECT_EQ(State(data), zelnor::ssGrayed);
  EXPECT_EQ(State(d), zelnor::ssChecked);
}

TEST_F(SelectionListTest, TotalsAfterChangesEqualAFreshComputation) {
  list.AddPathToSelection(data);
  WaitForTotals(list);
  EXPECT_EQ(list.Size(), 28);
  EXPECT_EQ(list.FileCount(), 5);

  list.RemovePathFromSelection(y);  // a file below the folder entry
  WaitForTotals(list);
  EXPECT_EQ(list.Size(), 23);
  EXPECT_EQ(list.FileCount(), 4);

  list.RemovePathFromSelection(other);  // a folder entry of its own
  list.RemovePathFromSelection(deep);
  WaitForTotals(list);
  EXPECT_EQ(list.Size(), 10);
  EXPECT_EQ(list.FileCount(), 2);

  TKivSelectionList fresh;
  fresh.SetPaths(list.Paths());
  WaitForTotals(fresh);
  EXPECT_EQ(fresh.Size(), list.Size());
  EXPECT_EQ(fresh.FileCount(), list.FileCount());

  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.Size(), 0);
  EXPECT_EQ(list.FileCount(), 0);
}

// The files change between a folder's count and its removal: what leaves the totals is what the
// folder brought, never a second measurement, so they cannot drift or go below zero.
TEST_F(SelectionListTest, AnEntryTakesBackExactlyWhatItBrought) {
  list.AddPathToSelection(data);
  WaitForTotals(list);
  ASSERT_EQ(list.Size(), 28);
  dir.File("Data\\Other\\big.bin", String(1000, 'b'));
  list.RemovePathFromSelection(data);
  WaitForTotals(list);
  EXPECT_EQ(list.Size(), 0);
  EXPECT_EQ(list.FileCount(), 0);

  // Removed and added again while its first job runs: the first job's count is dropped.
  list.AddPathToSelection(data);
  list.RemovePathFromSelection(data);
  list.AddPathToSelection(data);
  WaitForTotals(list);
  EXPECT_EQ(list.Size(), 1028);
  EXPECT_EQ(list.FileCount(), 6);

  // Split after a change below: the entries left count what they hold now, as a fresh count does.
  ASSERT_TRUE(DeleteFileW(host::ToWide(other + "\\big.bin").c_str()));
  dir.File("Data\\Sub\\new.txt", "1234");
  list.RemovePathFromSelection(y);
  WaitForTotals(list);
  TKivSelectionList fresh;
  fresh.SetPaths(list.Paths());
  WaitForTotals(fresh);
  EXPECT_EQ(list.Size(), fresh.Size());
  EXPECT_EQ(list.FileCount(), fresh.FileCount());
  EXPECT_EQ(list.Size(), 27);
  list.RemovePathFromSelection(data);
  WaitForTotals(list);
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.Size(), 0);
  EXPECT_EQ(list.FileCount(), 0);
}

TEST_F(SelectionListTest, RunningSizeJobsCanBeAskedForAndStopped) {
  EXPECT_FALSE(list.SizeCalculationRunning());
  list.AddPathToSelection(w);
  EXPECT_FALSE(list.SizeCalculationRunning()) << "a file counts at once";
  list.AddPathToSelection(sub);
  EXPECT_TRUE(list.SizeCalculationRunning());
  list.StopSizeCalculation();
  EXPECT_FALSE(list.SizeCalculationRunning());
  WaitForTotals(list);
  EXPECT_EQ(list.Size(), 11) << "the stopped folder stays uncounted, the file stays counted";
  EXPECT_EQ(list.FileCount(), 1);
  // Its removal takes back nothing it did not bring.
  list.RemovePathFromSelection(sub);
  WaitForTotals(list);
  EXPECT_EQ(list.Size(), 11);
  list.AddPathToSelection(sub);
  EXPECT_TRUE(list.SizeCalculationRunning());
  WaitForTotals(list);
  EXPECT_FALSE(list.SizeCalculationRunning());
  EXPECT_EQ(list.Size(), 11 + 14);
  EXPECT_EQ(list.FileCount(), 4);
}

// Case.txt, case.txt and CASE.txt made from the Unix side are three files; a second spelling of
// one object stays one entry.
TEST_F(SelectionListTest, NamesDifferingOnlyInCaseStayApartWhereTheFolderHoldsBoth) {
  const String cases = dir.Folder("Cases");
  if (!testing_support::FilesFromOutside(host::ToWide(cases),
                                         {{"Case.txt", "a"}, {"case.txt", "bb"}, {"CASE.txt", "ccc"}}))
    GTEST_SKIP() << "no Unix side to make the files from";
  const String first = cases + "\\Case.txt", second = cases + "\\case.txt",
               third = cases + "\\CASE.txt";
  list.AddPathToSelection(first);
  list.AddPathToSelection(second);
  list.AddPathToSelection(third);
  EXPECT_EQ(EntrySet(list), (std::set<String>{first, second, third}));
  EXPECT_EQ(list.FileCount(), 3);
  EXPECT_EQ(list.Size(), 6);
  list.RemovePathFromSelection(second);
  EXPECT_EQ(EntrySet(list), (std::set<String>{first, third}));
  EXPECT_EQ(State(second), zelnor::ssUnChecked);
  EXPECT_EQ(State(first), zelnor::ssChecked);
  EXPECT_EQ(list.Size(), 4);

  // The whole folder, then one spelling unticked: the other two stay, and count as they are.
  list.Clear();
  list.AddPathToSelection(cases);
  list.RemovePathFromSelection(second);
  EXPECT_EQ(EntrySet(list), (std::set<String>{first, third}));
  WaitForTotals(list);
  EXPECT_EQ(list.Size(), 4);
  EXPECT_EQ(list.FileCount(), 2);
  String complete;
  list.CompletePathSelected(first, complete);
  EXPECT_EQ(complete, first) << "case.txt is not ticked, so the folder is not complete";

  // A whole list at once as one by one.
  TKivSelectionList atOnce;
  host::TStringList three;
  for (const String& path : {first, second, third}) three.Add(path);
  atOnce.SetPaths(&three);
  EXPECT_EQ(atOnce.Count(), 3);
  EXPECT_EQ(atOnce.Size(), 6);

  // One object under a second spelling is the entry it already has.
  list.Clear();
  list.AddPathToSelection(x);
  const String shouted = data.substr(0, data.size() - 4) + "DATA\\X.TXT";
  EXPECT_EQ(State(shouted), zelnor::ssChecked);
  list.AddPathToSelection(shouted);
  EXPECT_EQ(Entries(list), std::vector<String>{x});
  EXPECT_EQ(list.FileCount(), 1);
  list.RemovePathFromSelection(shouted);
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.Size(), 0);
}

TEST_F(SelectionListTest, AbortedJobsLeaveNoStaleTotals) {
  list.AddPathToSelection(data);
  list.AbortSizeCalculation();
  WaitForTotals(list);
  EXPECT_EQ(list.Size(), 0);
  EXPECT_EQ(list.FileCount(), 0);
  list.Clear();
  list.AddPathToSelection(w);  // a file counts at once
  EXPECT_EQ(list.Size(), 11);
  EXPECT_EQ(list.FileCount(), 1);
}

TEST_F(SelectionListTest, RemovingGrayedFolderDeletesEntriesBelowAndUncheckedPathsChangeNothing) {
  list.AddPathToSelection(y);
  list.AddPathToSelection(deep);
  list.AddPathToSelection(w);
  list.RemovePathFromSelection(x);  // unchecked
  list.RemovePathFromSelection(data + "\\missing");
  EXPECT_EQ(list.Count(), 3);
  list.RemovePathFromSelection(sub);  // grayed
  EXPECT_EQ(Entries(list), std::vector<String>{w});
  list.RemovePathFromSelection(w);  // its own entry
  EXPECT_EQ(list.Count(), 0);
  WaitForTotals(list);
  EXPECT_EQ(list.Size(), 0);
  EXPECT_EQ(list.FileCount(), 0);
}

TEST_F(SelectionListTest, ShortcutFolderStandsForItsTarget) {
  const String link = dir.Folder("LinkToSub");
  ASSERT_TRUE(MakeShortcut(link + "\\target.lnk", sub));
  EXPECT_TRUE(TKivSelectionList::IsLinkedPath(link));
  EXPECT_TRUE(TKivSelectionList::IsLinkedPath(link + "\\*"));
  EXPECT_FALSE(TKivSelectionList::IsLinkedPath(sub));

  list.AddPathToSelection(link);
  EXPECT_EQ(Entries(list), std::vector<String>{sub + "\\*"});
  EXPECT_EQ(State(link), zelnor::ssChecked);
  list.RemovePathFromSelection(link);
  EXPECT_EQ(list.Count(), 0);

  // Unchecking the shortcut inside a selected folder splits around its target.
  list.AddPathToSelection(data);
  list.RemovePathFromSelection(link);
  EXPECT_EQ(EntrySet(list), (std::set<String>{x, other + "\\*", empty + "\\*"}));
  EXPECT_EQ(State(y), zelnor::ssUnChecked);

  list.SetResolveLinkedPaths(false);
  EXPECT_EQ(State(link), zelnor::ssNone);
}

TEST_F(SelectionListTest, ShortcutFolderIsSeenWhenItsLinkComesAndGoes) {
  const String folder = dir.Folder("LaterLinked");
  EXPECT_FALSE(TKivSelectionList::IsLinkedPath(folder));
  ASSERT_TRUE(MakeShortcut(folder + "\\target.lnk", sub));
  EXPECT_TRUE(TKivSelectionList::IsLinkedPath(folder));
  EXPECT_EQ(State(folder), zelnor::ssUnChecked);  // stands for Sub
  ASSERT_TRUE(DeleteFileW(host::ToWide(folder + "\\target.lnk").c_str()));
  EXPECT_FALSE(TKivSelectionList::IsLinkedPath(folder));
  EXPECT_FALSE(TKivSelectionList::IsLinkedPath(x)) << "a file holds no link";
  list.AddPathToSelection(folder);
  EXPECT_EQ(Entries(list), std::vector<String>{folder + "\\*"});
}

TEST_F(SelectionListTest, SizeJobsOfAChangeStartAfterTheControlsAreToldAndNotAfterAClear) {
  int poolAtUpdate = -1;
  list.OnUpdated = [&](host::TObject*) { poolAtUpdate = list.Pool().Count(); };
  list.AddPathToSelection(data);
  EXPECT_EQ(poolAtUpdate, 0) << "the job waits for the controls' refresh";
  EXPECT_EQ(list.Pool().Count(), 1);
  WaitForTotals(list);
  EXPECT_EQ(list.Size(), 28);

  // A job held in an update bracket goes with a clear inside it.
  list.Clear();
  list.BeginUpdate();
  list.AddPathToSelection(sub);
  list.Clear();
  list.EndUpdate();
  WaitForTotals(list);
  EXPECT_EQ(list.Size(), 0);
  EXPECT_EQ(list.FileCount(), 0);
  list.AddPathToSelection(other);
  WaitForTotals(list);
  EXPECT_EQ(list.Size(), 11);
}

TEST_F(SelectionListTest, ChildStatesAskedOfTheirFolderEqualThoseOfTheirLists) {
  list.AddPathToSelection(y);
  list.AddPathToSelection(deep);
  host::ComPtr<IShellFolder> folder;
  zelnor::UniquePidl dataList{zelnor::GetIdListFromPath(nullptr, data)};
  ASSERT_TRUE(dataList);
  ASSERT_TRUE(SUCCEEDED(zelnor::Desktop()->BindToObject(dataList.get(), nullptr,
                                                        IID_PPV_ARGS(&folder))));
  const std::pair<String, TKivSelectionState> expected[] = {
      {sub, zelnor::ssGrayed}, {x, zelnor::ssUnChecked}, {other, zelnor::ssUnChecked},
      {deep, zelnor::ssChecked}};
  for (const auto& [path, state] : expected) {
    zelnor::UniquePidl absolute{zelnor::GetIdListFromPath(nullptr, path)};
    ASSERT_TRUE(absolute);
    const int depth = zelnor::GetItemIdListDepth(absolute.get());
    zelnor::UniquePidl child{zelnor::GetItemIdListPart(absolute.get(), depth - 1)};
    // Deep is no child of Data: without its folder the absolute list answers.
    IShellFolder* parent = path == deep ? nullptr : folder.Get();
    EXPECT_EQ(list.IsChildSelected(parent, child.get(), absolute.get()), state) << path;
    EXPECT_EQ(list.IsPIDLSelected(absolute.get()), state) << path;
  }
  // My Computer, a child of the desktop without a path, is grayed while a local path is checked.
  zelnor::UniquePidl drives{zelnor::GetIdListFromSpecialFolder(zelnor::SF_DRIVES)};
  ASSERT_TRUE(drives);
  EXPECT_EQ(list.IsChildSelected(zelnor::Desktop(), drives.get(), drives.get()), zelnor::ssGrayed);
}

TEST_F(SelectionListTest, DrivesAndRoots) {
  host::TStrings* paths = list.Paths();
  EXPECT_FALSE(list.DifferentDrivesSelected());
  paths->Add("C:\\a.txt");
  EXPECT_FALSE(list.DifferentDrivesSelected());
  paths->Add("C:\\b.txt");
  EXPECT_FALSE(list.DifferentDrivesSelected());
  paths->Add("c:\\c.txt");
  EXPECT_TRUE(list.DifferentDrivesSelected());  // exact comparison
  EXPECT_TRUE(list.GetIsLocalPathSelected());
  EXPECT_FALSE(list.GetIsUNCPathSelected());
  paths->Add("\\\\server\\share\\d.txt");
  EXPECT_TRUE(list.GetIsUNCPathSelected());

  paths->Clear();
  EXPECT_FALSE(list.IsItemFullSelected("C:\\*"));
  EXPECT_FALSE(list.IsItemFullSelected(x));
  paths->Add("C:\\*");
  EXPECT_TRUE(list.IsItemFullSelected("C:\\*"));
  EXPECT_TRUE(list.IsItemFullSelected(x));
  EXPECT_TRUE(list.IsItemFullSelected(data + "\\*"));
  EXPECT_FALSE(list.IsItemFullSelected("D:\\*"));
}

TEST_F(SelectionListTest, ItemIdListsOfVirtualParentsAndFolders) {
  zelnor::UniquePidl drives{zelnor::GetIdListFromSpecialFolder(zelnor::SF_DRIVES)};
  zelnor::UniquePidl network{zelnor::GetIdListFromSpecialFolder(zelnor::SF_NETWORK)};
  zelnor::UniquePidl folder{zelnor::GetIdListFromPath(nullptr, sub)};
  ASSERT_TRUE(drives && folder);
  EXPECT_EQ(list.IsPIDLSelected(drives.get()), zelnor::ssNone);
  EXPECT_EQ(list.IsPIDLSelected(folder.get()), zelnor::ssUnChecked);
  list.AddPIDLToSelection(folder.get());
  EXPECT_EQ(Entries(list), std::vector<String>{sub + "\\*"});
  EXPECT_EQ(list.IsPIDLSelected(drives.get()), zelnor::ssGrayed);
  if (network) {
    EXPECT_EQ(list.IsPIDLSelected(network.get()), zelnor::ssNone);
  }
  EXPECT_EQ(list.IsPIDLSelected(folder.get()), zelnor::ssChecked);
  list.RemovePIDLFromSelection(folder.get());
  EXPECT_EQ(list.Count(), 0);
}

TEST_F(SelectionListTest, CompletenessFindsTheHighestCompleteFolder) {
  String result;
  list.AddPathToSelection(y);
  list.AddPathToSelection(z);
  list.CompletePathSelected(z, result);
  EXPECT_EQ(result, z);  // Deep is not selected
  list.AddPathToSelection(deep);
  list.CompletePathSelected(deep, result);
  EXPECT_EQ(result, sub);  // x.txt of Data is not selected
  zelnor::UniquePidl subList{zelnor::GetIdListFromPath(nullptr, deep)};
  zelnor::UniquePidl complete = list.CompletePIDLSelected(subList.get());
  EXPECT_EQ(zelnor::GetPathFromPidl(complete.get()), sub);
  // An object without a path has no complete folder (and does not turn into My Computer).
  zelnor::UniquePidl drives{zelnor::GetIdListFromSpecialFolder(zelnor::SF_DRIVES)};
  EXPECT_EQ(list.CompletePIDLSelected(drives.get()), nullptr);
  EXPECT_TRUE(list.CompleteChildPathSelected(sub));
  EXPECT_FALSE(list.CompleteChildPathSelected(data));
  EXPECT_FALSE(list.CompleteChildPathSelected(empty));
  EXPECT_FALSE(list.CompleteChildPathSelected(x));
}

TEST_F(SelectionListTest, WholeDriveCompleteGivesTheDriveRoot) {
  // Every object in the root of C: selected: the drive is complete.
  list.SetCalculateSize(false);
  std::vector<String> names;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(L"C:\\*", &found);
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  do {
    const String name = host::ToUtf8(found.cFileName);
    if (name == "." || name == "..") continue;
    names.push_back(name);
    list.Paths()->Add((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? "C:\\" + name + "\\*"
                                                                           : "C:\\" + name);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  ASSERT_GE(names.size(), 2u);
  String result;
  list.CompletePathSelected("C:\\" + names.front(), result);
  EXPECT_EQ(result, "C:\\");
  list.CompletePathSelected("C:\\" + names.back(), result);
  EXPECT_EQ(result, "C:\\");
  zelnor::UniquePidl item{zelnor::GetIdListFromPath(nullptr, "C:\\" + names.front())};
  zelnor::UniquePidl complete = list.CompletePIDLSelected(item.get());
  ASSERT_NE(complete, nullptr);
  EXPECT_EQ(zelnor::GetPathFromPidl(complete.get()), "C:\\");

  // Added, the root merges every entry into one.
  list.AddPathToSelection(result);
  EXPECT_EQ(Entries(list), std::vector<String>{"C:\\*"});

  // One object of the root not selected: the item itself.
  list.Paths()->Clear();
  for (size_t i = 1; i < names.size(); ++i) list.AddPathToSelection("C:\\" + names[i]);
  list.CompletePathSelected("C:\\" + names[1], result);
  EXPECT_EQ(result, "C:\\" + names[1]);
}

TEST_F(SelectionListTest, SettingPathsAtOnceGivesWhatAddingOneByOneGives) {
  const String link = dir.Folder("LinkToSub");
  ASSERT_TRUE(MakeShortcut(link + "\\target.lnk", sub));
  const std::vector<std::vector<String>> cases = {
      {y, z, sub, x, d},                                 // a folder absorbs what came before
      {sub, y, d, data + "\\Sub\\*", data + "\\", x},    // covered ones are dropped
      {x, data + "\\gone.txt", "", ".", "..", w, other},   // missing and odd paths go
      {link, y, data + "\\Sub", link + "\\*"},            // a shortcut folder is its target
      {deep, y, data, empty, "c:\\" + x.substr(3)},       // another spelling of a covered file
      {d, deep, sub, data, "D" + x.substr(1)}};
  for (const bool resolve : {true, false}) {
    for (const auto& wanted : cases) {
      TKivSelectionList oneByOne, atOnce;
      oneByOne.SetResolveLinkedPaths(resolve);
      atOnce.SetResolveLinkedPaths(resolve);
      for (const String& p : wanted) oneByOne.AddPathToSelection(p);
      host::TStringList strings;
      for (const String& p : wanted) strings.Add(p);
      int changes = 0;
      atOnce.OnChange = [&](host::TObject*) { ++changes; };
      atOnce.SetPaths(&strings);
      EXPECT_EQ(Entries(atOnce), Entries(oneByOne)) << "case starting " << wanted.front();
      EXPECT_LE(changes, 2);
      WaitForTotals(oneByOne);
      WaitForTotals(atOnce);
      EXPECT_EQ(atOnce.Size(), oneByOne.Size());
      EXPECT_EQ(atOnce.FileCount(), oneByOne.FileCount());
    }
  }
}

TEST_F(SelectionListTest, LoadingReadsPastALineWithoutKey) {
  const String ini = dir.Path() + "\\keyless.ini";
  const std::wstring text = L"\xFEFF[Selection]\r\n" + host::ToWide(x) + L"=\r\n=stray\r\n" +
                            host::ToWide(sub) + L"\\*=\r\n";
  {
    host::UniqueFile f{CreateFileW(host::ToWide(ini).c_str(), GENERIC_WRITE, 0, nullptr,
                                   CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)};
    DWORD written = 0;
    WriteFile(f.get(), text.data(), DWORD(text.size() * sizeof(wchar_t)), &written, nullptr);
  }
  list.LoadFromIniFile(ini, "Selection");
  EXPECT_EQ(Entries(list), (std::vector<String>{x, sub + "\\*"}));
}

TEST_F(SelectionListTest, LoadingManyEntriesOfOneFolderKeepsWhatExistsInAnyCase) {
  // Enough names in one folder that its listing answers for them.
  dir.Folder("Many");
  std::vector<String> names;
  for (int i = 0; i < 24; ++i)
    names.push_back(dir.File("Many\\file " + std::to_string(10 + i) + ".txt", "abc"));
  const String folder = dir.Folder("Many\\Inner");
  host::TStringList keys;
  for (int i = 0; i < 20; ++i) keys.Add(names[size_t(i)]);
  keys.Add(dir.Path() + "\\Many\\gone.txt");
  keys.Add(host::AnsiUpperCase(names[20]));
  keys.Add(folder);
  list.SetPaths(&keys);
  std::set<String> expected{names.begin(), names.begin() + 20};
  expected.insert(host::AnsiUpperCase(names[20]));
  expected.insert(folder + "\\*");
  EXPECT_EQ(EntrySet(list), expected);
  EXPECT_EQ(list.FileCount(), 21);
  EXPECT_EQ(list.Size(), 63);
}

TEST_F(SelectionListTest, FindNextReturnsFilesThenFolderContentsDepthFirstThenStartsOver) {
  list.AddPathToSelection(w);
  list.AddPathToSelection(sub);
  std::vector<String> found;
  for (String f = list.FindNext(); !f.empty(); f = list.FindNext()) found.push_back(f);
  ASSERT_EQ(found.size(), 4u);
  EXPECT_EQ(found[0], w);
  EXPECT_EQ((std::set<String>{found[1], found[2]}), (std::set<String>{y, z}));
  EXPECT_EQ(found[3], d);
  EXPECT_EQ(list.FindNext(), w);  // starts over
}

// A junction at `link` to `target`; false when the platform cannot make one.
bool MakeJunction(const String& link, const String& target) {
  const std::wstring wideLink = host::ToWide(link);
  if (!CreateDirectoryW(wideLink.c_str(), nullptr)) return false;
  host::UniqueFile folder{CreateFileW(wideLink.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                      nullptr)};
  const std::wstring substitute = L"\\??\\" + host::ToWide(target);
  std::vector<BYTE> buffer(16 + (substitute.size() + 2) * sizeof(wchar_t));
  auto* words = reinterpret_cast<WORD*>(buffer.data());
  const DWORD tag = IO_REPARSE_TAG_MOUNT_POINT;
  std::memcpy(buffer.data(), &tag, sizeof tag);
  words[2] = WORD(buffer.size() - 8);                    // data length
  words[5] = WORD(substitute.size() * sizeof(wchar_t));  // substitute name length
  words[6] = WORD(words[5] + sizeof(wchar_t));           // print name offset
  std::memcpy(buffer.data() + 16, substitute.data(), words[5]);
  DWORD bytes = 0;
  const bool made = folder && DeviceIoControl(folder.get(), FSCTL_SET_REPARSE_POINT, buffer.data(),
                                              DWORD(buffer.size()), nullptr, 0, &bytes, nullptr);
  folder.reset();
  const DWORD attributes = GetFileAttributesW(wideLink.c_str());
  if (made && attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
    return true;
  RemoveDirectoryW(wideLink.c_str());
  return false;
}

TEST_F(SelectionListTest, FolderIdentityIsTheSameUnderEverySpelling) {
  zelnor::FolderIdentity a, b, c;
  ASSERT_TRUE(zelnor::GetFolderIdentity(sub, a));
  ASSERT_TRUE(zelnor::GetFolderIdentity(host::AnsiUpperCase(sub) + "\\", b));
  ASSERT_TRUE(zelnor::GetFolderIdentity(deep + "\\..", c));
  EXPECT_EQ(a, b);
  EXPECT_EQ(a, c);
  ASSERT_TRUE(zelnor::GetFolderIdentity(other, c));
  EXPECT_FALSE(a == c);
  EXPECT_FALSE(zelnor::GetFolderIdentity(data + "\\missing", c));
}

TEST_F(SelectionListTest, FindNextDoesNotFollowALinkBackUpTheTree) {
  if (!MakeJunction(deep + "\\loop", data)) GTEST_SKIP() << "folder links cannot be made here";
  list.AddPathToSelection(data);
  std::set<String> found;
  for (String f = list.FindNext(); !f.empty() && found.size() < 100; f = list.FindNext())
    found.insert(f);
  EXPECT_EQ(found, (std::set<String>{x, y, z, d, w}));
  RemoveDirectoryW(host::ToWide(deep + "\\loop").c_str());
}

TEST_F(SelectionListTest, FindNextStartsOverAfterAChange) {
  list.AddPathToSelection(other);
  list.AddPathToSelection(sub);
  EXPECT_EQ(list.FindNext(), w);
  const String first = list.FindNext();
  EXPECT_TRUE(first == y || first == z);
  list.RemovePathFromSelection(sub);
  // The search opened in Sub is gone with its entry.
  EXPECT_EQ(list.FindNext(), w);
  EXPECT_EQ(list.FindNext(), String{});
}

TEST_F(SelectionListTest, IniFileKeepsEveryNameThatAKeyCanHold) {
  const String wide = dir.File("Data\\\xd0\x96\xd1\x83\xd0\xba-\xe2\x82\xac.txt", "x");  // Жук-€
  const String equals = dir.File("Data\\a=b.txt", "y");
  list.AddPathToSelection(wide);
  list.AddPathToSelection(sub);
  list.AddPathToSelection(equals);
  const String ini = dir.Path() + "\\selection.ini";
  list.SaveToIniFile(ini, "Selection");
  list.SaveToIniFile(ini, "Selection");  // the section is rewritten, not appended to

  host::TIniFile file(ini);
  host::TStringList keys;
  file.ReadSection("Selection", &keys);
  EXPECT_EQ(keys.Count(), 2);
  EXPECT_EQ(file.ReadString("Selection", wide, "missing"), "");

  TKivSelectionList loaded;
  loaded.LoadFromIniFile(ini, "Selection");
  EXPECT_EQ(Entries(loaded), (std::vector<String>{wide, sub + "\\*"}));
  WaitForTotals(loaded);
  EXPECT_EQ(loaded.Size(), 1 + 5 + 7 + 2);
}

TEST_F(SelectionListTest, AssigningItsOwnEntriesKeepsThem) {
  list.AddPathToSelection(x);
  list.AddPathToSelection(sub);
  list.SetPaths(list.Paths());
  EXPECT_EQ(Entries(list), (std::vector<String>{x, sub + "\\*"}));
  list.Assign(&list);
  EXPECT_EQ(list.Count(), 2);

  TKivSelectionList copy;
  copy.Paths()->Add(data + "\\*");
  copy.Assign(&list);
  EXPECT_EQ(Entries(copy), Entries(list));
  host::TStringList foreign;
  EXPECT_THROW(copy.Assign(&foreign), host::Exception);

  // Re-added one by one: covered and missing entries disappear, folders take the folder form.
  host::TStringList raw;
  raw.Add(y);
  raw.Add(data);
  raw.Add(data + "\\gone.txt");
  copy.SetPaths(&raw);
  EXPECT_EQ(Entries(copy), std::vector<String>{data + "\\*"});
}

TEST_F(SelectionListTest, EntriesTravelWithTheFormAndAreRevalidatedWhenRead) {
  list.SetName("Selection1");
  list.AddPathToSelection(x);
  list.AddPathToSelection(sub);
  const String text = host::WriteComponentText(&list);
  EXPECT_NE(text.find("Paths = ("), String::npos);

  host::DeleteFile(x);
  TKivSelectionList read;
  host::ReadComponentText(text, &read);
  EXPECT_EQ(Entries(read), std::vector<String>{sub + "\\*"});
}

TEST_F(SelectionListTest, EntriesEditedFromOutsideAreSeen) {
  host::TStrings* paths = list.Paths();
  paths->Add(sub + "\\*");
  EXPECT_EQ(State(y), zelnor::ssChecked);
  paths->SetStrings(0, other + "\\*");
  EXPECT_EQ(State(y), zelnor::ssUnChecked);
  EXPECT_EQ(State(w), zelnor::ssChecked);
  paths->Insert(0, x);
  paths->Exchange(0, 1);
  EXPECT_EQ(State(x), zelnor::ssChecked);
  paths->Delete(1);
  EXPECT_EQ(State(x), zelnor::ssUnChecked);
  paths->BeginUpdate();
  paths->Add(data + "\\*");
  EXPECT_EQ(State(y), zelnor::ssChecked);
  paths->Clear();
  EXPECT_EQ(State(y), zelnor::ssUnChecked);
  paths->EndUpdate();
}

TEST_F(SelectionListTest, FreedWithPendingJobsAndOpenSearches) {
  auto* doomed = new TKivSelectionList();
  doomed->AddPathToSelection(data);
  doomed->AddPathToSelection(w);
  EXPECT_FALSE(doomed->FindNext().empty());
  delete doomed;
}

}  // namespace
