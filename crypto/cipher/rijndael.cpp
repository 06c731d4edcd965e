#include "crypto/cipher/rijndael.h"

#include <array>
#include <cstring>

#include "crypto/cipher/block_words.h"
#include "crypto/cipher/rijndael_core.h"
#include "crypto/secure.h"

namespace pelvane {
namespace rijndael {
namespace {

using block_words::Byte;
using block_words::LoadLe32;
using block_words::StoreLe32;

// Arithmetic in GF(2^8) modulo x^8 + x^4 + x^3 + x + 1.
constexpr std::uint8_t XTime(std::uint8_t a) {
  return static_cast<std::uint8_t>((a << 1) ^ ((a & 0x80) ? 0x1B : 0x00));
}
constexpr std::uint8_t Mul(std::uint8_t a, std::uint8_t b) {
  std::uint8_t r = 0;
  while (b != 0) {
    if (b & 1) r ^= a;
    a = XTime(a);
    b >>= 1;
  }
  return r;
}
// The multiplicative inverse, a^254; 0 maps to 0.
constexpr std::uint8_t Inverse(std::uint8_t a) {
  std::uint8_t result = 1;
  std::uint8_t power = a;
  for (int e = 254; e != 0; e >>= 1) {
    if (e & 1) result = Mul(result, power);
    power = Mul(power, power);
  }
  return a == 0 ? 0 : result;
}
constexpr std::uint8_t Rotl8(std::uint8_t x, int n) {
  return static_cast<std::uint8_t>((x << n) | (x >> (8 - n)));
}

// SubBytes: the field inverse followed by the affine map b ^ (b<<<1) ^ ... ^ (b<<<4) ^ 63.
constexpr std::array<std::uint8_t, 256> MakeSBox() {
  std::array<std::uint8_t, 256> s{};
  for (int x = 0; x < 256; ++x) {
    const std::uint8_t b = Inverse(static_cast<std::uint8_t>(x));
    s[x] =
        static_cast<std::uint8_t>(b ^ Rotl8(b, 1) ^ Rotl8(b, 2) ^ Rotl8(b, 3) ^ Rotl8(b, 4) ^ 0x63);
  }
  return s;
}
constexpr std::array<std::uint8_t, 256> kS = MakeSBox();
constexpr std::array<std::uint8_t, 256> MakeInvSBox() {
  std::array<std::uint8_t, 256> inv{};
  for (int x = 0; x < 256; ++x)
    inv[kS[x]] = static_cast<std::uint8_t>(x);
  return inv;
}
constexpr std::array<std::uint8_t, 256> kSi = MakeInvSBox();

constexpr std::uint32_t Column(std::uint8_t r0, std::uint8_t r1, std::uint8_t r2, std::uint8_t r3) {
  return std::uint32_t{r0} | (std::uint32_t{r1} << 8) | (std::uint32_t{r2} << 16) |
         (std::uint32_t{r3} << 24);
}

// Round tables: kTe[r][x] is the MixColumns image of S[x] standing in row r of a column;
// kTd[r][x] the InvMixColumns image of Si[x] in row r.
using Tables = std::array<std::array<std::uint32_t, 256>, 4>;
constexpr Tables MakeTe() {
  Tables t{};
  for (int x = 0; x < 256; ++x) {
    const std::uint8_t s = kS[x];
    const std::uint32_t w = Column(Mul(s, 2), s, s, Mul(s, 3));
    for (int r = 0; r < 4; ++r)
      t[r][x] = std::rotl(w, 8 * r);
  }
  return t;
}
constexpr Tables MakeTd() {
  Tables t{};
  for (int x = 0; x < 256; ++x) {
    const std::uint8_t s = kSi[x];
    const std::uint32_t w = Column(Mul(s, 14), Mul(s, 9), Mul(s, 13), Mul(s, 11));
    for (int r = 0; r < 4; ++r)
      t[r][x] = std::rotl(w, 8 * r);
  }
  return t;
}
constexpr Tables kTe = MakeTe();
constexpr Tables kTd = MakeTd();

std::uint32_t SubWord(std::uint32_t w) noexcept {
  return Column(kS[Byte(w, 0)], kS[Byte(w, 1)], kS[Byte(w, 2)], kS[Byte(w, 3)]);
}

// InvMixColumns of one column word: the Td tables after the S-box cancel its inverse.
std::uint32_t InvMixColumn(std::uint32_t w) noexcept {
  return kTd[0][kS[Byte(w, 0)]] ^ kTd[1][kS[Byte(w, 1)]] ^ kTd[2][kS[Byte(w, 2)]] ^
         kTd[3][kS[Byte(w, 3)]];
}

}  // namespace

const std::uint8_t kSBox[256] = {
#define PELVANE_ROW(i)                                                                           \
  kS[i], kS[i + 1], kS[i + 2], kS[i + 3], kS[i + 4], kS[i + 5], kS[i + 6], kS[i + 7], kS[i + 8], \
      kS[i + 9], kS[i + 10], kS[i + 11], kS[i + 12], kS[i + 13], kS[i + 14], kS[i + 15]
    PELVANE_ROW(0),   PELVANE_ROW(16),  PELVANE_ROW(32),  PELVANE_ROW(48),
    PELVANE_ROW(64),  PELVANE_ROW(80),  PELVANE_ROW(96),  PELVANE_ROW(112),
    PELVANE_ROW(128), PELVANE_ROW(144), PELVANE_ROW(160), PELVANE_ROW(176),
    PELVANE_ROW(192), PELVANE_ROW(208), PELVANE_ROW(224), PELVANE_ROW(240)};
#undef PELVANE_ROW
const std::uint8_t kInvSBox[256] = {
#define PELVANE_ROW(i)                                                                         \
  kSi[i], kSi[i + 1], kSi[i + 2], kSi[i + 3], kSi[i + 4], kSi[i + 5], kSi[i + 6], kSi[i + 7],  \
      kSi[i + 8], kSi[i + 9], kSi[i + 10], kSi[i + 11], kSi[i + 12], kSi[i + 13], kSi[i + 14], \
      kSi[i + 15]
    PELVANE_ROW(0),   PELVANE_ROW(16),  PELVANE_ROW(32),  PELVANE_ROW(48),
    PELVANE_ROW(64),  PELVANE_ROW(80),  PELVANE_ROW(96),  PELVANE_ROW(112),
    PELVANE_ROW(128), PELVANE_ROW(144), PELVANE_ROW(160), PELVANE_ROW(176),
    PELVANE_ROW(192), PELVANE_ROW(208), PELVANE_ROW(224), PELVANE_ROW(240)};
#undef PELVANE_ROW

void ExpandKey(const std::uint8_t* key, std::size_t key_size, Schedule& out) noexcept {
  const std::size_t nk = key_size <= 16 ? 4 : key_size <= 24 ? 6 : 8;
  const std::size_t rounds = nk + 6;
  std::array<std::uint8_t, 32> padded{};
  std::memcpy(padded.data(), key, key_size < 32 ? key_size : 32);
  std::uint32_t* w = out.enc;
  for (std::size_t i = 0; i < nk; ++i)
    w[i] = LoadLe32(padded.data() + 4 * i);
  std::uint8_t rcon = 1;
  const std::size_t total = 4 * (rounds + 1);
  for (std::size_t i = nk; i < total; ++i) {
    std::uint32_t t = w[i - 1];
    if (i % nk == 0) {
      // RotWord moves row 1 to row 0: a right rotation of the column word.
      t = SubWord(std::rotr(t, 8)) ^ rcon;
      rcon = XTime(rcon);
    } else if (nk > 6 && i % nk == 4) {
      t = SubWord(t);
    }
    w[i] = w[i - nk] ^ t;
  }
  for (std::size_t i = total; i < kRoundKeyWords; ++i)
    w[i] = 0;
  // The equivalent inverse cipher: round keys in reverse order, inner ones through
  // InvMixColumns.
  std::uint32_t* d = out.dec;
  for (std::size_t r = 0; r <= rounds; ++r) {
    for (std::size_t c = 0; c < 4; ++c) {
      const std::uint32_t k = w[4 * (rounds - r) + c];
      d[4 * r + c] = (r == 0 || r == rounds) ? k : InvMixColumn(k);
    }
  }
  for (std::size_t i = total; i < kRoundKeyWords; ++i)
    d[i] = 0;
  out.rounds = static_cast<std::uint32_t>(rounds);
  SecureWipe(padded);
}

void EncryptPortable(const Schedule& s, std::uint8_t* block) noexcept {
  const std::uint32_t* rk = s.enc;
  std::uint32_t s0 = LoadLe32(block) ^ rk[0];
  std::uint32_t s1 = LoadLe32(block + 4) ^ rk[1];
  std::uint32_t s2 = LoadLe32(block + 8) ^ rk[2];
  std::uint32_t s3 = LoadLe32(block + 12) ^ rk[3];
  // Output column j takes row r from input column j + r (ShiftRows).
  for (std::uint32_t round = 1; round < s.rounds; ++round) {
    rk += 4;
    const std::uint32_t t0 = kTe[0][Byte(s0, 0)] ^ kTe[1][Byte(s1, 1)] ^ kTe[2][Byte(s2, 2)] ^
                             kTe[3][Byte(s3, 3)] ^ rk[0];
    const std::uint32_t t1 = kTe[0][Byte(s1, 0)] ^ kTe[1][Byte(s2, 1)] ^ kTe[2][Byte(s3, 2)] ^
                             kTe[3][Byte(s0, 3)] ^ rk[1];
    const std::uint32_t t2 = kTe[0][Byte(s2, 0)] ^ kTe[1][Byte(s3, 1)] ^ kTe[2][Byte(s0, 2)] ^
                             kTe[3][Byte(s1, 3)] ^ rk[2];
    const std::uint32_t t3 = kTe[0][Byte(s3, 0)] ^ kTe[1][Byte(s0, 1)] ^ kTe[2][Byte(s1, 2)] ^
                             kTe[3][Byte(s2, 3)] ^ rk[3];
    s0 = t0;
    s1 = t1;
    s2 = t2;
    s3 = t3;
  }
  rk += 4;
  const auto last = [](std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d) {
    return Column(kS[Byte(a, 0)], kS[Byte(b, 1)], kS[Byte(c, 2)], kS[Byte(d, 3)]);
  };
  StoreLe32(block, last(s0, s1, s2, s3) ^ rk[0]);
  StoreLe32(block + 4, last(s1, s2, s3, s0) ^ rk[1]);
  StoreLe32(block + 8, last(s2, s3, s0, s1) ^ rk[2]);
  StoreLe32(block + 12, last(s3, s0, s1, s2) ^ rk[3]);
}

void DecryptPortable(const Schedule& s, std::uint8_t* block) noexcept {
  const std::uint32_t* rk = s.dec;
  std::uint32_t s0 = LoadLe32(block) ^ rk[0];
  std::uint32_t s1 = LoadLe32(block + 4) ^ rk[1];
  std::uint32_t s2 = LoadLe32(block + 8) ^ rk[2];
  std::uint32_t s3 = LoadLe32(block + 12) ^ rk[3];
  // Output column j takes row r from input column j - r (InvShiftRows).
  for (std::uint32_t round = 1; round < s.rounds; ++round) {
    rk += 4;
    const std::uint32_t t0 = kTd[0][Byte(s0, 0)] ^ kTd[1][Byte(s3, 1)] ^ kTd[2][Byte(s2, 2)] ^
                             kTd[3][Byte(s1, 3)] ^ rk[0];
    const std::uint32_t t1 = kTd[0][Byte(s1, 0)] ^ kTd[1][Byte(s0, 1)] ^ kTd[2][Byte(s3, 2)] ^
                             kTd[3][Byte(s2, 3)] ^ rk[1];
    const std::uint32_t t2 = kTd[0][Byte(s2, 0)] ^ kTd[1][Byte(s1, 1)] ^ kTd[2][Byte(s0, 2)] ^
                             kTd[3][Byte(s3, 3)] ^ rk[2];
    const std::uint32_t t3 = kTd[0][Byte(s3, 0)] ^ kTd[1][Byte(s2, 1)] ^ kTd[2][Byte(s1, 2)] ^
                             kTd[3][Byte(s0, 3)] ^ rk[3];
    s0 = t0;
    s1 = t1;
    s2 = t2;
    s3 = t3;
  }
  rk += 4;
  const auto last = [](std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d) {
    return Column(kSi[Byte(a, 0)], kSi[Byte(b, 1)], kSi[Byte(c, 2)], kSi[Byte(d, 3)]);
  };
  StoreLe32(block, last(s0, s3, s2, s1) ^ rk[0]);
  StoreLe32(block + 4, last(s1, s0, s3, s2) ^ rk[1]);
  StoreLe32(block + 8, last(s2, s1, s0, s3) ^ rk[2]);
  StoreLe32(block + 12, last(s3, s2, s1, s0) ^ rk[3]);
}

}  // namespace rijndael

namespace {
// The stored reference ciphertext: the 32-byte test pattern
// 3044ED6E45A496F5F635A2EB3D1A5DD6CB1D09822DBDF560C2B858A191F981B1 under the class keyed with
// its own class name (Init, no vector), cmCTS.
constexpr std::uint8_t kReference[32] = {
    0x94, 0x6D, 0x2B, 0x5E, 0xE0, 0xAD, 0x1B, 0x5C, 0xA5, 0x23, 0xA5, 0x13, 0x95, 0x8B, 0x3D, 0x2D,
    0x93, 0x87, 0xF3, 0x37, 0x45, 0x51, 0xF6, 0x58, 0x9B, 0xE7, 0x90, 0x1B, 0x36, 0x87, 0xF9, 0xA9};
}  // namespace

TCipher_Rijndael::TCipher_Rijndael(std::shared_ptr<TProtection> protection)
    : TCipher(StaticClass(), std::move(protection)),
      use_aes_instructions_(rijndael::HaveAesInstructions()) {}

TCipherClassRef TCipher_Rijndael::StaticClass() {
  static const TCipherClass cls = {"TCipher_Rijndael",
                                   16,
                                   32,
                                   static_cast<std::int32_t>(sizeof(rijndael::Schedule)),
                                   TCipher::StaticClass(),
                                   [](std::shared_ptr<TProtection> p) -> std::unique_ptr<TCipher> {
                                     return std::make_unique<TCipher_Rijndael>(std::move(p));
                                   },
                                   kReference};
  return &cls;
}

rijndael::Schedule& TCipher_Rijndael::Sched() noexcept {
  return *reinterpret_cast<rijndael::Schedule*>(ScheduleWords());
}
const rijndael::Schedule& TCipher_Rijndael::Sched() const noexcept {
  return *reinterpret_cast<const rijndael::Schedule*>(ScheduleWords());
}

void TCipher_Rijndael::Init(const void* key, std::int32_t size, const void* iv) {
  size = BeginKeySetup(size);
  std::array<std::uint8_t, 32> buffer{};
  if (size > 0) std::memcpy(buffer.data(), key, static_cast<std::size_t>(size));
  rijndael::ExpandKey(buffer.data(), static_cast<std::size_t>(size), Sched());
  SecureWipe(buffer);
  FinishKeySetup(iv);
}

void TCipher_Rijndael::EncryptBlock(void* block) {
  auto* b = static_cast<std::uint8_t*>(block);
  if (use_aes_instructions_) {
    rijndael::EncryptAesNi(Sched(), b);
  } else {
    rijndael::EncryptPortable(Sched(), b);
  }
}

void TCipher_Rijndael::DecryptBlock(void* block) {
  auto* b = static_cast<std::uint8_t*>(block);
  if (use_aes_instructions_) {
    rijndael::DecryptAesNi(Sched(), b);
  } else {
    rijndael::DecryptPortable(Sched(), b);
  }
}

void TCipher_Rijndael::EncryptBlocks(const std::uint8_t* source, std::uint8_t* dest,
                                     std::size_t count) {
  if (use_aes_instructions_) {
    rijndael::EncryptBlocksAesNi(Sched(), source, dest, count);
    return;
  }
  if (source != dest) std::memcpy(dest, source, 16 * count);
  for (std::size_t i = 0; i < count; ++i)
    rijndael::EncryptPortable(Sched(), dest + 16 * i);
}

void TCipher_Rijndael::DecryptBlocks(const std::uint8_t* source, std::uint8_t* dest,
                                     std::size_t count) {
  if (use_aes_instructions_) {
    rijndael::DecryptBlocksAesNi(Sched(), source, dest, count);
    return;
  }
  if (source != dest) std::memcpy(dest, source, 16 * count);
  for (std::size_t i = 0; i < count; ++i)
    rijndael::DecryptPortable(Sched(), dest + 16 * i);
}

}  // namespace pelvane
