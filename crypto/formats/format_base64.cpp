// TStringFormat_MIME64: Base64 without line breaks. Decoding keeps the historical rules for
// padding and for characters it skips, which peers' texts may rely on.
#include <algorithm>
#include <bit>
#include <cstring>
#include <utility>

#include "crypto/formats/format_tables.h"
#include "crypto/formats/formats.h"
#include "crypto/secure.h"

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

// For a character of value v at place k of a group, the bits that v contributes to the
// group's three bytes as they lie in a little-endian word; kBadSextet for a character
// without a value.
constexpr std::uint32_t kBadSextet = 0x01000000;
struct SextetTables {
  std::array<std::uint32_t, 256> place[4];
};

constexpr SextetTables MakeSextetTables(const PositionTable& sym) {
  SextetTables t{};
  for (int c = 0; c < 256; ++c) {
    const std::uint32_t v = sym[c];
    if (v >= 64) {
      for (auto& place : t.place)
        place[c] = kBadSextet;
      continue;
    }
    t.place[0][c] = v << 2;
    t.place[1][c] = v >> 4 | (v & 0xF) << 12;
    t.place[2][c] = (v >> 2) << 8 | (v & 3) << 22;
    t.place[3][c] = v << 16;
  }
  return t;
}

constexpr SextetTables kSextets = MakeSextetTables(kDecode);

std::uint32_t Group(const SextetTables& t, std::uint32_t four) {
  return t.place[0][four & 0xFF] | t.place[1][four >> 8 & 0xFF] | t.place[2][four >> 16 & 0xFF] |
         t.place[3][four >> 24];
}

// Decodes up to `groups` groups of four value characters, stopping before the first group
// that holds any other character; returns the number decoded. Writes whole words: up to
// 2 bytes past the last decoded group.
std::size_t DecodeGroups(const SextetTables& t, const unsigned char* in, std::size_t groups,
                         unsigned char* out) {
  if constexpr (std::endian::native != std::endian::little) {
    return 0;
  } else {
    std::size_t done = 0;
    for (; done + 2 <= groups; done += 2, in += 8, out += 6) {
      std::uint64_t eight;
      std::memcpy(&eight, in, 8);
      const std::uint32_t g1 = Group(t, static_cast<std::uint32_t>(eight));
      const std::uint32_t g2 = Group(t, static_cast<std::uint32_t>(eight >> 32));
      if ((g1 | g2) & kBadSextet) break;
      const std::uint64_t six = g1 | static_cast<std::uint64_t>(g2) << 24;
      std::memcpy(out, &six, 8);
    }
    if (done < groups) {
      std::uint32_t four;
      std::memcpy(&four, in, 4);
      const std::uint32_t g = Group(t, four);
      if ((g & kBadSextet) == 0) {
        std::memcpy(out, &g, 4);
        ++done;
      }
    }
    return done;
  }
}

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

std::string TStringFormat_MIME64::DecodeText(std::string_view text) const {
  std::string bytes;
  Decode(text, Alphabet(), false, bytes);
  return bytes;
}

bool TStringFormat_MIME64::CheckAndDecode(std::string_view text, std::string& bytes) const {
  // One pass for this class; a derived class may test its input differently.
  if (this != Class()) return TStringFormat::CheckAndDecode(text, bytes);
  return Decode(text, Alphabet(), true, bytes);
}

// The text is conceptually padded with "=" to a multiple of four characters, every character
// counted, and promises three bytes per four characters less one per "=". Groups of up to
// four symbols (value characters and "=") are gathered, skipping other characters; each group
// writes three bytes and keeps as many of them as are still promised.
//
// With check set, returns false (and leaves bytes alone) if a character is not in the
// alphabet; the characters that the fast path decodes are value characters, so only the rest
// is looked up again.
bool TStringFormat_MIME64::Decode(std::string_view text, std::string_view alphabet, bool check,
                                  std::string& result) {
  PositionTable custom;
  const PositionTable* table = &kDecode;
  const SextetTables* fast = &kSextets;
  if (alphabet.data() != kMIME64Alphabet) {
    custom = AlphabetPositions(alphabet, 65);
    table = &custom;
    fast = nullptr;
  }
  const PositionTable& sym = *table;

  const std::size_t n = text.size();
  const std::size_t padded = (n + 3) / 4 * 4;
  std::int64_t expected = static_cast<std::int64_t>(padded / 4 * 3);
  // pos + expected never grows, and a group is written only while expected > 0, so every
  // write (at most 8 bytes at once from the fast path, which needs expected > 6 for that)
  // stays within expected + 3 bytes.
  std::string bytes(static_cast<std::size_t>(expected) + 3, '\0');
  auto* out = reinterpret_cast<unsigned char*>(bytes.data());
  const auto* in = reinterpret_cast<const unsigned char*>(text.data());
  std::int64_t pos = 0;
  std::size_t i = 0;
  bool rest_checked = !check;
  while (expected > 0) {
    if (fast != nullptr) {
      // Whole groups of four value characters while more than one group is promised.
      std::size_t groups = 0;
      if (expected > 3 && i < n) {
        groups = std::min((n - i) / 4, static_cast<std::size_t>((expected - 1) / 3));
      }
      std::size_t done = DecodeGroups(*fast, in + i, groups, out + pos);
      i += 4 * done;
      pos += 3 * static_cast<std::int64_t>(done);
      expected -= 3 * static_cast<std::int64_t>(done);
      if (done != 0 && done == groups) continue;
    }
    if (!rest_checked) {
      if (!formats_detail::AllInAlphabet(text.substr(i), alphabet)) return false;
      rest_checked = true;
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
  if (!rest_checked && !formats_detail::AllInAlphabet(text.substr(std::min(i, n)), alphabet)) {
    return false;
  }
  const std::size_t size = pos > 0 ? static_cast<std::size_t>(pos) : 0;
  // Bytes beyond the result may be key material: wipe them before they become spare capacity.
  SecureWipe(bytes.data() + size, bytes.size() - size);
  bytes.resize(size);
  result = std::move(bytes);
  return true;
}

}  // namespace pelvane
