// Shell utility routines: pattern matching, string records, error texts, drops, shortcuts, drives.
#include "shell/ShellRoutines.h"

#include "host/graphics/Dpi.h"

#include "host/core/HResult.h"

#include <shellapi.h>
#include <shlwapi.h>

#include <string>
#include <utility>
#include <vector>

#include "host/core/Raii.h"
#include "host/forms/Application.h"
#include "host/forms/Controls.h"
#include "shell/ShellGlobals.h"

namespace zelnor {

using host::ComPtr;

namespace {

// Bytes for a network resource record and the strings behind it: names of any reasonable length.
constexpr size_t kNetResourceBytes = 4096;
// The longest target path asked of a shortcut (wide characters, terminator included).
constexpr size_t kLongestLinkPath = 65536;

// Code points of a UTF-8 text; a byte that starts no valid sequence stands for itself.
std::u32string CodePoints(const String& s) {
  std::u32string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    int extra = c >= 0xF0 && c < 0xF8 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
    if (c >= 0xF8 || (c >= 0x80 && c < 0xC0)) extra = 0;
    char32_t cp = extra == 0 ? c : c & (0x3F >> extra);
    bool valid = i + size_t(extra) < s.size() || extra == 0;
    for (int k = 1; valid && k <= extra; ++k) {
      const unsigned char cc = static_cast<unsigned char>(s[i + size_t(k)]);
      if ((cc & 0xC0) != 0x80) valid = false;
      cp = (cp << 6) | (cc & 0x3F);
    }
    if (!valid) {
      cp = c;
      extra = 0;
    }
    out.push_back(cp);
    i += size_t(extra) + 1;
  }
  return out;
}

char32_t AsciiUpper(char32_t c) { return c >= U'a' && c <= U'z' ? c - 32 : c; }

}  // namespace

// The rules, for a name rest n and a pattern rest p, first that applies:
//   p is exactly "*" -> true; n empty, p not -> false; both empty -> true;
//   p starts with "*" -> M(n, p+1) || M(n+1, p); "?" -> M(n+1, p+1);
//   otherwise the first characters must be equal (ASCII letters without case) and M(n+1, p+1).
// Evaluated bottom-up over all rests (two rows) instead of by recursion, so stars cost
// O(name x pattern) rather than exponential time.
bool MatchPattern(const String& name, const String& pattern) {
  // Stars alone match every name: the usual filter, asked once per child of a folder.
  if (!pattern.empty() && pattern.find_first_not_of('*') == String::npos) return true;
  const std::u32string n = CodePoints(name), p = CodePoints(pattern);
  const size_t nn = n.size(), pn = p.size();
  std::vector<char> next(pn + 1), row(pn + 1);  // next: name rest i+1, row: name rest i
  for (size_t i = nn + 1; i-- > 0;) {
    for (size_t j = pn + 1; j-- > 0;) {
      bool r;
      if (j + 1 == pn && p[j] == U'*') {
        r = true;
      } else if (i == nn) {
        r = j == pn;
      } else if (j == pn) {
        r = false;  // a name character against the pattern's end
      } else if (p[j] == U'*') {
        r = row[j + 1] || next[j];
      } else if (p[j] == U'?') {
        r = next[j + 1];
      } else {
        r = AsciiUpper(n[i]) == AsciiUpper(p[j]) && next[j + 1];
      }
      row[j] = r;
    }
    std::swap(row, next);
  }
  return next[0];
}

String GetStringFromStrRet(PCItemIDList list, STRRET& strRet) {
  switch (strRet.uType) {
    case STRRET_WSTR: {
      // Taken over as it is: StrRetToStr would copy it first.
      host::CoTaskMemPtr<wchar_t> owned{std::exchange(strRet.pOleStr, nullptr)};
      return owned ? host::ToUtf8(owned.get()) : String();
    }
    case STRRET_OFFSET:
      if (!list) return {};
      break;
    case STRRET_CSTR:
      break;
    default:
      return {};
  }
  LPWSTR text = nullptr;
  const HRESULT hr = StrRetToStrW(&strRet, list, &text);
  host::CoTaskMemPtr<wchar_t> owned{text};
  if (!host::HrOk(hr, "StrRetToStr") || !text) return {};
  return host::ToUtf8(text);
}

void FreeStrRet(STRRET& strRet) {
  if (strRet.uType == STRRET_WSTR && strRet.pOleStr) {
    CoTaskMemFree(strRet.pOleStr);
    strRet.pOleStr = nullptr;
  }
}

