// The change notifier: registrations, the duplicate filter, delivery of OnChange, and the
// file-system watch.
#include <gtest/gtest.h>

#include <shellapi.h>
#include <shlobj.h>

#include <string>
#include <utility>
#include <vector>

#include "Outside.h"
#include "Pump.h"
#include "extras/ShellChangeNotifier.h"
#include "host/core/Messages.h"
#include "shell/ShellGlobals.h"
#include "shell/TempDir.h"

using namespace zelnor;
using testing_support::PumpMessagesUntil;
using testing_support::TempDir;

namespace {

struct Report {
  TNotificationEvent event;
  String path1, path2;
};

// Records both events of a notifier.
struct Recorder {
  std::vector<Report> immediate;  // OnChangePIDL
  std::vector<Report> delivered;  // OnChange
  explicit Recorder(TKivShellChangeNotifier& n) {
    n.OnChangePIDL = [this](host::TObject*, TNotificationEvent e, PItemIDList p1, PItemIDList p2) {
      immediate.push_back({e, GetPathFromPidl(p1), GetPathFromPidl(p2)});
    };
    n.OnChange = [this](host::TObject*, TNotificationEvent e, const String& p1, const String& p2) {
      delivered.push_back({e, p1, p2});
    };
  }
  String Dump() const {
    String out;
    for (const auto& r : immediate) out += host::IntToStr(r.event) + " " + r.path1 + " " + r.path2 + "\n";
    return out;
  }
  bool Saw(TNotificationEvent e, const String& path) const {
    for (const auto& r : immediate)
      if (r.event == e && host::SameText(r.path1, path)) return true;
    return false;
  }
};

// A notifier whose duplicate-filter clock the test moves.
class ClockedNotifier : public TKivShellChangeNotifier {
 public:
  DWORD now = 100000;

 protected:
  DWORD TickCount() const override { return now; }
};

// Sends the notifier a report as the shell's classic delivery does.
void SendReport(TKivShellChangeNotifier& n, LONG code, PCItemIDList p1, PCItemIDList p2 = nullptr) {
  PCItemIDList lists[2] = {p1, p2};
  SendMessageW(n.WindowHandle(), WM_SHELLNOTIFY, WPARAM(lists), LPARAM(code));
}

void AnnounceCreate(const String& path) {
  SHChangeNotify(SHCNE_CREATE, SHCNF_PATHW | SHCNF_FLUSH, host::ToWide(path).c_str(), nullptr);
}

// Runs the message queue until everything posted so far has been handled.
void DrainPostedMessages() {
  bool seen = false;
  HWND sentinel = host::AllocateHWnd([&](host::TMessage& m) {
    if (m.Msg == WM_APP + 1) seen = true;
    host::DefaultHandler(m);
  });
  PostMessageW(sentinel, WM_APP + 1, 0, 0);
  PumpMessagesUntil([&] { return seen; });
  host::DeallocateHWnd(sentinel);
}

}  // namespace

TEST(ShellChangeNotifier, NewNotifierWatchesMyComputerThroughAnEmptyEntry) {
  TKivShellChangeNotifier n;
  ASSERT_NE(KivSHChangeNotifyRegister(), nullptr);
  EXPECT_TRUE(n.Enabled());
  EXPECT_TRUE(n.Active());
  EXPECT_TRUE(n.Recursive());
  EXPECT_EQ(n.EventFilter(), 0xFFFFFu);
  ASSERT_EQ(n.Directories()->Count(), 1);
  EXPECT_EQ(n.Directories()->Strings(0), "");
  EXPECT_EQ(n.GetDirectory(), "");

  // The placeholder watches every drive: an announced change anywhere on C: arrives.
  TempDir dir;
  Recorder r(n);
  const String file = dir.File("a.txt");
  AnnounceCreate(file);
  EXPECT_TRUE(r.Saw(neFileCreate, file));
}

TEST(ShellChangeNotifier, RealDirectoryReplacesPlaceholderAndIsHeldOnce) {
  TempDir dir, other;
  TKivShellChangeNotifier n;
  n.SetFileSystemWatch(fwOff);
  n.SetDirectory(dir.Path());
  n.SetDirectory(dir.Path());
  ASSERT_EQ(n.Directories()->Count(), 1);
  EXPECT_EQ(n.GetDirectory(), dir.Path());
  EXPECT_TRUE(n.Active());

  Recorder r(n);
  const String inside = dir.File("in.txt");
  const String outside = other.File("out.txt");
  AnnounceCreate(inside);
  AnnounceCreate(outside);
  ASSERT_EQ(r.immediate.size(), 1u);
  EXPECT_TRUE(r.Saw(neFileCreate, inside));
}

