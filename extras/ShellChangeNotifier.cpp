// TKivShellChangeNotifier and TKivNotifyThread.
#include "extras/ShellChangeNotifier.h"

#include <shlobj.h>
#include <shobjidl.h>

#include <cassert>
#include <cstring>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "extras/DirectoryWatch.h"
#include "host/core/HResult.h"
#include "host/core/Raii.h"
#include "shell/ShellGlobals.h"

namespace zelnor {

using host::String;

const host::TEnumInfo NotificationEventInfo{
    "neAssociationChange", "neAttributesChange", "neFileChange",    "neFileCreate",
    "neFileDelete",        "neFileRename",       "neDriveAdd",      "neDriveRemove",
    "neShellDriveAdd",     "neDriveSpaceChange", "neMediaInsert",   "neMediaRemove",
    "neFolderCreate",      "neFolderDelete",     "neFolderRename",  "neFolderUpdate",
    "neNetShare",          "neNetUnShare",       "neServerDisconnect", "neImageListChange",
    "neUnknown"};

const host::TEnumInfo FileSystemWatchInfo{"fwAutomatic", "fwOn", "fwOff"};

namespace {

constexpr LONG kShellEvents[] = {
    SHCNE_ASSOCCHANGED, SHCNE_ATTRIBUTES,  SHCNE_UPDATEITEM,   SHCNE_CREATE,       SHCNE_DELETE,
    SHCNE_RENAMEITEM,   SHCNE_DRIVEADD,    SHCNE_DRIVEREMOVED, SHCNE_DRIVEADDGUI,  SHCNE_FREESPACE,
    SHCNE_MEDIAINSERTED, SHCNE_MEDIAREMOVED, SHCNE_MKDIR,      SHCNE_RMDIR,        SHCNE_RENAMEFOLDER,
    SHCNE_UPDATEDIR,    SHCNE_NETSHARE,    SHCNE_NETUNSHARE,   SHCNE_SERVERDISCONNECT,
    SHCNE_UPDATEIMAGE,  SHCNE_ALLEVENTS};
static_assert(std::size(kShellEvents) == neUnknown + 1);

// Posted to the notifier's own window: deliver the queued OnChange calls.
constexpr UINT WM_DELIVERCHANGES = WM_APP + 0x51;
// Posted by the directory watch: file-system changes are waiting.
constexpr UINT WM_WATCHREPORTS = WM_APP + 0x52;
// Continues working off what waits, once painting and input have had their turn.
constexpr UINT_PTR kContinueTimer = 1;
constexpr DWORD kDuplicateMs = 2500;

// Bind data that lets the shell build the list of an object that no longer exists.
class FileSystemBindData : public IFileSystemBindData {
 public:
  explicit FileSystemBindData(const WIN32_FIND_DATAW& data) : data_(data) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IFileSystemBindData) {
      *out = static_cast<IFileSystemBindData*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ULONG(InterlockedIncrement(&refs_)); }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG n = InterlockedDecrement(&refs_);
    if (n == 0) delete this;
    return ULONG(n);
  }
  HRESULT STDMETHODCALLTYPE SetFindData(const WIN32_FIND_DATAW* data) override {
    if (!data) return E_INVALIDARG;
    data_ = *data;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetFindData(WIN32_FIND_DATAW* data) override {
    if (!data) return E_INVALIDARG;
    *data = data_;
    return S_OK;
  }

 private:
  virtual ~FileSystemBindData() = default;
  LONG refs_ = 1;
  WIN32_FIND_DATAW data_;
};

// The folder of reports about several objects of it, bound once: parsing a name in a bound folder
// costs a fraction of parsing a full path.
struct ParentFolder {
  std::wstring path;
  UniquePidl list;
  host::ComPtr<IShellFolder> folder;
};

// The absolute list of a path; for a path that is gone, a list built from its name alone.
UniquePidl ListOfPath(ParentFolder& parent, const std::wstring& path, bool folder) {
  if (path.empty()) return nullptr;
  const size_t slash = path.find_last_of(L'\\');
  if (slash != std::wstring::npos && slash + 1 < path.size() && slash > 2) {
    const std::wstring dir = path.substr(0, slash);
    if (dir != parent.path) {
      parent = ParentFolder{dir, GetIdListFromPath(Desktop(), host::ToUtf8(dir)), {}};
      if (parent.list &&
          FAILED(Desktop()->BindToObject(parent.list.get(), nullptr, IID_PPV_ARGS(&parent.folder))))
        parent.folder.Reset();
    }
    if (parent.folder) {
      std::wstring name = path.substr(slash + 1);
      PIDLIST_RELATIVE relative = nullptr;
      if (SUCCEEDED(parent.folder->ParseDisplayName(nullptr, nullptr, name.data(), nullptr,
                                                    &relative, nullptr)) &&
          relative) {
        UniquePidl child{relative};
        return ConcatItemIdLists(parent.list.get(), child.get());
      }
    }
  }
  UniquePidl list = GetIdListFromPath(Desktop(), host::ToUtf8(path));
  if (list) return list;
  WIN32_FIND_DATAW data{};
  data.dwFileAttributes = folder ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
  const std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
  wcsncpy(data.cFileName, name.c_str(), MAX_PATH - 1);
  host::ComPtr<IBindCtx> context;
  if (!host::HrOk(CreateBindCtx(0, &context), "CreateBindCtx")) return nullptr;
  BIND_OPTS options{sizeof(BIND_OPTS), 0, STGM_CREATE, 0};
  if (!host::HrOk(context->SetBindOptions(&options), "SetBindOptions")) return nullptr;
  host::ComPtr<IUnknown> bindData;
  bindData.Attach(new FileSystemBindData(data));
  if (!host::HrOk(context->RegisterObjectParam(const_cast<LPOLESTR>(STR_FILE_SYS_BIND_DATA),
                                               bindData.Get()),
                  "RegisterObjectParam"))
    return nullptr;
  std::wstring text = path;
  PIDLIST_RELATIVE parsed = nullptr;
  const HRESULT hr =
      Desktop()->ParseDisplayName(nullptr, context.Get(), text.data(), nullptr, &parsed, nullptr);
  list.reset(parsed);
  if (!host::HrOk(hr, "ParseDisplayName")) list.reset();
  return list;
}

// The value carried by a list made from a number (the shell's DWORD-as-list form).
DWORD DwordOfList(PCItemIDList list) {
  if (!list || list->mkid.cb < sizeof(USHORT) + sizeof(DWORD)) return 0;
  DWORD value = 0;
  std::memcpy(&value, reinterpret_cast<const BYTE*>(list) + sizeof(USHORT), sizeof(DWORD));
  return value;
}

std::wstring Folded(std::wstring s) {
  if (!s.empty()) CharLowerBuffW(s.data(), DWORD(s.size()));
  return s;
}

// The folder that holds `path` ("C:\\A\\b.txt" gives "C:\\A", "C:\\b.txt" gives "C:\\"); empty
// for a path without a folder.
std::wstring FolderOf(const std::wstring& path) {
  const size_t slash = path.find_last_of(L'\\');
  if (slash == std::wstring::npos || slash == 0) return {};
  if (slash == 2 && path[1] == L':') return path.substr(0, 3);
  return path.substr(0, slash);
}

// What merging needs to know of a waiting report.
struct ReportShape {
  LONG kind;
  std::wstring path1, path2;
  bool folderUpdate;  // a report about path1 as a whole folder
  bool gatherable;    // may give way to a folder update
};

// Merges the reports of `queue` in place, keeping their order: a report about an object
// (`gatherable`) equal to the last one about the same object is dropped; when more than `burst`
// reports concern objects of one folder (a rename only when it stays in its folder), they give
// way to one report made by makeUpdate(folder) at the place of the first of them.
template <class Report, class ShapeOf, class MakeUpdate>
void Coalesce(std::deque<Report>& queue, size_t burst, ShapeOf shapeOf, MakeUpdate makeUpdate) {
  if (queue.size() < 2) return;
  const size_t n = queue.size();
  std::vector<ReportShape> shapes;
  shapes.reserve(n);
  for (const Report& r : queue) shapes.push_back(shapeOf(r));

  std::vector<bool> keep(n, true);
  std::unordered_map<std::wstring, size_t> lastAbout;
  for (size_t i = 0; i < n; ++i) {
    const ReportShape& s = shapes[i];
    // Reports that carry no object (an image index, an association change) each count.
    if (!s.gatherable) continue;
    const std::wstring p1 = Folded(s.path1), p2 = Folded(s.path2);
    if (!p1.empty()) {
      const auto it = lastAbout.find(p1);
      if (it != lastAbout.end() && shapes[it->second].kind == s.kind &&
          Folded(shapes[it->second].path2) == p2) {
        keep[i] = false;
        continue;
      }
      lastAbout[p1] = i;
    }
    if (!p2.empty()) lastAbout[p2] = i;
  }

  std::vector<std::wstring> folders(n);  // folded gathering folder, empty when not gatherable
  std::unordered_map<std::wstring, size_t> perFolder;
  std::unordered_map<std::wstring, std::wstring> spelling;
  for (size_t i = 0; i < n; ++i) {
    const ReportShape& s = shapes[i];
    if (!keep[i] || !s.gatherable || s.path1.empty()) continue;
    const std::wstring folder = s.folderUpdate ? s.path1 : FolderOf(s.path1);
    if (folder.empty()) continue;
    if (!s.path2.empty() && Folded(FolderOf(s.path2)) != Folded(FolderOf(s.path1))) continue;
    folders[i] = Folded(folder);
    ++perFolder[folders[i]];
    spelling.emplace(folders[i], folder);
  }

  std::deque<Report> merged;
  std::unordered_set<std::wstring> updated;
  for (size_t i = 0; i < n; ++i) {
    if (!keep[i]) continue;
    if (!folders[i].empty() && perFolder[folders[i]] > burst) {
      if (updated.insert(folders[i]).second) merged.push_back(makeUpdate(spelling[folders[i]]));
      continue;
    }
    merged.push_back(std::move(queue[i]));
  }
  queue = std::move(merged);
}

}  // namespace

