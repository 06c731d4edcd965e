// HAVAL with three passes: the boolean functions, word orders and argument permutations of the
// designers' paper, and its constants, the fraction of pi.
#include "crypto/hash/haval.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <utility>

#include "crypto/hash/hash_internal.h"
#include "crypto/secure.h"

namespace pelvane {

namespace {

template <class T>
std::unique_ptr<THash> Make(std::shared_ptr<TProtection> protection) {
  return std::make_unique<T>(std::move(protection));
}

// The first 72 words of the fraction of pi in hexadecimal (computed to 1100 hexadecimal digits
// with bc: 4*a(1) at scale 1500): words 0 to 7 are the initial chaining value, words 8 to 39
// the step constants of pass 2 and words 40 to 71 those of pass 3 (pass 1 adds none).
constexpr std::uint32_t kPiWords[72] = {
    0x243F6A88u, 0x85A308D3u, 0x13198A2Eu, 0x03707344u, 0xA4093822u, 0x299F31D0u, 0x082EFA98u,
    0xEC4E6C89u, 0x452821E6u, 0x38D01377u, 0xBE5466CFu, 0x34E90C6Cu, 0xC0AC29B7u, 0xC97C50DDu,
    0x3F84D5B5u, 0xB5470917u, 0x9216D5D9u, 0x8979FB1Bu, 0xD1310BA6u, 0x98DFB5ACu, 0x2FFD72DBu,
    0xD01ADFB7u, 0xB8E1AFEDu, 0x6A267E96u, 0xBA7C9045u, 0xF12C7F99u, 0x24A19947u, 0xB3916CF7u,
    0x0801F2E2u, 0x858EFC16u, 0x636920D8u, 0x71574E69u, 0xA458FEA3u, 0xF4933D7Eu, 0x0D95748Fu,
    0x728EB658u, 0x718BCD58u, 0x82154AEEu, 0x7B54A41Du, 0xC25A59B5u, 0x9C30D539u, 0x2AF26013u,
    0xC5D1B023u, 0x286085F0u, 0xCA417918u, 0xB8DB38EFu, 0x8E79DCB0u, 0x603A180Eu, 0x6C9E0E8Bu,
    0xB01E8A3Eu, 0xD71577C1u, 0xBD314B27u, 0x78AF2FDAu, 0x55605C60u, 0xE65525F3u, 0xAA55AB94u,
    0x57489862u, 0x63E81440u, 0x55CA396Au, 0x2AAB10B6u, 0xB4CC5C34u, 0x1141E8CEu, 0xA15486AFu,
    0x7C72E993u, 0xB3EE1411u, 0x636FBC2Au, 0x2BA9C55Du, 0x741831F6u, 0xCE5C3E16u, 0x9B87931Eu,
    0xAFD6BA33u, 0x6C24CF5Cu,
};

// The message word each step of a pass reads.
constexpr int kWordOrder[3][32] = {
    {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15,
     16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31},
    {5,  14, 26, 18, 11, 28, 7,  16, 0,  23, 20, 22, 1, 10, 4,  8,
     30, 3,  21, 9,  17, 24, 29, 6,  19, 12, 15, 13, 2, 25, 31, 27},
    {19, 9,  4, 20, 28, 17, 8,  22, 29, 14, 25, 12, 24, 30, 16, 26,
     31, 15, 7, 3,  1,  0,  18, 27, 13, 6,  21, 10, 23, 11, 5,  2},
};

// The boolean functions in the paper's argument order (x6, ..., x0); products are AND, sums XOR.
// F1 = x1x4 + x2x5 + x3x6 + x0x1 + x0
inline std::uint32_t F1(std::uint32_t x6, std::uint32_t x5, std::uint32_t x4, std::uint32_t x3,
                        std::uint32_t x2, std::uint32_t x1, std::uint32_t x0) {
  return (x1 & (x0 ^ x4)) ^ (x2 & x5) ^ (x3 & x6) ^ x0;
}
// F2 = x1x2x3 + x2x4x5 + x1x2 + x1x4 + x2x6 + x3x5 + x4x5 + x0x2 + x0
inline std::uint32_t F2(std::uint32_t x6, std::uint32_t x5, std::uint32_t x4, std::uint32_t x3,
                        std::uint32_t x2, std::uint32_t x1, std::uint32_t x0) {
  return (x2 & ((x1 & ~x3) ^ (x4 & x5) ^ x6 ^ x0)) ^ (x4 & (x1 ^ x5)) ^ (x3 & x5) ^ x0;
}
// F3 = x1x2x3 + x1x4 + x2x5 + x3x6 + x0x3 + x0
inline std::uint32_t F3(std::uint32_t x6, std::uint32_t x5, std::uint32_t x4, std::uint32_t x3,
                        std::uint32_t x2, std::uint32_t x1, std::uint32_t x0) {
  return (x3 & ((x1 & x2) ^ x6 ^ x0)) ^ (x1 & x4) ^ (x2 & x5) ^ x0;
}

// The function of a pass with the three-pass permutation of its arguments applied.
template <int kPass>
inline std::uint32_t PermutedFunction(std::uint32_t x6, std::uint32_t x5, std::uint32_t x4,
                                      std::uint32_t x3, std::uint32_t x2, std::uint32_t x1,
                                      std::uint32_t x0) {
  if constexpr (kPass == 1) {
    return F1(x1, x0, x3, x5, x6, x2, x4);
  } else if constexpr (kPass == 2) {
    return F2(x4, x2, x1, x0, x5, x3, x6);
  } else {
    return F3(x6, x1, x2, x3, x4, x5, x0);
  }
}

// Step j of a pass: with the registers named so that x7 is the one step j replaces,
// x7 := rotr(F(x6, ..., x0), 7) + rotr(x7, 11) + word + constant. Register x_k of step j is
// t[(k - j) mod 8], so each step shifts the names by one.
template <int kPass, int kStep>
inline void Step(std::uint32_t (&t)[8], const std::uint32_t* w) {
  constexpr auto at = [](int k) { return static_cast<std::size_t>(((k - kStep) % 8 + 8) % 8); };
  constexpr std::uint32_t constant = kPass == 1 ? 0 : kPiWords[8 + 32 * (kPass - 2) + kStep];
  const std::uint32_t f =
      PermutedFunction<kPass>(t[at(6)], t[at(5)], t[at(4)], t[at(3)], t[at(2)], t[at(1)], t[at(0)]);
  t[at(7)] = std::rotr(f, 7) + std::rotr(t[at(7)], 11) + w[kWordOrder[kPass - 1][kStep]] + constant;
}

template <int kPass, std::size_t... kSteps>
inline void Pass(std::uint32_t (&t)[8], const std::uint32_t* w, std::index_sequence<kSteps...>) {
  (Step<kPass, static_cast<int>(kSteps)>(t, w), ...);
}

std::uint32_t LowBits(std::uint32_t v, int bits) {
  return v & ((1u << bits) - 1);
}

// Folds the chaining words 5 to 7 into the first DigestSize / 4 words (the designers'
// tailoring of the 128-, 160-, 192- and 224-bit outputs).
void Tailor(std::array<std::uint32_t, 8>& d, std::size_t digest_bits) {
  const auto mask = [](int bits, int shift) { return ((1u << bits) - 1) << shift; };
  switch (digest_bits) {
    case 128: {
      std::uint32_t t =
          (d[7] & 0x000000FFu) | (d[6] & 0xFF000000u) | (d[5] & 0x00FF0000u) | (d[4] & 0x0000FF00u);
      d[0] += std::rotr(t, 8);
      t = (d[7] & 0x0000FF00u) | (d[6] & 0x000000FFu) | (d[5] & 0xFF000000u) | (d[4] & 0x00FF0000u);
      d[1] += std::rotr(t, 16);
      t = (d[7] & 0x00FF0000u) | (d[6] & 0x0000FF00u) | (d[5] & 0x000000FFu) | (d[4] & 0xFF000000u);
      d[2] += std::rotr(t, 24);
      t = (d[7] & 0xFF000000u) | (d[6] & 0x00FF0000u) | (d[5] & 0x0000FF00u) | (d[4] & 0x000000FFu);
      d[3] += t;
      break;
    }
    case 160: {
      std::uint32_t t = (d[7] & mask(6, 0)) | (d[6] & mask(7, 25)) | (d[5] & mask(6, 19));
      d[0] += std::rotr(t, 19);
      t = (d[7] & mask(6, 6)) | (d[6] & mask(6, 0)) | (d[5] & mask(7, 25));
      d[1] += std::rotr(t, 25);
      t = (d[7] & mask(7, 12)) | (d[6] & mask(6, 6)) | (d[5] & mask(6, 0));
      d[2] += t;
      t = (d[7] & mask(6, 19)) | (d[6] & mask(7, 12)) | (d[5] & mask(6, 6));
      d[3] += t >> 6;
      t = (d[7] & mask(7, 25)) | (d[6] & mask(6, 19)) | (d[5] & mask(7, 12));
      d[4] += t >> 12;
      break;
    }
    case 192: {
      std::uint32_t t = (d[7] & mask(5, 0)) | (d[6] & mask(6, 26));
      d[0] += std::rotr(t, 26);
      t = (d[7] & mask(5, 5)) | (d[6] & mask(5, 0));
      d[1] += t;
      t = (d[7] & mask(6, 10)) | (d[6] & mask(5, 5));
      d[2] += t >> 5;
      t = (d[7] & mask(5, 16)) | (d[6] & mask(6, 10));
      d[3] += t >> 10;
      t = (d[7] & mask(5, 21)) | (d[6] & mask(5, 16));
      d[4] += t >> 16;
      t = (d[7] & mask(6, 26)) | (d[6] & mask(5, 21));
      d[5] += t >> 21;
      break;
    }
    case 224:
      d[0] += LowBits(d[7] >> 27, 5);
      d[1] += LowBits(d[7] >> 22, 5);
      d[2] += LowBits(d[7] >> 18, 4);
      d[3] += LowBits(d[7] >> 13, 5);
      d[4] += LowBits(d[7] >> 9, 4);
      d[5] += LowBits(d[7] >> 4, 5);
      d[6] += LowBits(d[7], 4);
      break;
    default:
      break;
  }
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Class descriptors, each made on first use so that its parent is always complete.

THashClassRef THash_Haval256::StaticClass() {
  static const THashClass cls{"THash_Haval256", 32, THash::StaticClass(), &Make<THash_Haval256>};
  return &cls;
}
THashClassRef THash_Haval128::StaticClass() {
  static const THashClass cls{"THash_Haval128", 16, THash_Haval256::StaticClass(),
                              &Make<THash_Haval128>};
  return &cls;
}
THashClassRef THash_Haval160::StaticClass() {
  static const THashClass cls{"THash_Haval160", 20, THash_Haval256::StaticClass(),
                              &Make<THash_Haval160>};
  return &cls;
}
THashClassRef THash_Haval192::StaticClass() {
  static const THashClass cls{"THash_Haval192", 24, THash_Haval256::StaticClass(),
                              &Make<THash_Haval192>};
  return &cls;
}
THashClassRef THash_Haval224::StaticClass() {
  static const THashClass cls{"THash_Haval224", 28, THash_Haval256::StaticClass(),
                              &Make<THash_Haval224>};
  return &cls;
}

// ---------------------------------------------------------------------------------------------
// THash_Haval256

THash_Haval256::THash_Haval256(std::shared_ptr<TProtection> protection)
    : THash(std::move(protection)) {
  Reset();
}

THash_Haval256::~THash_Haval256() {
  SecureWipe(state_);
  SecureWipe(buffer_);
  SecureWipe(&count_, sizeof count_);
}

void THash_Haval256::Reset() {
  buffer_.fill(0);
  std::copy(kPiWords, kPiWords + 8, state_.begin());
  count_ = 0;
}

void THash_Haval256::Update(const void* data, std::size_t size) {
  if (size == 0) return;
  const auto* p = static_cast<const std::uint8_t*>(data);
  const std::size_t k = count_ % 128;
  count_ += size;
  if (k > 0) {
    if (size < 128 - k) {
      std::memcpy(buffer_.data() + k, p, size);
      return;
    }
    std::memcpy(buffer_.data() + k, p, 128 - k);
    CompressBlocks(buffer_.data(), 1);
    p += 128 - k;
    size -= 128 - k;
  }
  if (const std::size_t blocks = size / 128; blocks > 0) {
    CompressBlocks(p, blocks);
    p += blocks * 128;
    size -= blocks * 128;
  }
  if (size > 0) std::memcpy(buffer_.data(), p, size);
}

void THash_Haval256::Finish() {
  const std::size_t digest_bits = DigestSize() * 8;
  const std::size_t k = count_ % 128;
  buffer_[k] = 0x01;
  std::fill(buffer_.begin() + static_cast<std::ptrdiff_t>(k) + 1, buffer_.end(), 0);
  if (k + 1 > 118) {
    CompressBlocks(buffer_.data(), 1);
    buffer_.fill(0);
  }
  constexpr unsigned kVersion = 1;
  buffer_[118] = static_cast<std::uint8_t>(((digest_bits & 3) << 6) | (kPasses << 3) | kVersion);
  buffer_[119] = static_cast<std::uint8_t>(digest_bits >> 2);
  const std::uint64_t bits = count_ * 8;
  for (int i = 0; i < 8; ++i)
    buffer_[120 + i] = static_cast<std::uint8_t>(bits >> (8 * i));
  CompressBlocks(buffer_.data(), 1);
  buffer_.fill(0);
  Tailor(state_, digest_bits);
  auto* digest = reinterpret_cast<std::uint8_t*>(state_.data());
  for (std::size_t i = 0; i < state_.size(); ++i) {
    const std::uint32_t v = state_[i];
    for (int b = 0; b < 4; ++b)
      digest[4 * i + b] = static_cast<std::uint8_t>(v >> (8 * b));
  }
  FinishHook();
}

void THash_Haval256::CompressBlocks(const std::uint8_t* data, std::size_t count) {
  for (; count > 0; --count, data += 128) {
    std::uint32_t w[32];
    for (int i = 0; i < 32; ++i)
      w[i] = hash_internal::LoadLittleEndian32(data + 4 * i);
    std::uint32_t t[8];
    std::copy(state_.begin(), state_.end(), t);
    Pass<1>(t, w, std::make_index_sequence<32>());
    Pass<2>(t, w, std::make_index_sequence<32>());
    Pass<3>(t, w, std::make_index_sequence<32>());
    for (int i = 0; i < 8; ++i)
      state_[i] += t[i];
    SecureWipe(w, sizeof w);
    SecureWipe(t, sizeof t);
  }
}

}  // namespace pelvane
