// Message digests: the hash base class, the MD4 family (MD4, MD5, RIPEMD-128/160/256/320,
// SHA, SHA-1) and hash class references.
//
// A hash class reference (THashClassRef) points to the one immutable THashClass descriptor of a
// class: its class name, digest size, parent class and a factory for instances. Descriptors
// are compared by address.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "crypto/hash/protection.h"

namespace pelvane {

class THash;

// The descriptor of one hash class.
struct THashClass {
  const char* class_name;    // e.g. "THash_MD5"
  std::size_t digest_size;   // in bytes; 0 for THash itself
  const THashClass* parent;  // none for THash
  // Creates an object of the class with the given chain link.
  std::unique_ptr<THash> (*create)(std::shared_ptr<TProtection> protection);

  std::string_view ClassName() const { return class_name; }
  std::size_t DigestSize() const { return digest_size; }
  std::unique_ptr<THash> Create(std::shared_ptr<TProtection> protection = nullptr) const {
    return create(std::move(protection));
  }
  // True when this class is cls or derives from it.
  bool InheritsFrom(const THashClass* cls) const;
};

using THashClassRef = const THashClass*;

// The hash base class. As a protection object it digests, scrambles, wipes or (XOR with a
// running digest) encodes and decodes the chunks it is given. THash itself digests nothing:
// its digest size is 0.
class THash : public TProtection {
 public:
  explicit THash(std::shared_ptr<TProtection> protection = nullptr);
  ~THash() override;

  static THashClassRef StaticClass();
  // The class of this object.
  virtual THashClassRef ClassType() const { return StaticClass(); }

  // Starts a new digest.
  virtual void Reset() {}
  // Absorbs size bytes.
  virtual void Update(const void* data, std::size_t size) { (void)data, (void)size; }
  void Update(std::string_view bytes) { Update(bytes.data(), bytes.size()); }
  // Pads and completes; DigestBytes then shows the digest until the next Reset.
  virtual void Finish() {}
  // Address of the digest bytes (DigestSize of them after Finish); null for THash itself.
  virtual std::uint8_t* DigestBytes() { return nullptr; }
  std::size_t DigestSize() const { return ClassType()->DigestSize(); }
  // The digest bytes as a string of DigestSize bytes.
  std::string DigestKey();

  // Digest of text under class cls (with protection as its chain) in format. The object is
  // destroyed afterwards, also on failure. A null cls gives the (empty) digest of THash.
  static std::string HashString(THashClassRef cls, std::string_view text,
                                std::shared_ptr<TProtection> protection = nullptr,
                                int format = kFormatDefault);

  // A hash used as a protection object.
  void StartAction(TProtectionAction action) override;
  void FinishAction(TProtectionAction action) override;
  void ProcessChunk(void* buffer, std::size_t size, TProtectionAction action) override;

 protected:
  // Ends every Finish: passes the digest through the chain's ProcessBuffer with actScramble.
  void FinishHook();
};

// The state and the shared Reset/Update/Finish of the 64-byte-block family. The byte counter
// is 32 bits wide, so the length field is correct for inputs below 2^29 bytes.
class THash_MD4 : public THash {
 public:
  explicit THash_MD4(std::shared_ptr<TProtection> protection = nullptr);
  ~THash_MD4() override;

  static THashClassRef StaticClass();
  THashClassRef ClassType() const override { return StaticClass(); }

  void Reset() override;
  void Update(const void* data, std::size_t size) override;
  using THash::Update;
  void Finish() override;
  std::uint8_t* DigestBytes() override { return reinterpret_cast<std::uint8_t*>(state_.data()); }

  // Processes one 64-byte block.
  virtual void CompressBlock(const std::uint8_t* block) { CompressBlocks(block, 1); }

 protected:
  // For classes whose initial chaining values differ from the common ones.
  using InitialState = std::array<std::uint32_t, 10>;
  THash_MD4(std::shared_ptr<TProtection> protection, const InitialState& initial);

  // Processes count consecutive 64-byte blocks; the fast path of Update.
  virtual void CompressBlocks(const std::uint8_t* data, std::size_t count);

  std::uint32_t count_ = 0;              // bytes absorbed since Reset, modulo 2^32
  std::array<std::uint8_t, 64> buffer_;  // the not yet compressed tail
  std::array<std::uint32_t, 10> state_;  // chaining state; the digest after Finish

 private:
  void ResetState();
  const InitialState* initial_;
};

class THash_MD5 : public THash_MD4 {
 public:
  using THash_MD4::THash_MD4;
  static THashClassRef StaticClass();
  THashClassRef ClassType() const override { return StaticClass(); }

 protected:
  void CompressBlocks(const std::uint8_t* data, std::size_t count) override;
};

class THash_RipeMD128 : public THash_MD4 {
 public:
  using THash_MD4::THash_MD4;
  static THashClassRef StaticClass();
  THashClassRef ClassType() const override { return StaticClass(); }

 protected:
  void CompressBlocks(const std::uint8_t* data, std::size_t count) override;
};

class THash_RipeMD160 : public THash_MD4 {
 public:
  using THash_MD4::THash_MD4;
  static THashClassRef StaticClass();
  THashClassRef ClassType() const override { return StaticClass(); }

 protected:
  void CompressBlocks(const std::uint8_t* data, std::size_t count) override;
};

class THash_RipeMD256 : public THash_MD4 {
 public:
  explicit THash_RipeMD256(std::shared_ptr<TProtection> protection = nullptr);
  static THashClassRef StaticClass();
  THashClassRef ClassType() const override { return StaticClass(); }

 protected:
  void CompressBlocks(const std::uint8_t* data, std::size_t count) override;
};

class THash_RipeMD320 : public THash_MD4 {
 public:
  explicit THash_RipeMD320(std::shared_ptr<TProtection> protection = nullptr);
  static THashClassRef StaticClass();
  THashClassRef ClassType() const override { return StaticClass(); }

 protected:
  void CompressBlocks(const std::uint8_t* data, std::size_t count) override;
};

// The Secure Hash Algorithm as first published (FIPS 180, no rotation in the message
// schedule). The digest is the five chaining words in big-endian byte order.
class THash_SHA : public THash_RipeMD160 {
 public:
  using THash_RipeMD160::THash_RipeMD160;
  static THashClassRef StaticClass();
  THashClassRef ClassType() const override { return StaticClass(); }

  void Finish() override;
  // True in SHA-1: the schedule rotates each word left by one bit.
  bool RotateSchedule() const noexcept { return rotate_schedule_; }

 protected:
  void CompressBlocks(const std::uint8_t* data, std::size_t count) override;

  bool rotate_schedule_ = false;
};

// SHA-1 (FIPS 180-1).
class THash_SHA1 : public THash_SHA {
 public:
  explicit THash_SHA1(std::shared_ptr<TProtection> protection = nullptr);
  static THashClassRef StaticClass();
  THashClassRef ClassType() const override { return StaticClass(); }

  void Reset() override;
};

}  // namespace pelvane
