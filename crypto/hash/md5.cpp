// MD5 (RFC 1321): the compression function, fully unrolled.
#include <bit>

#include "crypto/hash/hash.h"
#include "crypto/hash/hash_internal.h"

namespace pelvane {

// One step: a := b + rotl(a + f(b, c, d) + word + constant, shift). The four functions are in
// forms with fewer operations (or shorter dependency chains) than the textbook ones but equal
// results; G adds its two disjoint terms separately.
#define MD5_F(a, b, c, d, word, shift, constant)          \
  a += ((d) ^ ((b) & ((c) ^ (d)))) + (word) + (constant); \
  a = std::rotl(a, shift) + (b)
#define MD5_G(a, b, c, d, word, shift, constant) \
  a += (word) + (constant) + ((c) & ~(d));       \
  a += (b) & (d);                                \
  a = std::rotl(a, shift) + (b)
#define MD5_H(a, b, c, d, word, shift, constant) \
  a += ((b) ^ (c) ^ (d)) + (word) + (constant);  \
  a = std::rotl(a, shift) + (b)
#define MD5_I(a, b, c, d, word, shift, constant)   \
  a += ((c) ^ ((b) | ~(d))) + (word) + (constant); \
  a = std::rotl(a, shift) + (b)

void THash_MD5::CompressBlocks(const std::uint8_t* data, std::size_t count) {
  std::uint32_t a0 = state_[0], b0 = state_[1], c0 = state_[2], d0 = state_[3];
  for (; count > 0; --count, data += 64) {
    std::uint32_t x[16];
    for (int i = 0; i < 16; ++i)
      x[i] = hash_internal::LoadLittleEndian32(data + 4 * i);
    std::uint32_t a = a0, b = b0, c = c0, d = d0;
    MD5_F(a, b, c, d, x[0], 7, 0xD76AA478u);
    MD5_F(d, a, b, c, x[1], 12, 0xE8C7B756u);
    MD5_F(c, d, a, b, x[2], 17, 0x242070DBu);
    MD5_F(b, c, d, a, x[3], 22, 0xC1BDCEEEu);
    MD5_F(a, b, c, d, x[4], 7, 0xF57C0FAFu);
    MD5_F(d, a, b, c, x[5], 12, 0x4787C62Au);
    MD5_F(c, d, a, b, x[6], 17, 0xA8304613u);
    MD5_F(b, c, d, a, x[7], 22, 0xFD469501u);
    MD5_F(a, b, c, d, x[8], 7, 0x698098D8u);
    MD5_F(d, a, b, c, x[9], 12, 0x8B44F7AFu);
    MD5_F(c, d, a, b, x[10], 17, 0xFFFF5BB1u);
    MD5_F(b, c, d, a, x[11], 22, 0x895CD7BEu);
    MD5_F(a, b, c, d, x[12], 7, 0x6B901122u);
    MD5_F(d, a, b, c, x[13], 12, 0xFD987193u);
    MD5_F(c, d, a, b, x[14], 17, 0xA679438Eu);
    MD5_F(b, c, d, a, x[15], 22, 0x49B40821u);
    MD5_G(a, b, c, d, x[1], 5, 0xF61E2562u);
    MD5_G(d, a, b, c, x[6], 9, 0xC040B340u);
    MD5_G(c, d, a, b, x[11], 14, 0x265E5A51u);
    MD5_G(b, c, d, a, x[0], 20, 0xE9B6C7AAu);
    MD5_G(a, b, c, d, x[5], 5, 0xD62F105Du);
    MD5_G(d, a, b, c, x[10], 9, 0x02441453u);
    MD5_G(c, d, a, b, x[15], 14, 0xD8A1E681u);
    MD5_G(b, c, d, a, x[4], 20, 0xE7D3FBC8u);
    MD5_G(a, b, c, d, x[9], 5, 0x21E1CDE6u);
    MD5_G(d, a, b, c, x[14], 9, 0xC33707D6u);
    MD5_G(c, d, a, b, x[3], 14, 0xF4D50D87u);
    MD5_G(b, c, d, a, x[8], 20, 0x455A14EDu);
    MD5_G(a, b, c, d, x[13], 5, 0xA9E3E905u);
    MD5_G(d, a, b, c, x[2], 9, 0xFCEFA3F8u);
    MD5_G(c, d, a, b, x[7], 14, 0x676F02D9u);
    MD5_G(b, c, d, a, x[12], 20, 0x8D2A4C8Au);
    MD5_H(a, b, c, d, x[5], 4, 0xFFFA3942u);
    MD5_H(d, a, b, c, x[8], 11, 0x8771F681u);
    MD5_H(c, d, a, b, x[11], 16, 0x6D9D6122u);
    MD5_H(b, c, d, a, x[14], 23, 0xFDE5380Cu);
    MD5_H(a, b, c, d, x[1], 4, 0xA4BEEA44u);
    MD5_H(d, a, b, c, x[4], 11, 0x4BDECFA9u);
    MD5_H(c, d, a, b, x[7], 16, 0xF6BB4B60u);
    MD5_H(b, c, d, a, x[10], 23, 0xBEBFBC70u);
    MD5_H(a, b, c, d, x[13], 4, 0x289B7EC6u);
    MD5_H(d, a, b, c, x[0], 11, 0xEAA127FAu);
    MD5_H(c, d, a, b, x[3], 16, 0xD4EF3085u);
    MD5_H(b, c, d, a, x[6], 23, 0x04881D05u);
    MD5_H(a, b, c, d, x[9], 4, 0xD9D4D039u);
    MD5_H(d, a, b, c, x[12], 11, 0xE6DB99E5u);
    MD5_H(c, d, a, b, x[15], 16, 0x1FA27CF8u);
    MD5_H(b, c, d, a, x[2], 23, 0xC4AC5665u);
    MD5_I(a, b, c, d, x[0], 6, 0xF4292244u);
    MD5_I(d, a, b, c, x[7], 10, 0x432AFF97u);
    MD5_I(c, d, a, b, x[14], 15, 0xAB9423A7u);
    MD5_I(b, c, d, a, x[5], 21, 0xFC93A039u);
    MD5_I(a, b, c, d, x[12], 6, 0x655B59C3u);
    MD5_I(d, a, b, c, x[3], 10, 0x8F0CCC92u);
    MD5_I(c, d, a, b, x[10], 15, 0xFFEFF47Du);
    MD5_I(b, c, d, a, x[1], 21, 0x85845DD1u);
    MD5_I(a, b, c, d, x[8], 6, 0x6FA87E4Fu);
    MD5_I(d, a, b, c, x[15], 10, 0xFE2CE6E0u);
    MD5_I(c, d, a, b, x[6], 15, 0xA3014314u);
    MD5_I(b, c, d, a, x[13], 21, 0x4E0811A1u);
    MD5_I(a, b, c, d, x[4], 6, 0xF7537E82u);
    MD5_I(d, a, b, c, x[11], 10, 0xBD3AF235u);
    MD5_I(c, d, a, b, x[2], 15, 0x2AD7D2BBu);
    MD5_I(b, c, d, a, x[9], 21, 0xEB86D391u);
    a0 += a;
    b0 += b;
    c0 += c;
    d0 += d;
  }
  state_[0] = a0;
  state_[1] = b0;
  state_[2] = c0;
  state_[3] = d0;
}

#undef MD5_F
#undef MD5_G
#undef MD5_H
#undef MD5_I

}  // namespace pelvane
