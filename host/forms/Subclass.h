// Hooking a window of another class for a while: its messages reach a procedure of ours first.
//   TSubclass   hooks one window (SetWindowSubclass) with a callable; lets go in its destructor,
//               at Unhook, or by itself when the window is destroyed
//
// The procedure sees each message as a TMessage and decides whether the window's own procedure
// answers it, before or after its own work, by calling CallDefault; a message it does not hand
// on is answered with the Result it set. WM_NCDESTROY always reaches the window's procedure. An
// exception the procedure raises stops there and goes to ReportError.
#pragma once

#include "host/core/Messages.h"

#include <windows.h>

namespace host {

class TObject;

class TSubclass {
 public:
  // `owner` is named with the errors the procedure raises.
  explicit TSubclass(TObject* owner = nullptr) : owner_(owner) {}
  ~TSubclass() { Unhook(); }
  TSubclass(const TSubclass&) = delete;
  TSubclass& operator=(const TSubclass&) = delete;

  // Hooks `window`, letting go of any window hooked before; false when the platform refuses.
  bool Hook(HWND window, TWndMethod proc);
  void Unhook();
  // The hooked window, nullptr when none.
  HWND Window() const { return window_; }

  // From inside the procedure: lets the window's own procedure answer `message` (sets Result).
  void CallDefault(TMessage& message);

 private:
  struct Call {
    Call* outer;
    bool handedOn;
  };
  static LRESULT CALLBACK Proc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                               DWORD_PTR self);

  TObject* owner_;
  HWND window_ = nullptr;
  TWndMethod proc_;
  Call* call_ = nullptr;  // the message being handled, innermost first
};

}  // namespace host
