#include "crypto/cipher/desx.h"

#include <array>
#include <cstring>

#include "crypto/cipher/des_core.h"
#include "crypto/secure.h"

namespace pelvane {
namespace {

#include "crypto/cipher/rc2_pitable.inc"

// The stored reference ciphertext: the 32-byte test pattern
// 3044ED6E45A496F5F635A2EB3D1A5DD6CB1D09822DBDF560C2B858A191F981B1 under the class keyed with
// its own class name (Init, no vector), cmCTS.
constexpr std::uint8_t kReference[32] = {
    0xB0, 0x23, 0x81, 0xC0, 0xB4, 0xF1, 0xC3, 0x44, 0xF6, 0x3B, 0xEF, 0x4F, 0x3F, 0x45, 0xF3, 0xDF,
    0xE2, 0x7B, 0x00, 0xF1, 0x67, 0x84, 0x0A, 0x80, 0x17, 0x4B, 0x2D, 0xCE, 0x01, 0xE4, 0x88, 0x79};
// The whitening keys follow the two DES schedules: W1, then W2 (two words each).
constexpr std::size_t kInputWhitening = 2 * des::kScheduleWords;  // words
constexpr std::size_t kOutputWhitening = kInputWhitening + 2;

inline void Whiten(std::uint8_t* block, const std::uint32_t* whitening) noexcept {
  std::uint64_t b;
  std::uint64_t w;
  std::memcpy(&b, block, 8);
  std::memcpy(&w, whitening, 8);
  b ^= w;
  std::memcpy(block, &b, 8);
}

}  // namespace

void DesxOutputWhitening(const std::uint8_t key[16], std::uint8_t w2[8]) noexcept {
  std::uint8_t reg[8] = {};
  for (int i = 0; i < 16; ++i) {
    const std::uint8_t next = kPiTable[reg[0] ^ reg[1]] ^ key[i];
    std::memmove(reg, reg + 1, 7);
    reg[7] = next;
  }
  std::memcpy(w2, reg, 8);
  SecureWipe(reg, sizeof reg);
}

TCipher_DESX::TCipher_DESX(std::shared_ptr<TProtection> protection)
    : TCipher_1DES(StaticClass(), std::move(protection)) {}

TCipherClassRef TCipher_DESX::StaticClass() {
  static const TCipherClass cls = {"TCipher_DESX",
                                   8,
                                   16,
                                   static_cast<std::int32_t>(2 * des::kScheduleBytes + 16),
                                   TCipher_1DES::StaticClass(),
                                   [](std::shared_ptr<TProtection> p) -> std::unique_ptr<TCipher> {
                                     return std::make_unique<TCipher_DESX>(std::move(p));
                                   },
                                   kReference};
  return &cls;
}

void TCipher_DESX::Init(const void* key, std::int32_t size, const void* iv) {
  size = BeginKeySetup(size);
  std::array<std::uint8_t, 16> buffer{};
  if (size > 0) std::memcpy(buffer.data(), key, static_cast<std::size_t>(size));
  std::uint32_t* sched = ScheduleWords();
  des::MakeSchedule(buffer.data(), false, sched);
  des::MakeSchedule(buffer.data(), true, sched + des::kScheduleWords);
  std::memcpy(sched + kInputWhitening, buffer.data() + 8, 8);
  DesxOutputWhitening(buffer.data(), reinterpret_cast<std::uint8_t*>(sched + kOutputWhitening));
  SecureWipe(buffer);
  FinishKeySetup(iv);
}

void TCipher_DESX::EncryptBlock(void* block) {
  auto* b = static_cast<std::uint8_t*>(block);
  const std::uint32_t* sched = ScheduleWords();
  Whiten(b, sched + kInputWhitening);
  des::Crypt(b, sched);
  Whiten(b, sched + kOutputWhitening);
}

void TCipher_DESX::DecryptBlock(void* block) {
  auto* b = static_cast<std::uint8_t*>(block);
  const std::uint32_t* sched = ScheduleWords();
  Whiten(b, sched + kOutputWhitening);
  des::Crypt(b, sched + des::kScheduleWords);
  Whiten(b, sched + kInputWhitening);
}

}  // namespace pelvane
