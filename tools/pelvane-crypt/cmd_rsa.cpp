// pelvane-crypt rsa: key pairs in the wallet's key text form, and the wallet's RSA
// encryption and decryption of standard input.
#include <cstdio>
#include <string>
#include <vector>

#include "crypto/rsa/keygen.h"
#include "crypto/rsa/rsa.h"
#include "crypto/secure.h"
#include "tools/pelvane-crypt/cli.h"

namespace pelvane::crypt {

namespace {

TKeyBits BitsOption(const Options& options) {
  switch (options.Integer("bits", 512)) {
    case 512:
      return kb0512;
    case 1024:
      return kb1024;
    case 2048:
      return kb2048;
    default:
      throw UsageError("--bits must be 512, 1024 or 2048");
  }
}

// A key file holds the key text; one trailing line break is ignored.
std::string ReadKeyFile(const std::string& path) {
  std::string text = ReadFile(path);
  if (!text.empty() && text.back() == '\n') text.pop_back();
  if (!text.empty() && text.back() == '\r') text.pop_back();
  return text;
}

int Run(const std::vector<std::string>& args) {
  const Options options(args, {"bits", "public-key-file", "private-key-file"},
                        {"keygen", "encrypt", "decrypt"});
  const int modes = options.Has("keygen") + options.Has("encrypt") + options.Has("decrypt");
  if (modes != 1) throw UsageError("give exactly one of --keygen, --encrypt, --decrypt");
  const TKeyBits bits = BitsOption(options);

  if (options.Has("keygen")) {
    if (options.Has("public-key-file") || options.Has("private-key-file")) {
      throw UsageError("--keygen takes no key files");
    }
    const RsaKeyPair pair = GenerateRsaKeyPair(bits);
    std::string out = pair.public_key + "\n" + pair.private_key + "\n";
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fflush(stdout);
    SecureWipe(out);
    return 0;
  }

  TRSA rsa;
  rsa.SetKeyBits(bits);
  if (options.Has("encrypt")) {
    if (options.Has("private-key-file")) throw UsageError("--encrypt takes no private key");
    rsa.SetPublicKey(ReadKeyFile(options.Required("public-key-file")));
    WriteResult(rsa.EncryptString(ReadStdin()));
    return 0;
  }
  // Decryption: the public key, when given, is loaded first, as the wallet does.
  if (options.Has("public-key-file")) {
    rsa.SetPublicKey(ReadKeyFile(options.Value("public-key-file").value()));
  }
  WipedString private_key(ReadKeyFile(options.Required("private-key-file")));
  rsa.SetPrivateKey(*private_key);
  // The cipher text is Base64; a line break after it (from a terminal or echo) is dropped.
  std::string cipher = ReadStdin();
  if (!cipher.empty() && cipher.back() == '\n') cipher.pop_back();
  if (!cipher.empty() && cipher.back() == '\r') cipher.pop_back();
  WipedString plain(rsa.DecryptString(cipher));
  WriteResult(*plain);
  return 0;
}

}  // namespace

const Command kRsaCommand = {
    "rsa", "RSA key generation, encryption and decryption",
    "--keygen [--bits N] | --encrypt --public-key-file F [--bits N] | --decrypt "
    "--private-key-file F [--public-key-file F] [--bits N]   (N: 512 (default), 1024, 2048)",
    Run};

}  // namespace pelvane::crypt
