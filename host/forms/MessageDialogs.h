// Message boxes of the host class library.
//   ShowMessage    text with an OK button, captioned with the application's title
//   TMsgDlgType, TMsgDlgBtn, TMsgDlgButtons    the kind of message and the buttons offered
//   MessageDlg     a message of a kind with buttons; answers the modal result of the one pressed
#pragma once

#include "host/core/SysUtils.h"

namespace host {

enum TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };
enum TMsgDlgBtn { mbYes, mbNo, mbOK, mbCancel, mbAbort, mbRetry, mbIgnore, mbAll, mbNoToAll,
                  mbYesToAll, mbHelp };
using TMsgDlgButtons = unsigned;  // set of TMsgDlgBtn: bit n = member n
constexpr TMsgDlgButtons MsgButtons(std::initializer_list<TMsgDlgBtn> buttons) {
  TMsgDlgButtons set = 0;
  for (TMsgDlgBtn b : buttons) set |= 1u << b;
  return set;
}
constexpr TMsgDlgButtons mbYesNoCancel = (1u << mbYes) | (1u << mbNo) | (1u << mbCancel);
constexpr TMsgDlgButtons mbYesNo = (1u << mbYes) | (1u << mbNo);
constexpr TMsgDlgButtons mbOKCancel = (1u << mbOK) | (1u << mbCancel);
constexpr TMsgDlgButtons mbAbortRetryIgnore = (1u << mbAbort) | (1u << mbRetry) | (1u << mbIgnore);

// The caption MessageDlg gives a kind: "Warning", "Error", "Information", "Confirm"; the
// application's title for mtCustom.
String MsgDlgCaption(TMsgDlgType type);

void ShowMessage(const String& text);
// Shown with the platform's message box: the set of buttons picks the nearest of its button
// sets (OK; OK, Cancel; Yes, No; Yes, No, Cancel; Abort, Retry, Ignore; Retry, Cancel), and Help
// adds a Help button. Answers mrOk, mrCancel, mrYes, ... (host/forms/Forms.h).
int MessageDlg(const String& text, TMsgDlgType type, TMsgDlgButtons buttons, int helpContext = 0);

}  // namespace host
