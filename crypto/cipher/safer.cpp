#include "crypto/cipher/safer.h"

#include <array>
#include <cstring>

#include "crypto/cipher/block_words.h"
#include "crypto/secure.h"

namespace pelvane {
namespace {

// The largest round count the schedule area holds (the designer's maximum).
constexpr int kMaxRounds = 13;
// Round keys: 2 per round and one for the output transformation, 8 bytes each.
constexpr int kScheduleBytes = 8 * (2 * kMaxRounds + 1);

// exp(x) = 45^x mod 257 (with 256 written as 0) and its inverse.
struct Tables {
  std::uint8_t exp[256];
  std::uint8_t log[256];
  Tables() {
    unsigned value = 1;
    for (unsigned x = 0; x < 256; ++x) {
      exp[x] = static_cast<std::uint8_t>(value & 0xFF);
      log[value & 0xFF] = static_cast<std::uint8_t>(x);
      value = (value * 45) % 257;
    }
  }
};

const Tables& T() {
  static const Tables tables;
  return tables;
}

inline std::uint8_t Rol8(std::uint8_t v, unsigned n) noexcept {
  return static_cast<std::uint8_t>((v << n) | (v >> (8 - n)));
}

// Pseudo-Hadamard transform (x, y) -> (2x + y, x + y) and its inverse.
inline void Pht(std::uint8_t& x, std::uint8_t& y) noexcept {
  y = static_cast<std::uint8_t>(y + x);
  x = static_cast<std::uint8_t>(x + y);
}
inline void InversePht(std::uint8_t& x, std::uint8_t& y) noexcept {
  x = static_cast<std::uint8_t>(x - y);
  y = static_cast<std::uint8_t>(y - x);
}

// Ciphertexts of the 32-byte test pattern under each class keyed with its own class name (cut
// to KeySize), no vector, cmCTS.
constexpr std::uint8_t kRefSAFER[32] = {
    0x56, 0xCA, 0x77, 0x6B, 0xD9, 0x93, 0x71, 0x97, 0xD7, 0xDB, 0xF0, 0x2D, 0xBF, 0xE3, 0xF7, 0x22,
    0x42, 0x39, 0x3F, 0x8B, 0x7D, 0xFE, 0x57, 0xF4, 0xF8, 0x1C, 0x1E, 0x65, 0xBF, 0x60, 0xCE, 0xB7};
constexpr std::uint8_t kRefK64[32] = {
    0x8C, 0xB2, 0x32, 0xF0, 0x0E, 0xC2, 0xDA, 0xCB, 0x39, 0x08, 0x2D, 0x5C, 0x93, 0xFF, 0xCE, 0xF3,
    0x8F, 0x1F, 0xB7, 0x2C, 0xC5, 0xC7, 0xA7, 0xE9, 0x89, 0xBE, 0x61, 0x8B, 0x00, 0xE6, 0x9F, 0x0E};
constexpr std::uint8_t kRefSK64[32] = {
    0x56, 0x97, 0xAD, 0xBB, 0x73, 0xC2, 0xB2, 0xA7, 0x2E, 0x64, 0xFD, 0x4D, 0xFD, 0xA6, 0xEE, 0x9E,
    0xC4, 0x53, 0xEC, 0xC3, 0xDC, 0x30, 0xE8, 0xEE, 0x35, 0x19, 0x88, 0x86, 0x54, 0xE3, 0xF0, 0xB0};
constexpr std::uint8_t kRefK128[32] = {
    0x0C, 0xA9, 0x70, 0xB9, 0xF3, 0x14, 0x87, 0xD9, 0x9E, 0x5E, 0x78, 0x31, 0x74, 0xDF, 0xA8, 0xBB,
    0x3D, 0x40, 0xA5, 0xD9, 0x8C, 0x7C, 0x04, 0xB7, 0x9C, 0x01, 0xDA, 0x63, 0xAB, 0x26, 0x35, 0xBC};
constexpr std::uint8_t kRefSK128[32] = {
    0xC8, 0xA6, 0x70, 0x33, 0x29, 0x38, 0x38, 0x2B, 0x69, 0xAC, 0x61, 0x72, 0x8F, 0xDC, 0x9F, 0xA4,
    0x9E, 0x6F, 0xC4, 0x53, 0xD8, 0x89, 0xFF, 0x42, 0x72, 0x09, 0x7D, 0xCD, 0xD0, 0xEA, 0x7E, 0x28};

}  // namespace

TCipherClassRef TCipher_SAFER::StaticClass() {
  static const TCipherClass cls = {"TCipher_SAFER",
                                   8,
                                   16,
                                   kScheduleBytes,
                                   TCipher::StaticClass(),
                                   &block_words::Make<TCipher_SAFER>,
                                   kRefSAFER};
  return &cls;
}

TCipherClassRef TCipher_SAFER_K64::StaticClass() {
  static const TCipherClass cls = {"TCipher_SAFER_K64",
                                   8,
                                   8,
                                   kScheduleBytes,
                                   TCipher_SAFER::StaticClass(),
                                   &block_words::Make<TCipher_SAFER_K64>,
                                   kRefK64};
  return &cls;
}

TCipherClassRef TCipher_SAFER_SK64::StaticClass() {
  static const TCipherClass cls = {"TCipher_SAFER_SK64",
                                   8,
                                   8,
                                   kScheduleBytes,
                                   TCipher_SAFER_K64::StaticClass(),
                                   &block_words::Make<TCipher_SAFER_SK64>,
                                   kRefSK64};
  return &cls;
}

TCipherClassRef TCipher_SAFER_K128::StaticClass() {
  static const TCipherClass cls = {"TCipher_SAFER_K128",
                                   8,
                                   16,
                                   kScheduleBytes,
                                   TCipher_SAFER::StaticClass(),
                                   &block_words::Make<TCipher_SAFER_K128>,
                                   kRefK128};
  return &cls;
}

TCipherClassRef TCipher_SAFER_SK128::StaticClass() {
  static const TCipherClass cls = {"TCipher_SAFER_SK128",
                                   8,
                                   16,
                                   kScheduleBytes,
                                   TCipher_SAFER_K128::StaticClass(),
                                   &block_words::Make<TCipher_SAFER_SK128>,
                                   kRefSK128};
  return &cls;
}

int TCipher_SAFER::RoundCount() const noexcept {
  const int rounds = Rounds();
  return rounds < 1 ? 1 : rounds > kMaxRounds ? kMaxRounds : rounds;
}

// Key registers a (round keys 2, 4, ...) and b (round keys 1, 3, ...), each with a ninth
// parity byte that only the strengthened schedule reads. An 8-byte class uses its key for both.
void TCipher_SAFER::Init(const void* key, std::int32_t size, const void* iv) {
  size = BeginKeySetup(size);
  std::array<std::uint8_t, 16> buffer{};
  if (size > 0) std::memcpy(buffer.data(), key, static_cast<std::size_t>(size));
  const std::uint8_t* key_a = buffer.data();
  const std::uint8_t* key_b = KeySize() > 8 ? buffer.data() + 8 : buffer.data();
  const Tables& t = T();
  const bool strengthened = Strengthened();
  auto* out = reinterpret_cast<std::uint8_t*>(ScheduleWords());
  std::array<std::uint8_t, 9> a{};
  std::array<std::uint8_t, 9> b{};
  for (int j = 0; j < 8; ++j) {
    a[j] = Rol8(key_a[j], 5);
    a[8] ^= a[j];
    b[j] = key_b[j];
    b[8] ^= b[j];
    *out++ = b[j];
  }
  for (int i = 1; i <= RoundCount(); ++i) {
    for (int j = 0; j < 9; ++j) {
      a[j] = Rol8(a[j], 6);
      b[j] = Rol8(b[j], 6);
    }
    for (int j = 0; j < 8; ++j) {
      const std::uint8_t r = strengthened ? a[(j + 2 * i - 1) % 9] : a[j];
      *out++ = static_cast<std::uint8_t>(r + t.exp[t.exp[(18 * i + j + 1) & 0xFF]]);
    }
    for (int j = 0; j < 8; ++j) {
      const std::uint8_t r = strengthened ? b[(j + 2 * i) % 9] : b[j];
      *out++ = static_cast<std::uint8_t>(r + t.exp[t.exp[(18 * i + j + 10) & 0xFF]]);
    }
  }
  SecureWipe(a);
  SecureWipe(b);
  SecureWipe(buffer);
  FinishKeySetup(iv);
}

void TCipher_SAFER::EncryptBlock(void* block) {
  auto* x = static_cast<std::uint8_t*>(block);
  const Tables& t = T();
  const auto* k = reinterpret_cast<const std::uint8_t*>(ScheduleWords());
  std::uint8_t a = x[0], b = x[1], c = x[2], d = x[3], e = x[4], f = x[5], g = x[6], h = x[7];
  for (int round = 0; round < RoundCount(); ++round, k += 16) {
    a = t.exp[a ^ k[0]];
    b = t.log[static_cast<std::uint8_t>(b + k[1])];
    c = t.log[static_cast<std::uint8_t>(c + k[2])];
    d = t.exp[d ^ k[3]];
    e = t.exp[e ^ k[4]];
    f = t.log[static_cast<std::uint8_t>(f + k[5])];
    g = t.log[static_cast<std::uint8_t>(g + k[6])];
    h = t.exp[h ^ k[7]];
    a = static_cast<std::uint8_t>(a + k[8]);
    b ^= k[9];
    c ^= k[10];
    d = static_cast<std::uint8_t>(d + k[11]);
    e = static_cast<std::uint8_t>(e + k[12]);
    f ^= k[13];
    g ^= k[14];
    h = static_cast<std::uint8_t>(h + k[15]);
    Pht(a, b), Pht(c, d), Pht(e, f), Pht(g, h);
    Pht(a, c), Pht(e, g), Pht(b, d), Pht(f, h);
    Pht(a, e), Pht(b, f), Pht(c, g), Pht(d, h);
    std::uint8_t tmp = b;
    b = e;
    e = c;
    c = tmp;
    tmp = d;
    d = f;
    f = g;
    g = tmp;
  }
  x[0] = a ^ k[0];
  x[1] = static_cast<std::uint8_t>(b + k[1]);
  x[2] = static_cast<std::uint8_t>(c + k[2]);
  x[3] = d ^ k[3];
  x[4] = e ^ k[4];
  x[5] = static_cast<std::uint8_t>(f + k[5]);
  x[6] = static_cast<std::uint8_t>(g + k[6]);
  x[7] = h ^ k[7];
}

void TCipher_SAFER::DecryptBlock(void* block) {
  auto* x = static_cast<std::uint8_t*>(block);
  const Tables& t = T();
  const auto* k = reinterpret_cast<const std::uint8_t*>(ScheduleWords()) + 16 * RoundCount();
  std::uint8_t a = x[0] ^ k[0], b = static_cast<std::uint8_t>(x[1] - k[1]),
               c = static_cast<std::uint8_t>(x[2] - k[2]), d = x[3] ^ k[3], e = x[4] ^ k[4],
               f = static_cast<std::uint8_t>(x[5] - k[5]),
               g = static_cast<std::uint8_t>(x[6] - k[6]), h = x[7] ^ k[7];
  for (int round = 0; round < RoundCount(); ++round) {
    k -= 16;
    std::uint8_t tmp = e;
    e = b;
    b = c;
    c = tmp;
    tmp = f;
    f = d;
    d = g;
    g = tmp;
    InversePht(a, e), InversePht(b, f), InversePht(c, g), InversePht(d, h);
    InversePht(a, c), InversePht(e, g), InversePht(b, d), InversePht(f, h);
    InversePht(a, b), InversePht(c, d), InversePht(e, f), InversePht(g, h);
    a = t.log[static_cast<std::uint8_t>(a - k[8])] ^ k[0];
    b = static_cast<std::uint8_t>(t.exp[b ^ k[9]] - k[1]);
    c = static_cast<std::uint8_t>(t.exp[c ^ k[10]] - k[2]);
    d = t.log[static_cast<std::uint8_t>(d - k[11])] ^ k[3];
    e = t.log[static_cast<std::uint8_t>(e - k[12])] ^ k[4];
    f = static_cast<std::uint8_t>(t.exp[f ^ k[13]] - k[5]);
    g = static_cast<std::uint8_t>(t.exp[g ^ k[14]] - k[6]);
    h = t.log[static_cast<std::uint8_t>(h - k[15])] ^ k[7];
  }
  x[0] = a, x[1] = b, x[2] = c, x[3] = d, x[4] = e, x[5] = f, x[6] = g, x[7] = h;
}

}  // namespace pelvane
