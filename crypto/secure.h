// Wiping of secrets and the operating system's random source.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <utility>

namespace pelvane {

// Overwrites size bytes at data with zeros in a way the optimiser cannot drop.
void SecureWipe(void* data, std::size_t size) noexcept;

inline void SecureWipe(std::string& bytes) noexcept {
  SecureWipe(bytes.data(), bytes.size());
  bytes.clear();
}

template <typename T, std::size_t N>
void SecureWipe(std::array<T, N>& a) noexcept {
  SecureWipe(a.data(), sizeof(T) * N);
}

// Fills size bytes at data from the operating system's cryptographic random source.
// Throws Exception when the source cannot be read.
void SecureRandomBytes(void* data, std::size_t size);

// A string that wipes its bytes when it goes away; for keys and digests held in locals.
class WipedString {
 public:
  WipedString() = default;
  explicit WipedString(std::string s) : s_(std::move(s)) {}
  WipedString(const WipedString&) = delete;
  WipedString& operator=(const WipedString&) = delete;
  ~WipedString() { SecureWipe(s_); }
  std::string& operator*() noexcept { return s_; }
  const std::string& operator*() const noexcept { return s_; }
  std::string* operator->() noexcept { return &s_; }
  const std::string* operator->() const noexcept { return &s_; }

 private:
  std::string s_;
};

}  // namespace pelvane