LONG ShellEventOf(TNotificationEvent event) { return kShellEvents[event]; }

TNotificationEvent NotificationEventOf(LONG code) {
  for (int i = 0; i < neUnknown; ++i) {
    if (kShellEvents[i] == code) return TNotificationEvent(i);
  }
  return neUnknown;
}

bool ShellReportsFileSystemChanges() {
  static const bool reports = [] {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return !(ntdll && GetProcAddress(ntdll, "wine_get_version"));
  }();
  return reports;
}

// ---- Construction

TKivShellChangeNotifier::TKivShellChangeNotifier(host::TComponent* owner)
    : TKivBaseComponent(owner), directories_(std::make_unique<host::TStringList>()) {
  if (!Has(host::TComponentStateFlag::csDesigning)) {
    window_.reset(host::AllocateMessageHWnd([this](host::TMessage& m) { MessageHandler(m); }));
  }
  directories_->SetSorted(true);
  directories_->SetDuplicates(host::dupIgnore);
  directories_->OnChanging = [this](host::TObject* s) { DirectoriesChanging(s); };
  directories_->OnChange = [this](host::TObject* s) { DirectoriesChanged(s); };
  SetEnabled(KivSHChangeNotifyRegister() != nullptr);
}

TKivShellChangeNotifier::~TKivShellChangeNotifier() {
  Destroying();
  lifetime_.reset();
  SetEnabled(false);
  pending_.clear();
  if (window_ && timerScheduled_) KillTimer(window_.get(), kContinueTimer);
  window_.reset();
  directories_->OnChanging = nullptr;
  directories_->OnChange = nullptr;
}

