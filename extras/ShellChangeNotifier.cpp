// TKivShellChangeNotifier and TKivNotifyThread.
#include "extras/ShellChangeNotifier.h"

#include <shlobj.h>
#include <shobjidl.h>

#include <cassert>
#include <cstring>
#include <utility>

#include "extras/DirectoryWatch.h"
#include "host/Raii.h"
#include "host/HResult.h"
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

// The absolute list of a path; for a path that is gone, a list built from its name alone.
UniquePidl ListOfPath(const std::wstring& path, bool folder) {
  if (path.empty()) return nullptr;
  UniquePidl list = GetIdListFromPath(Desktop(), host::ToUtf8(path));
  if (list) return list;
  WIN32_FIND_DATAW data{};
  data.dwFileAttributes = folder ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
  const size_t slash = path.find_last_of(L'\\');
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
    window_.reset(host::AllocateHWnd([this](host::TMessage& m) { MessageHandler(m); }));
  }
  directories_->SetSorted(true);
  directories_->SetDuplicates(host::dupIgnore);
  directories_->OnChanging = [this](host::TObject* s) { DirectoriesChanging(s); };
  directories_->OnChange = [this](host::TObject* s) { DirectoriesChanged(s); };
  SetEnabled(KivSHChangeNotifyRegister() != nullptr);
}

TKivShellChangeNotifier::~TKivShellChangeNotifier() {
  Destroying();
  SetEnabled(false);
  pending_.clear();
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
  Stop();
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
  if (active_) {
    active_ = false;
    StopWatch();
    for (int i = 0; i < directories_->Count(); ++i) {
      ShellNotifyUnregister(DirectoryId(i));
      SetDirectoryId(i, 0);
    }
    SetPIDL(nullptr);
  }
  // Changes still waiting for delivery belong to the registrations just dropped.
  pending_.clear();
}

void TKivShellChangeNotifier::Restart() {
  if (!active_) return;
  Stop();
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

void TKivShellChangeNotifier::DirectoriesChanging(host::TObject*) { Stop(); }

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
                                                window_.get(), WM_WATCHREPORTS, learnFolders_);
}

void TKivShellChangeNotifier::StopWatch() { watch_.reset(); }

void TKivShellChangeNotifier::DeliverWatchReports() {
  if (!watch_) return;
  const LONG mask = RegistrationMask();
  for (const auto& change : watch_->Take()) {
    if ((change.code & mask) == 0) continue;
    const bool folder = change.code == SHCNE_MKDIR || change.code == SHCNE_RMDIR ||
                        change.code == SHCNE_RENAMEFOLDER || change.code == SHCNE_UPDATEDIR;
    UniquePidl pidl1 = ListOfPath(change.path1, folder);
    UniquePidl pidl2 = ListOfPath(change.path2, folder);
    if (!pidl1) continue;
    HandleReport(change.code, pidl1.get(), pidl2.get());
    // A handler may have stopped the notifier; the rest of this batch is then stale.
    if (!watch_) break;
  }
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
      DeliverPending();
      message.Result = 0;
      return;
    case WM_WATCHREPORTS:
      if (GetEnabled()) DeliverWatchReports();
      message.Result = 0;
      return;
    default:
      break;
  }
  host::DefaultHandler(message);
}

void TKivShellChangeNotifier::HandleReport(LONG code, PItemIDList pidl1, PItemIDList pidl2) {
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
  PostMessageW(window_.get(), WM_DELIVERCHANGES, 0, 0);
}

void TKivShellChangeNotifier::DeliverPending() {
  // One posted message per report: take the oldest; a handler that pumps messages sees the
  // rest delivered in order behind it.
  if (pending_.empty()) return;
  PendingChange change = std::move(pending_.front());
  pending_.pop_front();
  if (OnChange) OnChange(change.sender, change.event, change.path1, change.path2);
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
