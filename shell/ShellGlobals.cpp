// Special folders, process-wide shell state and the one-time shell start-up.
#include "shell/ShellGlobals.h"

#include <array>
#include <cctype>
#include <cstring>
#include <cwctype>
#include <memory>
#include <mutex>

#include "host/core/HResult.h"
#include "host/core/Raii.h"
#include "shell/ShellRoutines.h"

namespace zelnor {

void LoadShellEntryPoints();  // ShellWin32.cpp

namespace {

// Indexed by TKivShellFolder; the only place where the mapping lives.
constexpr int kCsidl[SHELL_FOLDER_COUNT] = {
    CSIDL_DRIVES,         CSIDL_BITBUCKET,        CSIDL_CONTROLS,
    CSIDL_DESKTOP,        CSIDL_DESKTOPDIRECTORY, CSIDL_DRIVES,
    CSIDL_FONTS,          CSIDL_NETHOOD,          CSIDL_NETWORK,
    CSIDL_PERSONAL,       CSIDL_PRINTERS,         CSIDL_PROGRAMS,
    CSIDL_RECENT,         CSIDL_SENDTO,           CSIDL_STARTMENU,
    CSIDL_STARTUP,        CSIDL_TEMPLATES,        CSIDL_FAVORITES,
    CSIDL_COMMON_STARTMENU, CSIDL_COMMON_STARTUP, CSIDL_COMMON_DESKTOPDIRECTORY,
    CSIDL_APPDATA,        CSIDL_PRINTHOOD,        CSIDL_COMMON_FAVORITES,
    CSIDL_INTERNET_CACHE, CSIDL_COOKIES,          CSIDL_HISTORY,
    CSIDL_COMMON_PROGRAMS,
};

constexpr char kCannotOpenShell[] = "Zelnor Components: Cannot open Shell!";

// The desktop's list: just the two-byte terminator, never allocated.
const ITEMIDLIST kEmptyList = {};

struct ShellState {
  host::ComPtr<IShellFolder> desktop;
  DWORD startupThread = 0;
  UniquePidl netHood;
  UINT cfIdList = 0;
};

ShellState& State() {
  static ShellState state;
  return state;
}

// True when this code lives in the process's executable rather than in a library.
bool HostedByExecutable() {
  HMODULE self = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&HostedByExecutable), &self);
  return self == GetModuleHandleW(nullptr);
}

struct VersionFlags {
  bool isNT = true;
  bool isOldWindows = false;
};

const VersionFlags& Version() {
  static const VersionFlags flags = [] {
    VersionFlags f;
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (GetVersionExW(&info)) {
      f.isNT = info.dwPlatformId == VER_PLATFORM_WIN32_NT;
      f.isOldWindows = info.dwMajorVersion == 4 && info.dwMinorVersion <= 10;
    }
    return f;
  }();
  return flags;
}

UniquePidl SpecialFolderLocation(int csidl) {
  PIDLIST_ABSOLUTE list = nullptr;
  const HRESULT hr = SHGetSpecialFolderLocation(nullptr, csidl, &list);
  UniquePidl owned{list};
  return host::HrOk(hr, "SHGetSpecialFolderLocation") ? std::move(owned) : nullptr;
}

// The locations of all special folders, asked of the shell again when older than a few seconds:
// each costs Wine about a millisecond, and finding which special folder a place is compares it
// with all of them. Threads share one set; a set in use stays alive until its users are done.
struct SpecialLocations {
  ULONGLONG taken = 0;
  std::array<UniquePidl, SHELL_FOLDER_COUNT> lists;
};

std::shared_ptr<const SpecialLocations> CurrentSpecialLocations() {
  constexpr ULONGLONG kKeptMs = 3000;
  static std::mutex mutex;
  static std::shared_ptr<const SpecialLocations> current;
  {
    std::lock_guard lock(mutex);
    if (current && GetTickCount64() - current->taken < kKeptMs) return current;
  }
  auto fresh = std::make_shared<SpecialLocations>();
  for (int i = 0; i < SHELL_FOLDER_COUNT; ++i)
    fresh->lists[size_t(i)] = SpecialFolderLocation(kCsidl[i]);
  fresh->taken = GetTickCount64();
  std::lock_guard lock(mutex);
  current = fresh;
  return current;
}

}  // namespace

int ShellFolderCsidl(TKivShellFolder folder) {
  const int i = int(folder);
  return i >= 0 && i < SHELL_FOLDER_COUNT ? kCsidl[i] : CSIDL_DRIVES;
}

void InitializeShell() {
  static std::once_flag once;
  std::call_once(once, [] {
    if (HostedByExecutable()) OleInitialize(nullptr);
    LoadShellEntryPoints();
    ShellState& s = State();
    host::CheckHr<host::Exception>(SHGetDesktopFolder(s.desktop.ReleaseAndGetAddressOf()),
                                   kCannotOpenShell);
    if (!s.desktop) throw host::Exception(kCannotOpenShell);
    s.startupThread = GetCurrentThreadId();
    s.netHood = SpecialFolderLocation(CSIDL_NETHOOD);
    s.cfIdList = RegisterClipboardFormatW(CFSTR_SHELLIDLIST);
  });
}

