// Strings, path, file, number and date routines.
#include "host/core/SysUtils.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace host;

namespace {

String LocaleInfo(LCTYPE type) {
  wchar_t buffer[64];
  const int n = GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, type, buffer, 64);
  return n > 0 ? ToUtf8(std::wstring_view{buffer, size_t(n - 1)}) : String{};
}

String TempFolder() {
  wchar_t buffer[MAX_PATH];
  GetTempPathW(MAX_PATH, buffer);
  return ToUtf8(buffer) + "host-sysutils-" + std::to_string(GetCurrentProcessId());
}

}  // namespace

TEST(Strings, Utf8AndUtf16RoundTripKeepsLettersOutsideTheCodePage) {
  const String text =
      "Pr\xC3\xBC"
      "fung \xD0\x96\xE6\x97\xA5\xF0\x9F\x98\x80";
  const WideString wide = ToWide(text);
  EXPECT_EQ(wide.size(), 12u);  // the emoji is a surrogate pair
  EXPECT_EQ(ToUtf8(wide), text);
  EXPECT_EQ(ToUtf8(static_cast<const wchar_t*>(nullptr)), "");
}

TEST(Strings, ComparisonIgnoresCaseBeyondAscii) {
  EXPECT_TRUE(SameText("C:\\DATA\\\xD0\x96", "c:\\data\\\xD0\xB6"));  // Ж and ж
  EXPECT_LT(CompareText("abc", "ABD"), 0);
  EXPECT_EQ(AnsiCompareText("\xC3\x84pfel", "\xC3\xA4PFEL"), 0);  // Äpfel
  EXPECT_NE(AnsiCompareStr("abc", "ABC"), 0);
  EXPECT_LT(AnsiCompareText("apple", "Banana"), 0);
  EXPECT_EQ(AnsiUpperCase("stra\xC3\x9F"
                          "e \xD0\xB6"),
            "STRA\xC3\x9F"
            "E \xD0\x96");
  EXPECT_EQ(UpperCase("ab\xD0\xB6z"), "AB\xD0\xB6Z");  // ASCII only
  EXPECT_EQ(LowerCase("AB\xD0\x96Z"), "ab\xD0\x96z");
  EXPECT_EQ(Trim(" \t x y \r\n"), "x y");
}

TEST(Strings, IntegersParseDecimalAndHexAndRejectJunk) {
  EXPECT_EQ(StrToIntDef(" -42 ", 7), -42);
  EXPECT_EQ(StrToIntDef("$FF", 7), 255);
  EXPECT_EQ(StrToIntDef("0x10", 7), 16);
  EXPECT_EQ(StrToIntDef("12a", 7), 7);
  EXPECT_EQ(StrToIntDef("", 7), 7);
  EXPECT_EQ(StrToIntDef("2147483648", 7), 7);
  EXPECT_EQ(StrToIntDef("-2147483648", 7), INT32_MIN);
  EXPECT_EQ(IntToStr(-9000000000), "-9000000000");
}

TEST(Paths, PartsOfDriveAndUncNames) {
  EXPECT_EQ(ExtractFilePath("C:\\Data\\a.txt"), "C:\\Data\\");
  EXPECT_EQ(ExtractFileName("C:\\Data\\a.txt"), "a.txt");
  EXPECT_EQ(ExtractFileExt("C:\\Data\\a.b.txt"), ".txt");
  EXPECT_EQ(ExtractFileExt("C:\\Da.ta\\name"), "");
  EXPECT_EQ(ExtractFileDrive("C:\\Data\\a.txt"), "C:");
  EXPECT_EQ(ExtractFileDrive("C:"), "C:");
  EXPECT_EQ(ExtractFileDrive("Data\\a.txt"), "");
  EXPECT_EQ(ExtractFileDir("C:\\Data\\a.txt"), "C:\\Data");
  EXPECT_EQ(ExtractFileDir("C:\\a.txt"), "C:\\");
  EXPECT_EQ(ExtractFilePath("C:a.txt"), "C:");

  EXPECT_EQ(ExtractFileDrive("\\\\server\\share\\dir\\a.txt"), "\\\\server\\share");
  EXPECT_EQ(ExtractFileDrive("\\\\server\\share"), "\\\\server\\share");
  EXPECT_EQ(ExtractFileDrive("\\\\server\\share\\"), "\\\\server\\share");
  EXPECT_EQ(ExtractFilePath("\\\\server\\share\\a.txt"), "\\\\server\\share\\");
  EXPECT_EQ(ExtractFileName("\\\\server\\share\\\xE6\x97\xA5.txt"), "\xE6\x97\xA5.txt");

  EXPECT_EQ(IncludeTrailingBackslash("C:"), "C:\\");
  EXPECT_EQ(IncludeTrailingBackslash("C:\\"), "C:\\");
  EXPECT_EQ(ExcludeTrailingBackslash("C:\\Data\\"), "C:\\Data");
  EXPECT_EQ(ExcludeTrailingBackslash("C:\\Data"), "C:\\Data");
  EXPECT_EQ(ChangeFileExt("C:\\a.b\\c.txt", ".ini"), "C:\\a.b\\c.ini");
  EXPECT_EQ(ChangeFileExt("C:\\a.b\\c", ".ini"), "C:\\a.b\\c.ini");
}