String GetErrorMessageText(int code) {
  const auto format = [](DWORD value) {
    LPWSTR text = nullptr;
    const DWORD n = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, value, 0, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
    String out = n && text ? host::ToUtf8(std::wstring_view(text, n)) : String{};
    if (text) LocalFree(text);
    return out;
  };
  String text = format(DWORD(code));
  // An HRESULT that wraps a system error code: fall back to the code's own text.
  if (text.empty() && HRESULT_FACILITY(code) == FACILITY_WIN32 && (DWORD(code) & 0x80000000u))
    text = format(DWORD(HRESULT_CODE(code)));
  return text;
}

String KivGetTempPath() {
  const DWORD n = GetTempPathW(0, nullptr);
  if (!n) return {};
  WideString buffer(n, L'\0');
  const DWORD got = GetTempPathW(n, buffer.data());
  if (!got || got >= n) return {};
  buffer.resize(got);
  return host::ToUtf8(buffer);
}

String GetDomainFromIdList(IShellFolder* folder, PCItemIDList list) {
  if (!folder || !list) return {};
  // The record is followed by its strings.
  std::vector<NETRESOURCEW> buffer(kNetResourceBytes / sizeof(NETRESOURCEW) + 1);
  const int bytes = int(buffer.size() * sizeof(NETRESOURCEW));
  if (!host::HrOk(SHGetDataFromIDListW(folder, list, SHGDFIL_NETRESOURCE, buffer.data(), bytes),
                  "SHGetDataFromIDList"))
    return {};
  const NETRESOURCEW& res = buffer[0];
  if (res.dwDisplayType != RESOURCEDISPLAYTYPE_DOMAIN && res.dwDisplayType != RESOURCEDISPLAYTYPE_SERVER)
    return {};
  return host::ToUtf8(res.lpRemoteName);
}

std::unique_ptr<host::TStringList> GetFilenamesFromHandle(HDROP drop) {
  if (!drop) return nullptr;
  const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  if (count == 0) return nullptr;
  auto names = std::make_unique<host::TStringList>();
  WideString buffer;
  for (UINT i = 0; i < count; ++i) {
    const UINT length = DragQueryFileW(drop, i, nullptr, 0);
    if (length == 0) continue;  // some shells count a phantom entry in an empty drop
    buffer.assign(size_t(length) + 1, L'\0');
    const UINT got = DragQueryFileW(drop, i, buffer.data(), length + 1);
    buffer.resize(got);
    names->Add(host::ToUtf8(buffer));
  }
  if (names->Count() == 0) return nullptr;
  return names;
}

std::unique_ptr<host::TStringList> GetFilenamesFromClipboard() {
  if (!OpenClipboard(nullptr)) return nullptr;
  auto names = GetFilenamesFromHandle(static_cast<HDROP>(GetClipboardData(CF_HDROP)));
  CloseClipboard();
  return names;
}

std::unique_ptr<host::TStringList> GetFilenamesFromDataObject(IDataObject* dataObject) {
  if (!dataObject) return nullptr;
  FORMATETC format = HDropFormatEtc;
  STGMEDIUM medium{};
  if (!host::HrOk(dataObject->GetData(&format, &medium), "GetData")) return std::make_unique<host::TStringList>();
  std::unique_ptr<host::TStringList> names;
  if (medium.tymed == TYMED_HGLOBAL) names = GetFilenamesFromHandle(static_cast<HDROP>(medium.hGlobal));
  ReleaseStgMedium(&medium);
  return names;
}

String _GetLinkTarget(const WideString& linkFile, WIN32_FIND_DATAW& findData) {
  InitializeShell();
  ComPtr<IShellLinkW> link;
  if (!host::HrOk(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&link)), "CoCreateInstance"))
    return {};
  ComPtr<IPersistFile> file;
  if (!host::HrOk(link.As(&file), "QueryInterface")) return {};
  if (!host::HrOk(file->Load(linkFile.c_str(), STGM_READ), "Load")) return {};
  // The shell cuts a path that does not fit the buffer: grow until it fits.
  WideString path;
  for (size_t size = MAX_PATH + 1; size <= kLongestLinkPath && path.empty(); size *= 4) {
    WideString buffer(size, L'\0');
    if (link->GetPath(buffer.data(), int(size), &findData, SLGP_UNCPRIORITY) != S_OK) return {};
    const size_t length = wcslen(buffer.c_str());
    if (length + 1 < size) path.assign(buffer.c_str(), length);
  }
  // A "?" cannot be part of a file name: the shell kept the path in a narrow code page that lacks
  // some of its letters. The link's item identifier list still holds the exact name.
  if (path.find(L'?') != WideString::npos) {
    PIDLIST_ABSOLUTE target = nullptr;
    const HRESULT hr = link->GetIDList(&target);
    UniquePidl owned{target};
    if (host::HrOk(hr, "GetIDList") && owned) {
      const WideString exact = GetPathFromPidlW(owned.get());
      if (!exact.empty()) path = exact;
    }
  }
  return host::ToUtf8(path);
}

