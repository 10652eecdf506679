// TIniFile over GetPrivateProfileStringW / WritePrivateProfileStringW.
#include "host/core/IniFiles.h"

#include "host/core/Raii.h"

#include <vector>

namespace host {

namespace {

constexpr DWORD kFirstBuffer = 2048;

// The platform puts a name without any folder into the Windows folder, any other relative name
// below the current folder.
WideString ResolveLikeThePlatform(const WideString& name) {
  if (name.find_first_of(L"\\/:") == WideString::npos) {
    wchar_t folder[MAX_PATH];
    const UINT n = GetWindowsDirectoryW(folder, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return name;
    WideString path(folder, n);
    if (path.back() != L'\\') path += L'\\';
    return path + name;
  }
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD n = GetFullPathNameW(name.c_str(), DWORD(buffer.size()), buffer.data(), nullptr);
    if (n == 0) return name;
    if (n < buffer.size()) return WideString(buffer.data(), n);
    buffer.resize(n + 1);
  }
}

void CheckLine(const String& text, const char* what) {
  if (text.find_first_of("\r\n") != String::npos)
    throw EIniFileException(String("Ini file ") + what + " contains a line break: " + text);
}

void CheckKey(const String& ident) {
  CheckLine(ident, "key");
  if (ident.find('=') != String::npos)
    throw EIniFileException("Ini file key contains \"=\" and could not be read back: " + ident);
}

// True when the ANSI code page holds every character of `text`.
bool FitsAnsiCodePage(std::wstring_view text) {
  if (text.empty()) return true;
  BOOL lost = FALSE;
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), int(text.size()), nullptr, 0,
                      nullptr, &lost);
  return !lost;
}

// The whole content of a file; false when it cannot be read.
bool ReadBytes(const WideString& file, std::string& bytes) {
  UniqueFile h(CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!h) return false;
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(h.get(), &size) || size.QuadPart > (int64_t(1) << 30)) return false;
  bytes.assign(size_t(size.QuadPart), '\0');
  DWORD read = 0;
  return bytes.empty() ||
         (::ReadFile(h.get(), bytes.data(), DWORD(bytes.size()), &read, nullptr) &&
          read == bytes.size());
}

// A file without a byte-order mark is in the ANSI code page.
bool IsAnsiText(const std::string& bytes) {
  return !(bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF") ||
           bytes.starts_with("\xEF\xBB\xBF"));
}

}  // namespace

TIniFile::TIniFile(const String& fileName)
    : fileName_(fileName),
      wideName_(ToWide(fileName)),
      resolvedName_(ResolveLikeThePlatform(wideName_)) {}

TIniFile::~TIniFile() {
  if (!wideName_.empty()) WritePrivateProfileStringW(nullptr, nullptr, nullptr, wideName_.c_str());
}

