// A growable in-memory byte stream with a read/write position, as handed to and filled by the
// UDP component. Bytes are kept in a std::string (any byte value, zero included) and wiped when
// the stream is cleared or destroyed.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "crypto/exception.h"

namespace pelvane {

// A stream operation that could not move the requested number of bytes.
class EStreamError : public Exception {
  using Exception::Exception;
};

// WriteBuffer could not write the requested count ("Stream write error").
class EWriteError : public EStreamError {
  using EStreamError::EStreamError;
};

// ReadBuffer could not read the requested count ("Stream read error").
class EReadError : public EStreamError {
  using EStreamError::EStreamError;
};

class TMemoryStream {
 public:
  TMemoryStream() = default;
  TMemoryStream(const TMemoryStream&) = delete;
  TMemoryStream& operator=(const TMemoryStream&) = delete;
  ~TMemoryStream();

  std::int64_t Size() const noexcept { return static_cast<std::int64_t>(bytes_.size()); }
  std::int64_t Position() const noexcept { return position_; }
  // Any position from 0 on is allowed; a position past the end reads nothing and writing
  // there fills the gap with zero bytes. A negative position is clamped to 0.
  void SetPosition(std::int64_t position) noexcept;
  // Resizes the stream (new bytes are zero) and keeps the position within the new size.
  void SetSize(std::int64_t size);
  // Empties the stream and rewinds it.
  void Clear() noexcept;

  // Reads up to count bytes from the position; returns how many were read (0 for count <= 0).
  std::int32_t Read(void* buffer, std::int32_t count) noexcept;
  // Writes count bytes at the position, growing the stream as needed; returns how many were
  // written (0 for count <= 0).
  std::int32_t Write(const void* buffer, std::int32_t count);

  // Reads exactly count bytes or throws EReadError "Stream read error".
  void ReadBuffer(void* buffer, std::int32_t count);
  // Writes exactly count bytes or throws EWriteError "Stream write error".
  void WriteBuffer(const void* buffer, std::int32_t count);

  // Convenience for byte strings: the whole content, writing a string at the position, and
  // reading exactly count bytes from the position.
  const std::string& Bytes() const noexcept { return bytes_; }
  void WriteString(std::string_view bytes);
  std::string ReadString(std::int32_t count);

 private:
  std::string bytes_;
  std::int64_t position_ = 0;
};

}  // namespace pelvane
