// Hidden message windows whose procedure is a callable.
//   TMessage        one window message with its result
//   AllocateHWnd    creates a hidden window that hands every message to a procedure
//   AllocateMessageHWnd  the same as a message-only window: no broadcasts, cheaper to make
//   DeallocateHWnd  destroys it
//   DefaultHandler  lets the default window procedure answer the message being handled
#pragma once

#include <windows.h>

#include <functional>

namespace host {

struct TMessage {
  UINT Msg;
  WPARAM WParam;
  LPARAM LParam;
  LRESULT Result;
};

using TWndMethod = std::function<void(TMessage&)>;

// Creates a hidden top-level window owned by the calling thread (so it also gets broadcasts and
// timers). Every message goes to `proc`; a procedure that does not handle a message calls
// DefaultHandler(message). Raises EOSError when the window cannot be created.
HWND AllocateHWnd(TWndMethod proc);
// The same as a message-only window: it gets the messages sent and posted to it and its timers,
// but no broadcasts, and it is never a window of the desktop. Under Wine it costs a fraction of
// a millisecond where a top-level window costs several: for windows made per operation.
HWND AllocateMessageHWnd(TWndMethod proc);
// Destroys a window made by AllocateHWnd or AllocateMessageHWnd; call it on the thread that
// allocated it. Safe to call from inside the window's own procedure.
void DeallocateHWnd(HWND wnd);

// Sets message.Result from DefWindowProcW for the window whose procedure is running on this thread.
void DefaultHandler(TMessage& message);

}  // namespace host
