// Strings, conversions, path, file, number and date routines.
#include "host/core/SysUtils.h"

#include "host/core/Raii.h"

#include <cmath>
#include <cstdio>
#include <vector>

namespace host {

// ---- Conversions

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

// ---- Text

int CompareText(std::string_view a, std::string_view b) {
  const WideString wa = ToWide(a), wb = ToWide(b);
  const int r = CompareStringOrdinal(wa.data(), int(wa.size()), wb.data(), int(wb.size()), TRUE);
  return r == CSTR_LESS_THAN ? -1 : r == CSTR_GREATER_THAN ? 1 : 0;
}

bool SameText(std::string_view a, std::string_view b) { return CompareText(a, b) == 0; }

namespace {

int LocaleCompare(std::string_view a, std::string_view b, DWORD flags) {
  const WideString wa = ToWide(a), wb = ToWide(b);
  const int r = CompareStringEx(LOCALE_NAME_USER_DEFAULT, flags, wa.data(), int(wa.size()),
                                wb.data(), int(wb.size()), nullptr, nullptr, 0);
  if (r == 0) return a < b ? -1 : a > b ? 1 : 0;  // invalid input: fall back to byte order
  return r - CSTR_EQUAL;
}

String LocaleMap(std::string_view s, DWORD flags) {
  WideString w = ToWide(s);
  if (w.empty()) return {};
  const int n = LCMapStringEx(LOCALE_NAME_USER_DEFAULT, flags, w.data(), int(w.size()), nullptr, 0,
                              nullptr, nullptr, 0);
  if (n <= 0) return String(s);
  WideString out(size_t(n), L'\0');
  LCMapStringEx(LOCALE_NAME_USER_DEFAULT, flags, w.data(), int(w.size()), out.data(), n, nullptr,
                nullptr, 0);
  return ToUtf8(out);
}

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

}  // namespace

int AnsiCompareText(std::string_view a, std::string_view b) {
  return LocaleCompare(a, b, NORM_IGNORECASE);
}
int AnsiCompareStr(std::string_view a, std::string_view b) { return LocaleCompare(a, b, 0); }
bool AnsiSameText(std::string_view a, std::string_view b) { return AnsiCompareText(a, b) == 0; }

String AnsiUpperCase(std::string_view s) { return LocaleMap(s, LCMAP_UPPERCASE); }
String AnsiLowerCase(std::string_view s) { return LocaleMap(s, LCMAP_LOWERCASE); }

String UpperCase(std::string_view s) {
  String out(s);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
  return out;
}

String LowerCase(std::string_view s) {
  String out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return out;
}

String TrimLeft(std::string_view s) {
  size_t i = 0;
  while (i < s.size() && IsBlank(s[i])) ++i;
  return String(s.substr(i));
}

String TrimRight(std::string_view s) {
  size_t n = s.size();
  while (n > 0 && IsBlank(s[n - 1])) --n;
  return String(s.substr(0, n));
}

String Trim(std::string_view s) { return TrimLeft(TrimRight(s)); }

String IntToStr(int64_t value) { return std::to_string(value); }

bool TryStrToInt(std::string_view s, int& value) {
  const String t = Trim(s);
  size_t i = 0;
  bool negative = false;
  if (i < t.size() && (t[i] == '-' || t[i] == '+')) negative = t[i++] == '-';
  int base = 10;
  if (i < t.size() && t[i] == '$') {
    base = 16;
    ++i;
  } else if (i + 1 < t.size() && t[i] == '0' && (t[i + 1] == 'x' || t[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i >= t.size()) return false;
  int64_t result = 0;
  for (; i < t.size(); ++i) {
    const char c = t[i];
    int digit;
    if (c >= '0' && c <= '9')
      digit = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f')
      digit = c - 'a' + 10;
    else if (base == 16 && c >= 'A' && c <= 'F')
      digit = c - 'A' + 10;
    else
      return false;
    result = result * base + digit;
    if (result > 0x100000000LL) return false;
  }
  if (negative) result = -result;
  // Hexadecimal covers the full 32 bits ($FFFFFFFF is -1), decimal the signed range.
  if (base == 16 && !negative && result <= 0xFFFFFFFFLL) result = int32_t(uint32_t(result));
  if (result < INT32_MIN || result > INT32_MAX) return false;
  value = int(result);
  return true;
}

int StrToIntDef(std::string_view s, int defaultValue) {
  int value;
  return TryStrToInt(s, value) ? value : defaultValue;
}

// ---- Paths

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }
bool IsPathDelimiter(char c) { return IsSeparator(c) || c == ':'; }

// Index just past the last separator or drive colon; 0 when there is none.
size_t NameStart(std::string_view s) {
  size_t i = s.size();
  while (i > 0 && !IsPathDelimiter(s[i - 1])) --i;
  return i;
}

}  // namespace

String ExtractFilePath(std::string_view fileName) {
  return String(fileName.substr(0, NameStart(fileName)));
}

String ExtractFileDir(std::string_view fileName) {
  size_t n = NameStart(fileName);
  // Keep the separator of a root ("C:\", "\") but not of a folder.
  if (n > 1 && IsSeparator(fileName[n - 1]) && !IsPathDelimiter(fileName[n - 2])) --n;
  return String(fileName.substr(0, n));
}

String ExtractFileName(std::string_view fileName) {
  return String(fileName.substr(NameStart(fileName)));
}

String ExtractFileExt(std::string_view fileName) {
  const size_t start = NameStart(fileName);
  const size_t dot = fileName.rfind('.');
  if (dot == std::string_view::npos || dot < start) return {};
  return String(fileName.substr(dot));
}

String ExtractFileDrive(std::string_view fileName) {
  if (fileName.size() >= 2 && fileName[1] == ':') return String(fileName.substr(0, 2));
  if (fileName.size() >= 2 && IsSeparator(fileName[0]) && IsSeparator(fileName[1])) {
    // \\server\share: up to the separator that follows the share name.
    size_t i = 2;
    while (i < fileName.size() && !IsSeparator(fileName[i])) ++i;  // server
    if (i < fileName.size()) ++i;
    while (i < fileName.size() && !IsSeparator(fileName[i])) ++i;  // share
    String drive(fileName.substr(0, i));
    if (drive.size() > 2 && IsSeparator(drive.back())) drive.pop_back();
    return drive;
  }
  return {};
}

String ChangeFileExt(std::string_view fileName, std::string_view extension) {
  const size_t start = NameStart(fileName);
  size_t dot = fileName.rfind('.');
  if (dot == std::string_view::npos || dot < start) dot = fileName.size();
  return String(fileName.substr(0, dot)) + String(extension);
}

String IncludeTrailingBackslash(std::string_view path) {
  String out(path);
  if (out.empty() || out.back() != '\\') out += '\\';
  return out;
}

String ExcludeTrailingBackslash(std::string_view path) {
  String out(path);
  if (!out.empty() && out.back() == '\\') out.pop_back();
  return out;
}

String ExpandFileName(std::string_view fileName) {
  const WideString w = ToWide(fileName);
  if (w.empty()) return {};
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD n = GetFullPathNameW(w.c_str(), DWORD(buffer.size()), buffer.data(), nullptr);
    if (n == 0) return String(fileName);
    if (n < buffer.size()) return ToUtf8(std::wstring_view{buffer.data(), n});
    buffer.resize(n + 1);
  }
}

