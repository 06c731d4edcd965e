// pelvane-crypt hash --algorithm NAME [--format ID]: the digest of standard input through a
// hash manager, as text in a string format (upper-case hexadecimal by default).
#include <climits>

#include "crypto/formats/formats.h"
#include "crypto/hash/hash_manager.h"
#include "tools/pelvane-crypt/cli.h"

namespace pelvane::crypt {

namespace {

int RunHash(const std::vector<std::string>& args) {
  const Options options(args, {"algorithm", "format"}, {});
  const std::string algorithm = options.Required("algorithm");
  const long long format = options.Integer("format", kFormatHex);
  if (format < INT_MIN || format > INT_MAX) {
    throw UsageError("option --format needs a format identifier, not " + std::to_string(format));
  }
  RejectAbsentAlgorithm(AlgorithmKind::kHash, algorithm);
  THashManager manager;
  manager.SetAlgorithm(algorithm);
  manager.CalcString(ReadStdin());
  WriteResult(manager.DigestString(static_cast<int>(format)));
  return 0;
}

}  // namespace

const Command kHashCommand = {
    "hash", "Digest of standard input",
    "--algorithm NAME [--format ID]\n"
    "  Digests standard input and writes the digest as text (ID 16, upper-case hexadecimal,\n"
    "  when not given). NAME: a description such as \"Message Digest 5\", \"Secure Hash\n"
    "  Algorithm\" (FIPS 180, no rotation), \"Haval-256\" or \"CRC-32\", or a class name with\n"
    "  or without its prefix, such as MD4, MD5, SHA, SHA1, RipeMD160, Haval128, Tiger, XOR16,\n"
    "  THash_CRC16_CCITT or CRC32 (any letter case); 'pelvane-crypt list --hashes' shows them\n"
    "  all. A row without an algorithm here (such as Snefru-256) is refused; any other\n"
    "  unknown name selects Ripe Message Digest 256.",
    RunHash};

}  // namespace pelvane::crypt
