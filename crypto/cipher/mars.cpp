#include "crypto/cipher/mars.h"

#include <array>
#include <cstring>

#include "crypto/cipher/block_words.h"
#include "crypto/hash/hash.h"
#include "crypto/secure.h"

namespace pelvane {
namespace {

using block_words::LoadLe32;
using block_words::Rotl32;
using block_words::Rotr32;
using block_words::StoreLe32;

constexpr int kKeyWords = 40;
constexpr int kMaxUserWords = 14;

// Ciphertext of the 32-byte test pattern under the key "TCipher_Mars", no vector, cmCTS.
constexpr std::uint8_t kReference[32] = {
    0x7C, 0xF2, 0x65, 0xFB, 0x71, 0xC1, 0xC2, 0x76, 0x8A, 0x02, 0x29, 0xC3, 0xB5, 0x21, 0x3B, 0xBE,
    0x1C, 0x1B, 0xB0, 0x39, 0x10, 0x21, 0x21, 0x6F, 0xA1, 0x51, 0xF7, 0x10, 0x5F, 0xB9, 0xD2, 0xCB};

// The 512-word S-box, generated as its designers defined it: words 5i..5i+4 are the SHA-1
// digest of the four little-endian words i*5, 0xB7E15162, 0x243F6A88, 0x02917D59, read as five
// little-endian words. S0 is its first half, S1 its second.
struct SBox {
  std::uint32_t s[512];
  SBox() {
    THash_SHA1 sha1;
    for (std::uint32_t i = 0; 5 * i < 512; ++i) {
      std::uint8_t input[16];
      StoreLe32(input, 5 * i);
      StoreLe32(input + 4, 0xB7E15162);
      StoreLe32(input + 8, 0x243F6A88);
      StoreLe32(input + 12, 0x02917D59);
      sha1.Reset();
      sha1.Update(input, sizeof input);
      sha1.Finish();
      const std::uint8_t* digest = sha1.DigestBytes();
      for (std::uint32_t k = 0; k < 5 && 5 * i + k < 512; ++k)
        s[5 * i + k] = LoadLe32(digest + 4 * k);
    }
    // Within each half, two entries that agree in two or more of their four bytes are
    // separated by multiplying the first of them by 3.
    for (int base = 0; base < 512; base += 256) {
      bool fix[256] = {};
      for (int i = 0; i < 256; ++i) {
        for (int j = i + 1; j < 256; ++j) {
          int equal = 0;
          for (int byte = 0; byte < 4; ++byte)
            equal += ((s[base + i] >> (8 * byte)) & 0xFF) == ((s[base + j] >> (8 * byte)) & 0xFF);
          if (equal >= 2) fix[i] = true;
        }
      }
      for (int i = 0; i < 256; ++i)
        if (fix[i]) s[base + i] *= 3;
    }
  }
};

const std::uint32_t* S() {
  static const SBox sbox;
  return sbox.s;
}

// The E-function of the core rounds: from the source word and two key words, the values L, M
// and R that are added to or XORed into the other three words.
struct EOut {
  std::uint32_t l, m, r;
};

inline EOut E(const std::uint32_t* s, std::uint32_t in, std::uint32_t k1,
              std::uint32_t k2) noexcept {
  std::uint32_t m = in + k1;
  std::uint32_t r = Rotl32(in, 13) * k2;
  std::uint32_t l = s[m & 0x1FF];
  r = Rotl32(r, 5);
  m = Rotl32(m, r & 31);
  l ^= r;
  r = Rotl32(r, 5);
  l ^= r;
  l = Rotl32(l, r & 31);
  return {l, m, r};
}

// The mask of the bits of w that lie inside a run of at least ten equal bits, not at either end
// of the run and not in positions 0, 1 or 31.
std::uint32_t LongRunMask(std::uint32_t w) noexcept {
  std::uint32_t mask = 0;
  int start = 0;
  while (start < 32) {
    const std::uint32_t bit = (w >> start) & 1;
    int end = start;
    while (end + 1 < 32 && ((w >> (end + 1)) & 1) == bit)
      ++end;
    if (end - start + 1 >= 10) {
      for (int i = start + 1; i < end; ++i)
        if (i >= 2 && i <= 30) mask |= std::uint32_t{1} << i;
    }
    start = end + 1;
  }
  return mask;
}

}  // namespace

TCipher_Mars::TCipher_Mars(std::shared_ptr<TProtection> protection)
    : TCipher(StaticClass(), std::move(protection)) {}

TCipherClassRef TCipher_Mars::StaticClass() {
  static const TCipherClass cls = {"TCipher_Mars",
                                   16,
                                   156,
                                   4 * kKeyWords,
                                   TCipher::StaticClass(),
                                   &block_words::Make<TCipher_Mars>,
                                   kReference};
  return &cls;
}

void TCipher_Mars::Init(const void* key, std::int32_t size, const void* iv) {
  size = BeginKeySetup(size);
  if (size > 4 * kMaxUserWords) size = 4 * kMaxUserWords;
  std::array<std::uint8_t, 4 * kMaxUserWords> buffer{};
  if (size > 0) std::memcpy(buffer.data(), key, static_cast<std::size_t>(size));
  int n = (size + 3) / 4;
  if (n < 4) n = 4;

  const std::uint32_t* s = S();
  std::array<std::uint32_t, 15> t{};
  for (int i = 0; i < n; ++i)
    t[i] = LoadLe32(buffer.data() + 4 * i);
  t[n] = static_cast<std::uint32_t>(n);
  std::uint32_t* k = ScheduleWords();
  for (int j = 0; j < 4; ++j) {
    for (int i = 0; i < 15; ++i)
      t[i] ^= Rotl32(t[(i + 8) % 15] ^ t[(i + 13) % 15], 3) ^ static_cast<std::uint32_t>(4 * i + j);
    for (int stir = 0; stir < 4; ++stir) {
      for (int i = 0; i < 15; ++i)
        t[i] = Rotl32(t[i] + s[t[(i + 14) % 15] & 0x1FF], 9);
    }
    for (int i = 0; i < 10; ++i)
      k[10 * j + i] = t[(4 * i) % 15];
  }
  // The multiplication keys K5, K7, ..., K35 get their two low bits set and their long runs
  // of equal bits broken with a rotated pattern from S[265..268].
  for (int i = 5; i <= 35; i += 2) {
    const std::uint32_t j = k[i] & 3;
    const std::uint32_t w = k[i] | 3;
    const std::uint32_t mask = LongRunMask(w);
    const std::uint32_t pattern = Rotl32(s[265 + j], k[i - 1] & 31);
    k[i] = w ^ (pattern & mask);
  }
  SecureWipe(t);
  SecureWipe(buffer);
  FinishKeySetup(iv);
}

void TCipher_Mars::EncryptBlock(void* block) {
  auto* b = static_cast<std::uint8_t*>(block);
  const std::uint32_t* s = S();
  const std::uint32_t* k = ScheduleWords();
  std::uint32_t d[4];
  for (int i = 0; i < 4; ++i)
    d[i] = LoadLe32(b + 4 * i) + k[i];
  const auto rotate = [&d] {
    const std::uint32_t first = d[0];
    d[0] = d[1], d[1] = d[2], d[2] = d[3], d[3] = first;
  };
  // Forward mixing.
  for (int i = 0; i < 8; ++i) {
    d[1] ^= s[d[0] & 0xFF];
    d[1] += s[256 + ((d[0] >> 8) & 0xFF)];
    d[2] += s[(d[0] >> 16) & 0xFF];
    d[3] ^= s[256 + (d[0] >> 24)];
    d[0] = Rotr32(d[0], 24);
    if (i == 0 || i == 4) d[0] += d[3];
    if (i == 1 || i == 5) d[0] += d[1];
    rotate();
  }
  // Keyed core.
  for (int i = 0; i < 16; ++i) {
    const EOut e = E(s, d[0], k[2 * i + 4], k[2 * i + 5]);
    d[0] = Rotl32(d[0], 13);
    d[2] += e.m;
    if (i < 8) {
      d[1] += e.l;
      d[3] ^= e.r;
    } else {
      d[3] += e.l;
      d[1] ^= e.r;
    }
    rotate();
  }
  // Backward mixing.
  for (int i = 0; i < 8; ++i) {
    if (i == 2 || i == 6) d[0] -= d[3];
    if (i == 3 || i == 7) d[0] -= d[1];
    d[1] ^= s[256 + (d[0] & 0xFF)];
    d[2] -= s[d[0] >> 24];
    d[3] -= s[256 + ((d[0] >> 16) & 0xFF)];
    d[3] ^= s[(d[0] >> 8) & 0xFF];
    d[0] = Rotl32(d[0], 24);
    rotate();
  }
  for (int i = 0; i < 4; ++i)
    StoreLe32(b + 4 * i, d[i] - k[36 + i]);
}

// Each phase of the encryption undone in reverse order.
void TCipher_Mars::DecryptBlock(void* block) {
  auto* b = static_cast<std::uint8_t*>(block);
  const std::uint32_t* s = S();
  const std::uint32_t* k = ScheduleWords();
  std::uint32_t d[4];
  for (int i = 0; i < 4; ++i)
    d[i] = LoadLe32(b + 4 * i) + k[36 + i];
  const auto unrotate = [&d] {
    const std::uint32_t last = d[3];
    d[3] = d[2], d[2] = d[1], d[1] = d[0], d[0] = last;
  };
  for (int i = 7; i >= 0; --i) {
    unrotate();
    d[0] = Rotr32(d[0], 24);
    d[3] ^= s[(d[0] >> 8) & 0xFF];
    d[3] += s[256 + ((d[0] >> 16) & 0xFF)];
    d[2] += s[d[0] >> 24];
    d[1] ^= s[256 + (d[0] & 0xFF)];
    if (i == 2 || i == 6) d[0] += d[3];
    if (i == 3 || i == 7) d[0] += d[1];
  }
  for (int i = 15; i >= 0; --i) {
    unrotate();
    d[0] = Rotr32(d[0], 13);
    const EOut e = E(s, d[0], k[2 * i + 4], k[2 * i + 5]);
    d[2] -= e.m;
    if (i < 8) {
      d[1] -= e.l;
      d[3] ^= e.r;
    } else {
      d[3] -= e.l;
      d[1] ^= e.r;
    }
  }
  for (int i = 7; i >= 0; --i) {
    unrotate();
    if (i == 0 || i == 4) d[0] -= d[3];
    if (i == 1 || i == 5) d[0] -= d[1];
    d[0] = Rotl32(d[0], 24);
    d[3] ^= s[256 + (d[0] >> 24)];
    d[2] -= s[(d[0] >> 16) & 0xFF];
    d[1] -= s[256 + ((d[0] >> 8) & 0xFF)];
    d[1] ^= s[d[0] & 0xFF];
  }
  for (int i = 0; i < 4; ++i)
    StoreLe32(b + 4 * i, d[i] - k[i]);
}

}  // namespace pelvane
