// The format registry, the conversion entry points, the copy format and the hexadecimal
// formats.
#include "crypto/formats/formats.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <vector>

#include "crypto/exception.h"
#include "crypto/formats/format_tables.h"
#include "crypto/secure.h"

namespace pelvane {

namespace {

using formats_detail::AlphabetPositions;
using formats_detail::kHexAlphabet;
using formats_detail::kHexLowerAlphabet;
using formats_detail::kMIME64Alphabet;
using formats_detail::kUUAlphabet;
using formats_detail::kXXAlphabet;
using formats_detail::PositionTable;

// For each byte, the two characters of its hexadecimal form.
using HexPairs = std::array<std::array<char, 2>, 256>;

constexpr HexPairs MakeHexPairs(std::string_view alphabet) {
  HexPairs pairs{};
  for (int b = 0; b < 256; ++b)
    pairs[b] = {alphabet[b >> 4], alphabet[b & 15]};
  return pairs;
}

constexpr char AsciiUpper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
}

// Hexadecimal decoding classes of every byte: 0-15 a digit's value, kHexPrefix for "X", "x"
// and "$" (case-insensitive match against the first 18 alphabet characters), kHexSkip for
// everything else.
constexpr std::uint8_t kHexPrefix = 16;
constexpr std::uint8_t kHexSkip = 0xFF;

constexpr PositionTable MakeHexDecodeTable(std::string_view alphabet) {
  PositionTable table{};
  for (auto& t : table)
    t = kHexSkip;
  for (int c = 0; c < 256; ++c) {
    const char up = AsciiUpper(static_cast<char>(c));
    for (std::size_t i = 0; i < 18 && i < alphabet.size(); ++i) {
      if (AsciiUpper(alphabet[i]) == up) {
        table[c] = i < 16 ? static_cast<std::uint8_t>(i) : kHexPrefix;
        break;
      }
    }
  }
  return table;
}

constexpr HexPairs kHexUpperPairs = MakeHexPairs(kHexAlphabet);
constexpr HexPairs kHexLowerPairs = MakeHexPairs(kHexLowerAlphabet);
constexpr PositionTable kHexDecode = MakeHexDecodeTable(kHexAlphabet);
constexpr PositionTable kHexPositions = AlphabetPositions(kHexAlphabet);
constexpr PositionTable kHexLowerPositions = AlphabetPositions(kHexLowerAlphabet);
constexpr PositionTable kMIME64Positions = AlphabetPositions(kMIME64Alphabet);
constexpr PositionTable kUUPositions = AlphabetPositions(kUUAlphabet);
constexpr PositionTable kXXPositions = AlphabetPositions(kXXAlphabet);

// The registry: filled on first use with the six built-in classes, in their documented order.
struct Registry {
  std::mutex mutex;
  std::vector<TStringFormatClass> classes;
};

Registry& FormatRegistry() {
  static Registry registry{
      {},
      {TStringFormat::Class(), TStringFormat_HEX::Class(), TStringFormat_HEXL::Class(),
       TStringFormat_MIME64::Class(), TStringFormat_UU::Class(), TStringFormat_XX::Class()}};
  return registry;
}

std::string FormatMessage(const char* pattern, const std::string& value) {
  std::string text(pattern);
  const std::size_t at = text.find('%');
  return text.replace(at, 2, value);
}

// Resolves the length convention of the entry points: negative counts up to the first zero.
std::string_view InputView(const void* data, std::int32_t length) {
  const char* p = static_cast<const char*>(data);
  if (length < 0) return std::string_view(p, std::strlen(p));
  return std::string_view(p, static_cast<std::size_t>(length));
}

enum class Direction { kEncode, kDecode };

std::string Convert(std::string_view input, int identifier, Direction direction) {
  if (input.data() == nullptr || identifier == 0 || input.empty()) return {};
  const TStringFormatClass format = FindFormat(identifier);
  if (format == nullptr) {
    throw EStringFormat(
        FormatMessage("String Format \"%d\" not exists.", std::to_string(identifier)));
  }
  if (direction == Direction::kDecode) {
    std::string bytes;
    if (!format->CheckAndDecode(input, bytes)) {
      throw EStringFormat(FormatMessage("Input is not an valid %s Format.", format->DisplayName()));
    }
    return bytes;
  }
  if (!format->CheckInput(input, false)) {
    throw EStringFormat(
        FormatMessage("Input can not be convert to %s Format.", format->DisplayName()));
  }
  return format->EncodeText(input);
}

}  // namespace

