// The SAFER family (Massey): 64-bit blocks, rounds of byte-wise key mixing, exponentiation
// and logarithm to the base 45 modulo 257, and three layers of pseudo-Hadamard transforms.
//
// K-64 and K-128 use the original key schedule (each key byte rotated left by 3 bits from one
// round key to the next, plus the bias bytes exp(exp(9i + j))); the SK variants use the
// strengthened schedule that adds a parity byte to the key register and takes each round key
// from a rotating window of it. Round counts are those the designer published: K-64 6, SK-64 8,
// K-128 and SK-128 10. The 128-bit variants take key bytes 0-7 as the register that gives the
// second, fourth, ... round keys and bytes 8-15 as the register of the first, third, ...
#pragma once

#include <memory>

#include "crypto/cipher/cipher.h"

namespace pelvane {

// The common base (block 8, key 16, no registry entry); an object of this class itself codes
// as SAFER K-128, whose sizes it has.
class TCipher_SAFER : public TCipher {
 public:
  explicit TCipher_SAFER(std::shared_ptr<TProtection> protection = nullptr)
      : TCipher_SAFER(StaticClass(), std::move(protection)) {}
  static TCipherClassRef StaticClass();
  TCipherClassRef ClassType() const override { return StaticClass(); }

  void Init(const void* key, std::int32_t size, const void* iv) override;
  void EncryptBlock(void* block) override;
  void DecryptBlock(void* block) override;

 protected:
  TCipher_SAFER(TCipherClassRef cls, std::shared_ptr<TProtection> protection)
      : TCipher(cls, std::move(protection)) {}
  // The variant: its number of rounds (1 to 13) and whether its schedule is strengthened.
  virtual int Rounds() const noexcept { return 10; }
  virtual bool Strengthened() const noexcept { return false; }

 private:
  int RoundCount() const noexcept;
};

// "SAFER-K64": 8-byte key, 6 rounds.
class TCipher_SAFER_K64 : public TCipher_SAFER {
 public:
  explicit TCipher_SAFER_K64(std::shared_ptr<TProtection> protection = nullptr)
      : TCipher_SAFER_K64(StaticClass(), std::move(protection)) {}
  static TCipherClassRef StaticClass();
  TCipherClassRef ClassType() const override { return StaticClass(); }

 protected:
  TCipher_SAFER_K64(TCipherClassRef cls, std::shared_ptr<TProtection> protection)
      : TCipher_SAFER(cls, std::move(protection)) {}
  int Rounds() const noexcept override { return 6; }
};

// "SAFER-SK64": 8-byte key, strengthened schedule, 8 rounds.
class TCipher_SAFER_SK64 : public TCipher_SAFER_K64 {
 public:
  explicit TCipher_SAFER_SK64(std::shared_ptr<TProtection> protection = nullptr)
      : TCipher_SAFER_K64(StaticClass(), std::move(protection)) {}
  static TCipherClassRef StaticClass();
  TCipherClassRef ClassType() const override { return StaticClass(); }

 protected:
  int Rounds() const noexcept override { return 8; }
  bool Strengthened() const noexcept override { return true; }
};

// "SAFER-K128": 16-byte key, 10 rounds.
class TCipher_SAFER_K128 : public TCipher_SAFER {
 public:
  explicit TCipher_SAFER_K128(std::shared_ptr<TProtection> protection = nullptr)
      : TCipher_SAFER_K128(StaticClass(), std::move(protection)) {}
  static TCipherClassRef StaticClass();
  TCipherClassRef ClassType() const override { return StaticClass(); }

 protected:
  TCipher_SAFER_K128(TCipherClassRef cls, std::shared_ptr<TProtection> protection)
      : TCipher_SAFER(cls, std::move(protection)) {}
};

// "SAFER-SK128": 16-byte key, strengthened schedule, 10 rounds.
class TCipher_SAFER_SK128 : public TCipher_SAFER_K128 {
 public:
  explicit TCipher_SAFER_SK128(std::shared_ptr<TProtection> protection = nullptr)
      : TCipher_SAFER_K128(StaticClass(), std::move(protection)) {}
  static TCipherClassRef StaticClass();
  TCipherClassRef ClassType() const override { return StaticClass(); }

 protected:
  bool Strengthened() const noexcept override { return true; }
};

}  // namespace pelvane
