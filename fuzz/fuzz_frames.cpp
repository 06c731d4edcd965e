// Message frames: reading a received frame's body and hexadecimal fields never fails other
// than with the documented errors, and a plain frame built from any data reads back as that
// data.
#include <cstdint>
#include <string>

#include "crypto/formats/formats.h"
#include "fuzz/fuzz_check.h"
#include "messaging/frames.h"

namespace pelvane {
namespace {

// The value of a field of one to eight hexadecimal digits, or -1 for any other field.
std::int64_t ExpectedField(std::string_view field) {
  if (field.empty() || field.size() > 8) return -1;
  std::uint32_t value = 0;
  for (char c : field) {
    if (!fuzz::IsHexDigit(c)) return -1;
    value = (value << 4) | static_cast<std::uint32_t>(fuzz::HexValue(c));
  }
  return value;
}

std::string ConversionMessage(std::string_view field) {
  return "'$" + std::string(field) + "' is not a valid integer value";
}

void CheckField(std::string_view field) {
  const std::int64_t expected = ExpectedField(field);
  try {
    const std::int32_t value = HexFieldToInt(field);
    FUZZ_CHECK(expected >= 0);
    FUZZ_CHECK(static_cast<std::uint32_t>(value) == static_cast<std::uint32_t>(expected));
  } catch (const EConvertError& e) {
    FUZZ_CHECK(expected < 0);
    FUZZ_CHECK(e.Message() == ConversionMessage(field));
  }
}

void CheckBody(std::string_view frame) {
  const std::string_view field = frame.size() > 2 ? frame.substr(2, 4) : std::string_view();
  const std::int64_t length = ExpectedField(field);
  try {
    const std::string body = GetMessageBody(frame);
    FUZZ_CHECK(length >= 0);
    // A short frame has a short length field ("010" states 0), never a short body.
    const std::string_view text = frame.size() > 6 ? frame.substr(6) : std::string_view();
    FUZZ_CHECK(text.size() >= static_cast<std::size_t>(length));
    FUZZ_CHECK(body.size() <= static_cast<std::size_t>(length) / 2);
    // A body of digits alone decodes pair by pair; an odd last digit is dropped.
    const std::string_view stated = text.substr(0, static_cast<std::size_t>(length));
    bool digits_only = true;
    for (char c : stated)
      digits_only = digits_only && fuzz::IsHexDigit(c);
    if (digits_only) {
      FUZZ_CHECK(body.size() == stated.size() / 2);
      for (std::size_t i = 0; i < body.size(); ++i) {
        const int byte = fuzz::HexValue(stated[2 * i]) * 16 + fuzz::HexValue(stated[2 * i + 1]);
        FUZZ_CHECK(static_cast<unsigned char>(body[i]) == byte);
      }
    }
  } catch (const EConvertError& e) {
    FUZZ_CHECK(length < 0);
    FUZZ_CHECK(e.Message() == ConversionMessage(field));
  } catch (const EStringFormat& e) {
    FUZZ_CHECK(length >= 0);
    FUZZ_CHECK(e.Message() == "Input is not an valid Hexadecimal Format.");
  }
}

void CheckPlainFrame(std::string_view data, int identifier) {
  const std::string frame = BuildPlainFrame(data, identifier);
  FUZZ_CHECK(frame.size() == 6 + 2 * data.size());
  FUZZ_CHECK(HexFieldToInt(std::string_view(frame).substr(0, 2)) == identifier);
  FUZZ_CHECK(HexFieldToInt(std::string_view(frame).substr(2, 4)) ==
             static_cast<std::int32_t>(2 * data.size()));
  FUZZ_CHECK(frame.compare(6, std::string::npos, StrToFormat(data, kFormatHex)) == 0);
  FUZZ_CHECK(GetMessageBody(frame) == data);
  // Whatever follows the stated body is ignored.
  FUZZ_CHECK(GetMessageBody(frame + "zz\r\n") == data);
}

}  // namespace
}  // namespace pelvane

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace pelvane;
  const std::string_view input = fuzz::AsText(data, size);
  CheckBody(input);
  // Field conversion over the leading characters, at every width up to ten.
  for (std::size_t width = 0; width <= 10 && width <= input.size(); ++width) {
    CheckField(input.substr(0, width));
  }
  if (size > 0 && size <= 0x7FFF) CheckPlainFrame(input, data[0]);
  // Values written by IntToHex read back.
  if (size >= 4) {
    std::int32_t value = 0;
    for (int i = 0; i < 4; ++i)
      value = static_cast<std::int32_t>((static_cast<std::uint32_t>(value) << 8) | data[i]);
    FUZZ_CHECK(HexFieldToInt(IntToHex(value, 8)) == value);
  }
  return 0;
}
