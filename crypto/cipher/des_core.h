// The DES block function (FIPS 46) in table-driven form: the eight S-boxes merged with the P
// permutation into 64-entry tables, the initial and final permutations done by exchanging bit
// groups between the two 32-bit halves, and key schedules cooked once per key into the layout
// the round function reads. Internal to the DES family of ciphers; everything but the schedule
// set-up is inline so that multi-stage block functions compile into one piece.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace pelvane::des {

// One schedule: 16 rounds of two 32-bit words.
inline constexpr std::size_t kScheduleWords = 32;
inline constexpr std::size_t kScheduleBytes = kScheduleWords * sizeof(std::uint32_t);

// Builds the encryption (decrypt == false, rounds 1..16) or decryption schedule (the same
// subkeys in reverse order) of the 8-byte key. Parity bits are ignored; every key is accepted.
void MakeSchedule(const std::uint8_t key[8], bool decrypt, std::uint32_t out[kScheduleWords]);

// A DES block held as two 32-bit words in the permuted form the rounds work on: the initial
// permutation applied, each word rotated to line up with the tables.
struct Halves {
  std::uint32_t l;
  std::uint32_t r;
};

namespace detail {

inline constexpr std::uint8_t kSBox[8][64] = {
    {14, 4,  13, 1, 2,  15, 11, 8, 3, 10, 6, 12, 5,  9,  0,  7,  0,  15, 7,  4,  14, 2,
     13, 1,  10, 6, 12, 11, 9,  5, 3, 8,  4, 1,  14, 8,  13, 6,  2,  11, 15, 12, 9,  7,
     3,  10, 5,  0, 15, 12, 8,  2, 4, 9,  1, 7,  5,  11, 3,  14, 10, 0,  6,  13},
    {15, 1,  8,  14, 6,  11, 3,  4, 9,  7,  2, 13, 12, 0,  5,  10, 3,  13, 4,  7, 15, 2,
     8,  14, 12, 0,  1,  10, 6,  9, 11, 5,  0, 14, 7,  11, 10, 4,  13, 1,  5,  8, 12, 6,
     9,  3,  2,  15, 13, 8,  10, 1, 3,  15, 4, 2,  11, 6,  7,  12, 0,  5,  14, 9},
    {10, 0,  9,  14, 6, 3,  15, 5,  1,  13, 12, 7, 11, 4,  2,  8,  13, 7, 0,  9, 3, 4,
     6,  10, 2,  8,  5, 14, 12, 11, 15, 1,  13, 6, 4,  9,  8,  15, 3,  0, 11, 1, 2, 12,
     5,  10, 14, 7,  1, 10, 13, 0,  6,  9,  8,  7, 4,  15, 14, 3,  11, 5, 2,  12},
    {7, 13, 14, 3, 0, 6,  9, 10, 1,  2, 8,  5, 11, 12, 4,  15, 13, 8,  11, 5, 6, 15,
     0, 3,  4,  7, 2, 12, 1, 10, 14, 9, 10, 6, 9,  0,  12, 11, 7,  13, 15, 1, 3, 14,
     5, 2,  8,  4, 3, 15, 0, 6,  10, 1, 13, 8, 9,  4,  5,  11, 12, 7,  2,  14},
    {2,  12, 4, 1,  7,  10, 11, 6, 8, 5,  3, 15, 13, 0,  14, 9,  14, 11, 2,  12, 4,  7,
     13, 1,  5, 0,  15, 10, 3,  9, 8, 6,  4, 2,  1,  11, 10, 13, 7,  8,  15, 9,  12, 5,
     6,  3,  0, 14, 11, 8,  12, 7, 1, 14, 2, 13, 6,  15, 0,  9,  10, 4,  5,  3},
    {12, 1,  10, 15, 9,  2,  6, 8,  0, 13, 3,  4,  14, 7,  5, 11, 10, 15, 4, 2, 7, 12,
     9,  5,  6,  1,  13, 14, 0, 11, 3, 8,  9,  14, 15, 5,  2, 8,  12, 3,  7, 0, 4, 10,
     1,  13, 11, 6,  4,  3,  2, 12, 9, 5,  15, 10, 11, 14, 1, 7,  6,  0,  8, 13},
    {4, 11, 2,  14, 15, 0,  8,  13, 3, 12, 9,  7, 5,  10, 6,  1,  13, 0,  11, 7,  4, 9,
     1, 10, 14, 3,  5,  12, 2,  15, 8, 6,  1,  4, 11, 13, 12, 3,  7,  14, 10, 15, 6, 8,
     0, 5,  9,  2,  6,  11, 13, 8,  1, 4,  10, 7, 9,  5,  0,  15, 14, 2,  3,  12},
    {13, 2, 8,  4, 6, 15, 11, 1,  10, 9,  3, 14, 5,  0,  12, 7,  1,  15, 13, 8, 10, 3,
     7,  4, 12, 5, 6, 11, 0,  14, 9,  2,  7, 11, 4,  1,  9,  12, 14, 2,  0,  6, 10, 13,
     15, 3, 5,  8, 2, 1,  14, 7,  4,  10, 8, 13, 15, 12, 9,  0,  3,  5,  6,  11},
};

// The permutation P applied to the S-box outputs (bit 1 is the most significant).
inline constexpr std::uint8_t kP[32] = {16, 7, 20, 21, 29, 12, 28, 17, 1,  15, 23,
                                        26, 5, 18, 31, 10, 2,  8,  24, 14, 32, 27,
                                        3,  9, 19, 13, 30, 6,  22, 11, 4,  25};
inline constexpr std::uint8_t kPC1[56] = {57, 49, 41, 33, 25, 17, 9,  1,  58, 50, 42, 34, 26, 18,
                                          10, 2,  59, 51, 43, 35, 27, 19, 11, 3,  60, 52, 44, 36,
                                          63, 55, 47, 39, 31, 23, 15, 7,  62, 54, 46, 38, 30, 22,
                                          14, 6,  61, 53, 45, 37, 29, 21, 13, 5,  28, 20, 12, 4};
inline constexpr std::uint8_t kPC2[48] = {
    14, 17, 11, 24, 1,  5,  3,  28, 15, 6,  21, 10, 23, 19, 12, 4,  26, 8,  16, 7,  27, 20, 13, 2,
    41, 52, 31, 37, 47, 55, 30, 40, 51, 45, 33, 48, 44, 49, 39, 56, 34, 53, 46, 42, 50, 36, 29, 32};
inline constexpr std::uint8_t kShifts[16] = {1, 1, 2, 2, 2, 2, 2, 2, 1, 2, 2, 2, 2, 2, 2, 1};

constexpr std::uint32_t Rotl(std::uint32_t x, int n) noexcept {
  return (x << n) | (x >> ((32 - n) & 31));
}
constexpr std::uint32_t Rotr(std::uint32_t x, int n) noexcept {
  return (x >> n) | (x << ((32 - n) & 31));
}

// The halves are kept rotated right by 3 bits. Then the expansion E needs no bit gathering:
// the S-box inputs 1, 3, 5, 7 are the low six bits of the bytes of r (most significant byte
// first), and those of S-boxes 2, 4, 6, 8 the same bits of r rotated left by 4.
inline constexpr int kStateRotation = 3;

// SP[i][x]: output of S-box i+1 for the six-bit input x, placed by P and rotated like the halves.
constexpr std::array<std::array<std::uint32_t, 64>, 8> MakeSpTables() {
  std::array<std::array<std::uint32_t, 64>, 8> sp{};
  for (int box = 0; box < 8; ++box) {
    for (int x = 0; x < 64; ++x) {
      const int row = ((x >> 4) & 2) | (x & 1);
      const int col = (x >> 1) & 15;
      const std::uint32_t s = kSBox[box][row * 16 + col];
      // Before P the four output bits of box i are bits 4i+1..4i+4 (1 = most significant).
      const std::uint32_t pre = s << (28 - 4 * box);
      std::uint32_t post = 0;
      for (int i = 0; i < 32; ++i) {
        if ((pre >> (32 - kP[i])) & 1) post |= 1u << (31 - i);
      }
      sp[box][x] = Rotr(post, kStateRotation);
    }
  }
  return sp;
}

// The same tables over whole bytes: entry b is SP[i][b & 63], so the round function indexes
// them with the bytes of a word and needs no masks.
constexpr std::array<std::array<std::uint32_t, 256>, 8> MakeSpByteTables() {
  const auto sp = MakeSpTables();
  std::array<std::array<std::uint32_t, 256>, 8> wide{};
  for (int box = 0; box < 8; ++box) {
    for (int b = 0; b < 256; ++b)
      wide[box][b] = sp[box][b & 63];
  }
  return wide;
}

alignas(64) inline constexpr auto kSp = MakeSpByteTables();

inline void DeltaSwap(std::uint32_t& a, std::uint32_t& b, int shift, std::uint32_t mask) noexcept {
  const std::uint32_t t = ((a >> shift) ^ b) & mask;
  b ^= t;
  a ^= t << shift;
}

// The round function: expansion, key addition, S-boxes and P, in the rotated layout. The
// inputs of S-boxes 2, 4, 6, 8 sit 4 bits further right in r (the key word is laid out to
// match), and the input of S-box 8 wraps around the word's ends. Rotated right by 4, that second
// key addition has them in the low six bits of its bytes, like the first one has the inputs of
// S-boxes 1, 3, 5, 7; so every table index is a byte of u or t.
inline std::uint32_t F(std::uint32_t r, const std::uint32_t* k) noexcept {
  const std::uint32_t u = r ^ k[0];
  const std::uint32_t t = Rotr(r ^ k[1], 4);
  return kSp[0][u >> 24] ^ kSp[2][(u >> 16) & 0xFF] ^ kSp[4][(u >> 8) & 0xFF] ^ kSp[6][u & 0xFF] ^
         kSp[7][t >> 24] ^ kSp[1][(t >> 16) & 0xFF] ^ kSp[3][(t >> 8) & 0xFF] ^ kSp[5][t & 0xFF];
}

inline Halves Rounds16(Halves h, const std::uint32_t* k) noexcept {
  std::uint32_t l = h.l;
  std::uint32_t r = h.r;
  for (int i = 0; i < 8; ++i, k += 4) {
    l ^= F(r, k);
    r ^= F(l, k + 2);
  }
  // The output of the sixteen rounds is R16 L16.
  return {r, l};
}

inline std::uint32_t LoadBe(const std::uint8_t* p) noexcept {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
         std::uint32_t{p[3]};
}
inline void StoreBe(std::uint32_t v, std::uint8_t* p) noexcept {
  p[0] = static_cast<std::uint8_t>(v >> 24);
  p[1] = static_cast<std::uint8_t>(v >> 16);
  p[2] = static_cast<std::uint8_t>(v >> 8);
  p[3] = static_cast<std::uint8_t>(v);
}

inline Halves LoadInline(const std::uint8_t* in) noexcept {
  std::uint32_t l = LoadBe(in);
  std::uint32_t r = LoadBe(in + 4);
  // The initial permutation as five exchanges of bit groups between the halves.
  DeltaSwap(l, r, 4, 0x0f0f0f0fu);
  DeltaSwap(l, r, 16, 0x0000ffffu);
  DeltaSwap(r, l, 2, 0x33333333u);
  DeltaSwap(r, l, 8, 0x00ff00ffu);
  DeltaSwap(l, r, 1, 0x55555555u);
  return {Rotr(l, kStateRotation), Rotr(r, kStateRotation)};
}

inline void StoreInline(Halves h, std::uint8_t* out) noexcept {
  std::uint32_t l = Rotl(h.l, kStateRotation);
  std::uint32_t r = Rotl(h.r, kStateRotation);
  // The final permutation undoes the exchanges in reverse order.
  DeltaSwap(l, r, 1, 0x55555555u);
  DeltaSwap(r, l, 8, 0x00ff00ffu);
  DeltaSwap(r, l, 2, 0x33333333u);
  DeltaSwap(l, r, 16, 0x0000ffffu);
  DeltaSwap(l, r, 4, 0x0f0f0f0fu);
  StoreBe(l, out);
  StoreBe(r, out + 4);
}

}  // namespace detail

