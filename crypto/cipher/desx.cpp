#include "crypto/cipher/desx.h"

#include <array>
#include <cstring>

#include "crypto/cipher/des_core.h"
#include "crypto/secure.h"

namespace pelvane {
namespace {

// The stored reference ciphertext: the 32-byte test pattern
// 3044ED6E45A496F5F635A2EB3D1A5DD6CB1D09822DBDF560C2B858A191F981B1 under the class keyed with
// its own class name (Init, no vector), cmCTS.
constexpr std::uint8_t kReference[32] = {
    0x55, 0x8E, 0x5A, 0xEA, 0x6E, 0x36, 0x87, 0xBA, 0xA2, 0xF1, 0x52, 0x52, 0x5F, 0xEF, 0x33, 0xF9,
    0x04, 0xED, 0x43, 0x41, 0x84, 0x05, 0x87, 0xC8, 0xAB, 0x5F, 0xCA, 0x72, 0x35, 0x92, 0x55, 0xAC};
constexpr std::size_t kWhiteningOffset = 2 * des::kScheduleWords;  // words

inline void Whiten(std::uint8_t* block, const std::uint32_t* whitening) noexcept {
  std::uint64_t b;
  std::uint64_t w;
  std::memcpy(&b, block, 8);
  std::memcpy(&w, whitening, 8);
  b ^= w;
  std::memcpy(block, &b, 8);
}

}  // namespace

TCipher_DESX::TCipher_DESX(std::shared_ptr<TProtection> protection)
    : TCipher_1DES(StaticClass(), std::move(protection)) {}

TCipherClassRef TCipher_DESX::StaticClass() {
  static const TCipherClass cls = {"TCipher_DESX",
                                   8,
                                   16,
                                   static_cast<std::int32_t>(2 * des::kScheduleBytes + 8),
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
  std::memcpy(sched + kWhiteningOffset, buffer.data() + 8, 8);
  SecureWipe(buffer);
  FinishKeySetup(iv);
}

void TCipher_DESX::EncryptBlock(void* block) {
  auto* b = static_cast<std::uint8_t*>(block);
  const std::uint32_t* sched = ScheduleWords();
  Whiten(b, sched + kWhiteningOffset);
  des::Crypt(b, sched);
  Whiten(b, sched + kWhiteningOffset);
}

void TCipher_DESX::DecryptBlock(void* block) {
  auto* b = static_cast<std::uint8_t*>(block);
  const std::uint32_t* sched = ScheduleWords();
  Whiten(b, sched + kWhiteningOffset);
  des::Crypt(b, sched + des::kScheduleWords);
  Whiten(b, sched + kWhiteningOffset);
}

}  // namespace pelvane
