// The application object, the screen and the main thread's wake-up.
#include "host/forms/Application.h"

#include "host/core/ErrorSink.h"
#include "host/core/Threads.h"

#include <atomic>

namespace host {

namespace {

// Posted to the application window when synchronised calls are waiting.
constexpr UINT WM_HOST_SYNCHRONIZE = WM_APP + 0x3F00;
// Posted by Terminate so a loop waiting for a message sees the flag.
constexpr UINT WM_HOST_TERMINATE = WM_APP + 0x3F01;

std::atomic<HWND> applicationWnd{nullptr};
std::atomic<bool> wakePending{false};

}  // namespace

// Section: construction

TApplication::TApplication() {
  handle_.reset(AllocateHWnd([this](TMessage& m) { WndProc(m); }));
  applicationWnd = handle_.get();
  title_ = ExeName();
  const auto slash = title_.find_last_of("\\/");
  if (slash != String::npos) title_.erase(0, slash + 1);
  const auto dot = title_.find_last_of('.');
  if (dot != String::npos) title_.erase(dot);
}

TApplication::~TApplication() {
  applicationWnd = nullptr;
  handle_.reset();
}

TApplication& Application() {
  // Never destroyed: worker threads and static objects may still reach it while the process ends.
  static TApplication* application = new TApplication;
  return *application;
}

namespace {
// Make the application object, and so its window, on the main thread before main runs; errors
// that the class library stops at window procedures and worker ends are reported by it.
[[maybe_unused]] TApplication& startupApplication = Application();
[[maybe_unused]] const bool errorSinkSet = (SetErrorSink([](std::exception_ptr error, TObject* sender) {
  Application().HandleException(error, sender);
}), true);
}  // namespace

String TApplication::ExeName() const {
  wchar_t path[MAX_PATH * 2];
  const DWORD n = GetModuleFileNameW(nullptr, path, DWORD(std::size(path)));
  return ToUtf8(std::wstring_view{path, n});
}

void TApplication::SetMainForm(TComponent* form) {
  if (mainForm_ == form) return;
  if (mainForm_) mainForm_->RemoveFreeNotification(this);
  mainForm_ = form;
  if (form) form->FreeNotification(this);
}

void TApplication::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == opRemove && component == mainForm_) mainForm_ = nullptr;
}

// Section: message loop

void TApplication::WndProc(TMessage& m) {
  switch (m.Msg) {
    case WM_HOST_SYNCHRONIZE:
      RunQueuedCalls();
      break;
    case WM_TIMER:
      if (m.WParam == kQueuedCallsTimer) {
        RunQueuedCalls();
      } else {
        DefaultHandler(m);
      }
      break;
    case WM_HOST_TERMINATE:
      break;
    case WM_QUERYENDSESSION:
      m.Result = TRUE;
      break;
    default:
      DefaultHandler(m);
  }
}

void TApplication::RunQueuedCalls() {
  KillTimer(handle_.get(), kQueuedCallsTimer);
  wakePending = false;
  CheckSynchronize();
  // A posted wake-up comes before input, painting and timers, so threads that keep ending would
  // keep those out: while any of them waits, the next calls are taken from a timer instead.
  if (HIWORD(GetQueueStatus(QS_INPUT | QS_PAINT | QS_TIMER)) != 0 && !wakePending.exchange(true))
    SetTimer(handle_.get(), kQueuedCallsTimer, USER_TIMER_MINIMUM, nullptr);
}

bool TApplication::ProcessMessage(MSG& msg) {
  if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
  if (msg.message == WM_QUIT) {
    terminated_ = true;
    return true;
  }
  bool handled = false;
  if (OnMessage) OnMessage(msg, handled);
  if (!handled) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  // Calls that came in meanwhile run now rather than after the wake-up message or its timer:
  // a worker waiting for its end to be taken must not wait for the next 10 ms tick. Not after
  // painting: what they draw would be painted next, before any timer, and again and again.
  if (msg.message != WM_PAINT && GetCurrentThreadId() == MainThreadID() && SynchronizePending())
    CheckSynchronize();
  return true;
}

void TApplication::ProcessMessages() {
  MSG msg;
  while (ProcessMessage(msg)) {
  }
  CheckSynchronize();
}

