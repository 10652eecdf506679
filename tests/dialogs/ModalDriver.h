// Acting on modal dialogs the way a user would, from a timer that runs inside their modal loop.
//   TimerSteps        calls a step function every 50 ms until it says it is done (a minute at
//                     most: then the dialog is cancelled and the test fails)
//   DialogTexts       the texts of a dialog's static controls, joined by new lines
#pragma once

#include "Modal.h"
#include "host/core/SysUtils.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <functional>

namespace testing_support {

class TimerSteps {
 public:
  // `step` answers true once it is done; a step that raises stops the timer (the exception is
  // lost, so steps record what they see and the test asserts afterwards).
  explicit TimerSteps(std::function<bool()> step)
      : step_(std::move(step)), started_(GetTickCount64()) {
    active_ = this;
    id_ = SetTimer(nullptr, 0, 50, Tick);
  }
  ~TimerSteps() {
    if (id_) KillTimer(nullptr, id_);
    active_ = nullptr;
  }
  TimerSteps(const TimerSteps&) = delete;
  TimerSteps& operator=(const TimerSteps&) = delete;

  bool Done() const { return id_ == 0; }

 private:
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    TimerSteps* self = active_;
    if (!self || !self->id_ || self->running_) return;
    self->running_ = true;
    bool done = true;
    try {
      done = self->step_();
    } catch (...) {
    }
    self->running_ = false;
    if (!done && GetTickCount64() - self->started_ > kGiveUpMs) {
      // Never done: the dialog is cancelled, so that the test fails instead of waiting for ever.
      ADD_FAILURE() << "a modal step was not done after " << kGiveUpMs / 1000 << " s";
      if (HWND dialog = FindThreadDialog()) PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
      done = true;
    }
    if (done) {
      KillTimer(nullptr, self->id_);
      self->id_ = 0;
    }
  }

  static constexpr ULONGLONG kGiveUpMs = 60000;
  static inline TimerSteps* active_ = nullptr;
  std::function<bool()> step_;
  ULONGLONG started_;
  UINT_PTR id_ = 0;
  bool running_ = false;
};

inline host::String DialogTexts(HWND dialog) {
  host::String texts;
  EnumChildWindows(
      dialog,
      [](HWND child, LPARAM lp) -> BOOL {
        wchar_t cls[32] = {};
        GetClassNameW(child, cls, 32);
        if (_wcsicmp(cls, L"Static") == 0) {
          wchar_t text[512] = {};
          GetWindowTextW(child, text, 512);
          if (*text) *reinterpret_cast<host::String*>(lp) += host::ToUtf8(text) + "\n";
        }
        return TRUE;
      },
      LPARAM(&texts));
  return texts;
}

// Answers the next dialog box of the thread with `button` and records its texts.
class AnswerNextDialog {
 public:
  explicit AnswerNextDialog(UINT button)
      : steps_([this, button] {
          HWND dialog = FindThreadDialog();
          if (!dialog) return false;
          texts_ = DialogTexts(dialog);
          ++answered_;
          PostMessageW(dialog, WM_COMMAND, button, 0);
          return true;
        }) {}
  const host::String& Texts() const { return texts_; }
  int Answered() const { return answered_; }

 private:
  host::String texts_;
  int answered_ = 0;
  TimerSteps steps_;
};

}  // namespace testing_support
