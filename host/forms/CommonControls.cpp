// Detection of the common-controls library version in use.
#include "host/forms/CommonControls.h"

#include "host/core/SysUtils.h"

#include <windows.h>
#include <commctrl.h>

namespace host {

bool UsesCommonControls6() {
  // Any control class registration loads the library the activation context names.
  INITCOMMONCONTROLSEX init{sizeof(init), ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&init);
  HMODULE module = GetModuleHandleW(L"comctl32.dll");
  if (!module) return false;
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(module, path.data(), DWORD(path.size()));
    if (n == 0) return false;
    if (n < path.size()) {
      path.resize(n);
      break;
    }
    path.resize(path.size() * 2);
  }
  // Version 6 is only ever loaded from the side-by-side store; version 5 lives in system32.
  const String lower = LowerCase(ToUtf8(path));
  if (lower.find("\\winsxs\\") != String::npos && lower.find("common-controls") != String::npos)
    return true;
  // Windows versions that load it elsewhere still export the task dialog only from version 6.
  return GetProcAddress(module, "TaskDialogIndirect") != nullptr &&
         lower.find("\\system32\\") == String::npos;
}

}  // namespace host