// Block bytes to permuted halves (initial permutation) and back (final permutation).
inline Halves Load(const std::uint8_t* in) noexcept {
  return detail::LoadInline(in);
}
inline void Store(Halves h, std::uint8_t* out) noexcept {
  detail::StoreInline(h, out);
}

// Sixteen rounds with one schedule, including the exchange of the halves at the end: the result
// is what the final permutation would turn into the DES output, so stages can follow each other
// without leaving the permuted form.
inline Halves Rounds(Halves h, const std::uint32_t* schedule) noexcept {
  return detail::Rounds16(h, schedule);
}

// Exchanges bytes 4-7 of block a with bytes 0-3 of block b, both held in permuted form.
inline void ExchangeMiddle(Halves& a, Halves& b) noexcept {
  // In permuted form every byte holds one bit of each input byte: bytes 4-7 of the block give
  // the high nibble, bytes 0-3 the low nibble. So the exchange swaps the high nibbles of a with
  // the low nibbles of b, in the rotated layout of the halves.
  constexpr std::uint32_t kMask = detail::Rotr(0x0f0f0f0fu, detail::kStateRotation);
  std::uint32_t t = (detail::Rotr(a.l, 4) ^ b.l) & kMask;
  b.l ^= t;
  a.l ^= detail::Rotl(t, 4);
  t = (detail::Rotr(a.r, 4) ^ b.r) & kMask;
  b.r ^= t;
  a.r ^= detail::Rotl(t, 4);
}

