// Skipjack (NIST, 1998): 64-bit blocks of four big-endian 16-bit words, 80-bit keys, 32 steps
// of the stepping rules A and B. Key byte i is the cryptovariable byte cv_i.
#pragma once

#include <memory>

#include "crypto/cipher/cipher.h"

namespace pelvane {

class TCipher_Skipjack : public TCipher {
 public:
  explicit TCipher_Skipjack(std::shared_ptr<TProtection> protection = nullptr);
  static TCipherClassRef StaticClass();
  TCipherClassRef ClassType() const override { return StaticClass(); }

  // The schedule is the ten key bytes; a shorter key is completed with zero bytes.
  void Init(const void* key, std::int32_t size, const void* iv) override;
  void EncryptBlock(void* block) override;
  void DecryptBlock(void* block) override;
};

}  // namespace pelvane
