#include "crypto/cipher/square.h"

#include <array>
#include <cstring>

#include "crypto/cipher/block_words.h"
#include "crypto/secure.h"

namespace pelvane {
namespace {

constexpr int kRounds = 8;
constexpr unsigned kFieldPolynomial = 0x1F5;

// Ciphertext of the 32-byte test pattern under the key "TCipher_Square", no vector, cmCTS.
constexpr std::uint8_t kReference[32] = {
    0x43, 0x9C, 0xA6, 0xC4, 0x67, 0xE8, 0x2E, 0x47, 0x22, 0x95, 0x66, 0x85, 0x06, 0x39, 0x6A, 0xC9,
    0x18, 0x21, 0x20, 0xF7, 0x44, 0x36, 0xF1, 0x61, 0x7D, 0x14, 0x90, 0xB1, 0xA9, 0x68, 0x56, 0xC7};

std::uint8_t Multiply(std::uint8_t a, std::uint8_t b) noexcept {
  unsigned product = 0;
  unsigned x = a;
  for (; b != 0; b >>= 1) {
    if (b & 1) product ^= x;
    x <<= 1;
    if (x & 0x100) x ^= kFieldPolynomial;
  }
  return static_cast<std::uint8_t>(product);
}

// The substitution gamma: inversion in the field (0 to 0) followed by the affine map
// x -> A x + B1 (hex). kAffineColumns[i] is A applied to bit i.
constexpr std::uint8_t kAffineColumns[8] = {0x7F, 0xDA, 0xBC, 0x78, 0xF0, 0x60, 0xC0, 0x80};
constexpr std::uint8_t kAffineConstant = 0xB1;

using Block = std::array<std::uint8_t, 16>;

constexpr std::uint8_t kTheta[4] = {0x02, 0x01, 0x01, 0x03};
constexpr std::uint8_t kInverseTheta[4] = {0x0E, 0x09, 0x0D, 0x0B};

struct Tables {
  std::uint8_t sbox[256];
  std::uint8_t inverse_sbox[256];
  std::uint8_t theta[4][256];
  std::uint8_t inverse_theta[4][256];
  Tables() {
    for (int k = 0; k < 4; ++k) {
      for (unsigned v = 0; v < 256; ++v) {
        theta[k][v] = Multiply(kTheta[k], static_cast<std::uint8_t>(v));
        inverse_theta[k][v] = Multiply(kInverseTheta[k], static_cast<std::uint8_t>(v));
      }
    }
    for (unsigned x = 0; x < 256; ++x) {
      std::uint8_t inverse = 0;
      for (unsigned y = 1; y < 256 && x != 0; ++y) {
        if (Multiply(static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y)) == 1) {
          inverse = static_cast<std::uint8_t>(y);
          break;
        }
      }
      std::uint8_t out = kAffineConstant;
      for (int bit = 0; bit < 8; ++bit)
        if ((inverse >> bit) & 1) out ^= kAffineColumns[bit];
      sbox[x] = out;
      inverse_sbox[out] = static_cast<std::uint8_t>(x);
    }
  }
};

const Tables& T() {
  static const Tables tables;
  return tables;
}

// theta: each row, as the polynomial r0 + r1 x + r2 x^2 + r3 x^3, is multiplied by
// c(x) = 2 + x + x^2 + 3x^3 modulo x^4 + 1; its inverse multiplies by
// d(x) = 0E + 09 x + 0D x^2 + 0B x^3. times[k][v] is coefficient k times v.
using CoefficientTables = std::uint8_t[4][256];

void MixRows(Block& a, const CoefficientTables& times) noexcept {
  for (int i = 0; i < 4; ++i) {
    std::uint8_t* row = a.data() + 4 * i;
    std::uint8_t out[4];
    for (int j = 0; j < 4; ++j) {
      out[j] = times[0][row[j]] ^ times[1][row[(j + 3) % 4]] ^ times[2][row[(j + 2) % 4]] ^
               times[3][row[(j + 1) % 4]];
    }
    std::memcpy(row, out, 4);
  }
}

// pi: the transposition of the array.
void Transpose(Block& a) noexcept {
  for (int i = 0; i < 4; ++i)
    for (int j = i + 1; j < 4; ++j)
      std::swap(a[4 * i + j], a[4 * j + i]);
}

void AddKey(Block& a, const std::uint8_t* k) noexcept {
  for (int i = 0; i < 16; ++i)
    a[i] ^= k[i];
}

}  // namespace

TCipher_Square::TCipher_Square(std::shared_ptr<TProtection> protection)
    : TCipher(StaticClass(), std::move(protection)) {}

TCipherClassRef TCipher_Square::StaticClass() {
  static const TCipherClass cls = {"TCipher_Square",
                                   16,
                                   16,
                                   16 * (kRounds + 1),
                                   TCipher::StaticClass(),
                                   &block_words::Make<TCipher_Square>,
                                   kReference};
  return &cls;
}

// Round key t + 1 from round key t: row 0 gains row 3 rotated left by one byte and the round
// constant (1, 2, 4, ... in the field) in its first byte; each further row gains the new row
// before it.
void TCipher_Square::Init(const void* key, std::int32_t size, const void* iv) {
  size = BeginKeySetup(size);
  auto* rk = reinterpret_cast<std::uint8_t*>(ScheduleWords());
  if (size > 0) std::memcpy(rk, key, static_cast<std::size_t>(size));
  std::uint8_t constant = 1;
  for (int t = 1; t <= kRounds; ++t) {
    const std::uint8_t* prev = rk + 16 * (t - 1);
    std::uint8_t* next = rk + 16 * t;
    for (int j = 0; j < 4; ++j)
      next[j] = prev[j] ^ prev[12 + (j + 1) % 4];
    next[0] ^= constant;
    for (int i = 4; i < 16; ++i)
      next[i] = prev[i] ^ next[i - 4];
    constant = Multiply(constant, 2);
  }
  FinishKeySetup(iv);
}

void TCipher_Square::EncryptBlock(void* block) {
  const Tables& t = T();
  const auto* rk = reinterpret_cast<const std::uint8_t*>(ScheduleWords());
  Block a;
  std::memcpy(a.data(), block, 16);
  MixRows(a, t.inverse_theta);
  AddKey(a, rk);
  for (int round = 1; round <= kRounds; ++round) {
    MixRows(a, t.theta);
    for (std::uint8_t& x : a)
      x = t.sbox[x];
    Transpose(a);
    AddKey(a, rk + 16 * round);
  }
  std::memcpy(block, a.data(), 16);
}

void TCipher_Square::DecryptBlock(void* block) {
  const Tables& t = T();
  const auto* rk = reinterpret_cast<const std::uint8_t*>(ScheduleWords());
  Block a;
  std::memcpy(a.data(), block, 16);
  for (int round = kRounds; round >= 1; --round) {
    AddKey(a, rk + 16 * round);
    Transpose(a);
    for (std::uint8_t& x : a)
      x = t.inverse_sbox[x];
    MixRows(a, t.inverse_theta);
  }
  AddKey(a, rk);
  MixRows(a, t.theta);
  std::memcpy(block, a.data(), 16);
}

}  // namespace pelvane
