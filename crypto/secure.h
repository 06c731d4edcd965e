// Wiping of secrets and the operating system's random source.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
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

// An allocator that wipes every block it releases, so that a container's old buffer is
// cleared when the container grows, shrinks to fit or dies.
template <typename T>
struct WipingAllocator {
  using value_type = T;
  WipingAllocator() noexcept = default;
  template <typename U>
  WipingAllocator(const WipingAllocator<U>&) noexcept {}
  T* allocate(std::size_t n) { return std::allocator<T>().allocate(n); }
  void deallocate(T* p, std::size_t n) noexcept {
    SecureWipe(p, n * sizeof(T));
    std::allocator<T>().deallocate(p, n);
  }
  template <typename U>
  bool operator==(const WipingAllocator<U>&) const noexcept {
    return true;
  }
};

// A byte string for secrets (keys, passwords, digests, plain texts): its buffer is always on the
// heap (never in the string object, where a short string would otherwise live and be left
// behind when the object is moved or dies), and every buffer it gives up is wiped. Bytes left
// past the end when the string shrinks are wiped at once.
class SecretString {
 public:
  using Bytes = std::basic_string<char, std::char_traits<char>, WipingAllocator<char>>;

  SecretString() { bytes_.reserve(kMinimumCapacity); }
  SecretString(std::string_view bytes) {  // NOLINT(google-explicit-constructor): wraps bytes
    bytes_.reserve(std::max(kMinimumCapacity, bytes.size()));
    bytes_.assign(bytes.data(), bytes.size());
  }
  SecretString(const SecretString& other) : SecretString(other.view()) {}
  SecretString& operator=(const SecretString& other) {
    if (this != &other) assign(other.view());
    return *this;
  }
  // A move hands the buffer over and leaves the source an empty heap buffer of its own.
  SecretString(SecretString&& other) : SecretString() { bytes_.swap(other.bytes_); }
  SecretString& operator=(SecretString&& other) noexcept {
    if (this != &other) {
      Wipe();
      bytes_.swap(other.bytes_);
    }
    return *this;
  }
  ~SecretString() { Wipe(); }

  // Replaces the content; the old bytes are wiped first.
  void assign(std::string_view bytes) {
    Wipe();
    bytes_.append(bytes.data(), bytes.size());
  }
  SecretString& operator=(std::string_view bytes) {
    assign(bytes);
    return *this;
  }
  // Consumes a plain std::string: its bytes are copied and the source is wiped.
  static SecretString Take(std::string& plain) {
    SecretString s(plain);
    SecureWipe(plain);
    return s;
  }
  void append(std::string_view bytes) { bytes_.append(bytes.data(), bytes.size()); }
  void resize(std::size_t n) {
    if (n < bytes_.size()) SecureWipe(bytes_.data() + n, bytes_.size() - n);
    bytes_.resize(n);
  }
  // Wipes the bytes; the string is empty afterwards.
  void Wipe() noexcept {
    SecureWipe(bytes_.data(), bytes_.size());
    bytes_.clear();
  }

  std::string_view view() const noexcept { return {bytes_.data(), bytes_.size()}; }
  operator std::string_view() const noexcept { return view(); }  // NOLINT: read-only view
  // A plain copy for interfaces that take std::string; the caller owns (and wipes) it.
  std::string str() const { return std::string(view()); }
  const char* data() const noexcept { return bytes_.data(); }
  char* data() noexcept { return bytes_.data(); }
  std::size_t size() const noexcept { return bytes_.size(); }
  std::size_t capacity() const noexcept { return bytes_.capacity(); }
  bool empty() const noexcept { return bytes_.empty(); }
  bool operator==(std::string_view other) const noexcept { return view() == other; }

 private:
  // Above the longest string a string object keeps inside itself.
  static constexpr std::size_t kMinimumCapacity = 32;
  Bytes bytes_;
};

}  // namespace pelvane
