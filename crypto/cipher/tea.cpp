#include "crypto/cipher/tea.h"

#include <array>
#include <cstring>

#include "crypto/cipher/block_words.h"
#include "crypto/secure.h"

namespace pelvane {
namespace {

using block_words::LoadBe32;
using block_words::StoreBe32;

constexpr std::uint32_t kDelta = 0x9E3779B9;
constexpr int kCycles = 32;

// Ciphertexts of the 32-byte test pattern under each class keyed with its own class name,
// no vector, cmCTS.
constexpr std::uint8_t kRefTEA[32] = {
    0x9A, 0x84, 0x08, 0x86, 0xF0, 0xDA, 0xC1, 0x95, 0xEE, 0xB5, 0x13, 0x84, 0x09, 0x10, 0x9C, 0xA8,
    0xF7, 0x03, 0x85, 0x82, 0xF2, 0x19, 0xE9, 0x6D, 0xB8, 0x8C, 0x97, 0x80, 0xAC, 0xE2, 0x0D, 0xA0};
constexpr std::uint8_t kRefTEAN[32] = {
    0xA1, 0xA9, 0x01, 0xA5, 0xE1, 0x61, 0xF6, 0x4D, 0xC8, 0x65, 0x3F, 0x6D, 0xCB, 0xF5, 0x01, 0x2E,
    0x78, 0x26, 0x8D, 0x45, 0x43, 0x80, 0xAC, 0x25, 0x4B, 0x78, 0x7B, 0x7A, 0xB9, 0xE3, 0xF8, 0x87};

}  // namespace

TCipherClassRef TCipher_TEA::StaticClass() {
  static const TCipherClass cls = {
      "TCipher_TEA", 8, 16, 16, TCipher::StaticClass(), &block_words::Make<TCipher_TEA>, kRefTEA};
  return &cls;
}

TCipherClassRef TCipher_TEAN::StaticClass() {
  static const TCipherClass cls = {
      "TCipher_TEAN", 8, 16, 16, TCipher_TEA::StaticClass(), &block_words::Make<TCipher_TEAN>,
      kRefTEAN};
  return &cls;
}

void TCipher_TEA::Init(const void* key, std::int32_t size, const void* iv) {
  size = BeginKeySetup(size);
  std::array<std::uint8_t, 16> buffer{};
  if (size > 0) std::memcpy(buffer.data(), key, static_cast<std::size_t>(size));
  std::uint32_t* k = ScheduleWords();
  for (int i = 0; i < 4; ++i)
    k[i] = LoadBe32(buffer.data() + 4 * i);
  SecureWipe(buffer);
  FinishKeySetup(iv);
}

void TCipher_TEA::EncryptBlock(void* block) {
  auto* b = static_cast<std::uint8_t*>(block);
  const std::uint32_t* k = ScheduleWords();
  std::uint32_t y = LoadBe32(b);
  std::uint32_t z = LoadBe32(b + 4);
  std::uint32_t sum = 0;
  for (int n = 0; n < kCycles; ++n) {
    sum += kDelta;
    y += ((z << 4) + k[0]) ^ (z + sum) ^ ((z >> 5) + k[1]);
    z += ((y << 4) + k[2]) ^ (y + sum) ^ ((y >> 5) + k[3]);
  }
  StoreBe32(b, y);
  StoreBe32(b + 4, z);
}

void TCipher_TEA::DecryptBlock(void* block) {
  auto* b = static_cast<std::uint8_t*>(block);
  const std::uint32_t* k = ScheduleWords();
  std::uint32_t y = LoadBe32(b);
  std::uint32_t z = LoadBe32(b + 4);
  std::uint32_t sum = kDelta * kCycles;
  for (int n = 0; n < kCycles; ++n) {
    z -= ((y << 4) + k[2]) ^ (y + sum) ^ ((y >> 5) + k[3]);
    y -= ((z << 4) + k[0]) ^ (z + sum) ^ ((z >> 5) + k[1]);
    sum -= kDelta;
  }
  StoreBe32(b, y);
  StoreBe32(b + 4, z);
}

void TCipher_TEAN::EncryptBlock(void* block) {
  auto* b = static_cast<std::uint8_t*>(block);
  const std::uint32_t* k = ScheduleWords();
  std::uint32_t y = LoadBe32(b);
  std::uint32_t z = LoadBe32(b + 4);
  std::uint32_t sum = 0;
  for (int n = 0; n < kCycles; ++n) {
    y += (((z << 4) ^ (z >> 5)) + z) ^ (sum + k[sum & 3]);
    sum += kDelta;
    z += (((y << 4) ^ (y >> 5)) + y) ^ (sum + k[(sum >> 11) & 3]);
  }
  StoreBe32(b, y);
  StoreBe32(b + 4, z);
}

void TCipher_TEAN::DecryptBlock(void* block) {
  auto* b = static_cast<std::uint8_t*>(block);
  const std::uint32_t* k = ScheduleWords();
  std::uint32_t y = LoadBe32(b);
  std::uint32_t z = LoadBe32(b + 4);
  std::uint32_t sum = kDelta * kCycles;
  for (int n = 0; n < kCycles; ++n) {
    z -= (((y << 4) ^ (y >> 5)) + y) ^ (sum + k[(sum >> 11) & 3]);
    sum -= kDelta;
    y -= (((z << 4) ^ (z >> 5)) + z) ^ (sum + k[sum & 3]);
  }
  StoreBe32(b, y);
  StoreBe32(b + 4, z);
}

}  // namespace pelvane
