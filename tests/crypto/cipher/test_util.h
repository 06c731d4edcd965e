// Small helpers shared by the cipher tests.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "crypto/cipher/cipher.h"

namespace pelvane::test {

inline std::string Unhex(std::string_view hex) {
  std::string out;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    out.push_back(static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
  }
  return out;
}

inline std::string Hex(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : bytes) {
    out.push_back(kDigits[c >> 4]);
    out.push_back(kDigits[c & 15]);
  }
  return out;
}

// A cipher of cls set up with Init from raw key bytes and an optional vector.
inline std::unique_ptr<TCipher> Keyed(TCipherClassRef cls, std::string_view key,
                                      const std::string* iv = nullptr, TCipherMode mode = cmCTS) {
  auto cipher = cls->Create();
  cipher->SetMode(mode);
  cipher->Init(key.data(), static_cast<std::int32_t>(key.size()), iv ? iv->data() : nullptr);
  return cipher;
}

inline std::string Encrypt(TCipher& c, std::string_view data) {
  std::string out(data.size(), '\0');
  c.EncryptBuffer(data.data(), out.data(), data.size());
  return out;
}

inline std::string Decrypt(TCipher& c, std::string_view data) {
  std::string out(data.size(), '\0');
  c.DecryptBuffer(data.data(), out.data(), data.size());
  return out;
}

// Bytes 0, 1, 2, ... (mod 251) of the given length.
inline std::string Pattern(std::size_t n) {
  std::string s(n, '\0');
  for (std::size_t i = 0; i < n; ++i)
    s[i] = static_cast<char>((i * 7 + 3) % 251);
  return s;
}

}  // namespace pelvane::test
