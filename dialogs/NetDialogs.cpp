// Network connection dialogs over WNetConnectionDialog1W and WNetDisconnectDialog.
#include "dialogs/NetDialogs.h"

#include "dialogs/DialogOwner.h"
#include "host/forms/MessageDialogs.h"

#include <winnetwk.h>

#include <iterator>
#include <string>

namespace zelnor {

HOST_PROPERTIES(TKivNetConnectionDialog) {
  p.Str("RemotePath", &TKivNetConnectionDialog::RemotePath, &TKivNetConnectionDialog::SetRemotePath);
  p.Set("Options", KivConnectionFlagInfo, &TKivNetConnectionDialog::Options,
        &TKivNetConnectionDialog::SetOptions, kDefaultConnectionFlags);
  p.Event("OnShow", static_cast<host::TNotifyEvent TKivNetConnectionDialog::*>(
                        &TKivNetConnectionDialog::OnShow));
  p.Event("OnClose", static_cast<host::TNotifyEvent TKivNetConnectionDialog::*>(
                         &TKivNetConnectionDialog::OnClose));
}

HOST_PROPERTIES(TKivNetDisconnectDialog) {
  p.Event("OnShow", static_cast<host::TNotifyEvent TKivNetDisconnectDialog::*>(
                        &TKivNetDisconnectDialog::OnShow));
  p.Event("OnClose", static_cast<host::TNotifyEvent TKivNetDisconnectDialog::*>(
                         &TKivNetDisconnectDialog::OnClose));
}

namespace {

constexpr unsigned kReadOnlyPath = 1u << cdReadOnlyPath;
// CONNECTDLGSTRUCT flags by TKivConnectionFlag.
constexpr DWORD kConnectionFlag[] = {CONNDLG_PERSIST, CONNDLG_RO_PATH, CONNDLG_USE_MRU};

}  // namespace

// ---- TKivNetConnectionDialog

TKivNetConnectionDialog::TKivNetConnectionDialog(host::TComponent* owner)
    : host::TCommonDialog(owner) {}

void TKivNetConnectionDialog::WarnNoRemotePath() const {
  if (Has(host::TComponentStateFlag::csDesigning))
    host::MessageDlg("Please enter directory in property RemotePath!", host::mtWarning,
                     host::MsgButtons({host::mbOK}));
}

void TKivNetConnectionDialog::SetRemotePath(const host::String& path) {
  remotePath_ = path;
  if (path.empty() && (options_ & kReadOnlyPath)) {
    options_ &= ~kReadOnlyPath;
    WarnNoRemotePath();
  }
}

void TKivNetConnectionDialog::SetOptions(TKivConnectionFlags options) {
  options_ = options;
  if (options_ & (1u << cdUseMRU)) {
    options_ &= ~kReadOnlyPath;
  } else if (remotePath_.empty()) {
    if (options_ & kReadOnlyPath) WarnNoRemotePath();
    options_ &= ~kReadOnlyPath;
  }
}

bool TKivNetConnectionDialog::Execute() { return KivExecute(GetDialogParentWindow(this)); }

bool TKivNetConnectionDialog::KivExecute(HWND parent) {
  std::wstring remote = host::ToWide(remotePath_);
  NETRESOURCEW resource{};
  resource.dwType = RESOURCETYPE_DISK;
  resource.lpRemoteName = remote.empty() ? nullptr : remote.data();

  CONNECTDLGSTRUCTW connect{};
  connect.cbStructure = sizeof connect;
  connect.hwndOwner = parent;
  connect.lpConnRes = &resource;
  for (size_t i = 0; i < std::size(kConnectionFlag); ++i)
    if (options_ & (1u << i)) connect.dwFlags |= kConnectionFlag[i];
  connect.dwDevNum = 0;

  connectedDrive_.clear();
  DoShow();
  const DWORD result = WNetConnectionDialog1W(&connect);
  // Drives count from 1 (A); a connection without a drive reports -1 and gets none.
  if (result == NO_ERROR && connect.dwDevNum >= 1 && connect.dwDevNum <= 26)
    connectedDrive_ = host::String(1, char('A' + connect.dwDevNum - 1)) + ":";
  // A cancel (-1) is left as 0. The code is set again after OnClose, which may change it.
  const DWORD error = result == DWORD(-1) ? NO_ERROR : result;
  if (result != NO_ERROR) SetLastError(error);
  DoClose();
  if (result != NO_ERROR) SetLastError(error);
  return result == NO_ERROR;
}

// ---- TKivNetDisconnectDialog

bool TKivNetDisconnectDialog::Execute() { return KivExecute(GetDialogParentWindow(this)); }

bool TKivNetDisconnectDialog::KivExecute(HWND parent) {
  DoShow();
  const DWORD result = WNetDisconnectDialog(parent, RESOURCETYPE_DISK);
  // Set again after OnClose, which may change it.
  if (result != NO_ERROR) SetLastError(result);
  DoClose();
  if (result != NO_ERROR) SetLastError(result);
  return result == NO_ERROR;
}

}  // namespace zelnor
