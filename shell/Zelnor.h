// The navigator over one shell folder and its children.
//   EZelnorError                a folder, list or object that cannot be reached
//   TZelnor                     binding (Zelnor.cpp), item properties (ZelnorItems.cpp),
//                               thumbnails (ZelnorThumbnail.cpp), UI objects and commands
//                               (ZelnorCommands.cpp)
//
// List ownership: GetFolderIdList and GetItemIdList hand out new copies (UniquePidl);
// GetAbsoluteItemIdList lends the instance's own cached list, valid until the folder or the item
// changes; every setter copies its argument.
#pragma once

#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

#include "host/core/Classes.h"
#include "host/core/Raii.h"
#include "host/core/StringList.h"
#include "host/core/SysUtils.h"
#include "host/core/TypeInfo.h"
#include "host/forms/Menus.h"
#include "shell/ShellGlobals.h"
#include "shell/ShellOperations.h"
#include "shell/ShellStrings.h"
#include "shell/ShellWin32.h"

namespace zelnor {

class EZelnorError : public host::Exception {
 public:
  using Exception::Exception;
};

// Identifiers of TKivShellFolder for published properties. Defined here, so that it is made
// before the static objects of any unit that includes it (a class registered at start-up copies
// it).
inline const host::TEnumInfo KivShellFolderInfo{
    "SF_FILESYSTEMFOLDER", "SF_BITBUCKET",         "SF_CONTROLS",
    "SF_DESKTOP",          "SF_DESKTOPDIRECTORY",  "SF_DRIVES",
    "SF_FONTS",            "SF_NETHOOD",           "SF_NETWORK",
    "SF_PERSONAL",         "SF_PRINTERS",          "SF_PROGRAMS",
    "SF_RECENT",           "SF_SENDTO",            "SF_STARTMENU",
    "SF_STARTUP",          "SF_TEMPLATES",         "SF_FAVORITES",
    "SF_COMMON_STARTMENU", "SF_COMMON_STARTUP",    "SF_COMMON_DESKTOPDIRECTORY",
    "SF_APPDATA",          "SF_PRINTHOOD",         "SF_COMMON_FAVORITES",
    "SF_INTERNET_CACHE",   "SF_COOKIES",           "SF_HISTORY",
    "SF_COMMON_PROGRAMS",
};

class TZelnor : public host::TComponent {
  HOST_CLASS(TZelnor, host::TComponent)

  explicit TZelnor(host::TComponent* owner = nullptr);
  ~TZelnor() override;

  // ---- Lifecycle
  void Loaded() override;
  // Marks the instance as loaded when it is made outside a form.
  void Initialize();
  bool IsLoaded() const { return loaded_; }
  // Owner window for shell calls: none when ShowErrorMessages is off (the shell then shows no UI),
  // else the owning windowed control once loaded, else the application's window.
  HWND GetWinHandle() const;

  // ---- Binding
  // File-system path of the folder with a trailing backslash; empty for folders without one.
  const String& Folder() const { return folder_; }
  // Binds by path; an empty path binds My Computer. Raises EZelnorError for a path that neither
  // parses nor connects.
  void SetDirectory(const String& path);
  // Binds by absolute list; nullptr leaves the instance without a folder list.
  void SetFolderIdList(PCItemIDList list);
  UniquePidl GetFolderIdList() const;
  // The bound folder (borrowed).
  IShellFolder* ShellFolder() const { return shellFolder_.Get(); }
  // Replaces the folder interface only; ends a running enumeration.
  void SetShellfolder(IShellFolder* folder);
  // Binds a special folder; one the shell lacks leaves the instance as it was.
  void SetSpecialFolder(TKivShellFolder folder);
  TKivShellFolder GetSpecialFolder() const;
  // Which special folder the current item (or, without one, the folder) is.
  TKivShellFolder IsSpecialObject();

  // Selects a child of the folder by its single-element list; nullptr selects none.
  void SetItemIdList(PCItemIDList list);
  UniquePidl GetItemIdList() const;
  // The current item (borrowed, valid until the item changes); nullptr when none.
  PCItemIDList ItemIdList() const { return item_.get(); }
  // Binds to the parent of an absolute list and selects the object itself.
  void SetAbsoluteItemIdList(PCItemIDList list);
  // Folder list joined with the item (borrowed cache).
  PCItemIDList GetAbsoluteItemIdList();

