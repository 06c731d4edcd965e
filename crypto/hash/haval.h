// HAVAL (Zheng, Pieprzyk and Seberry, 1992) with three passes, in its five output lengths.
//
// 128-byte blocks read as 32 little-endian words, eight 32-bit chaining words that start as the
// first 256 bits of the fraction of pi, three passes of 32 steps each. The padding is a byte 01,
// zeros up to byte 118 of the last block, two bytes carrying the version (1), the pass count (3)
// and the output length in bits, then the 64-bit little-endian bit length. Outputs shorter than
// 256 bits fold the last chaining words into the first ones (the designers' "tailoring"); the
// digest is the first DigestSize / 4 chaining words in little-endian byte order.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "crypto/hash/hash.h"

namespace pelvane {

class THash_Haval256 : public THash {
 public:
  // The number of passes over each block, fixed for every output length.
  static constexpr int kPasses = 3;

  explicit THash_Haval256(std::shared_ptr<TProtection> protection = nullptr);
  ~THash_Haval256() override;

  static THashClassRef StaticClass();
  THashClassRef ClassType() const override { return StaticClass(); }

  void Reset() override;
  void Update(const void* data, std::size_t size) override;
  using THash::Update;
  void Finish() override;
  std::uint8_t* DigestBytes() override { return reinterpret_cast<std::uint8_t*>(state_.data()); }

 protected:
  // Processes count consecutive 128-byte blocks.
  void CompressBlocks(const std::uint8_t* data, std::size_t count);

  std::uint64_t count_ = 0;               // bytes absorbed since Reset
  std::array<std::uint8_t, 128> buffer_;  // the not yet compressed tail
  std::array<std::uint32_t, 8> state_;    // chaining state; the digest after Finish
};

// The shorter outputs differ from THash_Haval256 only in their digest size, which the padding
// carries and the tailoring follows.
class THash_Haval128 : public THash_Haval256 {
 public:
  using THash_Haval256::THash_Haval256;
  static THashClassRef StaticClass();
  THashClassRef ClassType() const override { return StaticClass(); }
};

class THash_Haval160 : public THash_Haval256 {
 public:
  using THash_Haval256::THash_Haval256;
  static THashClassRef StaticClass();
  THashClassRef ClassType() const override { return StaticClass(); }
};

class THash_Haval192 : public THash_Haval256 {
 public:
  using THash_Haval256::THash_Haval256;
  static THashClassRef StaticClass();
  THashClassRef ClassType() const override { return StaticClass(); }
};

class THash_Haval224 : public THash_Haval256 {
 public:
  using THash_Haval256::THash_Haval256;
  static THashClassRef StaticClass();
  THashClassRef ClassType() const override { return StaticClass(); }
};

}  // namespace pelvane
