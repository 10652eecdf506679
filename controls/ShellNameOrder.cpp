// Probing how file-system folders compare names, and the sort keys that follow those rules.
#include "controls/ShellNameOrder.h"

#include <shlobj.h>

#include <mutex>
#include <optional>

#include "host/core/HResult.h"
#include "shell/ShellWin32.h"
#include "shell/Zelnor.h"

namespace zelnor {

namespace {

// CompareIDs of two children that exist nowhere: simple lists made from their would-be paths.
int CompareNames(IShellFolder* folder, const std::wstring& path, const wchar_t* a,
                 const wchar_t* b, bool& ok) {
  const std::wstring base = path.empty() || path.back() == L'\\' ? path : path + L'\\';
  UniquePidl first{SHSimpleIDListFromPath((base + a).c_str())};
  UniquePidl second{SHSimpleIDListFromPath((base + b).c_str())};
  if (!first || !second) {
    ok = false;
    return 0;
  }
  const HRESULT hr = folder->CompareIDs(0, ILFindLastID(first.get()), ILFindLastID(second.get()));
  if (!host::HrOk(hr, "CompareIDs")) ok = false;
  return short(HRESULT_CODE(hr));
}

}  // namespace

TShellNameOrder ProbeNameOrder(IShellFolder* folder, const std::wstring& path) {
  static std::mutex lock;
  static std::optional<TShellNameOrder> known;
  std::lock_guard<std::mutex> guard(lock);
  if (known) return *known;
  TShellNameOrder order;
  if (!folder || path.empty()) return order;
  bool ok = true;
  order.digitsAsNumbers = CompareNames(folder, path, L"zz2.q", L"zz10.q", ok) < 0;
  // A name outside the ANSI code page turns into "?" there, which sorts before "[".
  order.ansiNames = CompareNames(folder, path, L"\x4E2D.q", L"[.q", ok) < 0;
  if (ok) known = order;
  return order;
}

bool IsSortedAsFolder(TZelnor& navigator) {
  const ULONG kind = navigator.GetAttributes(SFGAO_FOLDER | SFGAO_STREAM);
  return (kind & SFGAO_FOLDER) && !(kind & SFGAO_STREAM);
}

std::string NameSortKey(std::wstring_view name, bool folder, const TShellNameOrder& order) {
  std::string key(1, folder ? '\x01' : '\x02');
  if (name.empty()) return key;
  AppendTextSortKey(key, name, order);
  return key;
}

void AppendTextSortKey(std::string& key, std::wstring_view text, const TShellNameOrder& order) {
  // A name's round trip through the ANSI code page: in buffers on the stack when it is short.
  constexpr int kShort = 260;
  wchar_t roundTrip[kShort * 4];
  std::wstring converted;
  if (order.ansiNames && !text.empty()) {
    int shortChars = 0;
    if (text.size() <= size_t(kShort)) {
      char narrow[kShort * 4];
      const int bytes = WideCharToMultiByte(CP_ACP, 0, text.data(), int(text.size()), narrow,
                                            int(sizeof narrow), nullptr, nullptr);
      if (bytes > 0)
        shortChars = MultiByteToWideChar(CP_ACP, 0, narrow, bytes, roundTrip, kShort * 4);
    }
    if (shortChars > 0) {
      text = std::wstring_view(roundTrip, size_t(shortChars));
    } else {
      const int bytes = WideCharToMultiByte(CP_ACP, 0, text.data(), int(text.size()), nullptr, 0,
                                            nullptr, nullptr);
      std::string ansi(size_t(bytes > 0 ? bytes : 0), '\0');
      if (bytes > 0)
        WideCharToMultiByte(CP_ACP, 0, text.data(), int(text.size()), ansi.data(), bytes, nullptr,
                            nullptr);
      const int chars = MultiByteToWideChar(CP_ACP, 0, ansi.data(), int(ansi.size()), nullptr, 0);
      converted.assign(size_t(chars > 0 ? chars : 0), L'\0');
      if (chars > 0)
        MultiByteToWideChar(CP_ACP, 0, ansi.data(), int(ansi.size()), converted.data(), chars);
      text = converted;
    }
  }
  const auto terminate = [&key] {
    if (key.empty() || key.back() != '\0') key.push_back('\0');
  };
  if (text.empty()) return terminate();
  const DWORD flags =
      LCMAP_SORTKEY | NORM_IGNORECASE | (order.digitsAsNumbers ? SORT_DIGITSASNUMBERS : 0);
  char buffer[512];
  int length = LCMapStringEx(LOCALE_NAME_USER_DEFAULT, flags, text.data(), int(text.size()),
                             reinterpret_cast<LPWSTR>(buffer), sizeof buffer, nullptr, nullptr, 0);
  if (length > 0) {
    key.append(buffer, size_t(length));
    return terminate();
  }
  length = LCMapStringEx(LOCALE_NAME_USER_DEFAULT, flags, text.data(), int(text.size()), nullptr,
                         0, nullptr, nullptr, 0);
  if (length > 0) {
    const size_t start = key.size();
    key.resize(start + size_t(length));
    LCMapStringEx(LOCALE_NAME_USER_DEFAULT, flags, text.data(), int(text.size()),
                  reinterpret_cast<LPWSTR>(key.data() + start), length, nullptr, nullptr, 0);
  }
  terminate();
}

}  // namespace zelnor
