// TKivSearchOptions, MatchsFileForSearchLimits and Split.
#include "extras/SearchOptions.h"

#include <algorithm>
#include <array>

#include "shell/ShellRoutines.h"

namespace zelnor {

namespace {

// The filter splits into at most this many patterns.
constexpr int kMaxPatterns = 255;
// What is left of the text after a delimiter is cut to this many characters.
constexpr size_t kMaxRest = 10000;

char32_t AsciiUpper(char32_t c) { return c >= U'a' && c <= U'z' ? c - 32 : c; }

// The code points of a UTF-16 text, ASCII letters in upper case, written to `out` (room for
// text.size() of them); returns how many.
size_t FoldCodePoints(std::wstring_view text, char32_t* out) {
  size_t n = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (char32_t(text[i + 1]) - 0xDC00);
      ++i;
    }
    out[n++] = AsciiUpper(c);
  }
  return n;
}

std::u32string FoldedCodePoints(std::wstring_view text) {
  std::u32string out(text.size(), U'\0');
  out.resize(FoldCodePoints(text, out.data()));
  return out;
}

bool HasWildcard(const String& s) { return s.find_first_of("*?") != String::npos; }

// The first `count` characters (code points) of UTF-8 text.
String FirstCharacters(const String& s, size_t count) {
  size_t characters = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    if ((static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) continue;
    if (characters++ == count) return s.substr(0, i);
  }
  return s;
}

}  // namespace

// ---- TKivSearchOptions

TKivSearchOptions::TKivSearchOptions() : patterns_(std::make_unique<host::TStringList>()) {
  SetFilter("*");
}

void TKivSearchOptions::TDateLimit::Set(host::TDateTime date) {
  value = date;
  const SYSTEMTIME system = host::DateTimeToSystemTime(date);
  // Dates before 1601 have no file time; such a limit is no limit anyway.
  if (!SystemTimeToFileTime(&system, &time)) time = FILETIME{};
}

void TKivSearchOptions::SetFilter(const String& value) {
  filter_ = value.empty() ? String("*") : value;
  patterns_->Clear();
  matchers_.clear();
  std::array<String, kMaxPatterns + 1> pieces;
  Split(filter_, ";", pieces, kMaxPatterns);
  for (const String& piece : pieces) {
    if (piece.empty()) break;
    const String pattern = HasWildcard(piece) ? piece : "*" + piece + "*";
    patterns_->Add(pattern);
    TMatcher matcher;
    matcher.pattern = pattern;
    const size_t first = pattern.find_first_not_of('*');
    if (first == String::npos) {
      matcher.kind = TMatcher::mkEverything;
    } else if (first == 1) {
      // "*literal" and "*literal*", the literal free of wildcards.
      const bool infix = pattern.size() > 2 && pattern.back() == '*';
      const String literal = pattern.substr(1, pattern.size() - (infix ? 2 : 1));
      if (!HasWildcard(literal)) {
        matcher.kind = infix ? TMatcher::mkInfix : TMatcher::mkSuffix;
        matcher.literal = FoldedCodePoints(host::ToWide(literal));
      }
    }
    matchers_.push_back(std::move(matcher));
  }
}

bool TKivSearchOptions::NameMatches(const wchar_t* name) const {
  // A walk asks this of every entry: a file name's folded letters go on the stack.
  const std::wstring_view text(name);
  char32_t buffer[MAX_PATH];
  std::u32string longer;
  std::u32string_view folded;
  bool foldedMade = false;
  String utf8;
  bool utf8Made = false;
  for (const TMatcher& matcher : matchers_) {
    if (matcher.kind == TMatcher::mkEverything) return true;
    if (matcher.kind == TMatcher::mkGeneral) {
      if (!utf8Made) {
        utf8 = host::ToUtf8(name);
        utf8Made = true;
      }
      if (MatchPattern(utf8, matcher.pattern)) return true;
      continue;
    }
    if (!foldedMade) {
      if (text.size() <= MAX_PATH) {
        folded = std::u32string_view(buffer, FoldCodePoints(text, buffer));
      } else {
        longer = FoldedCodePoints(text);
        folded = longer;
      }
      foldedMade = true;
    }
    if (matcher.kind == TMatcher::mkSuffix ? folded.ends_with(matcher.literal)
                                           : folded.find(matcher.literal) != folded.npos)
      return true;
  }
  return false;
}

