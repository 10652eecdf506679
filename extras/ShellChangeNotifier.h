// The shell change notifier.
//   TNotificationEvent, TNotificationEvents      kinds of change and their set (bit n = kind n)
//   TKivShellNotifierEvent, ...EventPIDL         the two change events
//   TKivFileSystemWatch                          whether file-system directories are watched too
//   TKivShellChangeNotifier                      registers folders with the shell, reports changes
//   TKivNotifyThread                             runs one change handler on the main thread
//   ShellReportsFileSystemChanges                whether the shell reports plain file changes
#pragma once

#include <windows.h>

#include <deque>
#include <functional>
#include <memory>
#include <string>

#include "host/core/Messages.h"
#include "host/core/StringList.h"
#include "host/core/Threads.h"
#include "host/core/TypeInfo.h"
#include "shell/ComponentBases.h"
#include "shell/ShellWin32.h"

namespace zelnor {

class TKivDirectoryWatch;

enum TNotificationEvent {
  neAssociationChange,
  neAttributesChange,
  neFileChange,
  neFileCreate,
  neFileDelete,
  neFileRename,
  neDriveAdd,
  neDriveRemove,
  neShellDriveAdd,
  neDriveSpaceChange,
  neMediaInsert,
  neMediaRemove,
  neFolderCreate,
  neFolderDelete,
  neFolderRename,
  neFolderUpdate,
  neNetShare,
  neNetUnShare,
  neServerDisconnect,
  neImageListChange,
  neUnknown,
};
extern const host::TEnumInfo NotificationEventInfo;
using TNotificationEvents = unsigned;  // bit n = TNotificationEvent n
inline constexpr TNotificationEvents NotificationEventBit(TNotificationEvent e) { return 1u << e; }
// Every kind but neUnknown.
inline constexpr TNotificationEvents AllNotificationEvents = 0xFFFFF;

// The shell event value (SHCNE_*) of a kind; neUnknown stands for all events.
LONG ShellEventOf(TNotificationEvent event);
// The kind whose shell value equals `code` exactly; neUnknown for any other code.
TNotificationEvent NotificationEventOf(LONG code);

using TKivShellNotifierEvent = std::function<void(host::TObject* sender, TNotificationEvent event,
                                                  const host::String& path1,
                                                  const host::String& path2)>;
// The lists belong to the shell (or the notifier) and are valid only during the call.
using TKivShellNotifierEventPIDL = std::function<void(
    host::TObject* sender, TNotificationEvent event, PItemIDList pidl1, PItemIDList pidl2)>;

// fwAutomatic watches the file system only where the shell does not report its changes.
enum TKivFileSystemWatch { fwAutomatic, fwOn, fwOff };
extern const host::TEnumInfo FileSystemWatchInfo;

// True when the shell reports file-system changes below registered folders by itself (Windows);
// false under Wine, whose shell reports only what this process announces.
bool ShellReportsFileSystemChanges();

// Message the shell sends to the notifier's window with each report.
inline constexpr UINT WM_SHELLNOTIFY = 2011;

// Bursts: reports that wait together are merged (a report equal to the last one about the same
// object adds nothing), and when more than BURST_REPORTS of them concern objects of one folder
// they give way to a single folder-update report of that folder. Waiting reports are worked off
// in slices of about SLICE_MS, so that the window's other messages are not held up.
class TKivShellChangeNotifier : public TKivBaseComponent {
  HOST_CLASS(TKivShellChangeNotifier, TKivBaseComponent)
  static constexpr size_t BURST_REPORTS = 32;
  static constexpr DWORD SLICE_MS = 30;

  explicit TKivShellChangeNotifier(host::TComponent* owner = nullptr);
  ~TKivShellChangeNotifier() override;

  // ---- Published settings
  host::TStrings* Directories() const { return directories_.get(); }
  void SetDirectories(const host::TStrings* value);
  bool GetEnabled() const override;
  void SetEnabled(bool value) override;
  bool Recursive() const { return recursive_; }
  void SetRecursive(bool value);
  TNotificationEvents EventFilter() const { return eventFilter_; }
  void SetEventFilter(TNotificationEvents value);
  TKivFileSystemWatch FileSystemWatch() const { return fileSystemWatch_; }
  void SetFileSystemWatch(TKivFileSystemWatch value);
  // Whether the registered file-system directories are watched at the moment.
  bool WatchingFileSystem() const { return watch_ != nullptr; }
  // Whether the file-system watch of a recursive notifier takes in the subfolders too (true).
  // A control that has each folder it shows watched by itself turns it off, so nothing below
  // them is opened.
  bool WatchSubfolders() const { return watchSubfolders_; }
  void SetWatchSubfolders(bool value);
  // Whether the file-system watch lists its directories once to know their folders, so that a
  // deleted folder is reported as one (on by default). An owner that tells folders apart itself
  // turns it off: a big directory is then never listed.
  bool LearnFolders() const { return learnFolders_; }
  void SetLearnFolders(bool value) { learnFolders_ = value; }
  // Where a subtree watch reaches an existing folder only once the folder is opened (Wine), the
  // file-system watch of a recursive notifier opens every folder below its directories before
  // Enabled or a new set of directories returns (true, the default), which takes as long as a
  // walk of the tree. An owner that opens each folder it needs after that turns it off.
  bool OpenSubfolders() const { return openSubfolders_; }
  void SetOpenSubfolders(bool value) { openSubfolders_ = value; }

