// Non-visual wrappers of the platform's modal dialogs.
//   TCommonDialog   base: Execute runs the dialog; OnShow and OnClose bracket it
#pragma once

#include "host/core/TypeInfo.h"

namespace host {

// A component that shows a modal dialog of the platform when Execute is called. Derived classes
// call DoShow once the dialog's window exists and DoClose when it has gone, on every path.
class TCommonDialog : public TComponent {
  HOST_CLASS(TCommonDialog, TComponent)
  explicit TCommonDialog(TComponent* owner = nullptr) : TComponent(owner) {}

  // Runs the dialog; true when the user confirmed it.
  virtual bool Execute() = 0;

  int HelpContext() const { return helpContext_; }
  void SetHelpContext(int context) { helpContext_ = context; }

  TNotifyEvent OnShow;   // the dialog's window has been shown
  TNotifyEvent OnClose;  // the dialog's window has closed

 protected:
  virtual void DoShow();
  virtual void DoClose();

 private:
  int helpContext_ = 0;
};

}  // namespace host
