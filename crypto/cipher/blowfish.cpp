#include "crypto/cipher/blowfish.h"

#include <array>
#include <cstring>

#include "crypto/secure.h"

namespace pelvane {
namespace {

#include "crypto/cipher/blowfish_init.inc"

// Schedule layout: the P-array (18 words), then the four S-boxes (256 words each).
constexpr std::size_t kPWords = 18;
constexpr std::size_t kScheduleWords = kPWords + 4 * 256;

// The 32-byte test pattern of the DES family under the key "TCipher_Blowfish", cmCTS.
constexpr std::uint8_t kReference[32] = {
    0x19, 0x71, 0xCA, 0xCD, 0x2B, 0x9C, 0x85, 0x29, 0xDA, 0x81, 0x47, 0xB7, 0xEB, 0xCE, 0x16, 0xC6,
    0x91, 0x0E, 0x1D, 0xC8, 0x40, 0x12, 0x3E, 0x35, 0x70, 0xED, 0xBC, 0x96, 0x4C, 0x13, 0xD0, 0xB8};

inline std::uint32_t LoadBe(const std::uint8_t* p) noexcept {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
         std::uint32_t{p[3]};
}
inline void StoreBe(std::uint32_t v, std::uint8_t* p) noexcept {
  p[0] = static_cast<std::uint8_t>(v >> 24);
  p[1] = static_cast<std::uint8_t>(v >> 16);
  p[2] = static_cast<std::uint8_t>(v >> 8);
  p[3] = static_cast<std::uint8_t>(v);
}

inline std::uint32_t F(const std::uint32_t* s, std::uint32_t x) noexcept {
  return ((s[x >> 24] + s[256 + ((x >> 16) & 0xFF)]) ^ s[512 + ((x >> 8) & 0xFF)]) +
         s[768 + (x & 0xFF)];
}

inline void Encrypt(const std::uint32_t* sched, std::uint32_t& l, std::uint32_t& r) noexcept {
  const std::uint32_t* p = sched;
  const std::uint32_t* s = sched + kPWords;
  for (int i = 0; i < 16; i += 2) {
    l ^= p[i];
    r ^= F(s, l);
    r ^= p[i + 1];
    l ^= F(s, r);
  }
  l ^= p[16];
  r ^= p[17];
  std::swap(l, r);
}

inline void Decrypt(const std::uint32_t* sched, std::uint32_t& l, std::uint32_t& r) noexcept {
  const std::uint32_t* p = sched;
  const std::uint32_t* s = sched + kPWords;
  for (int i = 17; i > 1; i -= 2) {
    l ^= p[i];
    r ^= F(s, l);
    r ^= p[i - 1];
    l ^= F(s, r);
  }
  l ^= p[1];
  r ^= p[0];
  std::swap(l, r);
}

}  // namespace

TCipher_Blowfish::TCipher_Blowfish(std::shared_ptr<TProtection> protection)
    : TCipher(StaticClass(), std::move(protection)) {}

TCipherClassRef TCipher_Blowfish::StaticClass() {
  static const TCipherClass cls = {"TCipher_Blowfish",
                                   8,
                                   56,
                                   static_cast<std::int32_t>(kScheduleWords * 4),
                                   TCipher::StaticClass(),
                                   [](std::shared_ptr<TProtection> p) -> std::unique_ptr<TCipher> {
                                     return std::make_unique<TCipher_Blowfish>(std::move(p));
                                   },
                                   kReference};
  return &cls;
}

void TCipher_Blowfish::Init(const void* key, std::int32_t size, const void* iv) {
  size = BeginKeySetup(size);
  std::array<std::uint8_t, 56> buffer{};
  if (size > 0) std::memcpy(buffer.data(), key, static_cast<std::size_t>(size));
  std::uint32_t* sched = ScheduleWords();
  std::memcpy(sched, kPiWords, sizeof(kPiWords));
  if (size > 0) {
    std::size_t j = 0;
    for (std::size_t i = 0; i < kPWords; ++i) {
      std::uint32_t word = 0;
      for (int k = 0; k < 4; ++k) {
        word = (word << 8) | buffer[j];
        j = (j + 1) % static_cast<std::size_t>(size);
      }
      sched[i] ^= word;
    }
  }
  std::uint32_t l = 0;
  std::uint32_t r = 0;
  for (std::size_t i = 0; i < kScheduleWords; i += 2) {
    Encrypt(sched, l, r);
    sched[i] = l;
    sched[i + 1] = r;
  }
  l = r = 0;
  SecureWipe(buffer);
  FinishKeySetup(iv);
}

void TCipher_Blowfish::EncryptBlock(void* block) {
  auto* b = static_cast<std::uint8_t*>(block);
  std::uint32_t l = LoadBe(b);
  std::uint32_t r = LoadBe(b + 4);
  Encrypt(ScheduleWords(), l, r);
  StoreBe(l, b);
  StoreBe(r, b + 4);
}

void TCipher_Blowfish::DecryptBlock(void* block) {
  auto* b = static_cast<std::uint8_t*>(block);
  std::uint32_t l = LoadBe(b);
  std::uint32_t r = LoadBe(b + 4);
  Decrypt(ScheduleWords(), l, r);
  StoreBe(l, b);
  StoreBe(r, b + 4);
}

}  // namespace pelvane
