// Windows-style ini files through the platform's profile functions.
//   TIniFile           sections of Key=Value lines: read, write, enumerate, erase, flush
//   EIniFileException  a write the platform refused or could not store faithfully
//
// A file that does not exist yet is created as UTF-16LE with a byte-order mark before the first
// write, so that names and values outside the ANSI code page survive; existing files are read
// and written in the encoding they already have, except that a file in the ANSI code page is
// rewritten as UTF-16LE, with all its sections, before a write of text the code page cannot hold.
// A name without any folder (no '\', '/' or ':') lives in the Windows folder, as with the
// platform; use full paths elsewhere. A line without a key ("=x") is no entry: reading skips it.
//
// What the format cannot hold is refused with EIniFileException rather than written wrongly:
// a key containing "=" (it would be read back as a shorter key with a different value) and a
// section, key or value containing a line break. The platform also trims blanks around keys and
// values and strips one pair of surrounding quotes from a value when it is read.
#pragma once

#include "host/core/StringList.h"

namespace host {

class EIniFileException : public Exception {
  using Exception::Exception;
};

class TIniFile : public TObject {
 public:
  explicit TIniFile(const String& fileName);
  ~TIniFile() override;  // flushes the platform's cache of the file
  TIniFile(const TIniFile&) = delete;
  TIniFile& operator=(const TIniFile&) = delete;

  String ClassName() const override { return "TIniFile"; }
  const String& FileName() const { return fileName_; }

  // ---- Values (any length)
  String ReadString(const String& section, const String& ident, const String& defaultValue) const;
  void WriteString(const String& section, const String& ident, const String& value);
  // Decimal or hexadecimal ("0x1F", "$1F"); anything else gives the default.
  int ReadInteger(const String& section, const String& ident, int defaultValue) const;
  void WriteInteger(const String& section, const String& ident, int value);
  // Any integer but 0 is true; written as "1" or "0".
  bool ReadBool(const String& section, const String& ident, bool defaultValue) const;
  void WriteBool(const String& section, const String& ident, bool value);

  // ---- Sections (every key and section, in file order, however many)
  void ReadSection(const String& section, TStrings* keys) const;
  void ReadSections(TStrings* sections) const;
  // Key=Value lines of a section.
  void ReadSectionValues(const String& section, TStrings* values) const;
  // Replaces the whole section by Key=Value lines (a line without "=" is a key with an empty
  // value) in one write; the keys follow the rules of WriteString.
  void WriteSectionValues(const String& section, const TStrings* values);
  bool SectionExists(const String& section) const;  // true when it has at least one key
  bool ValueExists(const String& section, const String& ident) const;
  // Raise EIniFileException when the platform fails; nothing to do when the file is missing.
  void EraseSection(const String& section);
  void DeleteKey(const String& section, const String& ident);

  // Writes what the platform still caches of this file to disk.
  void UpdateFile();

 private:
  // Creates a missing file as empty UTF-16LE text (byte-order mark only).
  void PrepareNewFile() const;
  // Before writing `text`: an existing file in the ANSI code page that cannot hold it becomes
  // UTF-16LE with everything it held.
  void MakeRoomFor(std::wstring_view text);
  bool Exists() const;
  void Write(const wchar_t* section, const wchar_t* ident, const wchar_t* value);
  // A double-null-terminated list of names from GetPrivateProfileStringW (nullptr section: all
  // sections), grown until it fits.
  void ReadNames(const WideString* section, TStrings* names) const;

  String fileName_;
  WideString wideName_;
  WideString resolvedName_;  // where the platform will look
};

}  // namespace host
