// MISTY1 (RFC 2994): 64-bit blocks, 128-bit keys, 8 rounds with the FL layers.
#pragma once

#include <memory>

#include "crypto/cipher/cipher.h"

namespace pelvane {

// "Misty 1".
class TCipher_Misty : public TCipher {
 public:
  explicit TCipher_Misty(std::shared_ptr<TProtection> protection = nullptr);
  static TCipherClassRef StaticClass();
  TCipherClassRef ClassType() const override { return StaticClass(); }

  // The schedule is the expanded key EK[0..31] of 16-bit values, one per schedule word; a
  // shorter key is completed with zero bytes.
  void Init(const void* key, std::int32_t size, const void* iv) override;
  void EncryptBlock(void* block) override;
  void DecryptBlock(void* block) override;
};

}  // namespace pelvane
