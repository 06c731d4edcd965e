// Square (Daemen, Knudsen, Rijmen, 1997): 128-bit blocks and keys, 8 rounds. The block is a
// 4 x 4 byte array whose row i is block bytes 4i..4i+3. The field is GF(2^8) modulo
// x^8 + x^7 + x^6 + x^5 + x^4 + x^2 + 1.
#pragma once

#include <memory>

#include "crypto/cipher/cipher.h"

namespace pelvane {

class TCipher_Square : public TCipher {
 public:
  explicit TCipher_Square(std::shared_ptr<TProtection> protection = nullptr);
  static TCipherClassRef StaticClass();
  TCipherClassRef ClassType() const override { return StaticClass(); }

  // The schedule is the nine 16-byte round keys; a shorter key is completed with zero bytes.
  void Init(const void* key, std::int32_t size, const void* iv) override;
  void EncryptBlock(void* block) override;
  void DecryptBlock(void* block) override;
};

}  // namespace pelvane
