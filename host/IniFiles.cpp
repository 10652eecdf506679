// TIniFile over GetPrivateProfileStringW / WritePrivateProfileStringW.
#include "host/IniFiles.h"

#include "host/Raii.h"

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
  CheckLine(ident, "key");
  CheckLine(value, "value");
  if (ident.find('=') != String::npos)
    throw EIniFileException("Ini file key contains \"=\" and could not be read back: " + ident);
  PrepareNewFile();
  const WideString s = ToWide(section), k = ToWide(ident), v = ToWide(value);
  Write(s.c_str(), k.c_str(), v.c_str());
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
  for (DWORD i = 0; i < n;) {
    const wchar_t* name = buffer.data() + i;
    const size_t length = wcsnlen(name, n - i);
    if (length == 0) break;
    names->Add(ToUtf8(std::wstring_view{name, length}));
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
