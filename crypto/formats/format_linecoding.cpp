// TStringFormat_UU and TStringFormat_XX: the line codings. Lines of at most 45 bytes follow
// each other without line breaks; each is a length character and four characters for every
// three bytes (the last group completed with zero bytes).
#include <cstring>

#include "crypto/exception.h"
#include "crypto/formats/format_tables.h"
#include "crypto/formats/formats.h"
#include "crypto/secure.h"

namespace pelvane {

namespace {

using formats_detail::AlphabetPositions;
using formats_detail::kNotInAlphabet;
using formats_detail::kUUAlphabet;
using formats_detail::kXXAlphabet;
using formats_detail::PositionTable;

constexpr std::size_t kLineBytes = 45;
// Alphabet positions from here on (blank, tabs, line ends, ...) carry no value.
constexpr std::uint8_t kFirstSkipped = 64;

constexpr PositionTable kUUValues = AlphabetPositions(kUUAlphabet, kFirstSkipped);
constexpr PositionTable kXXValues = AlphabetPositions(kXXAlphabet, kFirstSkipped);

std::string InvalidInput(const TStringFormat& format) {
  return "Input is not an valid " + format.DisplayName() + " Format.";
}

}  // namespace

const TStringFormat_UU* TStringFormat_UU::Class() {
  static const TStringFormat_UU instance;
  return &instance;
}

const TStringFormat_XX* TStringFormat_XX::Class() {
  static const TStringFormat_XX instance;
  return &instance;
}

std::string_view TStringFormat_UU::Alphabet() const {
  return {kUUAlphabet, sizeof(kUUAlphabet) - 1};
}

std::string_view TStringFormat_XX::Alphabet() const {
  return {kXXAlphabet, sizeof(kXXAlphabet) - 1};
}

std::string TStringFormat_UU::EncodeText(std::string_view data) const {
  const std::string_view alphabet = Alphabet();
  const std::size_t n = data.size();
  const std::size_t full_lines = n / kLineBytes;
  const std::size_t last = n % kLineBytes;
  std::size_t size = full_lines * (1 + kLineBytes / 3 * 4);
  if (last != 0) size += 1 + (last + 2) / 3 * 4;
  std::string text(size, '\0');
  char* out = text.data();
  const auto* in = reinterpret_cast<const unsigned char*>(data.data());
  for (std::size_t done = 0; done < n;) {
    const std::size_t line = n - done < kLineBytes ? n - done : kLineBytes;
    *out++ = alphabet[line];
    for (std::size_t k = 0; k < line; k += 3) {
      std::uint32_t v = static_cast<std::uint32_t>(in[k]) << 16;
      if (k + 1 < line) v |= static_cast<std::uint32_t>(in[k + 1]) << 8;
      if (k + 2 < line) v |= in[k + 2];
      *out++ = alphabet[v >> 18];
      *out++ = alphabet[(v >> 12) & 63];
      *out++ = alphabet[(v >> 6) & 63];
      *out++ = alphabet[v & 63];
    }
    in += line;
    done += line;
  }
  return text;
}

// A length character (at most 45) starts the text and follows each line's data; it announces
// (length * 4 + 2) div 3 data characters, not counting characters that carry no value.
bool TStringFormat_UU::CheckInput(std::string_view input, bool decoding) const {
  if (!decoding) return true;
  const std::string_view alphabet = Alphabet();
  PositionTable custom;
  const PositionTable* table = formats_detail::KnownPositions(alphabet);
  if (table == nullptr) {
    custom = AlphabetPositions(alphabet);
    table = &custom;
  }
  const PositionTable& position = *table;
  std::size_t outstanding = 0;
  for (unsigned char c : input) {
    const std::uint8_t p = position[c];
    if (p == kNotInAlphabet) return false;
    if (outstanding == 0) {
      if (p > kLineBytes) return false;
      outstanding = (p * 4u + 2) / 3;
    } else if (p < kFirstSkipped) {
      --outstanding;
    }
  }
  return outstanding == 0;
}

std::string TStringFormat_UU::DecodeText(std::string_view text) const {
  const std::string_view alphabet = Alphabet();
  PositionTable custom;
  const PositionTable* table = &kUUValues;
  if (alphabet.data() == kXXAlphabet) {
    table = &kXXValues;
  } else if (alphabet.data() != kUUAlphabet) {
    custom = AlphabetPositions(alphabet, kFirstSkipped);
    table = &custom;
  }
  const PositionTable& value = *table;

  // Every group but those after the end of the text consumes four characters for at most three
  // bytes; after the end, one line of at most 45 bytes can follow, written three at a time.
  std::string bytes(text.size() + kLineBytes + 3, '\0');
  const auto* in = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();
  std::size_t pos = 0;
  std::size_t i = 0;
  while (i < n) {
    const std::uint8_t length = value[in[i++]];
    if (length == kNotInAlphabet || length > kLineBytes) throw EStringFormat(InvalidInput(*this));
    // A line's data is read in whole groups of four symbols; the line length tells how many of
    // each group's three bytes count.
    for (int remaining = length; remaining > 0; remaining -= 3) {
      std::uint32_t acc = 0;
      for (int found = 0; found < 4 && i < n; ++i) {
        const std::uint8_t s = value[in[i]];
        if (s == kNotInAlphabet) continue;
        acc = acc << 6 | s;
        ++found;
      }
      // A line may claim more than the text still holds (texts that pass the line test can end
      // a short line early); its missing groups come out as zeros, within the reserve above.
      // Should that reasoning ever fail, refuse the text rather than write past the buffer.
      if (pos + 3 > bytes.size()) throw EStringFormat(InvalidInput(*this));
      bytes[pos] = static_cast<char>(acc >> 16);
      bytes[pos + 1] = static_cast<char>(acc >> 8);
      bytes[pos + 2] = static_cast<char>(acc);
      pos += remaining > 3 ? 3 : static_cast<std::size_t>(remaining);
    }
  }
  SecureWipe(bytes.data() + pos, bytes.size() - pos);
  bytes.resize(pos);
  return bytes;
}

}  // namespace pelvane