// ---- Files

namespace {

DWORD Attributes(std::string_view name) {
  if (name.empty()) return INVALID_FILE_ATTRIBUTES;
  return GetFileAttributesW(ToWide(name).c_str());
}

}  // namespace

bool FileExists(std::string_view fileName) {
  const DWORD a = Attributes(fileName);
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(std::string_view directory) {
  const DWORD a = Attributes(directory);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool CreateDir(std::string_view directory) {
  return !directory.empty() && CreateDirectoryW(ToWide(directory).c_str(), nullptr) != 0;
}

bool RemoveDir(std::string_view directory) {
  return !directory.empty() && RemoveDirectoryW(ToWide(directory).c_str()) != 0;
}

bool ForceDirectories(std::string_view directory) {
  if (Trim(directory).empty()) return false;
  const String full = ExcludeTrailingBackslash(ExpandFileName(directory));
  if (DirectoryExists(full)) return true;
  // Walk down from the drive or share, creating each level that is missing.
  const size_t root = ExtractFileDrive(full).size();
  for (size_t i = root + 1; i <= full.size(); ++i) {
    if (i < full.size() && !IsSeparator(full[i])) continue;
    const String level = full.substr(0, i);
    if (DirectoryExists(level)) continue;
    if (!CreateDirectoryW(ToWide(level).c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
      return false;
  }
  return DirectoryExists(full);
}

bool DeleteFile(std::string_view fileName) {
  return !fileName.empty() && ::DeleteFileW(ToWide(fileName).c_str()) != 0;
}

bool RenameFile(std::string_view oldName, std::string_view newName) {
  return MoveFileW(ToWide(oldName).c_str(), ToWide(newName).c_str()) != 0;
}

namespace {

bool DiskSpace(std::string_view path, ULARGE_INTEGER& available, ULARGE_INTEGER& total) {
  if (path.empty()) return false;
  ErrorModeGuard noBoxes;
  ULARGE_INTEGER free;
  return GetDiskFreeSpaceExW(ToWide(IncludeTrailingBackslash(path)).c_str(), &available, &total,
                             &free) != 0;
}

}  // namespace

int64_t DiskFree(std::string_view path) {
  ULARGE_INTEGER available, total;
  return DiskSpace(path, available, total) ? int64_t(available.QuadPart) : -1;
}

int64_t DiskSize(std::string_view path) {
  ULARGE_INTEGER available, total;
  return DiskSpace(path, available, total) ? int64_t(total.QuadPart) : -1;
}

String SysErrorMessage(DWORD error) {
  wchar_t* text = nullptr;
  const DWORD n = FormatMessageW(
      FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  String message = n ? ToUtf8(std::wstring_view{text, n}) : String{};
  if (text) LocalFree(text);
  message = TrimRight(message);
  if (message.empty()) message = "System error " + std::to_string(error);
  return message;
}

void RaiseLastOSError(DWORD error) { throw EOSError(SysErrorMessage(error), error); }

// ---- Numbers

namespace {

WideString LocaleText(LCTYPE type) {
  wchar_t buffer[128];
  const int n = GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, type, buffer, 128);
  return n > 0 ? WideString(buffer, size_t(n - 1)) : WideString{};
}

UINT LocaleNumber(LCTYPE type, UINT fallback) {
  DWORD value = 0;
  const int n =
      GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, type | LOCALE_RETURN_NUMBER,
                      reinterpret_cast<wchar_t*>(&value), sizeof(value) / sizeof(wchar_t));
  return n > 0 ? UINT(value) : fallback;
}

// LOCALE_SGROUPING ("3;0", "3;2;0", "3") in the form NUMBERFMTW wants (3, 32, 30).
UINT GroupingNumber(const WideString& grouping) {
  std::vector<UINT> sizes;
  for (wchar_t c : grouping)
    if (c >= L'0' && c <= L'9') sizes.push_back(UINT(c - L'0'));
  if (sizes.empty()) return 3;
  if (sizes.back() == 0)
    sizes.pop_back();
  else
    sizes.push_back(0);  // the last group does not repeat
  UINT result = 0;
  for (UINT s : sizes) result = result * 10 + s;
  return result;
}

}  // namespace

String ThousandSeparator() { return ToUtf8(LocaleText(LOCALE_STHOUSAND)); }
String DecimalSeparator() { return ToUtf8(LocaleText(LOCALE_SDECIMAL)); }

String FormatNumber(double value, int decimals) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  decimals = decimals < 0 ? 0 : decimals > 18 ? 18 : decimals;
  // Round half away from zero at the wanted place, then write the digits exactly.
  const double scaled = std::round(std::fabs(value) * std::pow(10.0, decimals));
  char digits[400];
  std::snprintf(digits, sizeof digits, "%.0f", scaled);
  String plain = digits;
  if (decimals > 0) {
    if (plain.size() <= size_t(decimals)) plain.insert(0, size_t(decimals) + 1 - plain.size(), '0');
    plain.insert(plain.size() - size_t(decimals), 1, '.');
  }
  if (value < 0 && scaled != 0) plain.insert(0, 1, '-');

  WideString decimalSep = LocaleText(LOCALE_SDECIMAL), thousandSep = LocaleText(LOCALE_STHOUSAND);
  NUMBERFMTW format{};
  format.NumDigits = UINT(decimals);
  format.LeadingZero = LocaleNumber(LOCALE_ILZERO, 1);
  format.Grouping = GroupingNumber(LocaleText(LOCALE_SGROUPING));
  format.lpDecimalSep = decimalSep.data();
  format.lpThousandSep = thousandSep.data();
  format.NegativeOrder = LocaleNumber(LOCALE_INEGNUMBER, 1);
  const WideString input = ToWide(plain);
  wchar_t buffer[512];
  const int n = GetNumberFormatEx(LOCALE_NAME_USER_DEFAULT, 0, input.c_str(), &format, buffer, 512);
  return n > 0 ? ToUtf8(std::wstring_view{buffer, size_t(n - 1)}) : plain;
}

// ---- Dates and times

namespace {

constexpr int64_t kMsPerDay = 86'400'000;

// Days from 1 January 1970 of a proleptic Gregorian date (H. Hinnant's algorithm).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = unsigned(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + int64_t(doe) - 719468;
}

void CivilFromDays(int64_t z, int& year, int& month, int& day) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = unsigned(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = int(doy - (153 * mp + 2) / 5 + 1);
  month = int(mp < 10 ? mp + 3 : mp - 9);
  year = int(int64_t(yoe) + era * 400 + (month <= 2));
}

const int64_t kEpochDays = DaysFromCivil(1899, 12, 30);

// Splits a value into whole days and milliseconds of the day, rounded to the millisecond.
void Split(TDateTime value, int64_t& days, int64_t& ms) {
  days = int64_t(std::trunc(value));
  ms = std::llround(std::fabs(value - double(days)) * double(kMsPerDay));
  if (ms >= kMsPerDay) {
    ms -= kMsPerDay;
    days += value < 0 ? -1 : 1;
  }
}

TDateTime Combine(int64_t days, int64_t ms) {
  const double time = double(ms) / double(kMsPerDay);
  return days < 0 ? double(days) - time : double(days) + time;
}

int DaysInMonth(int year, int month) {
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : days[month - 1];
}

}  // namespace

bool IsLeapYear(int year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

bool TryEncodeDate(int year, int month, int day, TDateTime& value) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
      day > DaysInMonth(year, month))
    return false;
  value = double(DaysFromCivil(year, unsigned(month), unsigned(day)) - kEpochDays);
  return true;
}

