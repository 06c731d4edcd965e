// pelvane-crypt rsa: key pairs in the wallet's key text form, and the wallet's RSA
// encryption and decryption of standard input.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "crypto/exception.h"
#include "crypto/input_file.h"
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

// Writes a new key file readable and writable by its owner alone. An existing file is not
// overwritten (it may hold a key still in use), nor is a symbolic link followed.
void WriteNewKeyFile(const std::string& path, const std::string& text) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) {
    const int error = errno;
    throw Exception("Cannot create file " + PathForMessage(path) + ": " + std::strerror(error));
  }
  // The mode given to open is narrowed by the umask, never widened; fchmod is not needed.
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t put = ::write(fd, text.data() + done, text.size() - done);
    if (put < 0 && errno == EINTR) continue;
    if (put < 0) {
      const int error = errno;
      ::close(fd);
      throw Exception("Cannot write file " + PathForMessage(path) + ": " + std::strerror(error));
    }
    done += static_cast<std::size_t>(put);
  }
  if (::close(fd) != 0) {
    throw Exception("Cannot write file " + PathForMessage(path) + ": " + std::strerror(errno));
  }
}

int Run(const std::vector<std::string>& args) {
  const Options options(args, {"bits", "public-key-file", "private-key-file"},
                        {"keygen", "encrypt", "decrypt"});
  const int modes = options.Has("keygen") + options.Has("encrypt") + options.Has("decrypt");
  if (modes != 1) throw UsageError("give exactly one of --keygen, --encrypt, --decrypt");
  const TKeyBits bits = BitsOption(options);

  if (options.Has("keygen")) {
    if (options.Has("public-key-file") != options.Has("private-key-file")) {
      throw UsageError("--keygen writes both key files or none");
    }
    const RsaKeyPair pair = GenerateRsaKeyPair(bits);
    if (options.Has("private-key-file")) {
      const std::string public_path = options.Value("public-key-file").value();
      const std::string private_path = options.Value("private-key-file").value();
      if (public_path == private_path) throw UsageError("--keygen needs two different key files");
      std::string private_text = pair.private_key + "\n";
      try {
        WriteNewKeyFile(private_path, private_text);
      } catch (...) {
        SecureWipe(private_text);
        throw;
      }
      SecureWipe(private_text);
      WriteNewKeyFile(public_path, pair.public_key + "\n");
      return 0;
    }
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
    rsa.SetPublicKey(ReadKeyText(options.Required("public-key-file")).str());
    WriteResult(rsa.EncryptString(ReadStdin()));
    return 0;
  }
  // Decryption: the public key, when given, is loaded first, as the wallet does.
  if (options.Has("public-key-file")) {
    rsa.SetPublicKey(ReadKeyText(options.Value("public-key-file").value()).str());
  }
  RejectSecondStdinKey(options, {"public-key-file", "private-key-file"});
  WipedString private_key(ReadKeyText(options.Required("private-key-file")).str());
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
    "--keygen [--bits N] [--public-key-file F --private-key-file F]\n"
    "     | --encrypt --public-key-file F [--bits N]\n"
    "     | --decrypt --private-key-file F [--public-key-file F] [--bits N]\n"
    "  N: 512 (default), 1024, 2048. --keygen prints the public and the private key text, one\n"
    "  per line, or with both key files writes them as new files readable by their owner\n"
    "  alone (an existing file is not overwritten). Key files are regular files of at most\n"
    "  4 KiB; one of them may be '-', the first line of standard input.",
    Run};

}  // namespace pelvane::crypt