// ---- Settings

void TKivShellChangeNotifier::SetDirectories(const host::TStrings* value) { directories_->Assign(value); }

bool TKivShellChangeNotifier::GetEnabled() const { return TKivBaseComponent::GetEnabled(); }

void TKivShellChangeNotifier::SetEnabled(bool value) {
  TKivBaseComponent::SetEnabled(value);
  if (value) {
    Start();
  } else {
    Stop();
  }
}

void TKivShellChangeNotifier::SetRecursive(bool value) {
  if (value == recursive_) return;
  recursive_ = value;
  Restart();
}

void TKivShellChangeNotifier::SetEventFilter(TNotificationEvents value) {
  if (value == eventFilter_) return;
  eventFilter_ = value;
  Restart();
}

void TKivShellChangeNotifier::SetFileSystemWatch(TKivFileSystemWatch value) {
  if (value == fileSystemWatch_) return;
  fileSystemWatch_ = value;
  Restart();
}

void TKivShellChangeNotifier::SetWatchSubfolders(bool value) {
  if (value == watchSubfolders_) return;
  watchSubfolders_ = value;
  Restart();
}

String TKivShellChangeNotifier::GetDirectory() const {
  const int n = directories_->Count();
  return n == 0 ? String{} : directories_->Strings(n - 1);
}

