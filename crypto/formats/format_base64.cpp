// TStringFormat_MIME64: Base64 without line breaks. Decoding keeps the historical rules for
// padding and for characters it skips, which peers' texts may rely on.
#include <cstring>

#include "crypto/formats/format_tables.h"
#include "crypto/formats/formats.h"

namespace pelvane {

namespace {

using formats_detail::AlphabetPositions;
using formats_detail::kMIME64Alphabet;
using formats_detail::PositionTable;

// For each 12-bit value, the two characters of its two sextets.
using SextetPairs = std::array<std::array<char, 2>, 4096>;

constexpr SextetPairs MakeSextetPairs(std::string_view alphabet) {
  SextetPairs pairs{};
  for (int v = 0; v < 4096; ++v)
    pairs[v] = {alphabet[v >> 6], alphabet[v & 63]};
  return pairs;
}

// Positions among the first 65 characters: 0-63 values, 64 the padding, others skipped.
constexpr std::uint8_t kPad = 64;
constexpr PositionTable kDecode = AlphabetPositions(kMIME64Alphabet, 65);
constexpr SextetPairs kPairs = MakeSextetPairs(kMIME64Alphabet);

}  // namespace

const TStringFormat_MIME64* TStringFormat_MIME64::Class() {
  static const TStringFormat_MIME64 instance;
  return &instance;
}

std::string_view TStringFormat_MIME64::Alphabet() const {
  return {kMIME64Alphabet, sizeof(kMIME64Alphabet) - 1};
}

std::string TStringFormat_MIME64::EncodeText(std::string_view data) const {
  const std::string_view alphabet = Alphabet();
  SextetPairs custom;
  const SextetPairs* table = &kPairs;
  if (alphabet.data() != kMIME64Alphabet) {
    custom = MakeSextetPairs(alphabet);
    table = &custom;
  }
  const SextetPairs& pairs = *table;

  const std::size_t n = data.size();
  const std::size_t groups = n / 3;
  const std::size_t rest = n % 3;
  std::string text((groups + (rest != 0)) * 4, '\0');
  char* out = text.data();
  const auto* in = reinterpret_cast<const unsigned char*>(data.data());
  for (std::size_t g = 0; g < groups; ++g, in += 3, out += 4) {
    const std::uint32_t v =
        static_cast<std::uint32_t>(in[0]) << 16 | static_cast<std::uint32_t>(in[1]) << 8 | in[2];
    std::memcpy(out, pairs[v >> 12].data(), 2);
    std::memcpy(out + 2, pairs[v & 0xFFF].data(), 2);
  }
  if (rest != 0) {
    std::uint32_t v = static_cast<std::uint32_t>(in[0]) << 16;
    if (rest == 2) v |= static_cast<std::uint32_t>(in[1]) << 8;
    std::memcpy(out, pairs[v >> 12].data(), 2);
    out[2] = rest == 2 ? pairs[v & 0xFFF][0] : '=';
    out[3] = '=';
  }
  return text;
}

// The text is conceptually padded with "=" to a multiple of four characters, every character
// counted, and promises three bytes per four characters less one per "=". Groups of up to
// four symbols (value characters and "=") are gathered, skipping other characters; each group
// writes three bytes and keeps as many of them as are still promised.
std::string TStringFormat_MIME64::DecodeText(std::string_view text) const {
  const std::string_view alphabet = Alphabet();
  PositionTable custom;
  const PositionTable* table = &kDecode;
  if (alphabet.data() != kMIME64Alphabet) {
    custom = AlphabetPositions(alphabet, 65);
    table = &custom;
  }
  const PositionTable& sym = *table;

  const std::size_t n = text.size();
  const std::size_t padded = (n + 3) / 4 * 4;
  std::int64_t expected = static_cast<std::int64_t>(padded / 4 * 3);
  // pos + expected never grows, and a group is written only while expected > 0, so the
  // three bytes of every group fit in expected + 2 bytes.
  std::string bytes(static_cast<std::size_t>(expected) + 3, '\0');
  auto* out = reinterpret_cast<unsigned char*>(bytes.data());
  const auto* in = reinterpret_cast<const unsigned char*>(text.data());
  std::int64_t pos = 0;
  std::size_t i = 0;
  while (expected > 0) {
    // Fast path: four value characters while more than one group is promised.
    while (expected > 3 && i + 4 <= n) {
      const std::uint32_t a = sym[in[i]], b = sym[in[i + 1]], c = sym[in[i + 2]],
                          d = sym[in[i + 3]];
      if ((a | b | c | d) >= 64) break;
      const std::uint32_t v = a << 18 | b << 12 | c << 6 | d;
      out[pos] = static_cast<unsigned char>(v >> 16);
      out[pos + 1] = static_cast<unsigned char>(v >> 8);
      out[pos + 2] = static_cast<unsigned char>(v);
      pos += 3;
      expected -= 3;
      i += 4;
    }
    std::uint32_t acc = 0;
    for (int found = 0; found < 4 && i < padded; ++i) {
      const std::uint8_t s = i < n ? sym[in[i]] : kPad;
      if (s > kPad) continue;
      acc <<= 6;
      if (s == kPad) {
        --expected;
      } else {
        acc |= s;
      }
      ++found;
    }
    out[pos] = static_cast<unsigned char>(acc >> 16);
    out[pos + 1] = static_cast<unsigned char>(acc >> 8);
    out[pos + 2] = static_cast<unsigned char>(acc);
    // More "=" than promised bytes can move the end back (at most below the start, where it
    // stops: the result is then empty).
    pos += expected > 3 ? 3 : expected;
    expected -= 3;
  }
  bytes.resize(pos > 0 ? static_cast<std::size_t>(pos) : 0);
  return bytes;
}

}  // namespace pelvane
