#include "messaging/memory_stream.h"

#include <algorithm>
#include <cstring>

#include "crypto/secure.h"

namespace pelvane {

namespace {
constexpr char kWriteError[] = "Stream write error";
constexpr char kReadError[] = "Stream read error";
}  // namespace

TMemoryStream::~TMemoryStream() {
  SecureWipe(bytes_);
}

void TMemoryStream::SetPosition(std::int64_t position) noexcept {
  position_ = std::max<std::int64_t>(position, 0);
}

void TMemoryStream::SetSize(std::int64_t size) {
  size = std::max<std::int64_t>(size, 0);
  if (size < Size()) {
    SecureWipe(bytes_.data() + size, bytes_.size() - static_cast<std::size_t>(size));
  }
  bytes_.resize(static_cast<std::size_t>(size), '\0');
  position_ = std::min(position_, size);
}

void TMemoryStream::Clear() noexcept {
  SecureWipe(bytes_);
  position_ = 0;
}

std::int32_t TMemoryStream::Read(void* buffer, std::int32_t count) noexcept {
  if (count <= 0 || position_ >= Size()) return 0;
  const std::int64_t n = std::min<std::int64_t>(count, Size() - position_);
  std::memcpy(buffer, bytes_.data() + position_, static_cast<std::size_t>(n));
  position_ += n;
  return static_cast<std::int32_t>(n);
}

std::int32_t TMemoryStream::Write(const void* buffer, std::int32_t count) {
  if (count <= 0) return 0;
  const std::int64_t end = position_ + count;
  if (end > Size()) bytes_.resize(static_cast<std::size_t>(end), '\0');
  std::memcpy(bytes_.data() + position_, buffer, static_cast<std::size_t>(count));
  position_ = end;
  return count;
}

void TMemoryStream::ReadBuffer(void* buffer, std::int32_t count) {
  if (count != 0 && Read(buffer, count) != count) throw EReadError(kReadError);
}

void TMemoryStream::WriteBuffer(const void* buffer, std::int32_t count) {
  if (count != 0 && Write(buffer, count) != count) throw EWriteError(kWriteError);
}

void TMemoryStream::WriteString(std::string_view bytes) {
  if (bytes.size() > static_cast<std::size_t>(INT32_MAX)) throw EWriteError(kWriteError);
  WriteBuffer(bytes.data(), static_cast<std::int32_t>(bytes.size()));
}

std::string TMemoryStream::ReadString(std::int32_t count) {
  if (count < 0) throw EReadError(kReadError);
  std::string out(static_cast<std::size_t>(count), '\0');
  ReadBuffer(out.data(), count);
  return out;
}

}  // namespace pelvane
