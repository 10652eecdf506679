// The application object and the screen, non-visual parts.
//   TApplication   hidden window, message loop, termination, hints, exception handling, message boxes
//   Application()  the one application object, made on the main thread at start-up
//   TCursor        standard cursor identifiers (crDefault, crHourGlass, ...)
//   TScreen        the screen cursor
//   Screen()       the one screen object
//   CursorGuard    shows a cursor (the hourglass) for a scope, restores the previous one on every path
//   GetShortHint, GetLongHint   the two parts of a hint "short|long"
#pragma once

#include "host/core/Classes.h"
#include "host/core/Messages.h"
#include "host/core/Raii.h"

#include <windows.h>

#include <exception>
#include <functional>
#include <vector>

namespace host {

using TExceptionEvent = std::function<void(TObject* sender, const std::exception& error)>;
// Sees every message the loop takes from the queue before it is translated and dispatched; set
// `handled` to stop it there.
using TMessageEvent = std::function<void(MSG& message, bool& handled)>;

// The part of a hint before '|', and the part after it; each is the whole hint when it has no '|'.
String GetShortHint(const String& hint);
String GetLongHint(const String& hint);

class TApplication : public TComponent {
 public:
  TApplication();
  ~TApplication() override;

  String ClassName() const override { return "TApplication"; }

  // Hidden window of the application: it runs synchronised calls of worker threads, also inside
  // the platform's modal loops, and owns the application's top-level windows.
  HWND Handle() const { return handle_.get(); }

  // Runs the message loop until Terminate is called or WM_QUIT arrives.
  void Run();
  // Handles every message waiting in the queue, then the pending synchronised calls.
  void ProcessMessages();
  // Handles one message, or when none is waiting runs the synchronised calls and waits for one.
  void HandleMessage();
  // Asks the loop to end; Terminated stays true from then on.
  void Terminate();
  bool Terminated() const { return terminated_; }

  // The main form, filled in by the visual half.
  TComponent* MainForm() const { return mainForm_; }
  void SetMainForm(TComponent* form);

  const String& Title() const { return title_; }
  void SetTitle(const String& title) { title_ = title; }
  String ExeName() const;

  // The hint of the control under the mouse; OnHint fires when it changes.
  const String& Hint() const { return hint_; }
  void SetHint(const String& hint);
  TNotifyEvent OnHint;

  // Reports the exception being handled (call inside a catch block) or the given one: OnException
  // when assigned, otherwise a message box. Never raises.
  void HandleException(TObject* sender);
  void HandleException(std::exception_ptr error, TObject* sender);
  void ShowException(const std::exception& error);
  TExceptionEvent OnException;

  TMessageEvent OnMessage;

  // MessageBoxW with UTF-8 text; caption defaults to Title. Owned by the active window.
  int MessageBox(const String& text, const String& caption = String{}, UINT flags = MB_OK);

 protected:
  void Notification(TComponent* component, TOperation operation) override;

 private:
  // Takes one message from the queue; false when there was none.
  bool ProcessMessage(MSG& message);
  void Idle();
  void WndProc(TMessage& message);
  // Runs the calls that threads queued for the main thread (on a wake-up or its timer).
  void RunQueuedCalls();
  static constexpr UINT_PTR kQueuedCallsTimer = 1;

  UniqueHiddenWindow handle_;
  bool terminated_ = false;
  TComponent* mainForm_ = nullptr;
  String title_;
  String hint_;
};

// The application object; it lives until the process ends.
TApplication& Application();

using TCursor = int;
constexpr TCursor crDefault = 0;
constexpr TCursor crNone = -1;
constexpr TCursor crArrow = -2;
constexpr TCursor crCross = -3;
constexpr TCursor crIBeam = -4;
constexpr TCursor crSizeNESW = -6;
constexpr TCursor crSizeNS = -7;
constexpr TCursor crSizeNWSE = -8;
constexpr TCursor crSizeWE = -9;
constexpr TCursor crUpArrow = -10;
constexpr TCursor crHourGlass = -11;
constexpr TCursor crDrag = -12;
constexpr TCursor crNoDrop = -13;
constexpr TCursor crHSplit = -14;
constexpr TCursor crVSplit = -15;
constexpr TCursor crMultiDrag = -16;
constexpr TCursor crSQLWait = -17;
constexpr TCursor crNo = -18;
constexpr TCursor crAppStart = -19;
constexpr TCursor crHelp = -20;
constexpr TCursor crHandPoint = -21;
constexpr TCursor crSizeAll = -22;
constexpr TCursor crSize = crSizeAll;

class TScreen : public TComponent {
 public:
  String ClassName() const override { return "TScreen"; }

  // The cursor shown over the whole application; crDefault lets each window choose its own
  // (windows answer WM_SETCURSOR with Screen().Cursor() when it is not crDefault).
  TCursor Cursor() const { return cursor_; }
  void SetCursor(TCursor cursor);
  // The platform cursor of a standard identifier (the arrow for unknown ones; none for crNone).
  HCURSOR Cursors(TCursor cursor) const;

 private:
  TCursor cursor_ = crDefault;
};

TScreen& Screen();

// Sets Screen().Cursor for a scope (the hourglass by default) and restores the previous cursor
// when the scope ends, also by an exception.
class [[nodiscard]] CursorGuard {
 public:
  explicit CursorGuard(TCursor cursor = crHourGlass) : previous_(Screen().Cursor()) {
    Screen().SetCursor(cursor);
  }
  ~CursorGuard() { Screen().SetCursor(previous_); }
  CursorGuard(const CursorGuard&) = delete;
  CursorGuard& operator=(const CursorGuard&) = delete;

 private:
  TCursor previous_;
};

}  // namespace host
