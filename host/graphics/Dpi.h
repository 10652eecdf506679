// Dots per inch: what a window is shown at, and pixel sizes designed at 96 DPI scaled to it.
//   DefaultDpi            96, the DPI our pixel sizes are designed at
//   WindowDpi(wnd)        the DPI of a window's monitor as the window sees it
//   ScaleByDpi(px, dpi)   a 96-DPI size at `dpi`, rounded as MulDiv rounds
//   ScaleBy(px, M, D)     a size at DPI D taken to DPI M
//
// A program that is not DPI aware sees 96 everywhere (the system stretches its windows), so all
// of this leaves it as it was.
#pragma once

#include <windows.h>

namespace host {

constexpr UINT DefaultDpi = 96;

// GetDpiForWindow where the system has it (loaded from user32 at first use); else the
// LOGPIXELSY of the window's device context (the screen's for nullptr).
UINT WindowDpi(HWND wnd);

inline int ScaleBy(int px, int m, int d) { return d == 0 || m == d ? px : MulDiv(px, m, d); }
inline int ScaleByDpi(int px, UINT dpi) { return ScaleBy(px, int(dpi), int(DefaultDpi)); }

}  // namespace host