void TKivShellChangeNotifier::SetDirectory(const String& path) {
  int index = 0;
  if (directories_->Find(path, index)) return;
  directories_->Add(path);
}

bool TKivShellChangeNotifier::GetNotificationEvent(TNotificationEvent event) const {
  return (eventFilter_ & NotificationEventBit(event)) != 0;
}

void TKivShellChangeNotifier::SetNotificationEvent(TNotificationEvent event, bool on) {
  const TNotificationEvents bit = NotificationEventBit(event);
  SetEventFilter(on ? (eventFilter_ | bit) : (eventFilter_ & ~bit));
}

ULONG TKivShellChangeNotifier::DirectoryId(int index) const {
  return ULONG(reinterpret_cast<uintptr_t>(directories_->Objects(index)));
}

void TKivShellChangeNotifier::SetDirectoryId(int index, ULONG id) {
  // Objects of a string list are plain slots here; the list does not own them.
  auto quiet = host::SuppressEvents(directories_->OnChanging, directories_->OnChange);
  directories_->SetObjects(index, reinterpret_cast<host::TObject*>(uintptr_t(id)));
}

// ---- Registration

void TKivShellChangeNotifier::SetPIDL(PCItemIDList pidl) {
  StopRegistrations();
  pidlRegistration_.reset();
  if (!pidl) return;
  {
    auto quiet = host::SuppressEvents(directories_->OnChanging, directories_->OnChange);
    directories_->Clear();
  }
  pidl_ = CopyItemIdList(pidl);
  Start();
}

void TKivShellChangeNotifier::Start() {
  // Registering again while active would leave the first registrations behind.
  if (active_ || !GetEnabled() || Has(host::TComponentStateFlag::csDesigning)) return;
  {
    auto quiet = host::SuppressEvents(directories_->OnChanging, directories_->OnChange);
    if (directories_->Count() == 0) {
      if (pidl_) {
        if (!pidlRegistration_)
          pidlRegistration_.reset(ShellNotifyRegister(pidl_.get(), recursive_));
      } else {
        // The empty path stands for My Computer: every drive, recursively.
        directories_->Add(String{});
        recursive_ = true;
      }
    }
    for (int i = 0; i < directories_->Count(); ++i) {
      if (DirectoryId(i) == 0) {
        const ULONG id = RegisterPath(directories_->Strings(i));
        directories_->SetObjects(i, reinterpret_cast<host::TObject*>(uintptr_t(id)));
      }
    }
  }
  if (!GetEnabled()) return;  // the entry point is missing
  active_ = true;
  StartWatch();
}

void TKivShellChangeNotifier::Stop() {
  StopRegistrations();
  // The application wants to hear no more: what waits for delivery goes too.
  pending_.clear();
}

void TKivShellChangeNotifier::StopRegistrations() {
  if (!active_) return;
  active_ = false;
  StopWatch();
  for (int i = 0; i < directories_->Count(); ++i) {
    ShellNotifyUnregister(DirectoryId(i));
    SetDirectoryId(i, 0);
  }
  SetPIDL(nullptr);
}

void TKivShellChangeNotifier::Restart() {
  if (!active_) return;
  StopRegistrations();
  Start();
}