  // Called on the main thread after the report has been answered, once per report, in order.
  // When more than BURST_REPORTS calls wait for objects of one folder, they give way to one
  // neFolderUpdate of that folder.
  TKivShellNotifierEvent OnChange;
  // Called at once, inside the report.
  TKivShellNotifierEventPIDL OnChangePIDL;

  // ---- Operations
  // The last directory, or "" when there is none; setting adds a directory.
  host::String GetDirectory() const;
  void SetDirectory(const host::String& path);
  // Watches one list instead of directories (copied); nil only drops its registration.
  void SetPIDL(PCItemIDList pidl);
  bool GetNotificationEvent(TNotificationEvent event) const;
  void SetNotificationEvent(TNotificationEvent event, bool on);

  void Start();
  // Drops the registrations and the OnChange calls still waiting: the application's own stop.
  void Stop();
  // Registers again with the current settings; waiting OnChange calls are still delivered.
  void Restart();
  bool Active() const { return active_; }

  ULONG RegisterPath(const host::String& path);
  ULONG ShellNotifyRegister(PCItemIDList pidl, bool recursive);
  void ShellNotifyUnregister(ULONG id);

  // The hidden window that receives the reports; none at design time.
  HWND WindowHandle() const { return window_.get(); }

 protected:
  // Queues OnChange for delivery from the window's message queue.
  virtual void DoOnChange(host::TObject* sender, TNotificationEvent event, const host::String& path1,
                          const host::String& path2);
  // The clock of the duplicate filter.
  virtual DWORD TickCount() const { return GetTickCount(); }

  void MessageHandler(host::TMessage& message);
  void DirectoriesChanging(host::TObject* sender);
  void DirectoriesChanged(host::TObject* sender);

 private:
  struct PendingChange {
    host::TObject* sender;
    TNotificationEvent event;
    host::String path1, path2;
  };
  // A change the file-system watch reported, waiting to be handled.
  struct WatchedChange {
    LONG code;
    std::wstring path1, path2;
  };

  // Steps shared by shell reports and file-system watch reports: classify, filter duplicates,
  // remember, call the events.
  void HandleReport(LONG code, PItemIDList pidl1, PItemIDList pidl2);
  // Works off waiting watch reports and OnChange calls for one slice; what is left waits for the
  // continuation timer, which lets painting and input in first.
  void Work();
  void WorkAndNote();  // Work, and when it ended
  // Each false when the notifier went away during a handler.
  bool DeliverPending(DWORD start);
  bool HandleWatchReports(DWORD start);
  // Drops the registrations and the file-system watch, keeping the waiting OnChange calls.
  void StopRegistrations();
  LONG RegistrationMask() const;
  bool WantsFileSystemWatch() const;
  void StartWatch();
  void StopWatch();
  // Sets a directory's registration id without firing the list's notifications.
  void SetDirectoryId(int index, ULONG id);
  ULONG DirectoryId(int index) const;

  TNotificationEvents eventFilter_ = AllNotificationEvents;
  std::unique_ptr<host::TStringList> directories_;
  bool recursive_ = true;
  UniquePidl lastPidl_;
  LONG lastCode_ = 0;
  host::UniqueHiddenWindow window_;
  DWORD lastTick_ = 0;
  bool active_ = false;
  UniquePidl pidl_;
  UniqueChangeRegistration pidlRegistration_;
  TKivFileSystemWatch fileSystemWatch_ = fwAutomatic;
  bool watchSubfolders_ = true;
  bool learnFolders_ = true;
  bool openSubfolders_ = true;
  std::deque<PendingChange> pending_;
  std::deque<WatchedChange> watchBacklog_;
  bool workScheduled_ = false;   // a delivery message or the continuation timer is on its way
  bool timerScheduled_ = false;  // the continuation timer runs
  DWORD lastWorkEnd_ = 0;        // when Work last returned, to let timers in between bursts
  std::unique_ptr<TKivDirectoryWatch> watch_;
  // Expires with the notifier, so a loop that calls handlers can tell that one destroyed it.
  std::shared_ptr<int> lifetime_ = std::make_shared<int>(0);
};

// Carries one change to the main thread: it runs the callback there through the thread class's
// synchronisation and frees itself. The callback's owner must outlive the thread.
class TKivNotifyThread : public host::TThread {
 public:
  TKivNotifyThread(host::TObject* sender, TNotificationEvent event, const host::String& path1,
                   const host::String& path2, TKivShellNotifierEvent callback);
  host::String ClassName() const override { return "TKivNotifyThread"; }

 protected:
  void Execute() override;
  void DoOnChange();

 private:
  host::TObject* sender_;
  TNotificationEvent event_;
  host::String path1_, path2_;
  TKivShellNotifierEvent callback_;
};

}  // namespace zelnor
