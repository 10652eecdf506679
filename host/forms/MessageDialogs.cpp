// Message boxes over MessageBoxW, owned by the active window.
#include "host/forms/MessageDialogs.h"

#include "host/forms/Application.h"

namespace host {

String MsgDlgCaption(TMsgDlgType type) {
  switch (type) {
    case mtWarning: return "Warning";
    case mtError: return "Error";
    case mtInformation: return "Information";
    case mtConfirmation: return "Confirm";
    default: return Application().Title();
  }
}

void ShowMessage(const String& text) { Application().MessageBox(text, Application().Title(), MB_OK); }

int MessageDlg(const String& text, TMsgDlgType type, TMsgDlgButtons buttons, int) {
  auto has = [&](TMsgDlgBtn b) { return (buttons & (1u << b)) != 0; };
  UINT flags = MB_OK;
  if (has(mbYes) || has(mbNo) || has(mbYesToAll) || has(mbNoToAll) || has(mbAll))
    flags = has(mbCancel) ? MB_YESNOCANCEL : MB_YESNO;
  else if (has(mbAbort) || has(mbIgnore))
    flags = MB_ABORTRETRYIGNORE;
  else if (has(mbRetry))
    flags = MB_RETRYCANCEL;
  else if (has(mbCancel))
    flags = MB_OKCANCEL;
  if (has(mbHelp)) flags |= MB_HELP;
  switch (type) {
    case mtWarning: flags |= MB_ICONWARNING; break;
    case mtError: flags |= MB_ICONERROR; break;
    case mtInformation: flags |= MB_ICONINFORMATION; break;
    case mtConfirmation: flags |= MB_ICONQUESTION; break;
    default: break;
  }
  // A sole Cancel in an OK/Cancel box still answers Cancel; the box's answers are the modal
  // results (IDOK = mrOk ...).
  return Application().MessageBox(text, MsgDlgCaption(type), flags);
}

}  // namespace host
