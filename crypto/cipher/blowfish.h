// Blowfish (64-bit blocks, keys of up to 56 bytes), the default class of the cipher manager.
#pragma once

#include <memory>

#include "crypto/cipher/cipher.h"

namespace pelvane {

class TCipher_Blowfish : public TCipher {
 public:
  explicit TCipher_Blowfish(std::shared_ptr<TProtection> protection = nullptr);
  static TCipherClassRef StaticClass();
  TCipherClassRef ClassType() const override { return StaticClass(); }

  // The key bytes (cut to 56) are cycled over the P-array as in the original algorithm; an
  // empty key leaves the initial tables unchanged before the key-dependent expansion.
  void Init(const void* key, std::int32_t size, const void* iv) override;
  void EncryptBlock(void* block) override;
  void DecryptBlock(void* block) override;
};

}  // namespace pelvane
