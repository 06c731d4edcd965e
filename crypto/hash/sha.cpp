// SHA (FIPS 180) and SHA-1 (FIPS 180-1): one compression function, unrolled, whose message
// schedule rotates its words (SHA-1) or not (SHA).
#include <bit>

#include "crypto/hash/hash.h"
#include "crypto/hash/hash_internal.h"

namespace pelvane {

namespace {

// The schedule keeps the last 16 words in a ring: word t (t >= 16) replaces word t - 16.
template <bool kRotate>
inline std::uint32_t NextWord(std::uint32_t* w, int t) {
  std::uint32_t v = w[(t + 13) & 15] ^ w[(t + 8) & 15] ^ w[(t + 2) & 15] ^ w[t & 15];
  if constexpr (kRotate) v = std::rotl(v, 1);
  w[t & 15] = v;
  return v;
}

#define SHA_STEP(a, b, c, d, e, f, k, word)  \
  e += std::rotl(a, 5) + (f) + (k) + (word); \
  b = std::rotl(b, 30)
#define SHA_CH(b, c, d) ((d) ^ ((b) & ((c) ^ (d))))
#define SHA_PARITY(b, c, d) ((b) ^ (c) ^ (d))
#define SHA_MAJ(b, c, d) (((b) & (c)) | ((d) & ((b) | (c))))

#define SHA_R0(a, b, c, d, e, t) SHA_STEP(a, b, c, d, e, SHA_CH(b, c, d), 0x5A827999u, w[t])
#define SHA_R1(a, b, c, d, e, t) \
  SHA_STEP(a, b, c, d, e, SHA_CH(b, c, d), 0x5A827999u, NextWord<kRotate>(w, t))
#define SHA_R2(a, b, c, d, e, t) \
  SHA_STEP(a, b, c, d, e, SHA_PARITY(b, c, d), 0x6ED9EBA1u, NextWord<kRotate>(w, t))
#define SHA_R3(a, b, c, d, e, t) \
  SHA_STEP(a, b, c, d, e, SHA_MAJ(b, c, d), 0x8F1BBCDCu, NextWord<kRotate>(w, t))
#define SHA_R4(a, b, c, d, e, t) \
  SHA_STEP(a, b, c, d, e, SHA_PARITY(b, c, d), 0xCA62C1D6u, NextWord<kRotate>(w, t))

// Five steps rotate the roles of the five working variables back to where they started.
#define SHA_FIVE(R, t)       \
  R(a, b, c, d, e, (t));     \
  R(e, a, b, c, d, (t) + 1); \
  R(d, e, a, b, c, (t) + 2); \
  R(c, d, e, a, b, (t) + 3); \
  R(b, c, d, e, a, (t) + 4)

template <bool kRotate>
void CompressPortable(std::uint32_t* state, const std::uint8_t* data, std::size_t count) {
  std::uint32_t h0 = state[0], h1 = state[1], h2 = state[2], h3 = state[3], h4 = state[4];
  for (; count > 0; --count, data += 64) {
    std::uint32_t w[16];
    for (int i = 0; i < 16; ++i)
      w[i] = hash_internal::LoadBigEndian32(data + 4 * i);
    std::uint32_t a = h0, b = h1, c = h2, d = h3, e = h4;
    SHA_FIVE(SHA_R0, 0);
    SHA_FIVE(SHA_R0, 5);
    SHA_FIVE(SHA_R0, 10);
    SHA_R0(a, b, c, d, e, 15);
    SHA_R1(e, a, b, c, d, 16);
    SHA_R1(d, e, a, b, c, 17);
    SHA_R1(c, d, e, a, b, 18);
    SHA_R1(b, c, d, e, a, 19);
    SHA_FIVE(SHA_R2, 20);
    SHA_FIVE(SHA_R2, 25);
    SHA_FIVE(SHA_R2, 30);
    SHA_FIVE(SHA_R2, 35);
    SHA_FIVE(SHA_R3, 40);
    SHA_FIVE(SHA_R3, 45);
    SHA_FIVE(SHA_R3, 50);
    SHA_FIVE(SHA_R3, 55);
    SHA_FIVE(SHA_R4, 60);
    SHA_FIVE(SHA_R4, 65);
    SHA_FIVE(SHA_R4, 70);
    SHA_FIVE(SHA_R4, 75);
    h0 += a;
    h1 += b;
    h2 += c;
    h3 += d;
    h4 += e;
  }
  state[0] = h0;
  state[1] = h1;
  state[2] = h2;
  state[3] = h3;
  state[4] = h4;
}

#undef SHA_FIVE
#undef SHA_R0
#undef SHA_R1
#undef SHA_R2
#undef SHA_R3
#undef SHA_R4
#undef SHA_MAJ
#undef SHA_PARITY
#undef SHA_CH
#undef SHA_STEP

}  // namespace

void THash_SHA::CompressBlocks(const std::uint8_t* data, std::size_t count) {
  if (rotate_schedule_) {
    CompressPortable<true>(state_.data(), data, count);
  } else {
    CompressPortable<false>(state_.data(), data, count);
  }
}

}  // namespace pelvane
