// TRSA: encrypts byte strings with an RSA public key and decrypts them with the matching
// private key, for keys of 512, 1024 or 2048 bits. Keys, cipher texts and signatures are
// texts in the component's own Base64 form; plain texts are byte strings of any length.
//
// Key text: two Base64 fields joined by the first ":" in the text. A public key is
// "exponent:modulus", a private key "modulus:private exponent". Each field is a sequence of
// big-endian 32-bit words, least significant word first; the last field is exactly the key
// length, the first at most the key length.
//
// Encryption is deterministic: the text is padded with p bytes of value p up to a whole
// number of plain blocks (key length - 1 bytes), each block read as a little-endian number,
// raised to the public exponent and written as a little-endian cipher block of the key
// length. Decryption reverses this and strips the pad by its last byte.
//
// Every failure sets Status, fires OnStatusUpdate and then throws.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "crypto/exception.h"
#include "crypto/rsa/mp.h"

namespace pelvane {

// An encryption or decryption without the key it needs.
class ENoKeyLoaded : public Exception {
  using Exception::Exception;
};

// A key text of the wrong shape or length.
class EInvalidKey : public Exception {
  using Exception::Exception;
};

// Key size: 512, 1024 or 2048 bits (16, 32 or 64 digits).
enum TKeyBits : std::uint8_t { kb0512, kb1024, kb2048 };

// Held for callers; no operation of TRSA consults it.
enum TSymKeyLength : std::uint8_t { sk64, sk128, sk192, sk256 };

// Digits of each number array of the component; every arithmetic call uses this count.
inline constexpr std::size_t KeyArrayDigits = 132;

class TRSA final {
 public:
  TRSA() = default;
  ~TRSA();
  TRSA(const TRSA&) = delete;
  TRSA& operator=(const TRSA&) = delete;

  TKeyBits KeyBits() const noexcept { return key_bits_; }
  // Sets the key size; Status reads "TRSA using N bit key" and the event fires. Loaded keys
  // stay loaded.
  void SetKeyBits(TKeyBits value);

  // The last accepted key texts.
  const std::string& PublicKey() const noexcept { return public_key_; }
  const std::string& PrivateKey() const noexcept { return private_key_; }
  const std::string& Signature() const noexcept { return signature_; }
  // Parse, check and load. A rejected text leaves that key unloaded and the property text as
  // it was. Both keys share the modulus: the last assigned key supplies it.
  void SetPublicKey(const std::string& value);
  void SetPrivateKey(const std::string& value);
  void SetSignature(const std::string& value);

  const std::string& Status() const noexcept { return status_; }
  void SetStatus(std::string value) { status_ = std::move(value); }

  TSymKeyLength SymKeyLength() const noexcept { return sym_key_length_; }
  void SetSymKeyLength(TSymKeyLength value) noexcept { sym_key_length_ = value; }

  // Called with the component after every change of Status made by the component.
  std::function<void(TRSA& sender)> OnStatusUpdate;

  // The Base64 cipher text of text under the public key.
  std::string EncryptString(const std::string& text);
  // The plain text of a Base64 cipher text under the private key.
  std::string DecryptString(const std::string& text);

  // The component's Base64: alphabet "+-0-9A-Za-z", no pad characters, no line breaks.
  static std::string EncodeBase64(const std::string& bytes);
  // Throws EConvertError "Error converting from Base64 - invalid character".
  static std::string DecodeBase64(const std::string& text);

 private:
  using Number = std::array<MpDigit, KeyArrayDigits>;

  void DoStatusUpdate();
  template <typename E>
  [[noreturn]] void Fail(const char* status, const char* message);
  std::size_t KeyLength() const noexcept { return 4 * static_cast<std::size_t>(key_digits_); }

  TKeyBits key_bits_ = kb0512;
  TSymKeyLength sym_key_length_ = sk64;
  std::int32_t key_digits_ = 0;
  std::string public_key_;
  std::string private_key_;
  std::string status_;
  std::string signature_;
  Number public_exponent_{};
  Number modulus_{};
  Number private_exponent_{};
  Number signature_value_{};
  bool public_key_loaded_ = false;
  bool private_key_loaded_ = false;
  bool signature_loaded_ = false;
};

}  // namespace pelvane
