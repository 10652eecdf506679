#include "host/graphics/Dpi.h"

#include "host/core/Raii.h"

namespace host {

UINT WindowDpi(HWND wnd) {
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  static const auto getDpiForWindow = [] {
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    return user32 ? reinterpret_cast<GetDpiForWindowFn>(
                        reinterpret_cast<void*>(GetProcAddress(user32, "GetDpiForWindow")))
                  : nullptr;
  }();
  if (wnd && getDpiForWindow)
    if (const UINT dpi = getDpiForWindow(wnd)) return dpi;
  WindowDC dc(wnd);
  const int dpi = dc ? GetDeviceCaps(dc.get(), LOGPIXELSY) : 0;
  return dpi > 0 ? UINT(dpi) : DefaultDpi;
}

}  // namespace host
