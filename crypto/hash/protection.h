// The protection base shared by hashes and block ciphers: an object that can be chained to a
// further protection object and that processes buffers, streams, files and texts under one of
// five actions. Also the small stream abstraction it works on and the time-seeded scramble.
//
// Ownership: protection objects are counted through std::shared_ptr. A chain link
// (`Protection`) holds one shared_ptr to the next object, so an object lives as long as anyone
// holds it. An object that nobody else needs to count (a manager's temporary hash or cipher) may
// simply be owned by a std::unique_ptr; it can still be given a chain, but it cannot itself be
// placed in another object's chain unless it is converted to a shared_ptr first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "crypto/exception.h"
#include "crypto/formats/formats.h"

namespace pelvane {

// The streams the protection base works on live in their own namespace, apart from the
// messaging layer's memory stream and the application's file errors.
namespace streams {

// A stream that cannot be read, written or positioned as asked.
class EStreamError : public Exception {
  using Exception::Exception;
};

// Raised when a file cannot be opened or created; the message names the file.
class EFOpenError : public EStreamError {
  using EStreamError::EStreamError;
};

// ---------------------------------------------------------------------------------------------
// Streams

// A minimal seekable byte stream.
class TStream {
 public:
  virtual ~TStream() = default;

  // Reads up to count bytes; returns how many were read (0 at the end).
  virtual std::int64_t Read(void* buffer, std::int64_t count) = 0;
  // Writes count bytes; returns how many were written (fewer only on failure).
  virtual std::int64_t Write(const void* buffer, std::int64_t count) = 0;
  virtual std::int64_t Position() const = 0;
  // Positions may lie beyond the end; a later write fills the gap with zeros.
  virtual void SetPosition(std::int64_t position) = 0;
  virtual std::int64_t Size() const = 0;

  // Writes all count bytes or throws EStreamError "Stream write error".
  void WriteBuffer(const void* buffer, std::int64_t count);
};

// A stream over bytes held in memory. The bytes are wiped when the stream goes away.
class TMemoryStream final : public TStream {
 public:
  TMemoryStream() = default;
  explicit TMemoryStream(std::string bytes) : bytes_(std::move(bytes)) {}
  TMemoryStream(const TMemoryStream&) = delete;
  TMemoryStream& operator=(const TMemoryStream&) = delete;
  ~TMemoryStream() override;

  std::int64_t Read(void* buffer, std::int64_t count) override;
  std::int64_t Write(const void* buffer, std::int64_t count) override;
  std::int64_t Position() const override { return position_; }
  void SetPosition(std::int64_t position) override;
  std::int64_t Size() const override { return static_cast<std::int64_t>(bytes_.size()); }

  // The whole content.
  const std::string& Bytes() const noexcept { return bytes_; }
  // Moves the content out; the stream is empty afterwards.
  std::string TakeBytes();
  // Cuts the content off (or extends it with zeros) to size bytes.
  void SetSize(std::int64_t size);

 private:
  std::string bytes_;
  std::int64_t position_ = 0;
};

// A stream over a file on disk.
class TFileStream final : public TStream {
 public:
  enum class Mode {
    kRead,       // an existing file, read only
    kReadWrite,  // an existing file, read and write
    kCreate,     // a new or emptied file, read and write
  };
  // Throws EFOpenError "Cannot open file \"NAME\"" (or "Cannot create file \"NAME\"").
  TFileStream(const std::string& path, Mode mode);
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;
  ~TFileStream() override;

  std::int64_t Read(void* buffer, std::int64_t count) override;
  std::int64_t Write(const void* buffer, std::int64_t count) override;
  std::int64_t Position() const override { return position_; }
  void SetPosition(std::int64_t position) override;
  std::int64_t Size() const override;

