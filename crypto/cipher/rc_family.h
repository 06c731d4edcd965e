// The RC family: RC2 (RFC 2268), the RC4 stream cipher, RC5 (RFC 2040) and RC6.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "crypto/cipher/cipher.h"

namespace pelvane {

// RC2 over 64-bit blocks with keys of 1 to 128 bytes. The effective key length is eight bits
// per key byte given (T1 = 8T), so no key bit is discarded; an empty key counts as one zero
// byte.
class TCipher_RC2 : public TCipher {
 public:
  explicit TCipher_RC2(std::shared_ptr<TProtection> protection = nullptr);
  static TCipherClassRef StaticClass();
  TCipherClassRef ClassType() const override { return StaticClass(); }

  void Init(const void* key, std::int32_t size, const void* iv) override;
  void EncryptBlock(void* block) override;
  void DecryptBlock(void* block) override;
};

// The RC4 stream cipher in the block framework (blocks of 16 bytes, keys of 1 to 256 bytes; an
// empty key counts as one zero byte). EncryptBlock and DecryptBlock are the same operation: they
// add (XOR) the next 16 bytes of the key stream to the block. Every mode chains around that as
// it does around any block function, so in cmECB whole blocks are exactly the RC4 stream
// cipher, while the other modes mix their chaining value in as well. The key stream position is
// part of the chain: it restarts wherever the chain is reset (ResetChain, and so at the start
// and end of every ProcessString, EncodeString and DecodeString), just after the part spent on
// the initialisation vector when Init computed one. The MAC modes run but give no authenticity
// worth the name: with a key stream in place of a block function they are linear in the data.
class TCipher_RC4 : public TCipher {
 public:
  explicit TCipher_RC4(std::shared_ptr<TProtection> protection = nullptr);
  static TCipherClassRef StaticClass();
  TCipherClassRef ClassType() const override { return StaticClass(); }

  void Init(const void* key, std::int32_t size, const void* iv) override;
  void FinishKeySetup(const void* iv) override;
  void EncryptBlock(void* block) override;
  void DecryptBlock(void* block) override;
  // Resets the chaining value and restarts the key stream.
  void ResetChain() override;
};

// RC5-32/16/b: 32-bit words (64-bit blocks), 16 rounds, keys of 0 to 256 bytes.
class TCipher_RC5 : public TCipher {
 public:
  static constexpr int kRounds = 16;

  explicit TCipher_RC5(std::shared_ptr<TProtection> protection = nullptr);
  static TCipherClassRef StaticClass();
  TCipherClassRef ClassType() const override { return StaticClass(); }

  void Init(const void* key, std::int32_t size, const void* iv) override;
  void EncryptBlock(void* block) override;
  void DecryptBlock(void* block) override;
};

// RC6-32/20/b, the AES candidate: 32-bit words (128-bit blocks), 20 rounds, keys of 0 to 256
// bytes.
class TCipher_RC6 : public TCipher {
 public:
  explicit TCipher_RC6(std::shared_ptr<TProtection> protection = nullptr);
  static TCipherClassRef StaticClass();
  TCipherClassRef ClassType() const override { return StaticClass(); }

  void Init(const void* key, std::int32_t size, const void* iv) override;
  void EncryptBlock(void* block) override;
  void DecryptBlock(void* block) override;
};

// The algorithms with their parameters open, for the published known answers that use other
// parameters than the classes.
namespace rc_core {
// RC2 expanded key (64 16-bit words, one in each word of out) from key_size (1..128) bytes and
// an effective length in bits.
void Rc2ExpandKey(const std::uint8_t* key, std::size_t key_size, unsigned effective_bits,
                  std::uint32_t out[64]) noexcept;
void Rc2Encrypt(const std::uint32_t k[64], std::uint8_t block[8]) noexcept;
void Rc2Decrypt(const std::uint32_t k[64], std::uint8_t block[8]) noexcept;
// RC5-32 with the given rounds (0..255): S has 2 * rounds + 2 words.
void Rc5ExpandKey(const std::uint8_t* key, std::size_t key_size, int rounds,
                  std::uint32_t* s) noexcept;
void Rc5Encrypt(const std::uint32_t* s, int rounds, std::uint8_t block[8]) noexcept;
void Rc5Decrypt(const std::uint32_t* s, int rounds, std::uint8_t block[8]) noexcept;
}  // namespace rc_core

}  // namespace pelvane