TEST(ShellChangeNotifier, StartWhileActiveDoesNotRegisterTwice) {
  TempDir dir;
  TKivShellChangeNotifier n;
  n.SetFileSystemWatch(fwOff);
  n.SetDirectory(dir.Path());
  n.Start();
  n.Start();
  Recorder r(n);
  AnnounceCreate(dir.File("a.txt"));
  EXPECT_EQ(r.immediate.size(), 1u);

  // Stop drops the only registration.
  n.Stop();
  EXPECT_FALSE(n.Active());
  AnnounceCreate(dir.File("b.txt"));
  EXPECT_EQ(r.immediate.size(), 1u);
}

TEST(ShellChangeNotifier, DuplicateFilterAndItsExceptions) {
  TempDir dir;
  const String file = dir.File("a.txt");
  UniquePidl list = GetIdListFromPath(Desktop(), file);
  ASSERT_TRUE(list);
  ClockedNotifier n;
  n.SetFileSystemWatch(fwOff);
  Recorder r(n);

  SendReport(n, SHCNE_UPDATEITEM, list.get());
  n.now += 2499;
  SendReport(n, SHCNE_UPDATEITEM, list.get());
  EXPECT_EQ(r.immediate.size(), 1u) << "same report within 2500 ms";
  n.now += 2501;
  SendReport(n, SHCNE_UPDATEITEM, list.get());
  EXPECT_EQ(r.immediate.size(), 2u) << "same report after 2500 ms";
  SendReport(n, SHCNE_ATTRIBUTES, list.get());
  EXPECT_EQ(r.immediate.size(), 3u) << "another event code";

  // The desktop itself (no ids) is never taken for a duplicate.
  SendReport(n, SHCNE_UPDATEDIR, DesktopIdList());
  SendReport(n, SHCNE_UPDATEDIR, DesktopIdList());
  EXPECT_EQ(r.immediate.size(), 5u);

  // Association and image-list changes always pass.
  SendReport(n, SHCNE_ASSOCCHANGED, nullptr);
  SendReport(n, SHCNE_ASSOCCHANGED, nullptr);
  EXPECT_EQ(r.immediate.size(), 7u);
  EXPECT_EQ(r.immediate.back().event, neAssociationChange);
  EXPECT_EQ(r.immediate.back().path1, "");

  // The changed image index travels as a number in the second item.
#pragma pack(push, 1)
  struct DwordList {
    USHORT cb;
    DWORD item1, item2;
    USHORT zero;
  };
#pragma pack(pop)
  DwordList first{sizeof(DwordList) - sizeof(USHORT), 0, 0, 0};
  DwordList second{sizeof(DwordList) - sizeof(USHORT), 42, 0, 0};
  n.OnChangePIDL = nullptr;
  std::vector<String> images;
  n.OnChange = [&](host::TObject*, TNotificationEvent e, const String& p1, const String&) {
    if (e == neImageListChange) images.push_back(p1);
  };
  for (int i = 0; i < 2; ++i)
    SendReport(n, SHCNE_UPDATEIMAGE, reinterpret_cast<PCItemIDList>(&first),
               reinterpret_cast<PCItemIDList>(&second));
  PumpMessagesUntil([&] { return images.size() == 2; });
  EXPECT_EQ(images, (std::vector<String>{"42", "42"}));
}

TEST(ShellChangeNotifier, SeveralEventBitsGiveUnknownAndTheTopBitIsIgnored) {
  TempDir dir;
  UniquePidl list = GetIdListFromPath(Desktop(), dir.File("a.txt"));
  TKivShellChangeNotifier n;
  Recorder r(n);
  SendReport(n, SHCNE_CREATE | SHCNE_UPDATEITEM, list.get());
  SendReport(n, LONG(SHCNE_RENAMEITEM | 0x80000000u), list.get());
  SendReport(n, 0, list.get());
  ASSERT_EQ(r.immediate.size(), 3u);
  EXPECT_EQ(r.immediate[0].event, neUnknown);
  EXPECT_EQ(r.immediate[1].event, neFileRename);
  EXPECT_EQ(r.immediate[2].event, neUnknown);
  EXPECT_TRUE(host::SameText(r.immediate[0].path1, dir.Path() + "\\a.txt"));
}