TEST(Files, ForceDirectoriesCreatesEveryLevelAndFilesCanBeDeleted) {
  const String root = TempFolder();
  const String deep = root + "\\\xD0\x96\\b\\c\\";
  ASSERT_TRUE(ForceDirectories(deep));
  EXPECT_TRUE(DirectoryExists(root + "\\\xD0\x96\\b\\c"));
  EXPECT_TRUE(ForceDirectories(deep));  // already there
  EXPECT_FALSE(ForceDirectories(""));

  const String file = root + "\\\xD0\x96\\f.txt";
  EXPECT_FALSE(FileExists(file));
  HANDLE h = CreateFileW(ToWide(file).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(h);
  EXPECT_TRUE(FileExists(file));
  EXPECT_FALSE(DirectoryExists(file));
  EXPECT_FALSE(FileExists(root));
  EXPECT_TRUE(DeleteFile(file));
  EXPECT_FALSE(FileExists(file));
  EXPECT_FALSE(DeleteFile(file));

  EXPECT_GT(DiskFree(root), 0);
  EXPECT_GT(DiskFree("C:"), 0);
  EXPECT_EQ(DiskFree("Q:\\no\\such\\drive"), -1);

  EXPECT_TRUE(RemoveDir(root + "\\\xD0\x96\\b\\c"));
  EXPECT_TRUE(RemoveDir(root + "\\\xD0\x96\\b"));
  EXPECT_TRUE(RemoveDir(root + "\\\xD0\x96"));
  EXPECT_TRUE(RemoveDir(root));
}

TEST(Numbers, FormatNumberGroupsThousandsAndRounds) {
  const String sep = LocaleInfo(LOCALE_STHOUSAND);
  const String dec = LocaleInfo(LOCALE_SDECIMAL);
  ASSERT_EQ(sep, ThousandSeparator());
  EXPECT_EQ(FormatNumber(0), "0");
  EXPECT_EQ(FormatNumber(1), "1");
  EXPECT_EQ(FormatNumber(999.4), "999");
  EXPECT_EQ(FormatNumber(1.5), "2");
  EXPECT_EQ(FormatNumber(2.5), "3");  // half away from zero, not to even
  EXPECT_EQ(FormatNumber(1536.0 / 1024), "2");
  EXPECT_EQ(FormatNumber(1234567.5), "1" + sep + "234" + sep + "568");
  EXPECT_EQ(FormatFloatN(999999.6), "1" + sep + "000" + sep + "000");
  EXPECT_EQ(FormatNumber(-0.4), "0");
  EXPECT_EQ(FormatNumber(1234.5678, 2), "1" + sep + "234" + dec + "57");
  EXPECT_EQ(FormatNumber(0.05, 1), "0" + dec + "1");
  EXPECT_NE(FormatNumber(-1234).find("1" + sep + "234"), String::npos);
  EXPECT_NE(FormatNumber(-1234).find('-'), String::npos);
}

TEST(Dates, ConversionsRoundTrip) {
  EXPECT_EQ(EncodeDate(1899, 12, 30), 0.0);
  EXPECT_EQ(EncodeDate(1900, 1, 1), 2.0);
  EXPECT_EQ(EncodeDate(2000, 3, 1), 36586.0);
  EXPECT_THROW(EncodeDate(2023, 2, 29), Exception);
  EXPECT_NO_THROW(EncodeDate(2024, 2, 29));

  const TDateTime t = EncodeDate(2024, 2, 29) + EncodeTime(13, 45, 30, 250);
  int y, m, d, h, mi, s, ms;
  DecodeDate(t, y, m, d);
  DecodeTime(t, h, mi, s, ms);
  EXPECT_EQ((std::vector<int>{y, m, d, h, mi, s, ms}),
            (std::vector<int>{2024, 2, 29, 13, 45, 30, 250}));

  const SYSTEMTIME st = DateTimeToSystemTime(t);
  EXPECT_EQ(st.wDayOfWeek, 4);  // a Thursday
  EXPECT_EQ(SystemTimeToDateTime(st), t);

  // Through the platform's own file time conversion.
  FILETIME ft;
  ASSERT_TRUE(SystemTimeToFileTime(&st, &ft));
  EXPECT_DOUBLE_EQ(FileTimeToDateTime(ft), t);
  const FILETIME back = DateTimeToFileTime(t);
  EXPECT_EQ(back.dwLowDateTime, ft.dwLowDateTime);
  EXPECT_EQ(back.dwHighDateTime, ft.dwHighDateTime);

  // Before the epoch the fraction still counts forward: -1.25 is 29 December 1899, 06:00.
  const SYSTEMTIME early = DateTimeToSystemTime(-1.25);
  EXPECT_EQ(early.wDay, 29);
  EXPECT_EQ(early.wHour, 6);
  EXPECT_EQ(SystemTimeToDateTime(early), -1.25);

  const TDateTime now = Now();
  EXPECT_GT(now, EncodeDate(2020, 1, 1));
  EXPECT_EQ(Date(), std::trunc(now));
}

TEST(Dates, DateTimeToStrUsesTheUserFormats) {
  const TDateTime t = EncodeDate(2024, 2, 29) + EncodeTime(13, 45, 0, 0);
  const SYSTEMTIME st = DateTimeToSystemTime(t);
  wchar_t date[64], time[64];
  ASSERT_GT(
      GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, date, 64, nullptr),
      0);
  const WideString picture = ToWide(ShortTimeFormat());
  ASSERT_FALSE(picture.empty());
  ASSERT_GT(GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &st, picture.c_str(), time, 64), 0);
  EXPECT_EQ(DateTimeToStr(t), ToUtf8(date) + " " + ToUtf8(time));
  EXPECT_FALSE(ShortDateFormat().empty());

  // The platform cannot format years before 1601; the zero date still comes out.
  const String zero = DateTimeToStr(0);
  EXPECT_NE(zero.find("1899"), String::npos) << zero;
  EXPECT_NE(zero.find("30"), String::npos) << zero;
}
