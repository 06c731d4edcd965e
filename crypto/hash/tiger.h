// Tiger (Anderson and Biham, 1996): 64-byte blocks, 192-bit digest, the three 64-bit chaining
// words in little-endian byte order. The padding is the original Tiger's: a byte 01, zeros and
// the 64-bit little-endian bit length (Tiger2 would pad with 80).
#pragma once

#include <memory>

#include "crypto/hash/hash.h"

namespace pelvane {

// Shares Reset, Update and the byte counter with the MD4 family; the three chaining words sit
// in the first six words of its chaining state (low half first).
class THash_Tiger : public THash_MD4 {
 public:
  explicit THash_Tiger(std::shared_ptr<TProtection> protection = nullptr);
  static THashClassRef StaticClass();
  THashClassRef ClassType() const override { return StaticClass(); }

  void Finish() override;

 protected:
  void CompressBlocks(const std::uint8_t* data, std::size_t count) override;
};

}  // namespace pelvane