TEST(ShellChangeNotifier, OnChangeComesLaterOncePerReportInOrderAndStopDropsIt) {
  TempDir dir;
  const String a = dir.File("a.txt"), b = dir.File("b.txt");
  TKivShellChangeNotifier n;
  n.SetFileSystemWatch(fwOff);
  n.SetDirectory(dir.Path());
  Recorder r(n);
  size_t deliveredDuringReport = 99;
  n.OnChangePIDL = [&](host::TObject*, TNotificationEvent e, PItemIDList p1, PItemIDList) {
    r.immediate.push_back({e, GetPathFromPidl(p1), {}});
    deliveredDuringReport = r.delivered.size();
  };
  AnnounceCreate(a);
  AnnounceCreate(b);
  EXPECT_EQ(deliveredDuringReport, 0u);
  EXPECT_TRUE(r.delivered.empty());
  DrainPostedMessages();
  ASSERT_EQ(r.delivered.size(), 2u);
  EXPECT_TRUE(host::SameText(r.delivered[0].path1, a));
  EXPECT_TRUE(host::SameText(r.delivered[1].path1, b));
  EXPECT_EQ(r.delivered[0].event, neFileCreate);

  // Setting a setting to its current value does not restart (which would drop the pending call).
  AnnounceCreate(dir.File("c.txt"));
  n.SetRecursive(true);
  n.SetEventFilter(n.EventFilter());
  DrainPostedMessages();
  EXPECT_EQ(r.delivered.size(), 3u);

  AnnounceCreate(dir.File("d.txt"));
  n.Stop();
  DrainPostedMessages();
  EXPECT_EQ(r.delivered.size(), 3u);

  // Switching off is a stop too.
  n.Start();
  AnnounceCreate(dir.File("e.txt"));
  n.SetEnabled(false);
  DrainPostedMessages();
  EXPECT_EQ(r.delivered.size(), 3u);
}

TEST(ShellChangeNotifier, RestartsKeepTheOnChangeOfReportsAlreadyMade) {
  TempDir dir, other;
  TKivShellChangeNotifier n;
  n.SetFileSystemWatch(fwOff);
  n.SetDirectory(dir.Path());
  Recorder r(n);
  std::vector<String> files;
  auto announce = [&](const char* name) {
    files.push_back(dir.File(name));
    AnnounceCreate(files.back());
  };
  announce("recursive.txt");
  // Wine's shell reports nothing below a folder registered without its subfolders: back again.
  n.SetRecursive(false);
  n.SetRecursive(true);
  announce("filter.txt");
  n.SetNotificationEvent(neFileChange, false);
  announce("directories.txt");
  n.SetDirectory(other.Path());
  announce("pidl.txt");
  UniquePidl folder{GetIdListFromPath(Desktop(), dir.Path())};
  n.SetPIDL(folder.get());
  ASSERT_EQ(r.immediate.size(), 4u);
  EXPECT_TRUE(r.delivered.empty());
  DrainPostedMessages();
  ASSERT_EQ(r.delivered.size(), 4u);
  for (size_t i = 0; i < files.size(); ++i) {
    EXPECT_TRUE(host::SameText(r.delivered[i].path1, files[i])) << r.delivered[i].path1;
  }
}

