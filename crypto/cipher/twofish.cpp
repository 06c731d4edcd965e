#include "crypto/cipher/twofish.h"

#include <array>
#include <cstring>

#include "crypto/cipher/block_words.h"
#include "crypto/secure.h"

namespace pelvane {
namespace {

using block_words::Byte;
using block_words::LoadLe32;
using block_words::Rotl32;
using block_words::Rotr32;
using block_words::StoreLe32;

// The stored reference ciphertext: the 32-byte test pattern
// 3044ED6E45A496F5F635A2EB3D1A5DD6CB1D09822DBDF560C2B858A191F981B1 under the class keyed with
// its own class name (Init, no vector), cmCTS.
constexpr std::uint8_t kReference[32] = {
    0xE8, 0x16, 0x74, 0xF9, 0xBC, 0x69, 0x44, 0x21, 0x88, 0xC9, 0x49, 0xBB, 0x52, 0xE1, 0xE4, 0x78,
    0x74, 0x17, 0x11, 0x77, 0xE9, 0x9D, 0xBB, 0xE9, 0x88, 0x08, 0x75, 0x09, 0x4F, 0x8D, 0xFE, 0x21};

// The fixed permutations q0 and q1 on bytes, each built from four 4-bit permutations t0..t3
// in the designers' two-stage construction.
constexpr std::uint8_t kQt[2][4][16] = {
    {{0x8, 0x1, 0x7, 0xD, 0x6, 0xF, 0x3, 0x2, 0x0, 0xB, 0x5, 0x9, 0xE, 0xC, 0xA, 0x4},
     {0xE, 0xC, 0xB, 0x8, 0x1, 0x2, 0x3, 0x5, 0xF, 0x4, 0xA, 0x6, 0x7, 0x0, 0x9, 0xD},
     {0xB, 0xA, 0x5, 0xE, 0x6, 0xD, 0x9, 0x0, 0xC, 0x8, 0xF, 0x3, 0x2, 0x4, 0x7, 0x1},
     {0xD, 0x7, 0xF, 0x4, 0x1, 0x2, 0x6, 0xE, 0x9, 0xB, 0x3, 0x0, 0x8, 0x5, 0xC, 0xA}},
    {{0x2, 0x8, 0xB, 0xD, 0xF, 0x7, 0x6, 0xE, 0x3, 0x1, 0x9, 0x4, 0x0, 0xA, 0xC, 0x5},
     {0x1, 0xE, 0x2, 0xB, 0x4, 0xC, 0x3, 0x7, 0x6, 0xD, 0xA, 0x5, 0xF, 0x9, 0x0, 0x8},
     {0x4, 0xC, 0x7, 0x5, 0x1, 0x6, 0x9, 0xA, 0x0, 0xE, 0xD, 0x8, 0x2, 0xB, 0x3, 0xF},
     {0xB, 0x9, 0x5, 0x1, 0xC, 0x3, 0xD, 0xE, 0x6, 0x4, 0x7, 0xF, 0x2, 0x0, 0x8, 0xA}}};

constexpr std::uint8_t Ror4(std::uint8_t x) {
  return static_cast<std::uint8_t>(((x >> 1) | (x << 3)) & 0xF);
}

constexpr std::uint8_t QByte(int which, std::uint8_t x) {
  const auto& t = kQt[which];
  std::uint8_t a = x >> 4;
  std::uint8_t b = x & 0xF;
  std::uint8_t a1 = a ^ b;
  std::uint8_t b1 = static_cast<std::uint8_t>((a ^ Ror4(b) ^ (8 * a)) & 0xF);
  a = t[0][a1];
  b = t[1][b1];
  a1 = a ^ b;
  b1 = static_cast<std::uint8_t>((a ^ Ror4(b) ^ (8 * a)) & 0xF);
  a = t[2][a1];
  b = t[3][b1];
  return static_cast<std::uint8_t>(16 * b + a);
}

using ByteTable = std::array<std::uint8_t, 256>;
constexpr ByteTable MakeQ(int which) {
  ByteTable q{};
  for (int x = 0; x < 256; ++x)
    q[x] = QByte(which, static_cast<std::uint8_t>(x));
  return q;
}
constexpr ByteTable kQ0 = MakeQ(0);
constexpr ByteTable kQ1 = MakeQ(1);

// Multiplication in GF(2^8) modulo the given polynomial (with its x^8 term).
constexpr std::uint8_t GfMul(std::uint8_t a, std::uint8_t b, unsigned poly) {
  unsigned r = 0;
  unsigned x = a;
  while (b != 0) {
    if (b & 1) r ^= x;
    x <<= 1;
    if (x & 0x100) x ^= poly;
    b >>= 1;
  }
  return static_cast<std::uint8_t>(r);
}

// The MDS matrix (modulo x^8 + x^6 + x^5 + x^3 + 1) and the Reed-Solomon matrix of the key
// schedule (modulo x^8 + x^6 + x^3 + x^2 + 1).
constexpr unsigned kMdsPoly = 0x169;
constexpr std::uint8_t kMds[4][4] = {{0x01, 0xEF, 0x5B, 0x5B},
                                     {0x5B, 0xEF, 0xEF, 0x01},
                                     {0xEF, 0x5B, 0x01, 0xEF},
                                     {0xEF, 0x01, 0xEF, 0x5B}};
constexpr unsigned kRsPoly = 0x14D;
constexpr std::uint8_t kRs[4][8] = {{0x01, 0xA4, 0x55, 0x87, 0x5A, 0x58, 0xDB, 0x9E},
                                    {0xA4, 0x56, 0x82, 0xF3, 0x1E, 0xC6, 0x68, 0xE5},
                                    {0x02, 0xA1, 0xFC, 0xC1, 0x47, 0xAE, 0x3D, 0x19},
                                    {0xA4, 0x55, 0x87, 0x5A, 0x58, 0xDB, 0x9E, 0x03}};

// Column j of the MDS matrix times y, as a little-endian word.
constexpr std::uint32_t MdsColumn(int j, std::uint8_t y) {
  std::uint32_t z = 0;
  for (int i = 0; i < 4; ++i)
    z |= std::uint32_t{GfMul(kMds[i][j], y, kMdsPoly)} << (8 * i);
  return z;
}

// The byte chains of h: byte j of the input passes q-boxes alternating with key bytes
// l[k-1][j], ..., l[0][j] (l[i] is the i-th word of the list, k = 2, 3 or 4 words).
std::uint8_t HChain(int j, std::uint8_t y, const std::uint32_t* l, int k) noexcept {
  // Which q each stage applies to byte j, from the first stage (used only when k = 4) to the
  // last.
  static constexpr int kOrder[4][5] = {
      {1, 1, 0, 0, 1}, {0, 1, 1, 0, 0}, {0, 0, 0, 1, 1}, {1, 0, 1, 1, 0}};
  const auto q = [](int which, std::uint8_t v) { return which ? kQ1[v] : kQ0[v]; };
  if (k == 4) y = static_cast<std::uint8_t>(q(kOrder[j][0], y) ^ Byte(l[3], j));
  if (k >= 3) y = static_cast<std::uint8_t>(q(kOrder[j][1], y) ^ Byte(l[2], j));
  y = static_cast<std::uint8_t>(q(kOrder[j][2], y) ^ Byte(l[1], j));
  y = static_cast<std::uint8_t>(q(kOrder[j][3], y) ^ Byte(l[0], j));
  return q(kOrder[j][4], y);
}

std::uint32_t H(std::uint32_t x, const std::uint32_t* l, int k) noexcept {
  std::uint32_t z = 0;
  for (int j = 0; j < 4; ++j)
    z ^= MdsColumn(j, HChain(j, static_cast<std::uint8_t>(Byte(x, j)), l, k));
  return z;
}

// Schedule: 40 subkeys, then the four key-dependent tables g is made of (S-boxes and MDS).
constexpr std::size_t kSubkeys = 40;
constexpr std::size_t kScheduleWords = kSubkeys + 4 * 256;

inline std::uint32_t G(const std::uint32_t* t, std::uint32_t x) noexcept {
  return (t[Byte(x, 0)] ^ t[256 + Byte(x, 1)]) ^ (t[512 + Byte(x, 2)] ^ t[768 + Byte(x, 3)]);
}
// G of x rotated left by 8 bits, reading the bytes in rotated order instead.
inline std::uint32_t GRotated(const std::uint32_t* t, std::uint32_t x) noexcept {
  return (t[Byte(x, 3)] ^ t[256 + Byte(x, 0)]) ^ (t[512 + Byte(x, 1)] ^ t[768 + Byte(x, 2)]);
}

// N consecutive blocks from p to out (the same memory or not overlapping), each on its own; the N
// block states advance round by round side by side. The schedule holds the whitening words k[0..7],
// the round keys from k[8] and the g tables from k[kSubkeys].
template <int N>
inline void EncryptInterleaved(const std::uint32_t* k, const std::uint8_t* p,
                               std::uint8_t* out) noexcept {
  const std::uint32_t* t = k + kSubkeys;
  std::uint32_t a[N], b[N], c[N], d[N];
#pragma GCC unroll 4
  for (int n = 0; n < N; ++n) {
    a[n] = LoadLe32(p + 16 * n) ^ k[0];
    b[n] = LoadLe32(p + 16 * n + 4) ^ k[1];
    c[n] = LoadLe32(p + 16 * n + 8) ^ k[2];
    d[n] = LoadLe32(p + 16 * n + 12) ^ k[3];
  }
  const std::uint32_t* rk = k + 8;
  for (int r = 0; r < 8; ++r, rk += 4) {
#pragma GCC unroll 4
    for (int n = 0; n < N; ++n) {
      const std::uint32_t t0 = G(t, a[n]);
      const std::uint32_t t1 = GRotated(t, b[n]);
      c[n] = Rotr32(c[n] ^ (t0 + t1 + rk[0]), 1);
      d[n] = Rotl32(d[n], 1) ^ (t0 + 2 * t1 + rk[1]);
    }
#pragma GCC unroll 4
    for (int n = 0; n < N; ++n) {
      const std::uint32_t t0 = G(t, c[n]);
      const std::uint32_t t1 = GRotated(t, d[n]);
      a[n] = Rotr32(a[n] ^ (t0 + t1 + rk[2]), 1);
      b[n] = Rotl32(b[n], 1) ^ (t0 + 2 * t1 + rk[3]);
    }
  }
#pragma GCC unroll 4
  for (int n = 0; n < N; ++n) {
    StoreLe32(out + 16 * n, c[n] ^ k[4]);
    StoreLe32(out + 16 * n + 4, d[n] ^ k[5]);
    StoreLe32(out + 16 * n + 8, a[n] ^ k[6]);
    StoreLe32(out + 16 * n + 12, b[n] ^ k[7]);
  }
}

template <int N>
inline void DecryptInterleaved(const std::uint32_t* k, const std::uint8_t* p,
                               std::uint8_t* out) noexcept {
  const std::uint32_t* t = k + kSubkeys;
  std::uint32_t a[N], b[N], c[N], d[N];
#pragma GCC unroll 4
  for (int n = 0; n < N; ++n) {
    c[n] = LoadLe32(p + 16 * n) ^ k[4];
    d[n] = LoadLe32(p + 16 * n + 4) ^ k[5];
    a[n] = LoadLe32(p + 16 * n + 8) ^ k[6];
    b[n] = LoadLe32(p + 16 * n + 12) ^ k[7];
  }
  const std::uint32_t* rk = k + kSubkeys - 4;
  for (int r = 0; r < 8; ++r, rk -= 4) {
#pragma GCC unroll 4
    for (int n = 0; n < N; ++n) {
      const std::uint32_t t0 = G(t, c[n]);
      const std::uint32_t t1 = GRotated(t, d[n]);
      a[n] = Rotl32(a[n], 1) ^ (t0 + t1 + rk[2]);
      b[n] = Rotr32(b[n] ^ (t0 + 2 * t1 + rk[3]), 1);
    }
#pragma GCC unroll 4
    for (int n = 0; n < N; ++n) {
      const std::uint32_t t0 = G(t, a[n]);
      const std::uint32_t t1 = GRotated(t, b[n]);
      c[n] = Rotl32(c[n], 1) ^ (t0 + t1 + rk[0]);
      d[n] = Rotr32(d[n] ^ (t0 + 2 * t1 + rk[1]), 1);
    }
  }
#pragma GCC unroll 4
  for (int n = 0; n < N; ++n) {
    StoreLe32(out + 16 * n, a[n] ^ k[0]);
    StoreLe32(out + 16 * n + 4, b[n] ^ k[1]);
    StoreLe32(out + 16 * n + 8, c[n] ^ k[2]);
    StoreLe32(out + 16 * n + 12, d[n] ^ k[3]);
  }
}

}  // namespace

TCipher_Twofish::TCipher_Twofish(std::shared_ptr<TProtection> protection)
    : TCipher(StaticClass(), std::move(protection)) {}

TCipherClassRef TCipher_Twofish::StaticClass() {
  static const TCipherClass cls = {"TCipher_Twofish",
                                   16,
                                   32,
                                   static_cast<std::int32_t>(kScheduleWords * 4),
                                   TCipher::StaticClass(),
                                   [](std::shared_ptr<TProtection> p) -> std::unique_ptr<TCipher> {
                                     return std::make_unique<TCipher_Twofish>(std::move(p));
                                   },
                                   kReference};
  return &cls;
}

void TCipher_Twofish::Init(const void* key, std::int32_t size, const void* iv) {
  size = BeginKeySetup(size);
  std::array<std::uint8_t, 32> buffer{};
  if (size > 0) std::memcpy(buffer.data(), key, static_cast<std::size_t>(size));
  const int k = size <= 16 ? 2 : size <= 24 ? 3 : 4;
  std::array<std::uint32_t, 4> even{};  // M0, M2, ...
  std::array<std::uint32_t, 4> odd{};   // M1, M3, ...
  std::array<std::uint32_t, 4> s{};     // S, listed from the last key chunk to the first
  for (int i = 0; i < k; ++i) {
    even[i] = LoadLe32(buffer.data() + 8 * i);
    odd[i] = LoadLe32(buffer.data() + 8 * i + 4);
    std::uint32_t word = 0;
    for (int row = 0; row < 4; ++row) {
      std::uint8_t v = 0;
      for (int col = 0; col < 8; ++col)
        v ^= GfMul(kRs[row][col], buffer[8 * i + col], kRsPoly);
      word |= std::uint32_t{v} << (8 * row);
    }
    s[k - 1 - i] = word;
  }
  std::uint32_t* sched = ScheduleWords();
  constexpr std::uint32_t kRho = 0x01010101;
  for (std::uint32_t i = 0; i < kSubkeys / 2; ++i) {
    const std::uint32_t a = H(2 * i * kRho, even.data(), k);
    const std::uint32_t b = Rotl32(H((2 * i + 1) * kRho, odd.data(), k), 8);
    sched[2 * i] = a + b;
    sched[2 * i + 1] = Rotl32(a + 2 * b, 9);
  }
  std::uint32_t* tables = sched + kSubkeys;
  for (int j = 0; j < 4; ++j) {
    for (int x = 0; x < 256; ++x)
      tables[256 * j + x] = MdsColumn(j, HChain(j, static_cast<std::uint8_t>(x), s.data(), k));
  }
  SecureWipe(buffer);
  SecureWipe(even);
  SecureWipe(odd);
  SecureWipe(s);
  FinishKeySetup(iv);
}

void TCipher_Twofish::EncryptBlock(void* block) {
  auto* p = static_cast<std::uint8_t*>(block);
  EncryptInterleaved<1>(ScheduleWords(), p, p);
}

void TCipher_Twofish::DecryptBlock(void* block) {
  auto* p = static_cast<std::uint8_t*>(block);
  DecryptInterleaved<1>(ScheduleWords(), p, p);
}

// Three blocks at a time: their rounds are independent, so the table loads of each fill the
// waiting time of the others.
void TCipher_Twofish::EncryptBlocks(const std::uint8_t* source, std::uint8_t* dest,
                                    std::size_t count) {
  const std::uint32_t* k = ScheduleWords();
  for (; count >= 3; count -= 3, source += 48, dest += 48)
    EncryptInterleaved<3>(k, source, dest);
  for (; count > 0; --count, source += 16, dest += 16)
    EncryptInterleaved<1>(k, source, dest);
}

void TCipher_Twofish::DecryptBlocks(const std::uint8_t* source, std::uint8_t* dest,
                                    std::size_t count) {
  const std::uint32_t* k = ScheduleWords();
  for (; count >= 3; count -= 3, source += 48, dest += 48)
    DecryptInterleaved<3>(k, source, dest);
  for (; count > 0; --count, source += 16, dest += 16)
    DecryptInterleaved<1>(k, source, dest);
}

}  // namespace pelvane