  // ObjectName: a child name, a drive ("C:\" binds My Computer and selects C:) or a full path.
  // Raises EZelnorError when the object is not in its folder.
  void SetObjectName(const String& name);
  // Parsing name of the item within its folder ("a.txt", "C:\" for a drive); empty without item.
  String GetObjectName();
  // The folder's parent becomes the folder and the old folder its item. Always true.
  bool SelectParent();
  // Lets the shell log on to the server of a UNC path. True when the server could be listed.
  bool ConnectToServer(const String& path);

  // ---- Binding that may fail, without raising
  // Each answers whether the binding (or item) is now the one asked for. On false the instance is
  // as the raising setter above leaves it, and `why` (when given) holds the message that setter
  // raises EZelnorError with; the raising setters are built on these. Only "not there" answers
  // false: running out of memory still raises.
  bool TrySetDirectory(const String& path, String* why = nullptr);
  bool TrySetFolderIdList(PCItemIDList list, String* why = nullptr);
  bool TrySetAbsoluteItemIdList(PCItemIDList list, String* why = nullptr);
  bool TrySetObjectName(const String& name, String* why = nullptr);

  // ---- Enumeration
  // Advances to the next child that passes FileSystemOnly and the filter; false at the end (the
  // next call then starts again from the first child).
  bool Next();
  // Patterns separated by ";" (an empty text is "*"); read back joined by ";".
  void SetFilter(const String& text);
  String GetFilter() const;
  // Folders always pass; other items when their parsing name matches a pattern.
  bool FilterMatch();

  // ---- Settings
  bool FileSystemOnly() const { return fileSystemOnly_; }
  void SetFileSystemOnly(bool value) { fileSystemOnly_ = value; }
  // Names (or full paths) the next command applies to instead of the item; consumed by it.
  host::TStrings* MultiObjects() const { return multiObjects_.get(); }
  bool ShowErrorMessages() const { return showErrorMessages_; }
  void SetShowErrorMessages(bool value) { showErrorMessages_ = value; }
  bool ShowContextMenuOnTop() const { return showContextMenuOnTop_; }
  void SetShowContextMenuOnTop(bool value) { showContextMenuOnTop_ = value; }
  // When set, the context-menu verbs delete, cut and paste are not carried out.
  bool RestrictedVerbs() const { return restrictedVerbs_; }
  void SetRestrictedVerbs(bool value) { restrictedVerbs_ = value; }
  String Version() const { return ClassName() + " V4.2"; }
  void SetVersion(const String&) {}
  String ObjectName() { return GetObjectName(); }
  TKivShellFolder SpecialFolder() const { return GetSpecialFolder(); }
  bool IsSpecialFolderStored() const;

  host::TNotifyEvent OnRename;
  TOnContextMenuSelectEvent OnContextMenuSelect;

  // ---- Item properties (neutral answers without an item; never raise on shell failures)
  // Display name (SHGDN_NORMAL); the parsing name when the shell gives none.
  String GetShellObjectName();
  // The shell's attributes of the item for `mask` (bits outside it may be set); 0 on failure.
  ULONG GetAttributes(ULONG mask);
  bool IsFolder();
  bool HasSubFolders();
  bool IsHidden();
  bool IsLink();
  // The target path of a link to a folder; empty for other items.
  String IsLinkToFolder();
  String GetDomain();
  // Indexes in the small system image list.
  int GetIconNumber();
  int GetSelectedIconNumber();
  int GetDesktopIconIndex();
  String GetDesktopName();
  // 0-based overlay image (0 share, 1 link) or -1.
  int GetOverlayIndex();
  String GetInfoTip();
  // Whether the folder offers a column provider (IShellFolder2 or IShellDetails).
  bool GetIShellDetails();
  // Caption (header) or item text of a detail column.
  String GetColumnText(int index, bool header);
  // Alignment and width in pixels of a detail column; width 0 for one hidden by default.
  TAlignment GetColumnInfo(int index, int& width);
  // Size of the item's file; -1 when not found.
  int64_t GetFileSize();
  // Last write time in local time; 0 when not available.
  host::TDateTime GetLastChangeDate();
  // Thumbnail scaled into width x height (64 x 64 when either is not positive), from the
  // shell's extractor or, for image files it lacks, decoded with WIC. The caller owns the bitmap.
  HBITMAP GetThumbnailBitmap(int width, int height);

  // ---- UI objects
  // GetUIObjectOf for the item or for the names of MultiObjects (cleared on every path). Names
  // may be full paths; all objects must lie in one folder, which need not be the bound one (the
  // binding and the item stay as they are). On failure *object is nullptr and the HRESULT is left
  // as the last error: E_INVALIDARG for objects of different folders. Raises EZelnorError for a
  // name that is not in its folder.
  void GetUIObject(REFIID iid, void** object);
  // For interfaces with a declared uuid; others (IQueryInfo) use the form above.
  template <typename I>
  void GetUIObject(host::ComPtr<I>& object) {
    object.Reset();
    GetUIObject(__uuidof(I), reinterpret_cast<void**>(object.GetAddressOf()));
  }