ULONG TKivShellChangeNotifier::RegisterPath(const String& path) {
  UniquePidl list = GetIdListFromPath(Desktop(), path);
  // A directory that cannot be parsed is not registered; the next Start tries it again.
  if (!list) return 0;
  return ShellNotifyRegister(list.get(), recursive_);
}

LONG TKivShellChangeNotifier::RegistrationMask() const {
  LONG mask = 0;
  for (int i = 0; i <= neUnknown; ++i) {
    if (eventFilter_ & (1u << i)) mask |= kShellEvents[i];
  }
  // Wine's file operations announce a folder renamed or moved as an item renamed: folder renames
  // take those too, and HandleReport keeps the ones that name a folder.
  if (eventFilter_ & NotificationEventBit(neFolderRename)) mask |= SHCNE_RENAMEITEM;
  return mask;
}

ULONG TKivShellChangeNotifier::ShellNotifyRegister(PCItemIDList pidl, bool recursive) {
  const auto registerFn = KivSHChangeNotifyRegister();
  if (!registerFn) {
    SetEnabled(false);
    return 0;
  }
  if (Has(host::TComponentStateFlag::csDesigning) || !GetEnabled() || !window_) return 0;
  int sources = SHCNRF_InterruptLevel | SHCNRF_ShellLevel;
  if (recursive) sources |= SHCNRF_RecursiveInterrupt;
  SHChangeNotifyEntry entry{pidl, recursive ? TRUE : FALSE};
  return registerFn(window_.get(), sources, RegistrationMask(), WM_SHELLNOTIFY, 1, &entry);
}

void TKivShellChangeNotifier::ShellNotifyUnregister(ULONG id) {
  assert(!Has(host::TComponentStateFlag::csDesigning));
  if (id == 0) return;
  if (const auto deregister = KivSHChangeNotifyDeregister()) deregister(id);
}

void TKivShellChangeNotifier::DirectoriesChanging(host::TObject*) { StopRegistrations(); }

void TKivShellChangeNotifier::DirectoriesChanged(host::TObject*) {
  if (directories_->Count() > 1 && directories_->Strings(0).empty()) {
    // A real directory has replaced the watch-everything placeholder.
    auto quiet = host::SuppressEvents(directories_->OnChanging, directories_->OnChange);
    directories_->Delete(0);
  }
  if (GetEnabled()) Start();
}

// ---- File-system watch

bool TKivShellChangeNotifier::WantsFileSystemWatch() const {
  switch (fileSystemWatch_) {
    case fwOn:
      return true;
    case fwOff:
      return false;
    case fwAutomatic:
      break;
  }
  return !ShellReportsFileSystemChanges();
}

void TKivShellChangeNotifier::StartWatch() {
  if (!WantsFileSystemWatch() || !window_) return;
  std::vector<std::wstring> paths;
  if (directories_->Count() == 0) {
    if (pidl_) paths.push_back(GetPathFromPidlW(pidl_.get()));
  } else {
    for (int i = 0; i < directories_->Count(); ++i) {
      // The My Computer placeholder has no path: the drives are not walked.
      if (!directories_->Strings(i).empty()) paths.push_back(host::ToWide(directories_->Strings(i)));
    }
  }
  std::erase_if(paths, [](const std::wstring& p) { return p.empty(); });
  if (paths.empty()) return;
  watch_ = std::make_unique<TKivDirectoryWatch>(std::move(paths), recursive_ && watchSubfolders_,
                                                window_.get(), WM_WATCHREPORTS, learnFolders_,
                                                openSubfolders_);
}

void TKivShellChangeNotifier::StopWatch() {
  watch_.reset();
  // What the watch reported belongs to the registrations being dropped.
  watchBacklog_.clear();
}

