// pelvane-crypt cipher: enciphers standard input into the cipher manager's text form, or
// deciphers that text back into bytes, with a key text hashed as the wallet does.
#include <memory>

#include "crypto/cipher/cipher_manager.h"
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
                        {"encode", "decode"});
  if (options.Has("encode") == options.Has("decode")) {
    throw UsageError("give exactly one of --encode and --decode");
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

  std::unique_ptr<THashManager> hashes;
  TCipherManager manager;
  if (key_hash != "none") {
    hashes = std::make_unique<THashManager>();
    hashes->SetAlgorithm(key_hash);
    manager.SetHashManager(hashes.get());
  }
  manager.SetAlgorithm(algorithm);
  manager.SetMode(mode);

  std::string iv;
  if (options.Has("iv-hex")) {
    iv = ParseHexOption(options, "iv-hex");
    const auto block = static_cast<std::size_t>(manager.AlgorithmClass()->BlockSize());
    if (iv.size() != block) {
      throw UsageError("option --iv-hex needs " + std::to_string(block) + " bytes for " +
                       manager.Algorithm());
    }
  }
  manager.InitKey(key, options.Has("iv-hex") ? iv.data() : nullptr);

  std::string input = ReadStdin();
  if (options.Has("encode")) {
    WriteResult(manager.EncodeString(input));
  } else {
    // A line end after the text (as a shell or editor leaves it) is not part of the text.
    while (!input.empty() && (input.back() == '\n' || input.back() == '\r'))
      input.pop_back();
    WriteResult(manager.DecodeString(input));
  }
  return 0;
}

}  // namespace

const Command kCipherCommand = {
    "cipher", "Encipher or decipher with a block cipher",
    "--encode|--decode --algorithm NAME --mode MODE --key-hex HEX [--key-hash NAME|none]\n"
    "                  [--iv-hex HEX]\n"
    "  --encode enciphers standard input and writes the ciphertext as MIME Base 64 text;\n"
    "  --decode reads that text from standard input and writes the plaintext bytes.\n"
    "  NAME: \"DES Triple 24byte\" (the envelope cipher; also 3TDES), \"DES Single 8byte\",\n"
    "  \"DES Double 8byte\", \"DES Double 16byte\", \"DES Triple 8byte\", \"DES Triple 16byte\"\n"
    "  or Blowfish; an unknown name selects Blowfish. MODE: cmCTS, cmCBC, cmCFB, cmOFB,\n"
    "  cmECB, cmCTSMAC, cmCBCMAC or cmCFBMAC (the MAC modes leave the data as it is).\n"
    "  The key is the digest of the key bytes under --key-hash (\"Message Digest 5\" when not\n"
    "  given; none: the cipher's own Ripe Message Digest 256). Without --iv-hex the vector\n"
    "  is the encryption of a block of FF bytes; --iv-hex gives exactly one block.",
    RunCipher};

}  // namespace pelvane::crypt
