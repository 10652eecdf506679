// The platform's dialogs that connect and disconnect network drives.
//   TKivConnectionFlag(s)      cdPersist, cdReadOnlyPath, cdUseMRU
//   TKivNetConnectionDialog    RemotePath, Options; Execute; ConnectedDrive
//   TKivNetDisconnectDialog    Execute
#pragma once

#include "host/forms/Dialogs.h"

#include <windows.h>

namespace zelnor {

enum TKivConnectionFlag { cdPersist, cdReadOnlyPath, cdUseMRU };
using TKivConnectionFlags = unsigned;  // set of TKivConnectionFlag: bit n = member n
inline const host::TEnumInfo KivConnectionFlagInfo{"cdPersist", "cdReadOnlyPath", "cdUseMRU"};
inline constexpr TKivConnectionFlags kDefaultConnectionFlags = (1u << cdPersist) | (1u << cdUseMRU);

// The dialog that connects a network drive. Failures answer false and leave the platform's
// code as the last error (a cancel leaves 0).
class TKivNetConnectionDialog : public host::TCommonDialog {
  HOST_CLASS(TKivNetConnectionDialog, host::TCommonDialog)
  explicit TKivNetConnectionDialog(host::TComponent* owner = nullptr);

  // KivExecute over the window of the owner rule (GetDialogParentWindow).
  bool Execute() override;
  // Runs the dialog over `parent`; true when a connection was made.
  bool KivExecute(HWND parent);
  // The drive the last successful Execute connected ("Z:"); empty otherwise, and empty for a
  // connection without a drive letter.
  const host::String& ConnectedDrive() const { return connectedDrive_; }

  // The share offered in the dialog. Emptying it drops cdReadOnlyPath.
  const host::String& RemotePath() const { return remotePath_; }
  void SetRemotePath(const host::String& path);
  // cdUseMRU and cdReadOnlyPath exclude each other (the recently-used list wins); cdReadOnlyPath
  // also needs a RemotePath.
  TKivConnectionFlags Options() const { return options_; }
  void SetOptions(TKivConnectionFlags options);

 private:
  // The design-time warning that cdReadOnlyPath needs a RemotePath.
  void WarnNoRemotePath() const;

  host::String remotePath_;
  TKivConnectionFlags options_ = kDefaultConnectionFlags;
  host::String connectedDrive_;
};

// The dialog that disconnects a network drive. Failures answer false and leave the platform's
// code as the last error.
class TKivNetDisconnectDialog : public host::TCommonDialog {
  HOST_CLASS(TKivNetDisconnectDialog, host::TCommonDialog)
  explicit TKivNetDisconnectDialog(host::TComponent* owner = nullptr)
      : host::TCommonDialog(owner) {}

  bool Execute() override;
  bool KivExecute(HWND parent);
};

}  // namespace zelnor
