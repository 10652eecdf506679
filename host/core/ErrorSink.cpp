// The sink of errors no caller can take.
#include "host/core/ErrorSink.h"

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <stdexcept>

#include "host/core/SysUtils.h"

namespace host {

namespace {

std::atomic<TErrorSink> sink{nullptr};

void Fallback(std::exception_ptr error) {
  String text = "Unknown exception";
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    text = e.what();
  } catch (...) {
    // Not a standard exception: it has no text of its own.
  }
  OutputDebugStringW(ToWide(text + "\n").c_str());
  std::fprintf(stderr, "%s\n", text.c_str());
}

}  // namespace

void SetErrorSink(TErrorSink receiver) { sink = receiver; }

void ReportError(std::exception_ptr error, TObject* sender) {
  if (!error) return;
  try {
    if (TErrorSink receiver = sink.load()) {
      receiver(error, sender);
    } else {
      Fallback(error);
    }
  } catch (...) {
    // A failing receiver must not take its caller down with it.
  }
}

}  // namespace host
