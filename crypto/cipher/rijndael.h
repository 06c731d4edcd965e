// Rijndael with 128-bit blocks, that is AES (FIPS 197), for 16-, 24- and 32-byte keys.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "crypto/cipher/cipher.h"

namespace pelvane {

namespace rijndael {
struct Schedule;
}

class TCipher_Rijndael : public TCipher {
 public:
  explicit TCipher_Rijndael(std::shared_ptr<TProtection> protection = nullptr);
  static TCipherClassRef StaticClass();
  TCipherClassRef ClassType() const override { return StaticClass(); }

  // Keys of 16, 24 and 32 bytes are AES-128, AES-192 and AES-256; a key of another length is
  // completed with zero bytes to the next of these (an empty key is the zero AES-128 key).
  void Init(const void* key, std::int32_t size, const void* iv) override;
  void EncryptBlock(void* block) override;
  void DecryptBlock(void* block) override;

  // Runs of whole blocks: eight at a time through the processor's AES instructions.
  void EncryptBlocks(const std::uint8_t* source, std::uint8_t* dest, std::size_t count) override;
  void DecryptBlocks(const std::uint8_t* source, std::uint8_t* dest, std::size_t count) override;

  // Whether this object codes through the processor's AES instructions (chosen at creation:
  // when the processor has them).
  bool UsesAesInstructions() const noexcept { return use_aes_instructions_; }

 private:
  rijndael::Schedule& Sched() noexcept;
  const rijndael::Schedule& Sched() const noexcept;

  bool use_aes_instructions_;
};

}  // namespace pelvane