TDateTime EncodeDate(int year, int month, int day) {
  TDateTime value;
  if (!TryEncodeDate(year, month, day, value)) throw Exception("Invalid argument to date encode");
  return value;
}

TDateTime EncodeTime(int hour, int minute, int second, int milliseconds) {
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 ||
      milliseconds < 0 || milliseconds > 999)
    throw Exception("Invalid argument to time encode");
  return double(((hour * 60 + minute) * 60 + second) * 1000 + milliseconds) / double(kMsPerDay);
}

void DecodeDate(TDateTime value, int& year, int& month, int& day) {
  int64_t days, ms;
  Split(value, days, ms);
  CivilFromDays(days + kEpochDays, year, month, day);
}

void DecodeTime(TDateTime value, int& hour, int& minute, int& second, int& milliseconds) {
  int64_t days, ms;
  Split(value, days, ms);
  milliseconds = int(ms % 1000);
  second = int(ms / 1000 % 60);
  minute = int(ms / 60000 % 60);
  hour = int(ms / 3600000);
}

TDateTime SystemTimeToDateTime(const SYSTEMTIME& t) {
  const int64_t days = DaysFromCivil(t.wYear, t.wMonth, t.wDay) - kEpochDays;
  const int64_t ms = ((t.wHour * 60 + t.wMinute) * 60 + t.wSecond) * 1000 + t.wMilliseconds;
  return Combine(days, ms);
}

