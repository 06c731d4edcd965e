// The block cipher framework: the cipher object with its buffers and state flags, key set-up
// from key bytes (Init) or from a key text through a hash (InitKey), the eight chaining modes
// with their treatment of a final partial block, and the protection operations.
//
// A cipher class reference (TCipherClassRef) points to the one immutable TCipherClass
// descriptor of a class: class name, block, key and schedule sizes, parent class, a factory
// and the stored reference ciphertext. Descriptors are compared by address.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "crypto/exception.h"
#include "crypto/hash/hash.h"
#include "crypto/hash/protection.h"

namespace pelvane {

// Failures of the cipher framework; ErrorCode tells which.
class ECipherException : public Exception {
 public:
  ECipherException(int error_code, std::string message)
      : Exception(std::move(message)), error_code_(error_code) {}
  int ErrorCode() const noexcept { return error_code_; }

 private:
  int error_code_;
};

inline constexpr int errInvalidKeySize = 2;  // a key longer than KeySize under strict checking
inline constexpr int errCipherNotReady = 3;  // a coding operation before Init or InitKey

// The process-wide strict key size switch, off at start. When on, a key longer than the
// class's KeySize raises ECipherException (errInvalidKeySize) instead of being cut.
bool CheckCipherKeySize() noexcept;
void SetCheckCipherKeySize(bool on) noexcept;

enum TCipherMode : std::uint8_t {
  cmCTS = 0,     // CBC variant whose chaining value is the XOR of all ciphertext blocks
  cmCBC = 1,     // cipher block chaining
  cmCFB = 2,     // 8-bit cipher feedback
  cmOFB = 3,     // 8-bit output feedback
  cmECB = 4,     // electronic code book
  cmCTSMAC = 5,  // cmCTS chaining, nothing written
  cmCBCMAC = 6,  // cmCBC chaining, nothing written
  cmCFBMAC = 7,  // cmCFB chaining, nothing written
};

// The enumeration name of a mode ("cmCTS"), and back; false for an unknown name.
std::string_view CipherModeName(TCipherMode mode);
bool ParseCipherMode(std::string_view name, TCipherMode& mode);

class TCipher;

// The descriptor of one cipher class.
struct TCipherClass {
  const char* class_name;      // e.g. "TCipher_3TDES"
  std::int32_t block_size;     // bytes
  std::int32_t key_size;       // largest key, bytes
  std::int32_t schedule_size;  // bytes of the key schedule
  const TCipherClass* parent;  // none for TCipher
  // Creates an object of the class without a key, with the given chain link.
  std::unique_ptr<TCipher> (*create)(std::shared_ptr<TProtection> protection);
  // The class's stored 32-byte reference ciphertext (null for TCipher); nothing reads it.
  const std::uint8_t* reference_ciphertext;

  std::string_view ClassName() const { return class_name; }
  std::int32_t BlockSize() const { return block_size; }
  std::int32_t KeySize() const { return key_size; }
  std::int32_t ScheduleSize() const { return schedule_size; }
  // An object of the class; a non-empty key_text is set with InitKey (no vector).
  std::unique_ptr<TCipher> Create(std::string_view key_text = {},
                                  std::shared_ptr<TProtection> protection = nullptr) const;
  // True when this class is cls or derives from it.
  bool InheritsFrom(const TCipherClass* cls) const;
};

using TCipherClassRef = const TCipherClass*;

// The cipher base class. It holds the buffers every block cipher needs; each cipher class
// supplies Init (its key schedule) and EncryptBlock/DecryptBlock.
//
// Chaining (B = BlockSize, F = Feedback, S = Scratch, E/D = EncryptBlock/DecryptBlock):
//   cmCTS  full block: C := E(P xor F); F := F xor C     (decrypt: P := D(C) xor F)
//   cmCBC  full block: C := E(P xor F); F := C
//   cmCFB, cmOFB: per byte with S := E(F), feeding back one byte
//   cmECB  full block: C := E(P)
//   Runs of blocks that do not depend on each other (cmECB, and cmCBC and cmCTS decryption) go
//   to EncryptBlocks/DecryptBlocks at once.
//   A final partial block of r bytes in cmCTS, cmCBC and cmECB is coded as a stream:
//   S := E(F); output := input xor first r bytes of S; F := F xor S. The same in both
//   directions, so every length round-trips.
//   The MAC modes run the chaining of cmCTS, cmCBC or cmCFB over the data and write nothing;
//   decrypting in a MAC mode is the same as encrypting.
class TCipher : public TProtection {
 public:
  // State flag bits.
  static constexpr int kFlagKeyFromText = 0;  // the key was set through InitKey
  static constexpr int kFlagReady = 1;        // a key is set; coding is allowed

  ~TCipher() override;

  static TCipherClassRef StaticClass();
  virtual TCipherClassRef ClassType() const { return StaticClass(); }
  std::string_view ClassName() const { return ClassType()->ClassName(); }

  TCipherMode Mode() const noexcept { return mode_; }
  // Changes neither the key nor the chaining value.
  void SetMode(TCipherMode mode) noexcept { mode_ = mode; }

  // The hash InitKey runs over the key text (THash_RipeMD256 in a new object). Changing the
  // class releases the current hash object; the next InitKey creates one of the new class.
  THashClassRef KeyHashClass() const noexcept { return key_hash_class_; }
  void SetKeyHashClass(THashClassRef cls);
  // The key hash object, created from KeyHashClass on first use.
  THash& KeyHash();

