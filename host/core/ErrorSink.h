// Where the errors go that no caller can take: exceptions stopped at a window procedure or at the
// end of a worker's synchronised call. The application installs itself as the sink at start-up
// (host/forms/Application.cpp), so that code of this layer reports without knowing it.
//   TErrorSink      the receiver of such an error
//   SetErrorSink    installs the receiver; nullptr restores the fallback
//   ReportError     hands an error to the receiver; never raises
#pragma once

#include <exception>

namespace host {

class TObject;

using TErrorSink = void (*)(std::exception_ptr error, TObject* sender);

void SetErrorSink(TErrorSink sink);
// Without a sink the error's text goes to the debugger's output and the standard error stream.
void ReportError(std::exception_ptr error, TObject* sender);

}  // namespace host