SYSTEMTIME DateTimeToSystemTime(TDateTime value) {
  int64_t days, ms;
  Split(value, days, ms);
  int year, month, day;
  CivilFromDays(days + kEpochDays, year, month, day);
  SYSTEMTIME t{};
  t.wYear = WORD(year);
  t.wMonth = WORD(month);
  t.wDay = WORD(day);
  // 30 December 1899 was a Saturday.
  t.wDayOfWeek = WORD(((days + 6) % 7 + 7) % 7);
  t.wHour = WORD(ms / 3600000);
  t.wMinute = WORD(ms / 60000 % 60);
  t.wSecond = WORD(ms / 1000 % 60);
  t.wMilliseconds = WORD(ms % 1000);
  return t;
}

TDateTime Now() {
  SYSTEMTIME t;
  GetLocalTime(&t);
  return SystemTimeToDateTime(t);
}

TDateTime Date() { return std::trunc(Now()); }

namespace {

// FILETIME counts 100 ns from 1 January 1601.
const int64_t kFileTimeEpochDays = DaysFromCivil(1601, 1, 1) - kEpochDays;
constexpr int64_t kTicksPerMs = 10'000;

}  // namespace

TDateTime FileTimeToDateTime(const FILETIME& time) {
  const int64_t ticks = int64_t((uint64_t(time.dwHighDateTime) << 32) | time.dwLowDateTime);
  const int64_t totalMs = ticks / kTicksPerMs;
  return Combine(kFileTimeEpochDays + totalMs / kMsPerDay, totalMs % kMsPerDay);
}

