// What the sources of the control classes share among themselves, and nothing else includes:
// the window procedure, the classes' default procedures, the count of tied windows and the
// control under the mouse.
#pragma once

#include "host/forms/Controls.h"

#include <windows.h>

#include <algorithm>
#include <unordered_map>

namespace host {

// The class procedure of every window of our controls (ControlMessages.cpp).
LRESULT CALLBACK HostWndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp);

namespace detail {

// How many windows are tied to our controls. Controls live on the main thread only.
extern int liveWindows;

// The default procedure of each class we registered, by class atom: used for messages that
// reach a window before it is tied to its control or after the control let go of it.
std::unordered_map<ATOM, WNDPROC>& ClassProcs();

// The control under the mouse (graphic controls included), for CM_MOUSEENTER/CM_MOUSELEAVE;
// SetMouseControl tells the old one and the new one (ControlInput.cpp).
extern TControl* mouseControl;
void SetMouseControl(TControl* control);

inline RECT Normalised(int left, int top, int width, int height) {
  return RECT{left, top, left + std::max(width, 0), top + std::max(height, 0)};
}

}  // namespace detail
}  // namespace host
