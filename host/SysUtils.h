// Strings, conversions and the base exception of the host class library.
//   String          UTF-8 text at every interface
//   ToWide/ToUtf8   the one place where UTF-8 and UTF-16 meet
//   Exception       base of every error the library raises
#pragma once

#include <exception>
#include <string>
#include <string_view>

namespace host {

using String = std::string;
using WideString = std::wstring;

WideString ToWide(std::string_view utf8);
String ToUtf8(std::wstring_view wide);
inline String ToUtf8(const wchar_t* wide) { return wide ? ToUtf8(std::wstring_view{wide}) : String{}; }

// Case-insensitive comparison of whole texts (Unicode simple case folding, not locale).
bool SameText(std::string_view a, std::string_view b);
int CompareText(std::string_view a, std::string_view b);

class Exception : public std::exception {
 public:
  explicit Exception(String message) : message_(std::move(message)) {}
  const String& Message() const { return message_; }
  const char* what() const noexcept override { return message_.c_str(); }

 private:
  String message_;
};

}  // namespace host
