#include "crypto/cipher/des.h"

#include <array>
#include <cstring>

#include "crypto/cipher/des_core.h"
#include "crypto/secure.h"

namespace pelvane {
namespace {

// Ciphertexts of the 32-byte test pattern
// 3044ED6E45A496F5F635A2EB3D1A5DD6CB1D09822DBDF560C2B858A191F981B1 under each class keyed with
// its own class name (cut or zero-completed), no vector, cmCTS.
constexpr std::uint8_t kRef1DES[32] = {
    0xAD, 0x69, 0x42, 0xBB, 0xF6, 0x68, 0x20, 0x4D, 0x53, 0xCD, 0xC7, 0x62, 0x13, 0x93, 0x98, 0xC0,
    0x30, 0x0D, 0x85, 0x0B, 0xE2, 0xAA, 0x72, 0x09, 0x6F, 0xDB, 0x5F, 0x8E, 0xD3, 0xE4, 0xCF, 0x8A};
constexpr std::uint8_t kRef2DES[32] = {
    0x66, 0x5C, 0x79, 0x27, 0xE9, 0x1C, 0x8B, 0xA0, 0xA9, 0xE4, 0x99, 0x5A, 0x15, 0x8C, 0xBD, 0x46,
    0x5C, 0x9C, 0x75, 0x91, 0x3C, 0x38, 0x06, 0x9D, 0x75, 0xB4, 0x7E, 0x68, 0xE9, 0x47, 0xFD, 0xAB};
constexpr std::uint8_t kRef2DDES[32] = {
    0x93, 0x6C, 0xF6, 0x43, 0xC6, 0xA7, 0x7F, 0xED, 0x4D, 0xB4, 0x70, 0x4A, 0xE2, 0xA6, 0x06, 0x8B,
    0x75, 0x13, 0x19, 0xAF, 0xE1, 0x82, 0xED, 0x35, 0x4E, 0x13, 0xF6, 0x88, 0xA4, 0x6B, 0x33, 0x26};
constexpr std::uint8_t kRef3DES[32] = {
    0x07, 0x4C, 0x14, 0xF3, 0xE2, 0x2E, 0x08, 0xD9, 0x64, 0xBF, 0x6F, 0x82, 0xB5, 0xDF, 0xF0, 0xA2,
    0x2F, 0x2D, 0x3B, 0xDB, 0x17, 0xDB, 0x25, 0xB6, 0xB5, 0x1E, 0xFA, 0x71, 0x37, 0x2F, 0xD1, 0x72};
constexpr std::uint8_t kRef3DDES[32] = {
    0x2F, 0x5A, 0x5E, 0xD4, 0x5E, 0x8A, 0xAA, 0x4E, 0xD2, 0x66, 0x59, 0x48, 0x1D, 0xE1, 0x95, 0x94,
    0x2A, 0x9F, 0xCC, 0x1F, 0x4D, 0xE6, 0x14, 0xF0, 0x50, 0x04, 0x03, 0x64, 0x66, 0x9A, 0x77, 0x8E};
constexpr std::uint8_t kRef3TDES[32] = {
    0x0B, 0x12, 0xE4, 0x8B, 0xD9, 0xCD, 0x08, 0xBF, 0xCA, 0xAE, 0x3E, 0x5F, 0xF6, 0xFE, 0x13, 0xCD,
    0x3F, 0x70, 0x6E, 0xCD, 0x53, 0x56, 0x3F, 0x5A, 0x80, 0x0F, 0x1B, 0x1E, 0xFB, 0x9A, 0x57, 0x96};

template <typename T>
std::unique_ptr<TCipher> Make(std::shared_ptr<TProtection> protection) {
  return std::make_unique<T>(std::move(protection));
}

std::uint8_t* Bytes(void* p) {
  return static_cast<std::uint8_t*>(p);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Class descriptors

TCipherClassRef TCipher_1DES::StaticClass() {
  static const TCipherClass cls = {"TCipher_1DES",      8,       8, 256, TCipher::StaticClass(),
                                   &Make<TCipher_1DES>, kRef1DES};
  return &cls;
}
TCipherClassRef TCipher_2DES::StaticClass() {
  static const TCipherClass cls = {
      "TCipher_2DES", 8, 16, 512, TCipher_1DES::StaticClass(), &Make<TCipher_2DES>, kRef2DES};
  return &cls;
}
TCipherClassRef TCipher_2DDES::StaticClass() {
  static const TCipherClass cls = {
      "TCipher_2DDES", 16, 16, 512, TCipher_2DES::StaticClass(), &Make<TCipher_2DDES>, kRef2DDES};
  return &cls;
}
TCipherClassRef TCipher_3DES::StaticClass() {
  static const TCipherClass cls = {
      "TCipher_3DES", 8, 24, 768, TCipher_1DES::StaticClass(), &Make<TCipher_3DES>, kRef3DES};
  return &cls;
}
TCipherClassRef TCipher_3DDES::StaticClass() {
  static const TCipherClass cls = {
      "TCipher_3DDES", 16, 24, 768, TCipher_3DES::StaticClass(), &Make<TCipher_3DDES>, kRef3DDES};
  return &cls;
}
TCipherClassRef TCipher_3TDES::StaticClass() {
  static const TCipherClass cls = {
      "TCipher_3TDES", 24, 24, 768, TCipher_3DES::StaticClass(), &Make<TCipher_3TDES>, kRef3TDES};
  return &cls;
}

// ---------------------------------------------------------------------------------------------
// Key set-up

void TCipher_1DES::BuildSchedules(const void* key, std::int32_t size, const void* iv,
                                  std::initializer_list<ScheduleEntry> entries) {
  size = BeginKeySetup(size);
  std::array<std::uint8_t, 24> buffer{};  // the largest key of the family
  if (size > 0) std::memcpy(buffer.data(), key, static_cast<std::size_t>(size));
  std::uint32_t* out = ScheduleWords();
  for (const ScheduleEntry& entry : entries) {
    des::MakeSchedule(buffer.data() + 8 * entry.key_index, entry.decrypt, out);
    out += des::kScheduleWords;
  }
  SecureWipe(buffer);
  FinishKeySetup(iv);
}

void TCipher_1DES::Init(const void* key, std::int32_t size, const void* iv) {
  BuildSchedules(key, size, iv, {{0, false}, {0, true}});
}

void TCipher_2DES::Init(const void* key, std::int32_t size, const void* iv) {
  BuildSchedules(key, size, iv, {{0, false}, {1, true}, {0, true}, {1, false}});
}

void TCipher_3DES::Init(const void* key, std::int32_t size, const void* iv) {
  BuildSchedules(key, size, iv,
                 {{0, false}, {1, true}, {2, false}, {2, true}, {1, false}, {0, true}});
}

// ---------------------------------------------------------------------------------------------
// Block functions. Schedule indices: 1DES E_K 0, D_K 1; 2DES E_K1 0, D_K2 1, D_K1 2, E_K2 3;
// 3DES E_K1 0, D_K2 1, E_K3 2, D_K3 3, E_K2 4, D_K1 5.

void TCipher_1DES::EncryptBlock(void* block) {
  des::Crypt(Bytes(block), Sched(0));
}
void TCipher_1DES::DecryptBlock(void* block) {
  des::Crypt(Bytes(block), Sched(1));
}

void TCipher_2DES::EncryptBlock(void* block) {
  des::Crypt3Stage<1>(Bytes(block), Sched(0), Sched(1), Sched(0));
}
void TCipher_2DES::DecryptBlock(void* block) {
  des::Crypt3Stage<1>(Bytes(block), Sched(2), Sched(3), Sched(2));
}

void TCipher_2DDES::EncryptBlock(void* block) {
  des::Crypt3Stage<2>(Bytes(block), Sched(0), Sched(1), Sched(0));
}
void TCipher_2DDES::DecryptBlock(void* block) {
  des::Crypt3Stage<2>(Bytes(block), Sched(2), Sched(3), Sched(2));
}

void TCipher_3DES::EncryptBlock(void* block) {
  des::Crypt3Stage<1>(Bytes(block), Sched(0), Sched(1), Sched(2));
}
void TCipher_3DES::DecryptBlock(void* block) {
  des::Crypt3Stage<1>(Bytes(block), Sched(3), Sched(4), Sched(5));
}

void TCipher_3DDES::EncryptBlock(void* block) {
  des::Crypt3Stage<2>(Bytes(block), Sched(0), Sched(1), Sched(2));
}
void TCipher_3DDES::DecryptBlock(void* block) {
  des::Crypt3Stage<2>(Bytes(block), Sched(3), Sched(4), Sched(5));
}

void TCipher_3TDES::EncryptBlock(void* block) {
  des::Crypt3Stage<3>(Bytes(block), Sched(0), Sched(1), Sched(2));
}
void TCipher_3TDES::DecryptBlock(void* block) {
  des::Crypt3Stage<3>(Bytes(block), Sched(3), Sched(4), Sched(5));
}

}  // namespace pelvane
