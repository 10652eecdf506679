// The windowed demo: a form read from a form file, shown in a real window.
#pragma once

#include "host/SysUtils.h"

// Shows the form of `formFile` until it is closed; with `screenshotFile` set, waits until the form
// has painted, saves a PNG of its window from the screen instead, prints its path and returns.
// Answers the process exit code.
int RunFormDemo(const host::String& formFile, const host::String& screenshotFile);

// A file of the examples folder (the form files and their pictures), as a Windows path.
host::String ExamplesFile(const host::String& name);