String GetLinkTarget(const String& linkFile) {
  WIN32_FIND_DATAW findData{};
  return _GetLinkTarget(host::ToWide(linkFile), findData);
}

bool IsDrive(const String& path) {
  if (path.empty()) return false;
  String p = path;
  if (p.back() == '\\') p.pop_back();
  return !p.empty() && p == host::ExtractFileDrive(p);
}

bool IsDriveReady(const String& path) {
  const String drive = host::ExtractFileDrive(path);
  if (drive.empty()) return false;
  host::ErrorModeGuard errorMode;
  ULARGE_INTEGER freeToCaller, total, totalFree;
  return GetDiskFreeSpaceExW(host::ToWide(host::IncludeTrailingBackslash(drive)).c_str(), &freeToCaller,
                             &total, &totalFree) != FALSE;
}

bool TooLongForTheShell(const String& folder) {
  const WideString path = host::ToWide(host::ExcludeTrailingBackslash(folder));
  if (path.size() < MAX_PATH) return false;
  // Only the prefixed form reaches past MAX_PATH everywhere.
  const WideString prefixed = path.compare(0, 2, L"\\\\") == 0 ? L"\\\\?\\UNC" + path.substr(1)
                                                            : L"\\\\?\\" + path;
  WIN32_FIND_DATAW data;
  host::FindHandle find{FindFirstFileExW((prefixed + L"\\*").c_str(), FindExInfoBasic, &data,
                                         FindExSearchNameMatch, nullptr, 0)};
  if (!find) return false;
  do {
    if (!IsFolderToIgnore(host::ToUtf8(data.cFileName))) return true;
  } while (FindNextFileW(find.get(), &data));
  return false;
}

bool IsUNCPath(const String& path) {
  if (path.size() <= 3 || path[0] != '\\' || path[1] != '\\') return false;
  return path.find('\\', 2) != String::npos;
}

String GetFriendlyName(const String& path) {
  UniquePidl list = GetIdListFromPath(Desktop(), path);
  return list ? GetPathFromPidl(list.get()) : path;
}

String GetMyDocumentsPath() { return GetPathFromSpecialFolder(SF_PERSONAL); }

String GetUserProfilePath() {
  const String appData = GetPathFromSpecialFolder(SF_APPDATA);
  return appData.empty() ? String{} : host::IncludeTrailingBackslash(appData);
}

int64_t GetFileSize(const String& path) {
  host::ErrorModeGuard errorMode;
  WIN32_FIND_DATAW data;
  host::FindHandle find{FindFirstFileW(host::ToWide(path).c_str(), &data)};
  if (!find) return -1;
  return int64_t((uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
}

bool IsFolderToIgnore(const String& name) { return name == "." || name == ".."; }

bool GetExplorerLogFont(LOGFONTW& font) {
  LOGFONTW lf{};
  if (!SystemParametersInfoW(SPI_GETICONTITLELOGFONT, sizeof lf, &lf, 0)) return false;
  font = lf;
  return true;
}

void ApplyExplorerFont(host::TFont& font) {
  LOGFONTW lf;
  if (!GetExplorerLogFont(lf)) return;
  // The system gives the font at the screen's DPI; the view may be at another.
  lf.lfHeight = host::ScaleBy(lf.lfHeight, font.PixelsPerInch(), host::ScreenPixelsPerInch());
  font.AssignLogFont(lf);
}

HWND GetOwningWindowHandle() {
  if (auto* form = dynamic_cast<host::TWinControl*>(host::Application().MainForm())) {
    try {
      if (HWND wnd = form->Handle()) return wnd;
    } catch (const std::exception&) {
      // A main form whose window cannot be made leaves the application's window.
    }
  }
  return host::Application().Handle();
}

bool EnableAutoComplete(HWND edit, bool fileSystem, bool url) {
  DWORD flags = 0;
  if (fileSystem) flags |= SHACF_FILESYSTEM;
  if (url) flags |= SHACF_URLHISTORY | SHACF_URLMRU;
  if (flags == 0)
    flags = SHACF_AUTOSUGGEST_FORCE_OFF | SHACF_AUTOAPPEND_FORCE_OFF | 7;
  else
    flags |= SHACF_USETAB;
  TSHAutoComplete autoComplete = nullptr;
  try {
    autoComplete = KivSHAutoComplete();
  } catch (const host::Exception&) {
    return false;  // the shell could not be started: no auto-completion
  }
  return autoComplete && autoComplete(edit, flags) == S_OK;
}

}  // namespace zelnor