void TKivSearchOptions::Assign(const host::TPersistent* source) {
  const auto* other = dynamic_cast<const TKivSearchOptions*>(source);
  if (!other) {
    host::TPersistent::Assign(source);
    return;
  }
  SetCreationDateMax(other->CreationDateMax());
  SetCreationDateMin(other->CreationDateMin());
  SetAccessDateMax(other->AccessDateMax());
  SetAccessDateMin(other->AccessDateMin());
  SetLastWriteDateMax(other->LastWriteDateMax());
  SetLastWriteDateMin(other->LastWriteDateMin());
  SetRecursiveSearch(other->RecursiveSearch());
  SetFilesOnly(other->FilesOnly());
  SetMaxFileSize(other->MaxFileSize());
  SetMinFileSize(other->MinFileSize());
  SetFilter(other->Filter());
  SetIncludeHidden(other->IncludeHidden());
}

// ---- The match

bool MatchsFileForSearchLimits(const WIN32_FIND_DATAW& data, const TKivSearchOptions& options,
                               const String&) {
  const wchar_t* name = data.cFileName;
  if (name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0))) return false;
  if (options.filesOnly_ && (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
  if (!options.NameMatches(name)) return false;
  const uint64_t size = (uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  if (int64_t(size) < options.minFileSize_) return false;
  if (options.maxFileSize_ >= 0 && int64_t(size) > options.maxFileSize_) return false;
  if ((data.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN) && !options.includeHidden_) return false;
  const auto notAfter = [](const FILETIME& time, const TKivSearchOptions::TDateLimit& limit) {
    return !limit.Active() || CompareFileTime(&time, &limit.time) <= 0;
  };
  const auto notBefore = [](const FILETIME& time, const TKivSearchOptions::TDateLimit& limit) {
    return !limit.Active() || CompareFileTime(&time, &limit.time) >= 0;
  };
  return notAfter(data.ftCreationTime, options.creationMax_) &&
         notBefore(data.ftCreationTime, options.creationMin_) &&
         notAfter(data.ftLastAccessTime, options.accessMax_) &&
         notBefore(data.ftLastAccessTime, options.accessMin_) &&
         notAfter(data.ftLastWriteTime, options.writeMax_) &&
         notBefore(data.ftLastWriteTime, options.writeMin_);
}

// ---- Split

void Split(const String& s, const String& delimiter, std::span<String> parts, int high) {
  if (parts.empty()) return;
  high = std::min(high, int(parts.size()) - 1);
  for (String& part : parts.first(size_t(std::max(high, 0)) + 1)) part.clear();
  String rest = s;
  for (int k = 0; k < high; ++k) {
    const size_t at = delimiter.empty() ? String::npos : rest.find(delimiter);
    if (at == String::npos) {
      parts[size_t(k)] = host::Trim(rest);
      parts[size_t(k) + 1].clear();
      return;
    }
    parts[size_t(k)] = host::Trim(std::string_view(rest).substr(0, at));
    rest = host::Trim(FirstCharacters(rest.substr(at + delimiter.size()), kMaxRest));
  }
}

// ---- Published properties

HOST_PROPERTIES(TKivSearchOptions) {
  p.Int64("MaxFileSize", &TKivSearchOptions::MaxFileSize, &TKivSearchOptions::SetMaxFileSize, -1)
      .NoDefault();
  p.Int64("MinFileSize", &TKivSearchOptions::MinFileSize, &TKivSearchOptions::SetMinFileSize, 0)
      .NoDefault();
  p.Bool("RecursiveSearch", &TKivSearchOptions::RecursiveSearch,
         &TKivSearchOptions::SetRecursiveSearch, true);
  p.DateTime("AccessDateMax", &TKivSearchOptions::AccessDateMax,
             &TKivSearchOptions::SetAccessDateMax, 0);
  p.DateTime("AccessDateMin", &TKivSearchOptions::AccessDateMin,
             &TKivSearchOptions::SetAccessDateMin, 0);
  p.DateTime("CreationDateMax", &TKivSearchOptions::CreationDateMax,
             &TKivSearchOptions::SetCreationDateMax, 0);
  p.DateTime("CreationDateMin", &TKivSearchOptions::CreationDateMin,
             &TKivSearchOptions::SetCreationDateMin, 0);
  p.DateTime("LastWriteDateMax", &TKivSearchOptions::LastWriteDateMax,
             &TKivSearchOptions::SetLastWriteDateMax, 0);
  p.DateTime("LastWriteDateMin", &TKivSearchOptions::LastWriteDateMin,
             &TKivSearchOptions::SetLastWriteDateMin, 0);
  p.Bool("FilesOnly", &TKivSearchOptions::FilesOnly, &TKivSearchOptions::SetFilesOnly, false);
  p.Str("Filter", &TKivSearchOptions::Filter, &TKivSearchOptions::SetFilter, "*");
  p.Bool("IncludeHidden", &TKivSearchOptions::IncludeHidden, &TKivSearchOptions::SetIncludeHidden,
         false);
}

}  // namespace zelnor
