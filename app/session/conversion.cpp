#include "app/session/conversion.h"

#include <string>

#include "crypto/exception.h"

namespace pelvane {

std::int32_t StrToInt(std::string_view text) {
  const auto fail = [text]() {
    return EConvertError("'" + std::string(text) + "' is not a valid integer value");
  };
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ')
    ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  if (i == text.size()) throw fail();
  // Accumulate the magnitude in 64 bits; stop as soon as it leaves the 32-bit range.
  constexpr std::int64_t kLimit = std::int64_t{1} << 31;  // magnitude of INT32_MIN
  std::int64_t magnitude = 0;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c < '0' || c > '9') throw fail();
    magnitude = magnitude * 10 + (c - '0');
    if (magnitude > kLimit) throw fail();
  }
  if (!negative && magnitude == kLimit) throw fail();
  return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

}  // namespace pelvane
