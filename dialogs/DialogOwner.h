// The owner window of the package's dialogs.
//   GetDialogParentWindow   the window a dialog component shows its dialog over
#pragma once

#include <windows.h>

namespace host {
class TComponent;
}

namespace zelnor {

// Walks up the owners of `component`: a form or a frame gives its window; another windowed
// control passes the question on to its own owner; anything else (no owner, a non-visual
// owner) gives GetOwningWindowHandle.
HWND GetDialogParentWindow(const host::TComponent* component);

}  // namespace zelnor
