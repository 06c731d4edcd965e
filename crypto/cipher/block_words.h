// Word access and rotations shared by the block ciphers whose blocks are made of 16- or 32-bit
// words, and the factory every class descriptor uses.
#pragma once

#include <cstdint>
#include <memory>

#include "crypto/cipher/cipher.h"

namespace pelvane::blockword {

inline std::uint32_t LoadBe32(const std::uint8_t* p) noexcept {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
         std::uint32_t{p[3]};
}
inline void StoreBe32(std::uint32_t v, std::uint8_t* p) noexcept {
  p[0] = static_cast<std::uint8_t>(v >> 24);
  p[1] = static_cast<std::uint8_t>(v >> 16);
  p[2] = static_cast<std::uint8_t>(v >> 8);
  p[3] = static_cast<std::uint8_t>(v);
}
inline std::uint32_t LoadLe32(const std::uint8_t* p) noexcept {
  return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
         (std::uint32_t{p[3]} << 24);
}
inline void StoreLe32(std::uint32_t v, std::uint8_t* p) noexcept {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
  p[2] = static_cast<std::uint8_t>(v >> 16);
  p[3] = static_cast<std::uint8_t>(v >> 24);
}
inline std::uint16_t LoadBe16(const std::uint8_t* p) noexcept {
  return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}
inline void StoreBe16(std::uint16_t v, std::uint8_t* p) noexcept {
  p[0] = static_cast<std::uint8_t>(v >> 8);
  p[1] = static_cast<std::uint8_t>(v);
}
inline std::uint32_t Rotl32(std::uint32_t v, unsigned n) noexcept {
  n &= 31;
  return n == 0 ? v : (v << n) | (v >> (32 - n));
}
inline std::uint32_t Rotr32(std::uint32_t v, unsigned n) noexcept {
  n &= 31;
  return n == 0 ? v : (v >> n) | (v << (32 - n));
}

// The factory of a class descriptor: an object of T without a key.
template <typename T>
std::unique_ptr<TCipher> Make(std::shared_ptr<TProtection> protection) {
  return std::make_unique<T>(std::move(protection));
}

}  // namespace pelvane::blockword
