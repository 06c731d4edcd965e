// 3-Way (Daemen, 1993): 96-bit blocks and keys as three big-endian 32-bit words, 11 rounds.
#pragma once

#include <memory>

#include "crypto/cipher/cipher.h"

namespace pelvane {

class TCipher_3Way : public TCipher {
 public:
  explicit TCipher_3Way(std::shared_ptr<TProtection> protection = nullptr);
  static TCipherClassRef StaticClass();
  TCipherClassRef ClassType() const override { return StaticClass(); }

  // The schedule holds the encryption key words and the decryption key words mu(theta(k)); a
  // shorter key is completed with zero bytes.
  void Init(const void* key, std::int32_t size, const void* iv) override;
  void EncryptBlock(void* block) override;
  void DecryptBlock(void* block) override;
};

}  // namespace pelvane