IShellFolder* Desktop() {
  InitializeShell();
  ShellState& s = State();
  if (GetCurrentThreadId() == s.startupThread) return s.desktop.Get();
  // A plain pointer, not an owner: thread-local objects with destructors are not safe with this
  // tool chain's emulated thread-local storage (see AtApartmentExit).
  thread_local IShellFolder* own = nullptr;
  if (!own) {
    host::ComPtr<IShellFolder> desktop;
    host::CheckHr(SHGetDesktopFolder(desktop.ReleaseAndGetAddressOf()), "SHGetDesktopFolder");
    // Released while the thread's apartment still exists. A thread without a guard keeps the
    // shell's desktop object, which lives as long as the process anyway.
    own = desktop.Detach();
    host::AtApartmentExit([] {
      if (own) own->Release();
      own = nullptr;
    });
  }
  return own;
}

PCItemIDList DesktopIdList() { return &kEmptyList; }

PCItemIDList NetHoodIdList() {
  InitializeShell();
  return State().netHood.get();
}

UINT CF_IDLIST() {
  InitializeShell();
  return State().cfIdList;
}

bool IsNT() { return Version().isNT; }
bool IsOldWindows() { return Version().isOldWindows; }

namespace {

// The parsing name of `list` within `folder`; empty when the folder gives none.
String ParsingName(IShellFolder* folder, PCItemIDList list) {
  STRRET name{};
  if (FAILED(folder->GetDisplayNameOf(list, SHGDN_FORPARSING, &name))) return {};
  String text = GetStringFromStrRet(list, name);
  FreeStrRet(name);
  return text;
}

struct FileIdentity {
  uint64_t volume = 0, idLow = 0, idHigh = 0;
  bool operator==(const FileIdentity&) const = default;
};

bool IdentityOf(const String& path, FileIdentity& identity) {
  host::ErrorModeGuard errorMode;
  host::UniqueFile handle{CreateFileW(host::ToWide(path).c_str(), FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr)};
  if (!handle) return false;
  FILE_ID_INFO idInfo;
  if (GetFileInformationByHandleEx(handle.get(), FileIdInfo, &idInfo, sizeof idInfo)) {
    identity.volume = idInfo.VolumeSerialNumber;
    std::memcpy(&identity.idLow, idInfo.FileId.Identifier, 8);
    std::memcpy(&identity.idHigh, idInfo.FileId.Identifier + 8, 8);
    return true;
  }
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(handle.get(), &info)) return false;
  identity.volume = info.dwVolumeSerialNumber;
  identity.idLow = (uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  identity.idHigh = 0;
  return true;
}

}  // namespace

std::optional<bool> SameFileSystemObject(const String& a, const String& b) {
  FileIdentity first, second;
  if (!IdentityOf(a, first) || !IdentityOf(b, second)) return std::nullopt;
  return first == second;
}

bool SameItemIdList(PCItemIDList a, PCItemIDList b, IShellFolder* folder) {
  if (!a || !b) return false;
  if (!folder) folder = Desktop();
  if (folder->CompareIDs(0, a, b) != S_OK) return false;
  const int size = GetPidlSize(a);
  if (size == GetPidlSize(b) && std::memcmp(a, b, size_t(size)) == 0) return true;
  const String first = ParsingName(folder, a), second = ParsingName(folder, b);
  if (first.empty() || second.empty() || first == second) return true;
  if (!host::AnsiSameText(first, second)) return false;
  return SameFileSystemObject(first, second).value_or(true);
}

UniquePidl GetRelativePIDL(PCItemIDList list) {
  const int depth = GetItemIdListDepth(list);
  if (depth == 0) return nullptr;
  return GetItemIdListPart(list, depth - 1);
}

bool IsNetworkPidl(PCItemIDList list) {
  if (!list) return false;
  UniquePidl network = SpecialFolderLocation(CSIDL_NETWORK);
  if (!network) return false;
  UniquePidl first = GetItemIdListPart(list, 0);
  if (!first || GetItemIdListDepth(first.get()) == 0) return false;
  return SameItemIdList(first.get(), network.get());
}

TKivShellFolder TestForSpecialFolder(PCItemIDList list) {
  if (!list) return SF_FILESYSTEMFOLDER;
  IShellFolder* desktop = Desktop();
  const std::shared_ptr<const SpecialLocations> locations = CurrentSpecialLocations();
  for (int i = SF_BITBUCKET; i < SHELL_FOLDER_COUNT; ++i) {
    const UniquePidl& special = locations->lists[size_t(i)];
    if (special && SameItemIdList(list, special.get(), desktop)) return TKivShellFolder(i);
  }
  return SF_FILESYSTEMFOLDER;
}

UniquePidl GetIdListFromSpecialFolder(TKivShellFolder folder) {
  if (folder == SF_DESKTOP) return CopyItemIdList(DesktopIdList());
  return SpecialFolderLocation(ShellFolderCsidl(folder));
}

