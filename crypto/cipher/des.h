// The DES family: single, double and triple DES over 8-byte blocks, and the triple DES
// variants over 16- and 24-byte blocks whose DES blocks are mixed between the stages.
//
// K1, K2, K3 are key bytes 0-7, 8-15, 16-23 (a shorter key is completed with zeros). E_K and D_K
// are DES encryption and decryption with key K; parity bits are ignored.
#pragma once

#include <initializer_list>
#include <memory>

#include "crypto/cipher/cipher.h"

namespace pelvane {

// "DES Single 8byte": C := E_K(P). Schedule: E_K, D_K.
class TCipher_1DES : public TCipher {
 public:
  explicit TCipher_1DES(std::shared_ptr<TProtection> protection = nullptr)
      : TCipher_1DES(StaticClass(), std::move(protection)) {}
  static TCipherClassRef StaticClass();
  TCipherClassRef ClassType() const override { return StaticClass(); }

  void Init(const void* key, std::int32_t size, const void* iv) override;
  void EncryptBlock(void* block) override;
  void DecryptBlock(void* block) override;

 protected:
  TCipher_1DES(TCipherClassRef cls, std::shared_ptr<TProtection> protection)
      : TCipher(cls, std::move(protection)) {}
  // Builds the schedules from the KeySize-byte key: for each entry, the key index (0 for K1)
  // and whether it is a decryption schedule.
  struct ScheduleEntry {
    int key_index;
    bool decrypt;
  };
  void BuildSchedules(const void* key, std::int32_t size, const void* iv,
                      std::initializer_list<ScheduleEntry> entries);
  const std::uint32_t* Sched(int index) const noexcept { return ScheduleWords() + 32 * index; }
};

// "DES Double 8byte": C := E_K1(D_K2(E_K1(P))). Schedule: E_K1, D_K2, D_K1, E_K2.
class TCipher_2DES : public TCipher_1DES {
 public:
  explicit TCipher_2DES(std::shared_ptr<TProtection> protection = nullptr)
      : TCipher_2DES(StaticClass(), std::move(protection)) {}
  static TCipherClassRef StaticClass();
  TCipherClassRef ClassType() const override { return StaticClass(); }

  void Init(const void* key, std::int32_t size, const void* iv) override;
  void EncryptBlock(void* block) override;
  void DecryptBlock(void* block) override;

 protected:
  TCipher_2DES(TCipherClassRef cls, std::shared_ptr<TProtection> protection)
      : TCipher_1DES(cls, std::move(protection)) {}
};

// "DES Double 16byte": two DES blocks; E_K1 on both, exchange of bytes 4-7 with 8-11, D_K2 on
// both, the same exchange, E_K1 on both.
class TCipher_2DDES : public TCipher_2DES {
 public:
  explicit TCipher_2DDES(std::shared_ptr<TProtection> protection = nullptr)
      : TCipher_2DES(StaticClass(), std::move(protection)) {}
  static TCipherClassRef StaticClass();
  TCipherClassRef ClassType() const override { return StaticClass(); }

  void EncryptBlock(void* block) override;
  void DecryptBlock(void* block) override;
};

// "DES Triple 8byte": C := E_K3(D_K2(E_K1(P))), the three-key EDE form.
// Schedule: E_K1, D_K2, E_K3, D_K3, E_K2, D_K1.
class TCipher_3DES : public TCipher_1DES {
 public:
  explicit TCipher_3DES(std::shared_ptr<TProtection> protection = nullptr)
      : TCipher_3DES(StaticClass(), std::move(protection)) {}
  static TCipherClassRef StaticClass();
  TCipherClassRef ClassType() const override { return StaticClass(); }

  void Init(const void* key, std::int32_t size, const void* iv) override;
  void EncryptBlock(void* block) override;
  void DecryptBlock(void* block) override;

 protected:
  TCipher_3DES(TCipherClassRef cls, std::shared_ptr<TProtection> protection)
      : TCipher_1DES(cls, std::move(protection)) {}
};

// "DES Triple 16byte": triple DES over two DES blocks, mixed between the stages like
// TCipher_2DDES.
class TCipher_3DDES : public TCipher_3DES {
 public:
  explicit TCipher_3DDES(std::shared_ptr<TProtection> protection = nullptr)
      : TCipher_3DES(StaticClass(), std::move(protection)) {}
  static TCipherClassRef StaticClass();
  TCipherClassRef ClassType() const override { return StaticClass(); }

  void EncryptBlock(void* block) override;
  void DecryptBlock(void* block) override;
};

// "DES Triple 24byte", the envelope cipher: triple DES over three DES blocks T0, T1, T2; after
// the first and the second stage bytes 4-7 and 8-11 change places, so T0 and T1 mix while T2
// is coded as TCipher_3DES alone would code it.
class TCipher_3TDES : public TCipher_3DES {
 public:
  explicit TCipher_3TDES(std::shared_ptr<TProtection> protection = nullptr)
      : TCipher_3DES(StaticClass(), std::move(protection)) {}
  static TCipherClassRef StaticClass();
  TCipherClassRef ClassType() const override { return StaticClass(); }

  void EncryptBlock(void* block) override;
  void DecryptBlock(void* block) override;
};

}  // namespace pelvane
