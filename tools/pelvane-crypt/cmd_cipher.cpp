// pelvane-crypt cipher: enciphers standard input into the cipher manager's text form, or
// deciphers that text back into bytes, with a key text hashed as the wallet does.
#include <memory>

#include "crypto/cipher/cipher_manager.h"
#include "crypto/formats/formats.h"
#include "crypto/hash/hash_manager.h"
#include "tools/pelvane-crypt/cli.h"

namespace pelvane::crypt {

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Strict hexadecimal: an even number of digits, nothing else.
std::string ParseHexOption(const Options& options, const std::string& name) {
  const std::string text = options.Required(name);
  if (text.size() % 2 != 0) {
    throw UsageError("option --" + name + " needs an even number of hexadecimal digits");
  }
  std::string bytes;
  bytes.reserve(text.size() / 2);
  for (std::size_t i = 0; i < text.size(); i += 2) {
    const int hi = HexDigit(text[i]);
    const int lo = HexDigit(text[i + 1]);
    if (hi < 0 || lo < 0) throw UsageError("option --" + name + " needs hexadecimal digits");
    bytes.push_back(static_cast<char>(hi * 16 + lo));
  }
  return bytes;
}

int RunCipher(const std::vector<std::string>& args) {
  const Options options(args, {"algorithm", "mode", "key-hex", "key-hash", "iv-hex"},
                        {"encode", "decode", "raw-key", "hex"});
  if (options.Has("encode") == options.Has("decode")) {
    throw UsageError("give exactly one of --encode and --decode");
  }
  const bool raw_key = options.Has("raw-key");
  if (raw_key && options.Has("key-hash")) {
    throw UsageError("--raw-key uses the key bytes as they are; it takes no --key-hash");
  }
  const std::string algorithm = options.Required("algorithm");
  const std::string mode_name = options.Required("mode");
  TCipherMode mode = cmCTS;
  if (!ParseCipherMode(mode_name, mode)) {
    throw UsageError("unknown mode '" + mode_name +
                     "' (cmCTS, cmCBC, cmCFB, cmOFB, cmECB, cmCTSMAC, cmCBCMAC, cmCFBMAC)");
  }
  const std::string key = ParseHexOption(options, "key-hex");
  const std::string key_hash = options.Value("key-hash").value_or("Message Digest 5");
  RejectAbsentAlgorithm(AlgorithmKind::kCipher, algorithm);

  std::unique_ptr<THashManager> hashes;
  TCipherManager manager;
  if (!raw_key && key_hash != "none") {
    RejectAbsentAlgorithm(AlgorithmKind::kHash, key_hash);
    hashes = std::make_unique<THashManager>();
    hashes->SetAlgorithm(key_hash);
    manager.SetHashManager(hashes.get());
  }
  manager.SetAlgorithm(algorithm);
  manager.SetMode(mode);
  const TCipherClassRef cls = manager.AlgorithmClass();

  std::string iv;
  if (options.Has("iv-hex")) {
    iv = ParseHexOption(options, "iv-hex");
    const auto block = static_cast<std::size_t>(cls->BlockSize());
    if (iv.size() != block) {
      throw UsageError("option --iv-hex needs " + std::to_string(block) + " bytes for " +
                       manager.Algorithm());
    }
  }
  const void* iv_bytes = options.Has("iv-hex") ? iv.data() : nullptr;
  if (raw_key) {
    // A longer key would be cut silently; a shorter one is completed with zeros by Init.
    if (key.size() > static_cast<std::size_t>(cls->KeySize())) {
      throw UsageError("--raw-key: " + manager.Algorithm() + " takes keys of at most " +
                       std::to_string(cls->KeySize()) + " bytes, not " +
                       std::to_string(key.size()));
    }
    manager.CipherObject().Init(key.data(), static_cast<std::int32_t>(key.size()), iv_bytes);
  } else {
    manager.InitKey(key, iv_bytes);
  }

  const int format = options.Has("hex") ? kFormatHex : kFormatDefault;
  std::string input = ReadStdin();
  if (options.Has("encode")) {
    WriteResult(manager.CipherObject().ProcessString(input, actEncode, format));
  } else {
    // A line end after the text (as a shell or editor leaves it) is not part of the text.
    while (!input.empty() && (input.back() == '\n' || input.back() == '\r'))
      input.pop_back();
    WriteResult(manager.CipherObject().ProcessString(input, actDecode, format));
  }
  return 0;
}

}  // namespace

const Command kCipherCommand = {
    "cipher", "Encipher or decipher with a block cipher",
    "--encode|--decode --algorithm NAME --mode MODE --key-hex HEX\n"
    "                  [--key-hash NAME|none | --raw-key] [--iv-hex HEX] [--hex]\n"
    "  --encode enciphers standard input and writes the ciphertext as MIME Base 64 text;\n"
    "  --decode reads that text from standard input and writes the plaintext bytes. With\n"
    "  --hex the ciphertext is upper-case hexadecimal instead, on output and on input.\n"
    "  NAME: a registered cipher by description or class name (any letter case), such as\n"
    "  \"DES Triple 24byte\" (the envelope cipher; also 3TDES) or Blowfish; 'pelvane-crypt\n"
    "  list --ciphers' shows them all. A row without an algorithm here is refused; any other\n"
    "  unknown name selects Blowfish. MODE: cmCTS, cmCBC, cmCFB, cmOFB, cmECB, cmCTSMAC,\n"
    "  cmCBCMAC or cmCFBMAC (the MAC modes leave the data as it is).\n"
    "  The key is the digest of the key bytes under --key-hash (\"Message Digest 5\" when not\n"
    "  given; none: the cipher's own Ripe Message Digest 256). --raw-key uses the key bytes\n"
    "  as they are (at most the cipher's key size; a shorter key is completed with zeros).\n"
    "  Without --iv-hex the vector is the encryption of a block of FF bytes; --iv-hex gives\n"
    "  exactly one block.",
    RunCipher};

}  // namespace pelvane::crypt