bool TKivShellChangeNotifier::HandleWatchReports(DWORD start) {
  if (!watch_) return true;
  // The filter applies before merging: a folder update that stands for wanted reports is wanted.
  const LONG mask = RegistrationMask();
  for (auto& change : watch_->Take()) {
    if ((change.code & mask) == 0) continue;
    watchBacklog_.push_back({change.code, std::move(change.path1), std::move(change.path2)});
  }
  Coalesce(
      watchBacklog_, BURST_REPORTS,
      [](const WatchedChange& c) {
        return ReportShape{c.code, c.path1, c.path2, c.code == SHCNE_UPDATEDIR, true};
      },
      [](const std::wstring& folder) { return WatchedChange{SHCNE_UPDATEDIR, folder, {}}; });
  const std::weak_ptr<int> alive = lifetime_;
  ParentFolder parent;
  while (!watchBacklog_.empty()) {
    const WatchedChange change = std::move(watchBacklog_.front());
    watchBacklog_.pop_front();
    const bool folder = change.code == SHCNE_MKDIR || change.code == SHCNE_RMDIR ||
                        change.code == SHCNE_RENAMEFOLDER || change.code == SHCNE_UPDATEDIR;
    UniquePidl pidl1 = ListOfPath(parent, change.path1, folder);
    UniquePidl pidl2 = ListOfPath(parent, change.path2, folder);
    if (pidl1) HandleReport(change.code, pidl1.get(), pidl2.get());
    if (alive.expired()) return false;
    // A handler may have stopped the notifier; what is left is then stale.
    if (!watch_) break;
    if (GetTickCount() - start >= SLICE_MS) break;
  }
  return true;
}

// ---- Reports

void TKivShellChangeNotifier::MessageHandler(host::TMessage& message) {
  switch (message.Msg) {
    case WM_SHELLNOTIFY:
      if (!GetEnabled()) break;
      {
        auto* lists = reinterpret_cast<PItemIDList*>(message.WParam);
        HandleReport(LONG(message.LParam & 0x7FFFFFFF), lists ? lists[0] : nullptr,
                     lists ? lists[1] : nullptr);
      }
      message.Result = 0;
      return;
    case WM_DELIVERCHANGES:
    case WM_WATCHREPORTS:
      // While the continuation timer runs, it takes everything in turn. A watch in a burst posts
      // again as soon as it has read more: work that has only just ended goes on at the timer's
      // tick, so the window's other timers get their turns between the slices.
      if (!timerScheduled_ && message.Msg == WM_WATCHREPORTS && window_ &&
          GetTickCount() - lastWorkEnd_ < USER_TIMER_MINIMUM) {
        timerScheduled_ = SetTimer(window_.get(), kContinueTimer, USER_TIMER_MINIMUM, nullptr) != 0;
        workScheduled_ = workScheduled_ || timerScheduled_;
      }
      if (!timerScheduled_) WorkAndNote();
      message.Result = 0;
      return;
    case WM_TIMER:
      if (message.WParam != kContinueTimer) break;
      KillTimer(window_.get(), kContinueTimer);
      timerScheduled_ = false;
      WorkAndNote();
      message.Result = 0;
      return;
    default:
      break;
  }
  host::DefaultHandler(message);
}

