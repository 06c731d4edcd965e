// MARS (IBM, the AES submission with its second-round key schedule): 128-bit blocks of four
// little-endian words; forward mixing, 16 keyed core rounds and backward mixing around them.
//
// The key schedule takes 4 to 14 words (16 to 56 bytes). The class keeps the registered key
// size of 156 bytes: a key is completed with zero bytes to a whole number of words and to at
// least 16 bytes, and only its first 56 bytes are used.
#pragma once

#include <memory>

#include "crypto/cipher/cipher.h"

namespace pelvane {

class TCipher_Mars : public TCipher {
 public:
  explicit TCipher_Mars(std::shared_ptr<TProtection> protection = nullptr);
  static TCipherClassRef StaticClass();
  TCipherClassRef ClassType() const override { return StaticClass(); }

  // The schedule is the 40 expanded key words.
  void Init(const void* key, std::int32_t size, const void* iv) override;
  void EncryptBlock(void* block) override;
  void DecryptBlock(void* block) override;
};

}  // namespace pelvane
