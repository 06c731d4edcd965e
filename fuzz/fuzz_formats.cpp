// Text encodings: every registered format decodes any text or refuses it with its own message,
// encodes any bytes to a text of the documented length, and gives the bytes back from it.
#include <cstring>
#include <string>

#include "crypto/exception.h"
#include "crypto/formats/formats.h"
#include "fuzz/fuzz_check.h"

namespace pelvane {
namespace {

constexpr int kIdentifiers[] = {kFormatCopy, kFormatHex, kFormatHexLower, kFormatMIME64,
                                kFormatUU,   kFormatXX,  kFormatDefault};

int Canonical(int identifier) {
  return identifier == kFormatDefault ? kFormatMIME64 : identifier;
}

// The documented length of the text for n bytes.
std::size_t EncodedSize(int identifier, std::size_t n) {
  if (n == 0) return 0;
  switch (Canonical(identifier)) {
    case kFormatCopy:
      return n;
    case kFormatHex:
    case kFormatHexLower:
      return 2 * n;
    case kFormatMIME64:
      return 4 * ((n + 2) / 3);
    default: {  // line codings: a length character and four characters per three bytes
      std::size_t size = 0;
      for (std::size_t left = n; left > 0;) {
        const std::size_t line = left < 45 ? left : 45;
        size += 1 + 4 * ((line + 2) / 3);
        left -= line;
      }
      return size;
    }
  }
}

// The most bytes a text of n characters can stand for.
std::size_t MaxDecodedSize(int identifier, std::size_t n) {
  switch (Canonical(identifier)) {
    case kFormatCopy:
      return n;
    case kFormatHex:
    case kFormatHexLower:
      return n / 2;
    case kFormatMIME64:
      return (n + 3) / 4 * 3;
    default:
      // Each length character announces at most 45 bytes. The decoder reads a line's data in
      // whole groups of four, while the line test counts (n * 4 + 2) / 3 characters, so a
      // text that passes the test can announce more bytes than its characters hold; those
      // come out as zero bytes.
      return 45 * n;
  }
}

void CheckFormat(int identifier, std::string_view input) {
  const TStringFormatClass format = FindFormat(identifier);
  FUZZ_CHECK(format != nullptr);
  FUZZ_CHECK(format->Identifier() == Canonical(identifier));

  // Text to bytes.
  try {
    const std::string bytes = FormatToStr(input, identifier);
    FUZZ_CHECK(bytes.size() <= MaxDecodedSize(identifier, input.size()));
    FUZZ_CHECK(format->CheckInput(input, true));
    FUZZ_CHECK(FormatToStr(StrToFormat(bytes, identifier), identifier) == bytes);
  } catch (const EStringFormat& e) {
    FUZZ_CHECK(e.Message() == "Input is not an valid " + format->DisplayName() + " Format.");
  }

  // Bytes to text and back; no format refuses bytes.
  const std::string text = StrToFormat(input, identifier);
  FUZZ_CHECK(text.size() == EncodedSize(identifier, input.size()));
  FUZZ_CHECK(format->CheckInput(text, true));
  FUZZ_CHECK(FormatToStr(text, identifier) == input);

  // The counted entry points: a negative length stops at the first zero byte.
  const std::string terminated(input);
  const std::string_view head = input.substr(0, input.find('\0'));
  FUZZ_CHECK(StrToFormat(terminated.c_str(), -1, identifier) == StrToFormat(head, identifier));
  FUZZ_CHECK(StrToFormat(terminated.data(), static_cast<std::int32_t>(input.size()), identifier) ==
             text);
}

}  // namespace
}  // namespace pelvane

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace pelvane;
  const std::string_view input = fuzz::AsText(data, size);
  for (int identifier : kIdentifiers)
    CheckFormat(identifier, input);

  // Both hexadecimal formats read either case.
  const std::string upper = StrToFormat(input, kFormatHex);
  FUZZ_CHECK(FormatToStr(upper, kFormatHexLower) == input);
  FUZZ_CHECK(FormatToStr(StrToFormat(input, kFormatHexLower), kFormatHex) == input);

  // Identifier 0 gives nothing; an identifier nobody registered is an error for any input.
  FUZZ_CHECK(StrToFormat(input, 0).empty() && FormatToStr(input, 0).empty());
  if (size >= 4) {
    std::int32_t identifier;
    std::memcpy(&identifier, data, sizeof identifier);
    if (identifier != 0 && identifier != kFormatDefault && FindFormat(identifier) == nullptr) {
      try {
        (void)StrToFormat(input, identifier);
        FUZZ_CHECK(!"an unknown format converted");
      } catch (const EStringFormat& e) {
        FUZZ_CHECK(e.Message() ==
                   "String Format \"" + std::to_string(identifier) + "\" not exists.");
      }
    }
  }
  return 0;
}
