// The owner window of the package's dialogs.
#include "dialogs/DialogOwner.h"

#include "host/forms/Forms.h"
#include "host/forms/Frames.h"
#include "shell/ShellRoutines.h"

namespace zelnor {

HWND GetDialogParentWindow(const host::TComponent* component) {
  for (host::TComponent* owner = component ? component->Owner() : nullptr; owner;
       owner = owner->Owner()) {
    if (auto* form = dynamic_cast<host::TForm*>(owner)) return form->Handle();
    if (auto* frame = dynamic_cast<host::TFrame*>(owner)) return frame->Handle();
    if (!dynamic_cast<host::TWinControl*>(owner)) break;
  }
  return GetOwningWindowHandle();
}

}  // namespace zelnor
