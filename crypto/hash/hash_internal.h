// Word loads shared by the compression functions.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

namespace pelvane::hash_internal {

// SHA and SHA-1 use the processor's SHA extensions where it has them. Tests and benchmarks
// set this to false to run the portable code instead.
extern bool g_sha_use_extensions;

inline std::uint32_t ByteSwap32(std::uint32_t v) {
  return __builtin_bswap32(v);
}

inline std::uint32_t LoadLittleEndian32(const std::uint8_t* p) {
  std::uint32_t v;
  std::memcpy(&v, p, 4);
  if constexpr (std::endian::native == std::endian::big) v = ByteSwap32(v);
  return v;
}

inline std::uint32_t LoadBigEndian32(const std::uint8_t* p) {
  std::uint32_t v;
  std::memcpy(&v, p, 4);
  if constexpr (std::endian::native == std::endian::little) v = ByteSwap32(v);
  return v;
}

}  // namespace pelvane::hash_internal
