#include "host/SysUtils.h"

#include <gtest/gtest.h>

using namespace host;

TEST(Strings, Utf8AndUtf16RoundTripKeepsLettersOutsideTheCodePage) {
  const String text = "Pr\xC3\xBC" "fung \xD0\x96\xE6\x97\xA5\xF0\x9F\x98\x80";
  const WideString wide = ToWide(text);
  EXPECT_EQ(wide.size(), 12u);  // the emoji is a surrogate pair
  EXPECT_EQ(ToUtf8(wide), text);
  EXPECT_EQ(ToUtf8(static_cast<const wchar_t*>(nullptr)), "");
}
