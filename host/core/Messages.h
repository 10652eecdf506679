// Windows tied to their objects, and hidden message windows whose procedure is a callable.
//   TMessage        one window message with its result
//   TWindowCreation what CreateWindowEx's lpParam carries for a window of ours
//   TiedObject, TieWindow, UntieWindow, TiedObjectOf   the object kept in the window
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

// ---- Windows and their objects
//
// Every window of the host is tied to its object the same way: CreateWindowEx's lpParam points to
// a TWindowCreation, and the window's class procedure, which sees WM_NCCREATE first, keeps the
// object in the window's user data (GWLP_USERDATA) until WM_NCDESTROY. Messages that come before
// WM_NCCREATE (WM_GETMINMAXINFO of a top-level window) find no object.

struct TWindowCreation {
  void* object;                // tied to the window at WM_NCCREATE
  void* classParam = nullptr;  // the creation data the window's class itself reads
};

// The window's object. At WM_NCCREATE (`lParam` its CREATESTRUCTW) it ties the window to the
// object of the TWindowCreation it carries first. nullptr when the window has no object.
void* TiedObject(HWND wnd, UINT msg, LPARAM lParam);
// Ties `wnd` to `object` outside WM_NCCREATE.
void TieWindow(HWND wnd, void* object);
// Lets go of the window's object (at WM_NCDESTROY, or when the object lets go of a window that
// lives on); false when it had none.
bool UntieWindow(HWND wnd);
// The object of `wnd` when this process made it with a class whose procedure is `classProc`;
// nullptr for any other window, another process's included.
void* TiedObjectOf(HWND wnd, WNDPROC classProc);

// ---- Hidden windows

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
