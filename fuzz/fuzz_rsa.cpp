// RSA key texts and cipher texts. The first input byte chooses the key size (or none) and the
// operation; the rest is the text. Every failure is one of the documented exceptions with its
// message, sets Status and fires OnStatusUpdate before it is raised, and leaves the property
// text as it was; whatever is accepted must work.
#include <cstdint>
#include <string>

#include "app/session/wallet_keys.h"
#include "crypto/rsa/rsa.h"
#include "fuzz/fuzz_check.h"

namespace pelvane {
namespace {

constexpr std::string_view kAlphabet =
    "+-0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

bool InAlphabet(std::string_view text) {
  return text.find_first_not_of(kAlphabet) == std::string_view::npos;
}

std::size_t Base64Size(std::size_t bytes) {
  return 4 * (bytes / 3) + (bytes % 3 == 0 ? 0 : bytes % 3 + 1);
}

// A component that records the Status of every OnStatusUpdate.
struct Component {
  TRSA rsa;
  std::string reported;
  int events = 0;
  Component() {
    rsa.OnStatusUpdate = [this](TRSA& sender) {
      reported = sender.Status();
      ++events;
    };
  }
};

// A failure must have set Status to status and fired the event with it.
void CheckReported(Component& c, int events_before, const std::string& status) {
  FUZZ_CHECK(c.events == events_before + 1);
  FUZZ_CHECK(c.reported == status && c.rsa.Status() == status);
}

// A loaded public key encrypts, or refuses a modulus too small for the blocks.
void CheckEncrypts(Component& c, std::size_t key_length) {
  const std::string plain = "session key of 24 bytes!";
  try {
    const std::string cipher = c.rsa.EncryptString(plain);
    FUZZ_CHECK(InAlphabet(cipher) && cipher.size() == Base64Size(key_length));
  } catch (const ENoKeyLoaded& e) {
    FUZZ_CHECK(key_length == 0 && e.Message() == "Public key not loaded");
  } catch (const EInvalidKey& e) {
    FUZZ_CHECK(e.Message() == "Public key not valid");
  }
}

void LoadPublicKey(Component& c, const std::string& text, std::size_t key_length) {
  const std::string before = c.rsa.PublicKey();
  const int events = c.events;
  try {
    c.rsa.SetPublicKey(text);
    FUZZ_CHECK(c.rsa.PublicKey() == text && c.rsa.Status() == "Public key loaded OK");
    const std::size_t colon = text.find(':');
    FUZZ_CHECK(colon != std::string::npos && InAlphabet(text.substr(0, colon)) &&
               InAlphabet(text.substr(colon + 1)));
    FUZZ_CHECK(TRSA::DecodeBase64(text.substr(0, colon)).size() <= key_length);
    FUZZ_CHECK(TRSA::DecodeBase64(text.substr(colon + 1)).size() == key_length);
    CheckEncrypts(c, key_length);
  } catch (const EInvalidKey& e) {
    FUZZ_CHECK(e.Message() == "Public key not valid" ||
               e.Message() == "Public key has incorrect length");
    CheckReported(c, events, e.Message());
    FUZZ_CHECK(c.rsa.PublicKey() == before);
  } catch (const EConvertError& e) {
    FUZZ_CHECK(e.Message() == "Public key not valid");
    CheckReported(c, events, e.Message());
    FUZZ_CHECK(c.rsa.PublicKey() == before);
  }
}

void LoadPrivateKey(Component& c, const std::string& text, std::size_t key_length) {
  const std::string before = c.rsa.PrivateKey();
  const int events = c.events;
  try {
    c.rsa.SetPrivateKey(text);
    FUZZ_CHECK(c.rsa.PrivateKey() == text && c.rsa.Status() == "Private key loaded OK");
    const std::size_t colon = text.find(':');
    FUZZ_CHECK(colon != std::string::npos);
    FUZZ_CHECK(TRSA::DecodeBase64(text.substr(0, colon)).size() <= key_length);
    FUZZ_CHECK(TRSA::DecodeBase64(text.substr(colon + 1)).size() == key_length);
  } catch (const EInvalidKey& e) {
    FUZZ_CHECK(e.Message() == "Public key not valid" ||
               e.Message() == "Public key has incorrect length" ||
               e.Message() == "Private key has incorrect length");
    CheckReported(c, events, e.Message());
    FUZZ_CHECK(c.rsa.PrivateKey() == before);
  } catch (const EConvertError& e) {
    FUZZ_CHECK(e.Message() == "Public key not valid" || e.Message() == "Private key not valid");
    CheckReported(c, events, e.Message());
    FUZZ_CHECK(c.rsa.PrivateKey() == before);
  }
}

void LoadSignature(Component& c, const std::string& text, std::size_t key_length) {
  const std::string before = c.rsa.Signature();
  try {
    c.rsa.SetSignature(text);
    FUZZ_CHECK(c.rsa.Signature() == text);
    FUZZ_CHECK(TRSA::DecodeBase64(text).size() == key_length);
  } catch (const EConvertError& e) {
    FUZZ_CHECK(e.Message() == "Signature not valid" ||
               e.Message() == "Signature has incorrect length");
    FUZZ_CHECK(c.rsa.Signature() == before);
  }
}

// Any text handed to DecryptString under the wallet's private key.
void Decrypt(const std::string& text) {
  Component c;
  c.rsa.SetKeyBits(kb0512);
  c.rsa.SetPublicKey(kWalletPublicKey);
  c.rsa.SetPrivateKey(kWalletPrivateKey);
  const int events = c.events;
  try {
    const std::string plain = c.rsa.DecryptString(text);
    FUZZ_CHECK(InAlphabet(text));
    const std::size_t blocks = TRSA::DecodeBase64(text).size() / 64;
    FUZZ_CHECK(blocks >= 1 && plain.size() <= 63 * blocks);
  } catch (const EConvertError& e) {
    FUZZ_CHECK(e.Message() == "String not valid" || e.Message() == "String has incorrect length");
    CheckReported(c, events, "String not valid");
  }
}

// Any bytes encrypted under the wallet's public key come back from its private key.
void RoundTrip(const std::string& plain) {
  Component c;
  c.rsa.SetKeyBits(kb0512);
  c.rsa.SetPublicKey(kWalletPublicKey);
  c.rsa.SetPrivateKey(kWalletPrivateKey);
  const std::string cipher = c.rsa.EncryptString(plain);
  FUZZ_CHECK(InAlphabet(cipher));
  FUZZ_CHECK(cipher.size() == Base64Size(64 * (plain.size() / 63 + 1)));
  FUZZ_CHECK(c.rsa.EncryptString(plain) == cipher);
  FUZZ_CHECK(c.rsa.DecryptString(cipher) == plain);
  FUZZ_CHECK(TRSA::DecodeBase64(TRSA::EncodeBase64(plain)) == plain);
}

}  // namespace
}  // namespace pelvane

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace pelvane;
  if (size == 0) return 0;
  const std::string text(fuzz::AsText(data + 1, size - 1));
  const int bits = data[0] & 3;  // 0-2: kb0512 to kb2048; 3: no size assigned
  const int operation = (data[0] >> 2) % 5;

  // The component's own Base64 decoder: only its conversion error.
  try {
    const std::string bytes = TRSA::DecodeBase64(text);
    FUZZ_CHECK(InAlphabet(text) && bytes.size() == text.size() * 3 / 4);
    FUZZ_CHECK(TRSA::EncodeBase64(bytes).size() <= text.size());
  } catch (const EConvertError& e) {
    FUZZ_CHECK(!InAlphabet(text) &&
               e.Message() == "Error converting from Base64 - invalid character");
  }

  Component c;
  std::size_t key_length = 0;
  if (bits != 3) {
    c.rsa.SetKeyBits(static_cast<TKeyBits>(bits));
    key_length = std::size_t{64} << bits;
  }
  switch (operation) {
    case 0:
      LoadPublicKey(c, text, key_length);
      break;
    case 1:
      LoadPrivateKey(c, text, key_length);
      break;
    case 2:
      LoadSignature(c, text, key_length);
      break;
    case 3:
      Decrypt(text);
      break;
    default:
      if (text.size() <= 256) RoundTrip(text);
      break;
  }
  return 0;
}
