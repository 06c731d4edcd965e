// Checksums in the hash framework: XOR-16, XOR-32, CRC-16/CCITT-FALSE, CRC-16/ARC and the
// zlib CRC-32.
//
// A checksum is a number of DigestSize bytes; its digest bytes are that number with the most
// significant byte first, so the hexadecimal digest reads as the number itself (the CRC-32 of
// "123456789" is CBF43926, as the CRC catalogues print it).
//
// - XOR-16 and XOR-32: the XOR of all 16-bit (32-bit) little-endian words of the input; a last
//   word that the input does not fill is completed with zero bytes. The empty input gives 0.
//   Byte i of the input thus lands in bits 8 * (i mod 2) (resp. (i mod 4)) of the value.
// - CRC-16/CCITT-FALSE: polynomial 0x1021, register 0xFFFF at the start, bits most
//   significant first, nothing XORed at the end.
// - CRC-16/ARC: polynomial 0x8005 taken least significant bit first (0xA001 reflected),
//   register 0 at the start, nothing XORed at the end.
// - CRC-32: the CRC of zlib, gzip and PPP (polynomial 0x04C11DB7 taken least significant bit
//   first, register all ones at the start and inverted at the end).
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "crypto/hash/hash.h"

namespace pelvane {

// The base of the checksums. It digests nothing itself: its digest size is 0. After Reset the
// digest bytes show the starting register (0 for the XORs and CRC-16/ARC, FFFF for
// CRC-16/CCITT-FALSE, FFFFFFFF for CRC-32), so that a checksum used as a protection object
// starts from the same bytes every time.
class TChecksum : public THash {
 public:
  explicit TChecksum(std::shared_ptr<TProtection> protection = nullptr);
  ~TChecksum() override;

  static THashClassRef StaticClass();
  THashClassRef ClassType() const override { return StaticClass(); }

  std::uint8_t* DigestBytes() override { return digest_.data(); }

 protected:
  // Stores value as DigestSize bytes, most significant first.
  void ShowValue(std::uint32_t value);
  // ShowValue, then the protection hook.
  void FinishValue(std::uint32_t value);

  std::array<std::uint8_t, 4> digest_{};
};

// The absorption XOR-16 and XOR-32 share: byte i of the input is XORed into byte (i mod 8) of a
// 64-bit word (in little-endian order), which Finish folds to 16 or 32 bits.
struct XorLanes {
  std::uint64_t word = 0;
  std::size_t position = 0;  // bytes absorbed since Reset, modulo 8

  void Absorb(const std::uint8_t* data, std::size_t size);
  std::uint16_t Fold16() const;
  std::uint32_t Fold32() const;
};

class THash_XOR16 : public TChecksum {
 public:
  explicit THash_XOR16(std::shared_ptr<TProtection> protection = nullptr);
  ~THash_XOR16() override;
  static THashClassRef StaticClass();
  THashClassRef ClassType() const override { return StaticClass(); }

  void Reset() override;
  void Update(const void* data, std::size_t size) override;
  using THash::Update;
  void Finish() override;

 protected:
  XorLanes lanes_;
};

class THash_XOR32 : public TChecksum {
 public:
  explicit THash_XOR32(std::shared_ptr<TProtection> protection = nullptr);
  ~THash_XOR32() override;
  static THashClassRef StaticClass();
  THashClassRef ClassType() const override { return StaticClass(); }

  void Reset() override;
  void Update(const void* data, std::size_t size) override;
  using THash::Update;
  void Finish() override;

 protected:
  XorLanes lanes_;
};

// CRC-16/CCITT-FALSE (also called CRC-16/IBM-3740).
class THash_CRC16_CCITT : public THash_XOR16 {
 public:
  explicit THash_CRC16_CCITT(std::shared_ptr<TProtection> protection = nullptr);
  ~THash_CRC16_CCITT() override;
  static THashClassRef StaticClass();
  THashClassRef ClassType() const override { return StaticClass(); }

  void Reset() override;
  void Update(const void* data, std::size_t size) override;
  using THash::Update;
  void Finish() override;

 private:
  std::uint16_t crc_ = 0xFFFF;
};

// CRC-16/ARC. The class name keeps its registered spelling with a lower-case h.
class Thash_CRC16_Standard : public THash_XOR16 {
 public:
  explicit Thash_CRC16_Standard(std::shared_ptr<TProtection> protection = nullptr);
  ~Thash_CRC16_Standard() override;
  static THashClassRef StaticClass();
  THashClassRef ClassType() const override { return StaticClass(); }

  void Reset() override;
  void Update(const void* data, std::size_t size) override;
  using THash::Update;
  void Finish() override;

 private:
  std::uint16_t crc_ = 0;
};

// The zlib CRC-32 (CRC-32/ISO-HDLC).
class THash_CRC32 : public THash_XOR32 {
 public:
  explicit THash_CRC32(std::shared_ptr<TProtection> protection = nullptr);
  ~THash_CRC32() override;
  static THashClassRef StaticClass();
  THashClassRef ClassType() const override { return StaticClass(); }

  void Reset() override;
  void Update(const void* data, std::size_t size) override;
  using THash::Update;
  void Finish() override;

 private:
  std::uint32_t crc_ = 0xFFFFFFFFu;  // the register, not yet inverted
};

}  // namespace pelvane
