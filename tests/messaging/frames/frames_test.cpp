#include "messaging/frames.h"

#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <string>

#include "crypto/exception.h"

namespace pelvane {
namespace {

using nlohmann::json;

std::string FromHex(const std::string& hex) {
  std::string out;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    out.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  }
  return out;
}

const json& Vectors() {
  static const json v = [] {
    std::ifstream in(PELVANE_TEST_DATA_DIR "/vectors.json");
    return json::parse(in);
  }();
  return v;
}

TEST(PlainFrame, KnownAnswers) {
  const json& cases = Vectors().at("plain_frames");
  ASSERT_FALSE(cases.empty());
  for (const auto& c : cases) {
    SCOPED_TRACE(c.at("frame").get<std::string>());
    const std::string data = FromHex(c.at("data_hex"));
    EXPECT_EQ(BuildPlainFrame(data, c.at("id").get<int>()), c.at("frame").get<std::string>());
  }
}

// Expects fn to throw exactly class E with message.
template <typename E, typename Fn>
void ExpectFailure(Fn fn, const std::string& message) {
  try {
    fn();
    ADD_FAILURE() << "no error";
  } catch (const E& e) {
    EXPECT_EQ(e.Message(), message);
  } catch (const Exception& e) {
    ADD_FAILURE() << "wrong class, message: " << e.Message();
  }
}

TEST(GetMessageBody, KnownAnswers) {
  const json& cases = Vectors().at("get_message_body");
  ASSERT_FALSE(cases.empty());
  for (const auto& c : cases) {
    const std::string frame = c.at("frame");
    SCOPED_TRACE(frame);
    if (!c.contains("error")) {
      EXPECT_EQ(GetMessageBody(frame), FromHex(c.at("output_hex")));
      continue;
    }
    const std::string error = c.at("error");
    const std::string message = FromHex(c.at("message_hex"));
    if (error == "EConvertError") {
      ExpectFailure<EConvertError>([&] { GetMessageBody(frame); }, message);
    } else if (error == "EStringFormat") {
      ExpectFailure<EStringFormat>([&] { GetMessageBody(frame); }, message);
    } else {
      ADD_FAILURE() << "unknown error class " << error;
    }
  }
}

TEST(GetMessageBody, ZeroLengthFieldGivesAnEmptyBody) {
  // "$00" is a valid zero: a frame cut after the first two length digits has no body.
  EXPECT_EQ(GetMessageBody("0100"), "");
  EXPECT_EQ(GetMessageBody("010"), "");
}

TEST(GetMessageBody, ReadsLowerCaseFieldsAndIgnoresTheIdentifier) {
  EXPECT_EQ(GetMessageBody("zz000a0102030405ffEXTRA"), std::string("\x01\x02\x03\x04\x05", 5));
}

TEST(GetMessageBody, BadLengthFieldsNameTheFieldAsTaken) {
  const std::pair<std::string, std::string> cases[] = {
      {"01", "'$'"},
      {"01 004AB", "'$ 004'"},
      {"01-001A", "'$-001'"},
      {"01+001A", "'$+001'"},
      {"010x01A", "'$0x01'"},
      {std::string("0100\0"
                   "1A",
                   7),
       std::string("'$00\0"
                   "1'",
                   7)},
      {"01$001A", "'$$001'"},
  };
  for (const auto& [frame, quoted] : cases) {
    SCOPED_TRACE(frame);
    // A lambda may not capture a structured binding under clang 14.
    ExpectFailure<EConvertError>([&frame = frame] { GetMessageBody(frame); },
                                 quoted + " is not a valid integer value");
  }
}

TEST(GetMessageBody, BodyShorterThanItsLengthFails) {
  // The missing characters must not be read from beyond the frame.
  const std::string frame = std::string("010004AB\0\0", 10).substr(0, 8);
  ExpectFailure<EStringFormat>([&] { GetMessageBody(frame); },
                               "Input is not an valid Hexadecimal Format.");
  ExpectFailure<EStringFormat>([&] { GetMessageBody("010002"); },
                               "Input is not an valid Hexadecimal Format.");
}

TEST(PlainFrame, EveryByteValueRoundTrips) {
  std::string data;
  for (int i = 0; i < 256; ++i)
    data.push_back(static_cast<char>(i));
  const std::string frame = BuildPlainFrame(data, 0xFF);
  EXPECT_EQ(frame.substr(0, 6), "FF0200");
  EXPECT_EQ(frame.find_first_of("abcdef"), std::string::npos);  // upper case only
  EXPECT_EQ(GetMessageBody(frame), data);
}

TEST(PlainFrame, LargestBodyFitsTheLengthField) {
  const std::string frame = BuildPlainFrame(std::string(32767, '\xA5'), 7);
  EXPECT_EQ(frame.substr(0, 6), "07FFFE");
  EXPECT_EQ(frame.size(), 6u + 65534u);
}

TEST(PlainFrame, RefusesFieldsThatWouldWiden) {
  EXPECT_THROW(BuildPlainFrame("x", 256), EFrameError);
  EXPECT_THROW(BuildPlainFrame("x", -1), EFrameError);
  EXPECT_THROW(BuildPlainFrame(std::string(32768, 'x'), 1), EFrameError);
}

TEST(FrameFields, IntToHexPadsButNeverCuts) {
  EXPECT_EQ(IntToHex(0, 2), "00");
  EXPECT_EQ(IntToHex(172, 4), "00AC");
  EXPECT_EQ(IntToHex(0x12345, 4), "12345");
  EXPECT_EQ(IntToHex(-1, 2), "FFFFFFFF");
}

TEST(FrameFields, HexFieldToIntAcceptsEitherCase) {
  EXPECT_EQ(HexFieldToInt("00aC"), 0xAC);
  EXPECT_EQ(HexFieldToInt("F"), 15);
  EXPECT_EQ(HexFieldToInt("FFFFFFFF"), -1);
  EXPECT_THROW(HexFieldToInt("123456789"), EConvertError);
}

}  // namespace
}  // namespace pelvane
