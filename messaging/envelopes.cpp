#include "messaging/envelopes.h"

#include <cstdint>

#include "crypto/cipher/cipher_manager.h"
#include "crypto/formats/formats.h"
#include "crypto/hash/hash_manager.h"
#include "crypto/rsa/rsa.h"
#include "crypto/secure.h"
#include "messaging/frames.h"

namespace pelvane {

namespace {

constexpr std::string_view kDigestAlgorithm = "Message Digest 5";
constexpr std::string_view kCipherAlgorithm = "DES Triple 24byte";

constexpr int kIdentifierDigits = 2;
constexpr int kLengthDigits = 4;
// The digest part of an inner text: the hexadecimal text of the 86-character RSA cipher text
// of a 16-byte digest at 512 bits.
constexpr std::size_t kDigestPartLength = 172;
// The inner text's two length fields and its digest part.
constexpr std::size_t kInnerOverhead = 2 * kLengthDigits + kDigestPartLength;
// What a block may take of a dual frame: everything but the identifier.
constexpr std::size_t kMaxBlockSize = kMaxFrameSize - kIdentifierDigits;

std::string Len4(std::size_t length) {
  return IntToHex(static_cast<std::int32_t>(length), kLengthDigits);
}

std::string Id2(int identifier) {
  if (identifier < 0 || identifier > 0xFF) {
    throw EFrameError("Message identifier " + std::to_string(identifier) + " is outside 0 to 255");
  }
  return IntToHex(identifier, kIdentifierDigits);
}

[[noreturn]] void RefuseFrame(const char* what, std::size_t size) {
  throw EEnvelopeTooLarge(std::string(what) + " of " + std::to_string(size) +
                          " bytes exceeds the datagram limit of " + std::to_string(kMaxFrameSize) +
                          " bytes");
}

[[noreturn]] void RefuseBlock(std::size_t size) {
  throw EEnvelopeTooLarge("Secure block of " + std::to_string(size) +
                          " bytes exceeds the limit of " + std::to_string(kMaxBlockSize) +
                          " bytes that a " + std::to_string(kMaxFrameSize) +
                          "-byte datagram leaves for it");
}

// At most count characters of s from the 1-based position index on; empty when index lies
// past the end. Never reads outside s.
std::string_view Copy(std::string_view s, std::size_t index, std::size_t count) {
  if (index < 1 || index > s.size()) return {};
  return s.substr(index - 1, count);
}

// hex(EncodeString(inner text of text)). The objects are created in the order hash manager,
// RSA component, cipher manager and so destroyed in the reverse order, also on failure.
std::string BuildEnvelopeBody(std::string_view text, std::string_view session_key,
                              const std::string& public_key) {
  WipedString inner(Len4(text.size()));
  inner->reserve(text.size() + kInnerOverhead);
  inner->append(text);

  THashManager hash;
  hash.SetAlgorithm(kDigestAlgorithm);
  hash.CalcString(text);

  TRSA rsa;
  rsa.SetKeyBits(kb0512);
  rsa.SetPublicKey(public_key);
  const std::string digest_part = StrToFormat(rsa.EncryptString(hash.Digest()), kFormatHex);
  *inner += Len4(digest_part.size());
  *inner += digest_part;

  TCipherManager cipher;
  cipher.SetHashManager(&hash);
  cipher.SetAlgorithm(kCipherAlgorithm);
  cipher.InitKey(session_key);
  return StrToFormat(cipher.EncodeString(*inner), kFormatHex);
}

}  // namespace

std::size_t SecureBodySize(std::size_t text_length) noexcept {
  return 8 * ((text_length + kInnerOverhead + 2) / 3);
}

std::size_t SecureFrameSize(std::size_t text_length) noexcept {
  return SecureBodySize(text_length) + kIdentifierDigits + kLengthDigits;
}

std::size_t SecureBlockSize(std::size_t text_length) noexcept {
  return SecureBodySize(text_length) + kLengthDigits;
}

std::string BuildKeyFrame(std::string_view data, const std::string& public_key, int identifier) {
  std::string frame = Id2(identifier);
  // The cipher text is longer than the data and its hexadecimal text twice as long again, so
  // data of a datagram's size can never fit; refuse it before the arithmetic.
  if (data.size() > kMaxFrameSize) {
    throw EEnvelopeTooLarge("Key frame for " + std::to_string(data.size()) +
                            " bytes of data exceeds the datagram limit of " +
                            std::to_string(kMaxFrameSize) + " bytes");
  }
  TRSA rsa;
  rsa.SetKeyBits(kb0512);
  rsa.SetPublicKey(public_key);
  // TRSA takes its plain text as a string: the copy of the session key is wiped afterwards.
  const WipedString plain{std::string(data)};
  const std::string body = StrToFormat(rsa.EncryptString(*plain), kFormatHex);
  const std::size_t size = frame.size() + kLengthDigits + body.size();
  if (size > kMaxFrameSize) RefuseFrame("Key frame", size);
  frame += Len4(body.size());
  frame += body;
  return frame;
}

std::string BuildSecureBlock(std::string_view text, std::string_view session_key,
                             const std::string& public_key) {
  if (SecureBlockSize(text.size()) > kMaxBlockSize) RefuseBlock(SecureBlockSize(text.size()));
  const std::string body = BuildEnvelopeBody(text, session_key, public_key);
  if (body.size() + kLengthDigits > kMaxBlockSize) RefuseBlock(body.size() + kLengthDigits);
  return Len4(body.size()) + body;
}

std::string BuildSecureFrame(std::string_view text, int identifier, const std::string& public_key,
                             std::string_view session_key) {
  std::string frame = Id2(identifier);
  if (SecureFrameSize(text.size()) > kMaxFrameSize) {
    RefuseFrame("Secure frame", SecureFrameSize(text.size()));
  }
  const std::string body = BuildEnvelopeBody(text, session_key, public_key);
  const std::size_t size = frame.size() + kLengthDigits + body.size();
  if (size > kMaxFrameSize) RefuseFrame("Secure frame", size);
  frame += Len4(body.size());
  frame += body;
  return frame;
}

std::string BuildDualFrame(std::string_view first_block, std::string_view second_block,
                           int identifier) {
  std::string frame = Id2(identifier);
  const std::size_t size = frame.size() + first_block.size() + second_block.size();
  if (size > kMaxFrameSize) RefuseFrame("Dual frame", size);
  frame += first_block;
  frame += second_block;
  return frame;
}

std::string OpenSecureMessage(std::string_view frame, std::string_view session_key,
                              const std::string& own_public_key,
                              const std::string& own_private_key) {
  THashManager hash;
  hash.SetAlgorithm(kDigestAlgorithm);
  TCipherManager cipher;
  cipher.SetHashManager(&hash);
  cipher.SetAlgorithm(kCipherAlgorithm);
  cipher.InitKey(session_key);

  // The identifier (characters 1-2) is not examined.
  const auto body_length = static_cast<std::size_t>(HexFieldToInt(Copy(frame, 3, kLengthDigits)));
  const std::string ciphertext =
      FormatToStr(Copy(frame, 3 + kLengthDigits, body_length), kFormatHex);
  const WipedString inner(cipher.DecodeString(ciphertext));

  const auto text_length = static_cast<std::size_t>(HexFieldToInt(Copy(*inner, 1, kLengthDigits)));
  const WipedString text(std::string(Copy(*inner, 1 + kLengthDigits, text_length)));
  const std::size_t digest_field = 1 + kLengthDigits + text_length;
  const auto digest_length =
      static_cast<std::size_t>(HexFieldToInt(Copy(*inner, digest_field, kLengthDigits)));
  const std::string encrypted_digest =
      FormatToStr(Copy(*inner, digest_field + kLengthDigits, digest_length), kFormatHex);

  TRSA rsa;
  rsa.SetKeyBits(kb0512);
  rsa.SetPublicKey(own_public_key);
  rsa.SetPrivateKey(own_private_key);
  const WipedString sent_digest(rsa.DecryptString(encrypted_digest));

  hash.CalcString(*text);
  if (*sent_digest != hash.Digest()) return kDigestMismatchText;
  // A copy, so that the held text is wiped in full when it goes away.
  return *text;
}

std::string GenerateSessionKey(int count) {
  if (count <= 0) return {};
  WipedString key(std::string(static_cast<std::size_t>(count), '\0'));
  SecureRandomBytes(key->data(), key->size());
  // Session keys never hold the byte 255: such a byte is drawn again.
  for (char& byte : *key) {
    while (static_cast<unsigned char>(byte) == 0xFF)
      SecureRandomBytes(&byte, 1);
  }
  return *key;
}

}  // namespace pelvane