bool TIniFile::Exists() const {
  return GetFileAttributesW(resolvedName_.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void TIniFile::PrepareNewFile() const {
  if (Exists()) return;
  // CREATE_NEW: a file that appeared meanwhile is left as it is.
  UniqueFile file(CreateFileW(resolvedName_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return;  // the platform's own write reports the failure
  static const unsigned char bom[] = {0xFF, 0xFE};
  DWORD written = 0;
  WriteFile(file.get(), bom, sizeof bom, &written, nullptr);
}

void TIniFile::Write(const wchar_t* section, const wchar_t* ident, const wchar_t* value) {
  if (!WritePrivateProfileStringW(section, ident, value, wideName_.c_str()))
    throw EIniFileException("Unable to write to " + fileName_);
}

// ---- Values

String TIniFile::ReadString(const String& section, const String& ident,
                            const String& defaultValue) const {
  const WideString s = ToWide(section), k = ToWide(ident), d = ToWide(defaultValue);
  std::vector<wchar_t> buffer(kFirstBuffer);
  for (;;) {
    const DWORD n = GetPrivateProfileStringW(s.c_str(), k.c_str(), d.c_str(), buffer.data(),
                                             DWORD(buffer.size()), wideName_.c_str());
    // A value that fills the buffer may have been cut: ask again with more room.
    if (n + 1 < buffer.size()) return ToUtf8(std::wstring_view{buffer.data(), n});
    buffer.resize(buffer.size() * 2);
  }
}

void TIniFile::WriteString(const String& section, const String& ident, const String& value) {
  CheckLine(section, "section");
  CheckKey(ident);
  CheckLine(value, "value");
  PrepareNewFile();
  const WideString s = ToWide(section), k = ToWide(ident), v = ToWide(value);
  MakeRoomFor(s + k + v);
  Write(s.c_str(), k.c_str(), v.c_str());
}

void TIniFile::MakeRoomFor(std::wstring_view text) {
  if (FitsAnsiCodePage(text)) return;
  std::string bytes;
  // What the platform still caches goes to the file first, so that it is all read here.
  UpdateFile();
  if (!ReadBytes(resolvedName_, bytes) || !IsAnsiText(bytes)) return;
  WideString wide(size_t(MultiByteToWideChar(CP_ACP, 0, bytes.data(), int(bytes.size()), nullptr, 0)),
                  L'\0');
  if (!wide.empty())
    MultiByteToWideChar(CP_ACP, 0, bytes.data(), int(bytes.size()), wide.data(), int(wide.size()));
  // Written beside the file and moved over it, so that a failure leaves the old file whole.
  const WideString temporary = resolvedName_ + L".utf16~";
  {
    UniqueFile out(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out) throw EIniFileException("Unable to write to " + fileName_);
    static const unsigned char bom[] = {0xFF, 0xFE};
    DWORD written = 0;
    const DWORD size = DWORD(wide.size() * sizeof(wchar_t));
    if (!::WriteFile(out.get(), bom, sizeof bom, &written, nullptr) ||
        (size && (!::WriteFile(out.get(), wide.data(), size, &written, nullptr) || written != size))) {
      out.reset();
      ::DeleteFileW(temporary.c_str());
      throw EIniFileException("Unable to write to " + fileName_);
    }
  }
  if (!MoveFileExW(temporary.c_str(), resolvedName_.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    ::DeleteFileW(temporary.c_str());
    throw EIniFileException("Unable to write to " + fileName_);
  }
}

int TIniFile::ReadInteger(const String& section, const String& ident, int defaultValue) const {
  return StrToIntDef(ReadString(section, ident, ""), defaultValue);
}

void TIniFile::WriteInteger(const String& section, const String& ident, int value) {
  WriteString(section, ident, IntToStr(value));
}

bool TIniFile::ReadBool(const String& section, const String& ident, bool defaultValue) const {
  return ReadInteger(section, ident, defaultValue ? 1 : 0) != 0;
}

void TIniFile::WriteBool(const String& section, const String& ident, bool value) {
  WriteString(section, ident, value ? "1" : "0");
}

// ---- Sections

void TIniFile::ReadNames(const WideString* section, TStrings* names) const {
  std::vector<wchar_t> buffer(kFirstBuffer);
  DWORD n;
  for (;;) {
    n = GetPrivateProfileStringW(section ? section->c_str() : nullptr, nullptr, L"", buffer.data(),
                                 DWORD(buffer.size()), wideName_.c_str());
    // Too small a buffer gives size - 2 with the last name cut.
    if (n + 2 < buffer.size()) break;
    buffer.resize(buffer.size() * 2);
  }
  UpdateGuard<TStrings> update(*names);
  names->Clear();
  // The names end where the count says: a line without a key ("=x") gives an empty name, which is
  // skipped, not taken for the end.
  for (DWORD i = 0; i < n;) {
    const wchar_t* name = buffer.data() + i;
    const size_t length = wcsnlen(name, n - i);
    if (length > 0) names->Add(ToUtf8(std::wstring_view{name, length}));
    i += DWORD(length) + 1;
  }
}

void TIniFile::ReadSection(const String& section, TStrings* keys) const {
  const WideString s = ToWide(section);
  ReadNames(&s, keys);
}

void TIniFile::ReadSections(TStrings* sections) const { ReadNames(nullptr, sections); }

void TIniFile::ReadSectionValues(const String& section, TStrings* values) const {
  TStringList keys;
  ReadSection(section, &keys);
  UpdateGuard<TStrings> update(*values);
  values->Clear();
  for (int i = 0; i < keys.Count(); ++i)
    values->Add(keys.Strings(i) + "=" + ReadString(section, keys.Strings(i), ""));
}

void TIniFile::WriteSectionValues(const String& section, const TStrings* values) {
  CheckLine(section, "section");
  // Key=Value lines, each ended by a null, the whole ended by another.
  WideString lines;
  for (int i = 0; i < (values ? values->Count() : 0); ++i) {
    const String& line = values->Strings(i);
    const size_t equals = line.find('=');
    const String key = line.substr(0, equals);
    const String value = equals == String::npos ? String{} : line.substr(equals + 1);
    CheckKey(key);
    CheckLine(value, "value");
    if (key.empty()) throw EIniFileException("Ini file line without a key: " + line);
    lines += ToWide(key + "=" + value);
    lines += L'\0';
  }
  lines += L'\0';
  PrepareNewFile();
  const WideString s = ToWide(section);
  MakeRoomFor(s + lines);
  if (!WritePrivateProfileSectionW(s.c_str(), lines.c_str(), wideName_.c_str()))
    throw EIniFileException("Unable to write to " + fileName_);
}

bool TIniFile::SectionExists(const String& section) const {
  TStringList keys;
  ReadSection(section, &keys);
  return keys.Count() > 0;
}

bool TIniFile::ValueExists(const String& section, const String& ident) const {
  TStringList keys;
  ReadSection(section, &keys);
  return keys.IndexOf(ident) >= 0;
}

void TIniFile::EraseSection(const String& section) {
  if (!Exists()) return;
  const WideString s = ToWide(section);
  Write(s.c_str(), nullptr, nullptr);
}

void TIniFile::DeleteKey(const String& section, const String& ident) {
  if (!Exists()) return;
  const WideString s = ToWide(section), k = ToWide(ident);
  Write(s.c_str(), k.c_str(), nullptr);
}

void TIniFile::UpdateFile() {
  // The platform answers FALSE for a flush even when it worked; there is nothing to report.
  WritePrivateProfileStringW(nullptr, nullptr, nullptr, wideName_.c_str());
}

}  // namespace host