FILETIME DateTimeToFileTime(TDateTime value) {
  int64_t days, ms;
  Split(value, days, ms);
  int64_t ticks = ((days - kFileTimeEpochDays) * kMsPerDay + ms) * kTicksPerMs;
  if (ticks < 0) ticks = 0;
  FILETIME ft;
  ft.dwLowDateTime = DWORD(uint64_t(ticks) & 0xFFFFFFFFu);
  ft.dwHighDateTime = DWORD(uint64_t(ticks) >> 32);
  return ft;
}

TDateTime FileTimeToLocalDateTime(const FILETIME& utc) {
  SYSTEMTIME u, local;
  if (!FileTimeToSystemTime(&utc, &u) || !SystemTimeToTzSpecificLocalTime(nullptr, &u, &local))
    return FileTimeToDateTime(utc);
  return SystemTimeToDateTime(local);
}

String ShortDateFormat() { return ToUtf8(LocaleText(LOCALE_SSHORTDATE)); }

String ShortTimeFormat() {
  WideString picture = LocaleText(LOCALE_SSHORTTIME);
  if (picture.empty()) picture = LocaleText(LOCALE_STIMEFORMAT);
  return ToUtf8(picture);
}

namespace {

// The platform formats only from 1601 on. The Gregorian calendar repeats every 400 years,
// weekdays included, so an earlier date is formatted 400·k years later and its year put back.
SYSTEMTIME Formattable(const SYSTEMTIME& t, int& shift) {
  shift = 0;
  SYSTEMTIME s = t;
  if (t.wYear < 1601) {
    shift = (1601 - t.wYear + 399) / 400 * 400;
    s.wYear = WORD(t.wYear + shift);
  }
  return s;
}

String PutYearBack(String text, int shiftedYear, int year) {
  if (shiftedYear == year) return text;
  char from[8], to[8];
  std::snprintf(from, sizeof from, "%04d", shiftedYear);
  std::snprintf(to, sizeof to, "%04d", year);
  for (size_t at = text.find(from); at != String::npos; at = text.find(from, at + 4))
    text.replace(at, 4, to);
  return text;
}

}  // namespace

String DateToStr(TDateTime value) {
  int shift;
  const SYSTEMTIME t = DateTimeToSystemTime(value);
  const SYSTEMTIME s = Formattable(t, shift);
  wchar_t buffer[128];
  const int n =
      GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &s, nullptr, buffer, 128, nullptr);
  if (n <= 0) return {};
  return PutYearBack(ToUtf8(std::wstring_view{buffer, size_t(n - 1)}), s.wYear, t.wYear);
}

String TimeToStr(TDateTime value) {
  int shift;
  const SYSTEMTIME s = Formattable(DateTimeToSystemTime(value), shift);
  const WideString picture = ToWide(ShortTimeFormat());
  wchar_t buffer[128];
  const int n = GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, picture.empty() ? TIME_NOSECONDS : 0, &s,
                                picture.empty() ? nullptr : picture.c_str(), buffer, 128);
  return n > 0 ? ToUtf8(std::wstring_view{buffer, size_t(n - 1)}) : String{};
}

String DateTimeToStr(TDateTime value) { return DateToStr(value) + " " + TimeToStr(value); }

}  // namespace host
