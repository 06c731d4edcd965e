#include "crypto/cipher/cast.h"

#include <array>
#include <cstring>

#include "crypto/cipher/block_words.h"
#include "crypto/secure.h"

namespace pelvane {
namespace {

#include "crypto/cipher/cast_sboxes.inc"

using block_words::LoadBe32;
using block_words::Rotl32;
using block_words::StoreBe32;

constexpr const std::uint32_t* S1 = kCastS[0];
constexpr const std::uint32_t* S2 = kCastS[1];
constexpr const std::uint32_t* S3 = kCastS[2];
constexpr const std::uint32_t* S4 = kCastS[3];
constexpr const std::uint32_t* S5 = kCastS[4];
constexpr const std::uint32_t* S6 = kCastS[5];
constexpr const std::uint32_t* S7 = kCastS[6];
constexpr const std::uint32_t* S8 = kCastS[7];

// The stored reference ciphertext: the 32-byte test pattern
// 3044ED6E45A496F5F635A2EB3D1A5DD6CB1D09822DBDF560C2B858A191F981B1 under the class keyed with
// its own class name (Init, no vector), cmCTS.
constexpr std::uint8_t kReference128[32] = {
    0x6C, 0x27, 0xD1, 0x4C, 0xF6, 0xBA, 0x76, 0xE7, 0xA4, 0x78, 0x1C, 0x20, 0x18, 0x8C, 0x30, 0xBC,
    0xD2, 0x9A, 0xF6, 0x2A, 0x63, 0x1F, 0xFD, 0x04, 0x89, 0x3F, 0xC7, 0x0E, 0x07, 0xA9, 0x94, 0x9B};
constexpr std::uint8_t kReference256[32] = {
    0xC5, 0xF1, 0x95, 0x87, 0x8A, 0x31, 0x1E, 0x42, 0x1C, 0x45, 0x10, 0x07, 0x49, 0xDF, 0xF2, 0x2D,
    0x75, 0x12, 0x05, 0xB7, 0xA9, 0xA3, 0x30, 0xDA, 0x9E, 0xF1, 0x3B, 0x10, 0xFE, 0x62, 0x4F, 0x79};

// The three round functions; I's bytes Ia..Id are its most to least significant bytes.
inline std::uint32_t F1(std::uint32_t d, std::uint32_t km, std::uint32_t kr) noexcept {
  const std::uint32_t i = Rotl32(km + d, kr);
  // ((S1 ^ S2) - S3) + S4, grouped so that two operations follow the loads.
  return (S1[i >> 24] ^ S2[(i >> 16) & 0xFF]) + (S4[i & 0xFF] - S3[(i >> 8) & 0xFF]);
}
inline std::uint32_t F2(std::uint32_t d, std::uint32_t km, std::uint32_t kr) noexcept {
  const std::uint32_t i = Rotl32(km ^ d, kr);
  return ((S1[i >> 24] - S2[(i >> 16) & 0xFF]) + S3[(i >> 8) & 0xFF]) ^ S4[i & 0xFF];
}
inline std::uint32_t F3(std::uint32_t d, std::uint32_t km, std::uint32_t kr) noexcept {
  const std::uint32_t i = Rotl32(km - d, kr);
  return ((S1[i >> 24] + S2[(i >> 16) & 0xFF]) ^ S3[(i >> 8) & 0xFF]) - S4[i & 0xFF];
}

// ---------------------------------------------------------------------------------------------
// CAST-128. Schedule: Km1..Km16, Kr1..Kr16 (low five bits), the round count.

using cast_core::kCast128ScheduleWords;

// The key schedule of RFC 2144, section 2.4: x holds the key as 16 bytes, z the intermediate
// bytes; each half produces 16 subkeys.
void Cast128Schedule(const std::uint8_t key[16], std::uint32_t k[32]) noexcept {
  std::uint8_t x[16];
  std::uint8_t z[16];
  std::memcpy(x, key, 16);
  const auto word = [](const std::uint8_t* b) { return LoadBe32(b); };
  const auto put = [](std::uint8_t* b, std::uint32_t v) { StoreBe32(b, v); };
  for (int half = 0; half < 2; ++half) {
    std::uint32_t* out = k + 16 * half;
    put(z + 0, word(x + 0) ^ S5[x[13]] ^ S6[x[15]] ^ S7[x[12]] ^ S8[x[14]] ^ S7[x[8]]);
    put(z + 4, word(x + 8) ^ S5[z[0]] ^ S6[z[2]] ^ S7[z[1]] ^ S8[z[3]] ^ S8[x[10]]);
    put(z + 8, word(x + 12) ^ S5[z[7]] ^ S6[z[6]] ^ S7[z[5]] ^ S8[z[4]] ^ S5[x[9]]);
    put(z + 12, word(x + 4) ^ S5[z[10]] ^ S6[z[9]] ^ S7[z[11]] ^ S8[z[8]] ^ S6[x[11]]);
    out[0] = S5[z[8]] ^ S6[z[9]] ^ S7[z[7]] ^ S8[z[6]] ^ S5[z[2]];
    out[1] = S5[z[10]] ^ S6[z[11]] ^ S7[z[5]] ^ S8[z[4]] ^ S6[z[6]];
    out[2] = S5[z[12]] ^ S6[z[13]] ^ S7[z[3]] ^ S8[z[2]] ^ S7[z[9]];
    out[3] = S5[z[14]] ^ S6[z[15]] ^ S7[z[1]] ^ S8[z[0]] ^ S8[z[12]];
    put(x + 0, word(z + 8) ^ S5[z[5]] ^ S6[z[7]] ^ S7[z[4]] ^ S8[z[6]] ^ S7[z[0]]);
    put(x + 4, word(z + 0) ^ S5[x[0]] ^ S6[x[2]] ^ S7[x[1]] ^ S8[x[3]] ^ S8[z[2]]);
    put(x + 8, word(z + 4) ^ S5[x[7]] ^ S6[x[6]] ^ S7[x[5]] ^ S8[x[4]] ^ S5[z[1]]);
    put(x + 12, word(z + 12) ^ S5[x[10]] ^ S6[x[9]] ^ S7[x[11]] ^ S8[x[8]] ^ S6[z[3]]);
    out[4] = S5[x[3]] ^ S6[x[2]] ^ S7[x[12]] ^ S8[x[13]] ^ S5[x[8]];
    out[5] = S5[x[1]] ^ S6[x[0]] ^ S7[x[14]] ^ S8[x[15]] ^ S6[x[13]];
    out[6] = S5[x[7]] ^ S6[x[6]] ^ S7[x[8]] ^ S8[x[9]] ^ S7[x[3]];
    out[7] = S5[x[5]] ^ S6[x[4]] ^ S7[x[10]] ^ S8[x[11]] ^ S8[x[7]];
    put(z + 0, word(x + 0) ^ S5[x[13]] ^ S6[x[15]] ^ S7[x[12]] ^ S8[x[14]] ^ S7[x[8]]);
    put(z + 4, word(x + 8) ^ S5[z[0]] ^ S6[z[2]] ^ S7[z[1]] ^ S8[z[3]] ^ S8[x[10]]);
    put(z + 8, word(x + 12) ^ S5[z[7]] ^ S6[z[6]] ^ S7[z[5]] ^ S8[z[4]] ^ S5[x[9]]);
    put(z + 12, word(x + 4) ^ S5[z[10]] ^ S6[z[9]] ^ S7[z[11]] ^ S8[z[8]] ^ S6[x[11]]);
    out[8] = S5[z[3]] ^ S6[z[2]] ^ S7[z[12]] ^ S8[z[13]] ^ S5[z[9]];
    out[9] = S5[z[1]] ^ S6[z[0]] ^ S7[z[14]] ^ S8[z[15]] ^ S6[z[12]];
    out[10] = S5[z[7]] ^ S6[z[6]] ^ S7[z[8]] ^ S8[z[9]] ^ S7[z[2]];
    out[11] = S5[z[5]] ^ S6[z[4]] ^ S7[z[10]] ^ S8[z[11]] ^ S8[z[6]];
    put(x + 0, word(z + 8) ^ S5[z[5]] ^ S6[z[7]] ^ S7[z[4]] ^ S8[z[6]] ^ S7[z[0]]);
    put(x + 4, word(z + 0) ^ S5[x[0]] ^ S6[x[2]] ^ S7[x[1]] ^ S8[x[3]] ^ S8[z[2]]);
    put(x + 8, word(z + 4) ^ S5[x[7]] ^ S6[x[6]] ^ S7[x[5]] ^ S8[x[4]] ^ S5[z[1]]);
    put(x + 12, word(z + 12) ^ S5[x[10]] ^ S6[x[9]] ^ S7[x[11]] ^ S8[x[8]] ^ S6[z[3]]);
    out[12] = S5[x[8]] ^ S6[x[9]] ^ S7[x[7]] ^ S8[x[6]] ^ S5[x[3]];
    out[13] = S5[x[10]] ^ S6[x[11]] ^ S7[x[5]] ^ S8[x[4]] ^ S6[x[7]];
    out[14] = S5[x[12]] ^ S6[x[13]] ^ S7[x[3]] ^ S8[x[2]] ^ S7[x[8]];
    out[15] = S5[x[14]] ^ S6[x[15]] ^ S7[x[1]] ^ S8[x[0]] ^ S8[x[13]];
  }
  SecureWipe(x, sizeof x);
  SecureWipe(z, sizeof z);
}

// N consecutive blocks from p to out (the same memory or not overlapping), each on its own; the N
// block states advance round by round side by side, so that the table loads of one block fill the
// waiting time of the others. Rounds 1, 4, 7, ... use F1; 2, 5, ... F2; 3, 6, ... F3 (counted from
// 1).
#define PELVANE_CAST_ROUND(F, a, b, i)                  \
  _Pragma("GCC unroll 4") for (int n = 0; n < N; ++n) { \
    a[n] ^= F(b[n], km[i], kr[i]);                      \
  }

template <int N>
inline void Cast128EncryptInterleaved(const std::uint32_t* sched, const std::uint8_t* p,
                                      std::uint8_t* out) noexcept {
  const std::uint32_t* km = sched;
  const std::uint32_t* kr = sched + 16;
  std::uint32_t l[N], r[N];
#pragma GCC unroll 4
  for (int n = 0; n < N; ++n) {
    l[n] = LoadBe32(p + 8 * n);
    r[n] = LoadBe32(p + 8 * n + 4);
  }
  PELVANE_CAST_ROUND(F1, l, r, 0);
  PELVANE_CAST_ROUND(F2, r, l, 1);
  PELVANE_CAST_ROUND(F3, l, r, 2);
  PELVANE_CAST_ROUND(F1, r, l, 3);
  PELVANE_CAST_ROUND(F2, l, r, 4);
  PELVANE_CAST_ROUND(F3, r, l, 5);
  PELVANE_CAST_ROUND(F1, l, r, 6);
  PELVANE_CAST_ROUND(F2, r, l, 7);
  PELVANE_CAST_ROUND(F3, l, r, 8);
  PELVANE_CAST_ROUND(F1, r, l, 9);
  PELVANE_CAST_ROUND(F2, l, r, 10);
  PELVANE_CAST_ROUND(F3, r, l, 11);
  if (sched[32] > 12) {
    PELVANE_CAST_ROUND(F1, l, r, 12);
    PELVANE_CAST_ROUND(F2, r, l, 13);
    PELVANE_CAST_ROUND(F3, l, r, 14);
    PELVANE_CAST_ROUND(F1, r, l, 15);
  }
// After an even number of rounds the halves come out exchanged.
#pragma GCC unroll 4
  for (int n = 0; n < N; ++n) {
    StoreBe32(out + 8 * n, r[n]);
    StoreBe32(out + 8 * n + 4, l[n]);
  }
}

template <int N>
inline void Cast128DecryptInterleaved(const std::uint32_t* sched, const std::uint8_t* p,
                                      std::uint8_t* out) noexcept {
  const std::uint32_t* km = sched;
  const std::uint32_t* kr = sched + 16;
  std::uint32_t l[N], r[N];
#pragma GCC unroll 4
  for (int n = 0; n < N; ++n) {
    r[n] = LoadBe32(p + 8 * n);
    l[n] = LoadBe32(p + 8 * n + 4);
  }
  if (sched[32] > 12) {
    PELVANE_CAST_ROUND(F1, r, l, 15);
    PELVANE_CAST_ROUND(F3, l, r, 14);
    PELVANE_CAST_ROUND(F2, r, l, 13);
    PELVANE_CAST_ROUND(F1, l, r, 12);
  }
  PELVANE_CAST_ROUND(F3, r, l, 11);
  PELVANE_CAST_ROUND(F2, l, r, 10);
  PELVANE_CAST_ROUND(F1, r, l, 9);
  PELVANE_CAST_ROUND(F3, l, r, 8);
  PELVANE_CAST_ROUND(F2, r, l, 7);
  PELVANE_CAST_ROUND(F1, l, r, 6);
  PELVANE_CAST_ROUND(F3, r, l, 5);
  PELVANE_CAST_ROUND(F2, l, r, 4);
  PELVANE_CAST_ROUND(F1, r, l, 3);
  PELVANE_CAST_ROUND(F3, l, r, 2);
  PELVANE_CAST_ROUND(F2, r, l, 1);
  PELVANE_CAST_ROUND(F1, l, r, 0);
#pragma GCC unroll 4
  for (int n = 0; n < N; ++n) {
    StoreBe32(out + 8 * n, l[n]);
    StoreBe32(out + 8 * n + 4, r[n]);
  }
}

void Cast128Encrypt(const std::uint32_t* sched, std::uint8_t* block) noexcept {
  Cast128EncryptInterleaved<1>(sched, block, block);
}

#undef PELVANE_CAST_ROUND

// ---------------------------------------------------------------------------------------------
// CAST-256. Schedule: for each of the 12 quad-rounds Km0..Km3 then Kr0..Kr3 (96 words).

constexpr std::size_t kCast256Words = 96;

void Cast256Schedule(const std::uint8_t key[32], std::uint32_t* out) noexcept {
  std::uint32_t kappa[8];  // A..H
  for (int i = 0; i < 8; ++i)
    kappa[i] = LoadBe32(key + 4 * i);
  std::uint32_t cm = 0x5A827999;
  std::uint32_t cr = 19;
  constexpr std::uint32_t kMm = 0x6ED9EBA1;
  constexpr std::uint32_t kMr = 17;
  std::uint32_t& a = kappa[0];
  std::uint32_t& b = kappa[1];
  std::uint32_t& c = kappa[2];
  std::uint32_t& d = kappa[3];
  std::uint32_t& e = kappa[4];
  std::uint32_t& f = kappa[5];
  std::uint32_t& g = kappa[6];
  std::uint32_t& h = kappa[7];
  for (int i = 0; i < 12; ++i) {
    for (int octave = 0; octave < 2; ++octave) {
      // The forward octave W: its eight masking and rotation keys follow one another.
      std::uint32_t tm[8];
      std::uint32_t tr[8];
      for (int j = 0; j < 8; ++j) {
        tm[j] = cm;
        cm += kMm;
        tr[j] = cr;
        cr = (cr + kMr) & 31;
      }
      g ^= F1(h, tm[0], tr[0]);
      f ^= F2(g, tm[1], tr[1]);
      e ^= F3(f, tm[2], tr[2]);
      d ^= F1(e, tm[3], tr[3]);
      c ^= F2(d, tm[4], tr[4]);
      b ^= F3(c, tm[5], tr[5]);
      a ^= F1(b, tm[6], tr[6]);
      h ^= F2(a, tm[7], tr[7]);
    }
    std::uint32_t* q = out + 8 * i;
    q[0] = h;
    q[1] = f;
    q[2] = d;
    q[3] = b;
    q[4] = a & 31;
    q[5] = c & 31;
    q[6] = e & 31;
    q[7] = g & 31;
  }
  SecureWipe(kappa, sizeof kappa);
}

inline void ForwardQuad(std::uint32_t& a, std::uint32_t& b, std::uint32_t& c, std::uint32_t& d,
                        const std::uint32_t* q) noexcept {
  c ^= F1(d, q[0], q[4]);
  b ^= F2(c, q[1], q[5]);
  a ^= F3(b, q[2], q[6]);
  d ^= F1(a, q[3], q[7]);
}
inline void ReverseQuad(std::uint32_t& a, std::uint32_t& b, std::uint32_t& c, std::uint32_t& d,
                        const std::uint32_t* q) noexcept {
  d ^= F1(a, q[3], q[7]);
  a ^= F3(b, q[2], q[6]);
  b ^= F2(c, q[1], q[5]);
  c ^= F1(d, q[0], q[4]);
}

// Decryption is encryption with the quad-round keys in reverse order.
void Cast256Crypt(const std::uint32_t* sched, std::uint8_t* block, bool decrypt) noexcept {
  std::uint32_t a = LoadBe32(block);
  std::uint32_t b = LoadBe32(block + 4);
  std::uint32_t c = LoadBe32(block + 8);
  std::uint32_t d = LoadBe32(block + 12);
  for (int i = 0; i < 6; ++i)
    ForwardQuad(a, b, c, d, sched + 8 * (decrypt ? 11 - i : i));
  for (int i = 6; i < 12; ++i)
    ReverseQuad(a, b, c, d, sched + 8 * (decrypt ? 11 - i : i));
  StoreBe32(block, a);
  StoreBe32(block + 4, b);
  StoreBe32(block + 8, c);
  StoreBe32(block + 12, d);
}

}  // namespace

namespace cast_core {

void Cast128ExpandKey(const std::uint8_t* key, std::size_t key_size,
                      std::uint32_t out[kCast128ScheduleWords]) noexcept {
  std::array<std::uint8_t, 16> buffer{};
  std::memcpy(buffer.data(), key, key_size < 16 ? key_size : 16);
  Cast128Schedule(buffer.data(), out);
  for (int i = 16; i < 32; ++i)
    out[i] &= 31;
  out[32] = key_size <= 10 ? 12 : 16;
  SecureWipe(buffer);
}

void Cast128Encrypt(const std::uint32_t schedule[kCast128ScheduleWords],
                    std::uint8_t block[8]) noexcept {
  pelvane::Cast128Encrypt(schedule, block);
}

}  // namespace cast_core

// ---------------------------------------------------------------------------------------------

TCipher_Cast128::TCipher_Cast128(std::shared_ptr<TProtection> protection)
    : TCipher(StaticClass(), std::move(protection)) {}

TCipherClassRef TCipher_Cast128::StaticClass() {
  static const TCipherClass cls = {"TCipher_Cast128",
                                   8,
                                   16,
                                   static_cast<std::int32_t>(kCast128ScheduleWords * 4),
                                   TCipher::StaticClass(),
                                   [](std::shared_ptr<TProtection> p) -> std::unique_ptr<TCipher> {
                                     return std::make_unique<TCipher_Cast128>(std::move(p));
                                   },
                                   kReference128};
  return &cls;
}

void TCipher_Cast128::Init(const void* key, std::int32_t size, const void* iv) {
  size = BeginKeySetup(size);
  std::array<std::uint8_t, 16> buffer{};
  if (size > 0) std::memcpy(buffer.data(), key, static_cast<std::size_t>(size));
  cast_core::Cast128ExpandKey(buffer.data(), static_cast<std::size_t>(size), ScheduleWords());
  SecureWipe(buffer);
  FinishKeySetup(iv);
}

void TCipher_Cast128::EncryptBlock(void* block) {
  Cast128Encrypt(ScheduleWords(), static_cast<std::uint8_t*>(block));
}

void TCipher_Cast128::DecryptBlock(void* block) {
  auto* p = static_cast<std::uint8_t*>(block);
  Cast128DecryptInterleaved<1>(ScheduleWords(), p, p);
}

// Four blocks at a time: each round is one chain of dependent steps, so a single block leaves
// most of the processor idle.
void TCipher_Cast128::EncryptBlocks(const std::uint8_t* source, std::uint8_t* dest,
                                    std::size_t count) {
  const std::uint32_t* sched = ScheduleWords();
  for (; count >= 4; count -= 4, source += 32, dest += 32)
    Cast128EncryptInterleaved<4>(sched, source, dest);
  for (; count > 0; --count, source += 8, dest += 8)
    Cast128EncryptInterleaved<1>(sched, source, dest);
}

void TCipher_Cast128::DecryptBlocks(const std::uint8_t* source, std::uint8_t* dest,
                                    std::size_t count) {
  const std::uint32_t* sched = ScheduleWords();
  for (; count >= 4; count -= 4, source += 32, dest += 32)
    Cast128DecryptInterleaved<4>(sched, source, dest);
  for (; count > 0; --count, source += 8, dest += 8)
    Cast128DecryptInterleaved<1>(sched, source, dest);
}

TCipher_Cast256::TCipher_Cast256(std::shared_ptr<TProtection> protection)
    : TCipher(StaticClass(), std::move(protection)) {}

TCipherClassRef TCipher_Cast256::StaticClass() {
  static const TCipherClass cls = {"TCipher_Cast256",
                                   16,
                                   32,
                                   static_cast<std::int32_t>(kCast256Words * 4),
                                   TCipher::StaticClass(),
                                   [](std::shared_ptr<TProtection> p) -> std::unique_ptr<TCipher> {
                                     return std::make_unique<TCipher_Cast256>(std::move(p));
                                   },
                                   kReference256};
  return &cls;
}

void TCipher_Cast256::Init(const void* key, std::int32_t size, const void* iv) {
  size = BeginKeySetup(size);
  std::array<std::uint8_t, 32> buffer{};
  if (size > 0) std::memcpy(buffer.data(), key, static_cast<std::size_t>(size));
  Cast256Schedule(buffer.data(), ScheduleWords());
  SecureWipe(buffer);
  FinishKeySetup(iv);
}

void TCipher_Cast256::EncryptBlock(void* block) {
  Cast256Crypt(ScheduleWords(), static_cast<std::uint8_t*>(block), false);
}

void TCipher_Cast256::DecryptBlock(void* block) {
  Cast256Crypt(ScheduleWords(), static_cast<std::uint8_t*>(block), true);
}

}  // namespace pelvane
