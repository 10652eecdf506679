// TDropTargetRegistration: registering, revoking and following the control's windows.
#include "host/forms/DropTargetRegistration.h"

#include "host/core/HResult.h"

#include <utility>

namespace host {

namespace {
// The Alt key in an OLE key state (oleidl.h's MK_ALT).
constexpr DWORD kOleAltKey = 0x20;
}  // namespace

TShiftState OleKeyStateToShiftState(DWORD keyState) {
  TShiftState shift = 0;
  if (keyState & MK_SHIFT) shift |= ssShift;
  if (keyState & MK_CONTROL) shift |= ssCtrl;
  if (keyState & kOleAltKey) shift |= ssAlt;
  if (keyState & MK_LBUTTON) shift |= ssLeft;
  if (keyState & MK_RBUTTON) shift |= ssRight;
  if (keyState & MK_MBUTTON) shift |= ssMiddle;
  return shift;
}

TDropTargetRegistration::TDropTargetRegistration(IDropTarget* target)
    : target_(target),
      watch_([this](TWinControl*, HWND window, TWindowOperation operation) {
        WindowChanged(window, operation);
      }) {}

TDropTargetRegistration::~TDropTargetRegistration() { Revoke(); }

void TDropTargetRegistration::SetControl(TWinControl* control) {
  if (control == Control()) return;
  Revoke();
  watch_.Watch(control);
  Update();
}

void TDropTargetRegistration::SetActive(bool active) {
  active_ = active;
  Update();
}

void TDropTargetRegistration::Update() {
  TWinControl* control = Control();
  HWND wanted = active_ && control ? control->HandleIfAllocated() : nullptr;
  // One registration per window: the platform refuses a second.
  if (wanted == window_) return;
  Revoke();
  if (!wanted) return;
  lastResult_ = RegisterDragDrop(wanted, target_);
  if (HrOk(lastResult_, "RegisterDragDrop")) {
    window_ = wanted;
    return;
  }
  active_ = false;
  if (OnFailed) OnFailed(lastResult_);
}

void TDropTargetRegistration::Revoke() {
  if (!window_) return;
  // Refused only for a window that has gone already, which nothing here can mend: recorded.
  (void)HrOk(RevokeDragDrop(std::exchange(window_, nullptr)), "RevokeDragDrop");
}

void TDropTargetRegistration::WindowChanged(HWND window, TWindowOperation operation) {
  if (operation == woDestroying) {
    if (window == window_) Revoke();
  } else {
    Update();
  }
}

}  // namespace host
