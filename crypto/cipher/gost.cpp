#include "crypto/cipher/gost.h"

#include <array>
#include <cstring>

#include "crypto/cipher/block_words.h"
#include "crypto/secure.h"

namespace pelvane {
namespace {

using block_words::LoadLe32;
using block_words::Rotl32;
using block_words::StoreLe32;

// id-GostR3411-94-TestParamSet (RFC 4357, section 11.2): kSBox[j][x] is the value of S-box
// j + 1 for the input nibble x. S-box 1 substitutes the lowest nibble of the word.
constexpr std::uint8_t kSBox[8][16] = {
    {0x4, 0xA, 0x9, 0x2, 0xD, 0x8, 0x0, 0xE, 0x6, 0xB, 0x1, 0xC, 0x7, 0xF, 0x5, 0x3},
    {0xE, 0xB, 0x4, 0xC, 0x6, 0xD, 0xF, 0xA, 0x2, 0x3, 0x8, 0x1, 0x0, 0x7, 0x5, 0x9},
    {0x5, 0x8, 0x1, 0xD, 0xA, 0x3, 0x4, 0x2, 0xE, 0xF, 0xC, 0x7, 0x6, 0x0, 0x9, 0xB},
    {0x7, 0xD, 0xA, 0x1, 0x0, 0x8, 0x9, 0xF, 0xE, 0x4, 0x6, 0xC, 0xB, 0x2, 0x5, 0x3},
    {0x6, 0xC, 0x7, 0x1, 0x5, 0xF, 0xD, 0x8, 0x4, 0xA, 0x9, 0xE, 0x0, 0x3, 0xB, 0x2},
    {0x4, 0xB, 0xA, 0x0, 0x7, 0x2, 0x1, 0xD, 0x3, 0x6, 0x8, 0x5, 0x9, 0xC, 0xF, 0xE},
    {0xD, 0xB, 0x4, 0x1, 0x3, 0xF, 0x5, 0x9, 0x0, 0xA, 0xE, 0x7, 0x6, 0x8, 0x2, 0xC},
    {0x1, 0xF, 0xD, 0x0, 0x5, 0x7, 0xA, 0x4, 0x9, 0x2, 0x3, 0xE, 0x6, 0xB, 0x8, 0xC},
};

// The round function's substitution and 11-bit rotation, one table per byte of the word.
struct RoundTables {
  std::uint32_t t[4][256];
  RoundTables() {
    for (int byte = 0; byte < 4; ++byte) {
      for (std::uint32_t x = 0; x < 256; ++x) {
        const std::uint32_t low = kSBox[2 * byte][x & 15];
        const std::uint32_t high = kSBox[2 * byte + 1][x >> 4];
        t[byte][x] = Rotl32(((high << 4) | low) << (8 * byte), 11);
      }
    }
  }
};

const RoundTables& Tables() {
  static const RoundTables tables;
  return tables;
}

inline std::uint32_t F(const RoundTables& tb, std::uint32_t x) noexcept {
  return tb.t[0][x & 0xFF] ^ tb.t[1][(x >> 8) & 0xFF] ^ tb.t[2][(x >> 16) & 0xFF] ^
         tb.t[3][x >> 24];
}

// Ciphertext of the 32-byte test pattern under the key "TCipher_Gost", no vector, cmCTS.
constexpr std::uint8_t kReference[32] = {
    0xB3, 0x03, 0xA0, 0x3F, 0xB5, 0x7B, 0x91, 0x4D, 0x97, 0x51, 0x24, 0x40, 0xBD, 0xCF, 0x25, 0x15,
    0x34, 0x05, 0x9C, 0xF8, 0xAB, 0x10, 0x86, 0x9F, 0xF2, 0x80, 0x47, 0x84, 0x47, 0x9B, 0x1A, 0xD1};

}  // namespace

TCipher_Gost::TCipher_Gost(std::shared_ptr<TProtection> protection)
    : TCipher(StaticClass(), std::move(protection)) {}

TCipherClassRef TCipher_Gost::StaticClass() {
  static const TCipherClass cls = {
      "TCipher_Gost", 8, 32, 32, TCipher::StaticClass(), &block_words::Make<TCipher_Gost>,
      kReference};
  return &cls;
}

void TCipher_Gost::Init(const void* key, std::int32_t size, const void* iv) {
  size = BeginKeySetup(size);
  std::array<std::uint8_t, 32> buffer{};
  if (size > 0) std::memcpy(buffer.data(), key, static_cast<std::size_t>(size));
  std::uint32_t* k = ScheduleWords();
  for (int i = 0; i < 8; ++i)
    k[i] = LoadLe32(buffer.data() + 4 * i);
  SecureWipe(buffer);
  FinishKeySetup(iv);
}

// Encryption uses K0..K7 three times and then K7..K0; decryption the reverse order.
void TCipher_Gost::EncryptBlock(void* block) {
  auto* b = static_cast<std::uint8_t*>(block);
  const RoundTables& tb = Tables();
  const std::uint32_t* k = ScheduleWords();
  std::uint32_t n1 = LoadLe32(b);
  std::uint32_t n2 = LoadLe32(b + 4);
  for (int pass = 0; pass < 3; ++pass) {
    for (int i = 0; i < 8; i += 2) {
      n2 ^= F(tb, n1 + k[i]);
      n1 ^= F(tb, n2 + k[i + 1]);
    }
  }
  for (int i = 7; i > 0; i -= 2) {
    n2 ^= F(tb, n1 + k[i]);
    n1 ^= F(tb, n2 + k[i - 1]);
  }
  StoreLe32(b, n2);
  StoreLe32(b + 4, n1);
}

void TCipher_Gost::DecryptBlock(void* block) {
  auto* b = static_cast<std::uint8_t*>(block);
  const RoundTables& tb = Tables();
  const std::uint32_t* k = ScheduleWords();
  std::uint32_t n1 = LoadLe32(b);
  std::uint32_t n2 = LoadLe32(b + 4);
  for (int i = 0; i < 8; i += 2) {
    n2 ^= F(tb, n1 + k[i]);
    n1 ^= F(tb, n2 + k[i + 1]);
  }
  for (int pass = 0; pass < 3; ++pass) {
    for (int i = 7; i > 0; i -= 2) {
      n2 ^= F(tb, n1 + k[i]);
      n1 ^= F(tb, n2 + k[i - 1]);
    }
  }
  StoreLe32(b, n2);
  StoreLe32(b + 4, n1);
}

}  // namespace pelvane
