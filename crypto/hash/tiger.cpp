// Tiger: the compression function of the designers' paper and its S-boxes, which the designers
// generate with the compression function itself (see SBoxes below).
#include "crypto/hash/tiger.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "crypto/hash/hash_internal.h"
#include "crypto/secure.h"

namespace pelvane {

namespace {

using SBoxes = std::array<std::uint64_t, 4 * 256>;  // t1, t2, t3, t4 one after the other

std::uint64_t LoadLittleEndian64(const std::uint8_t* p) {
  return static_cast<std::uint64_t>(hash_internal::LoadLittleEndian32(p)) |
         static_cast<std::uint64_t>(hash_internal::LoadLittleEndian32(p + 4)) << 32;
}

void StoreLittleEndian64(std::uint8_t* p, std::uint64_t v) {
  for (int i = 0; i < 8; ++i)
    p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// One round: c_i is byte i of c, least significant first. The four lookups are combined as two
// pairs, which shortens the chain from c to a (each round's a is the next round's c).
template <std::uint64_t kMul>
[[gnu::always_inline]] inline void Round(const std::uint64_t* t, std::uint64_t& a, std::uint64_t& b,
                                         std::uint64_t& c, std::uint64_t x) {
  c ^= x;
  a -= (t[c & 0xFF] ^ t[256 + ((c >> 16) & 0xFF)]) ^
       (t[512 + ((c >> 32) & 0xFF)] ^ t[768 + ((c >> 48) & 0xFF)]);
  b += (t[768 + ((c >> 8) & 0xFF)] ^ t[512 + ((c >> 24) & 0xFF)]) ^
       (t[256 + ((c >> 40) & 0xFF)] ^ t[c >> 56]);
  b *= kMul;
}

template <std::uint64_t kMul>
[[gnu::always_inline]] inline void Pass(const std::uint64_t* t, std::uint64_t& a, std::uint64_t& b,
                                        std::uint64_t& c, const std::uint64_t* x) {
  Round<kMul>(t, a, b, c, x[0]);
  Round<kMul>(t, b, c, a, x[1]);
  Round<kMul>(t, c, a, b, x[2]);
  Round<kMul>(t, a, b, c, x[3]);
  Round<kMul>(t, b, c, a, x[4]);
  Round<kMul>(t, c, a, b, x[5]);
  Round<kMul>(t, a, b, c, x[6]);
  Round<kMul>(t, b, c, a, x[7]);
}

[[gnu::always_inline]] inline void KeySchedule(std::uint64_t* x) {
  x[0] -= x[7] ^ 0xA5A5A5A5A5A5A5A5ull;
  x[1] ^= x[0];
  x[2] += x[1];
  x[3] -= x[2] ^ ((~x[1]) << 19);
  x[4] ^= x[3];
  x[5] += x[4];
  x[6] -= x[5] ^ ((~x[4]) >> 23);
  x[7] ^= x[6];
  x[0] += x[7];
  x[1] -= x[0] ^ ((~x[7]) << 19);
  x[2] ^= x[1];
  x[3] += x[2];
  x[4] -= x[3] ^ ((~x[2]) >> 23);
  x[5] ^= x[4];
  x[6] += x[5];
  x[7] -= x[6] ^ 0x0123456789ABCDEFull;
}

// Compresses one block (eight words, which the key schedule overwrites) into the chaining
// words abc.
[[gnu::always_inline]] inline void Compress(const std::uint64_t* t, std::uint64_t* abc,
                                            std::uint64_t* x) {
  std::uint64_t a = abc[0], b = abc[1], c = abc[2];
  Pass<5>(t, a, b, c, x);
  KeySchedule(x);
  Pass<7>(t, c, a, b, x);
  KeySchedule(x);
  Pass<9>(t, b, c, a, x);
  abc[0] = a ^ abc[0];
  abc[1] = b - abc[1];
  abc[2] = c + abc[2];
}

constexpr std::uint64_t kInitialA = 0x0123456789ABCDEFull;
constexpr std::uint64_t kInitialB = 0xFEDCBA9876543210ull;
constexpr std::uint64_t kInitialC = 0xF096A5B4C3B2E187ull;

// The designers' S-box generation. Every byte column of every table starts as the identity
// (entry i of each table has all eight bytes equal to i). Five passes then walk the tables
// entry by entry (table 1 to 4 for each index); for each entry one of the three chaining words
// of a running Tiger state is taken in turn, and column col of the entry is swapped with column
// col of the entry whose index is byte col of that word. Before every third entry the running
// state absorbs the 64-byte text below with the compression function, using the tables as they
// stand at that moment. Swaps keep each byte column a permutation of 0..255.
SBoxes GenerateSBoxes() {
  SBoxes t;
  for (std::size_t i = 0; i < t.size(); ++i)
    t[i] = 0x0101010101010101ull * (i & 0xFF);
  static constexpr char kText[] =
      "Tiger - A Fast New Hash Function, by Ross Anderson and Eli Biham";
  static_assert(sizeof kText == 65);
  std::uint64_t text[8];
  for (int i = 0; i < 8; ++i)
    text[i] = LoadLittleEndian64(reinterpret_cast<const std::uint8_t*>(kText) + 8 * i);
  std::uint64_t state[3] = {kInitialA, kInitialB, kInitialC};
  int abc = 2;
  for (int pass = 0; pass < 5; ++pass) {
    for (std::size_t i = 0; i < 256; ++i) {
      for (std::size_t table = 0; table < 1024; table += 256) {
        if (++abc == 3) {
          abc = 0;
          std::uint64_t block[8];
          std::copy(text, text + 8, block);
          Compress(t.data(), state, block);
        }
        for (int col = 0; col < 8; ++col) {
          const int shift = 8 * col;
          const std::uint64_t mask = 0xFFull << shift;
          const std::size_t other = table + ((state[abc] >> shift) & 0xFF);
          const std::uint64_t mine = t[table + i] & mask;
          const std::uint64_t theirs = t[other] & mask;
          t[table + i] = (t[table + i] & ~mask) | theirs;
          t[other] = (t[other] & ~mask) | mine;
        }
      }
    }
  }
  return t;
}

const SBoxes& TigerSBoxes() {
  static const SBoxes boxes = GenerateSBoxes();
  return boxes;
}

// The chaining words in the MD4 family's state: word i of Tiger in state words 2i (low half)
// and 2i + 1 (high half).
constexpr std::array<std::uint32_t, 10> kTigerInitial = {
    static_cast<std::uint32_t>(kInitialA), static_cast<std::uint32_t>(kInitialA >> 32),
    static_cast<std::uint32_t>(kInitialB), static_cast<std::uint32_t>(kInitialB >> 32),
    static_cast<std::uint32_t>(kInitialC), static_cast<std::uint32_t>(kInitialC >> 32)};

std::unique_ptr<THash> MakeTiger(std::shared_ptr<TProtection> protection) {
  return std::make_unique<THash_Tiger>(std::move(protection));
}

}  // namespace

THashClassRef THash_Tiger::StaticClass() {
  static const THashClass cls{"THash_Tiger", 24, THash_MD4::StaticClass(), &MakeTiger};
  return &cls;
}

THash_Tiger::THash_Tiger(std::shared_ptr<TProtection> protection)
    : THash_MD4(std::move(protection), kTigerInitial) {}

void THash_Tiger::CompressBlocks(const std::uint8_t* data, std::size_t count) {
  const std::uint64_t* t = TigerSBoxes().data();
  std::uint64_t abc[3];
  for (int i = 0; i < 3; ++i)
    abc[i] = state_[2 * i] | static_cast<std::uint64_t>(state_[2 * i + 1]) << 32;
  std::uint64_t x[8];
  for (; count > 0; --count, data += 64) {
    for (int i = 0; i < 8; ++i)
      x[i] = LoadLittleEndian64(data + 8 * i);
    Compress(t, abc, x);
  }
  SecureWipe(x, sizeof x);
  for (int i = 0; i < 3; ++i) {
    state_[2 * i] = static_cast<std::uint32_t>(abc[i]);
    state_[2 * i + 1] = static_cast<std::uint32_t>(abc[i] >> 32);
  }
  SecureWipe(abc, sizeof abc);
}

void THash_Tiger::Finish() {
  const std::size_t k = count_ % 64;
  buffer_[k] = 0x01;
  std::fill(buffer_.begin() + static_cast<std::ptrdiff_t>(k) + 1, buffer_.end(), 0);
  if (k + 1 > 56) {
    CompressBlocks(buffer_.data(), 1);
    buffer_.fill(0);
  }
  StoreLittleEndian64(buffer_.data() + 56, static_cast<std::uint64_t>(count_) * 8u);
  CompressBlocks(buffer_.data(), 1);
  buffer_.fill(0);
  // The digest: the three words in little-endian byte order, over the first 24 state bytes.
  std::uint64_t abc[3];
  for (int i = 0; i < 3; ++i)
    abc[i] = state_[2 * i] | static_cast<std::uint64_t>(state_[2 * i + 1]) << 32;
  auto* digest = reinterpret_cast<std::uint8_t*>(state_.data());
  for (int i = 0; i < 3; ++i)
    StoreLittleEndian64(digest + 8 * i, abc[i]);
  SecureWipe(abc, sizeof abc);
  FinishHook();
}

}  // namespace pelvane
