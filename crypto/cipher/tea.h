// TEA and its extension XTEA (Wheeler and Needham): 64-bit blocks of two big-endian 32-bit
// words, 128-bit keys of four big-endian words, 32 cycles (64 Feistel rounds).
#pragma once

#include <memory>

#include "crypto/cipher/cipher.h"

namespace pelvane {

// "TEA": the Tiny Encryption Algorithm of 1994.
class TCipher_TEA : public TCipher {
 public:
  explicit TCipher_TEA(std::shared_ptr<TProtection> protection = nullptr)
      : TCipher_TEA(StaticClass(), std::move(protection)) {}
  static TCipherClassRef StaticClass();
  TCipherClassRef ClassType() const override { return StaticClass(); }

  // The schedule is the key as four words; a shorter key is completed with zero bytes.
  void Init(const void* key, std::int32_t size, const void* iv) override;
  void EncryptBlock(void* block) override;
  void DecryptBlock(void* block) override;

 protected:
  TCipher_TEA(TCipherClassRef cls, std::shared_ptr<TProtection> protection)
      : TCipher(cls, std::move(protection)) {}
};

// "TEA extended": XTEA of 1997, the same key and block with the revised round function and
// key word selection.
class TCipher_TEAN : public TCipher_TEA {
 public:
  explicit TCipher_TEAN(std::shared_ptr<TProtection> protection = nullptr)
      : TCipher_TEA(StaticClass(), std::move(protection)) {}
  static TCipherClassRef StaticClass();
  TCipherClassRef ClassType() const override { return StaticClass(); }

  void EncryptBlock(void* block) override;
  void DecryptBlock(void* block) override;
};

}  // namespace pelvane
