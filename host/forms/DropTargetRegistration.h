// OLE drop targets on the windows of controls.
//   OleKeyStateToShiftState   the shift state of the key state OLE hands a drop target
//   AtOleInterface            runs a call of OLE's into a control, keeping exceptions from OLE
//   TDropTargetRegistration   one drop target on the windows of one control: registered once per
//                             window while it is wanted, revoked before the window is destroyed,
//                             registered again with the next window the control gets
//
// The platform neither revokes nor releases a target whose window has gone (RevokeDragDrop
// fails once DestroyWindow has run), and a second RegisterDragDrop on one window fails: the
// registration takes the target back on the control's woDestroying (host/forms/WindowWatch.h)
// and never registers one window twice. The thread must have joined OLE (OleInitialize).
#pragma once

#include "host/forms/Application.h"
#include "host/forms/Controls.h"
#include "host/forms/WindowWatch.h"

#include <windows.h>
#include <oleidl.h>

#include <exception>
#include <functional>

namespace host {

// MK_SHIFT, MK_CONTROL, MK_ALT and the mouse buttons of an OLE key state. Alt comes from the key
// state (MK_ALT), not from the keyboard's state now.
TShiftState OleKeyStateToShiftState(DWORD keyState);

// Runs `call` (an HRESULT); an exception ends it with the effect none (when there is one), goes
// to the application and reaches OLE as E_UNEXPECTED.
template <typename F>
HRESULT AtOleInterface(TObject* sender, DWORD* effect, F&& call) {
  try {
    return call();
  } catch (...) {
    if (effect) *effect = DROPEFFECT_NONE;
    Application().HandleException(std::current_exception(), sender);
    return E_UNEXPECTED;
  }
}

class TDropTargetRegistration {
 public:
  // `target` is not owned: OLE holds a reference to it while it is registered.
  explicit TDropTargetRegistration(IDropTarget* target);
  // Revokes the target from the window it is registered with.
  ~TDropTargetRegistration();
  TDropTargetRegistration(const TDropTargetRegistration&) = delete;
  TDropTargetRegistration& operator=(const TDropTargetRegistration&) = delete;

  // The control whose windows take the target (nullptr: none); the old control's window is
  // revoked first. A control that is destroyed is let go of by itself.
  TWinControl* Control() const { return watch_.Control(); }
  void SetControl(TWinControl* control);
  // Whether the target is wanted: registered with the window the control has now, and with each
  // window it gets later. False revokes it.
  bool Active() const { return active_; }
  void SetActive(bool active);
  // The window the target is registered with now; nullptr when none is.
  HWND Window() const { return window_; }
  bool Registered() const { return window_ != nullptr; }
  // The answer of the last RegisterDragDrop (S_OK before any).
  HRESULT LastResult() const { return lastResult_; }

  // Told when a window refuses the target (registered already with another, or OLE not joined
  // on this thread); the registration is no longer active by then. Told also for a window made
  // later, so the owner learns of it whenever it happens.
  std::function<void(HRESULT result)> OnFailed;

 private:
  // Registers or revokes as Active, the control and its window say.
  void Update();
  void Revoke();
  void WindowChanged(HWND window, TWindowOperation operation);

  IDropTarget* target_;
  TWindowWatch watch_;
  bool active_ = false;
  HWND window_ = nullptr;
  HRESULT lastResult_ = S_OK;
};

}  // namespace host
