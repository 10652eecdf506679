// Special folders and the process-wide shell state.
//   TKivShellFolder, ShellFolderCsidl          the 28 special folders and their CSIDLs
//   InitializeShell                            one-time start-up (runs on first use)
//   Desktop, DesktopIdList, NetHoodIdList ...  shell state
//   GetRelativePIDL ... GetFileSystemPathOf    special folders and paths of lists
#pragma once

#include "shell/ShellWin32.h"

#include <optional>

namespace zelnor {

enum TKivShellFolder {
  SF_FILESYSTEMFOLDER,  // an ordinary folder; turned into a list it is My Computer
  SF_BITBUCKET,
  SF_CONTROLS,
  SF_DESKTOP,
  SF_DESKTOPDIRECTORY,
  SF_DRIVES,
  SF_FONTS,
  SF_NETHOOD,
  SF_NETWORK,
  SF_PERSONAL,
  SF_PRINTERS,
  SF_PROGRAMS,
  SF_RECENT,
  SF_SENDTO,
  SF_STARTMENU,
  SF_STARTUP,
  SF_TEMPLATES,
  SF_FAVORITES,
  SF_COMMON_STARTMENU,
  SF_COMMON_STARTUP,
  SF_COMMON_DESKTOPDIRECTORY,
  SF_APPDATA,
  SF_PRINTHOOD,
  SF_COMMON_FAVORITES,
  SF_INTERNET_CACHE,
  SF_COOKIES,
  SF_HISTORY,
  SF_COMMON_PROGRAMS,
};
inline constexpr int SHELL_FOLDER_COUNT = SF_COMMON_PROGRAMS + 1;

// The platform folder identifier (CSIDL) of a special folder.
int ShellFolderCsidl(TKivShellFolder folder);

// Runs the start-up once (thread-safe): joins OLE on the calling thread, loads the run-time entry
// points, takes the desktop folder and the globals. Throws host::Exception with the start-up
// message on failure. Every accessor below calls it, so an explicit call is only needed to choose
// the thread that joins OLE (call it from the main thread first).
void InitializeShell();

// The calling thread's desktop folder (borrowed). The start-up thread gets the process-wide
// folder; another thread, which must have joined COM itself, gets its own, valid until the thread
// leaves its apartment (a TKivThread's or a host::CoInitializeGuard's) or ends. Raises
// host::EOleError when the shell gives none.
IShellFolder* Desktop();
// The static empty list of the desktop: never free it.
PCItemIDList DesktopIdList();
// List of CSIDL_NETHOOD, owned by the module (borrowed); nullptr when the shell has none.
PCItemIDList NetHoodIdList();
// Clipboard format "Shell IDList Array".
UINT CF_IDLIST();
// Platform version flags (available without the shell start-up).
bool IsNT();
bool IsOldWindows();

// Equality of two lists as `folder` decides it (CompareIDs with parameter 0 answers exactly 0):
// relative lists under `folder`, absolute lists under the desktop (nullptr). False when either
// list is nullptr. Lists are never compared byte by byte alone: two byte strings may name one
// object. An answer of 0 for lists of different bytes is confirmed with their parsing names,
// since a folder may answer 0 for different objects (Wine compares names through the ANSI code
// page, and folds case where the file system may not): different names are different objects,
// and names that differ only in case are one object unless the file system says otherwise.
bool SameItemIdList(PCItemIDList a, PCItemIDList b, IShellFolder* folder = nullptr);
// Whether the file-system paths `a` and `b` name one object, by volume and file identity (files
// and folders alike); nullopt when either cannot be opened or the system gives no identity.
std::optional<bool> SameFileSystemObject(const String& a, const String& b);

// Last element of an absolute list as a new single-element list; nullptr for the empty list.
[[nodiscard]] UniquePidl GetRelativePIDL(PCItemIDList list);
// True when the list lies below the Network folder.
bool IsNetworkPidl(PCItemIDList list);
// Which special folder an absolute list denotes; SF_FILESYSTEMFOLDER if none.
TKivShellFolder TestForSpecialFolder(PCItemIDList list);
// New absolute list of a special folder; nullptr when the shell has none.
[[nodiscard]] UniquePidl GetIdListFromSpecialFolder(TKivShellFolder folder);
// File-system path (UTF-8) of a special folder; empty when it has none.
String GetPathFromSpecialFolder(TKivShellFolder folder);
// File-system path of an absolute list; empty for nullptr, for objects without one and on failure.
String GetPathFromPidl(PCItemIDList list);
WideString GetPathFromPidlW(PCItemIDList list);
// The shell folder of an absolute list, as the desktop binds it; nullptr and the failure when it
// cannot be bound. A plain directory on a drive (neither read-only nor system, so no desktop.ini
// can give it a handler of its own) is made a file-system folder directly: the desktop's binding
// looks for that desktop.ini, which Wine finds missing only by reading the whole directory
// (about 70 ms for 100,000 entries).
HRESULT BindFolderIdList(PCItemIDList list, host::ComPtr<IShellFolder>& folder);
// File-system path of `item` (relative to `folder`), as the folder names it for parsing; empty
// when that is no drive or share path or may have been cut short. A fraction of the cost of
// GetPathFromPidl, which binds every folder above the object.
String GetFileSystemPathOf(IShellFolder* folder, PCItemIDList item);

}  // namespace zelnor
