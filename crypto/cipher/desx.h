// DESX: DES with a 64-bit whitening key added before and after it,
// C = K2 xor DES_K(P xor K1).
#pragma once

#include <memory>

#include "crypto/cipher/des.h"

namespace pelvane {

// The 16-byte key is K (bytes 0-7, the DES key; parity bits ignored) followed by K1 (bytes
// 8-15). The key holds no room for a third part, so the output whitening key K2 equals K1:
// C = K1 xor DES_K(P xor K1). Schedule: E_K, D_K, K1.
class TCipher_DESX : public TCipher_1DES {
 public:
  explicit TCipher_DESX(std::shared_ptr<TProtection> protection = nullptr);
  static TCipherClassRef StaticClass();
  TCipherClassRef ClassType() const override { return StaticClass(); }

  void Init(const void* key, std::int32_t size, const void* iv) override;
  void EncryptBlock(void* block) override;
  void DecryptBlock(void* block) override;
};

}  // namespace pelvane
