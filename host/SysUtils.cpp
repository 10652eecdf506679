#include "host/SysUtils.h"

#include <windows.h>

namespace host {

WideString ToWide(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
  WideString out(size_t(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), out.data(), n);
  return out;
}

String ToUtf8(std::wstring_view wide) {
  if (wide.empty()) return {};
  const int n =
      WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), nullptr, 0, nullptr, nullptr);
  String out(size_t(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), out.data(), n, nullptr, nullptr);
  return out;
}

int CompareText(std::string_view a, std::string_view b) {
  const WideString wa = ToWide(a), wb = ToWide(b);
  const int r = CompareStringOrdinal(wa.data(), int(wa.size()), wb.data(), int(wb.size()), TRUE);
  return r == CSTR_LESS_THAN ? -1 : r == CSTR_GREATER_THAN ? 1 : 0;
}

bool SameText(std::string_view a, std::string_view b) { return CompareText(a, b) == 0; }

}  // namespace host
