// Item identifier list arithmetic and the run-time shell entry points.
#include "shell/ShellWin32.h"

#include <cstring>
#include <mutex>

#include "host/core/HResult.h"
#include "shell/ShellGlobals.h"

namespace zelnor {

namespace {

// Size field of the element at `p`.
USHORT ElementSize(const BYTE* p) {
  USHORT cb;
  std::memcpy(&cb, p, sizeof cb);
  return cb;
}

// Entry points of shell32 and shlwapi, looked up once. The libraries stay loaded for the process.
struct EntryPoints {
  TSHChangeNotifyRegister changeNotifyRegister = nullptr;
  TSHChangeNotifyDeregister changeNotifyDeregister = nullptr;
  TSHILCreateFromPath ilCreateFromPath = nullptr;
  TSHEmptyRecycleBin emptyRecycleBin = nullptr;
  TSHAutoComplete autoComplete = nullptr;
  HMODULE shell32 = nullptr;
  HMODULE shlwapi = nullptr;
  ~EntryPoints() {
    if (shlwapi) FreeLibrary(shlwapi);
    if (shell32) FreeLibrary(shell32);
  }
};

EntryPoints& Entries() {
  static EntryPoints entries;
  return entries;
}

template <typename T>
T Lookup(HMODULE module, LPCSTR name) {
  return reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

}  // namespace

// Loads the entry points; called by the shell start-up before anything else.
void LoadShellEntryPoints() {
  static std::once_flag once;
  std::call_once(once, [] {
    EntryPoints& e = Entries();
    HMODULE shell32 = LoadLibraryW(L"shell32.dll");
    if (!shell32) throw host::Exception("Zelnor Components: Cannot open SHELL32.DLL!");
    HMODULE shlwapi = LoadLibraryW(L"shlwapi.dll");
    if (!shlwapi) {
      FreeLibrary(shell32);
      throw host::Exception("Zelnor Components: Cannot open SHLWAPI.DLL!");
    }
    e.shell32 = shell32;
    e.shlwapi = shlwapi;
    e.changeNotifyRegister = Lookup<TSHChangeNotifyRegister>(shell32, MAKEINTRESOURCEA(2));
    e.changeNotifyDeregister = Lookup<TSHChangeNotifyDeregister>(shell32, MAKEINTRESOURCEA(4));
    e.ilCreateFromPath = Lookup<TSHILCreateFromPath>(shell32, MAKEINTRESOURCEA(28));
    e.emptyRecycleBin = Lookup<TSHEmptyRecycleBin>(shell32, "SHEmptyRecycleBinW");
    e.autoComplete = Lookup<TSHAutoComplete>(shlwapi, "SHAutoComplete");
  });
}

TSHChangeNotifyRegister KivSHChangeNotifyRegister() {
  InitializeShell();
  return Entries().changeNotifyRegister;
}
TSHChangeNotifyDeregister KivSHChangeNotifyDeregister() {
  InitializeShell();
  return Entries().changeNotifyDeregister;
}
TSHILCreateFromPath KivSHILCreateFromPath() {
  InitializeShell();
  return Entries().ilCreateFromPath;
}
TSHEmptyRecycleBin KivSHEmptyRecycleBin() {
  InitializeShell();
  return Entries().emptyRecycleBin;
}
TSHAutoComplete KivSHAutoComplete() {
  InitializeShell();
  return Entries().autoComplete;
}

UniquePidl CreatePIDL(unsigned size) {
  void* p = CoTaskMemAlloc(size);
  if (p) std::memset(p, 0, size);
  return UniquePidl{static_cast<PItemIDList>(p)};
}

int GetPidlSize(PCItemIDList list) {
  if (!list) return 0;
  const BYTE* p = reinterpret_cast<const BYTE*>(list);
  int size = 2;
  for (USHORT cb; (cb = ElementSize(p)) != 0; p += cb) size += cb;
  return size;
}

int GetItemIdListDepth(PCItemIDList list) {
  if (!list) return 0;
  const BYTE* p = reinterpret_cast<const BYTE*>(list);
  int depth = 0;
  for (USHORT cb; (cb = ElementSize(p)) != 0; p += cb) ++depth;
  return depth;
}

UniquePidl CopyItemIdList(PCItemIDList list) {
  if (!list) return nullptr;
  const int size = GetPidlSize(list);
  UniquePidl copy = CreatePIDL(unsigned(size));
  if (copy) std::memcpy(copy.get(), list, size_t(size));
  return copy;
}

UniquePidl ConcatItemIdLists(PCItemIDList first, PCItemIDList second) {
  if (!first && !second) return nullptr;
  int a = GetPidlSize(first);
  const int b = GetPidlSize(second);
  if (first && second) a -= 2;
  UniquePidl result = CreatePIDL(unsigned(a + b));
  if (!result) return nullptr;
  BYTE* out = reinterpret_cast<BYTE*>(result.get());
  if (first) std::memcpy(out, first, size_t(a));
  if (second) std::memcpy(out + a, second, size_t(b));
  return result;
}

UniquePidl GetItemIdListPart(PCItemIDList list, int index) {
  if (!list || index < 0) return nullptr;
  const BYTE* p = reinterpret_cast<const BYTE*>(list);
  int i = 0;
  USHORT cb;
  while ((cb = ElementSize(p)) != 0 && i < index) {
    p += cb;
    ++i;
  }
  if (i != index) return nullptr;
  UniquePidl part = CreatePIDL(unsigned(cb) + 2);  // zero-filled: the terminator is in place
  if (part) std::memcpy(part.get(), p, cb);
  return part;
}

UniquePidl GetItemIdListStart(PCItemIDList list, int count) {
  if (!list) return nullptr;
  UniquePidl copy = CopyItemIdList(list);
  if (!copy) return nullptr;
  BYTE* p = reinterpret_cast<BYTE*>(copy.get());
  for (int i = 0; ElementSize(p) != 0; ++i) {
    if (i >= count) {
      p[0] = p[1] = 0;
      break;
    }
    p += ElementSize(p);
  }
  return copy;
}

UniquePidl GetIdListFromPath(IShellFolder* folder, const String& path) {
  if (path.empty()) {
    PIDLIST_ABSOLUTE drives = nullptr;
    const HRESULT hr = SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &drives);
    UniquePidl list{drives};
    return host::HrOk(hr, "SHGetSpecialFolderLocation") ? std::move(list) : nullptr;
  }
  if (!folder) folder = Desktop();
  WideString wide = host::ToWide(path);
  PIDLIST_RELATIVE parsed = nullptr;
  const HRESULT hr = folder->ParseDisplayName(nullptr, nullptr, wide.data(), nullptr, &parsed, nullptr);
  UniquePidl list{parsed};
  return host::HrOk(hr, "ParseDisplayName") ? std::move(list) : nullptr;
}

}  // namespace zelnor
