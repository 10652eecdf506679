// Waiting in tests for what the main thread is told, with a generous bound instead of sleeps.
//   PumpMessagesUntil      runs the message queue (timers, posted wake-ups, synchronised calls)
//   PumpSynchronizeUntil   runs only synchronised calls and thread ends, as the pools' waits do
#pragma once

#include "host/core/Threads.h"
#include "host/forms/Application.h"

#include <windows.h>

#include <functional>

namespace testing_support {

// False when `done` still does not hold after `boundMs`.
inline bool PumpMessagesUntil(const std::function<bool()>& done, DWORD boundMs = 20000) {
  const ULONGLONG end = GetTickCount64() + boundMs;
  while (!done()) {
    if (GetTickCount64() > end) return false;
    host::Application().ProcessMessages();
    if (done()) break;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
  }
  return true;
}

inline bool PumpSynchronizeUntil(const std::function<bool()>& done, DWORD boundMs = 30000) {
  const ULONGLONG end = GetTickCount64() + boundMs;
  while (!done()) {
    if (GetTickCount64() >= end) return false;
    host::CheckSynchronize(5);
  }
  return true;
}

}  // namespace testing_support