TEST(ShellChangeNotifier, BurstForOneFolderGivesOneFolderUpdateToOnChange) {
  TempDir dir;
  const String sub = dir.Folder("sub");
  TKivShellChangeNotifier n;
  n.SetFileSystemWatch(fwOff);
  n.SetDirectory(dir.Path());
  Recorder r(n);
  // Reports of one folder come faster than they are delivered.
  const int burst = int(TKivShellChangeNotifier::BURST_REPORTS) + 8;
  for (int i = 0; i < burst; ++i) AnnounceCreate(dir.File("f" + host::IntToStr(i) + ".txt"));
  AnnounceCreate(sub + "\\one.txt");
  EXPECT_EQ(r.immediate.size(), size_t(burst + 1)) << "every report is handled at once";
  DrainPostedMessages();
  ASSERT_EQ(r.delivered.size(), 2u);
  EXPECT_EQ(r.delivered[0].event, neFolderUpdate);
  EXPECT_TRUE(host::SameText(r.delivered[0].path1, dir.Path())) << r.delivered[0].path1;
  EXPECT_EQ(r.delivered[1].event, neFileCreate);
  EXPECT_TRUE(host::SameText(r.delivered[1].path1, sub + "\\one.txt"));

  // Up to the limit each report is delivered, in order; one equal to the last about the same
  // object adds nothing (here it passes the duplicate filter, which keeps time).
  ClockedNotifier c;
  c.SetFileSystemWatch(fwOff);
  Recorder rc(c);
  const String a = dir.File("a.txt"), b = dir.File("b.txt");
  UniquePidl listA{GetIdListFromPath(Desktop(), a)}, listB{GetIdListFromPath(Desktop(), b)};
  const std::pair<LONG, PCItemIDList> reports[] = {
      {SHCNE_CREATE, listA.get()},     {SHCNE_CREATE, listB.get()},
      {SHCNE_DELETE, listA.get()},     {SHCNE_UPDATEITEM, listB.get()},
      {SHCNE_UPDATEITEM, listB.get()}, {SHCNE_CREATE, listA.get()}};
  for (auto [code, list] : reports) {
    c.now += 3000;
    SendReport(c, code, list);
  }
  EXPECT_EQ(rc.immediate.size(), 6u);
  DrainPostedMessages();
  ASSERT_EQ(rc.delivered.size(), 5u);
  const TNotificationEvent order[] = {neFileCreate, neFileCreate, neFileDelete, neFileChange,
                                      neFileCreate};
  const String paths[] = {a, b, a, b, a};
  for (size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(rc.delivered[i].event, order[i]) << i;
    EXPECT_TRUE(host::SameText(rc.delivered[i].path1, paths[i])) << i;
  }
}

TEST(ShellChangeNotifier, BurstOfPlainFilesReachesOnChangePidlAsOneFolderUpdate) {
  if (ShellReportsFileSystemChanges()) GTEST_SKIP() << "the shell reports these itself";
  TempDir dir;
  TKivShellChangeNotifier n;
  n.SetRecursive(false);
  n.SetDirectory(dir.Path());
  ASSERT_TRUE(n.WatchingFileSystem());
  Recorder r(n);
  // Made while the notifier's thread is busy: the watch gathers them all.
  const int count = 300;
  for (int i = 0; i < count; ++i) dir.File("burst" + host::IntToStr(i) + ".txt");
  EXPECT_TRUE(PumpMessagesUntil([&] { return r.Saw(neFolderUpdate, dir.Path()); })) << r.Dump();
  DrainPostedMessages();
  EXPECT_LT(r.immediate.size(), size_t(count) / 2) << r.Dump();
}

TEST(ShellChangeNotifier, NoDeliveryAfterDestruction) {
  TempDir dir;
  // A notifier that stays shows that the change is delivered to whoever is still there.
  int survivorDelivered = 0;
  TKivShellChangeNotifier survivor;
  survivor.SetDirectory(dir.Path());
  survivor.OnChange = [&](host::TObject*, TNotificationEvent, const String&, const String&) {
    ++survivorDelivered;
  };
  int delivered = 0;
  int reported = 0;
  {
    TKivShellChangeNotifier n;
    n.SetDirectory(dir.Path());
    n.OnChangePIDL = [&](host::TObject*, TNotificationEvent, PItemIDList, PItemIDList) {
      ++reported;
    };
    n.OnChange = [&](host::TObject*, TNotificationEvent, const String&, const String&) {
      ++delivered;
    };
    AnnounceCreate(dir.File("a.txt"));
    EXPECT_GE(reported, 1);  // the report arrived; its delivery was still waiting
  }
  DrainPostedMessages();
  EXPECT_GE(survivorDelivered, 1);
  EXPECT_EQ(delivered, 0);
}