// ---- entry points and registry ----

std::string StrToFormat(const void* data, std::int32_t length, int identifier) {
  if (data == nullptr) return {};
  return Convert(InputView(data, length), identifier, Direction::kEncode);
}

std::string FormatToStr(const void* text, std::int32_t length, int identifier) {
  if (text == nullptr) return {};
  return Convert(InputView(text, length), identifier, Direction::kDecode);
}

std::string StrToFormat(std::string_view data, int identifier) {
  return Convert(data, identifier, Direction::kEncode);
}

std::string FormatToStr(std::string_view text, int identifier) {
  return Convert(text, identifier, Direction::kDecode);
}

void RegisterFormats(std::initializer_list<TStringFormatClass> classes) {
  Registry& registry = FormatRegistry();
  std::lock_guard lock(registry.mutex);
  for (TStringFormatClass cls : classes) {
    if (cls == nullptr) continue;
    const int identifier = cls->Identifier();
    if (identifier == -1) continue;
    auto same = std::find_if(registry.classes.begin(), registry.classes.end(),
                             [&](TStringFormatClass c) { return c->Identifier() == identifier; });
    if (same != registry.classes.end()) {
      *same = cls;
    } else {
      registry.classes.push_back(cls);
    }
  }
}

TStringFormatClass FindFormat(int identifier) {
  if (identifier == kFormatDefault) identifier = kFormatMIME64;
  Registry& registry = FormatRegistry();
  std::lock_guard lock(registry.mutex);
  for (TStringFormatClass cls : registry.classes) {
    if (cls->Identifier() == identifier) return cls;
  }
  return nullptr;
}

// ---- TStringFormat: the copy format ----

const TStringFormat* TStringFormat::Class() {
  static const TStringFormat instance;
  return &instance;
}

std::string TStringFormat::DecodeText(std::string_view text) const {
  return std::string(text);
}

std::string TStringFormat::EncodeText(std::string_view data) const {
  return std::string(data);
}

std::string TStringFormat::DisplayName() const {
  if (this == Class()) return "copy Input to Output";
  const std::string_view name = ClassName();
  const std::size_t underscore = name.find('_');
  if (underscore == std::string_view::npos) return std::string(name);
  return std::string(name.substr(underscore + 1));
}

bool TStringFormat::CheckInput(std::string_view, bool) const {
  return true;
}

bool TStringFormat::CheckAndDecode(std::string_view text, std::string& bytes) const {
  if (!CheckInput(text, true)) return false;
  bytes = DecodeText(text);
  return true;
}

bool TStringFormat::InheritsFrom(const TStringFormat* cls) const {
  for (const TStringFormat* c = this; c != nullptr; c = c->ClassParent()) {
    if (c == cls) return true;
  }
  return false;
}

// ---- TStringFormat_HEX and TStringFormat_HEXL ----

const TStringFormat_HEX* TStringFormat_HEX::Class() {
  static const TStringFormat_HEX instance;
  return &instance;
}

const TStringFormat_HEXL* TStringFormat_HEXL::Class() {
  static const TStringFormat_HEXL instance;
  return &instance;
}

std::string_view TStringFormat_HEX::Alphabet() const {
  return {kHexAlphabet, sizeof(kHexAlphabet) - 1};
}

std::string_view TStringFormat_HEXL::Alphabet() const {
  return {kHexLowerAlphabet, sizeof(kHexLowerAlphabet) - 1};
}