  // ---- Commands (on the item, or on the names of MultiObjects, which each command consumes)
  // Shows the shell's context menu at a screen point, merged with copies of `menu`'s items (above
  // the shell's with ShowContextMenuOnTop). Answers the verb carried out; empty when the menu was
  // closed, an application item was chosen (its original item is clicked), the verb was vetoed or
  // failed, or a delete left the object in place.
  String ShowContextMenu(POINT point, host::TPopupMenu* menu = nullptr);
  // Carries out a verb without a menu; an empty verb is the default one. False when vetoed, when
  // there is nothing to act on, when the shell fails (its HRESULT left as the last error) or when
  // a delete left the object in place.
  bool InvokeContextMenuCommand(const String& verb);
  // Window procedure of the window that owns an open context menu: submenus, owner drawing and
  // hints of the shell's items and of the copied application items.
  void HandlePopupMessages(host::TMessage& message);
  // The shell lets the item be renamed.
  bool CanRename();
  // Renames the item; `name` comes back as its display name (the old one when the shell refused).
  void RenameObject(String& name);
  // The same without the shell's own messages: false when the name is refused, with the reason
  // in `why` (the shell's error text, or ours when it gives none); `name` comes back as above.
  bool TryRenameObject(String& name, String* why = nullptr);
  // A folder item becomes the bound folder; false for other items. TryBrowseObject answers false
  // instead of raising where the folder cannot be bound.
  bool BrowseObject();
  bool TryBrowseObject();
  // The platform's folder dialog; the chosen folder becomes the bound folder. False on cancel.
  bool BrowseForFolder(const String& title);
  // The platform's dialog that connects a network drive; true when a drive was connected.
  bool ShowNetConnectionDialog();

 private:
  void AdoptItem(UniquePidl item);
  void DropAbsoluteCache() { absoluteItem_.reset(); }
  void ReleaseDetails();
  bool PassesFileSystemOnly();
  // Fills the find-data cache when it is invalid; false when the shell has no find data.
  bool FetchFindData(bool always = false);
  // Fills the cache of the attributes the shell reads from the item's list; false on failure.
  bool FetchItemAttributes();
  String ObjectNameOfItem();
  // The folder and the single-element lists of the objects a command acts on.
  HRESULT UIObjectLists(host::ComPtr<IShellFolder>& folder, std::vector<UniquePidl>& lists);
  // Full path of the first object a command acts on (for the test that a delete happened).
  String FirstObjectPath();
  HRESULT InvokeVerb(IContextMenu* menu, LPCSTR verb);
  HRESULT InvokeDefaultVerb(IContextMenu* menu);
  // The default item of the objects' context menu.
  HRESULT InvokeMenuDefault(IContextMenu* menu);
  // Runs the current item with ShellExecuteEx, by its absolute list.
  HRESULT ExecuteItem();
  HBITMAP ExtractShellThumbnail(int width, int height);

  String folder_;
  UniquePidl folderIdList_;
  host::ComPtr<IShellFolder> shellFolder_;
  UniquePidl item_;
  UniquePidl absoluteItem_;
  host::ComPtr<IEnumIDList> enumerator_;
  bool fileSystemOnly_ = false;
  std::unique_ptr<host::TStringList> multiObjects_;
  std::unique_ptr<host::TStringList> patterns_;
  host::ComPtr<IShellDetails> shellDetails_;
  host::ComPtr<IShellFolder2> shellFolder2_;
  bool detailsFetched_ = false;
  WIN32_FIND_DATAW findData_{};
  // The item's parsing name and list attributes, asked once while the item and folder stay.
  String objectName_;
  bool objectNameKnown_ = false;
  ULONG itemAttributes_ = 0;
  bool itemAttributesKnown_ = false;
  bool loaded_ = false;
  bool restrictedVerbs_ = false;
  int subFolders_ = -1;
  mutable int specialFolder_ = -1;  // GetSpecialFolder of the bound list, -1 until asked
  bool showErrorMessages_ = true;
  bool showContextMenuOnTop_ = false;
  // While a context menu is open: the shell's menu, the copy of the application's menu and the
  // original item each copied item stands for (by command).
  host::ComPtr<IContextMenu2> contextMenu2_;
  std::unique_ptr<host::TPopupMenu> popupCopy_;
  std::unordered_map<UINT, host::TMenuItem*> copiedItems_;
};

}  // namespace zelnor
