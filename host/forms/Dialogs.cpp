// Base of the modal dialog wrappers.
#include "host/forms/Dialogs.h"

namespace host {

HOST_PROPERTIES(TCommonDialog) {
  p.Int("HelpContext", &TCommonDialog::HelpContext, &TCommonDialog::SetHelpContext, 0);
}

void TCommonDialog::DoShow() {
  if (OnShow) OnShow(this);
}

void TCommonDialog::DoClose() {
  if (OnClose) OnClose(this);
}

}  // namespace host
