#include "crypto/formats/formats.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "crypto/exception.h"

namespace pelvane {
namespace {

using namespace std::string_literals;

std::string Unhex(const std::string& hex) {
  std::string bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

const nlohmann::json& Vectors() {
  static const nlohmann::json vectors =
      nlohmann::json::parse(std::ifstream(PELVANE_TEST_DATA_DIR "/vectors.json"))["formats"];
  return vectors;
}

// Runs one vector group through a conversion; an entry with "error" expects EStringFormat
// with exactly that message.
void CheckGroup(const char* group, std::string (*convert)(std::string_view, int)) {
  const nlohmann::json& cases = Vectors()[group];
  ASSERT_FALSE(cases.empty());
  for (const auto& c : cases) {
    const std::string input = Unhex(c["input_hex"]);
    const int id = c["id"];
    SCOPED_TRACE(std::string(group) + " id " + std::to_string(id) + " input " +
                 c["input_hex"].get<std::string>());
    if (c.contains("error")) {
      ASSERT_EQ(c["error"], "EStringFormat");
      try {
        convert(input, id);
        ADD_FAILURE() << "no exception";
      } catch (const EStringFormat& e) {
        EXPECT_EQ(e.Message(), Unhex(c["message_hex"]));
      }
    } else {
      EXPECT_EQ(convert(input, id), Unhex(c["output_hex"]));
    }
  }
}

TEST(FormatVectors, StrToFormat) {
  CheckGroup("str_to_format", StrToFormat);
}

TEST(FormatVectors, FormatToStr) {
  CheckGroup("format_to_str", FormatToStr);
}

TEST(FormatVectors, MissingFormat) {
  const nlohmann::json& missing = Vectors()["missing_format"];
  const std::string message = Unhex(missing["message_hex"]);
  ASSERT_EQ(message, "String Format \"17\" not exists.");
  using Conversion = std::string (*)(std::string_view, int);
  const Conversion conversions[] = {StrToFormat, FormatToStr};
  for (Conversion convert : conversions) {
    try {
      convert("abc", 17);
      ADD_FAILURE() << "no exception";
    } catch (const EStringFormat& e) {
      EXPECT_EQ(e.Message(), message);
    }
  }
}

struct Case {
  int id;
  std::string from;
  std::string to;
};

// The documented examples, readable.
TEST(Formats, DocumentedEncodings) {
  const Case cases[] = {
      {kFormatHex, "\x00\x7F\xFF"s, "007FFF"},
      {kFormatHexLower, "\x00\x7F\xFF"s, "007fff"},
      {kFormatMIME64, "abc", "YWJj"},
      {kFormatMIME64, "ab", "YWI="},
      {kFormatMIME64, "a", "YQ=="},
      {kFormatDefault, "a", "YQ=="},
      {kFormatUU, "abc", "#86)C"},
      {kFormatUU, "a", "!80``"},
      {kFormatXX, "abc", "1MK7X"},
      {kFormatXX, "a", "-ME++"},
      {kFormatCopy, "a\0b\0"s, "a\0b\0"s},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    EXPECT_EQ(StrToFormat(c.from, c.id), c.to);
    EXPECT_EQ(FormatToStr(c.to, c.id), c.from);
  }
}

TEST(Formats, DecodingQuirks) {
  const Case cases[] = {
      {kFormatHex, "0a 1B", "\x0A\x1B"},
      {kFormatHex, "ABC", "\xAB"},  // an unpaired last digit is dropped
      {kFormatHex, "0x1F", "\x1F"},
      {kFormatHex, "$1F", "\x1F"},
      {kFormatHex, "12$34", "\x34"},         // the first prefix discards what came before
      {kFormatHex, "12X34x56", "\x34\x56"},  // later prefixes are ignored
      {kFormatHexLower, "007FFF", "\x00\x7F\xFF"s},
      {kFormatMIME64, "YWI", "ab"},
      {kFormatMIME64, "YQ==YWJj", "a\0\0a"s},   // padding inside the text
      {kFormatMIME64, "YWJ ", "\x01\x85\x89"},  // a skipped blank still counts for padding
      {kFormatMIME64, "====", ""},
      {kFormatMIME64, "YWJj====", "ab"},  // surplus padding takes back promised bytes
      {kFormatUU, "#8 6)C", "abc"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.from);
    EXPECT_EQ(FormatToStr(c.from, c.id), c.to);
  }
}

TEST(Formats, LongHexTextWithLatePrefix) {
  // The prefix rule must hold after the paired fast path has run for a while.
  const std::string text = std::string(1000, '7') + "$12" + "a";
  EXPECT_EQ(FormatToStr(text, kFormatHex), "\x12");
}

TEST(Formats, LongBase64TextIsCheckedToTheEnd) {
  // Decoding tests the characters in the same pass; a foreign character anywhere is refused.
  const std::string text = StrToFormat(std::string(3000, '\x5A'), kFormatMIME64);
  for (std::size_t at : {std::size_t{0}, std::size_t{1001}, text.size() - 2, text.size()}) {
    SCOPED_TRACE(at);
    std::string bad = text;
    bad.insert(at, 1, '.');
    EXPECT_THROW(FormatToStr(bad, kFormatMIME64), EStringFormat);
    bad.insert(at / 2, 1, '$');  // a skipped character before it changes nothing
    EXPECT_THROW(FormatToStr(bad, kFormatMIME64), EStringFormat);
  }
  std::string spaced = text;
  // Skipped characters still count for the promised length: four of them promise three more
  // bytes, which come out as zeros.
  spaced.insert(1001, "    ");
  EXPECT_EQ(FormatToStr(spaced, kFormatMIME64), std::string(3000, '\x5A') + "\0\0\0"s);
}

TEST(Formats, EmptyResultsWithoutError) {
  EXPECT_EQ(StrToFormat("abc", 0), "");
  EXPECT_EQ(FormatToStr("zz", 0), "");
  EXPECT_EQ(StrToFormat("", 17), "");  // empty input is never looked up
  EXPECT_EQ(StrToFormat(nullptr, 5, kFormatHex), "");
  EXPECT_EQ(FormatToStr(nullptr, -1, kFormatHex), "");
}

TEST(Formats, NegativeLengthStopsAtFirstZero) {
  const char data[] = "ab\0cd";
  EXPECT_EQ(StrToFormat(data, -1, kFormatHex), "6162");
  EXPECT_EQ(StrToFormat(data, 5, kFormatHex), "6162006364");
  EXPECT_EQ(FormatToStr("4142\0"
                        "43",
                        -7, kFormatHex),
            "AB");
}

TEST(Formats, RefusedInputNamesTheFormat) {
  const Case cases[] = {
      {kFormatHex, "AG", "Input is not an valid Hexadecimal Format."},
      {kFormatHexLower, "0g", "Input is not an valid Hexadecimal lowercase Format."},
      {kFormatMIME64, "YW.J", "Input is not an valid MIME Base 64 Format."},
      {kFormatUU, "a", "Input is not an valid UU Coding Format."},          // not in the alphabet
      {kFormatUU, "N", "Input is not an valid UU Coding Format."},          // line of 46 bytes
      {kFormatUU, "#86)", "Input is not an valid UU Coding Format."},       // line cut short
      {kFormatUU, "#86)C\r\n", "Input is not an valid UU Coding Format."},  // break as length
      {kFormatXX, "1MK7Xz", "Input is not an valid XX Coding Format."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.from);
    try {
      FormatToStr(c.from, c.id);
      ADD_FAILURE() << "no exception";
    } catch (const EStringFormat& e) {
      EXPECT_EQ(e.Message(), c.to);
    }
  }
}

TEST(Formats, LineDecodingChecksLengthCharactersItself) {
  // Called directly, without the line test: a length character out of range is refused.
  for (const TStringFormat* format :
       {static_cast<const TStringFormat*>(TStringFormat_UU::Class()),
        static_cast<const TStringFormat*>(TStringFormat_XX::Class())}) {
    try {
      format->DecodeText(" abc");
      ADD_FAILURE() << "no exception";
    } catch (const EStringFormat& e) {
      EXPECT_EQ(e.Message(), "Input is not an valid " + format->DisplayName() + " Format.");
    }
  }
}

TEST(Formats, LineDecodingPastTheTextStaysInBounds) {
  // Passes the line test (2 bytes in 3 characters, then 3 bytes in 4), but the decoder reads
  // whole groups, takes "#" as data and "8" as a 24-byte line of which only 3 symbols remain.
  const std::string bytes = FormatToStr("\"ABC#86)C", kFormatUU);
  EXPECT_EQ(bytes.size(), 2u + 24u);
}

TEST(Formats, RoundTripEveryFormatAndLength) {
  std::mt19937 rng(20240611);
  for (std::size_t length : {1, 2, 3, 4, 44, 45, 46, 89, 90, 91, 100, 135, 4096, 4097}) {
    std::string data(length, '\0');
    for (char& c : data)
      c = static_cast<char>(rng());
    for (int id : {kFormatCopy, kFormatHex, kFormatHexLower, kFormatMIME64, kFormatUU, kFormatXX}) {
      SCOPED_TRACE(std::to_string(id) + " length " + std::to_string(length));
      const std::string text = StrToFormat(data, id);
      EXPECT_EQ(FormatToStr(text, id), data);
    }
  }
}

TEST(Formats, ArbitraryTextDecodesAsCheckThenDecode) {
  // Random texts over each alphabet (plus a few foreign bytes, and mostly value characters
  // so that Base64's one-pass route runs long) give exactly what CheckInput followed by
  // DecodeText gives, or EStringFormat where CheckInput refuses. Under the sanitizer preset
  // this also checks every buffer access.
  std::mt19937 rng(7);
  for (int id : {kFormatHex, kFormatHexLower, kFormatMIME64, kFormatUU, kFormatXX}) {
    const TStringFormat* format = FindFormat(id);
    const std::string common = id == kFormatMIME64 ? "ABCYWJjz09+/"
                               : id >= kFormatUU   ? "!#M`+-8CX1z"
                                                   : "0aF9";
    const std::string rare = id == kFormatMIME64 ? "= \r\n$*."
                             : id >= kFormatUU   ? " \r\n\"a"
                                                 : "X$x h-g";
    for (int round = 0; round < 3000; ++round) {
      std::string text(rng() % 70, '\0');
      for (char& c : text) {
        const unsigned r = rng() % 100;
        c = r == 0   ? static_cast<char>(rng())
            : r < 10 ? rare[rng() % rare.size()]
                     : common[rng() % common.size()];
      }
      SCOPED_TRACE(text);
      if (text.empty()) continue;
      if (format->CheckInput(text, true)) {
        std::string expected;
        try {
          expected = format->DecodeText(text);
        } catch (const EStringFormat&) {
          EXPECT_THROW(FormatToStr(text, id), EStringFormat);
          continue;
        }
        EXPECT_EQ(FormatToStr(text, id), expected);
      } else {
        EXPECT_THROW(FormatToStr(text, id), EStringFormat);
      }
    }
  }
}

// ---- class model and registry ----

TEST(FormatClasses, NamesIdentifiersAndParents) {
  struct Expect {
    const TStringFormat* cls;
    const char* name;
    const char* display;
    int id;
    const TStringFormat* parent;
  };
  const Expect classes[] = {
      {TStringFormat::Class(), "TStringFormat", "copy Input to Output", 1, nullptr},
      {TStringFormat_HEX::Class(), "TStringFormat_HEX", "Hexadecimal", 16, TStringFormat::Class()},
      {TStringFormat_HEXL::Class(), "TStringFormat_HEXL", "Hexadecimal lowercase", 1016,
       TStringFormat_HEX::Class()},
      {TStringFormat_MIME64::Class(), "TStringFormat_MIME64", "MIME Base 64", 4196,
       TStringFormat_HEX::Class()},
      {TStringFormat_UU::Class(), "TStringFormat_UU", "UU Coding", 21845, TStringFormat::Class()},
      {TStringFormat_XX::Class(), "TStringFormat_XX", "XX Coding", 22616,
       TStringFormat_UU::Class()},
  };
  for (const Expect& e : classes) {
    SCOPED_TRACE(e.name);
    EXPECT_EQ(e.cls->ClassName(), e.name);
    EXPECT_EQ(e.cls->DisplayName(), e.display);
    EXPECT_EQ(e.cls->Identifier(), e.id);
    EXPECT_EQ(e.cls->ClassParent(), e.parent);
    EXPECT_EQ(FindFormat(e.id), e.cls);
  }
  EXPECT_TRUE(TStringFormat_XX::Class()->InheritsFrom(TStringFormat::Class()));
  EXPECT_FALSE(TStringFormat_XX::Class()->InheritsFrom(TStringFormat_HEX::Class()));
  EXPECT_EQ(TStringFormat_HEX::Class()->Alphabet().size(), 48u);
  EXPECT_EQ(TStringFormat_MIME64::Class()->Alphabet().size(), 85u);
  EXPECT_EQ(TStringFormat_UU::Class()->Alphabet().size(), 68u);
  EXPECT_EQ(TStringFormat_XX::Class()->Alphabet().size(), 74u);
}

TEST(FormatRegistry, FindFormat) {
  EXPECT_EQ(FindFormat(-1), TStringFormat_MIME64::Class());
  EXPECT_EQ(FindFormat(0), nullptr);
  EXPECT_EQ(FindFormat(17), nullptr);
}

// A Base64 variant over the URL-safe alphabet, with no name of its own.
class TStringFormat_Demo : public TStringFormat_MIME64 {
 public:
  static const TStringFormat_Demo* Class() {
    static const TStringFormat_Demo instance;
    return &instance;
  }
  int Identifier() const override { return identifier; }
  std::string DisplayName() const override { return TStringFormat::DisplayName(); }
  std::string_view Alphabet() const override { return alphabet; }
  std::string_view ClassName() const override { return "TStringFormat_Demo"; }

  int identifier = 1704;
  std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_= \r\n";
};

// A hexadecimal format whose digits are a copy of the lower-case table.
class THexCopy : public TStringFormat_HEX {
 public:
  static const THexCopy* Class() {
    static const THexCopy instance;
    return &instance;
  }
  int Identifier() const override { return kFormatHex; }
  std::string_view Alphabet() const override { return alphabet; }
  std::string_view ClassName() const override { return "THexCopy"; }

  std::string alphabet{TStringFormat_HEXL::Class()->Alphabet()};
};

TEST(FormatRegistry, RegisterAppendsAndReplaces) {
  const auto* demo = TStringFormat_Demo::Class();
  EXPECT_EQ(demo->DisplayName(), "Demo");
  EXPECT_EQ(THexCopy::Class()->TStringFormat::DisplayName(), "THexCopy");

  RegisterFormats({nullptr, demo});
  ASSERT_EQ(FindFormat(1704), demo);
  // Inherited conversions follow the class's own alphabet.
  EXPECT_EQ(StrToFormat("\xFB\xFF", 1704), "-_8=");
  EXPECT_EQ(FormatToStr("-_8=", 1704), "\xFB\xFF");
  try {
    FormatToStr("+/8=", 1704);
    ADD_FAILURE() << "no exception";
  } catch (const EStringFormat& e) {
    EXPECT_EQ(e.Message(), "Input is not an valid Demo Format.");
  }

  // The same identifier takes the registered class's place; registering back restores it.
  RegisterFormats({THexCopy::Class()});
  EXPECT_EQ(FindFormat(kFormatHex), THexCopy::Class());
  EXPECT_EQ(StrToFormat("\xAB", kFormatHex), "ab");
  EXPECT_EQ(FormatToStr("x0aB", kFormatHex), "\x0A");
  RegisterFormats({TStringFormat_HEX::Class()});
  EXPECT_EQ(FindFormat(kFormatHex), TStringFormat_HEX::Class());
  EXPECT_EQ(StrToFormat("\xAB", kFormatHex), "AB");
}

}  // namespace
}  // namespace pelvane
