// The search limits: the filter's patterns, the test of one directory entry, the splitter and
// copying the options.
#include <gtest/gtest.h>

#include <array>
#include <string>

#include "extras/SearchOptions.h"
#include "host/core/SysUtils.h"

using namespace zelnor;

namespace {

// An entry as FindFirstFile gives it: written on 2024-03-05 12:00 UTC unless told otherwise.
WIN32_FIND_DATAW Entry(const wchar_t* name, uint64_t size = 10, DWORD attributes = 0) {
  WIN32_FIND_DATAW data{};
  data.dwFileAttributes = attributes ? attributes : FILE_ATTRIBUTE_ARCHIVE;
  data.nFileSizeHigh = DWORD(size >> 32);
  data.nFileSizeLow = DWORD(size);
  wcsncpy(data.cFileName, name, MAX_PATH - 1);
  const FILETIME noon = host::DateTimeToFileTime(host::EncodeDate(2024, 3, 5) + 0.5);
  data.ftCreationTime = data.ftLastAccessTime = data.ftLastWriteTime = noon;
  return data;
}

bool Matches(const WIN32_FIND_DATAW& data, const TKivSearchOptions& options) {
  return MatchsFileForSearchLimits(data, options, "C:\\search\\");
}

std::vector<String> Patterns(const TKivSearchOptions& options) {
  std::vector<String> out;
  for (int i = 0; i < options.PatternList()->Count(); ++i)
    out.push_back(options.PatternList()->Strings(i));
  return out;
}

}  // namespace

TEST(SearchOptions, FilterPiecesBecomePatternsUpToTheFirstEmptyOne) {
  TKivSearchOptions options;
  EXPECT_EQ(options.Filter(), "*");
  EXPECT_EQ(Patterns(options), (std::vector<String>{"*"}));
  options.SetFilter("*.txt; *.doc");
  EXPECT_EQ(Patterns(options), (std::vector<String>{"*.txt", "*.doc"}));
  options.SetFilter("report");
  EXPECT_EQ(Patterns(options), (std::vector<String>{"*report*"}));
  options.SetFilter("a;;b");
  EXPECT_EQ(Patterns(options), (std::vector<String>{"*a*"}));
  options.SetFilter("");
  EXPECT_EQ(options.Filter(), "*");
  EXPECT_TRUE(Matches(Entry(L"anything.at.all"), options));

  // More than 255 pieces: those after the 255th are ignored.
  String many;
  for (int i = 0; i < 300; ++i) many.append("p").append(host::IntToStr(i)).append(".x;");
  options.SetFilter(many);
  ASSERT_EQ(options.PatternList()->Count(), 255);
  EXPECT_EQ(options.PatternList()->Strings(254), "*p254.x*");
  EXPECT_TRUE(Matches(Entry(L"p254.x"), options));
  EXPECT_FALSE(Matches(Entry(L"p255.x"), options));
}

TEST(SearchOptions, NamesMatchAPatternWithTheMatchersRules) {
  TKivSearchOptions options;
  options.SetFilter("*.txt");
  EXPECT_TRUE(Matches(Entry(L"a.TXT"), options));
  EXPECT_FALSE(Matches(Entry(L"a.txt.bak"), options));
  options.SetFilter("txt");
  EXPECT_TRUE(Matches(Entry(L"a.txt.bak"), options));
  EXPECT_TRUE(Matches(Entry(L"TXT"), options));
  // Only ASCII letters match without case; others as they are.
  options.SetFilter("*\xC3\xA9t\xC3\xA9");  // "*été"
  EXPECT_TRUE(Matches(Entry(L"l\x00E9t\x00E9"), options));
  EXPECT_FALSE(Matches(Entry(L"L\x00C9T\x00C9"), options));
  options.SetFilter("r?p*.d?c;*.log");
  EXPECT_TRUE(Matches(Entry(L"report.doc"), options));
  EXPECT_TRUE(Matches(Entry(L"x.LOG"), options));
  EXPECT_FALSE(Matches(Entry(L"rp.doc"), options));
  // A name outside the basic plane, as a pair of UTF-16 units.
  options.SetFilter("*\xF0\x9F\x98\x80*");  // U+1F600
  EXPECT_TRUE(Matches(Entry(L"smile \xD83D\xDE00.txt"), options));
  EXPECT_FALSE(Matches(Entry(L"smile.txt"), options));
  // An empty pattern list matches nothing.
  options.SetFilter("  ;*.txt");
  EXPECT_TRUE(Patterns(options).empty());
  EXPECT_FALSE(Matches(Entry(L"a.txt"), options));
}

