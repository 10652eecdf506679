// TSubclass: the hook's procedure around SetWindowSubclass and DefSubclassProc.
#include "host/forms/Subclass.h"

#include "host/core/ErrorSink.h"

#include <commctrl.h>

#include <exception>
#include <utility>

namespace host {

bool TSubclass::Hook(HWND window, TWndMethod proc) {
  Unhook();
  if (!window) return false;
  proc_ = std::move(proc);
  // The hook's own address names it: several hooks may sit on one window.
  if (!SetWindowSubclass(window, &TSubclass::Proc, UINT_PTR(this), DWORD_PTR(this))) return false;
  window_ = window;
  return true;
}

void TSubclass::Unhook() {
  if (!window_) return;
  RemoveWindowSubclass(std::exchange(window_, nullptr), &TSubclass::Proc, UINT_PTR(this));
}

void TSubclass::CallDefault(TMessage& message) {
  if (call_) call_->handedOn = true;
  message.Result = window_ ? DefSubclassProc(window_, message.Msg, message.WParam, message.LParam)
                           : 0;
}

LRESULT CALLBACK TSubclass::Proc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                 DWORD_PTR data) {
  auto* self = reinterpret_cast<TSubclass*>(data);
  TMessage message{msg, wParam, lParam, 0};
  Call call{self->call_, false};
  self->call_ = &call;
  try {
    self->proc_(message);
  } catch (...) {
    // An exception must not unwind through the platform's dispatcher.
    ReportError(std::current_exception(), self->owner_);
  }
  self->call_ = call.outer;
  if (msg == WM_NCDESTROY) {
    // The window's own procedure frees its data now, whatever the hook's procedure did.
    if (!call.handedOn) message.Result = DefSubclassProc(window, msg, wParam, lParam);
    self->Unhook();
  }
  return message.Result;
}

}  // namespace host
