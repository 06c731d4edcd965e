// DESX: DES with a 64-bit whitening key added before and after it,
// C = W2 xor DES_K(P xor W1).
#pragma once

#include <cstdint>
#include <memory>

#include "crypto/cipher/des.h"

namespace pelvane {

// The 16-byte key is K (bytes 0-7, the DES key; parity bits ignored) followed by the input
// whitening key W1 (bytes 8-15). The output whitening key W2 is derived from K and W1 (see
// DesxOutputWhitening). Schedule: E_K, D_K, W1, W2.
class TCipher_DESX : public TCipher_1DES {
 public:
  explicit TCipher_DESX(std::shared_ptr<TProtection> protection = nullptr);
  static TCipherClassRef StaticClass();
  TCipherClassRef ClassType() const override { return StaticClass(); }

  void Init(const void* key, std::int32_t size, const void* iv) override;
  void EncryptBlock(void* block) override;
  void DecryptBlock(void* block) override;
};

// W2 from the 16 key bytes K | W1: an 8-byte register starts at zero; for each key byte k in
// order, with a and b the register's bytes 0 and 1, the register shifts left by one byte and its
// last byte becomes T[a xor b] xor k, where T is RC2's PITABLE (RFC 2268, a permutation of
// 0..255 derived from the digits of pi). W2 is the final register.
void DesxOutputWhitening(const std::uint8_t key[16], std::uint8_t w2[8]) noexcept;

}  // namespace pelvane
