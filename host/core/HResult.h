// One error policy for HRESULTs, shared by the class library and the package.
//   EOleError          a COM or shell call failed: "<context>: <system text>" and the HRESULT
//   CheckHr            throws when a call failed (EOleError, or the named error with its message)
//   HrOk               true on success; on failure records the failure and answers false
//   LastHrFailure      the calling thread's last failure recorded by HrOk
//
// The policy, per call site:
//  - where the operation raises, CheckHr throws: the named error with its exact message when the
//    component defines one (CheckHr<EZelnorError>(hr, "...")), EOleError otherwise;
//  - where the operation answers a neutral value (an empty text, nullptr, 0, false), HrOk tells
//    the caller to answer it: `if (!HrOk(hr, "GetDisplayNameOf")) return {};`. The HRESULT stays
//    as the thread's last error (GetLastError), as the list routines document;
//  - nothing else: no call's result is ignored, and no failure is swallowed silently.
#pragma once

#include <windows.h>

#include "host/core/SysUtils.h"

namespace host {

class EOleError : public Exception {
 public:
  EOleError(String message, HRESULT code) : Exception(std::move(message)), code_(code) {}
  HRESULT Code() const { return code_; }

 private:
  HRESULT code_;
};

// The failure most recently recorded on this thread.
struct HrFailure {
  HRESULT hr = S_OK;
  const char* context = "";  // a literal naming the call
};

// Records a failed HRESULT with its context (static text) for the calling thread.
void RecordHrFailure(HRESULT hr, const char* context);
HrFailure LastHrFailure();

// Raises EOleError "<context>: <system text>" for a failed HRESULT.
[[noreturn]] void RaiseOleError(HRESULT hr, const char* context);

// Returns hr when it succeeded; throws EOleError naming `context` when it failed.
inline HRESULT CheckHr(HRESULT hr, const char* context) {
  if (FAILED(hr)) RaiseOleError(hr, context);
  return hr;
}

// Returns hr when it succeeded; throws the named error E(message) when it failed.
template <typename E>
HRESULT CheckHr(HRESULT hr, const String& message) {
  if (FAILED(hr)) {
    RecordHrFailure(hr, "");
    throw E(message);
  }
  return hr;
}

// True when hr succeeded; otherwise records it (and the context) and answers false, so that the
// caller returns its neutral value.
[[nodiscard]] inline bool HrOk(HRESULT hr, const char* context) {
  if (SUCCEEDED(hr)) return true;
  RecordHrFailure(hr, context);
  return false;
}

}  // namespace host
