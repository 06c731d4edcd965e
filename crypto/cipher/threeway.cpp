#include "crypto/cipher/threeway.h"

#include <array>
#include <cstring>

#include "crypto/cipher/block_words.h"
#include "crypto/secure.h"

namespace pelvane {
namespace {

using block_words::LoadBe32;
using block_words::StoreBe32;
using Words = std::array<std::uint32_t, 3>;

constexpr int kRounds = 11;
// Start values of the round constant generators for encryption and decryption.
constexpr std::uint32_t kStartEncrypt = 0x0B0B;
constexpr std::uint32_t kStartDecrypt = 0xB1B1;

// Ciphertext of the 32-byte test pattern under the key "TCipher_3Wa" (its class name cut to 12
// bytes), no vector, cmCTS.
constexpr std::uint8_t kReference[32] = {
    0x97, 0xA9, 0x17, 0x20, 0x28, 0xF3, 0x78, 0x29, 0x62, 0x5D, 0xE9, 0x04, 0x1F, 0x91, 0x4D, 0x7D,
    0x00, 0x8A, 0xD5, 0x05, 0x08, 0x80, 0x92, 0x80, 0xCF, 0x04, 0x70, 0x1D, 0x10, 0x47, 0xE5, 0x23};

// mu: the 96 bits in reverse order.
Words Mu(const Words& a) noexcept {
  Words b{};
  for (int i = 0; i < 32; ++i) {
    b[0] = (b[0] << 1) | ((a[2] >> i) & 1);
    b[1] = (b[1] << 1) | ((a[1] >> i) & 1);
    b[2] = (b[2] << 1) | ((a[0] >> i) & 1);
  }
  return b;
}

// gamma: the nonlinear step.
void Gamma(Words& a) noexcept {
  const Words b = {a[0] ^ (a[1] | ~a[2]), a[1] ^ (a[2] | ~a[0]), a[2] ^ (a[0] | ~a[1])};
  a = b;
}

// theta: the linear mixing step.
void Theta(Words& a) noexcept {
  const auto word = [&a](int i) {
    const std::uint32_t x = a[i], y = a[(i + 1) % 3], z = a[(i + 2) % 3];
    return x ^ (x >> 16) ^ (y << 16) ^ (y >> 16) ^ (z << 16) ^ (y >> 24) ^ (z << 8) ^ (z >> 8) ^
           (x << 24) ^ (z >> 16) ^ (x << 16) ^ (z >> 24) ^ (x << 8);
  };
  const Words b = {word(0), word(1), word(2)};
  a = b;
}

void Pi1(Words& a) noexcept {
  a[0] = (a[0] >> 10) ^ (a[0] << 22);
  a[2] = (a[2] << 1) ^ (a[2] >> 31);
}

void Pi2(Words& a) noexcept {
  a[0] = (a[0] << 1) ^ (a[0] >> 31);
  a[2] = (a[2] >> 10) ^ (a[2] << 22);
}

void Rho(Words& a) noexcept {
  Theta(a);
  Pi1(a);
  Gamma(a);
  Pi2(a);
}

// The 11 rounds and the final key addition with theta, under key k from round constant start.
void Rounds(Words& a, const std::uint32_t* k, std::uint32_t constant) noexcept {
  for (int i = 0; i <= kRounds; ++i) {
    a[0] ^= k[0] ^ (constant << 16);
    a[1] ^= k[1];
    a[2] ^= k[2] ^ constant;
    if (i < kRounds) {
      Rho(a);
    } else {
      Theta(a);
    }
    constant <<= 1;
    if (constant & 0x10000) constant ^= 0x11011;
  }
}

Words Load(const std::uint8_t* b) noexcept {
  return {LoadBe32(b), LoadBe32(b + 4), LoadBe32(b + 8)};
}

void Store(const Words& a, std::uint8_t* b) noexcept {
  StoreBe32(b, a[0]);
  StoreBe32(b + 4, a[1]);
  StoreBe32(b + 8, a[2]);
}

}  // namespace

TCipher_3Way::TCipher_3Way(std::shared_ptr<TProtection> protection)
    : TCipher(StaticClass(), std::move(protection)) {}

TCipherClassRef TCipher_3Way::StaticClass() {
  static const TCipherClass cls = {
      "TCipher_3Way", 12, 12, 24, TCipher::StaticClass(), &block_words::Make<TCipher_3Way>,
      kReference};
  return &cls;
}

void TCipher_3Way::Init(const void* key, std::int32_t size, const void* iv) {
  size = BeginKeySetup(size);
  std::array<std::uint8_t, 12> buffer{};
  if (size > 0) std::memcpy(buffer.data(), key, static_cast<std::size_t>(size));
  Words k = Load(buffer.data());
  std::uint32_t* sched = ScheduleWords();
  std::memcpy(sched, k.data(), sizeof k);
  Theta(k);
  k = Mu(k);
  std::memcpy(sched + 3, k.data(), sizeof k);
  SecureWipe(k);
  SecureWipe(buffer);
  FinishKeySetup(iv);
}

void TCipher_3Way::EncryptBlock(void* block) {
  auto* b = static_cast<std::uint8_t*>(block);
  Words a = Load(b);
  Rounds(a, ScheduleWords(), kStartEncrypt);
  Store(a, b);
}

// Decryption is encryption of the bit-reversed block under the inverse key and constants.
void TCipher_3Way::DecryptBlock(void* block) {
  auto* b = static_cast<std::uint8_t*>(block);
  Words a = Mu(Load(b));
  Rounds(a, ScheduleWords() + 3, kStartDecrypt);
  Store(Mu(a), b);
}

}  // namespace pelvane