// A block of N DES blocks (8N bytes) through three stages with schedules s1, s2, s3; between
// the stages bytes 4-7 and 8-11 change places (blocks 0 and 1 only). N == 1 is plain triple
// (or EDE double) DES. Within a stage the N DES blocks are independent, so they overlap.
template <int N>
inline void Crypt3Stage(std::uint8_t* block, const std::uint32_t* s1, const std::uint32_t* s2,
                        const std::uint32_t* s3) noexcept {
  Halves h[N];
  for (int i = 0; i < N; ++i)
    h[i] = Load(block + 8 * i);
  for (int i = 0; i < N; ++i)
    h[i] = Rounds(h[i], s1);
  if constexpr (N > 1) ExchangeMiddle(h[0], h[1]);
  for (int i = 0; i < N; ++i)
    h[i] = Rounds(h[i], s2);
  if constexpr (N > 1) ExchangeMiddle(h[0], h[1]);
  for (int i = 0; i < N; ++i)
    h[i] = Rounds(h[i], s3);
  for (int i = 0; i < N; ++i)
    Store(h[i], block + 8 * i);
}

// Single DES over an 8-byte block in place.
inline void Crypt(std::uint8_t* block, const std::uint32_t* schedule) noexcept {
  Store(Rounds(Load(block), schedule), block);
}

}  // namespace pelvane::des
