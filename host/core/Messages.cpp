// Hidden message windows: one registered class, the procedure kept in the window's user data.
#include "host/core/Messages.h"

#include "host/core/ErrorSink.h"
#include "host/core/SysUtils.h"

#include <exception>

namespace host {

namespace {

const wchar_t kClassName[] = L"HostUtilWindow";



// What a hidden window carries. Destruction is deferred while its procedure runs, so a procedure
// may deallocate its own window.
struct WindowData {
  TWndMethod proc;
  int depth = 0;
  bool destroyed = false;
};

// The window whose procedure runs on this thread, for DefaultHandler.
thread_local HWND currentWnd = nullptr;

LRESULT CALLBACK UtilWndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
    SetWindowLongPtrW(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
  }
  auto* data = reinterpret_cast<WindowData*>(GetWindowLongPtrW(wnd, GWLP_USERDATA));
  if (!data || data->destroyed) return DefWindowProcW(wnd, msg, wp, lp);

  TMessage message{msg, wp, lp, 0};
  HWND previous = currentWnd;
  currentWnd = wnd;
  ++data->depth;
  try {
    data->proc(message);
  } catch (...) {
    // An exception must not unwind through the platform's dispatcher.
    ReportError(std::current_exception(), nullptr);
  }
  --data->depth;
  currentWnd = previous;

  if (msg == WM_NCDESTROY) {
    SetWindowLongPtrW(wnd, GWLP_USERDATA, 0);
    data->destroyed = true;
  }
  if (data->destroyed && data->depth == 0) delete data;
  return message.Result;
}

void RegisterUtilClass() {
  static const bool registered = [] {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = UtilWndProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kClassName;
    if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) RaiseLastOSError();
    return true;
  }();
  (void)registered;
}

HWND CreateUtilWindow(TWndMethod proc, HWND parent) {
  RegisterUtilClass();
  auto* data = new WindowData{std::move(proc)};
  HWND wnd = CreateWindowExW(WS_EX_TOOLWINDOW, kClassName, L"", WS_POPUP, 0, 0, 0, 0, parent,
                             nullptr, GetModuleHandleW(nullptr), data);
  if (!wnd) {
    const DWORD error = GetLastError();
    delete data;
    RaiseLastOSError(error);
  }
  return wnd;
}

}  // namespace

HWND AllocateHWnd(TWndMethod proc) { return CreateUtilWindow(std::move(proc), nullptr); }

HWND AllocateMessageHWnd(TWndMethod proc) {
  return CreateUtilWindow(std::move(proc), HWND_MESSAGE);
}

void DeallocateHWnd(HWND wnd) {
  if (wnd) DestroyWindow(wnd);
}

void DefaultHandler(TMessage& message) {
  message.Result = currentWnd ? DefWindowProcW(currentWnd, message.Msg, message.WParam,
                                               message.LParam)
                              : 0;
}

}  // namespace host
