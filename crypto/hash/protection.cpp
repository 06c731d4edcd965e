#include "crypto/hash/protection.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "crypto/hash/class_registry.h"
#include "crypto/secure.h"

namespace pelvane {

using streams::EStreamError;
using streams::TFileStream;
using streams::TMemoryStream;

// ---------------------------------------------------------------------------------------------
// Streams

namespace streams {

void TStream::WriteBuffer(const void* buffer, std::int64_t count) {
  if (count > 0 && Write(buffer, count) != count) throw EStreamError("Stream write error");
}

TMemoryStream::~TMemoryStream() {
  SecureWipe(bytes_);
}

std::int64_t TMemoryStream::Read(void* buffer, std::int64_t count) {
  const std::int64_t size = Size();
  if (count <= 0 || position_ >= size) return 0;
  const std::int64_t n = std::min(count, size - position_);
  std::memcpy(buffer, bytes_.data() + position_, static_cast<std::size_t>(n));
  position_ += n;
  return n;
}

std::int64_t TMemoryStream::Write(const void* buffer, std::int64_t count) {
  if (count <= 0) return 0;
  const std::int64_t end = position_ + count;
  if (end > Size()) SetSize(end);
  std::memcpy(bytes_.data() + position_, buffer, static_cast<std::size_t>(count));
  position_ = end;
  return count;
}

void TMemoryStream::SetPosition(std::int64_t position) {
  if (position < 0) throw EStreamError("Stream position error");
  position_ = position;
}

void TMemoryStream::SetSize(std::int64_t size) {
  if (size < 0) throw EStreamError("Stream size error");
  const auto n = static_cast<std::size_t>(size);
  if (n < bytes_.size()) {
    SecureWipe(bytes_.data() + n, bytes_.size() - n);
    bytes_.resize(n);
  } else if (n > bytes_.size()) {
    // Grow into fresh memory and wipe the old copy, so no stale secret stays behind.
    std::string grown;
    grown.reserve(std::max(n, bytes_.capacity() * 2));
    grown.assign(bytes_);
    grown.resize(n, '\0');
    SecureWipe(bytes_);
    bytes_.swap(grown);
  }
  if (position_ > size) position_ = size;
}

std::string TMemoryStream::TakeBytes() {
  std::string out = std::move(bytes_);
  bytes_.clear();
  position_ = 0;
  return out;
}

struct TFileStream::Impl {
  std::string path;
  std::FILE* file = nullptr;
};

TFileStream::TFileStream(const std::string& path, Mode mode) : impl_(std::make_unique<Impl>()) {
  impl_->path = path;
  const char* how = mode == Mode::kRead ? "rb" : mode == Mode::kReadWrite ? "r+b" : "w+b";
  impl_->file = std::fopen(path.c_str(), how);
  if (impl_->file == nullptr) {
    throw EFOpenError((mode == Mode::kCreate ? "Cannot create file \"" : "Cannot open file \"") +
                      path + "\"");
  }
}

TFileStream::~TFileStream() {
  if (impl_->file != nullptr) std::fclose(impl_->file);
}

std::int64_t TFileStream::Read(void* buffer, std::int64_t count) {
  if (count <= 0) return 0;
  if (std::fseek(impl_->file, static_cast<long>(position_), SEEK_SET) != 0) {
    throw EStreamError("Stream read error");
  }
  const std::size_t n = std::fread(buffer, 1, static_cast<std::size_t>(count), impl_->file);
  if (n == 0 && std::ferror(impl_->file)) throw EStreamError("Stream read error");
  position_ += static_cast<std::int64_t>(n);
  return static_cast<std::int64_t>(n);
}

std::int64_t TFileStream::Write(const void* buffer, std::int64_t count) {
  if (count <= 0) return 0;
  if (std::fseek(impl_->file, static_cast<long>(position_), SEEK_SET) != 0) return 0;
  const std::size_t n = std::fwrite(buffer, 1, static_cast<std::size_t>(count), impl_->file);
  position_ += static_cast<std::int64_t>(n);
  return static_cast<std::int64_t>(n);
}

void TFileStream::SetPosition(std::int64_t position) {
  if (position < 0) throw EStreamError("Stream position error");
  position_ = position;
}

std::int64_t TFileStream::Size() const {
  if (std::fflush(impl_->file) != 0 || std::fseek(impl_->file, 0, SEEK_END) != 0) {
    throw EStreamError("Stream read error");
  }
  const long end = std::ftell(impl_->file);
  if (end < 0) throw EStreamError("Stream read error");
  return end;
}

void TFileStream::Truncate() {
  if (std::fflush(impl_->file) != 0) throw EStreamError("Stream write error");
  std::error_code ec;
  std::filesystem::resize_file(impl_->path, static_cast<std::uintmax_t>(position_), ec);
  if (ec) throw EStreamError("Stream write error");
}

}  // namespace streams

// ---------------------------------------------------------------------------------------------
// Time-seeded scramble

void TimeSeededScramble(void* buffer, std::size_t size) noexcept {
  using namespace std::chrono;
  const auto now = system_clock::now();
  const auto since_midnight = now - floor<days>(now);
  std::uint32_t seed =
      static_cast<std::uint32_t>(duration_cast<milliseconds>(since_midnight).count());
  const auto counter = static_cast<std::uint64_t>(steady_clock::now().time_since_epoch().count());
  seed ^= static_cast<std::uint32_t>(counter);
  seed ^= static_cast<std::uint32_t>(counter >> 32);
  auto* p = static_cast<std::uint8_t*>(buffer);
  for (std::size_t i = 0; i < size; ++i) {
    seed = (seed & 0xFFFFFF00u) | ((seed ^ p[i]) & 0xFFu);
    seed = seed * 134775813u + 1u;
    p[i] = static_cast<std::uint8_t>(seed >> 24);
  }
}

// ---------------------------------------------------------------------------------------------
// TProtection

TProtection::TProtection(std::shared_ptr<TProtection> protection) {
  SetProtection(std::move(protection));
}

TProtection::~TProtection() = default;

void TProtection::SetProtection(std::shared_ptr<TProtection> protection) {
  if (protection == protection_) return;
  for (const TProtection* p = protection.get(); p != nullptr; p = p->protection_.get()) {
    if (p == this) {
      throw EProtection("Circular Protection detected, Protection Object is invalid.");
    }
  }
  protection_ = std::move(protection);
}

void TProtection::StartAction(TProtectionAction action) {
  if (protection_) protection_->StartAction(action);
}

void TProtection::FinishAction(TProtectionAction action) {
  if (protection_) protection_->FinishAction(action);
}

void TProtection::ProcessChunk(void* buffer, std::size_t size, TProtectionAction action) {
  if (protection_) protection_->ProcessChunk(buffer, size, action);
}

void TProtection::ProcessStream(streams::TStream* source, streams::TStream* dest, std::int64_t size,
                                TProtectionAction action) {
  if (source == nullptr) return;
  if (dest == nullptr) dest = source;
  if (size < 0) {
    size = source->Size();
    source->SetPosition(0);
  }
  StartAction(action);
  std::array<std::uint8_t, kProtectionChunkSize> work;
  try {
    if (action == actDigest) {
      while (size > 0) {
        const std::int64_t n = source->Read(work.data(), std::min(size, kProtectionChunkSize));
        if (n <= 0) break;
        ProcessChunk(work.data(), static_cast<std::size_t>(n), action);
        size -= n;
      }
    } else {
      std::int64_t read_pos = source->Position();
      std::int64_t write_pos = dest->Position();
      while (size > 0) {
        source->SetPosition(read_pos);
        const std::int64_t n = source->Read(work.data(), std::min(size, kProtectionChunkSize));
        read_pos = source->Position();
        if (n <= 0) break;
        ProcessChunk(work.data(), static_cast<std::size_t>(n), action);
        dest->SetPosition(write_pos);
        dest->WriteBuffer(work.data(), n);
        write_pos = dest->Position();
        size -= n;
      }
    }
  } catch (...) {
    SecureWipe(work);
    try {
      FinishAction(action);
    } catch (...) {
      // The first failure is the one to report.
    }
    throw;
  }
  SecureWipe(work);
  FinishAction(action);
}

namespace {

// Whether two names denote the same file: equal names, or an existing destination that is the
// source under another name.
bool SameFile(const std::string& source, const std::string& dest) {
  if (source == dest) return true;
  std::error_code ec;
  const bool same = std::filesystem::equivalent(source, dest, ec);
  return !ec && same;
}

}  // namespace

void TProtection::ProcessFile(const std::string& source, const std::string& dest,
                              TProtectionAction action) {
  const bool separate =
      !SameFile(source, dest) && (!TrimBlanks(dest).empty() || action == actDigest);
  if (separate || action == actDigest) {
    TFileStream in(source, TFileStream::Mode::kRead);
    if (action == actDigest) {
      ProcessStream(&in, nullptr, -1, action);
      return;
    }
    TFileStream out(dest, TFileStream::Mode::kCreate);
    ProcessStream(&in, &out, -1, action);
    out.Truncate();
  } else {
    TFileStream both(source, TFileStream::Mode::kReadWrite);
    ProcessStream(&both, nullptr, -1, action);
  }
}

std::string TProtection::ProcessString(std::string_view text, TProtectionAction action,
                                       int format) {
  if (text.empty()) return std::string();
  TMemoryStream stream(action == actDecode ? FormatToStr(text, format) : std::string(text));
  ProcessStream(&stream, &stream, -1, action);
  if (action == actDecode) return stream.TakeBytes();
  return StrToFormat(stream.Bytes(), format);
}

std::size_t TProtection::ProcessBuffer(void* buffer, std::size_t size, TProtectionAction action) {
  StartAction(action);
  try {
    ProcessChunk(buffer, size, action);
  } catch (...) {
    try {
      FinishAction(action);
    } catch (...) {
      // The first failure is the one to report.
    }
    throw;
  }
  FinishAction(action);
  return size;
}

}  // namespace pelvane
