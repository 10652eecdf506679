// The tokenizer of form texts: identifiers, numbers, strings (quoted runs and #nnn characters,
// read as UTF-8) and symbols, each with its line; used by the form reader.
#pragma once

#include "host/core/SysUtils.h"

#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace host::detail {

enum class Tok { End, Ident, Int, Float, Str, Sym };

struct Token {
  Tok kind = Tok::End;
  String text;  // identifier, string value, or the symbol
  int64_t ival = 0;
  double fval = 0;
  int line = 1;
};

inline bool IsIdentStart(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}
inline bool IsIdentChar(char c) { return IsIdentStart(c) || (c >= '0' && c <= '9'); }
inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }

inline void AppendUtf8(String& out, uint32_t cp) {
  if (cp < 0x80) {
    out += char(cp);
  } else if (cp < 0x800) {
    out += char(0xC0 | (cp >> 6));
    out += char(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += char(0xE0 | (cp >> 12));
    out += char(0x80 | ((cp >> 6) & 0x3F));
    out += char(0x80 | (cp & 0x3F));
  } else {
    out += char(0xF0 | (cp >> 18));
    out += char(0x80 | ((cp >> 12) & 0x3F));
    out += char(0x80 | ((cp >> 6) & 0x3F));
    out += char(0x80 | (cp & 0x3F));
  }
}

class Lexer {
 public:
  explicit Lexer(const String& text) : s_(text) {
    if (s_.size() >= 3 && std::memcmp(s_.data(), "\xEF\xBB\xBF", 3) == 0) pos_ = 3;
  }

  Token Next() {
    SkipSpace();
    Token t;
    t.line = line_;
    if (pos_ >= s_.size()) {
      t.line = lastLine_;  // the end of a truncated text is reported at its last line
      return t;
    }
    lastLine_ = line_;
    const char c = s_[pos_];
    if (IsIdentStart(c)) {
      size_t start = pos_;
      while (pos_ < s_.size() &&
             (IsIdentChar(s_[pos_]) ||
              (s_[pos_] == '.' && pos_ + 1 < s_.size() && IsIdentStart(s_[pos_ + 1]))))
        ++pos_;
      t.kind = Tok::Ident;
      t.text = s_.substr(start, pos_ - start);
      return t;
    }
    if (c == '\'' || c == '#') return String_(t);
    if (IsDigit(c) || c == '$' || ((c == '-' || c == '+') && pos_ + 1 < s_.size() &&
                                   (IsDigit(s_[pos_ + 1]) || s_[pos_ + 1] == '$')))
      return Number(t);
    // (strchr finds a null byte as the end of its string: that is no symbol.)
    if (c != '\0' && std::strchr("=:[](),<>", c)) {
      ++pos_;
      t.kind = Tok::Sym;
      t.text = String(1, c);
      return t;
    }
    throw EReadError(line_, "Invalid character in form text");
  }

 private:
  void SkipSpace() {
    while (pos_ < s_.size()) {
      const char c = s_[pos_];
      if (c == '\n') {
        ++line_;
        ++pos_;
      } else if (c == ' ' || c == '\t' || c == '\r') {
        ++pos_;
      } else {
        break;
      }
    }
  }

  // 'quoted' parts and #n character codes, side by side, make one string.
  Token String_(Token& t) {
    t.kind = Tok::Str;
    while (pos_ < s_.size()) {
      const char c = s_[pos_];
      if (c == '\'') {
        ++pos_;
        for (;;) {
          if (pos_ >= s_.size() || s_[pos_] == '\n' || s_[pos_] == '\r')
            throw EReadError(t.line, "Unterminated string");
          // A null byte would cut the value short wherever it is used: only #0 gives one.
          if (s_[pos_] == '\0') throw EReadError(line_, "Invalid character in string");
          if (s_[pos_] == '\'') {
            if (pos_ + 1 < s_.size() && s_[pos_ + 1] == '\'') {
              t.text += '\'';
              pos_ += 2;
              continue;
            }
            ++pos_;
            break;
          }
          t.text += s_[pos_++];
        }
      } else if (c == '#') {
        ++pos_;
        size_t start = pos_;
        int base = 10;
        if (pos_ < s_.size() && s_[pos_] == '$') {
          base = 16;
          start = ++pos_;
        }
        while (pos_ < s_.size() && std::isxdigit(static_cast<unsigned char>(s_[pos_]))) ++pos_;
        uint32_t cp = 0;
        auto res = std::from_chars(s_.data() + start, s_.data() + pos_, cp, base);
        if (start == pos_ || res.ptr != s_.data() + pos_ || res.ec != std::errc() || cp > 0x10FFFF ||
            (cp >= 0xD800 && cp <= 0xDFFF))
          throw EReadError(line_, "Invalid character code in string");
        AppendUtf8(t.text, cp);
      } else {
        break;
      }
    }
    return t;
  }

  Token Number(Token& t) {
    size_t start = pos_;
    bool negative = false;
    if (s_[pos_] == '-' || s_[pos_] == '+') negative = s_[pos_++] == '-';
    if (s_[pos_] == '$') {
      const size_t digits = ++pos_;
      while (pos_ < s_.size() && std::isxdigit(static_cast<unsigned char>(s_[pos_]))) ++pos_;
      uint64_t v = 0;
      auto res = std::from_chars(s_.data() + digits, s_.data() + pos_, v, 16);
      if (digits == pos_ || res.ec != std::errc()) throw EReadError(line_, "Invalid number");
      if (pos_ < s_.size() && IsIdentChar(s_[pos_])) throw EReadError(line_, "Invalid number");
      // A hexadecimal number is a value, not a bit pattern: it must fit a 64-bit integer.
      constexpr uint64_t kLargest = uint64_t(std::numeric_limits<int64_t>::max());
      if (v > kLargest + (negative ? 1 : 0)) throw EReadError(line_, "Number out of range");
      t.kind = Tok::Int;
      t.ival = !negative ? int64_t(v) : v > kLargest ? std::numeric_limits<int64_t>::min() : -int64_t(v);
      return t;
    }
    bool isFloat = false;
    while (pos_ < s_.size()) {
      const char c = s_[pos_];
      if (IsDigit(c)) {
        ++pos_;
      } else if (c == '.' && pos_ + 1 < s_.size() && IsDigit(s_[pos_ + 1])) {
        isFloat = true;
        ++pos_;
      } else if ((c == 'e' || c == 'E') && pos_ + 1 < s_.size() &&
                 (IsDigit(s_[pos_ + 1]) ||
                  ((s_[pos_ + 1] == '-' || s_[pos_ + 1] == '+') && pos_ + 2 < s_.size() &&
                   IsDigit(s_[pos_ + 2])))) {
        isFloat = true;
        pos_ += 2;
      } else {
        break;
      }
    }
    if (pos_ < s_.size() && IsIdentChar(s_[pos_])) throw EReadError(line_, "Invalid number");
    const char* first = s_.data() + start + (s_[start] == '+' ? 1 : 0);
    const char* last = s_.data() + pos_;
    if (isFloat) {
      auto res = std::from_chars(first, last, t.fval);
      if (res.ec != std::errc() || res.ptr != last) throw EReadError(line_, "Invalid number");
      t.kind = Tok::Float;
    } else {
      auto res = std::from_chars(first, last, t.ival);
      if (res.ec != std::errc() || res.ptr != last) throw EReadError(line_, "Invalid number");
      t.kind = Tok::Int;
    }
    return t;
  }

  const String& s_;
  size_t pos_ = 0;
  int line_ = 1;
  int lastLine_ = 1;  // line of the last token read
};

inline String Describe(const Token& t) {
  switch (t.kind) {
    case Tok::End:
      return "end of file";
    case Tok::Str:
      return "a string";
    case Tok::Int:
    case Tok::Float:
      return "a number";
    default:
      return "'" + t.text + "'";
  }
}

}  // namespace host::detail
