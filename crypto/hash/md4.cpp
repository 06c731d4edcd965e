// MD4 (RFC 1320): the compression function. Reset, Update and Finish, which the whole 64-byte
// block family shares, are in hash.cpp.
#include <bit>

#include "crypto/hash/hash.h"
#include "crypto/secure.h"

namespace pelvane {

void THash_MD4::CompressBlocks(const std::uint8_t* data, std::size_t count) {
  auto f = [](std::uint32_t x, std::uint32_t y, std::uint32_t z) { return (x & y) | (~x & z); };
  auto g = [](std::uint32_t x, std::uint32_t y, std::uint32_t z) {
    return (x & y) | (x & z) | (y & z);
  };
  auto h = [](std::uint32_t x, std::uint32_t y, std::uint32_t z) { return x ^ y ^ z; };
  static constexpr int kOrder2[16] = {0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15};
  static constexpr int kOrder3[16] = {0, 8, 4, 12, 2, 10, 6, 14, 1, 9, 5, 13, 3, 11, 7, 15};
  static constexpr int kShift1[4] = {3, 7, 11, 19};
  static constexpr int kShift2[4] = {3, 5, 9, 13};
  static constexpr int kShift3[4] = {3, 9, 11, 15};
  for (; count > 0; --count, data += 64) {
    std::uint32_t x[16];
    for (int i = 0; i < 16; ++i) {
      x[i] = static_cast<std::uint32_t>(data[4 * i]) |
             static_cast<std::uint32_t>(data[4 * i + 1]) << 8 |
             static_cast<std::uint32_t>(data[4 * i + 2]) << 16 |
             static_cast<std::uint32_t>(data[4 * i + 3]) << 24;
    }
    std::uint32_t v[4] = {state_[0], state_[1], state_[2], state_[3]};
    // Step i updates word (-i mod 4) from the other three, in the order b, c, d after it.
    auto step = [&](int i, std::uint32_t t, int s) {
      std::uint32_t& a = v[(4 - i % 4) % 4];
      a = std::rotl(a + t, s);
    };
    for (int i = 0; i < 16; ++i) {
      const int a = (4 - i % 4) % 4;
      step(i, f(v[(a + 1) % 4], v[(a + 2) % 4], v[(a + 3) % 4]) + x[i], kShift1[i % 4]);
    }
    for (int i = 0; i < 16; ++i) {
      const int a = (4 - i % 4) % 4;
      step(i, g(v[(a + 1) % 4], v[(a + 2) % 4], v[(a + 3) % 4]) + x[kOrder2[i]] + 0x5A827999u,
           kShift2[i % 4]);
    }
    for (int i = 0; i < 16; ++i) {
      const int a = (4 - i % 4) % 4;
      step(i, h(v[(a + 1) % 4], v[(a + 2) % 4], v[(a + 3) % 4]) + x[kOrder3[i]] + 0x6ED9EBA1u,
           kShift3[i % 4]);
    }
    for (int i = 0; i < 4; ++i)
      state_[i] += v[i];
    SecureWipe(x, sizeof x);
  }
}

}  // namespace pelvane
