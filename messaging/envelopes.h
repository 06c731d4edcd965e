// Secure envelopes: the frames that carry session keys and confidential texts.
//
// Key frame:    id2 + len4(body) + hex(RSA ciphertext text of the session key).
// Inner text:   len4(T) + T + len4(D) + D, where D = hex(RSA ciphertext text of MD5(T)) under
//               the recipient's public key (172 characters at 512 bits).
// Envelope body: hex(Base64 of the triple-DES ciphertext of the inner text), the cipher being
//               "DES Triple 24byte" in cmCTS keyed with the MD5 digest of the session key.
// Secure frame: id2 + len4(body) + body.   Secure block: len4(body) + body.
// Dual frame:   id2 + first secure block + second secure block.
//
// id2 is the identifier as two upper-case hexadecimal digits, len4 a length as four. Every call
// creates its own hash manager, RSA component and cipher manager and frees them on every path;
// session key copies, digests and inner texts held on the way are wiped.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "crypto/exception.h"

namespace pelvane {

// The largest frame a datagram carries.
inline constexpr std::size_t kMaxFrameSize = 2048;

// The length of the session keys the wallet requests (triple DES, 24 bytes).
inline constexpr int kSessionKeyLength = 24;

// What OpenSecureMessage returns in place of the text when the digest check fails
// (Windows-1250). Like every refusal of the protocol it begins with "***".
inline constexpr char kDigestMismatchText[] =
    "*** Chyba: Message digest vypo\xE8ten\xFD a message digest ze zpr\xE1vy nen\xED "
    "shodn\xFD !!!";

// A frame or block that would not fit one datagram of kMaxFrameSize bytes, or a text too long
// for its four-digit length field. Raised before anything is encrypted or sent.
class EEnvelopeTooLarge : public Exception {
  using Exception::Exception;
};

// Characters of the envelope body, secure frame and secure block for a text of text_length
// bytes at 512-bit RSA: 8 x ceil((L + 180) / 3), plus 6 for the frame, plus 4 for the block.
// Lets a caller check the size before it starts an exchange.
std::size_t SecureBodySize(std::size_t text_length) noexcept;
std::size_t SecureFrameSize(std::size_t text_length) noexcept;
std::size_t SecureBlockSize(std::size_t text_length) noexcept;

// The key frame of data (the session key) encrypted under public_key at 512 bits.
// Throws EFrameError for an identifier outside 0-255, EEnvelopeTooLarge for a frame larger than
// kMaxFrameSize, and the RSA component's errors for an unusable key.
std::string BuildKeyFrame(std::string_view data, const std::string& public_key, int identifier);

// The secure block of text: len4(body) + body. Throws EEnvelopeTooLarge when the block could
// not fit a frame (more than kMaxFrameSize - 2 characters).
std::string BuildSecureBlock(std::string_view text, std::string_view session_key,
                             const std::string& public_key);

// The secure frame of text under identifier. Throws EFrameError for an identifier outside
// 0-255 and EEnvelopeTooLarge for a frame larger than kMaxFrameSize (a text over 585 bytes).
std::string BuildSecureFrame(std::string_view text, int identifier, const std::string& public_key,
                             std::string_view session_key);

// The dual frame: id2 + first block + second block. Throws EFrameError for an identifier
// outside 0-255 and EEnvelopeTooLarge for a frame larger than kMaxFrameSize.
std::string BuildDualFrame(std::string_view first_block, std::string_view second_block,
                           int identifier);

// The text of a secure frame, or kDigestMismatchText when the digest it carries is not the MD5
// digest of the text. The identifier field is not examined and characters after the stated
// body length are ignored. Malformed frames raise EConvertError (a length field that is not
// hexadecimal), EStringFormat (a body that is not hexadecimal, or not Base64 once decoded), or
// the RSA component's errors (keys not loaded or invalid, a digest part that is no cipher text).
std::string OpenSecureMessage(std::string_view frame, std::string_view session_key,
                              const std::string& own_public_key,
                              const std::string& own_private_key);

// A session key of count bytes (empty for count <= 0), each byte 0-254, drawn from the
// operating system's cryptographic random source. Throws Exception when the source fails.
std::string GenerateSessionKey(int count);

}  // namespace pelvane
