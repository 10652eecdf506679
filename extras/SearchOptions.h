// The limits of a file search and the test of one directory entry against them.
//   TKivSearchOptions            name patterns, size and date ranges, hidden entries, files
//                                only, recursion; streamed as a sub-object of the file list
//   MatchsFileForSearchLimits    whether one FindFirstFile entry passes the limits
//   Split                        the splitter that turns the filter text into patterns
//
// Dates are compared as the file system keeps its times, in UTC, without a zone conversion:
// a limit given in local time is taken as if it were UTC.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "host/core/Classes.h"
#include "host/core/StringList.h"
#include "host/core/TypeInfo.h"

namespace zelnor {

using host::String;

class TKivSearchOptions : public host::TPersistent {
  HOST_CLASS(TKivSearchOptions, host::TPersistent)
  TKivSearchOptions();
  TKivSearchOptions(const TKivSearchOptions&) = delete;
  TKivSearchOptions& operator=(const TKivSearchOptions&) = delete;

  // A negative maximum means no upper limit.
  int64_t MaxFileSize() const { return maxFileSize_; }
  void SetMaxFileSize(int64_t value) { maxFileSize_ = value; }
  int64_t MinFileSize() const { return minFileSize_; }
  void SetMinFileSize(int64_t value) { minFileSize_ = value; }
  bool RecursiveSearch() const { return recursiveSearch_; }
  void SetRecursiveSearch(bool value) { recursiveSearch_ = value; }
  bool FilesOnly() const { return filesOnly_; }
  void SetFilesOnly(bool value) { filesOnly_ = value; }
  // Hidden entries match, and hidden folders are entered, only when set.
  bool IncludeHidden() const { return includeHidden_; }
  void SetIncludeHidden(bool value) { includeHidden_ = value; }

  // Date limits: a value of 1.0 (31 December 1899) or less is no limit; bounds are inclusive.
  host::TDateTime CreationDateMax() const { return creationMax_.value; }
  void SetCreationDateMax(host::TDateTime value) { creationMax_.Set(value); }
  host::TDateTime CreationDateMin() const { return creationMin_.value; }
  void SetCreationDateMin(host::TDateTime value) { creationMin_.Set(value); }
  host::TDateTime AccessDateMax() const { return accessMax_.value; }
  void SetAccessDateMax(host::TDateTime value) { accessMax_.Set(value); }
  host::TDateTime AccessDateMin() const { return accessMin_.value; }
  void SetAccessDateMin(host::TDateTime value) { accessMin_.Set(value); }
  host::TDateTime LastWriteDateMax() const { return writeMax_.value; }
  void SetLastWriteDateMax(host::TDateTime value) { writeMax_.Set(value); }
  host::TDateTime LastWriteDateMin() const { return writeMin_.value; }
  void SetLastWriteDateMin(host::TDateTime value) { writeMin_.Set(value); }

  // Patterns separated by ";" ("*" when empty). A piece without "*" or "?" matches anywhere in
  // a name ("report" stands for "*report*"); the patterns end at the first empty piece.
  const String& Filter() const { return filter_; }
  void SetFilter(const String& value);
  // The patterns made from Filter, in order.
  const host::TStrings* PatternList() const { return patterns_.get(); }

  // Copies another options object through its setters; any other source raises the host's
  // assignment error.
  void Assign(const host::TPersistent* source) override;

 private:
  friend bool MatchsFileForSearchLimits(const WIN32_FIND_DATAW&, const TKivSearchOptions&,
                                        const String&);
  // A date limit and the same instant as a file time, made when it is set.
  struct TDateLimit {
    host::TDateTime value = 0;
    FILETIME time{};
    void Set(host::TDateTime date);
    bool Active() const { return value > 1.0; }
  };
  // One pattern prepared for matching many names: those of the common forms ("*", "*.ext",
  // "*word*") are matched without the general matcher, with its rules.
  struct TMatcher {
    enum TKind { mkEverything, mkSuffix, mkInfix, mkGeneral } kind = mkGeneral;
    String pattern;
    std::u32string literal;  // ASCII letters in upper case
  };
  bool NameMatches(const wchar_t* name) const;

  int64_t maxFileSize_ = -1;
  int64_t minFileSize_ = 0;
  bool recursiveSearch_ = true;
  TDateLimit creationMax_, creationMin_, accessMax_, accessMin_, writeMax_, writeMin_;
  bool filesOnly_ = false;
  bool includeHidden_ = false;
  String filter_ = "*";
  std::unique_ptr<host::TStringList> patterns_;
  std::vector<TMatcher> matchers_;
};

// Whether the directory entry `data` passes `options`: never "." or ".."; folders only when
// FilesOnly is off, and then they must match like files; a name pattern, the size range, hidden
// entries and the date ranges, in that order. `directory` is the folder searched (with its
// trailing backslash); the limits do not depend on it.
bool MatchsFileForSearchLimits(const WIN32_FIND_DATAW& data, const TKivSearchOptions& options,
                               const String& directory);

// Fills parts[0..high] with the pieces of `s` between occurrences of `delimiter`, each trimmed;
// at most `high` pieces are taken (the rest of the text is dropped), the entries after the last
// piece are empty. `high` is cut to the last index of `parts`.
void Split(const String& s, const String& delimiter, std::span<String> parts, int high);

}  // namespace zelnor
