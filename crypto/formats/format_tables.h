// Internal to the string formats: the alphabets of the built-in format classes and
// compile-time lookup tables built from them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace pelvane::formats_detail {

// Upper-case digits first; lower-case letters and prefix/separator characters are accepted
// when decoding.
inline constexpr char kHexAlphabet[] =
    "0123456789ABCDEF"
    "X$ "
    "abcdef"
    "hHx"
    "()[]{},;:-_/"
    "\\*+\"'"
    "\t\n\r";
inline constexpr char kHexLowerAlphabet[] =
    "0123456789abcdef"
    "X$ "
    "ABCDEF"
    "hHx"
    "()[]{},;:-_/"
    "\\*+\"'"
    "\t\n\r";
// The 64 value characters, the padding "=", then characters that decoding skips.
inline constexpr char kMIME64Alphabet[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/"
    "="
    " $()[]{},;:-_\\*\"'\t\n\r";
// The grave accent for 0, "!" to "_" for 1-63, then characters that decoding skips.
inline constexpr char kUUAlphabet[] =
    "`!\"#$%&'()*+,-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_"
    " \t\n\r";
inline constexpr char kXXAlphabet[] =
    "+-0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
    " \"()[]'\t\n\r";

static_assert(sizeof(kHexAlphabet) - 1 == 48 && sizeof(kHexLowerAlphabet) - 1 == 48);
static_assert(sizeof(kMIME64Alphabet) - 1 == 85);
static_assert(sizeof(kUUAlphabet) - 1 == 68);
static_assert(sizeof(kXXAlphabet) - 1 == 74);

// For each byte, its position in an alphabet (the first occurrence), or kNotInAlphabet.
using PositionTable = std::array<std::uint8_t, 256>;
inline constexpr std::uint8_t kNotInAlphabet = 0xFF;

// The positions of the first `count` characters of the alphabet.
constexpr PositionTable AlphabetPositions(std::string_view alphabet,
                                          std::size_t count = std::string_view::npos) {
  PositionTable table{};
  for (auto& t : table)
    t = kNotInAlphabet;
  const std::size_t n = count < alphabet.size() ? count : alphabet.size();
  for (std::size_t i = n; i-- > 0;) {
    table[static_cast<unsigned char>(alphabet[i])] = static_cast<std::uint8_t>(i);
  }
  return table;
}

// The whole-alphabet position table of a built-in alphabet, or nullptr for any other.
const PositionTable* KnownPositions(std::string_view alphabet);

// True if every input character occurs somewhere in the alphabet.
bool AllInAlphabet(std::string_view input, std::string_view alphabet);

}  // namespace pelvane::formats_detail
