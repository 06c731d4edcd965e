#include "crypto/cipher/rc_family.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "crypto/cipher/block_words.h"
#include "crypto/secure.h"

namespace pelvane {
namespace {

#include "crypto/cipher/rc2_pitable.inc"

using block_words::LoadLe16;
using block_words::LoadLe32;
using block_words::Rotl32;
using block_words::Rotr32;
using block_words::StoreLe16;
using block_words::StoreLe32;

// The stored reference ciphertext: the 32-byte test pattern
// 3044ED6E45A496F5F635A2EB3D1A5DD6CB1D09822DBDF560C2B858A191F981B1 under the class keyed with
// its own class name (Init, no vector), cmCTS.
constexpr std::uint8_t kReferenceRC2[32] = {
    0x71, 0xA2, 0xF0, 0xFD, 0xC2, 0xF9, 0x3C, 0x87, 0x10, 0x64, 0xB7, 0x79, 0xD3, 0xFC, 0xDD, 0x11,
    0x53, 0x36, 0x4F, 0xD7, 0x11, 0x53, 0x77, 0x5D, 0x8D, 0x53, 0xA7, 0x2E, 0x8B, 0x8A, 0xF9, 0xE7};
constexpr std::uint8_t kReferenceRC4[32] = {
    0x2D, 0x8F, 0xEE, 0x42, 0x87, 0x7B, 0xAE, 0x72, 0xF8, 0x2B, 0x8C, 0xA5, 0x12, 0x14, 0xA8, 0x7E,
    0x7E, 0x8C, 0xDB, 0x5E, 0x96, 0x49, 0x6C, 0x9C, 0xEE, 0x5E, 0x20, 0x6C, 0x7A, 0x67, 0x02, 0x5D};
constexpr std::uint8_t kReferenceRC5[32] = {
    0x62, 0x2C, 0xD2, 0x69, 0xF2, 0xE2, 0x84, 0x1C, 0xCA, 0x16, 0xDD, 0x8B, 0xE3, 0xCB, 0x6A, 0xC7,
    0xC1, 0x2B, 0x6E, 0xD9, 0xF6, 0x7D, 0x2C, 0x1B, 0x37, 0x31, 0x20, 0xFF, 0xE5, 0xEA, 0x6D, 0x1C};
constexpr std::uint8_t kReferenceRC6[32] = {
    0x98, 0x71, 0x65, 0xA1, 0x10, 0xFE, 0xBD, 0xF9, 0x07, 0x85, 0x3E, 0xFC, 0x21, 0xDB, 0xFC, 0xA1,
    0x8F, 0x5F, 0x8B, 0xF7, 0x45, 0x28, 0x81, 0x0D, 0xEF, 0x9A, 0x22, 0x7A, 0xF0, 0x62, 0x2C, 0xC6};

constexpr std::uint32_t kP32 = 0xB7E15163;
constexpr std::uint32_t kQ32 = 0x9E3779B9;

// The key expansion shared by RC5 and RC6: the key bytes as little-endian words L[0..c-1]
// (c at least 1), S[0..t-1] from the magic constants, then 3 * max(t, c) mixing steps.
void MixKey(const std::uint8_t* key, std::size_t key_size, std::uint32_t* s,
            std::size_t t) noexcept {
  std::array<std::uint32_t, 64> l{};  // up to 256 key bytes
  key_size = std::min<std::size_t>(key_size, 4 * l.size());
  const std::size_t c = std::max<std::size_t>(1, (key_size + 3) / 4);
  for (std::size_t i = key_size; i-- > 0;)
    l[i / 4] = (l[i / 4] << 8) | key[i];
  s[0] = kP32;
  for (std::size_t i = 1; i < t; ++i)
    s[i] = s[i - 1] + kQ32;
  std::uint32_t a = 0;
  std::uint32_t b = 0;
  std::size_t i = 0;
  std::size_t j = 0;
  for (std::size_t h = 3 * std::max(t, c); h > 0; --h) {
    a = s[i] = Rotl32(s[i] + a + b, 3);
    b = l[j] = Rotl32(l[j] + a + b, a + b);
    i = (i + 1) % t;
    j = (j + 1) % c;
  }
  SecureWipe(l);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// The algorithms

namespace rc_core {

void Rc2ExpandKey(const std::uint8_t* key, std::size_t key_size, unsigned effective_bits,
                  std::uint32_t out[64]) noexcept {
  std::array<std::uint8_t, 128> l{};
  const std::size_t t = std::clamp<std::size_t>(key_size, 1, 128);
  std::memcpy(l.data(), key, std::min<std::size_t>(key_size, 128));
  effective_bits = std::clamp(effective_bits, 1u, 1024u);
  const std::size_t t8 = (effective_bits + 7) / 8;
  const unsigned tm = 255u >> (8 * t8 - effective_bits);
  for (std::size_t i = t; i < 128; ++i)
    l[i] = kPiTable[static_cast<std::uint8_t>(l[i - 1] + l[i - t])];
  l[128 - t8] = kPiTable[l[128 - t8] & tm];
  for (std::size_t i = 128 - t8; i-- > 0;)
    l[i] = kPiTable[l[i + 1] ^ l[i + t8]];
  for (std::size_t i = 0; i < 64; ++i)
    out[i] = LoadLe16(l.data() + 2 * i);
  SecureWipe(l);
}

namespace {
inline std::uint16_t Rol16(std::uint16_t x, int n) noexcept {
  return static_cast<std::uint16_t>((x << n) | (x >> (16 - n)));
}
inline std::uint16_t Ror16(std::uint16_t x, int n) noexcept {
  return static_cast<std::uint16_t>((x >> n) | (x << (16 - n)));
}
}  // namespace

void Rc2Encrypt(const std::uint32_t k[64], std::uint8_t block[8]) noexcept {
  std::uint16_t r0 = LoadLe16(block);
  std::uint16_t r1 = LoadLe16(block + 2);
  std::uint16_t r2 = LoadLe16(block + 4);
  std::uint16_t r3 = LoadLe16(block + 6);
  const auto mix = [&](int j) {
    r0 = Rol16(static_cast<std::uint16_t>(r0 + k[j] + (r3 & r2) + (~r3 & r1)), 1);
    r1 = Rol16(static_cast<std::uint16_t>(r1 + k[j + 1] + (r0 & r3) + (~r0 & r2)), 2);
    r2 = Rol16(static_cast<std::uint16_t>(r2 + k[j + 2] + (r1 & r0) + (~r1 & r3)), 3);
    r3 = Rol16(static_cast<std::uint16_t>(r3 + k[j + 3] + (r2 & r1) + (~r2 & r0)), 5);
  };
  const auto mash = [&] {
    r0 = static_cast<std::uint16_t>(r0 + k[r3 & 63]);
    r1 = static_cast<std::uint16_t>(r1 + k[r0 & 63]);
    r2 = static_cast<std::uint16_t>(r2 + k[r1 & 63]);
    r3 = static_cast<std::uint16_t>(r3 + k[r2 & 63]);
  };
  int j = 0;
  for (int i = 0; i < 5; ++i, j += 4)
    mix(j);
  mash();
  for (int i = 0; i < 6; ++i, j += 4)
    mix(j);
  mash();
  for (int i = 0; i < 5; ++i, j += 4)
    mix(j);
  StoreLe16(block, r0);
  StoreLe16(block + 2, r1);
  StoreLe16(block + 4, r2);
  StoreLe16(block + 6, r3);
}

void Rc2Decrypt(const std::uint32_t k[64], std::uint8_t block[8]) noexcept {
  std::uint16_t r0 = LoadLe16(block);
  std::uint16_t r1 = LoadLe16(block + 2);
  std::uint16_t r2 = LoadLe16(block + 4);
  std::uint16_t r3 = LoadLe16(block + 6);
  // j is the first of the four key words the mixing round used.
  const auto rmix = [&](int j) {
    r3 = static_cast<std::uint16_t>(Ror16(r3, 5) - k[j + 3] - (r2 & r1) - (~r2 & r0));
    r2 = static_cast<std::uint16_t>(Ror16(r2, 3) - k[j + 2] - (r1 & r0) - (~r1 & r3));
    r1 = static_cast<std::uint16_t>(Ror16(r1, 2) - k[j + 1] - (r0 & r3) - (~r0 & r2));
    r0 = static_cast<std::uint16_t>(Ror16(r0, 1) - k[j] - (r3 & r2) - (~r3 & r1));
  };
  const auto rmash = [&] {
    r3 = static_cast<std::uint16_t>(r3 - k[r2 & 63]);
    r2 = static_cast<std::uint16_t>(r2 - k[r1 & 63]);
    r1 = static_cast<std::uint16_t>(r1 - k[r0 & 63]);
    r0 = static_cast<std::uint16_t>(r0 - k[r3 & 63]);
  };
  int j = 60;
  for (int i = 0; i < 5; ++i, j -= 4)
    rmix(j);
  rmash();
  for (int i = 0; i < 6; ++i, j -= 4)
    rmix(j);
  rmash();
  for (int i = 0; i < 5; ++i, j -= 4)
    rmix(j);
  StoreLe16(block, r0);
  StoreLe16(block + 2, r1);
  StoreLe16(block + 4, r2);
  StoreLe16(block + 6, r3);
}

void Rc5ExpandKey(const std::uint8_t* key, std::size_t key_size, int rounds,
                  std::uint32_t* s) noexcept {
  MixKey(key, key_size, s, 2 * static_cast<std::size_t>(rounds) + 2);
}

void Rc5Encrypt(const std::uint32_t* s, int rounds, std::uint8_t block[8]) noexcept {
  std::uint32_t a = LoadLe32(block) + s[0];
  std::uint32_t b = LoadLe32(block + 4) + s[1];
  for (int i = 1; i <= rounds; ++i) {
    a = Rotl32(a ^ b, b) + s[2 * i];
    b = Rotl32(b ^ a, a) + s[2 * i + 1];
  }
  StoreLe32(block, a);
  StoreLe32(block + 4, b);
}

void Rc5Decrypt(const std::uint32_t* s, int rounds, std::uint8_t block[8]) noexcept {
  std::uint32_t a = LoadLe32(block);
  std::uint32_t b = LoadLe32(block + 4);
  for (int i = rounds; i >= 1; --i) {
    b = Rotr32(b - s[2 * i + 1], a) ^ a;
    a = Rotr32(a - s[2 * i], b) ^ b;
  }
  StoreLe32(block, a - s[0]);
  StoreLe32(block + 4, b - s[1]);
}

}  // namespace rc_core

// ---------------------------------------------------------------------------------------------
// RC2. Schedule: the 64 expanded 16-bit key words, one in each word.

TCipher_RC2::TCipher_RC2(std::shared_ptr<TProtection> protection)
    : TCipher(StaticClass(), std::move(protection)) {}

TCipherClassRef TCipher_RC2::StaticClass() {
  static const TCipherClass cls = {"TCipher_RC2",
                                   8,
                                   128,
                                   64 * 4,
                                   TCipher::StaticClass(),
                                   [](std::shared_ptr<TProtection> p) -> std::unique_ptr<TCipher> {
                                     return std::make_unique<TCipher_RC2>(std::move(p));
                                   },
                                   kReferenceRC2};
  return &cls;
}

void TCipher_RC2::Init(const void* key, std::int32_t size, const void* iv) {
  size = BeginKeySetup(size);
  std::array<std::uint8_t, 128> buffer{};
  if (size > 0) std::memcpy(buffer.data(), key, static_cast<std::size_t>(size));
  const std::size_t t = size > 0 ? static_cast<std::size_t>(size) : 1;
  rc_core::Rc2ExpandKey(buffer.data(), t, static_cast<unsigned>(8 * t), ScheduleWords());
  SecureWipe(buffer);
  FinishKeySetup(iv);
}

void TCipher_RC2::EncryptBlock(void* block) {
  rc_core::Rc2Encrypt(ScheduleWords(), static_cast<std::uint8_t*>(block));
}

void TCipher_RC2::DecryptBlock(void* block) {
  rc_core::Rc2Decrypt(ScheduleWords(), static_cast<std::uint8_t*>(block));
}

// ---------------------------------------------------------------------------------------------
// RC4. Schedule: the running generator state, then the state the key stream restarts from.

namespace {
struct Rc4State {
  std::uint8_t s[256];
  std::uint8_t i;
  std::uint8_t j;
  std::uint8_t unused[2];
};
struct Rc4Schedule {
  Rc4State running;
  Rc4State start;
};
Rc4Schedule& Rc4(std::uint32_t* words) {
  return *reinterpret_cast<Rc4Schedule*>(words);
}

void Rc4Stream(Rc4State& st, std::uint8_t* data, std::size_t n) noexcept {
  std::uint8_t i = st.i;
  std::uint8_t j = st.j;
  for (std::size_t k = 0; k < n; ++k) {
    i = static_cast<std::uint8_t>(i + 1);
    const std::uint8_t si = st.s[i];
    j = static_cast<std::uint8_t>(j + si);
    const std::uint8_t sj = st.s[j];
    st.s[i] = sj;
    st.s[j] = si;
    data[k] ^= st.s[static_cast<std::uint8_t>(si + sj)];
  }
  st.i = i;
  st.j = j;
}
}  // namespace

TCipher_RC4::TCipher_RC4(std::shared_ptr<TProtection> protection)
    : TCipher(StaticClass(), std::move(protection)) {}

TCipherClassRef TCipher_RC4::StaticClass() {
  static const TCipherClass cls = {"TCipher_RC4",
                                   16,
                                   256,
                                   static_cast<std::int32_t>(sizeof(Rc4Schedule)),
                                   TCipher::StaticClass(),
                                   [](std::shared_ptr<TProtection> p) -> std::unique_ptr<TCipher> {
                                     return std::make_unique<TCipher_RC4>(std::move(p));
                                   },
                                   kReferenceRC4};
  return &cls;
}

void TCipher_RC4::Init(const void* key, std::int32_t size, const void* iv) {
  size = BeginKeySetup(size);
  std::array<std::uint8_t, 256> buffer{};
  if (size > 0) std::memcpy(buffer.data(), key, static_cast<std::size_t>(size));
  const std::size_t n = size > 0 ? static_cast<std::size_t>(size) : 1;
  Rc4State& st = Rc4(ScheduleWords()).running;
  for (int k = 0; k < 256; ++k)
    st.s[k] = static_cast<std::uint8_t>(k);
  std::uint8_t j = 0;
  for (std::size_t k = 0; k < 256; ++k) {
    j = static_cast<std::uint8_t>(j + st.s[k] + buffer[k % n]);
    std::swap(st.s[k], st.s[j]);
  }
  st.i = 0;
  st.j = 0;
  j = 0;
  SecureWipe(buffer);
  FinishKeySetup(iv);
}

void TCipher_RC4::FinishKeySetup(const void* iv) {
  // Without a vector the vector takes the first 16 key stream bytes; the data's stream starts
  // after them.
  TCipher::FinishKeySetup(iv);
  Rc4Schedule& sched = Rc4(ScheduleWords());
  std::memcpy(&sched.start, &sched.running, sizeof(Rc4State));
}

void TCipher_RC4::EncryptBlock(void* block) {
  Rc4Stream(Rc4(ScheduleWords()).running, static_cast<std::uint8_t*>(block), 16);
}

void TCipher_RC4::DecryptBlock(void* block) {
  Rc4Stream(Rc4(ScheduleWords()).running, static_cast<std::uint8_t*>(block), 16);
}

void TCipher_RC4::ResetChain() {
  TCipher::ResetChain();
  Rc4Schedule& sched = Rc4(ScheduleWords());
  std::memcpy(&sched.running, &sched.start, sizeof(Rc4State));
}

// ---------------------------------------------------------------------------------------------
// RC5. Schedule: S[0 .. 2r+1].

TCipher_RC5::TCipher_RC5(std::shared_ptr<TProtection> protection)
    : TCipher(StaticClass(), std::move(protection)) {}

TCipherClassRef TCipher_RC5::StaticClass() {
  static const TCipherClass cls = {"TCipher_RC5",
                                   8,
                                   256,
                                   (2 * kRounds + 2) * 4,
                                   TCipher::StaticClass(),
                                   [](std::shared_ptr<TProtection> p) -> std::unique_ptr<TCipher> {
                                     return std::make_unique<TCipher_RC5>(std::move(p));
                                   },
                                   kReferenceRC5};
  return &cls;
}

void TCipher_RC5::Init(const void* key, std::int32_t size, const void* iv) {
  size = BeginKeySetup(size);
  rc_core::Rc5ExpandKey(static_cast<const std::uint8_t*>(key), static_cast<std::size_t>(size),
                        kRounds, ScheduleWords());
  FinishKeySetup(iv);
}

void TCipher_RC5::EncryptBlock(void* block) {
  rc_core::Rc5Encrypt(ScheduleWords(), kRounds, static_cast<std::uint8_t*>(block));
}

void TCipher_RC5::DecryptBlock(void* block) {
  rc_core::Rc5Decrypt(ScheduleWords(), kRounds, static_cast<std::uint8_t*>(block));
}

// ---------------------------------------------------------------------------------------------
// RC6. Schedule: S[0 .. 2r+3] with r = 20.

namespace {
constexpr int kRc6Rounds = 20;
constexpr std::size_t kRc6Words = 2 * kRc6Rounds + 4;
}  // namespace

TCipher_RC6::TCipher_RC6(std::shared_ptr<TProtection> protection)
    : TCipher(StaticClass(), std::move(protection)) {}

TCipherClassRef TCipher_RC6::StaticClass() {
  static const TCipherClass cls = {"TCipher_RC6",
                                   16,
                                   256,
                                   static_cast<std::int32_t>(kRc6Words * 4),
                                   TCipher::StaticClass(),
                                   [](std::shared_ptr<TProtection> p) -> std::unique_ptr<TCipher> {
                                     return std::make_unique<TCipher_RC6>(std::move(p));
                                   },
                                   kReferenceRC6};
  return &cls;
}

void TCipher_RC6::Init(const void* key, std::int32_t size, const void* iv) {
  size = BeginKeySetup(size);
  MixKey(static_cast<const std::uint8_t*>(key), static_cast<std::size_t>(size), ScheduleWords(),
         kRc6Words);
  FinishKeySetup(iv);
}

void TCipher_RC6::EncryptBlock(void* block) {
  auto* p = static_cast<std::uint8_t*>(block);
  const std::uint32_t* s = ScheduleWords();
  std::uint32_t a = LoadLe32(p);
  std::uint32_t b = LoadLe32(p + 4) + s[0];
  std::uint32_t c = LoadLe32(p + 8);
  std::uint32_t d = LoadLe32(p + 12) + s[1];
  for (int i = 1; i <= kRc6Rounds; ++i) {
    const std::uint32_t t = Rotl32(b * (2 * b + 1), 5);
    const std::uint32_t u = Rotl32(d * (2 * d + 1), 5);
    a = Rotl32(a ^ t, u) + s[2 * i];
    c = Rotl32(c ^ u, t) + s[2 * i + 1];
    const std::uint32_t old_a = a;
    a = b;
    b = c;
    c = d;
    d = old_a;
  }
  StoreLe32(p, a + s[2 * kRc6Rounds + 2]);
  StoreLe32(p + 4, b);
  StoreLe32(p + 8, c + s[2 * kRc6Rounds + 3]);
  StoreLe32(p + 12, d);
}

void TCipher_RC6::DecryptBlock(void* block) {
  auto* p = static_cast<std::uint8_t*>(block);
  const std::uint32_t* s = ScheduleWords();
  std::uint32_t a = LoadLe32(p) - s[2 * kRc6Rounds + 2];
  std::uint32_t b = LoadLe32(p + 4);
  std::uint32_t c = LoadLe32(p + 8) - s[2 * kRc6Rounds + 3];
  std::uint32_t d = LoadLe32(p + 12);
  for (int i = kRc6Rounds; i >= 1; --i) {
    const std::uint32_t old_d = d;
    d = c;
    c = b;
    b = a;
    a = old_d;
    const std::uint32_t u = Rotl32(d * (2 * d + 1), 5);
    const std::uint32_t t = Rotl32(b * (2 * b + 1), 5);
    c = Rotr32(c - s[2 * i + 1], t) ^ u;
    a = Rotr32(a - s[2 * i], u) ^ t;
  }
  StoreLe32(p, a);
  StoreLe32(p + 4, b - s[0]);
  StoreLe32(p + 8, c);
  StoreLe32(p + 12, d - s[1]);
}

}  // namespace pelvane
