#include "messaging/frames.h"

#include "crypto/formats/formats.h"

namespace pelvane {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";
constexpr int kIdentifierDigits = 2;
constexpr int kLengthDigits = 4;
constexpr std::size_t kLengthFieldOffset = 2;
constexpr std::size_t kBodyOffset = kLengthFieldOffset + kLengthDigits;
constexpr std::size_t kMaxBodyLength = 0xFFFF;

int HexDigitValue(char c) noexcept {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

std::string IntToHex(std::int32_t value, int digits) {
  std::uint32_t v = static_cast<std::uint32_t>(value);
  std::string out;
  do {
    out.insert(out.begin(), kHexDigits[v & 0xF]);
    v >>= 4;
  } while (v != 0);
  if (static_cast<int>(out.size()) < digits) {
    out.insert(0, static_cast<std::size_t>(digits) - out.size(), '0');
  }
  return out;
}

std::int32_t HexFieldToInt(std::string_view field) {
  const auto fail = [&]() -> EConvertError {
    std::string message = "'$";
    message.append(field);
    message += "' is not a valid integer value";
    return EConvertError(std::move(message));
  };
  if (field.empty() || field.size() > 8) throw fail();
  std::uint32_t value = 0;
  for (char c : field) {
    const int d = HexDigitValue(c);
    if (d < 0) throw fail();
    value = (value << 4) | static_cast<std::uint32_t>(d);
  }
  return static_cast<std::int32_t>(value);
}

std::string BuildPlainFrame(std::string_view data, int identifier) {
  if (identifier < 0 || identifier > 0xFF) {
    throw EFrameError("Message identifier " + std::to_string(identifier) + " is outside 0 to 255");
  }
  if (data.size() > kMaxBodyLength / 2) {
    throw EFrameError("Message body of " + std::to_string(data.size()) +
                      " bytes is too long for a frame");
  }
  const std::string hex = StrToFormat(data, kFormatHex);
  std::string frame = IntToHex(identifier, kIdentifierDigits);
  frame += IntToHex(static_cast<std::int32_t>(hex.size()), kLengthDigits);
  frame += hex;
  return frame;
}

std::string GetMessageBody(std::string_view frame) {
  const std::string_view length_field = frame.size() > kLengthFieldOffset
                                            ? frame.substr(kLengthFieldOffset, kLengthDigits)
                                            : std::string_view();
  const std::int32_t length = HexFieldToInt(length_field);
  const std::string_view body = frame.size() > kBodyOffset
                                    ? frame.substr(kBodyOffset, static_cast<std::size_t>(length))
                                    : std::string_view();
  // The decoder must not read past the frame: a body shorter than its stated length is
  // invalid input for the hexadecimal format.
  if (body.size() < static_cast<std::size_t>(length)) {
    throw EStringFormat("Input is not an valid Hexadecimal Format.");
  }
  return FormatToStr(body, kFormatHex);
}

}  // namespace pelvane