  // Cuts the file off at its current position. Throws EStreamError on failure.
  void Truncate();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  std::int64_t position_ = 0;
};

}  // namespace streams

// ---------------------------------------------------------------------------------------------
// Actions

enum TProtectionAction : std::uint8_t {
  actEncode = 0,
  actDecode = 1,
  actScramble = 2,
  actDigest = 3,
  actWipe = 4,
};

// A set of TProtectionAction.
class TProtectionActions {
 public:
  constexpr TProtectionActions() = default;
  static constexpr TProtectionActions All() { return TProtectionActions(0x1F); }
  constexpr bool Contains(TProtectionAction a) const { return (bits_ >> a) & 1u; }
  constexpr TProtectionActions& Include(TProtectionAction a) {
    bits_ |= static_cast<std::uint8_t>(1u << a);
    return *this;
  }
  constexpr TProtectionActions& Exclude(TProtectionAction a) {
    bits_ &= static_cast<std::uint8_t>(~(1u << a));
    return *this;
  }
  constexpr std::uint8_t Bits() const { return bits_; }
  constexpr bool operator==(const TProtectionActions&) const = default;

 private:
  constexpr explicit TProtectionActions(std::uint8_t bits) : bits_(bits) {}
  std::uint8_t bits_ = 0;
};

// Progress of a long operation: sender, current position, maximum. Managers keep one; nothing
// raises it.
using TProgressEvent =
    std::function<void(const void* sender, std::int64_t current, std::int64_t maximal)>;

// Overwrites size bytes at buffer with bytes derived from the current time of day (UTC,
// milliseconds) and a high-resolution counter, chained through a linear congruential step and
// the buffer's own bytes. Not a random source: it only makes the old content unrecoverable.
void TimeSeededScramble(void* buffer, std::size_t size) noexcept;

// Size of the work buffer through which ProcessStream moves data.
inline constexpr std::int64_t kProtectionChunkSize = 4096;

// ---------------------------------------------------------------------------------------------
// The protection base

class TProtection {
 public:
  // Gives EnabledActions all five actions and sets Protection (with the cycle check).
  explicit TProtection(std::shared_ptr<TProtection> protection = nullptr);
  TProtection(const TProtection&) = delete;
  TProtection& operator=(const TProtection&) = delete;
  virtual ~TProtection();

  // The next object of the chain, or none.
  const std::shared_ptr<TProtection>& Protection() const noexcept { return protection_; }
  // Nothing happens if protection is the current one. If the chain starting at protection
  // leads back to this object, throws EProtection "Circular Protection detected, Protection
  // Object is invalid." and keeps the previous link.
  void SetProtection(std::shared_ptr<TProtection> protection);

  TProtectionActions EnabledActions() const noexcept { return enabled_; }
  void SetEnabledActions(TProtectionActions actions) noexcept { enabled_ = actions; }

  // Base behaviour of the three chunk operations: forward to Protection, if any.
  virtual void StartAction(TProtectionAction action);
  virtual void FinishAction(TProtectionAction action);
  virtual void ProcessChunk(void* buffer, std::size_t size, TProtectionAction action);

  // Processes size bytes of source (a negative size: the whole source from its start) through
  // a 4096-byte work buffer, one ProcessChunk per piece. For actDigest nothing is written;
  // otherwise each piece is written to dest (the source itself when dest is null) at the
  // running write position. A null source does nothing. FinishAction runs also when a piece
  // fails; the failure then propagates.
  virtual void ProcessStream(streams::TStream* source, streams::TStream* dest, std::int64_t size,
                             TProtectionAction action);

  // Processes the whole source file; into a separate destination file when the names differ
  // (case-insensitively) and the destination is not blank (actDigest writes nothing),
  // otherwise in place. A separate destination is cut off at its last write position.
  virtual void ProcessFile(const std::string& source, const std::string& dest,
                           TProtectionAction action);

  // Processes the bytes of a text. actDecode reads text in format (FormatToStr) and returns the
  // processed bytes raw; every other action processes text itself and returns the processed
  // bytes in format (StrToFormat). An empty text gives an empty result. kFormatDefault (-1)
  // is MIME Base 64.
  virtual std::string ProcessString(std::string_view text, TProtectionAction action,
                                    int format = kFormatDefault);

  // StartAction, ProcessChunk, FinishAction (also when ProcessChunk fails); returns size.
  virtual std::size_t ProcessBuffer(void* buffer, std::size_t size, TProtectionAction action);

 private:
  std::shared_ptr<TProtection> protection_;
  TProtectionActions enabled_ = TProtectionActions::All();
};

}  // namespace pelvane
