#include "crypto/formats/charset.h"

#include <gtest/gtest.h>

#include "crypto/exception.h"

namespace pelvane {
namespace {

TEST(Charset, CzechTextRoundTrips) {
  const std::string utf8 =
      "P\xC5\x99\xC3\xADli\xC5\xA1 \xC5\xBElu\xC5\xA5ou\xC4\x8Dk\xC3\xBD k\xC5\xAF\xC5\x88 "
      "\xE2\x82\xAC";
  const std::string cp1250 = "P\xF8\xEDli\x9A \x9Elu\x9Dou\xE8k\xFD k\xF9\xF2 \x80";
  EXPECT_EQ(Utf8ToCp1250(utf8), cp1250);
  EXPECT_EQ(Cp1250ToUtf8(cp1250), utf8);
}

TEST(Charset, UndefinedBytesShowAsReplacementCharacter) {
  EXPECT_EQ(Cp1250ToUtf8(std::string("a\x81"
                                     "b\x98",
                                     4)),
            "a\xEF\xBF\xBD"
            "b\xEF\xBF\xBD");
  EXPECT_EQ(Cp1250ToUtf8(std::string("\0z", 2)), std::string("\0z", 2));
}

TEST(Charset, UnrepresentableOrInvalidTextIsRefused) {
  EXPECT_THROW(Utf8ToCp1250("\xD0\x96"), EConvertError);  // Cyrillic capital Zhe
  EXPECT_THROW(Utf8ToCp1250("ok\xC3"), EConvertError);    // cut-off UTF-8 sequence
}

}  // namespace
}  // namespace pelvane
