// Strings, conversions, routines and the base exception of the host class library.
//   String            UTF-8 text at every interface
//   ToWide/ToUtf8     the one place where UTF-8 and UTF-16 meet
//   text routines     comparison (ordinal and locale-aware), case mapping, Trim, integers
//   path routines     parts of file names, trailing backslashes
//   file routines     existence, ForceDirectories, DeleteFile, DiskFree
//   FormatNumber      numbers with the user's thousands separator ("%1.0n")
//   TDateTime         days since 30 December 1899, conversions and the user's formats
//   Exception         base of every error the library raises
#pragma once

// The platform headers come first so that their A/W name macros (DeleteFile) apply to every
// declaration and call of the routines below in the same way.
#include <windows.h>

#include <cstdint>
#include <exception>
#include <string>
#include <string_view>

namespace host {

using String = std::string;
using WideString = std::wstring;

WideString ToWide(std::string_view utf8);
String ToUtf8(std::wstring_view wide);
inline String ToUtf8(const wchar_t* wide) {
  return wide ? ToUtf8(std::wstring_view{wide}) : String{};
}

// ---- Text

// Case-insensitive comparison of whole texts: ordinal, upper-cased per UTF-16 unit, not locale.
bool SameText(std::string_view a, std::string_view b);
int CompareText(std::string_view a, std::string_view b);
// Comparison in the user's locale (CompareStringEx); the Text forms ignore case. -1, 0 or 1.
int AnsiCompareText(std::string_view a, std::string_view b);
int AnsiCompareStr(std::string_view a, std::string_view b);
bool AnsiSameText(std::string_view a, std::string_view b);
// Case mapping of every letter by the user's locale.
String AnsiUpperCase(std::string_view s);
String AnsiLowerCase(std::string_view s);
// Case mapping of the ASCII letters a-z / A-Z only; other bytes stay as they are.
String UpperCase(std::string_view s);
String LowerCase(std::string_view s);
// Strip leading and/or trailing spaces and control characters (bytes up to ' ').
String Trim(std::string_view s);
String TrimLeft(std::string_view s);
String TrimRight(std::string_view s);

String IntToStr(int64_t value);
// Decimal (optionally signed) or hexadecimal with a leading '$' or "0x"; surrounding blanks are
// allowed. Anything else, or a value outside the 32-bit range, gives `defaultValue`.
int StrToIntDef(std::string_view s, int defaultValue);
bool TryStrToInt(std::string_view s, int& value);

// ---- Paths (both '\' and '/' separate folders; ':' ends a drive)

// "C:\Data\a.txt" -> "C:\Data\", "a.txt", ".txt", "C:". For UNC names the drive is the share:
// "\\server\share\x" -> "\\server\share".
String ExtractFilePath(std::string_view fileName);
String ExtractFileDir(std::string_view fileName);  // the path without its trailing separator
String ExtractFileName(std::string_view fileName);
String ExtractFileExt(std::string_view fileName);
String ExtractFileDrive(std::string_view fileName);
String ChangeFileExt(std::string_view fileName, std::string_view extension);
String IncludeTrailingBackslash(std::string_view path);  // "" gives "\"
String ExcludeTrailingBackslash(std::string_view path);
// The full path of `fileName` relative to the current folder (GetFullPathNameW).
String ExpandFileName(std::string_view fileName);

// ---- Files

bool FileExists(std::string_view fileName);  // an existing file, not a folder
bool DirectoryExists(std::string_view directory);
// Creates `directory` and every missing folder above it; true when it exists afterwards.
bool ForceDirectories(std::string_view directory);
bool CreateDir(std::string_view directory);
bool RemoveDir(std::string_view directory);
// Expands to DeleteFileW under UNICODE like the platform's own name; host::DeleteFile(String).
bool DeleteFile(std::string_view fileName);
bool RenameFile(std::string_view oldName, std::string_view newName);
// Bytes free for the caller on the volume holding `path` (a drive, share or any folder on it);
// -1 when the volume cannot be queried. Critical-error boxes are off during the query.
int64_t DiskFree(std::string_view path);
int64_t DiskSize(std::string_view path);
// The system's text for an error code (FormatMessageW), without the trailing line break.
String SysErrorMessage(DWORD error);

// ---- Numbers

// `value` rounded half away from zero to `decimals` places and written with the user's
// thousands and decimal separators, grouping and negative format (GetNumberFormatEx).
// FormatNumber(1234567.5) is "1,234,568" in an English locale: the "%1.0n" of the callers.
String FormatNumber(double value, int decimals = 0);
inline String FormatFloatN(double value) { return FormatNumber(value, 0); }
String ThousandSeparator();  // the user's LOCALE_STHOUSAND
String DecimalSeparator();   // the user's LOCALE_SDECIMAL

// ---- Dates and times

// Days since 30 December 1899 in the integer part, the time of day in the fraction. Before that
// day the value is negative and its fraction still counts forward from midnight (-1.25 is
// 29 December 1899, 06:00).
using TDateTime = double;

// The Encode routines raise Exception for a value outside the calendar (year 1 to 9999).
TDateTime EncodeDate(int year, int month, int day);
TDateTime EncodeTime(int hour, int minute, int second, int milliseconds);
void DecodeDate(TDateTime value, int& year, int& month, int& day);
void DecodeTime(TDateTime value, int& hour, int& minute, int& second, int& milliseconds);
bool TryEncodeDate(int year, int month, int day, TDateTime& value);
bool IsLeapYear(int year);

TDateTime Now();   // local time
TDateTime Date();  // today, local
TDateTime SystemTimeToDateTime(const SYSTEMTIME& time);
SYSTEMTIME DateTimeToSystemTime(TDateTime value);  // wDayOfWeek filled in
// The file time as it stands (no zone conversion; give it a local file time for local values).
TDateTime FileTimeToDateTime(const FILETIME& time);
FILETIME DateTimeToFileTime(TDateTime value);
// A file time in UTC (as the file system keeps it) shown in local time, with the daylight
// saving rule of that date.
TDateTime FileTimeToLocalDateTime(const FILETIME& utc);

// The user's short date and short time pictures ("M/d/yyyy", "h:mm tt").
String ShortDateFormat();
String ShortTimeFormat();
// Short date, a space, short time, in the user's formats; every valid value, also before 1601.
String DateTimeToStr(TDateTime value);
String DateToStr(TDateTime value);
String TimeToStr(TDateTime value);

// ---- Errors

class Exception : public std::exception {
 public:
  explicit Exception(String message) : message_(std::move(message)) {}
  const String& Message() const { return message_; }
  const char* what() const noexcept override { return message_.c_str(); }

 private:
  String message_;
};

// A platform call failed: the message is the system's text for the error, `Code` its number.
class EOSError : public Exception {
 public:
  EOSError(String message, DWORD code) : Exception(std::move(message)), code_(code) {}
  DWORD Code() const { return code_; }

 private:
  DWORD code_;
};
// Raises EOSError for GetLastError() (or `error`) with the system's message.
[[noreturn]] void RaiseLastOSError(DWORD error = GetLastError());

}  // namespace host
