// Twofish: 128-bit blocks, keys of 16, 24 or 32 bytes (a key of another length is completed
// with zero bytes to the next of these).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "crypto/cipher/cipher.h"

namespace pelvane {

class TCipher_Twofish : public TCipher {
 public:
  explicit TCipher_Twofish(std::shared_ptr<TProtection> protection = nullptr);
  static TCipherClassRef StaticClass();
  TCipherClassRef ClassType() const override { return StaticClass(); }

  void Init(const void* key, std::int32_t size, const void* iv) override;
  void EncryptBlock(void* block) override;
  void DecryptBlock(void* block) override;
  // Three blocks at a time.
  void EncryptBlocks(const std::uint8_t* source, std::uint8_t* dest, std::size_t count) override;
  void DecryptBlocks(const std::uint8_t* source, std::uint8_t* dest, std::size_t count) override;
};

}  // namespace pelvane