TEST(ShellChangeNotifier, SettingsWhileInactiveAreOnlyStored) {
  TKivShellChangeNotifier n;
  n.SetEnabled(false);
  EXPECT_FALSE(n.Active());
  n.SetRecursive(false);
  n.SetNotificationEvent(neFileCreate, false);
  EXPECT_FALSE(n.Active());
  EXPECT_FALSE(n.Recursive());
  EXPECT_FALSE(n.GetNotificationEvent(neFileCreate));
  EXPECT_TRUE(n.GetNotificationEvent(neFileDelete));
  n.SetEnabled(true);
  EXPECT_TRUE(n.Active());
}

TEST(ShellChangeNotifier, SetPidlNilKeepsTheStoredList) {
  TempDir dir;
  UniquePidl folder = GetIdListFromPath(Desktop(), dir.Path());
  TKivShellChangeNotifier n;
  n.SetFileSystemWatch(fwOff);
  n.SetPIDL(folder.get());
  EXPECT_EQ(n.Directories()->Count(), 0);
  Recorder r(n);
  AnnounceCreate(dir.File("a.txt"));
  EXPECT_EQ(r.immediate.size(), 1u);

  n.SetPIDL(nullptr);
  EXPECT_FALSE(n.Active());
  AnnounceCreate(dir.File("b.txt"));
  EXPECT_EQ(r.immediate.size(), 1u);
  n.Start();
  AnnounceCreate(dir.File("c.txt"));
  EXPECT_EQ(r.immediate.size(), 2u);
  EXPECT_EQ(n.Directories()->Count(), 0);
}

TEST(ShellChangeNotifier, WithoutFileRenamesAnItemRenameCountsOnlyForAFolder) {
  TempDir dir;
  const String folder = dir.Folder("folder");
  const String file = dir.File("file.txt", "x");
  TKivShellChangeNotifier n;
  n.SetFileSystemWatch(fwOff);
  n.SetNotificationEvent(neFileRename, false);
  n.SetDirectory(dir.Path());
  Recorder r(n);
  // Renamed by the shell's file operation, which announces each (Wine: both as item renames).
  const auto rename = [](const String& from, const String& to) {
    const host::WideString source = host::ToWide(from) + L'\0', target = host::ToWide(to) + L'\0';
    SHFILEOPSTRUCTW op{};
    op.wFunc = FO_RENAME;
    op.pFrom = source.c_str();
    op.pTo = target.c_str();
    op.fFlags = FOF_NO_UI;
    return SHFileOperationW(&op);
  };
  ASSERT_EQ(rename(file, dir.Path() + "\\renamed.txt"), 0);
  ASSERT_EQ(rename(folder, dir.Path() + "\\moved"), 0);
  EXPECT_TRUE(PumpMessagesUntil([&] { return r.Saw(neFolderRename, folder); })) << r.Dump();
  DrainPostedMessages();
  for (const auto& rep : r.immediate) {
    EXPECT_NE(rep.event, neFileRename) << r.Dump();
    EXPECT_FALSE(host::SameText(rep.path1, file)) << r.Dump();
  }
}

