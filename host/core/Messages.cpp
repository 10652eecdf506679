// The tie of windows to their objects; hidden message windows: one registered class, each
// window tied to its procedure.
#include "host/core/Messages.h"

#include "host/core/ErrorSink.h"
#include "host/core/SysUtils.h"

#include <exception>

namespace host {

// ---- Windows and their objects

void* TiedObject(HWND wnd, UINT msg, LPARAM lParam) {
  if (msg == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    if (const auto* creation = static_cast<const TWindowCreation*>(create->lpCreateParams)) {
      TieWindow(wnd, creation->object);
      return creation->object;
    }
  }
  return reinterpret_cast<void*>(GetWindowLongPtrW(wnd, GWLP_USERDATA));
}

void TieWindow(HWND wnd, void* object) {
  SetWindowLongPtrW(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(object));
}

bool UntieWindow(HWND wnd) {
  if (!GetWindowLongPtrW(wnd, GWLP_USERDATA)) return false;
  SetWindowLongPtrW(wnd, GWLP_USERDATA, 0);
  return true;
}

void* TiedObjectOf(HWND wnd, WNDPROC classProc) {
  DWORD process = 0;
  if (!wnd || !GetWindowThreadProcessId(wnd, &process) || process != GetCurrentProcessId())
    return nullptr;
  if (GetClassLongPtrW(wnd, GCLP_WNDPROC) != reinterpret_cast<ULONG_PTR>(classProc)) return nullptr;
  return reinterpret_cast<void*>(GetWindowLongPtrW(wnd, GWLP_USERDATA));
}

// ---- Hidden windows

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
  auto* data = static_cast<WindowData*>(TiedObject(wnd, msg, lp));
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
    UntieWindow(wnd);
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
  TWindowCreation creation{data};
  HWND wnd = CreateWindowExW(WS_EX_TOOLWINDOW, kClassName, L"", WS_POPUP, 0, 0, 0, 0, parent,
                             nullptr, GetModuleHandleW(nullptr), &creation);
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
