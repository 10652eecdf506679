// The windowed demo: a form read from a form file, shown in a real window.
#pragma once

#include <windows.h>

#include <functional>
#include <vector>

#include "host/core/SysUtils.h"
#include "host/forms/Forms.h"

// Takes further pictures of a shown form (a menu open on it, say) next to the first screenshot;
// answers the files it wrote.
using TExtraShots =
    std::function<std::vector<host::String>(host::TForm& form, const host::String& screenshotFile)>;

// Shows the form of `formFile` until it is closed; with `screenshotFile` set, waits until the form
// has painted, saves a PNG of its window from the screen instead, runs `extraShots`, prints the
// path and returns. Answers the process exit code.
int RunFormDemo(const host::String& formFile, const host::String& screenshotFile,
                const TExtraShots& extraShots = {});

// Writes what the screen shows of a window's client area as a PNG file.
void SaveWindowPng(HWND wnd, const host::String& fileName);
// Runs the queue until the form and its children have painted.
void WaitUntilPainted(host::TForm* form);

// A file of the examples folder (the form files and their pictures), as a Windows path.
host::String ExamplesFile(const host::String& name);