TEST(ShellChangeNotifier, FileSystemWatchReportsPlainFileChanges) {
  if (ShellReportsFileSystemChanges()) GTEST_SKIP() << "the shell reports these itself";
  TempDir dir;
  const String sub = dir.Folder("sub");
  const String gone = dir.Folder("gone");
  TKivShellChangeNotifier n;
  EXPECT_EQ(n.FileSystemWatch(), fwAutomatic);
  n.SetRecursive(false);
  n.SetDirectory(dir.Path());
  EXPECT_TRUE(n.WatchingFileSystem());
  Recorder r(n);

  const std::wstring file = dir.PathW() + L"\\plain.txt";
  HANDLE h = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(h);
  const String fileU = host::ToUtf8(file);
  EXPECT_TRUE(PumpMessagesUntil([&] { return r.Saw(neFileCreate, fileU); }));

  const String renamed = dir.Path() + "\\renamed.txt";
  ASSERT_TRUE(MoveFileW(file.c_str(), host::ToWide(renamed).c_str()));
  EXPECT_TRUE(PumpMessagesUntil([&] { return r.Saw(neFileRename, fileU); }));
  for (const auto& rep : r.immediate) {
    if (rep.event == neFileRename) {
      EXPECT_TRUE(host::SameText(rep.path2, renamed));
    }
  }

  ASSERT_TRUE(DeleteFileW(host::ToWide(renamed).c_str()));
  // The deleted file no longer has a path of its own; its list still names it.
  EXPECT_TRUE(PumpMessagesUntil([&] {
    for (const auto& rep : r.immediate)
      if (rep.event == neFileDelete) return true;
    return false;
  }));

  const String made = dir.Path() + "\\made";
  ASSERT_TRUE(CreateDirectoryW(host::ToWide(made).c_str(), nullptr));
  EXPECT_TRUE(PumpMessagesUntil([&] { return r.Saw(neFolderCreate, made); }));
  ASSERT_TRUE(RemoveDirectoryW(host::ToWide(gone).c_str()));
  EXPECT_TRUE(PumpMessagesUntil([&] {
    for (const auto& rep : r.immediate)
      if (rep.event == neFolderDelete) return true;
    return false;
  }));

  // Not recursive: a change inside a subfolder is not reported as its own item.
  const size_t before = r.immediate.size();
  const String deep = sub + "\\deep.txt";
  HANDLE d = CreateFileW(host::ToWide(deep).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  CloseHandle(d);
  DrainPostedMessages();
  for (size_t i = before; i < r.immediate.size(); ++i) {
    EXPECT_FALSE(host::SameText(r.immediate[i].path1, deep));
  }

  n.SetFileSystemWatch(fwOff);
  EXPECT_FALSE(n.WatchingFileSystem());
  EXPECT_TRUE(n.Active());
}

TEST(ShellChangeNotifier, RecursiveWatchSeesSubfoldersAndFilterApplies) {
  if (ShellReportsFileSystemChanges()) GTEST_SKIP() << "the shell reports these itself";
  TempDir dir;
  const String sub = dir.Folder("sub");
  TKivShellChangeNotifier n;
  n.SetNotificationEvent(neFileChange, false);
  n.SetDirectory(dir.Path());
  Recorder r(n);
  const String top = dir.File("top.txt", "content");
  EXPECT_TRUE(PumpMessagesUntil([&] { return r.Saw(neFileCreate, top); }, 3000)) << r.Dump();
  const String fresh = dir.Folder("fresh");
  EXPECT_TRUE(PumpMessagesUntil([&] { return r.Saw(neFolderCreate, fresh); }, 3000)) << r.Dump();
  const String deep2 = dir.File("fresh\\deep.txt", "content");
  EXPECT_TRUE(PumpMessagesUntil([&] { return r.Saw(neFileCreate, deep2); }, 3000)) << r.Dump();
  const String deep = dir.File("sub\\deep.txt", "content");
  EXPECT_TRUE(PumpMessagesUntil([&] { return r.Saw(neFileCreate, deep); }, 3000)) << r.Dump();
  DrainPostedMessages();
  for (const auto& rep : r.immediate) EXPECT_NE(rep.event, neFileChange);
}

TEST(ShellChangeNotifier, FileSystemWatchReportsTheDeletionOfTheWatchedFolderItself) {
  if (ShellReportsFileSystemChanges()) GTEST_SKIP() << "the shell reports these itself";
  TempDir outer;
  for (bool recursive : {false, true}) {
    const String watched = outer.Folder(recursive ? "recursive" : "flat");
    TKivShellChangeNotifier n;
    n.SetRecursive(recursive);
    n.SetDirectory(watched);
    ASSERT_TRUE(n.WatchingFileSystem());
    Recorder r(n);
    // Another program removes it; the watch's pending read does not end by itself.
    ASSERT_TRUE(testing_support::RemoveFolderFromOutside(host::ToWide(watched)));
    EXPECT_TRUE(PumpMessagesUntil([&] { return r.Saw(neFolderDelete, watched); }, 5000))
        << "recursive " << recursive << "\n" << r.Dump();
  }
}

TEST(NotifyThread, RunsItsCallbackOnTheMainThread) {
  int calls = 0;
  DWORD thread = 0;
  String seen;
  new TKivNotifyThread(nullptr, neFileCreate, "a", "b",
                       [&](host::TObject*, TNotificationEvent e, const String& p1, const String& p2) {
                         ++calls;
                         thread = GetCurrentThreadId();
                         seen = p1 + p2 + (e == neFileCreate ? "!" : "?");
                       });
  EXPECT_TRUE(PumpMessagesUntil([&] { return calls == 1; }));
  EXPECT_EQ(thread, GetCurrentThreadId());
  EXPECT_EQ(seen, "ab!");
}