  std::int32_t KeySize() const noexcept { return key_size_; }
  std::int32_t BlockSize() const noexcept { return block_size_; }
  std::int32_t ScheduleSize() const noexcept { return schedule_size_; }

  // The BlockSize-byte areas and the schedule.
  const std::uint8_t* InitVector() const noexcept { return init_vector_.get(); }
  const std::uint8_t* Feedback() const noexcept { return feedback_.get(); }
  const std::uint8_t* Scratch() const noexcept { return scratch_.get(); }
  const std::uint8_t* Schedule() const noexcept {
    return reinterpret_cast<const std::uint8_t*>(schedule_.get());
  }
  std::string InitVectorBytes() const;
  std::string FeedbackBytes() const;

  std::uint32_t StateFlags() const noexcept { return state_flags_; }
  bool Ready() const noexcept { return (state_flags_ >> kFlagReady) & 1u; }

  virtual void SetStateFlag(int index, bool value);
  // Last step of every Init: without iv the vector becomes E(all bytes FF); with iv its first
  // BlockSize bytes are the vector. Then Feedback := InitVector and the cipher is ready.
  virtual void FinishKeySetup(const void* iv);
  // One block of BlockSize bytes in place. TCipher itself does nothing.
  virtual void EncryptBlock(void* block);
  virtual void DecryptBlock(void* block);
  // count whole blocks of BlockSize bytes from source to dest (the same memory, or memory that
  // does not overlap), in order, each coded exactly as EncryptBlock or DecryptBlock codes it.
  // The chaining modes hand their runs of independent blocks over here (cmECB both ways,
  // cmCBC and cmCTS decryption). TCipher goes block by block through the one-block operations;
  // a class overrides these where it codes several blocks at once faster.
  virtual void EncryptBlocks(const std::uint8_t* source, std::uint8_t* dest, std::size_t count);
  virtual void DecryptBlocks(const std::uint8_t* source, std::uint8_t* dest, std::size_t count);
  // Sets the key from size key bytes (cut to KeySize, completed with zeros) and the vector
  // (BlockSize bytes, or null). TCipher itself does nothing.
  virtual void Init(const void* key, std::int32_t size, const void* iv);
  // Feedback back to InitVector (the old chaining value goes to Scratch).
  virtual void ResetChain();
  // Clears the flags and overwrites all four areas: vector and feedback end as FF bytes,
  // scratch and schedule as zeros.
  virtual void WipeState();

  // First step of every Init: clears the ready flag, wipes, and returns size clamped to
  // 0..KeySize. Raises errInvalidKeySize for a longer key when strict checking is on.
  std::int32_t BeginKeySetup(std::int32_t size);
  // The key is the digest of key_text under the key hash (the first KeySize bytes; a shorter
  // digest leaves the rest zero). The digest is then overwritten by its own encryption and the
  // chain is reset. iv: BlockSize bytes or null.
  void InitKey(std::string_view key_text, const void* iv = nullptr);

  // size bytes from source to dest (the same memory, apart, or overlapping) in the current Mode.
  // Raises errCipherNotReady before Init. Writes nothing in the MAC modes.
  void EncryptBuffer(const void* source, void* dest, std::size_t size);
  void DecryptBuffer(const void* source, void* dest, std::size_t size);

  // The protection operations: every coding action starts and ends with Feedback at
  // InitVector (actWipe scrambles it instead; actDigest leaves it alone).
  void StartAction(TProtectionAction action) override;
  void FinishAction(TProtectionAction action) override;
  void ProcessChunk(void* buffer, std::size_t size, TProtectionAction action) override;

 protected:
  // Allocates the areas for cls's sizes and wipes them. Objects are made through the class
  // descriptors (TCipherClass::Create), never directly.
  TCipher(TCipherClassRef cls, std::shared_ptr<TProtection> protection);

  // The schedule as 32-bit words (ScheduleSize / 4 of them, rounded up).
  std::uint32_t* ScheduleWords() noexcept { return schedule_.get(); }
  const std::uint32_t* ScheduleWords() const noexcept { return schedule_.get(); }

 private:
  void RequireReady() const;
  // S := E(F); n bytes of out := in xor S; F := F xor S.
  void CodeTail(const std::uint8_t* in, std::uint8_t* out, std::size_t n);
  // The chaining of the non-MAC modes over size bytes from in to out (the same memory or not
  // overlapping).
  void EncryptChain(const std::uint8_t* in, std::uint8_t* out, std::size_t size);
  void DecryptChain(const std::uint8_t* in, std::uint8_t* out, std::size_t size);
  // cmCBC and cmCTS decryption of full bytes of whole blocks: runs of blocks through
  // DecryptBlocks, the chain applied afterwards from the cipher text.
  void DecryptChainedRuns(const std::uint8_t* in, std::uint8_t* out, std::size_t full);
  void MacBlocks(const std::uint8_t* data, std::size_t size);
  void CodeBuffer(const void* source, void* dest, std::size_t size, bool encrypt);
  void ChainStart(TProtectionAction action);

  TCipherMode mode_ = cmCTS;
  std::shared_ptr<THash> key_hash_;
  THashClassRef key_hash_class_;
  std::int32_t key_size_;
  std::int32_t block_size_;
  std::int32_t schedule_size_;
  std::unique_ptr<std::uint8_t[]> scratch_;
  std::unique_ptr<std::uint8_t[]> init_vector_;
  std::unique_ptr<std::uint8_t[]> feedback_;
  std::unique_ptr<std::uint32_t[]> schedule_;
  std::uint32_t state_flags_ = 0;
};

}  // namespace pelvane
