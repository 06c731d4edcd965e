// Word access and rotations shared by the block ciphers whose blocks are made of 16- or 32-bit
// words: words loaded from and stored to byte arrays in a fixed order, independent of the
// machine's own order (stores take the destination first), rotations, byte extraction, and the
// factory a class descriptor uses.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>

#include "crypto/cipher/cipher.h"

namespace pelvane::block_words {

inline std::uint32_t LoadLe32(const std::uint8_t* p) noexcept {
  std::uint32_t v;
  std::memcpy(&v, p, 4);
  if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap32(v);
  return v;
}
inline std::uint32_t LoadBe32(const std::uint8_t* p) noexcept {
  std::uint32_t v;
  std::memcpy(&v, p, 4);
  if constexpr (std::endian::native == std::endian::little) v = __builtin_bswap32(v);
  return v;
}
inline void StoreLe32(std::uint8_t* p, std::uint32_t v) noexcept {
  if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap32(v);
  std::memcpy(p, &v, 4);
}
inline void StoreBe32(std::uint8_t* p, std::uint32_t v) noexcept {
  if constexpr (std::endian::native == std::endian::little) v = __builtin_bswap32(v);
  std::memcpy(p, &v, 4);
}
inline std::uint16_t LoadLe16(const std::uint8_t* p) noexcept {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint16_t LoadBe16(const std::uint8_t* p) noexcept {
  return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}
inline void StoreLe16(std::uint8_t* p, std::uint16_t v) noexcept {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void StoreBe16(std::uint8_t* p, std::uint16_t v) noexcept {
  p[0] = static_cast<std::uint8_t>(v >> 8);
  p[1] = static_cast<std::uint8_t>(v);
}

// Rotations by any count; only the low five bits of n count.
inline constexpr std::uint32_t Rotl32(std::uint32_t x, std::uint32_t n) noexcept {
  return std::rotl(x, static_cast<int>(n & 31));
}
inline constexpr std::uint32_t Rotr32(std::uint32_t x, std::uint32_t n) noexcept {
  return std::rotr(x, static_cast<int>(n & 31));
}

// Byte i (0 = least significant) of a word.
inline constexpr std::uint32_t Byte(std::uint32_t x, int i) noexcept {
  return (x >> (8 * i)) & 0xFF;
}

// The factory of a class descriptor: an object of T without a key.
template <typename T>
std::unique_ptr<TCipher> Make(std::shared_ptr<TProtection> protection) {
  return std::make_unique<T>(std::move(protection));
}

}  // namespace pelvane::block_words
