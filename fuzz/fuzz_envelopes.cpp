// Secure frames opened with the wallet's key pair and a fixed session key. The first input byte
// chooses what the rest is:
//   even: a whole frame, as a peer would send it;
//   odd:  an inner text (length, text, length, digest part), enciphered here under the session
//         key and framed, so that mutations reach the inner parser and the digest check.
// Opening returns the text, returns the mismatch text, or fails with the documented errors; the
// wallet's keys are always valid, so no key error may come out.
#include <cstdint>
#include <string>

#include "app/session/wallet_keys.h"
#include "crypto/cipher/cipher_manager.h"
#include "crypto/formats/formats.h"
#include "crypto/hash/hash_manager.h"
#include "crypto/rsa/rsa.h"
#include "fuzz/fuzz_check.h"
#include "messaging/envelopes.h"
#include "messaging/frames.h"

namespace pelvane {
namespace {

constexpr std::string_view kSessionKey = "Pelvane fuzz session key";  // 24 bytes

// Opens frame into text; false for an accepted failure. outer_layers_valid says the frame's
// hexadecimal and Base64 layers are known to be good, so only the inner fields may be refused.
bool Open(std::string_view frame, bool outer_layers_valid, std::string& text) {
  try {
    text = OpenSecureMessage(frame, kSessionKey, kWalletPublicKey, kWalletPrivateKey);
    return true;
  } catch (const EConvertError& e) {
    const std::string& m = e.Message();
    FUZZ_CHECK(m == "String not valid" || m == "String has incorrect length" ||
               (m.starts_with("'$") && m.ends_with("' is not a valid integer value")));
  } catch (const EStringFormat& e) {
    // The digest part is hexadecimal text inside the inner text, so that layer can fail always.
    FUZZ_CHECK(
        e.Message() == "Input is not an valid Hexadecimal Format." ||
        (!outer_layers_valid && e.Message() == "Input is not an valid MIME Base 64 Format."));
  }
  return false;
}

void CheckOpened(const std::string& text, std::size_t frame_size) {
  if (text == kDigestMismatchText) return;
  // Hexadecimal of Base64 of a ciphertext as long as the inner text, which holds the text.
  FUZZ_CHECK(text.size() <= frame_size / 2);
  // A text that opened is one the wallet can seal again and open to the same text.
  if (text.size() <= 585) {
    std::string again;
    FUZZ_CHECK(Open(BuildSecureFrame(text, 1, kWalletPublicKey, kSessionKey), true, again));
    FUZZ_CHECK(again == text);
  }
}

void OpenFrame(std::string_view frame) {
  std::string text;
  if (Open(frame, false, text)) CheckOpened(text, frame.size());
}

void OpenInner(std::string_view inner) {
  THashManager hash;
  hash.SetAlgorithm("Message Digest 5");
  TCipherManager cipher;
  cipher.SetHashManager(&hash);
  cipher.SetAlgorithm("DES Triple 24byte");
  cipher.InitKey(kSessionKey);
  const std::string body = StrToFormat(cipher.EncodeString(inner), kFormatHex);
  if (body.size() > 0xFFFF) return;
  const std::string frame = "01" + IntToHex(static_cast<std::int32_t>(body.size()), 4) + body;
  std::string text;
  if (!Open(frame, true, text)) return;
  CheckOpened(text, frame.size());
  // The text is the one the inner text carries after its length field.
  if (text != kDigestMismatchText) {
    FUZZ_CHECK(inner.size() >= 4 && inner.substr(4, text.size()) == text);
  }
}

}  // namespace
}  // namespace pelvane

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace pelvane;
  if (size == 0) return 0;
  const std::string_view rest = fuzz::AsText(data + 1, size - 1);
  if (data[0] % 2 == 0) {
    OpenFrame(rest);
  } else {
    OpenInner(rest);
  }
  return 0;
}