void TKivShellChangeNotifier::HandleReport(LONG code, PItemIDList pidl1, PItemIDList pidl2) {
  if (code == SHCNE_RENAMEITEM && !GetNotificationEvent(neFileRename)) {
    // Registered for with folder renames only: it counts when its new name is a folder.
    const DWORD attributes = GetFileAttributesW(GetPathFromPidlW(pidl2 ? pidl2 : pidl1).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return;
    code = SHCNE_RENAMEFOLDER;
  }
  const TNotificationEvent event = NotificationEventOf(code);
  String path1, path2;
  if (event == neImageListChange) {
    // The changed image index travels as a number in the second item on NT, the first elsewhere.
    path1 = host::IntToStr(int64_t(int32_t(DwordOfList(IsNT() ? pidl2 : pidl1))));
  } else if (event != neAssociationChange) {
    const DWORD now = TickCount();
    if (code == lastCode_ && pidl1 && lastPidl_ && GetItemIdListDepth(pidl1) > 0 &&
        now - lastTick_ < kDuplicateMs &&
        SameItemIdList(pidl1, lastPidl_.get())) {
      return;
    }
    path1 = GetPathFromPidl(pidl1);
    path2 = GetPathFromPidl(pidl2);
  }
  lastCode_ = code;
  lastPidl_ = event == neImageListChange ? UniquePidl{} : CopyItemIdList(pidl1);
  lastTick_ = TickCount();
  if (OnChangePIDL) OnChangePIDL(this, event, pidl1, pidl2);
  DoOnChange(this, event, path1, path2);
}

void TKivShellChangeNotifier::DoOnChange(host::TObject* sender, TNotificationEvent event,
                                         const String& path1, const String& path2) {
  if (!OnChange || !window_) return;
  pending_.push_back({sender, event, path1, path2});
  if (!workScheduled_ && PostMessageW(window_.get(), WM_DELIVERCHANGES, 0, 0)) workScheduled_ = true;
}

void TKivShellChangeNotifier::WorkAndNote() {
  // A handler may destroy the notifier.
  const std::weak_ptr<int> alive = lifetime_;
  Work();
  if (!alive.expired()) lastWorkEnd_ = GetTickCount();
}

void TKivShellChangeNotifier::Work() {
  workScheduled_ = false;
  const DWORD start = GetTickCount();
  if (GetEnabled() && !HandleWatchReports(start)) return;
  if (!DeliverPending(start)) return;
  if (window_ && (!pending_.empty() || !watchBacklog_.empty()) && !timerScheduled_) {
    timerScheduled_ = SetTimer(window_.get(), kContinueTimer, USER_TIMER_MINIMUM, nullptr) != 0;
    workScheduled_ = timerScheduled_;
  }
}

bool TKivShellChangeNotifier::DeliverPending(DWORD start) {
  Coalesce(
      pending_, BURST_REPORTS,
      [](const PendingChange& c) {
        return ReportShape{LONG(c.event), host::ToWide(c.path1), host::ToWide(c.path2),
                           c.event == neFolderUpdate,
                           c.event != neAssociationChange && c.event != neImageListChange};
      },
      [this](const std::wstring& folder) {
        return PendingChange{this, neFolderUpdate, host::ToUtf8(folder), {}};
      });
  // The oldest first; a handler that pumps messages sees the rest delivered in order behind it.
  const std::weak_ptr<int> alive = lifetime_;
  while (!pending_.empty()) {
    PendingChange change = std::move(pending_.front());
    pending_.pop_front();
    if (OnChange) OnChange(change.sender, change.event, change.path1, change.path2);
    if (alive.expired()) return false;
    if (GetTickCount() - start >= SLICE_MS) break;
  }
  return true;
}

// ---- TKivNotifyThread

TKivNotifyThread::TKivNotifyThread(host::TObject* sender, TNotificationEvent event,
                                   const String& path1, const String& path2,
                                   TKivShellNotifierEvent callback)
    : host::TThread(true),
      sender_(sender),
      event_(event),
      path1_(path1),
      path2_(path2),
      callback_(std::move(callback)) {
  SetFreeOnTerminate(true);
  Resume();
}

void TKivNotifyThread::Execute() {
  Synchronize([this] { DoOnChange(); });
}

void TKivNotifyThread::DoOnChange() {
  if (callback_) callback_(sender_, event_, path1_, path2_);
}

// ---- Published properties

HOST_PROPERTIES(TKivShellChangeNotifier) {
  p.Strings("Directories", &TKivShellChangeNotifier::Directories,
            &TKivShellChangeNotifier::SetDirectories);
  p.Bool("Enabled", &TKivShellChangeNotifier::GetEnabled, &TKivShellChangeNotifier::SetEnabled, true)
      .NoDefault();
  p.Bool("Recursive", &TKivShellChangeNotifier::Recursive, &TKivShellChangeNotifier::SetRecursive,
         true)
      .NoDefault();
  p.Set("EventFilter", NotificationEventInfo, &TKivShellChangeNotifier::EventFilter,
        &TKivShellChangeNotifier::SetEventFilter, AllNotificationEvents)
      .NoDefault();
  p.Enum("FileSystemWatch", FileSystemWatchInfo, &TKivShellChangeNotifier::FileSystemWatch,
         &TKivShellChangeNotifier::SetFileSystemWatch, fwAutomatic);
  p.Event("OnChange", &TKivShellChangeNotifier::OnChange);
}

}  // namespace zelnor
