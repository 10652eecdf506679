// The platform's folder picker as a component.
//   TKivBrowseFlag, TKivBrowseFlags   options of the picker (bfNewDialogStyle ...)
//   TKivBrowseForFolder               root, title, options, initial path; Execute; chosen Path
#pragma once

#include "shell/ComponentBases.h"
#include "shell/ShellGlobals.h"

#include <windows.h>

#include <exception>

namespace zelnor {

enum TKivBrowseFlag { bfNewDialogStyle, bfFileSystemOnly, bfBrowseIncludeFiles, bfEditBox };
using TKivBrowseFlags = unsigned;  // set of TKivBrowseFlag: bit n = member n
inline const host::TEnumInfo KivBrowseFlagInfo{"bfNewDialogStyle", "bfFileSystemOnly",
                                               "bfBrowseIncludeFiles", "bfEditBox"};
inline constexpr TKivBrowseFlags kDefaultBrowseFlags = 1u << bfNewDialogStyle;

// Runs the shell's browse-for-folder dialog. While it is open the component places it, selects
// Path, keeps OK in step with bfFileSystemOnly, sets the caption and reports each change of
// selection through OnChange (which may move the dialog, change its caption or its OK button).
class TKivBrowseForFolder : public TKivBaseDialog {
  HOST_CLASS(TKivBrowseForFolder, TKivBaseDialog)
  explicit TKivBrowseForFolder(host::TComponent* owner = nullptr);

  // ---- Running
  // KivExecute over the window of the owner rule (GetDialogParentWindow).
  bool Execute() override;
  // Runs the dialog over `parent`; true when the user chose an object. Path then holds its
  // file-system path, or for an object without one its name (a server's network name) or, failing
  // that, its display name. On cancel Path is empty. OnShow comes before the dialog, OnClose after
  // it on every path; an exception of an event handler closes the dialog and is raised here.
  bool KivExecute(HWND parent);
  // The open dialog's window; nullptr while it is closed.
  HWND Handle() const { return dialog_; }

  // ---- Properties
  const host::String& Title() const { return title_; }
  void SetTitle(const host::String& title) { title_ = title; }
  TKivBrowseFlags Options() const { return options_; }
  // bfEditBox brings bfNewDialogStyle with it.
  void SetOptions(TKivBrowseFlags options);
  const host::String& RootedAtFileSystemFolder() const { return rootedAtFileSystemFolder_; }
  // Stores the directory (the root when it exists) and sets RootedAt to SF_FILESYSTEMFOLDER. At
  // design time a directory that does not exist is reported, and stored anyway.
  void SetRootedAtFileSystemFolder(const host::String& folder);
  // The special folder used as root when RootedAtFileSystemFolder does not exist.
  TKivShellFolder RootedAt() const { return rootedAt_; }
  void SetRootedAt(TKivShellFolder folder) { rootedAt_ = folder; }
  // The initial selection before Execute, the chosen object afterwards, the selection while open.
  const host::String& GetPath() const { return path_; }
  void SetPath(const host::String& path) { path_ = path; }
  const host::String& Path() const { return path_; }
  // Which special folder the last chosen or selected object is.
  TKivShellFolder SelectedSpecialFolder() const { return selectedSpecialFolder_; }
  // Screen position of the dialog; a value <= 0 in either centres it on the screen. While the
  // dialog is open the getters answer where its window is.
  int GetDialogLeft() const;
  int GetDialogTop() const;
  void SetDialogLeft(int left);
  void SetDialogTop(int top);
  int DialogLeft() const { return GetDialogLeft(); }
  int DialogTop() const { return GetDialogTop(); }
  // The dialog's caption; empty keeps the platform's own. Applied at once while it is open.
  const host::String& WindowTitle() const { return windowTitle_; }
  void SetWindowTitle(const host::String& title);

  // ---- While the dialog is open
  // Moves the open dialog to (DialogLeft, DialogTop), or centres it (see DialogLeft).
  void AdjustPosition();
  // Enables or disables the dialog's OK button.
  void SetOKButtonEnabled(bool enabled);
  bool OKButtonEnabled() const { return okEnabled_; }
  // Selects the object of `path` in the dialog `window`; a path that does not parse changes
  // nothing.
  void SetSelectionPath(HWND window, const host::String& path);
  // The dialog's callback: BFFM_INITIALIZED and BFFM_SELCHANGED. Always answers 0.
  int BrowseCallbackHandler(HWND window, UINT message, LPARAM parameter);

  host::TNotifyEvent OnChange;  // the selection changed inside the open dialog

 private:
  static int CALLBACK BrowseCallback(HWND window, UINT message, LPARAM parameter, LPARAM data);
  bool FileSystemOnly() const { return (options_ & (1u << bfFileSystemOnly)) != 0; }
  // The object's name for a chosen list without a file-system path.
  host::String NameWithoutPath(PCItemIDList list, const host::String& displayName);

  host::String path_;
  host::String title_;
  TKivBrowseFlags options_ = kDefaultBrowseFlags;
  host::String rootedAtFileSystemFolder_;
  TKivShellFolder rootedAt_ = SF_DESKTOP;
  HWND dialog_ = nullptr;
  TKivShellFolder selectedSpecialFolder_ = SF_FILESYSTEMFOLDER;
  int dialogTop_ = -1;
  int dialogLeft_ = -1;
  bool okEnabled_ = true;
  host::String windowTitle_;
  std::exception_ptr pendingError_;
};

}  // namespace zelnor
