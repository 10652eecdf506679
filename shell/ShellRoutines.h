// Shell utility routines shared by every component.
//   MatchPattern                          wildcard match of a name ("*", "?")
//   GetStringFromStrRet, FreeStrRet       the shell's string-return records
//   GetErrorMessageText, KivGetTempPath   system texts and places
//   GetDomainFromIdList                   network domain or server name of a list
//   GetFilenamesFrom...                   file names of drops, the clipboard and data objects
//   _GetLinkTarget, GetLinkTarget         target of a shortcut file
//   IsDrive, IsDriveReady, IsUNCPath      drive and share paths
//   GetFriendlyName, GetMyDocumentsPath, GetUserProfilePath, GetFileSize, IsFolderToIgnore
//   GetExplorerLogFont, ApplyExplorerFont, EnableAutoComplete, GetOwningWindowHandle
#pragma once

#include <windows.h>
#include <shlobj.h>
#include <shellapi.h>

#include <cstdint>
#include <memory>

#include "host/core/StringList.h"
#include "host/graphics/Graphics.h"
#include "shell/ShellWin32.h"

namespace zelnor {

// CF_HDROP in global memory, as the shell's data objects offer it.
inline const FORMATETC HDropFormatEtc = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};

// Wildcard match: "*" any run of characters, "?" exactly one; ASCII letters compare without case,
// every other character as it is. A pattern rest of exactly "*" also matches nothing.
bool MatchPattern(const String& name, const String& pattern);

// Text of a string-return record; `list` is the relative list the record came with (needed for
// the offset form). A wide text is taken over and freed here, and the record's pointer is cleared,
// so a following FreeStrRet does nothing.
String GetStringFromStrRet(PCItemIDList list, STRRET& strRet);
// Frees a wide text still held by a record.
void FreeStrRet(STRRET& strRet);

// The system's message for an error code or HRESULT; empty when the system has none.
String GetErrorMessageText(int code);
// True when the folder's path has MAX_PATH characters or more and the disk holds entries in it:
// the shell lists such a folder as empty (Wine), or not at all.
bool TooLongForTheShell(const String& folder);
// The user's temp folder with its trailing backslash.
String KivGetTempPath();

// Remote name of a network domain or server below `folder`; empty for anything else.
String GetDomainFromIdList(IShellFolder* folder, PCItemIDList list);

// Every file of a drop in drop order; nullptr for a zero handle and for a drop with no files.
std::unique_ptr<host::TStringList> GetFilenamesFromHandle(HDROP drop);
// Files of the clipboard's CF_HDROP; nullptr when it has none.
std::unique_ptr<host::TStringList> GetFilenamesFromClipboard();
// Files of a data object's CF_HDROP: nullptr for a nullptr object and for zero files, an empty
// list when the object offers no CF_HDROP.
std::unique_ptr<host::TStringList> GetFilenamesFromDataObject(IDataObject* dataObject);

// Target path of a shortcut file (UNC form preferred), with the target's find data; empty when
// the file is no shortcut or the target has no path. The calling thread must be in a COM
// apartment: the start-up thread of the shell is, a worker joins one itself (TKivThread does).
String _GetLinkTarget(const WideString& linkFile, WIN32_FIND_DATAW& findData);
String GetLinkTarget(const String& linkFile);

// "C:", "C:\" and "\\server\share" are drives; "C:\Temp" and "" are not.
bool IsDrive(const String& path);
// The volume of the path answers (no critical-error box is shown).
bool IsDriveReady(const String& path);
// "\\server\share..." (a server alone is not).
bool IsUNCPath(const String& path);

// Long canonical path of `path`; the path itself when the shell cannot parse it.
String GetFriendlyName(const String& path);
String GetMyDocumentsPath();
// The application-data folder with a trailing backslash; empty when there is none.
String GetUserProfilePath();
// Size of the first file matching `path` (wildcards allowed); -1 when nothing matches.
int64_t GetFileSize(const String& path);
// True for "." and "..".
bool IsFolderToIgnore(const String& name);

// The explorer's icon-title font; false (and `font` unchanged) when the system does not answer.
bool GetExplorerLogFont(LOGFONTW& font);
// Gives `font` the explorer's icon-title font; unchanged when the system does not answer.
void ApplyExplorerFont(host::TFont& font);

// Switches the shell's auto-completion of an edit window on (file system and/or URL history) or
// off (neither); true when the shell accepted it.
bool EnableAutoComplete(HWND edit, bool fileSystem, bool url);

// Owner window of the shell's dialogs, menus and operations: the main form's window when there
// is a main form, else the application's window.
HWND GetOwningWindowHandle();

}  // namespace zelnor
