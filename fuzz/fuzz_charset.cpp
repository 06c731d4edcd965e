// The Windows-1250 conversions at the program's edges and the escaping of received bytes.
// - Cp1250ToUtf8 never fails and gives valid UTF-8; where every byte is defined in
//   Windows-1250, Utf8ToCp1250 gives the bytes back.
// - Utf8ToCp1250 either converts (and the result converts back to the same text) or refuses with
//   EConvertError.
// - EscapeControlBytes leaves no control byte but the line feed, and changes nothing else.
#include <cstddef>
#include <cstdint>
#include <string>

#include "crypto/exception.h"
#include "crypto/formats/charset.h"
#include "fuzz/fuzz_check.h"

namespace {

using namespace pelvane;

// Strict UTF-8: shortest forms, no surrogates, nothing above U+10FFFF.
bool IsValidUtf8(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size()) {
    const auto c = static_cast<unsigned char>(s[i]);
    std::size_t n = 0;
    std::uint32_t cp = 0;
    if (c < 0x80) {
      ++i;
      continue;
    } else if (c >= 0xC2 && c <= 0xDF) {
      n = 1;
      cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
      n = 2;
      cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      n = 3;
      cp = c & 0x07;
    } else {
      return false;
    }
    if (i + n >= s.size()) return false;
    for (std::size_t k = 1; k <= n; ++k) {
      const auto d = static_cast<unsigned char>(s[i + k]);
      if ((d & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (d & 0x3F);
    }
    if ((n == 2 && cp < 0x800) || (n == 3 && (cp < 0x10000 || cp > 0x10FFFF)) ||
        (cp >= 0xD800 && cp <= 0xDFFF)) {
      return false;
    }
    i += n + 1;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(fuzz::AsText(data, size));

  const std::string utf8 = Cp1250ToUtf8(bytes);
  FUZZ_CHECK(IsValidUtf8(utf8));
  if (utf8.find("\xEF\xBF\xBD") == std::string::npos) FUZZ_CHECK(Utf8ToCp1250(utf8) == bytes);

  try {
    const std::string cp1250 = Utf8ToCp1250(bytes);
    FUZZ_CHECK(Cp1250ToUtf8(cp1250) == bytes);
  } catch (const EConvertError&) {
    // Not UTF-8, or a character Windows-1250 has not.
  }

  const std::string shown = EscapeControlBytes(bytes);
  for (std::size_t i = 0; i < shown.size(); ++i) {
    const auto c = static_cast<unsigned char>(shown[i]);
    FUZZ_CHECK(c == '\n' || (c >= 0x20 && c != 0x7F));
  }
  // Without control bytes the text is shown as it is.
  bool plain = true;
  for (const char ch : bytes) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x20 || c == 0x7F) plain = false;
  }
  if (plain) FUZZ_CHECK(shown == bytes);
  return 0;
}
