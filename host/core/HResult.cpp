// The record of the last failed HRESULT per thread and the error raised for one.
#include "host/core/HResult.h"

namespace host {

namespace {

thread_local HrFailure lastFailure;

}  // namespace

void RecordHrFailure(HRESULT hr, const char* context) {
  lastFailure = HrFailure{hr, context ? context : ""};
  SetLastError(DWORD(hr));
}

HrFailure LastHrFailure() { return lastFailure; }

void RaiseOleError(HRESULT hr, const char* context) {
  RecordHrFailure(hr, context);
  throw EOleError(String(context) + ": " + SysErrorMessage(DWORD(hr)), hr);
}

}  // namespace host
