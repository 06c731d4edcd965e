// IDEA: 64-bit blocks, 128-bit keys (a shorter key is completed with zero bytes).
#pragma once

#include <memory>

#include "crypto/cipher/cipher.h"

namespace pelvane {

class TCipher_IDEA : public TCipher {
 public:
  explicit TCipher_IDEA(std::shared_ptr<TProtection> protection = nullptr);
  static TCipherClassRef StaticClass();
  TCipherClassRef ClassType() const override { return StaticClass(); }

  void Init(const void* key, std::int32_t size, const void* iv) override;
  void EncryptBlock(void* block) override;
  void DecryptBlock(void* block) override;
};

}  // namespace pelvane
