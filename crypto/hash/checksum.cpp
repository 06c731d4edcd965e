// The checksums: XOR-16, XOR-32 and three table-driven CRCs. The tables are computed at compile
// time from the polynomials.
#include "crypto/hash/checksum.h"

#include <cstring>

#include "crypto/hash/hash_internal.h"
#include "crypto/secure.h"

namespace pelvane {

namespace {

template <class T>
std::unique_ptr<THash> Make(std::shared_ptr<TProtection> protection) {
  return std::make_unique<T>(std::move(protection));
}

std::uint64_t LoadLittleEndian64(const std::uint8_t* p) {
  return static_cast<std::uint64_t>(hash_internal::LoadLittleEndian32(p)) |
         static_cast<std::uint64_t>(hash_internal::LoadLittleEndian32(p + 4)) << 32;
}

// CRC-16/CCITT-FALSE, most significant bit first: entry b is the register after shifting the
// byte b (in the top of the register) through eight steps.
constexpr std::array<std::uint16_t, 256> kCcittTable = [] {
  std::array<std::uint16_t, 256> t{};
  for (unsigned b = 0; b < 256; ++b) {
    unsigned crc = b << 8;
    for (int k = 0; k < 8; ++k)
      crc = (crc & 0x8000u) ? (crc << 1) ^ 0x1021u : crc << 1;
    t[b] = static_cast<std::uint16_t>(crc);
  }
  return t;
}();

// CRC-16/ARC, least significant bit first with the reflected polynomial.
constexpr std::array<std::uint16_t, 256> kArcTable = [] {
  std::array<std::uint16_t, 256> t{};
  for (unsigned b = 0; b < 256; ++b) {
    unsigned crc = b;
    for (int k = 0; k < 8; ++k)
      crc = (crc & 1u) ? (crc >> 1) ^ 0xA001u : crc >> 1;
    t[b] = static_cast<std::uint16_t>(crc);
  }
  return t;
}();

// CRC-32 in eight tables for eight bytes per step: table 0 is the classic byte table (RFC 1952's
// make_crc_table); table k advances an entry of table k-1 by one more zero byte.
constexpr std::array<std::array<std::uint32_t, 256>, 8> kCrc32Tables = [] {
  std::array<std::array<std::uint32_t, 256>, 8> t{};
  for (std::uint32_t b = 0; b < 256; ++b) {
    std::uint32_t crc = b;
    for (int k = 0; k < 8; ++k)
      crc = (crc & 1u) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    t[0][b] = crc;
  }
  for (int k = 1; k < 8; ++k) {
    for (std::uint32_t b = 0; b < 256; ++b)
      t[k][b] = (t[k - 1][b] >> 8) ^ t[0][t[k - 1][b] & 0xFF];
  }
  return t;
}();

}  // namespace

// ---------------------------------------------------------------------------------------------
// Class descriptors. Each is made on first use, so that its parent is always complete.

THashClassRef TChecksum::StaticClass() {
  static const THashClass cls{"TChecksum", 0, THash::StaticClass(), &Make<TChecksum>};
  return &cls;
}
THashClassRef THash_XOR16::StaticClass() {
  static const THashClass cls{"THash_XOR16", 2, TChecksum::StaticClass(), &Make<THash_XOR16>};
  return &cls;
}
THashClassRef THash_XOR32::StaticClass() {
  static const THashClass cls{"THash_XOR32", 4, TChecksum::StaticClass(), &Make<THash_XOR32>};
  return &cls;
}
THashClassRef THash_CRC16_CCITT::StaticClass() {
  static const THashClass cls{"THash_CRC16_CCITT", 2, THash_XOR16::StaticClass(),
                              &Make<THash_CRC16_CCITT>};
  return &cls;
}
THashClassRef Thash_CRC16_Standard::StaticClass() {
  static const THashClass cls{"Thash_CRC16_Standard", 2, THash_XOR16::StaticClass(),
                              &Make<Thash_CRC16_Standard>};
  return &cls;
}
THashClassRef THash_CRC32::StaticClass() {
  static const THashClass cls{"THash_CRC32", 4, THash_XOR32::StaticClass(), &Make<THash_CRC32>};
  return &cls;
}

// ---------------------------------------------------------------------------------------------
// TChecksum

TChecksum::TChecksum(std::shared_ptr<TProtection> protection) : THash(std::move(protection)) {}

TChecksum::~TChecksum() {
  SecureWipe(digest_);
}

void TChecksum::ShowValue(std::uint32_t value) {
  const std::size_t size = DigestSize();
  for (std::size_t i = 0; i < size; ++i)
    digest_[i] = static_cast<std::uint8_t>(value >> (8 * (size - 1 - i)));
}

void TChecksum::FinishValue(std::uint32_t value) {
  ShowValue(value);
  FinishHook();
}

// ---------------------------------------------------------------------------------------------
// XOR-16 and XOR-32

void XorLanes::Absorb(const std::uint8_t* data, std::size_t size) {
  while (size > 0 && position != 0) {
    word ^= static_cast<std::uint64_t>(*data++) << (8 * position);
    position = (position + 1) % 8;
    --size;
  }
  if (size == 0) return;  // still inside the word the previous pieces began
  std::uint64_t acc = 0;
  for (; size >= 8; size -= 8, data += 8)
    acc ^= LoadLittleEndian64(data);
  word ^= acc;
  for (std::size_t i = 0; i < size; ++i)
    word ^= static_cast<std::uint64_t>(data[i]) << (8 * i);
  position = size;
}

std::uint32_t XorLanes::Fold32() const {
  return static_cast<std::uint32_t>(word ^ (word >> 32));
}

std::uint16_t XorLanes::Fold16() const {
  const std::uint32_t v = Fold32();
  return static_cast<std::uint16_t>(v ^ (v >> 16));
}

THash_XOR16::THash_XOR16(std::shared_ptr<TProtection> protection)
    : TChecksum(std::move(protection)) {}

THash_XOR16::~THash_XOR16() {
  SecureWipe(&lanes_, sizeof lanes_);
}

void THash_XOR16::Reset() {
  lanes_ = XorLanes{};
  ShowValue(0);
}

void THash_XOR16::Update(const void* data, std::size_t size) {
  lanes_.Absorb(static_cast<const std::uint8_t*>(data), size);
}

void THash_XOR16::Finish() {
  FinishValue(lanes_.Fold16());
}

THash_XOR32::THash_XOR32(std::shared_ptr<TProtection> protection)
    : TChecksum(std::move(protection)) {}

THash_XOR32::~THash_XOR32() {
  SecureWipe(&lanes_, sizeof lanes_);
}

void THash_XOR32::Reset() {
  lanes_ = XorLanes{};
  ShowValue(0);
}

void THash_XOR32::Update(const void* data, std::size_t size) {
  lanes_.Absorb(static_cast<const std::uint8_t*>(data), size);
}

void THash_XOR32::Finish() {
  FinishValue(lanes_.Fold32());
}

// ---------------------------------------------------------------------------------------------
// The CRCs

THash_CRC16_CCITT::THash_CRC16_CCITT(std::shared_ptr<TProtection> protection)
    : THash_XOR16(std::move(protection)) {}

THash_CRC16_CCITT::~THash_CRC16_CCITT() {
  SecureWipe(&crc_, sizeof crc_);
}

void THash_CRC16_CCITT::Reset() {
  crc_ = 0xFFFF;
  ShowValue(crc_);
}

void THash_CRC16_CCITT::Update(const void* data, std::size_t size) {
  const auto* p = static_cast<const std::uint8_t*>(data);
  unsigned crc = crc_;
  for (std::size_t i = 0; i < size; ++i)
    crc = ((crc << 8) & 0xFFFFu) ^ kCcittTable[(crc >> 8) ^ p[i]];
  crc_ = static_cast<std::uint16_t>(crc);
}

void THash_CRC16_CCITT::Finish() {
  FinishValue(crc_);
}

Thash_CRC16_Standard::Thash_CRC16_Standard(std::shared_ptr<TProtection> protection)
    : THash_XOR16(std::move(protection)) {}

Thash_CRC16_Standard::~Thash_CRC16_Standard() {
  SecureWipe(&crc_, sizeof crc_);
}

void Thash_CRC16_Standard::Reset() {
  crc_ = 0;
  ShowValue(crc_);
}

void Thash_CRC16_Standard::Update(const void* data, std::size_t size) {
  const auto* p = static_cast<const std::uint8_t*>(data);
  unsigned crc = crc_;
  for (std::size_t i = 0; i < size; ++i)
    crc = (crc >> 8) ^ kArcTable[(crc ^ p[i]) & 0xFF];
  crc_ = static_cast<std::uint16_t>(crc);
}

void Thash_CRC16_Standard::Finish() {
  FinishValue(crc_);
}

THash_CRC32::THash_CRC32(std::shared_ptr<TProtection> protection)
    : THash_XOR32(std::move(protection)) {}

THash_CRC32::~THash_CRC32() {
  SecureWipe(&crc_, sizeof crc_);
}

void THash_CRC32::Reset() {
  crc_ = 0xFFFFFFFFu;
  ShowValue(crc_);
}

void THash_CRC32::Update(const void* data, std::size_t size) {
  const auto* p = static_cast<const std::uint8_t*>(data);
  const auto& t = kCrc32Tables;
  std::uint32_t crc = crc_;
  for (; size >= 8; size -= 8, p += 8) {
    const std::uint64_t x = LoadLittleEndian64(p) ^ crc;
    crc = t[7][x & 0xFF] ^ t[6][(x >> 8) & 0xFF] ^ t[5][(x >> 16) & 0xFF] ^ t[4][(x >> 24) & 0xFF] ^
          t[3][(x >> 32) & 0xFF] ^ t[2][(x >> 40) & 0xFF] ^ t[1][(x >> 48) & 0xFF] ^ t[0][x >> 56];
  }
  for (std::size_t i = 0; i < size; ++i)
    crc = (crc >> 8) ^ t[0][(crc ^ p[i]) & 0xFF];
  crc_ = crc;
}

void THash_CRC32::Finish() {
  FinishValue(~crc_);
}

}  // namespace pelvane