TEST(SearchOptions, DotsFoldersHiddenEntriesAndSizes) {
  TKivSearchOptions options;
  EXPECT_FALSE(Matches(Entry(L".", 0, FILE_ATTRIBUTE_DIRECTORY), options));
  EXPECT_FALSE(Matches(Entry(L"..", 0, FILE_ATTRIBUTE_DIRECTORY), options));
  EXPECT_TRUE(Matches(Entry(L".profile"), options));

  // Folders are tested like files: a pattern, and a minimum size above 0 keeps them out.
  const WIN32_FIND_DATAW folder = Entry(L"reports", 0, FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_TRUE(Matches(folder, options));
  options.SetFilesOnly(true);
  EXPECT_FALSE(Matches(folder, options));
  options.SetFilesOnly(false);
  options.SetFilter("*.txt");
  EXPECT_FALSE(Matches(folder, options));
  options.SetFilter("*");
  options.SetMinFileSize(1);
  EXPECT_FALSE(Matches(folder, options));
  options.SetMinFileSize(0);

  const WIN32_FIND_DATAW hidden = Entry(L"secret.txt", 10, FILE_ATTRIBUTE_HIDDEN);
  EXPECT_FALSE(Matches(hidden, options));
  options.SetIncludeHidden(true);
  EXPECT_TRUE(Matches(hidden, options));

  // Bounds are inclusive; 0 admits only empty entries, -1 every size.
  options.SetMinFileSize(10);
  options.SetMaxFileSize(10);
  EXPECT_TRUE(Matches(Entry(L"a", 10), options));
  EXPECT_FALSE(Matches(Entry(L"a", 9), options));
  EXPECT_FALSE(Matches(Entry(L"a", 11), options));
  options.SetMinFileSize(0);
  options.SetMaxFileSize(0);
  EXPECT_TRUE(Matches(Entry(L"a", 0), options));
  EXPECT_FALSE(Matches(Entry(L"a", 1), options));
  options.SetMaxFileSize(-1);
  EXPECT_TRUE(Matches(Entry(L"a", uint64_t(1) << 40), options));

  // Sizes above 4 GiB count both halves.
  const uint64_t fiveGiB = uint64_t(5) << 30;
  options.SetMinFileSize(int64_t(uint64_t(4) << 30) + 1);
  EXPECT_TRUE(Matches(Entry(L"big", fiveGiB), options));
  EXPECT_FALSE(Matches(Entry(L"small", fiveGiB & 0xFFFFFFFF), options));
  options.SetMinFileSize(0);
  options.SetMaxFileSize(int64_t(fiveGiB) - 1);
  EXPECT_FALSE(Matches(Entry(L"big", fiveGiB), options));
}

TEST(SearchOptions, DateLimitsAreInclusiveAndOneOrLessIsNone) {
  TKivSearchOptions options;
  const host::TDateTime day = host::EncodeDate(2024, 3, 5);
  WIN32_FIND_DATAW entry = Entry(L"a.txt");
  const FILETIME noon = entry.ftLastWriteTime;

  // A maximum given as a plain day is its midnight: later that day is out.
  options.SetLastWriteDateMax(day);
  EXPECT_FALSE(Matches(entry, options));
  options.SetLastWriteDateMax(day + 0.5);
  EXPECT_TRUE(Matches(entry, options));
  options.SetLastWriteDateMin(day + 0.5);
  EXPECT_TRUE(Matches(entry, options));
  options.SetLastWriteDateMin(day + 0.75);
  EXPECT_FALSE(Matches(entry, options));
  options.SetLastWriteDateMin(1.0);
  options.SetLastWriteDateMax(0);
  EXPECT_TRUE(Matches(entry, options));

  // Each time has its own pair of limits.
  options.SetCreationDateMin(day + 1);
  EXPECT_FALSE(Matches(entry, options));
  options.SetCreationDateMin(0);
  options.SetAccessDateMax(day - 1);
  EXPECT_FALSE(Matches(entry, options));
  entry.ftLastAccessTime = host::DateTimeToFileTime(day - 1);
  EXPECT_TRUE(Matches(entry, options));
  entry.ftLastWriteTime = noon;
  options.SetAccessDateMax(0);
  options.SetAccessDateMin(day + 2);
  EXPECT_FALSE(Matches(entry, options));
}

TEST(SearchOptions, SplitTrimsPiecesAndKeepsAtMostHigh) {
  std::array<String, 4> parts{"x", "x", "x", "x"};
  Split("  a ; b;c  ", ";", parts, 3);
  EXPECT_EQ(parts, (std::array<String, 4>{"a", "b", "c", ""}));
  Split("one", ";", parts, 3);
  EXPECT_EQ(parts, (std::array<String, 4>{"one", "", "", ""}));
  // The rounds used up, the rest is dropped: index High stays empty.
  Split("a;b;c;d;e", ";", parts, 3);
  EXPECT_EQ(parts, (std::array<String, 4>{"a", "b", "c", ""}));
  Split("a--b", "--", parts, 3);
  EXPECT_EQ(parts[0], "a");
  EXPECT_EQ(parts[1], "b");
}

TEST(SearchOptions, AssignCopiesEveryLimitAndRefusesOtherSources) {
  TKivSearchOptions source;
  source.SetMaxFileSize(1000);
  source.SetMinFileSize(5);
  source.SetRecursiveSearch(false);
  source.SetFilesOnly(true);
  source.SetIncludeHidden(true);
  source.SetFilter("*.txt;notes");
  source.SetLastWriteDateMax(host::EncodeDate(2024, 3, 5));
  source.SetCreationDateMin(host::EncodeDate(2020, 1, 1));
  TKivSearchOptions copy;
  copy.Assign(&source);
  EXPECT_EQ(copy.MaxFileSize(), 1000);
  EXPECT_EQ(copy.MinFileSize(), 5);
  EXPECT_FALSE(copy.RecursiveSearch());
  EXPECT_TRUE(copy.FilesOnly());
  EXPECT_TRUE(copy.IncludeHidden());
  EXPECT_EQ(Patterns(copy), (std::vector<String>{"*.txt", "*notes*"}));
  EXPECT_EQ(copy.LastWriteDateMax(), source.LastWriteDateMax());
  EXPECT_EQ(copy.CreationDateMin(), source.CreationDateMin());
  // The copy's own file times were made: a later entry fails its limit too.
  EXPECT_FALSE(Matches(Entry(L"a.txt", 10), copy));

  host::TStringList other;
  EXPECT_THROW(copy.Assign(&other), host::EConvertError);
}