String GetPathFromSpecialFolder(TKivShellFolder folder) {
  UniquePidl list = SpecialFolderLocation(ShellFolderCsidl(folder));
  return GetPathFromPidl(list.get());
}

WideString GetPathFromPidlW(PCItemIDList list) {
  if (!list) return {};
  WideString path(32768, L'\0');
  if (!SHGetPathFromIDListEx(list, path.data(), DWORD(path.size()), GPFIDL_DEFAULT)) return {};
  path.resize(wcslen(path.c_str()));
  // Virtual objects (Network, Printers) answer a "::{CLSID}" text, which is no path.
  if (path.compare(0, 2, L"::") == 0) return {};
  if (path.size() < MAX_PATH - 1) return path;
  // Some platforms cut a long path at MAX_PATH - 1 characters without failing: build it from the
  // parent's path and the object's parsing name within the parent instead.
  const int depth = GetItemIdListDepth(list);
  if (depth < 2) return path;
  UniquePidl parentList = GetItemIdListStart(list, depth - 1);
  UniquePidl child = GetItemIdListPart(list, depth - 1);
  host::ComPtr<IShellFolder> parent;
  if (!parentList || !child ||
      !host::HrOk(Desktop()->BindToObject(parentList.get(), nullptr, IID_PPV_ARGS(&parent)),
                  "BindToObject") ||
      !parent)
    return path;
  STRRET name{};
  if (!host::HrOk(parent->GetDisplayNameOf(child.get(), SHGDN_INFOLDER | SHGDN_FORPARSING, &name),
                  "GetDisplayNameOf"))
    return path;
  const WideString childName = host::ToWide(GetStringFromStrRet(child.get(), name));
  FreeStrRet(name);
  WideString parentPath = GetPathFromPidlW(parentList.get());
  if (childName.empty() || parentPath.empty() || childName.find_first_of(L"\\:") != WideString::npos)
    return path;
  if (parentPath.back() != L'\\') parentPath += L'\\';
  return parentPath + childName;
}

String GetPathFromPidl(PCItemIDList list) { return host::ToUtf8(GetPathFromPidlW(list)); }

namespace {

// A plain directory below a drive's root, made and initialised as the desktop's binding would.
host::ComPtr<IShellFolder> FileSystemFolderOf(PCItemIDList list) {
  const WideString path = GetPathFromPidlW(list);
  const bool belowRoot = path.size() > 3 && path.size() < MAX_PATH - 1 && path[1] == L':' &&
                         path[2] == L'\\' && std::iswalpha(path[0]);
  // A name ending in ".{CLSID}" makes the folder a junction to that handler.
  if (!belowRoot || path.back() == L'}') return {};
  const DWORD attributes = GetFileAttributesW(path.c_str());
  constexpr DWORD kCustomisable =
      FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_REPARSE_POINT;
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY) ||
      (attributes & kCustomisable))
    return {};
  host::ComPtr<IPersistFolder3> persist;
  if (FAILED(CoCreateInstance(CLSID_ShellFSFolder, nullptr, CLSCTX_INPROC_SERVER,
                              IID_PPV_ARGS(&persist))) ||
      !persist)
    return {};
  PERSIST_FOLDER_TARGET_INFO target{};
  target.dwAttributes = DWORD(-1);
  target.csidl = -1;
  path.copy(target.szTargetParsingName, path.size());
  host::ComPtr<IShellFolder> folder;
  if (FAILED(persist->InitializeEx(nullptr, list, &target)) ||
      FAILED(persist->QueryInterface(IID_PPV_ARGS(&folder))))
    return {};
  return folder;
}

}  // namespace

HRESULT BindFolderIdList(PCItemIDList list, host::ComPtr<IShellFolder>& folder) {
  folder.Reset();
  if (!list) return E_INVALIDARG;
  if (GetItemIdListDepth(list) == 0) {
    folder = Desktop();
    return S_OK;
  }
  folder = FileSystemFolderOf(list);
  if (folder) return S_OK;
  const HRESULT hr = Desktop()->BindToObject(list, nullptr, IID_PPV_ARGS(&folder));
  if (SUCCEEDED(hr) && !folder) return E_FAIL;
  return hr;
}

String GetFileSystemPathOf(IShellFolder* folder, PCItemIDList item) {
  if (!folder || !item) return {};
  STRRET name{};
  if (FAILED(folder->GetDisplayNameOf(item, SHGDN_FORPARSING, &name))) return {};
  String path = GetStringFromStrRet(item, name);
  FreeStrRet(name);
  const bool drive = path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) &&
                     path[1] == ':' && path[2] == '\\';
  const bool share = path.size() > 2 && path[0] == '\\' && path[1] == '\\' && path[2] != '?';
  // Some folders cut their names at MAX_PATH - 1 characters.
  if ((!drive && !share) || host::ToWide(path).size() >= MAX_PATH - 1) return {};
  return path;
}

}  // namespace zelnor