void TApplication::Idle() {
  if (CheckSynchronize()) return;
  // Wait for a message, or for a synchronised call queued before its wake-up message arrives.
  MsgWaitForMultipleObjectsEx(0, nullptr, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
}

void TApplication::HandleMessage() {
  MSG msg;
  if (!ProcessMessage(msg)) Idle();
}

void TApplication::Run() {
  while (!terminated_) {
    try {
      HandleMessage();
    } catch (...) {
      HandleException(std::current_exception(), this);
    }
  }
}

void TApplication::Terminate() {
  terminated_ = true;
  if (handle_) PostMessageW(handle_.get(), WM_HOST_TERMINATE, 0, 0);
}

// Section: hints, exceptions, message boxes

String GetShortHint(const String& hint) { return hint.substr(0, hint.find('|')); }

String GetLongHint(const String& hint) {
  const auto bar = hint.find('|');
  return bar == String::npos ? hint : hint.substr(bar + 1);
}

void TApplication::SetHint(const String& hint) {
  if (hint_ == hint) return;
  hint_ = hint;
  if (OnHint) OnHint(this);
}

void TApplication::HandleException(TObject* sender) {
  HandleException(std::current_exception(), sender);
}

void TApplication::HandleException(std::exception_ptr error, TObject* sender) {
  if (!error) return;
  try {
    try {
      std::rethrow_exception(error);
    } catch (const std::exception& e) {
      if (OnException) {
        OnException(sender, e);
      } else {
        ShowException(e);
      }
    } catch (...) {
      const Exception unknown("Unknown exception");
      if (OnException) {
        OnException(sender, unknown);
      } else {
        ShowException(unknown);
      }
    }
  } catch (...) {
    // A failing handler must not take the loop down with it.
  }
}

void TApplication::ShowException(const std::exception& error) {
  String text = error.what();
  if (!text.empty() && text.back() != '.') text += '.';
  MessageBox(text, title_, MB_OK | MB_ICONSTOP);
}

int TApplication::MessageBox(const String& text, const String& caption, UINT flags) {
  HWND owner = GetActiveWindow();
  return ::MessageBoxW(owner, ToWide(text).c_str(), ToWide(caption.empty() ? title_ : caption).c_str(),
                     flags);
}

// Section: wake-up of the main thread

void detail::WakeMainThread() {
  HWND wnd = applicationWnd;
  if (wnd && !wakePending.exchange(true)) PostMessageW(wnd, WM_HOST_SYNCHRONIZE, 0, 0);
}

// Section: screen

TScreen& Screen() {
  static TScreen* screen = new TScreen;
  return *screen;
}

HCURSOR TScreen::Cursors(TCursor cursor) const {
  const wchar_t* id = IDC_ARROW;
  switch (cursor) {
    case crNone: return nullptr;
    case crCross: id = IDC_CROSS; break;
    case crIBeam: id = IDC_IBEAM; break;
    case crSizeNESW: id = IDC_SIZENESW; break;
    case crSizeNS: case crVSplit: id = IDC_SIZENS; break;
    case crSizeNWSE: id = IDC_SIZENWSE; break;
    case crSizeWE: case crHSplit: id = IDC_SIZEWE; break;
    case crUpArrow: id = IDC_UPARROW; break;
    case crHourGlass: case crSQLWait: id = IDC_WAIT; break;
    case crNo: case crNoDrop: id = IDC_NO; break;
    case crAppStart: id = IDC_APPSTARTING; break;
    case crHelp: id = IDC_HELP; break;
    case crHandPoint: id = IDC_HAND; break;
    case crSizeAll: id = IDC_SIZEALL; break;
    default: break;
  }
  return LoadCursorW(nullptr, id);
}

void TScreen::SetCursor(TCursor cursor) {
  if (cursor_ == cursor) return;
  cursor_ = cursor;
  if (cursor == crDefault) {
    // Let the window under the mouse choose its cursor again, when it is one of ours.
    POINT pt;
    GetCursorPos(&pt);
    HWND wnd = WindowFromPoint(pt);
    if (wnd && GetWindowThreadProcessId(wnd, nullptr) == GetCurrentThreadId()) {
      const LRESULT hit = SendMessageW(wnd, WM_NCHITTEST, 0, MAKELPARAM(pt.x, pt.y));
      SendMessageW(wnd, WM_SETCURSOR, WPARAM(wnd), MAKELPARAM(hit, WM_MOUSEMOVE));
      return;
    }
  }
  ::SetCursor(Cursors(cursor));
}

}  // namespace host
