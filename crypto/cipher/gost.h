// GOST 28147-89 (RFC 5830): 64-bit blocks, 256-bit keys, 32 rounds. The standard leaves the
// eight 4-bit S-boxes to the user; this class uses the set RFC 4357 publishes as
// id-GostR3411-94-TestParamSet, the set of the GOST R 34.11-94 test parameters that is also
// the one most widely printed for the cipher. Key and block words are little-endian: key bytes
// 4i..4i+3 are K_i, block bytes 0-3 are N1 and 4-7 are N2.
#pragma once

#include <memory>

#include "crypto/cipher/cipher.h"

namespace pelvane {

class TCipher_Gost : public TCipher {
 public:
  explicit TCipher_Gost(std::shared_ptr<TProtection> protection = nullptr);
  static TCipherClassRef StaticClass();
  TCipherClassRef ClassType() const override { return StaticClass(); }

  // The schedule is the key as eight words; a shorter key is completed with zero bytes.
  void Init(const void* key, std::int32_t size, const void* iv) override;
  void EncryptBlock(void* block) override;
  void DecryptBlock(void* block) override;
};

}  // namespace pelvane
