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

TEST(Charset, ControlBytesAreShownEscaped) {
  struct Case {
    std::string in, out;
  } cases[] = {
      {"\x1B"
       "c reset",
       "\\x1Bc reset"},
      {"\x1B[2J\a", "\\x1B[2J\\x07"},
      {std::string("nul\0end", 7), "nul\\x00end"},
      {"line 1\r\nline 2\n", "line 1\nline 2\n"},  // line breaks stay
      {"over\rwrite", "over\\x0Dwrite"},           // a lone CR would overwrite the line
      {"tab\tdel\x7F", "tab\\x09del\\x7F"},
      {"P\xF8\xEDli\x9A \x80", "P\xF8\xEDli\x9A \x80"},  // Windows-1250 letters unchanged
      {"\xC5\x99\\x1B", "\xC5\x99\\x1B"},                // UTF-8 and a literal backslash too
  };
  for (const auto& c : cases)
    EXPECT_EQ(EscapeControlBytes(c.in), c.out) << c.in;
}

}  // namespace
}  // namespace pelvane