std::string TStringFormat_HEX::EncodeText(std::string_view data) const {
  const std::string_view alphabet = Alphabet();
  HexPairs custom;
  const HexPairs* pairs = &kHexUpperPairs;
  if (alphabet.data() == kHexLowerAlphabet) {
    pairs = &kHexLowerPairs;
  } else if (alphabet.data() != kHexAlphabet) {
    custom = MakeHexPairs(alphabet);
    pairs = &custom;
  }
  std::string text(data.size() * 2, '\0');
  char* out = text.data();
  const auto* in = reinterpret_cast<const unsigned char*>(data.data());
  for (std::size_t i = 0; i < data.size(); ++i) {
    std::memcpy(out + 2 * i, (*pairs)[in[i]].data(), 2);
  }
  return text;
}

std::string TStringFormat_HEX::DecodeText(std::string_view text) const {
  const std::string_view alphabet = Alphabet();
  PositionTable custom;
  const PositionTable* table = &kHexDecode;
  if (alphabet.data() != kHexAlphabet && alphabet.data() != kHexLowerAlphabet) {
    custom = MakeHexDecodeTable(alphabet);
    table = &custom;
  }
  const PositionTable& digit = *table;

  std::string bytes(text.size() / 2 + 1, '\0');
  auto* out = reinterpret_cast<unsigned char*>(bytes.data());
  const auto* in = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();
  std::size_t pos = 0;
  bool half = false;  // a high digit is waiting for its low digit at out[pos]
  bool prefix_seen = false;
  std::size_t i = 0;
  while (i < n) {
    // Fast path: two digits that form a whole byte.
    if (!half && i + 1 < n) {
      const std::uint8_t hi = digit[in[i]];
      const std::uint8_t lo = digit[in[i + 1]];
      if ((hi | lo) < 16) {
        out[pos++] = static_cast<unsigned char>(hi << 4 | lo);
        i += 2;
        continue;
      }
    }
    const std::uint8_t v = digit[in[i++]];
    if (v < 16) {
      if (!half) {
        out[pos] = static_cast<unsigned char>(v << 4);
      } else {
        out[pos++] |= v;
      }
      half = !half;
    } else if (v == kHexPrefix && !prefix_seen) {
      // The first "X", "x" or "$" discards everything before it.
      prefix_seen = true;
      pos = 0;
      half = false;
    }
  }
  // An unpaired last digit is dropped; it may belong to a key, so it is wiped.
  SecureWipe(bytes.data() + pos, bytes.size() - pos);
  bytes.resize(pos);
  return bytes;
}

bool TStringFormat_HEX::CheckInput(std::string_view input, bool decoding) const {
  if (!decoding) return true;
  const std::string_view alphabet = Alphabet();
  return formats_detail::AllInAlphabet(input, alphabet);
}

namespace formats_detail {

const PositionTable* KnownPositions(std::string_view alphabet) {
  if (alphabet.data() == kHexAlphabet) return &kHexPositions;
  if (alphabet.data() == kHexLowerAlphabet) return &kHexLowerPositions;
  if (alphabet.data() == kMIME64Alphabet) return &kMIME64Positions;
  if (alphabet.data() == kUUAlphabet) return &kUUPositions;
  if (alphabet.data() == kXXAlphabet) return &kXXPositions;
  return nullptr;
}

bool AllInAlphabet(std::string_view input, std::string_view alphabet) {
  PositionTable custom;
  const PositionTable* table = KnownPositions(alphabet);
  if (table == nullptr) {
    custom = AlphabetPositions(alphabet);
    table = &custom;
  }
  const PositionTable& positions = *table;
  // Branch-free over the whole input: the common case is valid text.
  std::uint8_t missing = 0;
  for (unsigned char c : input)
    missing |= positions[c] == kNotInAlphabet;
  return missing == 0;
}

}  // namespace formats_detail

}  // namespace pelvane
