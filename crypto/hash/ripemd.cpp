// RIPEMD-128, -160, -256 and -320 as published by their authors: two parallel lines of
// 16-step rounds over each 64-byte block (little-endian words). The 256- and 320-bit variants
// keep the two lines apart and exchange one variable after every round.
#include <bit>
#include <utility>

#include "crypto/hash/hash.h"
#include "crypto/hash/hash_internal.h"

namespace pelvane {

namespace {

using Word = std::uint32_t;

// Message word order and rotation amounts of the left and right lines, 16 per round.
constexpr int kLeftWord[80] = {0, 1,  2,  3,  4,  5,  6,  7,  8,  9, 10, 11, 12, 13, 14, 15,  //
                               7, 4,  13, 1,  10, 6,  15, 3,  12, 0, 9,  5,  2,  14, 11, 8,   //
                               3, 10, 14, 4,  9,  15, 8,  1,  2,  7, 0,  6,  13, 11, 5,  12,  //
                               1, 9,  11, 10, 0,  8,  12, 4,  13, 3, 7,  15, 14, 5,  6,  2,   //
                               4, 0,  5,  9,  7,  12, 2,  10, 14, 1, 3,  8,  11, 6,  15, 13};
constexpr int kRightWord[80] = {5,  14, 7,  0, 9, 2,  11, 4,  13, 6,  15, 8,  1,  10, 3,  12,  //
                                6,  11, 3,  7, 0, 13, 5,  10, 14, 15, 8,  12, 4,  9,  1,  2,   //
                                15, 5,  1,  3, 7, 14, 6,  9,  11, 8,  12, 2,  10, 0,  4,  13,  //
                                8,  6,  4,  1, 3, 11, 15, 0,  5,  12, 2,  13, 9,  7,  10, 14,  //
                                12, 15, 10, 4, 1, 5,  8,  7,  6,  2,  13, 14, 0,  3,  9,  11};
constexpr int kLeftShift[80] = {11, 14, 15, 12, 5,  8,  7,  9,  11, 13, 14, 15, 6,  7,  9,  8,   //
                                7,  6,  8,  13, 11, 9,  7,  15, 7,  12, 15, 9,  11, 7,  13, 12,  //
                                11, 13, 6,  7,  14, 9,  13, 15, 14, 8,  13, 6,  5,  12, 7,  5,   //
                                11, 12, 14, 15, 14, 15, 9,  8,  9,  14, 5,  6,  8,  6,  5,  12,  //
                                9,  15, 5,  11, 6,  8,  13, 12, 5,  12, 13, 14, 11, 8,  5,  6};
constexpr int kRightShift[80] = {8,  9,  9,  11, 13, 15, 15, 5,  7,  7,  8,  11, 14, 14, 12, 6,   //
                                 9,  13, 15, 7,  12, 8,  9,  11, 7,  7,  12, 7,  6,  15, 13, 11,  //
                                 9,  7,  15, 11, 8,  6,  6,  14, 12, 13, 5,  14, 13, 13, 7,  5,   //
                                 15, 5,  8,  11, 14, 14, 6,  14, 6,  9,  12, 9,  12, 5,  15, 8,   //
                                 8,  5,  12, 9,  12, 5,  14, 6,  8,  13, 6,  5,  15, 13, 11, 11};

// Round constants of the five-round (160/320) variants; the four-round ones use the first
// four of the left line and 50A28BE6, 5C4DD124, 6D703EF3, 0 on the right.
constexpr Word kLeftConstant[5] = {0x00000000u, 0x5A827999u, 0x6ED9EBA1u, 0x8F1BBCDCu, 0xA953FD4Eu};
constexpr Word kRightConstant5[5] = {0x50A28BE6u, 0x5C4DD124u, 0x6D703EF3u, 0x7A6D76E9u,
                                     0x00000000u};
constexpr Word kRightConstant4[4] = {0x50A28BE6u, 0x5C4DD124u, 0x6D703EF3u, 0x00000000u};

// The five boolean functions; round r of the left line uses F(r), the right line the
// functions in reverse order.
inline Word F(int function, Word x, Word y, Word z) {
  switch (function) {
    case 0:
      return x ^ y ^ z;
    case 1:
      return (x & y) | (~x & z);
    case 2:
      return (x | ~y) ^ z;
    case 3:
      return (x & z) | (y & ~z);
    default:
      return x ^ (y | ~z);
  }
}

void LoadBlock(const std::uint8_t* data, Word* x) {
  for (int i = 0; i < 16; ++i)
    x[i] = hash_internal::LoadLittleEndian32(data + 4 * i);
}

// One step of a four-round line on (a, b, c, d).
inline void Step4(Word* v, int function, Word word, Word constant, int shift) {
  const Word t = std::rotl(v[0] + F(function, v[1], v[2], v[3]) + word + constant, shift);
  v[0] = v[3];
  v[3] = v[2];
  v[2] = v[1];
  v[1] = t;
}

// One step of a five-round line on (a, b, c, d, e).
inline void Step5(Word* v, int function, Word word, Word constant, int shift) {
  const Word t = std::rotl(v[0] + F(function, v[1], v[2], v[3]) + word + constant, shift) + v[4];
  v[0] = v[4];
  v[4] = v[3];
  v[3] = std::rotl(v[2], 10);
  v[2] = v[1];
  v[1] = t;
}

// The rounds of the 128/256 lines; exchange_after_round true gives RIPEMD-256's exchange of
// the r-th variable after round r.
void Lines4(const Word* x, Word* left, Word* right, bool exchange) {
  for (int j = 0; j < 64; ++j) {
    const int round = j / 16;
    Step4(left, round, x[kLeftWord[j]], kLeftConstant[round], kLeftShift[j]);
    Step4(right, 3 - round, x[kRightWord[j]], kRightConstant4[round], kRightShift[j]);
    if (exchange && j % 16 == 15) std::swap(left[round], right[round]);
  }
}

// The rounds of the 160/320 lines; RIPEMD-320 exchanges b, d, a, c, e after rounds 1 to 5.
void Lines5(const Word* x, Word* left, Word* right, bool exchange) {
  static constexpr int kExchanged[5] = {1, 3, 0, 2, 4};
  for (int j = 0; j < 80; ++j) {
    const int round = j / 16;
    Step5(left, round, x[kLeftWord[j]], kLeftConstant[round], kLeftShift[j]);
    Step5(right, 4 - round, x[kRightWord[j]], kRightConstant5[round], kRightShift[j]);
    if (exchange && j % 16 == 15) std::swap(left[kExchanged[round]], right[kExchanged[round]]);
  }
}

}  // namespace

void THash_RipeMD128::CompressBlocks(const std::uint8_t* data, std::size_t count) {
  Word* h = state_.data();
  for (; count > 0; --count, data += 64) {
    Word x[16];
    LoadBlock(data, x);
    Word l[4] = {h[0], h[1], h[2], h[3]};
    Word r[4] = {h[0], h[1], h[2], h[3]};
    Lines4(x, l, r, false);
    const Word t = h[1] + l[2] + r[3];
    h[1] = h[2] + l[3] + r[0];
    h[2] = h[3] + l[0] + r[1];
    h[3] = h[0] + l[1] + r[2];
    h[0] = t;
  }
}

void THash_RipeMD256::CompressBlocks(const std::uint8_t* data, std::size_t count) {
  Word* h = state_.data();
  for (; count > 0; --count, data += 64) {
    Word x[16];
    LoadBlock(data, x);
    Word l[4] = {h[0], h[1], h[2], h[3]};
    Word r[4] = {h[4], h[5], h[6], h[7]};
    Lines4(x, l, r, true);
    for (int i = 0; i < 4; ++i) {
      h[i] += l[i];
      h[4 + i] += r[i];
    }
  }
}

void THash_RipeMD160::CompressBlocks(const std::uint8_t* data, std::size_t count) {
  Word* h = state_.data();
  for (; count > 0; --count, data += 64) {
    Word x[16];
    LoadBlock(data, x);
    Word l[5] = {h[0], h[1], h[2], h[3], h[4]};
    Word r[5] = {h[0], h[1], h[2], h[3], h[4]};
    Lines5(x, l, r, false);
    const Word t = h[1] + l[2] + r[3];
    h[1] = h[2] + l[3] + r[4];
    h[2] = h[3] + l[4] + r[0];
    h[3] = h[4] + l[0] + r[1];
    h[4] = h[0] + l[1] + r[2];
    h[0] = t;
  }
}

void THash_RipeMD320::CompressBlocks(const std::uint8_t* data, std::size_t count) {
  Word* h = state_.data();
  for (; count > 0; --count, data += 64) {
    Word x[16];
    LoadBlock(data, x);
    Word l[5] = {h[0], h[1], h[2], h[3], h[4]};
    Word r[5] = {h[5], h[6], h[7], h[8], h[9]};
    Lines5(x, l, r, true);
    for (int i = 0; i < 5; ++i) {
      h[i] += l[i];
      h[5 + i] += r[i];
    }
  }
}

}  // namespace pelvane
