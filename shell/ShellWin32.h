// Item identifier lists and the shell's run-time entry points.
//   PItemIDList, PCItemIDList, UniquePidl   list pointers and their owner
//   CreatePIDL ... GetItemIdListStart       list arithmetic (size, depth, copy, join, cut)
//   GetIdListFromPath                       display name -> list through a folder
//   TKivSHChangeNotifyRegister ...          entry points looked up at run time (see ShellGlobals.h)
//   UniqueChangeRegistration                owner of a change-notification registration
//
// Every list returned here is a new block from the COM task allocator, handed to the caller in a
// UniquePidl. Lists passed in are only read.
#pragma once

#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <memory>

#include "host/core/Raii.h"
#include "host/core/SysUtils.h"

namespace zelnor {

using host::String;
using host::WideString;

using PItemIDList = ITEMIDLIST*;
using PCItemIDList = const ITEMIDLIST*;

// Owner of one list from the task allocator.
using UniquePidl = host::CoTaskMemPtr<ITEMIDLIST>;

// Zero-filled block of `size` bytes from the task allocator; nullptr if allocation fails.
[[nodiscard]] UniquePidl CreatePIDL(unsigned size);
// Bytes of the list including its two-byte terminator; 0 for nullptr.
int GetPidlSize(PCItemIDList list);
// Number of elements; 0 for nullptr and for the empty list.
int GetItemIdListDepth(PCItemIDList list);
// New copy; nullptr for nullptr or when allocation fails.
[[nodiscard]] UniquePidl CopyItemIdList(PCItemIDList list);
// New list of `first` followed by `second`; a nullptr operand yields a copy of the other.
[[nodiscard]] UniquePidl ConcatItemIdLists(PCItemIDList first, PCItemIDList second);
// New single-element list holding element `index` (0-based); an empty list when index equals
// the depth; nullptr when index is negative or beyond the depth.
[[nodiscard]] UniquePidl GetItemIdListPart(PCItemIDList list, int index);
// New list of the first `count` elements (the whole list when it is shorter; empty for count <= 0).
[[nodiscard]] UniquePidl GetItemIdListStart(PCItemIDList list, int count);
// Parses `path` (UTF-8) relative to `folder` (the calling thread's desktop when nullptr). An empty
// path gives My Computer. On failure returns nullptr and leaves the HRESULT as the last error.
[[nodiscard]] UniquePidl GetIdListFromPath(IShellFolder* folder, const String& path);

// Run-time shell entry points, with the platform's own parameter lists.
using TSHChangeNotifyRegister = ULONG(WINAPI*)(HWND owner, int sources, LONG events, UINT message,
                                               int entryCount, const SHChangeNotifyEntry* entries);
using TSHChangeNotifyDeregister = BOOL(WINAPI*)(ULONG registration);
using TSHILCreateFromPath = HRESULT(WINAPI*)(LPCWSTR path, PIDLIST_ABSOLUTE* list, DWORD* attributes);
using TSHEmptyRecycleBin = HRESULT(WINAPI*)(HWND owner, LPCWSTR rootPath, DWORD flags);
using TSHAutoComplete = HRESULT(WINAPI*)(HWND edit, DWORD flags);

// Entry points looked up at start-up; each is nullptr when its library does not export it.
TSHChangeNotifyRegister KivSHChangeNotifyRegister();      // shell32 ordinal 2
TSHChangeNotifyDeregister KivSHChangeNotifyDeregister();  // shell32 ordinal 4
TSHILCreateFromPath KivSHILCreateFromPath();              // shell32 ordinal 28 (wide path)
TSHEmptyRecycleBin KivSHEmptyRecycleBin();                // shell32 "SHEmptyRecycleBinW"
TSHAutoComplete KivSHAutoComplete();                      // shlwapi "SHAutoComplete"

// A change-notification registration (its number; 0 for none), deregistered by its owner.
struct ChangeRegistrationTraits {
  using Type = ULONG;
  static Type Invalid() { return 0; }
  static void Close(Type registration) {
    if (const auto deregister = KivSHChangeNotifyDeregister()) deregister(registration);
  }
};
using UniqueChangeRegistration = host::UniqueAny<ChangeRegistrationTraits>;

}  // namespace zelnor
