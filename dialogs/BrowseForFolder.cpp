// The folder picker over SHBrowseForFolderW and its callback.
#include "dialogs/BrowseForFolder.h"

#include "dialogs/DialogOwner.h"
#include "host/core/Raii.h"
#include "host/forms/Forms.h"
#include "host/forms/MessageDialogs.h"
#include "shell/Zelnor.h"

#include <shlobj.h>

#include <iterator>
#include <memory>
#include <utility>

namespace zelnor {

HOST_PROPERTIES(TKivBrowseForFolder) {
  p.Str("Title", &TKivBrowseForFolder::Title, &TKivBrowseForFolder::SetTitle);
  p.Set("Options", KivBrowseFlagInfo, &TKivBrowseForFolder::Options,
        &TKivBrowseForFolder::SetOptions, kDefaultBrowseFlags);
  p.Str("RootedAtFileSystemFolder", &TKivBrowseForFolder::RootedAtFileSystemFolder,
        &TKivBrowseForFolder::SetRootedAtFileSystemFolder);
  p.Enum("RootedAt", KivShellFolderInfo, &TKivBrowseForFolder::RootedAt,
         &TKivBrowseForFolder::SetRootedAt, SF_DESKTOP);
  p.Str("Path", &TKivBrowseForFolder::GetPath, &TKivBrowseForFolder::SetPath);
  p.Int("DialogLeft", &TKivBrowseForFolder::GetDialogLeft, &TKivBrowseForFolder::SetDialogLeft, -1);
  p.Int("DialogTop", &TKivBrowseForFolder::GetDialogTop, &TKivBrowseForFolder::SetDialogTop, -1);
  p.Event("OnChange", &TKivBrowseForFolder::OnChange);
  p.Str("WindowTitle", &TKivBrowseForFolder::WindowTitle, &TKivBrowseForFolder::SetWindowTitle);
}

namespace {

// BROWSEINFO flags of the options, by TKivBrowseFlag.
constexpr UINT kBrowseFlag[] = {BIF_NEWDIALOGSTYLE, BIF_RETURNONLYFSDIRS, BIF_BROWSEINCLUDEFILES,
                                BIF_EDITBOX};

}  // namespace

TKivBrowseForFolder::TKivBrowseForFolder(host::TComponent* owner) : TKivBaseDialog(owner) {
  InitializeShell();
}

// ---- Properties

void TKivBrowseForFolder::SetOptions(TKivBrowseFlags options) {
  if (options & (1u << bfEditBox)) options |= 1u << bfNewDialogStyle;
  options_ = options;
}

void TKivBrowseForFolder::SetRootedAtFileSystemFolder(const host::String& folder) {
  rootedAtFileSystemFolder_ = folder;
  rootedAt_ = SF_FILESYSTEMFOLDER;
  if (Has(host::TComponentStateFlag::csDesigning) && !Has(host::TComponentStateFlag::csLoading) &&
      !host::DirectoryExists(folder))
    host::ShowMessage("File not exists!");
}

void TKivBrowseForFolder::SetWindowTitle(const host::String& title) {
  windowTitle_ = title;
  if (dialog_) SendMessageW(dialog_, WM_SETTEXT, 0, LPARAM(host::ToWide(title).c_str()));
}

int TKivBrowseForFolder::GetDialogLeft() const {
  RECT r;
  if (dialog_ && !Has(host::TComponentStateFlag::csDesigning) && GetWindowRect(dialog_, &r))
    return r.left;
  return dialogLeft_;
}

int TKivBrowseForFolder::GetDialogTop() const {
  RECT r;
  if (dialog_ && !Has(host::TComponentStateFlag::csDesigning) && GetWindowRect(dialog_, &r))
    return r.top;
  return dialogTop_;
}

void TKivBrowseForFolder::SetDialogLeft(int left) {
  dialogLeft_ = left;
  AdjustPosition();
}

void TKivBrowseForFolder::SetDialogTop(int top) {
  dialogTop_ = top;
  AdjustPosition();
}

// ---- While the dialog is open

void TKivBrowseForFolder::AdjustPosition() {
  if (!dialog_) return;
  RECT r;
  if (!GetWindowRect(dialog_, &r)) return;
  int left = dialogLeft_, top = dialogTop_;
  if (left <= 0 || top <= 0) {
    left = host::ScreenWidth() / 2 - (r.right - r.left) / 2;
    top = host::ScreenHeight() / 2 - (r.bottom - r.top) / 2;
  }
  SetWindowPos(dialog_, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOZORDER);
}

void TKivBrowseForFolder::SetOKButtonEnabled(bool enabled) {
  okEnabled_ = enabled;
  if (dialog_) SendMessageW(dialog_, BFFM_ENABLEOK, 0, enabled ? 1 : 0);
}

void TKivBrowseForFolder::SetSelectionPath(HWND window, const host::String& path) {
  UniquePidl list{GetIdListFromPath(nullptr, path)};
  if (list) SendMessageW(window, BFFM_SETSELECTIONW, FALSE, LPARAM(list.get()));
}

int TKivBrowseForFolder::BrowseCallbackHandler(HWND window, UINT message, LPARAM parameter) {
  switch (message) {
    case BFFM_INITIALIZED:
      dialog_ = window;
      AdjustPosition();
      SetSelectionPath(window, path_);
      SetOKButtonEnabled(!FileSystemOnly() || !path_.empty());
      if (!windowTitle_.empty())
        SendMessageW(window, WM_SETTEXT, 0, LPARAM(host::ToWide(windowTitle_).c_str()));
      break;
    case BFFM_SELCHANGED:
      if (!dialog_) break;
      {
        auto selected = reinterpret_cast<PCItemIDList>(parameter);
        path_ = GetPathFromPidl(selected);
        selectedSpecialFolder_ = TestForSpecialFolder(selected);
      }
      if (FileSystemOnly()) SetOKButtonEnabled(!path_.empty());
      if (OnChange) OnChange(this);
      break;
    default: break;
  }
  return 0;
}

int CALLBACK TKivBrowseForFolder::BrowseCallback(HWND window, UINT message, LPARAM parameter,
                                                 LPARAM data) {
  auto* self = reinterpret_cast<TKivBrowseForFolder*>(data);
  // Exceptions stop here, before the platform's frames: the first one closes the dialog and
  // KivExecute raises it once the dialog has gone.
  try {
    return self->BrowseCallbackHandler(window, message, parameter);
  } catch (...) {
    if (!self->pendingError_) {
      self->pendingError_ = std::current_exception();
      PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
    }
  }
  return 0;
}

// ---- Running

bool TKivBrowseForFolder::Execute() { return KivExecute(GetDialogParentWindow(this)); }

host::String TKivBrowseForFolder::NameWithoutPath(PCItemIDList list,
                                                  const host::String& displayName) {
  // A server or domain has no path but a name within its parent; other objects go by the display
  // name the dialog returned, or the shell's own where the dialog left it empty.
  host::String name, shellName;
  try {
    auto zelnor = std::make_unique<TZelnor>(this);
    zelnor->Initialize();
    zelnor->SetShowErrorMessages(false);
    zelnor->SetFolderIdList(list);
    if (zelnor->Folder().empty()) {
      zelnor->SelectParent();
      name = zelnor->GetObjectName();
      if (name.empty() && displayName.empty()) shellName = zelnor->GetShellObjectName();
    }
  } catch (const host::Exception&) {
    name.clear();
  }
  if (!name.empty()) return name;
  return displayName.empty() ? shellName : displayName;
}

bool TKivBrowseForFolder::KivExecute(HWND parent) {
  UniquePidl root;
  if (host::DirectoryExists(rootedAtFileSystemFolder_))
    root = GetIdListFromPath(nullptr, rootedAtFileSystemFolder_);
  else
    root = GetIdListFromSpecialFolder(rootedAt_);

  wchar_t displayName[MAX_PATH] = {};
  const std::wstring title = host::ToWide(title_);
  BROWSEINFOW info{};
  info.hwndOwner = parent;
  info.pidlRoot = root.get();
  info.pszDisplayName = displayName;
  info.lpszTitle = title.c_str();
  for (size_t i = 0; i < std::size(kBrowseFlag); ++i)
    if (options_ & (1u << i)) info.ulFlags |= kBrowseFlag[i];
  info.lpfn = BrowseCallback;
  info.lParam = LPARAM(this);

  // OnClose ends every way out of the dialog, after the result has been taken; the lists free
  // themselves.
  pendingError_ = nullptr;
  auto close = host::ScopeExit([this] {
    dialog_ = nullptr;
    DoClose();
  });
  DoShow();
  UniquePidl chosen{SHBrowseForFolderW(&info)};
  if (pendingError_) {
    path_.clear();  // as for a cancel
    std::rethrow_exception(std::exchange(pendingError_, nullptr));
  }
  path_ = GetPathFromPidl(chosen.get());
  selectedSpecialFolder_ = TestForSpecialFolder(chosen.get());
  if (chosen && path_.empty()) path_ = NameWithoutPath(chosen.get(), host::ToUtf8(displayName));
  return chosen != nullptr;
}

}  // namespace zelnor
