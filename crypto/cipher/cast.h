// CAST-128 (RFC 2144; 64-bit blocks, keys of up to 16 bytes) and CAST-256 (RFC 2612; 128-bit
// blocks, keys of up to 32 bytes).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "crypto/cipher/cipher.h"

namespace pelvane {

class TCipher_Cast128 : public TCipher {
 public:
  explicit TCipher_Cast128(std::shared_ptr<TProtection> protection = nullptr);
  static TCipherClassRef StaticClass();
  TCipherClassRef ClassType() const override { return StaticClass(); }

  // A key shorter than 16 bytes is completed with zero bytes; keys of up to 10 bytes (80 bits)
  // run 12 rounds, longer ones 16, as the algorithm's variable key size prescribes.
  void Init(const void* key, std::int32_t size, const void* iv) override;
  void EncryptBlock(void* block) override;
  void DecryptBlock(void* block) override;
  // Four blocks at a time.
  void EncryptBlocks(const std::uint8_t* source, std::uint8_t* dest, std::size_t count) override;
  void DecryptBlocks(const std::uint8_t* source, std::uint8_t* dest, std::size_t count) override;
};

class TCipher_Cast256 : public TCipher {
 public:
  explicit TCipher_Cast256(std::shared_ptr<TProtection> protection = nullptr);
  static TCipherClassRef StaticClass();
  TCipherClassRef ClassType() const override { return StaticClass(); }

  // A key shorter than 32 bytes is completed with zero bytes.
  void Init(const void* key, std::int32_t size, const void* iv) override;
  void EncryptBlock(void* block) override;
  void DecryptBlock(void* block) override;
};

// The CAST-128 key schedule and block function without the framework around them, for
// lengthy known-answer runs.
namespace cast_core {
inline constexpr std::size_t kCast128ScheduleWords = 33;
// key_size bytes of key (at most 16 are read; fewer are completed with zeros).
void Cast128ExpandKey(const std::uint8_t* key, std::size_t key_size,
                      std::uint32_t out[kCast128ScheduleWords]) noexcept;
void Cast128Encrypt(const std::uint32_t schedule[kCast128ScheduleWords],
                    std::uint8_t block[8]) noexcept;
}  // namespace cast_core

}  // namespace pelvane
