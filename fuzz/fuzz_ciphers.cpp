// Every registered cipher in every mode: decoding any text (MIME Base 64 and hexadecimal) either
// gives bytes or refuses with the system's own exception, and encoding then decoding gives the
// data back (the MAC modes leave it unchanged), with keys of every length and with or without
// an initialisation vector.
//
// Input: byte 0 picks the cipher (modulo the registered classes), byte 1 the mode (bits 0-2)
// and whether a vector follows the key (bit 3) and whether the key is a key text hashed by the
// cipher (bit 4) rather than key bytes; byte 2 the key length; then the key, the vector (one
// block) when asked for, and the data.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "crypto/cipher/cipher.h"
#include "crypto/cipher/cipher_registry.h"
#include "crypto/exception.h"
#include "crypto/formats/formats.h"
#include "fuzz/fuzz_check.h"

namespace {

using namespace pelvane;

const std::vector<TCipherRegistryEntry>& Entries() {
  static const std::vector<TCipherRegistryEntry> entries = CipherRegistryEntries();
  return entries;
}

bool IsMacMode(TCipherMode mode) {
  return mode == cmCTSMAC || mode == cmCBCMAC || mode == cmCFBMAC;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3 || Entries().empty()) return 0;
  const TCipherClassRef cls = Entries()[data[0] % Entries().size()].cls;
  const auto mode = static_cast<TCipherMode>(data[1] & 7);
  const bool with_iv = (data[1] & 8) != 0;
  const bool key_text = (data[1] & 16) != 0;
  std::string_view rest = fuzz::AsText(data + 3, size - 3);
  const std::size_t key_size =
      std::min<std::size_t>(data[2] % (static_cast<std::size_t>(cls->KeySize()) + 1), rest.size());
  const std::string key(rest.substr(0, key_size));
  rest.remove_prefix(key_size);
  std::string iv;
  if (with_iv) {
    const auto block = static_cast<std::size_t>(cls->BlockSize());
    if (rest.size() < block) return 0;
    iv = std::string(rest.substr(0, block));
    rest.remove_prefix(block);
  }
  const void* iv_bytes = with_iv ? iv.data() : nullptr;

  auto cipher = cls->Create();
  FUZZ_CHECK(cipher != nullptr);
  cipher->SetMode(mode);
  if (key_text) {
    cipher->InitKey(key, iv_bytes);
  } else {
    cipher->Init(key.data(), static_cast<std::int32_t>(key.size()), iv_bytes);
  }

  // Any text offered for decoding.
  for (const int format : {kFormatDefault, kFormatHex}) {
    try {
      cipher->ProcessString(rest, actDecode, format);
    } catch (const Exception&) {
      // A text that is not in the format is refused with the system's exception.
    }
  }

  // The data there and back again.
  const std::string plain(rest);
  const std::string coded = cipher->ProcessString(plain, actEncode, kFormatCopy);
  FUZZ_CHECK(coded.size() == plain.size());
  if (IsMacMode(mode)) {
    FUZZ_CHECK(coded == plain);
  } else {
    FUZZ_CHECK(cipher->ProcessString(coded, actDecode, kFormatCopy) == plain);
    // The text form decodes to the same bytes.
    const std::string text = cipher->ProcessString(plain, actEncode, kFormatDefault);
    FUZZ_CHECK(cipher->ProcessString(text, actDecode, kFormatDefault) == plain);
  }
  return 0;
}
