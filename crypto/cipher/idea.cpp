#include "crypto/cipher/idea.h"

#include <array>
#include <cstring>

#include "crypto/cipher/block_words.h"
#include "crypto/secure.h"

namespace pelvane {
namespace {

using block_words::LoadBe16;
using block_words::StoreBe16;

// The stored reference ciphertext: the 32-byte test pattern
// 3044ED6E45A496F5F635A2EB3D1A5DD6CB1D09822DBDF560C2B858A191F981B1 under the class keyed with
// its own class name (Init, no vector), cmCTS.
constexpr std::uint8_t kReference[32] = {
    0x8C, 0x65, 0xCA, 0xD8, 0x43, 0xE7, 0x99, 0x93, 0xED, 0x41, 0xEA, 0x48, 0xFD, 0x66, 0x50, 0x94,
    0xA2, 0x25, 0x6D, 0xD7, 0xB1, 0xD0, 0x9A, 0x23, 0x3D, 0xD2, 0xE8, 0xEC, 0xC9, 0x45, 0x7F, 0x7E};
constexpr int kRounds = 8;
constexpr int kSubkeys = 6 * kRounds + 4;  // 52

// Multiplication modulo 2^16 + 1, where the word 0 stands for 2^16.
inline std::uint16_t Mul(std::uint16_t a, std::uint16_t b) noexcept {
  if (a == 0) return static_cast<std::uint16_t>(1 - b);
  if (b == 0) return static_cast<std::uint16_t>(1 - a);
  const std::uint32_t p = std::uint32_t{a} * b;
  const std::uint32_t lo = p & 0xFFFF;
  const std::uint32_t hi = p >> 16;
  return static_cast<std::uint16_t>(lo - hi + (lo < hi ? 1 : 0));
}

// The multiplicative inverse modulo 2^16 + 1 (0, standing for 2^16 = -1, is its own inverse).
std::uint16_t MulInverse(std::uint16_t x) noexcept {
  if (x <= 1) return x;
  // x^(p-2) mod p with p = 65537.
  std::uint64_t result = 1;
  std::uint64_t base = x;
  for (std::uint32_t e = 65535; e != 0; e >>= 1) {
    if (e & 1) result = result * base % 65537;
    base = base * base % 65537;
  }
  return static_cast<std::uint16_t>(result);
}

inline std::uint16_t Neg(std::uint16_t x) noexcept {
  return static_cast<std::uint16_t>(0u - x);
}

// k: the 52 subkeys, one 16-bit value in each word.
void Crypt(const std::uint32_t* k, std::uint8_t* block) noexcept {
  std::uint16_t x1 = LoadBe16(block);
  std::uint16_t x2 = LoadBe16(block + 2);
  std::uint16_t x3 = LoadBe16(block + 4);
  std::uint16_t x4 = LoadBe16(block + 6);
  for (int r = 0; r < kRounds; ++r, k += 6) {
    x1 = Mul(x1, static_cast<std::uint16_t>(k[0]));
    x2 = static_cast<std::uint16_t>(x2 + k[1]);
    x3 = static_cast<std::uint16_t>(x3 + k[2]);
    x4 = Mul(x4, static_cast<std::uint16_t>(k[3]));
    const std::uint16_t t0 =
        Mul(static_cast<std::uint16_t>(x1 ^ x3), static_cast<std::uint16_t>(k[4]));
    const std::uint16_t t1 =
        Mul(static_cast<std::uint16_t>((x2 ^ x4) + t0), static_cast<std::uint16_t>(k[5]));
    const std::uint16_t t2 = static_cast<std::uint16_t>(t0 + t1);
    x1 ^= t1;
    x4 ^= t2;
    // The middle words change places.
    const std::uint16_t a = x2 ^ t2;
    x2 = x3 ^ t1;
    x3 = a;
  }
  // The output transformation undoes the last exchange.
  StoreBe16(block, Mul(x1, static_cast<std::uint16_t>(k[0])));
  StoreBe16(block + 2, static_cast<std::uint16_t>(x3 + k[1]));
  StoreBe16(block + 4, static_cast<std::uint16_t>(x2 + k[2]));
  StoreBe16(block + 6, Mul(x4, static_cast<std::uint16_t>(k[3])));
}

}  // namespace

TCipher_IDEA::TCipher_IDEA(std::shared_ptr<TProtection> protection)
    : TCipher(StaticClass(), std::move(protection)) {}

TCipherClassRef TCipher_IDEA::StaticClass() {
  static const TCipherClass cls = {"TCipher_IDEA",
                                   8,
                                   16,
                                   2 * kSubkeys * 4,
                                   TCipher::StaticClass(),
                                   [](std::shared_ptr<TProtection> p) -> std::unique_ptr<TCipher> {
                                     return std::make_unique<TCipher_IDEA>(std::move(p));
                                   },
                                   kReference};
  return &cls;
}

// Schedule: the 52 encryption subkeys, then the 52 decryption subkeys, one in each word.
void TCipher_IDEA::Init(const void* key, std::int32_t size, const void* iv) {
  size = BeginKeySetup(size);
  std::array<std::uint8_t, 16> buffer{};
  if (size > 0) std::memcpy(buffer.data(), key, static_cast<std::size_t>(size));
  std::uint32_t* ek = ScheduleWords();
  std::uint32_t* dk = ek + kSubkeys;
  // Eight subkeys from the key, then eight more from the key rotated left by 25 bits, and so on.
  std::uint64_t hi = 0;
  std::uint64_t lo = 0;
  for (int i = 0; i < 8; ++i) {
    hi = (hi << 8) | buffer[i];
    lo = (lo << 8) | buffer[i + 8];
  }
  for (int i = 0; i < kSubkeys; ++i) {
    if (i > 0 && i % 8 == 0) {
      const std::uint64_t h = (hi << 25) | (lo >> 39);
      lo = (lo << 25) | (hi >> 39);
      hi = h;
    }
    const int slot = i % 8;
    ek[i] = static_cast<std::uint16_t>(slot < 4 ? hi >> (48 - 16 * slot)
                                                : lo >> (48 - 16 * (slot - 4)));
  }
  hi = lo = 0;
  // Decryption: the rounds' keys in reverse order, inverted; the middle additive keys exchange
  // places in the inner rounds.
  for (int r = 0; r <= kRounds; ++r) {
    const int base = 6 * (kRounds - r);
    const bool outer = r == 0 || r == kRounds;
    dk[6 * r] = MulInverse(static_cast<std::uint16_t>(ek[base]));
    dk[6 * r + 1] = Neg(static_cast<std::uint16_t>(ek[base + (outer ? 1 : 2)]));
    dk[6 * r + 2] = Neg(static_cast<std::uint16_t>(ek[base + (outer ? 2 : 1)]));
    dk[6 * r + 3] = MulInverse(static_cast<std::uint16_t>(ek[base + 3]));
    if (r < kRounds) {
      dk[6 * r + 4] = ek[base - 2];
      dk[6 * r + 5] = ek[base - 1];
    }
  }
  SecureWipe(buffer);
  FinishKeySetup(iv);
}

void TCipher_IDEA::EncryptBlock(void* block) {
  Crypt(ScheduleWords(), static_cast<std::uint8_t*>(block));
}

void TCipher_IDEA::DecryptBlock(void* block) {
  Crypt(ScheduleWords() + kSubkeys, static_cast<std::uint8_t*>(block));
}

}  // namespace pelvane
